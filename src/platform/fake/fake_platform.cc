#include "platform/fake/fake_platform.h"

#include <algorithm>
#include <cstring>

#include "host/command_reader.h"
#include "host/entry.h"
#include "host/process_values.h"
#include "session/dictation_session.h"

namespace orlimbo {

// ---- main queue

void FakeMainQueue::postAfter(double seconds, Task task) {
  entries.push_back({clock + std::max(seconds, 0.0), posted++, std::move(task)});
}

bool FakeMainQueue::runNextDueBy(double time) {
  if (watchedExits != nullptr && !watchedExits->empty()) return false;
  auto next = std::min_element(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.due != b.due ? a.due < b.due : a.order < b.order;
  });
  if (next == entries.end() || next->due > time) return false;
  clock = std::max(clock, next->due);
  Task task = std::move(next->task);
  entries.erase(next);
  task();
  return true;
}

void FakeMainQueue::runUntilIdle() {
  while (runNextDueBy(clock)) {
  }
}

void FakeMainQueue::advanceBy(double seconds) {
  double until = clock + seconds;
  while (runNextDueBy(until)) {
  }
  clock = until;
}

// ---- process

void FakeProcess::writeOutput(std::string_view bytes) {
  ++writes;
  output.append(bytes);
  for (char byte : bytes) {
    if (byte != '\n') {
      openLine.push_back(byte);
      continue;
    }
    events.push_back("out " + openLine);
    openLine.clear();
  }
}

std::size_t FakeProcess::readInput(std::span<char> buffer) {
  if (input.empty()) return 0;
  std::string& chunk = input.front();
  std::size_t count = std::min(buffer.size(), chunk.size());
  std::memcpy(buffer.data(), chunk.data(), count);
  chunk.erase(0, count);
  if (chunk.empty()) input.pop_front();
  return count;
}

void FakeProcess::exit(int status) {
  exitStatuses.push_back(status);
  events.push_back("exit " + std::to_string(status));
}

bool FakeProcess::runInBackground(std::function<void()> work) {
  if (!threadsStart) return false;
  reader = std::move(work);
  if (readerRunsAtOnce) runReader();
  return true;
}

void FakeProcess::runReader() {
  if (reader) std::exchange(reader, nullptr)();
}

// ---- the whole platform

FakePlatform::FakePlatform() { queue.haltAfterExit(process.exitStatuses); }

FakePlatform::~FakePlatform() {
  session = nullptr;
  recognizer = nullptr;
  orlimbo::platform = nullptr;
}

Scenario FakePlatform::fakeScenario() {
  Scenario scenario;
  scenario.infoPlist = {
      {"NSMicrophoneUsageDescription", "Microphone text."},
      {"NSSpeechRecognitionUsageDescription", "Speech text."},
  };
  return scenario;
}

void FakePlatform::run(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), "/usr/libexec/orlimbo-dictation");
  runHelper(arguments, services);
  queue.runUntilIdle();
}

void FakePlatform::command(const std::string& line) {
  std::optional<Command> decoded = parseCommand(line);
  if (decoded) queue.post([decoded] { handleCommand(*decoded); });
  queue.runUntilIdle();
}

void FakePlatform::endInput() {
  process.runReader();
  queue.runUntilIdle();
}

void FakePlatform::advanceBy(double seconds) { queue.advanceBy(seconds); }

void FakePlatform::report(std::optional<RecognitionResult> result, bool error) {
  speech.deliver(std::move(result), error);
  queue.runUntilIdle();
}

std::vector<std::string> FakePlatform::lines() const {
  std::vector<std::string> result;
  for (const std::string& event : events) {
    if (event.starts_with("out ")) result.push_back(event.substr(4));
  }
  return result;
}

std::vector<std::string> FakePlatform::outputAndExit() const {
  std::vector<std::string> result;
  for (const std::string& event : events) {
    if (event.starts_with("out ") || event.starts_with("exit ")) result.push_back(event);
  }
  return result;
}

}  // namespace orlimbo
