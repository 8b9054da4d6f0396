// A scenario: every answer the scripted platform gives. The simulated helper
// reads one from a JSON document once at start-up, on the main thread; a unit
// test sets its fields before it runs the helper on the fake platform.
#ifndef ORLIMBO_PLATFORM_SCRIPTED_SCENARIO_H_
#define ORLIMBO_PLATFORM_SCRIPTED_SCENARIO_H_

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio.h"
#include "platform/privacy.h"
#include "platform/speech.h"

namespace orlimbo {

// One report of the recognizer, `seconds` after listening began (or after
// the end of audio, when `afterEndAudio` is set).
struct ScenarioEvent {
  double seconds = 0;
  bool afterEndAudio = false;
  std::optional<std::string> text;  // a result with this transcript
  bool isFinal = false;
  bool error = false;
};

// Left as they are, the fields describe a platform where everything is
// available once asked for, and no recognizer ever reports.
struct Scenario {
  std::vector<std::string> preferredLanguages;
  // Locales with a recognizer, and whether it works on the device; read each
  // time a recognizer is asked.
  std::map<std::string, bool> onDeviceByLocale{{"en-US", true}};
  int speechAuthorization = kSpeechNotDetermined;
  std::optional<int> speechPrompt = kSpeechAuthorized;  // absent: the prompt never answers
  double speechPromptDelay = 0;
  int microphoneAuthorization = kMicrophoneNotDetermined;
  std::optional<bool> microphonePrompt = true;  // absent: the prompt never answers
  double microphonePromptDelay = 0;
  std::map<std::string, std::string> infoPlist;  // the executable's property list
  AudioFormat microphone{48000, 1};
  bool microphoneReachable = true;  // what a status report finds
  bool microphoneStartFails = false;
  std::optional<double> microphoneEndsAfter;  // capture ends on its own this long after it began
  std::vector<ScenarioEvent> recognition;
};

// The scenario that runs when none is named: everything available, the
// property list `infoPlist`, and a short dictation that a host can stop at
// any time.
Scenario defaultScenario(std::map<std::string, std::string> infoPlist);

// The largest scenario file the simulated helper reads.
inline constexpr std::size_t kMaxScenarioBytes = 1024 * 1024;

// The bytes of the scenario file at `path`; absent unless it is a regular
// file of at most kMaxScenarioBytes that can be read. Never waits for a
// writer (a FIFO) and never reads without end (a device).
std::optional<std::string> readScenarioFile(const char* path);

// `json` read over `defaults`: keys that are absent keep their values there.
// Absent when the document or one of its values has the wrong shape.
std::optional<Scenario> parseScenario(std::string_view json, Scenario defaults);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_SCRIPTED_SCENARIO_H_
