// orlimbo-dictation-sim: the helper's own core over a scripted platform, for
// process-level tests and for hosts that need a deterministic stand-in. The
// scenario is the JSON file named by ORLIMBO_DICTATION_SCENARIO; without it
// the default scenario runs. The main queue and the process are the real
// ones of the system the build is for.

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "host/entry.h"
#include "host/protocol.h"
#include "platform/scripted/scenario.h"
#include "platform/scripted/scripted_platform.h"
#include "platform/sim/host_services.h"

namespace {

// The real helper's property list, linked into this executable as well.
std::map<std::string, std::string> ownPropertyList(orlimbo::PrivacyServices& privacy) {
  std::map<std::string, std::string> values;
  for (const char* key : {"CFBundleIdentifier", "CFBundleName", "NSMicrophoneUsageDescription",
                          "NSSpeechRecognitionUsageDescription"}) {
    if (std::optional<std::string> value = privacy.infoDictionaryValue(key)) values[key] = *value;
  }
  return values;
}

std::optional<orlimbo::Scenario> loadScenario(orlimbo::PrivacyServices& privacy) {
  orlimbo::Scenario defaults = orlimbo::defaultScenario(ownPropertyList(privacy));
  const char* path = std::getenv("ORLIMBO_DICTATION_SCENARIO");
  if (path == nullptr || *path == '\0') return defaults;
  std::optional<std::string> text = orlimbo::readScenarioFile(path);
  if (!text) return std::nullopt;
  return orlimbo::parseScenario(*text, std::move(defaults));
}

// A scenario that cannot be used is the host developer's mistake; it is told
// on the protocol channel, the only one there is.
[[noreturn]] void refuseScenario(orlimbo::ProcessServices& process) {
  std::optional<std::string> line = orlimbo::serializeMessage(orlimbo::errorMessage(
      "The simulated helper could not read the scenario named by ORLIMBO_DICTATION_SCENARIO."));
  process.writeOutput(*line + "\n");
  process.exit(orlimbo::kExitFailure);
  std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orlimbo;
  HostServices host = startHostServices();
  std::optional<Scenario> loaded = loadScenario(host.privacy);
  if (!loaded) refuseScenario(host.process);
  // Never destroyed: the process ends through an exit while they are in use.
  auto* scenario = new Scenario(std::move(*loaded));
  auto* speech = new ScriptedSpeech(*scenario, host.mainQueue);
  auto* audio = new ScriptedAudio(*scenario, host.mainQueue);
  auto* privacy = new ScriptedPrivacy(*scenario, host.mainQueue);
  auto* process = new ScriptedProcess(*scenario, host.process);
  runHelper(std::vector<std::string>(argv, argv + argc),
            Platform{host.mainQueue, *process, *speech, *audio, *privacy});
  return 0;
}
