// Process services on POSIX: write(2)/read(2) on the standard streams, message
// lines written by a writer thread of their own, detached threads for
// background work, termination signals observed by the main queue, preferred
// languages from the locale environment, and _exit for the end of the process.
#ifndef ORLIMBO_PLATFORM_LINUX_POSIX_PROCESS_H_
#define ORLIMBO_PLATFORM_LINUX_POSIX_PROCESS_H_

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "platform/linux/posix_main_queue.h"
#include "platform/process.h"

namespace orlimbo {

// Puts /dev/null on each of the standard descriptors 0, 1 and 2 that is
// closed, so that nothing the process opens later (a library's wake-up pipe,
// a socket) lands there and is read as commands or written over with
// messages. A closed standard input then reads as its end, a closed standard
// output swallows what is written. Called first thing in main.
void guardStandardDescriptors();

class PosixProcess final : public ProcessServices {
 public:
  // Ignores SIGPIPE, so a host that closes its end makes writes fail instead
  // of killing the process, and points standard error at /dev/null.
  // Termination requests are run on `mainQueue`.
  explicit PosixProcess(PosixMainQueue& mainQueue);

  void writeOutput(std::string_view bytes) override;
  // Hands the line to the writer thread, started on the first replaceable
  // line (an interim); before it, or without one, writes the line at once.
  void writeLine(std::string line, bool replaceable) override;
  std::size_t readInput(std::span<char> buffer) override;
  bool runInBackground(std::function<void()> work) override;
  void onTerminationRequest(std::function<void()> task) override;
  std::vector<std::string> preferredLanguages() override;
  // Waits until the writer thread has written every line, then ends.
  void exit(int status) override;

 private:
  void writeLines();

  PosixMainQueue& mainQueue;
  std::mutex linesLock;
  std::condition_variable linesChanged;
  std::deque<std::string> lines;  // waiting for the writer thread
  bool lastReplaceable = false;   // the back of lines may be replaced
  bool writing = false;           // the writer thread holds a line
  enum class Writer { kNone, kRunning, kRefused } writer = Writer::kNone;
};

// "en_US.UTF-8" → "en-US"; absent for "", "C" and "POSIX" (with or without a
// codeset or modifier).
std::optional<std::string> localeIdentifierFromPosix(std::string_view posixLocale);

// The locale identifiers named by LANGUAGE (a colon-separated list), then
// LC_ALL, LC_MESSAGES and LANG, in that order, without repeats; `lookup`
// reads one environment variable.
std::vector<std::string> preferredLanguagesFrom(const char* (*lookup)(const char* name));

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_POSIX_PROCESS_H_
