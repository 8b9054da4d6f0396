// An in-memory platform for tests. Every effect the core has on the platform
// is recorded, in order, in `events` ("out {...}", "engine.start",
// "tap.remove", "task.cancel", "exit 0" …); every answer the core asks for is
// scripted by the test. Time is virtual: delayed tasks run only when the test
// advances the clock. Single-threaded: permission answers, recognition
// results and captured buffers arrive when the test delivers them.
//
// One FakePlatform per test; its destructor drops the process-wide values
// that point into it.
#ifndef ORLIMBO_PLATFORM_FAKE_FAKE_PLATFORM_H_
#define ORLIMBO_PLATFORM_FAKE_FAKE_PLATFORM_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace orlimbo {

using EventLog = std::vector<std::string>;

class FakeMainQueue final : public MainQueue {
 public:
  void post(Task task) override { postAfter(0, std::move(task)); }
  void postAfter(double seconds, Task task) override;
  void parkForever() override {}

  // Runs every task due by now, including those they post.
  void runUntilIdle();
  // Moves the clock forward, running each task as it falls due.
  void advanceBy(double seconds);
  double now() const { return now_; }

  // Once the process has exited, no task runs any more, as in a real process.
  void haltAfterExit(const std::vector<int>& exitStatuses) { exitStatuses_ = &exitStatuses; }
  // Tasks run on after the exit, as they would if the exit were slow or
  // failed: shows what the session does with them once it has ended.
  void keepRunningAfterExit() { exitStatuses_ = nullptr; }

 private:
  struct Entry {
    double due;
    std::uint64_t order;
    Task task;
  };
  bool runNextDueBy(double time);

  double now_ = 0;
  std::uint64_t posted_ = 0;
  const std::vector<int>* exitStatuses_ = nullptr;
  std::vector<Entry> entries_;
};

class FakeProcess final : public ProcessServices {
 public:
  explicit FakeProcess(EventLog& events) : events_(events) {}

  void writeOutput(std::string_view bytes) override;
  void writeLine(std::string line, bool replaceable) override {
    replaceableLines.push_back(replaceable);
    writeOutput(line);
  }
  std::size_t readInput(std::span<char> buffer) override;
  bool runInBackground(std::function<void()> work) override;
  std::vector<std::string> preferredLanguages() override { return preferred; }
  void onTerminationRequest(std::function<void()> task) override {
    terminationTask = std::move(task);
  }
  void exit(int status) override;

  // Runs the background work (the command reader) to completion over the
  // input fed so far; the input ends when it is used up.
  void runReader();

  std::vector<std::string> preferred;
  std::deque<std::string> input;  // chunks, each returned by one read
  std::string output;
  std::vector<int> exitStatuses;
  int writes = 0;
  std::vector<bool> replaceableLines;  // of each line handed to writeLine, in order
  // Runs the reader as soon as it is started, before start-up posts start(),
  // as a reader that decodes the host's first lines at once would.
  bool readerRunsAtOnce = false;
  // Cleared to refuse every background thread.
  bool threadsStart = true;
  // What the platform runs when the process is asked from outside to end.
  std::function<void()> terminationTask;

 private:
  EventLog& events_;
  std::string line_;  // the message being written, until its line feed
  std::function<void()> reader_;
};

class FakeSpeech final : public SpeechServices {
 public:
  explicit FakeSpeech(EventLog& events) : events_(events) {}

  std::unique_ptr<SpeechRecognizer> makeRecognizer(const std::string& locale) override;
  int authorizationStatus() override;
  void requestAuthorization(std::function<void(int status)> completion) override;

  // Delivers one report to the handler of the running task.
  void deliver(std::optional<RecognitionResult> result, bool error = false);

  std::map<std::string, bool> onDeviceByLocale{{"en-US", true}};  // supported locales
  bool onDevice = true;  // cleared to lose on-device support after the check
  int status = kSpeechNotDetermined;
  std::optional<int> promptAnswer = kSpeechAuthorized;  // absent: the prompt stays open
  std::function<void(int)> openPrompt;
  int statusReads = 0;
  std::vector<std::string> requestSettings;  // "onDevice=1", "partial=1", "hint=1"
  int appendedBuffers = 0;
  std::vector<const void*> appendedNativeBuffers;  // the `native` of each appended buffer
  int dictationPreparations = 0;                   // prepareForDictation calls on any recognizer
  RecognitionHandler handler;

 private:
  EventLog& events_;
};

class FakeAudio final : public AudioServices {
 public:
  explicit FakeAudio(EventLog& events) : events_(events) {}

  std::unique_ptr<AudioEngine> makeEngine() override;
  bool inputReachable() override {
    ++reachChecks;
    return reachable;
  }

  // Hands one captured buffer to the installed tap, if any, carrying `native`
  // as the platform's own buffer object.
  void capture(const void* native = nullptr);
  // Capture ends on its own: calls the engine's capture-ended handler, if any.
  void endCapture();

  AudioFormat format{48000, 1};
  // Runs once, the next time the engine answers for the format or starts, as
  // on a platform that keeps the main queue serving while it answers.
  std::function<void()> whileAnswering;
  bool startSucceeds = true;
  bool reachable = true;
  int reachChecks = 0;
  std::optional<std::uint32_t> tapBufferSize;
  std::optional<AudioFormat> tapFormat;
  AudioInputNode::TapBlock tap;
  std::function<void()> captureEnded;

 private:
  EventLog& events_;
};

class FakePrivacy final : public PrivacyServices {
 public:
  int microphoneAuthorizationStatus() override;
  void requestMicrophoneAccess(std::function<void(bool granted)> completion) override;
  std::optional<std::string> infoDictionaryValue(const std::string& key) override;

  int status = kMicrophoneNotDetermined;
  std::optional<bool> promptAnswer = true;  // absent: the prompt stays open
  std::function<void(bool)> openPrompt;
  int statusReads = 0;
  int prompts = 0;
  std::map<std::string, std::string> infoDictionary{
      {"NSMicrophoneUsageDescription", "Microphone text."},
      {"NSSpeechRecognitionUsageDescription", "Speech text."},
  };
};

class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();

  // Runs the helper with `arguments` after the program path, then every task
  // due at once.
  void run(std::vector<std::string> arguments = {});

  // Steps of a run, each followed by every task it makes due.
  void command(const std::string& line);  // one input line, decoded and handled
  void endInput();                        // the reader reads the input fed so far, then its end
  void advanceBy(double seconds);
  void partial(const std::string& text) { report(RecognitionResult{text, false}, false); }
  void finalResult(const std::string& text) { report(RecognitionResult{text, true}, false); }
  void recognitionError() { report(std::nullopt, true); }
  void report(std::optional<RecognitionResult> result, bool error);

  // The lines written to standard output, without their line feeds.
  std::vector<std::string> lines() const;
  // The output events only ("out {...}") and "exit N", in order.
  std::vector<std::string> outputAndExit() const;

  EventLog events;
  FakeMainQueue queue;
  FakeProcess process{events};
  FakeSpeech speech{events};
  FakeAudio audio{events};
  FakePrivacy privacy;
  Sentences sentences = designedSentences();
  Platform services{queue, process, speech, audio, privacy, sentences};
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_FAKE_FAKE_PLATFORM_H_
