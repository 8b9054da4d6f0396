// The dictation backend over the engine libraries: PulseAudio engines,
// PocketSphinx requests and tasks, and one SphinxModel per set of model files,
// kept for the life of the backend so that a preloaded model serves the
// recognition that follows.
//
// The backend module holds one, made by its entry point; tests make their own.
#ifndef ORLIMBO_PLATFORM_LINUX_PULSE_SPHINX_BACKEND_H_
#define ORLIMBO_PLATFORM_LINUX_PULSE_SPHINX_BACKEND_H_

#include <map>
#include <memory>
#include <mutex>

#include "platform/linux/dictation_backend.h"
#include "platform/linux/sphinx_model.h"

namespace orlimbo {

class PulseSphinxBackend final : public DictationBackend {
 public:
  std::unique_ptr<AudioEngine> makeEngine() override;
  std::shared_ptr<RecognitionRequest> makeRequest(const SphinxModelFiles& files) override;
  void preload(const SphinxModelFiles& files) override;

 private:
  std::shared_ptr<SphinxModel> model(const SphinxModelFiles& files);

  std::mutex mutex;
  std::map<SphinxModelFiles, std::shared_ptr<SphinxModel>> models;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_PULSE_SPHINX_BACKEND_H_
