// DictationSession::listen: from granted permissions to a running recording.

#include <cmath>
#include <memory>

#include "host/process_values.h"
#include "host/protocol.h"
#include "session/dictation_session.h"

namespace orlimbo {

void DictationSession::listen() {
  if (recognizer == nullptr || !recognizer->supportsOnDeviceRecognition()) {
    fail(platform->sentences.onDeviceLost);
    return;
  }

  request = recognizer->makeRequest();
  request->setRequiresOnDeviceRecognition(true);
  request->setShouldReportPartialResults(true);
  request->setTaskHint(kTaskHintDictation);

  std::weak_ptr<DictationSession> weakSelf = weak_from_this();
  task = request->recognitionTask(
      [weakSelf](std::optional<RecognitionResult> result, std::optional<RecognitionError> error) {
        platform->mainQueue.post([weakSelf, result = std::move(result), error] {
          if (auto self = weakSelf.lock()) self->handleRecognition(result, error);
        });
      });

  AudioInputNode& input = engine->inputNode();
  AudioFormat format = input.outputFormatForBus(0);
  // A platform that keeps the main queue serving while it answers may have
  // seen the run end meanwhile.
  if (finished) return;
  // Written so that a NaN rate also counts as no microphone.
  if (!(format.sampleRate > 0) || format.channelCount == 0) {
    fail(platform->sentences.noMicrophone);
    return;
  }

  input.installTap(0, kTapBufferFrames, format, [fed = request](const AudioBuffer& buffer) {
    fed->appendAudioPCMBuffer(buffer);
  });
  installedTap = true;
  // Capture that ends on its own ends the run as the host's stop would, with
  // the transcript so far.
  engine->setCaptureEndedHandler([weakSelf] {
    platform->mainQueue.post([weakSelf] {
      if (auto self = weakSelf.lock()) self->stop();
    });
  });

  engine->prepare();
  bool started = engine->start();
  if (finished) return;
  if (!started) {
    fail(platform->sentences.microphoneStartFailed);
    return;
  }

  listening = true;
  emit(stateMessage("listening"));
  platform->mainQueue.postAfter(kRecordingCapSeconds, [weakSelf] {
    if (auto self = weakSelf.lock()) self->stop();
  });
}

}  // namespace orlimbo
