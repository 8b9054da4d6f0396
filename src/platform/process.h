// Process services: the standard streams, the background thread for the
// command reader, the user's preferred languages and the process exit.
//
// One instance per process, created by the platform before start-up.
#ifndef ORLIMBO_PLATFORM_PROCESS_H_
#define ORLIMBO_PLATFORM_PROCESS_H_

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orlimbo {

class ProcessServices {
 public:
  ProcessServices() = default;
  ProcessServices(const ProcessServices&) = delete;
  ProcessServices& operator=(const ProcessServices&) = delete;
  virtual ~ProcessServices() = default;

  // Writes all of `bytes` to standard output, unbuffered: they are in the pipe
  // when this returns. A failed write (the host closed its end) is dropped
  // silently; the process never dies of it.
  virtual void writeOutput(std::string_view bytes) = 0;

  // Writes one message line, line feed included. Lines leave in the order
  // they come, but a platform may write them from a thread of its own, so
  // that a host that reads slowly or not at all never holds up the caller; a
  // `replaceable` line still waiting there is then dropped for the next
  // replaceable line that comes right after it. exit() writes every line
  // still waiting first. By default the line is written at once.
  virtual void writeLine(std::string line, bool replaceable) {
    (void)replaceable;
    writeOutput(line);
  }

  // Reads whatever standard input has next into `buffer`, blocking until some
  // bytes arrive. Returns how many were read; 0 means the input has ended or
  // cannot be read any more.
  virtual std::size_t readInput(std::span<char> buffer) = 0;

  // Runs `work` once on a background thread of user-initiated priority.
  // False when no thread could be had; `work` then never runs.
  virtual bool runInBackground(std::function<void()> work) = 0;

  // Has the main queue run `task` once when the process is asked from
  // outside to end (a termination, interrupt or hang-up signal). Called once,
  // before the main queue is parked. By default such a request is not seen.
  virtual void onTerminationRequest(std::function<void()> task) { (void)task; }

  // The user's preferred languages as locale identifiers ("en-US"), first
  // choice first; empty when the system names none.
  virtual std::vector<std::string> preferredLanguages() = 0;

  // Ends the process with `status`. Safe while other threads run or block in
  // a read; nothing written by writeOutput or writeLine is lost. Never returns on a real
  // platform (the fake records the status and returns).
  virtual void exit(int status) = 0;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_PROCESS_H_
