#include "host/command_reader.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "host/process_values.h"
#include "host/protocol.h"
#include "session/dictation_session.h"

namespace orlimbo {
namespace {

void decodeLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::optional<Command> command = parseCommand(line);
  if (!command) return;
  platform->mainQueue.post([decoded = std::move(*command)] { handleCommand(decoded); });
}

// Collects bytes into lines of bounded length.
class LineCollector {
 public:
  void add(std::string_view bytes) {
    while (!bytes.empty()) {
      std::size_t end = bytes.find('\n');
      append(bytes.substr(0, end));
      if (end == std::string_view::npos) return;
      finishLine();
      bytes.remove_prefix(end + 1);
    }
  }

  // The last line may lack its line feed.
  void finish() {
    if (!line.empty() || tooLong) finishLine();
  }

 private:
  void append(std::string_view part) {
    if (tooLong) return;
    if (line.size() + part.size() > kMaxCommandLineBytes) {
      tooLong = true;
      line = std::string();  // give the memory back, not just the size
      return;
    }
    line.append(part);
  }

  void finishLine() {
    if (!tooLong) decodeLine(line);
    line.clear();
    tooLong = false;
  }

  std::string line;
  bool tooLong = false;
};

}  // namespace

void readCommands() {
  std::array<char, 16 * 1024> buffer;
  LineCollector lines;
  for (;;) {
    std::size_t count = platform->process.readInput(buffer);
    if (count == 0) break;
    lines.add(std::string_view(buffer.data(), count));
  }
  lines.finish();
  platform->mainQueue.post([] { session->cancel(); });
}

void handleCommand(const Command& command) {
  auto entry = command.find("command");
  if (entry == command.end()) return;
  if (entry->second == kStopCommand) {
    session->stop();
  } else if (entry->second == kCancelCommand) {
    session->cancel();
  }
}

}  // namespace orlimbo
