// Stand-ins until the PulseAudio engine and the on-device recognizer land:
// no recognizer for any locale, and an engine without a microphone.
#ifndef ORLIMBO_PLATFORM_LINUX_STAND_IN_SERVICES_H_
#define ORLIMBO_PLATFORM_LINUX_STAND_IN_SERVICES_H_

#include "platform/audio.h"
#include "platform/speech.h"

namespace orlimbo {

class StandInSpeech final : public SpeechServices {
 public:
  std::unique_ptr<SpeechRecognizer> makeRecognizer(const std::string&) override { return nullptr; }
  int authorizationStatus() override { return kSpeechAuthorized; }
  void requestAuthorization(std::function<void(int status)> completion) override;
  std::shared_ptr<RecognitionRequest> makeRequest() override { return nullptr; }
};

class StandInAudio final : public AudioServices {
 public:
  std::unique_ptr<AudioEngine> makeEngine() override;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_STAND_IN_SERVICES_H_
