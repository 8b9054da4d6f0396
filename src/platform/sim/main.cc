// orlimbo-dictation-sim: the helper's own core over a scripted platform, for
// process-level tests and for hosts that need a deterministic stand-in. The
// scenario is the JSON file named by ORLIMBO_DICTATION_SCENARIO; without it
// the default scenario runs.

#include <cstdlib>
#include <string>
#include <vector>

#include "host/entry.h"
#include "host/protocol.h"
#include "platform/linux/detached_thread.h"
#include "platform/linux/posix_main_queue.h"
#include "platform/linux/posix_process.h"
#include "platform/sim/scenario_platform.h"

namespace {

std::optional<orlimbo::Scenario> loadScenario() {
  const char* path = std::getenv("ORLIMBO_DICTATION_SCENARIO");
  if (path == nullptr || *path == '\0') return orlimbo::defaultScenario();
  std::optional<std::string> text = orlimbo::readScenarioFile(path);
  if (!text) return std::nullopt;
  return orlimbo::parseScenario(*text);
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
  // Before anything opens a descriptor or starts a thread.
  guardStandardDescriptors();
  setDefaultThreadStack();
  // Never destroyed: the process ends through _exit while they are in use.
  auto* mainQueue = new PosixMainQueue;
  auto* process = new PosixProcess(*mainQueue);
  std::optional<Scenario> loaded = loadScenario();
  if (!loaded) refuseScenario(*process);
  auto* scenario = new Scenario(std::move(*loaded));
  auto* speech = new ScenarioSpeech(*scenario, *mainQueue);
  auto* audio = new ScenarioAudio(*scenario, *mainQueue);
  auto* privacy = new ScenarioPrivacy(*scenario, *mainQueue);
  auto* scriptedProcess = new ScenarioProcess(*scenario, *process);
  runHelper(std::vector<std::string>(argv, argv + argc),
            Platform{*mainQueue, *scriptedProcess, *speech, *audio, *privacy});
  return 0;
}
