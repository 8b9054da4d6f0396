// An in-memory platform for tests: the scripted platform over a virtual
// clock and a process that records. Every effect the core has on the platform
// is recorded, in order, in `events` ("out {...}", "engine.start",
// "tap.remove", "task.cancel", "exit 0" …); every answer the core asks for
// comes from `scenario`, which the test changes before it runs the helper.
// Time is virtual: delayed tasks run only when the test advances the clock.
// Single-threaded: what the scenario leaves open (a prompt without an answer,
// recognition results, captured buffers) arrives when the test delivers it.
//
// One FakePlatform per test; its destructor drops the process-wide values
// that point into it.
#ifndef ORLIMBO_PLATFORM_FAKE_FAKE_PLATFORM_H_
#define ORLIMBO_PLATFORM_FAKE_FAKE_PLATFORM_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/scripted/scenario.h"
#include "platform/scripted/scripted_platform.h"

namespace orlimbo {

class FakeMainQueue final : public MainQueue {
 public:
  void post(Task task) override { postAfter(0, std::move(task)); }
  void postAfter(double seconds, Task task) override;
  void parkForever() override {}

  // Runs every task due by now, including those they post.
  void runUntilIdle();
  // Moves the clock forward, running each task as it falls due.
  void advanceBy(double seconds);
  double now() const { return clock; }

  // Once the process has exited, no task runs any more, as in a real process.
  void haltAfterExit(const std::vector<int>& exitStatuses) { watchedExits = &exitStatuses; }
  // Tasks run on after the exit, as they would if the exit were slow or
  // failed: shows what the session does with them once it has ended.
  void keepRunningAfterExit() { watchedExits = nullptr; }

 private:
  struct Entry {
    double due;
    std::uint64_t order;
    Task task;
  };
  bool runNextDueBy(double time);

  double clock = 0;
  std::uint64_t posted = 0;
  const std::vector<int>* watchedExits = nullptr;
  std::vector<Entry> entries;
};

class FakeProcess final : public ProcessServices {
 public:
  explicit FakeProcess(EventLog& events) : events(events) {}

  void writeOutput(std::string_view bytes) override;
  void writeLine(std::string line, bool replaceable) override {
    replaceableLines.push_back(replaceable);
    writeOutput(line);
  }
  std::size_t readInput(std::span<char> buffer) override;
  bool runInBackground(std::function<void()> work) override;
  // The scripted process above answers this from the scenario.
  std::vector<std::string> preferredLanguages() override { return {}; }
  void onTerminationRequest(std::function<void()> task) override {
    terminationTask = std::move(task);
  }
  void exit(int status) override;

  // Runs the background work (the command reader) to completion over the
  // input fed so far; the input ends when it is used up.
  void runReader();

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
  EventLog& events;
  std::string openLine;  // the message being written, until its line feed
  std::function<void()> reader;
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
  // What the platform answers: everything available once asked for, with
  // both privacy texts in the property list.
  Scenario scenario = fakeScenario();
  FakeMainQueue queue;
  FakeProcess process{events};
  ScriptedProcess scriptedProcess{scenario, process};
  ScriptedSpeech speech{scenario, queue, &events};
  ScriptedAudio audio{scenario, queue, &events};
  ScriptedPrivacy privacy{scenario, queue};
  Sentences sentences = designedSentences();
  Platform services{queue, scriptedProcess, speech, audio, privacy, sentences};

 private:
  static Scenario fakeScenario();
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_FAKE_FAKE_PLATFORM_H_
