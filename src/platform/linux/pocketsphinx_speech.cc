#include "platform/linux/pocketsphinx_speech.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/linux/linux_privacy.h"
#include "platform/linux/sphinx_recognition.h"

namespace orlimbo {
namespace {

struct LocaleModel {
  std::string_view locale;  // lower case, "-" between the parts
  std::string_view model;
};

constexpr std::array kLocaleModels{
    LocaleModel{"en", "en-us"},
    LocaleModel{"en-us", "en-us"},
};

// Longer than any identifier in the table; spares the copy of a huge one.
constexpr std::size_t kLongestLocale = 16;

}  // namespace

std::optional<std::string> sphinxModelForLocale(std::string_view localeIdentifier) {
  if (localeIdentifier.size() > kLongestLocale) return std::nullopt;
  std::string key(localeIdentifier);
  std::transform(key.begin(), key.end(), key.begin(), [](char c) -> char {
    if (c == '_') return '-';
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  });
  for (const LocaleModel& entry : kLocaleModels) {
    if (entry.locale == key) return std::string(entry.model);
  }
  return std::nullopt;
}

SphinxModelFiles sphinxModelFiles(const std::string& modelRoot, const std::string& name) {
  std::string directory = modelRoot + "/" + name + "/";
  return {directory + name, directory + name + ".lm.bin", directory + "cmudict-" + name + ".dict"};
}

PocketSphinxSpeech::PocketSphinxSpeech(std::string modelRoot) : modelRoot(std::move(modelRoot)) {}

std::unique_ptr<SpeechRecognizer> PocketSphinxSpeech::makeRecognizer(
    const std::string& localeIdentifier) {
  std::optional<std::string> name = sphinxModelForLocale(localeIdentifier);
  if (!name) return nullptr;
  std::lock_guard lock(mutex);
  std::shared_ptr<SphinxModel>& model = models[*name];
  if (model == nullptr) {
    SphinxModelFiles files = sphinxModelFiles(modelRoot, *name);
    if (!files.present()) {
      models.erase(*name);
      return nullptr;
    }
    model = std::make_shared<SphinxModel>(std::move(files));
  }
  return std::make_unique<PocketSphinxRecognizer>(model);
}

void PocketSphinxSpeech::requestAuthorization(std::function<void(int status)> completion) {
  answerFromAnotherThread([completion = std::move(completion)] { completion(kSpeechAuthorized); });
}

std::shared_ptr<RecognitionRequest> PocketSphinxSpeech::makeRequest() {
  return std::make_shared<PocketSphinxRequest>();
}

void PocketSphinxSpeech::preload() {
  std::lock_guard lock(mutex);
  for (auto& [name, model] : models) model->preload();
}

}  // namespace orlimbo
