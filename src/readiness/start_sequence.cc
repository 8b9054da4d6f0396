// DictationSession::start and the two permission steps that follow it.

#include <memory>

#include "host/process_values.h"
#include "host/protocol.h"
#include "readiness/availability.h"
#include "session/dictation_session.h"

namespace orlimbo {

void DictationSession::start() {
  if (std::optional<std::string> reason = unavailableReason()) {
    fail(*reason);
    return;
  }
  if (!platform->privacy.infoDictionaryValue("NSSpeechRecognitionUsageDescription") ||
      !platform->privacy.infoDictionaryValue("NSMicrophoneUsageDescription")) {
    fail(platform->sentences.privacyTextsMissing);
    return;
  }
  emit(stateMessage("starting"));
  std::weak_ptr<DictationSession> weakSelf = weak_from_this();
  platform->speech.requestAuthorization([weakSelf](int status) {
    platform->mainQueue.post([weakSelf, status] {
      if (auto self = weakSelf.lock()) self->speechAuthorizationAnswered(status);
    });
  });
}

void DictationSession::speechAuthorizationAnswered(int status) {
  if (finished) return;
  if (status != kSpeechAuthorized) {
    fail(platform->sentences.speechPromptRefused);
    return;
  }
  platform->privacy.requestMicrophoneAccess([self = shared_from_this()](bool granted) {
    platform->mainQueue.post([self, granted] { self->microphoneAccessAnswered(granted); });
  });
}

void DictationSession::microphoneAccessAnswered(bool granted) {
  if (finished) return;
  if (!granted) {
    fail(platform->sentences.microphonePromptRefused);
    return;
  }
  listen();
}

}  // namespace orlimbo
