// Fuzzes the decoding of one command line: whatever the host writes, the
// decoder either refuses the line or returns a flat object of strings that
// survives being written out and read back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string_view>

#include "platform/json_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  std::optional<orlimbo::Command> command = orlimbo::parseCommand(line);
  if (!command) return 0;

  // A NUL byte would let a truncated prefix pass for the whole line.
  if (line.find('\0') != std::string_view::npos) std::abort();

  // Every accepted key and value is text the host could have written as JSON,
  // so writing the command again and decoding that gives the same command.
  nlohmann::json object = nlohmann::json::object();
  for (const auto& [key, value] : *command) object[key] = value;
  std::optional<orlimbo::Command> again = orlimbo::parseCommand(object.dump());
  if (!again || *again != *command) std::abort();
  return 0;
}
