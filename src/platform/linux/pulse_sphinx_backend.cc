#include "platform/linux/pulse_sphinx_backend.h"

#include <utility>

#include "platform/linux/pulse_audio_engine.h"
#include "platform/linux/sphinx_recognition.h"

namespace orlimbo {

std::unique_ptr<AudioEngine> PulseSphinxBackend::makeEngine() {
  return PulseAudioServices().makeEngine();
}

std::shared_ptr<RecognitionRequest> PulseSphinxBackend::makeRequest(const SphinxModelFiles& files) {
  return std::make_shared<PocketSphinxRequest>(model(files));
}

void PulseSphinxBackend::preload(const SphinxModelFiles& files) { model(files)->preload(); }

std::shared_ptr<SphinxModel> PulseSphinxBackend::model(const SphinxModelFiles& files) {
  std::lock_guard lock(mutex);
  std::shared_ptr<SphinxModel>& entry = models[files];
  if (entry == nullptr) entry = std::make_shared<SphinxModel>(files);
  return entry;
}

}  // namespace orlimbo
