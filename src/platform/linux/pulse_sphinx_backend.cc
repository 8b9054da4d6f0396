#include "platform/linux/pulse_sphinx_backend.h"

#include <map>
#include <mutex>

#include "platform/linux/pulse_audio_engine.h"
#include "platform/linux/sphinx_model.h"
#include "platform/linux/sphinx_recognition.h"

namespace orlimbo {
namespace {

// The models loaded or loading, shared by the factories that use them.
class Models {
 public:
  std::shared_ptr<SphinxModel> model(const SphinxModelFiles& files) {
    std::lock_guard lock(mutex);
    std::shared_ptr<SphinxModel>& entry = models[files];
    if (entry == nullptr) entry = std::make_shared<SphinxModel>(files);
    return entry;
  }

 private:
  std::mutex mutex;
  std::map<SphinxModelFiles, std::shared_ptr<SphinxModel>> models;
};

}  // namespace

BackendFactories makePulseSphinxBackend() {
  auto models = std::make_shared<Models>();
  return {
      .makeEngine = makePulseAudioEngine,
      .makeRequest =
          [models](const SphinxModelFiles& files) -> std::shared_ptr<RecognitionRequest> {
        return std::make_shared<PocketSphinxRequest>(models->model(files));
      },
      .preloadModel = [models](const SphinxModelFiles& files) { models->model(files)->preload(); },
  };
}

}  // namespace orlimbo
