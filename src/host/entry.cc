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

  session = std::make_shared<DictationSession>(platform->audio.makeEngine());
  platform->process.runInBackground(readCommands);
  platform->mainQueue.post([started = session] { started->start(); });
  platform->mainQueue.parkForever();
}

}  // namespace orlimbo
