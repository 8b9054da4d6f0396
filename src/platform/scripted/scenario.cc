#include "platform/scripted/scenario.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <type_traits>
#include <utility>

namespace orlimbo {
namespace {

using nlohmann::json;

// Reads `key` of `object` into `value` when present; false when it has the
// wrong type.
template <typename T>
bool read(const json& object, const char* key, T& value) {
  auto found = object.find(key);
  if (found == object.end()) return true;
  // The library would quietly turn true into 1 and 0.5 into false.
  if constexpr (std::is_same_v<T, bool>) {
    if (!found->is_boolean()) return false;
  } else if constexpr (std::is_arithmetic_v<T>) {
    if (!found->is_number()) return false;
  }
  try {
    value = found->template get<T>();
    return true;
  } catch (const json::exception&) {
    return false;
  }
}

// Like read, but JSON null makes the value absent (a prompt that never answers).
template <typename T>
bool readAnswer(const json& object, const char* key, std::optional<T>& value) {
  auto found = object.find(key);
  if (found != object.end() && found->is_null()) {
    value.reset();
    return true;
  }
  T answer = value.value_or(T());
  if (!read(object, key, answer)) return false;
  if (found != object.end()) value = answer;
  return true;
}

bool readEvent(const json& item, ScenarioEvent& event) {
  if (!item.is_object()) return false;
  event.afterEndAudio = item.contains("afterEndAudio");
  const char* timeKey = event.afterEndAudio ? "afterEndAudio" : "at";
  if (!item.contains(timeKey) || !read(item, timeKey, event.seconds)) return false;
  event.isFinal = item.contains("final");
  const char* textKey = event.isFinal ? "final" : "partial";
  if (item.contains(textKey)) {
    std::string text;
    if (!read(item, textKey, text)) return false;
    event.text = text;
  }
  // An event with neither a result nor an error is a report of neither.
  return read(item, "error", event.error);
}

bool readMicrophone(const json& object, Scenario& scenario) {
  auto found = object.find("microphone");
  if (found == object.end()) return true;
  if (found->is_null()) {
    scenario.microphone = AudioFormat{};
    return true;
  }
  return found->is_object() && read(*found, "sampleRate", scenario.microphone.sampleRate) &&
         read(*found, "channels", scenario.microphone.channelCount) &&
         read(*found, "startFails", scenario.microphoneStartFails) &&
         readAnswer(*found, "endsAfter", scenario.microphoneEndsAfter);
}

bool readInfoPlist(const json& object, Scenario& scenario) {
  auto found = object.find("infoPlist");
  if (found == object.end()) return true;
  if (!found->is_object()) return false;
  for (const auto& [key, value] : found->items()) {
    if (value.is_null()) {
      scenario.infoPlist.erase(key);
    } else if (value.is_string()) {
      scenario.infoPlist[key] = value.get<std::string>();
    } else {
      return false;
    }
  }
  return true;
}

bool readRecognizers(const json& object, Scenario& scenario) {
  auto found = object.find("recognizers");
  if (found == object.end()) return true;
  if (!found->is_object()) return false;
  scenario.onDeviceByLocale.clear();
  for (const auto& [locale, recognizer] : found->items()) {
    bool onDevice = true;
    if (!recognizer.is_object() || !read(recognizer, "onDevice", onDevice)) return false;
    scenario.onDeviceByLocale[locale] = onDevice;
  }
  return true;
}

bool readRecognition(const json& object, Scenario& scenario) {
  auto found = object.find("recognition");
  if (found == object.end()) return true;
  if (!found->is_array()) return false;
  scenario.recognition.clear();
  for (const json& item : *found) {
    ScenarioEvent event;
    if (!readEvent(item, event)) return false;
    scenario.recognition.push_back(event);
  }
  return true;
}

}  // namespace

Scenario defaultScenario(std::map<std::string, std::string> infoPlist) {
  Scenario scenario;
  scenario.infoPlist = std::move(infoPlist);
  scenario.recognition = {
      {0.5, false, "Hello", false, false},
      {1.0, false, "Hello from", false, false},
      {1.5, false, "Hello from the simulated helper", false, false},
      {0.2, true, "Hello from the simulated helper.", true, false},
  };
  return scenario;
}

std::optional<Scenario> parseScenario(std::string_view text, Scenario defaults) {
  json object = json::parse(text, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return std::nullopt;
  Scenario scenario = std::move(defaults);
  bool valid = read(object, "preferredLanguages", scenario.preferredLanguages) &&
               readRecognizers(object, scenario) &&
               read(object, "speechAuthorization", scenario.speechAuthorization) &&
               readAnswer(object, "speechPrompt", scenario.speechPrompt) &&
               read(object, "speechPromptDelay", scenario.speechPromptDelay) &&
               read(object, "microphoneAuthorization", scenario.microphoneAuthorization) &&
               readAnswer(object, "microphonePrompt", scenario.microphonePrompt) &&
               read(object, "microphonePromptDelay", scenario.microphonePromptDelay) &&
               readMicrophone(object, scenario) && readInfoPlist(object, scenario) &&
               readRecognition(object, scenario);
  if (!valid) return std::nullopt;
  return scenario;
}

std::optional<std::string> readScenarioFile(const char* path) {
  // Non-blocking, so that opening a FIFO does not wait for its writer.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
      static_cast<std::size_t>(status.st_size) <= kMaxScenarioBytes) {
    // One byte more than allowed shows a file that grew since fstat.
    std::string bytes(kMaxScenarioBytes + 1, '\0');
    std::size_t used = 0;
    for (;;) {
      ssize_t count = ::read(fd, bytes.data() + used, bytes.size() - used);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) {
        if (count == 0 && used <= kMaxScenarioBytes) text = bytes.substr(0, used);
        break;
      }
      used += static_cast<std::size_t>(count);
      if (used == bytes.size()) break;
    }
  }
  ::close(fd);
  return text;
}

}  // namespace orlimbo
