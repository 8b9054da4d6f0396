// Test helper: sends standard error to a temporary file for one scope and
// tells what arrived there, so a test can prove that a library stayed silent.
//
// Created and used on the test's thread; writes from any thread are caught.
#ifndef ORLIMBO_PLATFORM_LINUX_CAPTURED_STDERR_H_
#define ORLIMBO_PLATFORM_LINUX_CAPTURED_STDERR_H_

#include <unistd.h>

#include <cstdio>
#include <string>

namespace orlimbo {

class CapturedStderr {
 public:
  CapturedStderr() : saved(dup(STDERR_FILENO)), file(std::tmpfile()) {
    std::fflush(stderr);
    if (file != nullptr) dup2(fileno(file), STDERR_FILENO);
  }
  ~CapturedStderr() {
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    if (file != nullptr) std::fclose(file);
  }
  CapturedStderr(const CapturedStderr&) = delete;
  CapturedStderr& operator=(const CapturedStderr&) = delete;

  std::string text() {
    std::fflush(stderr);
    std::string contents;
    if (file == nullptr) return "(standard error could not be captured)";
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) contents += static_cast<char>(c);
    return contents;
  }

 private:
  const int saved;
  std::FILE* const file;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_CAPTURED_STDERR_H_
