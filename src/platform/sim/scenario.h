// A scenario: every answer the simulated helper's platform gives, read from a
// JSON document. Parsed once at start-up, on the main thread.
#ifndef ORLIMBO_PLATFORM_SIM_SCENARIO_H_
#define ORLIMBO_PLATFORM_SIM_SCENARIO_H_

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/audio.h"

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

struct Scenario {
  std::vector<std::string> preferredLanguages;
  std::map<std::string, bool> onDeviceByLocale{{"en-US", true}};  // locales with a recognizer
  int speechAuthorization = 0;
  std::optional<int> speechPrompt = 3;  // absent: the prompt never answers
  double speechPromptDelay = 0;
  int microphoneAuthorization = 0;
  std::optional<bool> microphonePrompt = true;  // absent: the prompt never answers
  double microphonePromptDelay = 0;
  std::map<std::string, std::string> infoPlist;  // the executable's property list
  AudioFormat microphone{48000, 1};
  bool microphoneStartFails = false;
  std::optional<double> microphoneEndsAfter;  // capture ends on its own this long after it began
  std::vector<ScenarioEvent> recognition;
};

// The scenario that runs when none is named: everything available, and a
// short dictation that a host can stop at any time.
Scenario defaultScenario();

// The largest scenario file the simulated helper reads.
inline constexpr std::size_t kMaxScenarioBytes = 1024 * 1024;

// The bytes of the scenario file at `path`; absent unless it is a regular
// file of at most kMaxScenarioBytes that can be read. Never waits for a
// writer (a FIFO) and never reads without end (a device).
std::optional<std::string> readScenarioFile(const char* path);

// `json` read over the default scenario: keys that are absent keep their
// defaults. Absent when the document or one of its values has the wrong shape.
std::optional<Scenario> parseScenario(std::string_view json);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_SIM_SCENARIO_H_
