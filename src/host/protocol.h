// The line protocol between the helper and its host: the messages written to
// standard output, the commands read from standard input, and the exit
// statuses. Every message leaves the process through emit().
#ifndef ORLIMBO_HOST_PROTOCOL_H_
#define ORLIMBO_HOST_PROTOCOL_H_

#include <string>

#include "platform/json_lines.h"

namespace orlimbo {

inline constexpr int kExitSuccess = 0;  // after "final", "cancelled" or a status report
inline constexpr int kExitFailure = 1;  // after "error"

// The version of this line protocol: raised only when a host written for an
// earlier one would misread the helper.
inline constexpr int kProtocolVersion = 1;

inline constexpr char kStopCommand[] = "stop";
inline constexpr char kCancelCommand[] = "cancel";

// {"type":"state","state":<state>} for "starting", "listening", "stopping" and
// "cancelled".
Message stateMessage(const std::string& state);

// {"type":"interim","text":<text>}
Message interimMessage(const std::string& text);

// {"type":"final","text":<text>}
Message finalMessage(const std::string& text);

// {"type":"error","message":<sentence>}
Message errorMessage(const std::string& sentence);

// {"type":"status","available":…,"locale":…,"reason":… or null}
Message statusMessage(bool available, const std::string& locale, const std::string* reason);

// {"type":"version","version":<the program's version>,"protocol":kProtocolVersion}
Message versionMessage();

// Writes `message` as one line on standard output, holding outputLock across
// the object's bytes and its line feed. A message that cannot be serialised is
// dropped and the caller carries on as if it had been written.
void emit(const Message& message);

}  // namespace orlimbo

#endif  // ORLIMBO_HOST_PROTOCOL_H_
