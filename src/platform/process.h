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

  // Reads whatever standard input has next into `buffer`, blocking until some
  // bytes arrive. Returns how many were read; 0 means the input has ended or
  // cannot be read any more.
  virtual std::size_t readInput(std::span<char> buffer) = 0;

  // Runs `work` once on a background thread of user-initiated priority.
  virtual void runInBackground(std::function<void()> work) = 0;

  // The user's preferred languages as locale identifiers ("en-US"), first
  // choice first; empty when the system names none.
  virtual std::vector<std::string> preferredLanguages() = 0;

  // Ends the process with `status`. Safe while other threads run or block in
  // a read; nothing written by writeOutput is lost. Never returns on a real
  // platform (the fake records the status and returns).
  virtual void exit(int status) = 0;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_PROCESS_H_
