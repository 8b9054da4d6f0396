// Process entry: turns the command line into the requested locale and the
// mode, creates the process-wide values, and either writes the status report
// or starts the dictation session. Each platform's main() calls runHelper once
// on the main thread.
#ifndef ORLIMBO_HOST_ENTRY_H_
#define ORLIMBO_HOST_ENTRY_H_

#include <string>
#include <vector>

#include "platform/platform.h"

namespace orlimbo {

// The locale the user asked for: the argument after the first "--locale",
// else the first preferred language, else "en-US".
std::string resolveLocale(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& preferredLanguages);

// True when any argument, the program path included, is exactly "--status".
bool isStatusMode(const std::vector<std::string>& arguments);

// True when any argument, the program path included, is exactly `option`.
bool hasOption(const std::vector<std::string>& arguments, const char* option);

// The text of `--help`.
extern const char kUsage[];

// Runs the helper over `platform`. `arguments` starts with the program path.
// On a real platform it never returns: the process ends through the
// platform's exit. The fake platform returns once the main queue is parked.
void runHelper(const std::vector<std::string>& arguments, const Platform& platform);

}  // namespace orlimbo

#endif  // ORLIMBO_HOST_ENTRY_H_
