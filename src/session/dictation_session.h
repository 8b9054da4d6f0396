// DictationSession: the one recording-and-recognition session of a run.
//
// Created by start-up in normal mode and kept in the process-wide `session`
// until the process exits. Every method runs on the main queue, so the state
// needs no lock. complete(), fail() and cancel() each write the one closing
// message and end the process; stop() ends the audio and gives the recognizer
// a grace period to deliver its final transcript.
#ifndef ORLIMBO_SESSION_DICTATION_SESSION_H_
#define ORLIMBO_SESSION_DICTATION_SESSION_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio.h"
#include "platform/json_lines.h"
#include "platform/speech.h"

namespace orlimbo {

// The most user-perceived characters a transcript carries.
inline constexpr std::size_t kMaxTranscriptCharacters = 16000;
// How long a stop waits for the recognizer's final result.
inline constexpr double kStopGraceSeconds = 3.0;
// How long a run records when nobody stops it.
inline constexpr double kRecordingCapSeconds = 60.0;
inline constexpr std::uint32_t kTapBufferFrames = 1024;

// The error of a run that could not have a thread it needs.
inline constexpr char kNoThreadSentence[] =
    "Dictation could not start because the system is out of resources. Try again.";

class DictationSession : public std::enable_shared_from_this<DictationSession> {
 public:
  explicit DictationSession(std::unique_ptr<AudioEngine> engine);
  DictationSession(const DictationSession&) = delete;
  DictationSession& operator=(const DictationSession&) = delete;

  // Refuses to begin when dictation cannot run, announces "starting" and asks
  // for speech, then microphone, permission; listens once both are granted.
  void start();

  // Sets up the on-device request and task, taps the microphone, starts the
  // engine, announces "listening" and arms the recording cap.
  void listen();

  // One report of the recognizer: a result, an error, both or neither.
  void handleRecognition(const std::optional<RecognitionResult>& result,
                         const std::optional<RecognitionError>& error);

  // Closing "final" with the transcript; exit status 0.
  void complete();
  // Closing "error" with `message`; exit status 1.
  void fail(const std::string& message);
  // Closing "cancelled"; exit status 0.
  void cancel();
  // Ends the audio and lets the recognizer finish within the grace period;
  // completes at once when recording never began.
  void stop();

 private:
  void speechAuthorizationAnswered(int status);
  void microphoneAccessAnswered(bool granted);
  void releaseMicrophone();
  // Shared first step of the endings; false when the run already ended.
  bool tearDown();
  void end(const Message& closing, int status);

  std::unique_ptr<AudioEngine> engine;
  std::shared_ptr<RecognitionRequest> request;
  std::unique_ptr<RecognitionTask> task;
  bool installedTap = false;
  bool finished = false;
  bool stopping = false;
  bool listening = false;  // "listening" was announced
  std::string text;
};

}  // namespace orlimbo

#endif  // ORLIMBO_SESSION_DICTATION_SESSION_H_
