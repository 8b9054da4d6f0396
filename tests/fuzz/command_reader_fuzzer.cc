// Fuzzes the command reader over a whole standard input: the first byte sets
// the size of the reads the input arrives in, the rest is the input. The run
// waits at an open permission prompt, so the first command that takes effect
// decides the only closing line: "stop" gives an empty final, "cancel" or the
// end of input gives "cancelled". The expected line comes from splitting the
// input independently of the reader, so a line lost or merged at a read
// boundary shows up as a different closing line.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/command_reader.h"
#include "platform/fake/expected_lines.h"
#include "platform/fake/fake_platform.h"

namespace {

using namespace orlimbo;

// The closing line a host should see for `input`.
std::string expectedClosing(std::string_view input) {
  while (!input.empty()) {
    std::size_t end = input.find('\n');
    std::string_view line = input.substr(0, end);
    input.remove_prefix(end == std::string_view::npos ? input.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxCommandLineBytes) continue;
    std::optional<Command> command = parseCommand(line);
    if (!command) continue;
    auto entry = command->find("command");
    if (entry == command->end()) continue;
    if (entry->second == "stop") return lines::final("");
    if (entry->second == "cancel") return lines::kCancelled;
  }
  return lines::kCancelled;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::size_t chunk = data[0] % 64 + 1;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);

  FakePlatform platform;
  platform.scenario.speechPrompt = std::nullopt;
  platform.run();
  for (std::size_t at = 0; at < input.size(); at += chunk) {
    platform.process.input.emplace_back(input.substr(at, chunk));
  }
  platform.endInput();

  std::vector<std::string> expected = {lines::kStarting, expectedClosing(input)};
  if (platform.lines() != expected) std::abort();
  if (platform.process.exitStatuses != std::vector<int>{0}) std::abort();
  return 0;
}
