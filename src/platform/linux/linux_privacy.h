// Privacy services on Linux. A Linux desktop session has no permission system
// for the microphone, so access always reads as authorized and every request
// is granted; the answer still arrives later, from another thread, as it does
// where a prompt is shown. The information property list is the one embedded
// in this executable.
#ifndef ORLIMBO_PLATFORM_LINUX_LINUX_PRIVACY_H_
#define ORLIMBO_PLATFORM_LINUX_LINUX_PRIVACY_H_

#include <functional>

#include "platform/privacy.h"

namespace orlimbo {

class LinuxPrivacy final : public PrivacyServices {
 public:
  int microphoneAuthorizationStatus() override;
  void requestMicrophoneAccess(std::function<void(bool granted)> completion) override;
  std::optional<std::string> infoDictionaryValue(const std::string& key) override;
};

// Runs `answer` once on a new detached thread: the way a permission answer
// arrives on this platform.
void answerFromAnotherThread(std::function<void()> answer);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_LINUX_PRIVACY_H_
