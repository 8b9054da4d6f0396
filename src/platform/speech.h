// Speech recognition: the on-device recognizer, its authorization, and the
// buffer-fed requests and tasks of one dictation.
//
// The recognizer is created at start-up on the main thread. Completions and
// result handlers run on threads of the platform's choosing;
// appendAudioPCMBuffer runs on the capture thread; everything else is called
// on the main queue.
#ifndef ORLIMBO_PLATFORM_SPEECH_H_
#define ORLIMBO_PLATFORM_SPEECH_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio.h"

namespace orlimbo {

// Raw speech-recognition authorization statuses.
enum : int {
  kSpeechNotDetermined = 0,
  kSpeechDenied = 1,
  kSpeechRestricted = 2,
  kSpeechAuthorized = 3,
};

inline constexpr int kTaskHintDictation = 1;

struct RecognitionResult {
  std::string formattedString;  // the best transcription of everything so far
  bool isFinal = false;
};

// The recognizer's error; its content is never read.
struct RecognitionError {};

// Called any number of times, on any thread, with an optional result and an
// optional error.
using RecognitionHandler = std::function<void(std::optional<RecognitionResult> result,
                                              std::optional<RecognitionError> error)>;

class RecognitionTask;

// A request fed with audio buffers: made by its recognizer, configured, then
// started, and fed until its audio ends.
class RecognitionRequest {
 public:
  RecognitionRequest() = default;
  RecognitionRequest(const RecognitionRequest&) = delete;
  RecognitionRequest& operator=(const RecognitionRequest&) = delete;
  virtual ~RecognitionRequest() = default;

  virtual void setRequiresOnDeviceRecognition(bool required) = 0;
  virtual void setShouldReportPartialResults(bool report) = 0;
  virtual void setTaskHint(int hint) = 0;

  // Callable from the capture thread, once per captured buffer; cheap. A
  // buffer in a form this platform's requests do not take is dropped.
  virtual void appendAudioPCMBuffer(const AudioBuffer& buffer) = 0;

  // No more audio follows; results and errors may still arrive.
  virtual void endAudio() = 0;

  // Starts recognizing this request's audio: the task of this request. Called
  // once, on the main queue, after the settings and before the first buffer.
  // A failure to start reaches `handler` as an error, or, when the platform
  // has no way to the microphone either, not at all (the session learns of
  // it from the microphone); null means there is nothing to cancel.
  virtual std::unique_ptr<RecognitionTask> recognitionTask(RecognitionHandler handler) = 0;
};

class RecognitionTask {
 public:
  RecognitionTask() = default;
  RecognitionTask(const RecognitionTask&) = delete;
  RecognitionTask& operator=(const RecognitionTask&) = delete;
  virtual ~RecognitionTask() = default;

  // Stops the work; nothing after it is relied on.
  virtual void cancel() = 0;
};

class SpeechRecognizer {
 public:
  SpeechRecognizer() = default;
  SpeechRecognizer(const SpeechRecognizer&) = delete;
  SpeechRecognizer& operator=(const SpeechRecognizer&) = delete;
  virtual ~SpeechRecognizer() = default;

  // True when this recognizer works without a server.
  virtual bool supportsOnDeviceRecognition() = 0;

  // A new request on this recognizer, to be configured and then started.
  // Never null. Main queue.
  virtual std::shared_ptr<RecognitionRequest> makeRequest() = 0;

  // Gets ready for a dictation that is about to begin (a platform may start
  // loading its model in the background); never blocks. Main queue.
  virtual void prepareForDictation() {}
};

class SpeechServices {
 public:
  SpeechServices() = default;
  SpeechServices(const SpeechServices&) = delete;
  SpeechServices& operator=(const SpeechServices&) = delete;
  virtual ~SpeechServices() = default;

  // The recognizer for `localeIdentifier`, or null when the locale is not
  // supported. Cheap: it loads no model and opens no device.
  virtual std::unique_ptr<SpeechRecognizer> makeRecognizer(const std::string& localeIdentifier) = 0;

  // The current raw authorization status; never prompts.
  virtual int authorizationStatus() = 0;

  // May prompt; calls `completion` exactly once, on any thread, with the raw status.
  virtual void requestAuthorization(std::function<void(int status)> completion) = 0;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_SPEECH_H_
