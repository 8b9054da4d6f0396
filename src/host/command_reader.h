// The command reader: turns the host's standard input into session calls.
// readCommands runs on the background thread and only posts to the main
// queue; handleCommand runs on the main queue.
#ifndef ORLIMBO_HOST_COMMAND_READER_H_
#define ORLIMBO_HOST_COMMAND_READER_H_

#include <cstddef>

#include "platform/json_lines.h"

namespace orlimbo {

// Longest input line considered; a longer one is dropped whole and reading
// goes on after its line feed.
inline constexpr std::size_t kMaxCommandLineBytes = 64 * 1024;

// Reads standard input line by line until it ends, posting handleCommand for
// each line that decodes to a command, then posts session.cancel().
void readCommands();

// Applies one decoded command: "stop" stops, "cancel" cancels, anything else
// is ignored.
void handleCommand(const Command& command);

}  // namespace orlimbo

#endif  // ORLIMBO_HOST_COMMAND_READER_H_
