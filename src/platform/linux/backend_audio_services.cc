#include "platform/linux/backend_audio_services.h"

namespace orlimbo {
namespace {

class NoMicrophone final : public AudioInputNode, public AudioEngine {
 public:
  AudioFormat outputFormatForBus(int) override { return {}; }
  void installTap(int, std::uint32_t, AudioFormat, TapBlock) override {}
  void removeTap(int) override {}

  AudioInputNode& inputNode() override { return *this; }
  void prepare() override {}
  bool start() override { return false; }
  void stop() override {}
};

}  // namespace

std::unique_ptr<AudioEngine> BackendAudioServices::makeEngine() {
  DictationBackend* loaded = fetchBackend(backend);
  if (onEngineMade) onEngineMade();
  if (loaded == nullptr) return std::make_unique<NoMicrophone>();
  return loaded->makeEngine();
}

}  // namespace orlimbo
