// The simulated helper's platform: speech, audio and privacy services that
// answer as a scenario says, over the real POSIX main queue and process. Used
// by orlimbo-dictation-sim only. Prompt answers and recognition reports are
// timed on the main queue, relative to the request that triggers them.
#ifndef ORLIMBO_PLATFORM_SIM_SCENARIO_PLATFORM_H_
#define ORLIMBO_PLATFORM_SIM_SCENARIO_PLATFORM_H_

#include "platform/main_queue.h"
#include "platform/privacy.h"
#include "platform/process.h"
#include "platform/sim/scenario.h"
#include "platform/speech.h"

namespace orlimbo {

// The real process services, except that the preferred languages are the
// scenario's, so a run does not depend on the machine's locale.
class ScenarioProcess final : public ProcessServices {
 public:
  ScenarioProcess(const Scenario& scenario, ProcessServices& real)
      : scenario_(scenario), real_(real) {}

  void writeOutput(std::string_view bytes) override { real_.writeOutput(bytes); }
  std::size_t readInput(std::span<char> buffer) override { return real_.readInput(buffer); }
  void writeLine(std::string line, bool replaceable) override {
    real_.writeLine(std::move(line), replaceable);
  }
  bool runInBackground(std::function<void()> work) override {
    return real_.runInBackground(std::move(work));
  }
  void onTerminationRequest(std::function<void()> task) override {
    real_.onTerminationRequest(std::move(task));
  }
  std::vector<std::string> preferredLanguages() override { return scenario_.preferredLanguages; }
  void exit(int status) override { real_.exit(status); }

 private:
  const Scenario& scenario_;
  ProcessServices& real_;
};

class ScenarioSpeech final : public SpeechServices {
 public:
  ScenarioSpeech(const Scenario& scenario, MainQueue& queue) : scenario_(scenario), queue_(queue) {}

  std::unique_ptr<SpeechRecognizer> makeRecognizer(const std::string& locale) override;
  int authorizationStatus() override { return scenario_.speechAuthorization; }
  void requestAuthorization(std::function<void(int status)> completion) override;

 private:
  const Scenario& scenario_;
  MainQueue& queue_;
};

class ScenarioAudio final : public AudioServices {
 public:
  ScenarioAudio(const Scenario& scenario, MainQueue& queue) : scenario_(scenario), queue_(queue) {}
  std::unique_ptr<AudioEngine> makeEngine() override;

 private:
  const Scenario& scenario_;
  MainQueue& queue_;
};

class ScenarioPrivacy final : public PrivacyServices {
 public:
  ScenarioPrivacy(const Scenario& scenario, MainQueue& queue) : scenario_(scenario), queue_(queue) {}

  int microphoneAuthorizationStatus() override { return scenario_.microphoneAuthorization; }
  void requestMicrophoneAccess(std::function<void(bool granted)> completion) override;
  std::optional<std::string> infoDictionaryValue(const std::string& key) override;

 private:
  const Scenario& scenario_;
  MainQueue& queue_;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_SIM_SCENARIO_PLATFORM_H_
