#include "host/entry.h"

#include <algorithm>
#include <utility>

#include "host/command_reader.h"
#include "host/process_values.h"
#include "readiness/status_report.h"
#include "session/dictation_session.h"

namespace orlimbo {

namespace {

const char kDefaultLocale[] = "en-US";

// The argument after the first "--locale", when there is one.
std::optional<std::string> localeArgument(const std::vector<std::string>& arguments) {
  auto option = std::find(arguments.begin(), arguments.end(), "--locale");
  if (option == arguments.end() || std::next(option) == arguments.end()) return std::nullopt;
  return *std::next(option);
}

}  // namespace

std::string resolveLocale(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& preferredLanguages) {
  if (std::optional<std::string> locale = localeArgument(arguments)) return *locale;
  if (!preferredLanguages.empty()) return preferredLanguages.front();
  return kDefaultLocale;
}

bool isStatusMode(const std::vector<std::string>& arguments) {
  return std::find(arguments.begin(), arguments.end(), "--status") != arguments.end();
}

void runHelper(const std::vector<std::string>& arguments, const Platform& chosenPlatform) {
  platform = &chosenPlatform;
  // Never destroyed: a message may be written while the process exits.
  if (outputLock == nullptr) outputLock = new std::mutex;

  std::optional<std::string> locale = localeArgument(arguments);
  requestedLocale = locale ? std::move(*locale)
                           : resolveLocale(arguments, platform->process.preferredLanguages());
  recognizer = platform->speech.makeRecognizer(requestedLocale);

  if (isStatusMode(arguments)) {
    session = nullptr;
    reportStatus();
    return;
  }

  // Asked from outside to end, the run ends as a cancel ends it.
  platform->process.onTerminationRequest([] { session->cancel(); });
  // The reader starts before the platform is asked for anything that may
  // take time, so that the host's commands and the end of its input are
  // heard whatever the platform does; they wait in the main queue until the
  // session is there.
  bool reading = platform->process.runInBackground(readCommands);
  session = std::make_shared<DictationSession>(platform->audio.makeEngine());
  if (!reading) {
    platform->mainQueue.post([failed = session] { failed->fail(kNoThreadSentence); });
  }
  platform->mainQueue.post([started = session] { started->start(); });
  platform->mainQueue.parkForever();
}

}  // namespace orlimbo
