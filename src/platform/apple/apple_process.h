// Process services on macOS: write(2)/read(2) on the standard streams, message
// lines written on a serial dispatch queue of their own, the user-initiated
// global dispatch queue for background work, termination signals seen on the
// main queue, the preferred languages of the user's settings, and _exit for
// the end of the process.
//
// One instance, created in main() before start-up and never destroyed.
#ifndef ORLIMBO_PLATFORM_APPLE_APPLE_PROCESS_H_
#define ORLIMBO_PLATFORM_APPLE_APPLE_PROCESS_H_

#include <deque>
#include <mutex>
#include <string>

#include "platform/process.h"

namespace orlimbo {

class AppleProcess final : public ProcessServices {
 public:
  // Ignores SIGPIPE, so a host that closes its end makes writes fail instead
  // of killing the process.
  AppleProcess();

  // A stream the host left non-blocking is waited on, not given up on: a full
  // pipe loses no output, and input that is not there yet is not its end.
  void writeOutput(std::string_view bytes) override;
  // Hands the line to the writer queue, so that the main queue never waits
  // for a host that does not read; an interim still waiting there is replaced
  // by the next one.
  void writeLine(std::string line, bool replaceable) override;
  std::size_t readInput(std::span<char> buffer) override;
  bool runInBackground(std::function<void()> work) override;
  // SIGTERM, SIGINT and SIGHUP run `task` on the main queue instead of ending
  // the process.
  void onTerminationRequest(std::function<void()> task) override;
  std::vector<std::string> preferredLanguages() override;
  // Waits until the writer queue has written every line, then ends.
  [[noreturn]] void exit(int status) override;

 private:
  void writeWaitingLines();

  std::mutex linesLock;
  std::deque<std::string> lines;  // waiting for the writer queue
  bool lastReplaceable = false;   // the back of lines may be replaced
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_APPLE_APPLE_PROCESS_H_
