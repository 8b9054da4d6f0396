// Speech services on macOS: SFSpeechRecognizer and its buffer-fed requests and
// tasks. The recognizers, requests and tasks it makes wrap the Speech
// framework's objects and are defined in apple_speech.mm.
//
// Created in main() before start-up. Authorization answers and recognition
// results arrive on threads of the system's choosing and are handed on as they
// come; requests take audio on the capture thread.
#ifndef ORLIMBO_PLATFORM_APPLE_APPLE_SPEECH_H_
#define ORLIMBO_PLATFORM_APPLE_APPLE_SPEECH_H_

#include "platform/speech.h"

namespace orlimbo {

class AppleSpeech final : public SpeechServices {
 public:
  // Null as well for an identifier that is not UTF-8.
  std::unique_ptr<SpeechRecognizer> makeRecognizer(const std::string& localeIdentifier) override;
  int authorizationStatus() override;
  void requestAuthorization(std::function<void(int status)> completion) override;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_APPLE_APPLE_SPEECH_H_
