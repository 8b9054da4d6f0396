// Privacy services on macOS: the microphone authorization of AVFoundation, and
// the information property list that the linker embedded in the executable
// (read through the main bundle).
//
// Created in main() before start-up; called on the main queue. The access
// answer arrives on a thread of the system's choosing.
#ifndef ORLIMBO_PLATFORM_APPLE_APPLE_PRIVACY_H_
#define ORLIMBO_PLATFORM_APPLE_APPLE_PRIVACY_H_

#include "platform/privacy.h"

namespace orlimbo {

class ApplePrivacy final : public PrivacyServices {
 public:
  int microphoneAuthorizationStatus() override;
  void requestMicrophoneAccess(std::function<void(bool granted)> completion) override;
  // A string value as it is; any other value as its description, so that every
  // present key reads as present.
  std::optional<std::string> infoDictionaryValue(const std::string& key) override;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_APPLE_APPLE_PRIVACY_H_
