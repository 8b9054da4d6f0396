#include "host/entry.h"

#include <algorithm>
#include <utility>

#include "host/command_reader.h"
#include "host/process_values.h"
#include "host/protocol.h"
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
  return hasOption(arguments, "--status");
}

bool hasOption(const std::vector<std::string>& arguments, const char* option) {
  return std::find(arguments.begin(), arguments.end(), option) != arguments.end();
}

const char kUsage[] =
    "Usage: orlimbo-dictation [--locale IDENTIFIER] [--status | --version | --help]\n"
    "\n"
    "Records the microphone, recognises speech on this device only and writes JSON\n"
    "lines on standard output. Reads {\"command\":\"stop\"} and {\"command\":\"cancel\"}\n"
    "lines on standard input; the end of standard input cancels.\n"
    "\n"
    "  --locale IDENTIFIER  the recognition language (default: the user's first\n"
    "                       preferred language, else en-US)\n"
    "  --status             print one availability line and exit\n"
    "  --version            print one version line and exit\n"
    "  --help               print this text and exit\n"
    "\n"
    "Exit status: 0 after final, cancelled, a status or a version line; 1 after error.\n";

void runHelper(const std::vector<std::string>& arguments, const Platform& chosenPlatform) {
  platform = &chosenPlatform;
  // Never destroyed: a message may be written while the process exits.
  if (outputLock == nullptr) outputLock = new std::mutex;

  // Both answer from the program alone: no input, no recognizer, no audio.
  if (hasOption(arguments, "--help")) {
    platform->process.writeOutput(kUsage);
    platform->process.exit(kExitSuccess);
    return;
  }
  if (hasOption(arguments, "--version")) {
    emit(versionMessage());
    platform->process.exit(kExitSuccess);
    return;
  }

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
  // The recognizer gets ready while the permissions are asked and the
  // microphone opens, so that the first words wait in the request rather than
  // the start waiting for the recognizer.
  if (recognizer != nullptr) recognizer->prepareForDictation();
  if (!reading) {
    platform->mainQueue.post([failed = session] { failed->fail(kNoThreadSentence); });
  }
  platform->mainQueue.post([started = session] { started->start(); });
  platform->mainQueue.parkForever();
}

}  // namespace orlimbo
