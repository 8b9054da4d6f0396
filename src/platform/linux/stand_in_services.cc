#include "platform/linux/stand_in_services.h"

#include "platform/linux/linux_privacy.h"

namespace orlimbo {
namespace {

class SilentInput final : public AudioInputNode {
 public:
  AudioFormat outputFormatForBus(int) override { return {}; }
  void installTap(int, std::uint32_t, AudioFormat, TapBlock) override {}
  void removeTap(int) override {}
};

class SilentEngine final : public AudioEngine {
 public:
  AudioInputNode& inputNode() override { return input_; }
  void prepare() override {}
  bool start() override { return false; }
  void stop() override {}

 private:
  SilentInput input_;
};

}  // namespace

void StandInSpeech::requestAuthorization(std::function<void(int status)> completion) {
  answerFromAnotherThread([completion = std::move(completion)] { completion(kSpeechAuthorized); });
}

std::unique_ptr<AudioEngine> StandInAudio::makeEngine() { return std::make_unique<SilentEngine>(); }

}  // namespace orlimbo
