#include "host/protocol.h"

#include <algorithm>

#include "host/process_values.h"

namespace orlimbo {

Message stateMessage(const std::string& state) {
  return {{"type", "state"}, {"state", state}};
}

Message interimMessage(const std::string& text) {
  return {{"type", "interim"}, {"text", text}};
}

Message finalMessage(const std::string& text) {
  return {{"type", "final"}, {"text", text}};
}

Message errorMessage(const std::string& sentence) {
  return {{"type", "error"}, {"message", sentence}};
}

Message statusMessage(bool available, const std::string& locale, const std::string* reason) {
  MessageValue reasonValue = nullptr;
  if (reason != nullptr) reasonValue = *reason;
  return {{"type", "status"}, {"available", available}, {"locale", locale}, {"reason", reasonValue}};
}

Message versionMessage() {
  return {{"type", "version"}, {"version", ORLIMBO_VERSION}, {"protocol", kProtocolVersion}};
}

void emit(const Message& message) {
  std::optional<std::string> bytes = serializeMessage(message);
  if (!bytes) return;
  bytes->push_back('\n');
  // Each interim replaces the one before, so one still waiting to be written
  // may be dropped for the next.
  bool replaceable =
      std::find(message.begin(), message.end(),
                Message::value_type("type", std::string("interim"))) != message.end();
  std::lock_guard<std::mutex> hold(*outputLock);
  platform->process.writeLine(std::move(*bytes), replaceable);
}

}  // namespace orlimbo
