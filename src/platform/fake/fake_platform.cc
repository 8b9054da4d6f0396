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
  entries_.push_back({now_ + std::max(seconds, 0.0), posted_++, std::move(task)});
}

bool FakeMainQueue::runNextDueBy(double time) {
  if (exitStatuses_ != nullptr && !exitStatuses_->empty()) return false;
  auto next =
      std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
        return a.due != b.due ? a.due < b.due : a.order < b.order;
      });
  if (next == entries_.end() || next->due > time) return false;
  now_ = std::max(now_, next->due);
  Task task = std::move(next->task);
  entries_.erase(next);
  task();
  return true;
}

void FakeMainQueue::runUntilIdle() {
  while (runNextDueBy(now_)) {
  }
}

void FakeMainQueue::advanceBy(double seconds) {
  double until = now_ + seconds;
  while (runNextDueBy(until)) {
  }
  now_ = until;
}

// ---- process

void FakeProcess::writeOutput(std::string_view bytes) {
  ++writes;
  output.append(bytes);
  for (char byte : bytes) {
    if (byte != '\n') {
      line_.push_back(byte);
      continue;
    }
    events_.push_back("out " + line_);
    line_.clear();
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
  events_.push_back("exit " + std::to_string(status));
}

bool FakeProcess::runInBackground(std::function<void()> work) {
  if (!threadsStart) return false;
  reader_ = std::move(work);
  if (readerRunsAtOnce) runReader();
  return true;
}

void FakeProcess::runReader() {
  if (reader_) std::exchange(reader_, nullptr)();
}

// ---- speech

namespace {

class FakeTask final : public RecognitionTask {
 public:
  explicit FakeTask(EventLog& events) : events_(events) {}
  void cancel() override { events_.push_back("task.cancel"); }

 private:
  EventLog& events_;
};

class FakeRequest final : public RecognitionRequest {
 public:
  FakeRequest(FakeSpeech& speech, EventLog& events) : speech_(speech), events_(events) {}
  void setRequiresOnDeviceRecognition(bool on) override { note("onDevice", on); }
  void setShouldReportPartialResults(bool on) override { note("partial", on); }
  void setTaskHint(int hint) override { note("hint", hint); }
  void appendAudioPCMBuffer(const AudioBuffer& buffer) override {
    ++speech_.appendedBuffers;
    speech_.appendedNativeBuffers.push_back(buffer.native);
  }
  void endAudio() override { events_.push_back("request.endAudio"); }
  std::unique_ptr<RecognitionTask> recognitionTask(RecognitionHandler handler) override {
    events_.push_back("task.start");
    speech_.handler = std::move(handler);
    return std::make_unique<FakeTask>(events_);
  }

 private:
  void note(const char* name, int value) {
    speech_.requestSettings.push_back(std::string(name) + "=" + std::to_string(value));
  }
  FakeSpeech& speech_;
  EventLog& events_;
};

class FakeRecognizer final : public SpeechRecognizer {
 public:
  FakeRecognizer(FakeSpeech& speech, EventLog& events) : speech_(speech), events_(events) {}
  bool supportsOnDeviceRecognition() override { return speech_.onDevice; }
  std::shared_ptr<RecognitionRequest> makeRequest() override {
    return std::make_shared<FakeRequest>(speech_, events_);
  }
  void prepareForDictation() override { ++speech_.dictationPreparations; }

 private:
  FakeSpeech& speech_;
  EventLog& events_;
};

}  // namespace

std::unique_ptr<SpeechRecognizer> FakeSpeech::makeRecognizer(const std::string& locale) {
  auto known = onDeviceByLocale.find(locale);
  if (known == onDeviceByLocale.end()) return nullptr;
  onDevice = known->second;
  return std::make_unique<FakeRecognizer>(*this, events_);
}

int FakeSpeech::authorizationStatus() {
  ++statusReads;
  return status;
}

void FakeSpeech::requestAuthorization(std::function<void(int status)> completion) {
  events_.push_back("speech.prompt");
  if (promptAnswer) {
    completion(*promptAnswer);
  } else {
    openPrompt = std::move(completion);
  }
}

void FakeSpeech::deliver(std::optional<RecognitionResult> result, bool error) {
  std::optional<RecognitionError> reported;
  if (error) reported = RecognitionError{};
  if (handler) handler(std::move(result), reported);
}

// ---- audio

namespace {

class FakeInput final : public AudioInputNode {
 public:
  FakeInput(FakeAudio& audio, EventLog& events) : audio_(audio), events_(events) {}
  AudioFormat outputFormatForBus(int) override {
    if (auto hook = std::exchange(audio_.whileAnswering, nullptr)) hook();
    return audio_.format;
  }
  void installTap(int bus, std::uint32_t bufferSize, AudioFormat format, TapBlock block) override {
    events_.push_back("tap.install " + std::to_string(bus));
    audio_.tapBufferSize = bufferSize;
    audio_.tapFormat = format;
    audio_.tap = std::move(block);
  }
  void removeTap(int bus) override {
    events_.push_back("tap.remove " + std::to_string(bus));
    audio_.tap = nullptr;
  }

 private:
  FakeAudio& audio_;
  EventLog& events_;
};

class FakeEngine final : public AudioEngine {
 public:
  FakeEngine(FakeAudio& audio, EventLog& events)
      : audio_(audio), events_(events), input_(audio, events) {}
  AudioInputNode& inputNode() override { return input_; }
  void prepare() override { events_.push_back("engine.prepare"); }
  bool start() override {
    events_.push_back("engine.start");
    if (auto hook = std::exchange(audio_.whileAnswering, nullptr)) hook();
    return audio_.startSucceeds;
  }
  void stop() override { events_.push_back("engine.stop"); }
  void setCaptureEndedHandler(std::function<void()> handler) override {
    audio_.captureEnded = std::move(handler);
  }

 private:
  FakeAudio& audio_;
  EventLog& events_;
  FakeInput input_;
};

}  // namespace

std::unique_ptr<AudioEngine> FakeAudio::makeEngine() {
  events_.push_back("engine.create");
  return std::make_unique<FakeEngine>(*this, events_);
}

void FakeAudio::capture(const void* native) {
  static const float kSilence[1024] = {};
  if (tap) tap(AudioBuffer{format, 1024, std::span<const float>(kSilence), native});
}

void FakeAudio::endCapture() {
  if (captureEnded) std::exchange(captureEnded, nullptr)();
}

// ---- privacy

int FakePrivacy::microphoneAuthorizationStatus() {
  ++statusReads;
  return status;
}

void FakePrivacy::requestMicrophoneAccess(std::function<void(bool granted)> completion) {
  ++prompts;
  if (promptAnswer) {
    completion(*promptAnswer);
  } else {
    openPrompt = std::move(completion);
  }
}

std::optional<std::string> FakePrivacy::infoDictionaryValue(const std::string& key) {
  auto found = infoDictionary.find(key);
  if (found == infoDictionary.end()) return std::nullopt;
  return found->second;
}

// ---- the whole platform

FakePlatform::FakePlatform() { queue.haltAfterExit(process.exitStatuses); }

FakePlatform::~FakePlatform() {
  session = nullptr;
  recognizer = nullptr;
  orlimbo::platform = nullptr;
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
