#include "platform/sim/scenario_platform.h"

#include <utility>

namespace orlimbo {
namespace {

// What a request and its task share: the reports still to come, and whether
// the task was cancelled.
struct Timeline {
  const Scenario* scenario = nullptr;
  MainQueue* queue = nullptr;
  RecognitionHandler handler;
  bool cancelled = false;
  bool audioEnded = false;

  void schedule(bool afterEndAudio, const std::shared_ptr<Timeline>& self) {
    for (const ScenarioEvent& event : scenario->recognition) {
      if (event.afterEndAudio != afterEndAudio) continue;
      queue->postAfter(event.seconds, [self, event] { self->report(event); });
    }
  }

  void report(const ScenarioEvent& event) {
    if (cancelled || !handler) return;
    std::optional<RecognitionResult> result;
    if (event.text) result = RecognitionResult{*event.text, event.isFinal};
    std::optional<RecognitionError> error;
    if (event.error) error = RecognitionError{};
    handler(result, error);
  }
};

class ScenarioTask final : public RecognitionTask {
 public:
  explicit ScenarioTask(std::shared_ptr<Timeline> timeline) : timeline_(std::move(timeline)) {}
  void cancel() override { timeline_->cancelled = true; }

 private:
  std::shared_ptr<Timeline> timeline_;
};

class ScenarioRequest final : public RecognitionRequest {
 public:
  explicit ScenarioRequest(std::shared_ptr<Timeline> timeline) : timeline_(std::move(timeline)) {}

  void setRequiresOnDeviceRecognition(bool) override {}
  void setShouldReportPartialResults(bool) override {}
  void setTaskHint(int) override {}
  void appendAudioPCMBuffer(const AudioBuffer&) override {}
  void endAudio() override {
    if (std::exchange(timeline_->audioEnded, true)) return;
    timeline_->schedule(true, timeline_);
  }
  std::unique_ptr<RecognitionTask> recognitionTask(RecognitionHandler handler) override {
    timeline_->handler = std::move(handler);
    timeline_->schedule(false, timeline_);
    return std::make_unique<ScenarioTask>(timeline_);
  }

 private:
  std::shared_ptr<Timeline> timeline_;
};

class ScenarioRecognizer final : public SpeechRecognizer {
 public:
  ScenarioRecognizer(const Scenario& scenario, MainQueue& queue, bool onDevice)
      : scenario_(scenario), queue_(queue), onDevice_(onDevice) {}
  bool supportsOnDeviceRecognition() override { return onDevice_; }

  std::shared_ptr<RecognitionRequest> makeRequest() override {
    auto timeline = std::make_shared<Timeline>();
    timeline->scenario = &scenario_;
    timeline->queue = &queue_;
    return std::make_shared<ScenarioRequest>(timeline);
  }

 private:
  const Scenario& scenario_;
  MainQueue& queue_;
  bool onDevice_;
};

class ScenarioInput final : public AudioInputNode {
 public:
  explicit ScenarioInput(AudioFormat format) : format_(format) {}
  AudioFormat outputFormatForBus(int) override { return format_; }
  void installTap(int, std::uint32_t, AudioFormat, TapBlock) override {}
  void removeTap(int) override {}

 private:
  AudioFormat format_;
};

class ScenarioEngine final : public AudioEngine {
 public:
  ScenarioEngine(const Scenario& scenario, MainQueue& queue)
      : scenario_(scenario), queue_(queue), input_(scenario.microphone) {}
  AudioInputNode& inputNode() override { return input_; }
  void prepare() override {}
  bool start() override {
    if (scenario_.microphoneStartFails) return false;
    if (scenario_.microphoneEndsAfter) {
      queue_.postAfter(*scenario_.microphoneEndsAfter, [running = running_] {
        if (running->stopped) return;
        if (running->captureEnded) std::exchange(running->captureEnded, nullptr)();
      });
    }
    return true;
  }
  void stop() override { running_->stopped = true; }
  void setCaptureEndedHandler(std::function<void()> handler) override {
    running_->captureEnded = std::move(handler);
  }

 private:
  // Shared with the timer that ends the capture, which may outlive the engine.
  struct Running {
    bool stopped = false;
    std::function<void()> captureEnded;
  };
  const Scenario& scenario_;
  MainQueue& queue_;
  ScenarioInput input_;
  std::shared_ptr<Running> running_ = std::make_shared<Running>();
};

}  // namespace

std::unique_ptr<SpeechRecognizer> ScenarioSpeech::makeRecognizer(const std::string& locale) {
  auto found = scenario_.onDeviceByLocale.find(locale);
  if (found == scenario_.onDeviceByLocale.end()) return nullptr;
  return std::make_unique<ScenarioRecognizer>(scenario_, queue_, found->second);
}

void ScenarioSpeech::requestAuthorization(std::function<void(int status)> completion) {
  if (!scenario_.speechPrompt) return;  // the prompt stays open
  queue_.postAfter(scenario_.speechPromptDelay,
                   [completion, status = *scenario_.speechPrompt] { completion(status); });
}

std::unique_ptr<AudioEngine> ScenarioAudio::makeEngine() {
  return std::make_unique<ScenarioEngine>(scenario_, queue_);
}

void ScenarioPrivacy::requestMicrophoneAccess(std::function<void(bool granted)> completion) {
  if (!scenario_.microphonePrompt) return;
  queue_.postAfter(scenario_.microphonePromptDelay,
                   [completion, granted = *scenario_.microphonePrompt] { completion(granted); });
}

std::optional<std::string> ScenarioPrivacy::infoDictionaryValue(const std::string& key) {
  auto found = scenario_.infoPlist.find(key);
  if (found == scenario_.infoPlist.end()) return std::nullopt;
  return found->second;
}

}  // namespace orlimbo
