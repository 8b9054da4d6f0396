#include "platform/linux/linux_privacy.h"

#include <utility>

#include "platform/linux/detached_thread.h"
#include "platform/linux/embedded_info_plist.h"

namespace orlimbo {

void answerFromAnotherThread(std::function<void()> answer) {
  // The answers only post to the main queue, so without a thread of its own
  // an answer is given on the caller's.
  std::function<void()> kept = answer;
  if (!startDetachedThread(std::move(answer))) kept();
}

int LinuxPrivacy::microphoneAuthorizationStatus() { return kMicrophoneAuthorized; }

void LinuxPrivacy::requestMicrophoneAccess(std::function<void(bool granted)> completion) {
  answerFromAnotherThread([completion = std::move(completion)] { completion(true); });
}

std::optional<std::string> LinuxPrivacy::infoDictionaryValue(const std::string& key) {
  return plistValue(embeddedInfoPlist(), key);
}

}  // namespace orlimbo
