#include "platform/linux/pocketsphinx_speech.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/linux/detached_thread.h"
#include "platform/linux/linux_privacy.h"

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

// The request when there is no backend: nothing is decoded and nothing is
// reported. Without the backend there is no microphone either, and the
// session says so as soon as it asks for the input format; an error here
// would overtake that answer while the format is awaited.
class NoBackendRequest final : public RecognitionRequest {
 public:
  void setRequiresOnDeviceRecognition(bool) override {}
  void setShouldReportPartialResults(bool) override {}
  void setTaskHint(int) override {}
  void appendAudioPCMBuffer(const AudioBuffer&) override {}
  void endAudio() override {}
  std::unique_ptr<RecognitionTask> recognitionTask(RecognitionHandler) override { return nullptr; }
};

// Checks the model's files when made; reaches the backend only once a
// dictation is about to begin.
class PocketSphinxRecognizer final : public SpeechRecognizer {
 public:
  PocketSphinxRecognizer(SphinxModelFiles files, BackendSource backend)
      : files(std::move(files)), backend(std::move(backend)) {}

  bool supportsOnDeviceRecognition() override { return true; }

  std::shared_ptr<RecognitionRequest> makeRequest() override {
    const BackendFactories* factories = fetchFactories(backend);
    if (factories == nullptr) return std::make_shared<NoBackendRequest>();
    return factories->makeRequest(files);
  }

  // Opening the module may take a while, so it happens on a thread of its
  // own; the model then loads in the background while the permissions are
  // asked and the microphone opens. Without a thread the first recognition
  // loads the model.
  void prepareForDictation() override {
    startDetachedThread([files = files, backend = backend] {
      const BackendFactories* factories = fetchFactories(backend);
      if (factories != nullptr) factories->preloadModel(files);
    });
  }

 private:
  const SphinxModelFiles files;
  const BackendSource backend;
};

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

std::unique_ptr<SpeechRecognizer> PocketSphinxSpeech::makeRecognizer(
    const std::string& localeIdentifier) {
  std::optional<std::string> name = sphinxModelForLocale(localeIdentifier);
  if (!name) return nullptr;
  SphinxModelFiles files = sphinxModelFiles(modelRoot, *name);
  if (!files.present()) return nullptr;
  return std::make_unique<PocketSphinxRecognizer>(std::move(files), backend);
}

void PocketSphinxSpeech::requestAuthorization(std::function<void(int status)> completion) {
  answerFromAnotherThread([completion = std::move(completion)] { completion(kSpeechAuthorized); });
}

}  // namespace orlimbo
