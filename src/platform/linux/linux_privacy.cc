#include "platform/linux/linux_privacy.h"

#include <thread>
#include <utility>

#include "platform/linux/embedded_info_plist.h"

namespace orlimbo {

void answerFromAnotherThread(std::function<void()> answer) {
  std::thread(std::move(answer)).detach();
}

int LinuxPrivacy::microphoneAuthorizationStatus() { return kMicrophoneAuthorized; }

void LinuxPrivacy::requestMicrophoneAccess(std::function<void(bool granted)> completion) {
  answerFromAnotherThread([completion = std::move(completion)] { completion(true); });
}

std::optional<std::string> LinuxPrivacy::infoDictionaryValue(const std::string& key) {
  return plistValue(embeddedInfoPlist(), key);
}

}  // namespace orlimbo
