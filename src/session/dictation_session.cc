#include "session/dictation_session.h"

#include <utility>

#include "host/process_values.h"
#include "host/protocol.h"

namespace orlimbo {

DictationSession::DictationSession(std::unique_ptr<AudioEngine> engine)
    : engine(std::move(engine)) {}

void DictationSession::releaseMicrophone() {
  engine->stop();
  if (installedTap) {
    engine->inputNode().removeTap(0);
    installedTap = false;
  }
}

bool DictationSession::tearDown() {
  if (finished) return false;
  finished = true;
  releaseMicrophone();
  if (task) task->cancel();
  request = nullptr;
  return true;
}

void DictationSession::end(const Message& closing, int status) {
  emit(closing);
  platform->process.exit(status);
}

void DictationSession::complete() {
  if (tearDown()) end(finalMessage(text), kExitSuccess);
}

void DictationSession::fail(const std::string& message) {
  if (tearDown()) end(errorMessage(message), kExitFailure);
}

void DictationSession::cancel() {
  if (tearDown()) end(stateMessage("cancelled"), kExitSuccess);
}

void DictationSession::stop() {
  if (finished || stopping) return;
  stopping = true;
  releaseMicrophone();
  // Before recording began there is nothing to wait for. Recording has not
  // begun either while the platform still answers listen()'s questions
  // about the microphone, with the request already made.
  if (!request || !listening) {
    complete();
    return;
  }
  emit(stateMessage("stopping"));
  request->endAudio();
  std::weak_ptr<DictationSession> weakSelf = weak_from_this();
  platform->mainQueue.postAfter(kStopGraceSeconds, [weakSelf] {
    if (auto self = weakSelf.lock()) self->complete();
  });
}

}  // namespace orlimbo
