#include "platform/scripted/scripted_platform.h"

#include <utility>

namespace orlimbo {

// ---- speech

struct RecognitionTimeline {
  RecognitionHandler handler;
  bool cancelled = false;
  bool audioEnded = false;

  void report(std::optional<RecognitionResult> result, bool error) {
    std::optional<RecognitionError> reported;
    if (error) reported = RecognitionError{};
    if (handler) handler(std::move(result), reported);
  }

  // Posts the scenario's reports that follow the start of the task, or the
  // end of its audio; a cancelled task receives none of them.
  static void schedule(const std::shared_ptr<RecognitionTimeline>& timeline,
                       const Scenario& scenario, MainQueue& queue, bool afterEndAudio) {
    for (const ScenarioEvent& event : scenario.recognition) {
      if (event.afterEndAudio != afterEndAudio) continue;
      queue.postAfter(event.seconds, [timeline, event] {
        if (timeline->cancelled) return;
        std::optional<RecognitionResult> result;
        if (event.text) result = RecognitionResult{*event.text, event.isFinal};
        timeline->report(std::move(result), event.error);
      });
    }
  }
};

class ScriptedRequest final : public RecognitionRequest {
 public:
  explicit ScriptedRequest(ScriptedSpeech& speech)
      : speech(speech), timeline(std::make_shared<RecognitionTimeline>()) {}

  void setRequiresOnDeviceRecognition(bool on) override { setting("onDevice", on); }
  void setShouldReportPartialResults(bool on) override { setting("partial", on); }
  void setTaskHint(int hint) override { setting("hint", hint); }
  void appendAudioPCMBuffer(const AudioBuffer& buffer) override {
    ++speech.appendedBuffers;
    speech.appendedNativeBuffers.push_back(buffer.native);
  }
  void endAudio() override {
    speech.note("request.endAudio");
    if (std::exchange(timeline->audioEnded, true)) return;
    RecognitionTimeline::schedule(timeline, speech.scenario, speech.queue, true);
  }

  std::unique_ptr<RecognitionTask> recognitionTask(RecognitionHandler handler) override;

 private:
  void setting(const char* name, int value) {
    speech.requestSettings.push_back(std::string(name) + "=" + std::to_string(value));
  }

  ScriptedSpeech& speech;
  std::shared_ptr<RecognitionTimeline> timeline;
};

class ScriptedTask final : public RecognitionTask {
 public:
  ScriptedTask(ScriptedSpeech& speech, std::shared_ptr<RecognitionTimeline> timeline)
      : speech(speech), timeline(std::move(timeline)) {}
  void cancel() override {
    speech.note("task.cancel");
    timeline->cancelled = true;
  }

 private:
  ScriptedSpeech& speech;
  std::shared_ptr<RecognitionTimeline> timeline;
};

std::unique_ptr<RecognitionTask> ScriptedRequest::recognitionTask(RecognitionHandler handler) {
  speech.note("task.start");
  timeline->handler = std::move(handler);
  speech.lastTask = timeline;
  RecognitionTimeline::schedule(timeline, speech.scenario, speech.queue, false);
  return std::make_unique<ScriptedTask>(speech, timeline);
}

class ScriptedRecognizer final : public SpeechRecognizer {
 public:
  ScriptedRecognizer(ScriptedSpeech& speech, std::string locale)
      : speech(speech), locale(std::move(locale)) {}

  bool supportsOnDeviceRecognition() override {
    auto found = speech.scenario.onDeviceByLocale.find(locale);
    return found != speech.scenario.onDeviceByLocale.end() && found->second;
  }

  std::shared_ptr<RecognitionRequest> makeRequest() override {
    return std::make_shared<ScriptedRequest>(speech);
  }
  void prepareForDictation() override { ++speech.dictationPreparations; }

 private:
  ScriptedSpeech& speech;
  std::string locale;
};

std::unique_ptr<SpeechRecognizer> ScriptedSpeech::makeRecognizer(const std::string& locale) {
  if (!scenario.onDeviceByLocale.contains(locale)) return nullptr;
  return std::make_unique<ScriptedRecognizer>(*this, locale);
}

int ScriptedSpeech::authorizationStatus() {
  ++statusReads;
  return scenario.speechAuthorization;
}

void ScriptedSpeech::requestAuthorization(std::function<void(int status)> completion) {
  note("speech.prompt");
  if (!scenario.speechPrompt) {
    openPrompt = std::move(completion);
    return;
  }
  queue.postAfter(scenario.speechPromptDelay,
                  [completion, status = *scenario.speechPrompt] { completion(status); });
}

void ScriptedSpeech::deliver(std::optional<RecognitionResult> result, bool error) {
  if (lastTask) lastTask->report(std::move(result), error);
}

// ---- audio

struct ScriptedCapture {
  bool stopped = false;
  std::function<void()> captureEnded;
  AudioInputNode::TapBlock tap;
};

class ScriptedInput final : public AudioInputNode {
 public:
  ScriptedInput(ScriptedAudio& audio, std::shared_ptr<ScriptedCapture> capture)
      : audio(audio), capture(std::move(capture)) {}

  AudioFormat outputFormatForBus(int) override {
    audio.answering();
    return audio.scenario.microphone;
  }
  void installTap(int bus, std::uint32_t bufferSize, AudioFormat format, TapBlock block) override {
    audio.note("tap.install " + std::to_string(bus));
    audio.tapBufferSize = bufferSize;
    audio.tapFormat = format;
    capture->tap = std::move(block);
  }
  void removeTap(int bus) override {
    audio.note("tap.remove " + std::to_string(bus));
    capture->tap = nullptr;
  }

 private:
  ScriptedAudio& audio;
  std::shared_ptr<ScriptedCapture> capture;
};

class ScriptedEngine final : public AudioEngine {
 public:
  ScriptedEngine(ScriptedAudio& audio, std::shared_ptr<ScriptedCapture> capture)
      : audio(audio), capture(capture), input(audio, capture) {}

  AudioInputNode& inputNode() override { return input; }
  void prepare() override { audio.note("engine.prepare"); }
  bool start() override {
    audio.note("engine.start");
    audio.answering();
    if (audio.scenario.microphoneStartFails) return false;
    if (audio.scenario.microphoneEndsAfter) {
      // The capture, not the engine: the timer may outlive the engine.
      audio.queue.postAfter(*audio.scenario.microphoneEndsAfter, [capture = capture] {
        if (capture->stopped) return;
        if (capture->captureEnded) std::exchange(capture->captureEnded, nullptr)();
      });
    }
    return true;
  }
  void stop() override {
    audio.note("engine.stop");
    capture->stopped = true;
  }
  void setCaptureEndedHandler(std::function<void()> handler) override {
    capture->captureEnded = std::move(handler);
  }

 private:
  ScriptedAudio& audio;
  std::shared_ptr<ScriptedCapture> capture;
  ScriptedInput input;
};

std::unique_ptr<AudioEngine> ScriptedAudio::makeEngine() {
  note("engine.create");
  lastCapture = std::make_shared<ScriptedCapture>();
  return std::make_unique<ScriptedEngine>(*this, lastCapture);
}

bool ScriptedAudio::inputReachable() {
  ++reachChecks;
  return scenario.microphoneReachable;
}

void ScriptedAudio::capture(const void* native) {
  static const float kSilence[1024] = {};
  if (!lastCapture || !lastCapture->tap) return;
  lastCapture->tap(
      AudioBuffer{scenario.microphone, 1024, std::span<const float>(kSilence), native});
}

bool ScriptedAudio::tapInstalled() const { return lastCapture && lastCapture->tap; }

void ScriptedAudio::endCapture() {
  if (lastCapture && lastCapture->captureEnded) std::exchange(lastCapture->captureEnded, nullptr)();
}

// ---- privacy

int ScriptedPrivacy::microphoneAuthorizationStatus() {
  ++statusReads;
  return scenario.microphoneAuthorization;
}

void ScriptedPrivacy::requestMicrophoneAccess(std::function<void(bool granted)> completion) {
  ++prompts;
  if (!scenario.microphonePrompt) {
    openPrompt = std::move(completion);
    return;
  }
  queue.postAfter(scenario.microphonePromptDelay,
                  [completion, granted = *scenario.microphonePrompt] { completion(granted); });
}

std::optional<std::string> ScriptedPrivacy::infoDictionaryValue(const std::string& key) {
  auto found = scenario.infoPlist.find(key);
  if (found == scenario.infoPlist.end()) return std::nullopt;
  return found->second;
}

}  // namespace orlimbo
