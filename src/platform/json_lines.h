// JSON for the line protocol: compact serialisation of messages and decoding
// of one command line. Pure functions, safe on any thread.
#ifndef ORLIMBO_PLATFORM_JSON_LINES_H_
#define ORLIMBO_PLATFORM_JSON_LINES_H_

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace orlimbo {

// A message value: JSON null, a boolean, a string or an integer.
using MessageValue = std::variant<std::nullptr_t, bool, std::string, int>;

// A message: string keys, written in this order.
using Message = std::vector<std::pair<std::string, MessageValue>>;

// A command: string keys with string values.
using Command = std::map<std::string, std::string, std::less<>>;

// The message as one compact JSON object, without the line feed. Bytes that
// are not valid UTF-8 are written as U+FFFD, so a transcript with a broken
// byte still reaches the host. Absent when the message cannot be serialised.
std::optional<std::string> serializeMessage(const Message& message);

// The command on `line` when the line holds exactly one JSON object whose keys
// and values are all strings; absent for anything else (arrays, bare values,
// other value types, broken JSON, invalid UTF-8, trailing bytes).
std::optional<Command> parseCommand(std::string_view line);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_JSON_LINES_H_
