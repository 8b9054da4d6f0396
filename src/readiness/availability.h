// The availability check: whether dictation can run for requestedLocale on
// this machine right now. Reads the current state only: it never prompts,
// never touches the microphone and never starts the recognizer.
// Called on the main thread.
#ifndef ORLIMBO_READINESS_AVAILABILITY_H_
#define ORLIMBO_READINESS_AVAILABILITY_H_

#include <optional>
#include <string>

namespace orlimbo {

// A sentence for the user saying why dictation cannot run; absent when it can.
std::optional<std::string> unavailableReason();

}  // namespace orlimbo

#endif  // ORLIMBO_READINESS_AVAILABILITY_H_
