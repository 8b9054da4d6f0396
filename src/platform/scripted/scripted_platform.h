// The scripted platform: speech, audio, privacy and process services that
// answer as a scenario says. The simulated helper runs them over the real main
// queue and process; the unit-test fake runs them over its virtual clock and
// records what they saw.
//
// Everything runs on the main queue: prompt answers and the scenario's
// recognition reports are posted there, timed relative to the request that
// triggers them, and the recognizer reads the scenario each time it is asked.
// Besides the scenario's answers, each service keeps what the core did to it
// (counts, settings, the installed tap, an unanswered prompt) and names each
// effect in `events` when one is given ("engine.start", "task.cancel" …), so
// that a test can look and deliver by hand what the scenario leaves open.
#ifndef ORLIMBO_PLATFORM_SCRIPTED_SCRIPTED_PLATFORM_H_
#define ORLIMBO_PLATFORM_SCRIPTED_SCRIPTED_PLATFORM_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/audio.h"
#include "platform/main_queue.h"
#include "platform/privacy.h"
#include "platform/process.h"
#include "platform/scripted/scenario.h"
#include "platform/speech.h"

namespace orlimbo {

using EventLog = std::vector<std::string>;

// The process services underneath, except that the preferred languages are
// the scenario's, so a run does not depend on the machine's locale.
class ScriptedProcess final : public ProcessServices {
 public:
  ScriptedProcess(const Scenario& scenario, ProcessServices& underneath)
      : scenario(scenario), underneath(underneath) {}

  void writeOutput(std::string_view bytes) override { underneath.writeOutput(bytes); }
  void writeLine(std::string line, bool replaceable) override {
    underneath.writeLine(std::move(line), replaceable);
  }
  std::size_t readInput(std::span<char> buffer) override { return underneath.readInput(buffer); }
  bool runInBackground(std::function<void()> work) override {
    return underneath.runInBackground(std::move(work));
  }
  void onTerminationRequest(std::function<void()> task) override {
    underneath.onTerminationRequest(std::move(task));
  }
  std::vector<std::string> preferredLanguages() override { return scenario.preferredLanguages; }
  void exit(int status) override { underneath.exit(status); }

 private:
  const Scenario& scenario;
  ProcessServices& underneath;
};

// What one recognition task shares with its request and the reports still to
// come for it.
struct RecognitionTimeline;

class ScriptedSpeech final : public SpeechServices {
 public:
  ScriptedSpeech(const Scenario& scenario, MainQueue& queue, EventLog* events = nullptr)
      : scenario(scenario), queue(queue), events(events) {}

  std::unique_ptr<SpeechRecognizer> makeRecognizer(const std::string& locale) override;
  int authorizationStatus() override;
  void requestAuthorization(std::function<void(int status)> completion) override;

  // Hands one report to the handler of the task started last, cancelled or
  // not, as a recognizer that reports late would.
  void deliver(std::optional<RecognitionResult> result, bool error = false);

  // The completion of a prompt the scenario leaves unanswered.
  std::function<void(int)> openPrompt;
  int statusReads = 0;
  std::vector<std::string> requestSettings;  // "onDevice=1", "partial=1", "hint=1"
  int appendedBuffers = 0;
  std::vector<const void*> appendedNativeBuffers;  // the `native` of each appended buffer
  int dictationPreparations = 0;                   // prepareForDictation calls on any recognizer

 private:
  friend class ScriptedRecognizer;
  friend class ScriptedRequest;
  friend class ScriptedTask;
  void note(std::string event) {
    if (events != nullptr) events->push_back(std::move(event));
  }

  const Scenario& scenario;
  MainQueue& queue;
  EventLog* events;
  std::shared_ptr<RecognitionTimeline> lastTask;
};

// What one engine's capture shares with the timer that may end it.
struct ScriptedCapture;

class ScriptedAudio final : public AudioServices {
 public:
  ScriptedAudio(const Scenario& scenario, MainQueue& queue, EventLog* events = nullptr)
      : scenario(scenario), queue(queue), events(events) {}

  std::unique_ptr<AudioEngine> makeEngine() override;
  bool inputReachable() override;

  // Hands one buffer of silence in the microphone's format to the installed
  // tap, if any, carrying `native` as the platform's own buffer object.
  void capture(const void* native = nullptr);
  // True while the input of the engine made last has a tap.
  bool tapInstalled() const;
  // Capture ends on its own, stopped or not: calls the capture-ended handler
  // of the engine made last, if it has one.
  void endCapture();

  // Runs once, the next time an engine answers for the format or starts, as
  // on a platform that keeps the main queue serving while it answers.
  std::function<void()> whileAnswering;
  int reachChecks = 0;
  std::optional<std::uint32_t> tapBufferSize;
  std::optional<AudioFormat> tapFormat;

 private:
  friend class ScriptedEngine;
  friend class ScriptedInput;
  void note(std::string event) {
    if (events != nullptr) events->push_back(std::move(event));
  }
  void answering() {
    if (auto hook = std::exchange(whileAnswering, nullptr)) hook();
  }

  const Scenario& scenario;
  MainQueue& queue;
  EventLog* events;
  std::shared_ptr<ScriptedCapture> lastCapture;
};

class ScriptedPrivacy final : public PrivacyServices {
 public:
  ScriptedPrivacy(const Scenario& scenario, MainQueue& queue) : scenario(scenario), queue(queue) {}

  int microphoneAuthorizationStatus() override;
  void requestMicrophoneAccess(std::function<void(bool granted)> completion) override;
  std::optional<std::string> infoDictionaryValue(const std::string& key) override;

  // The completion of a prompt the scenario leaves unanswered.
  std::function<void(bool)> openPrompt;
  int statusReads = 0;
  int prompts = 0;

 private:
  const Scenario& scenario;
  MainQueue& queue;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_SCRIPTED_SCRIPTED_PLATFORM_H_
