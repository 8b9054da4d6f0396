// Process services on POSIX: plain write(2)/read(2) on the standard streams,
// a detached thread for background work, preferred languages from the locale
// environment, and _exit for the end of the process.
#ifndef ORLIMBO_PLATFORM_LINUX_POSIX_PROCESS_H_
#define ORLIMBO_PLATFORM_LINUX_POSIX_PROCESS_H_

#include <optional>
#include <string>

#include "platform/process.h"

namespace orlimbo {

class PosixProcess final : public ProcessServices {
 public:
  // Ignores SIGPIPE, so a host that closes its end makes writes fail instead
  // of killing the process, and points standard error at /dev/null.
  PosixProcess();

  void writeOutput(std::string_view bytes) override;
  std::size_t readInput(std::span<char> buffer) override;
  void runInBackground(std::function<void()> work) override;
  std::vector<std::string> preferredLanguages() override;
  void exit(int status) override;
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
