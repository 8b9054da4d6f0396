// Privacy authorization for the microphone, and the executable's own
// information property list.
//
// Created by the platform before start-up; called on the main thread.
#ifndef ORLIMBO_PLATFORM_PRIVACY_H_
#define ORLIMBO_PLATFORM_PRIVACY_H_

#include <functional>
#include <optional>
#include <string>

namespace orlimbo {

// Raw microphone authorization statuses.
enum : int {
  kMicrophoneNotDetermined = 0,
  kMicrophoneRestricted = 1,
  kMicrophoneDenied = 2,
  kMicrophoneAuthorized = 3,
};

class PrivacyServices {
 public:
  PrivacyServices() = default;
  PrivacyServices(const PrivacyServices&) = delete;
  PrivacyServices& operator=(const PrivacyServices&) = delete;
  virtual ~PrivacyServices() = default;

  // The current raw microphone status; never prompts.
  virtual int microphoneAuthorizationStatus() = 0;

  // May prompt; calls `completion` exactly once, on any thread.
  virtual void requestMicrophoneAccess(std::function<void(bool granted)> completion) = 0;

  // The value under `key` in the executable's information property list, as
  // text; absent when the key is missing or the list cannot be read.
  virtual std::optional<std::string> infoDictionaryValue(const std::string& key) = 0;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_PRIVACY_H_
