// A helper process run through pipes, as a host runs it: the test writes its
// standard input and reads its standard output and standard error. Every
// wait is bounded; a child that outlives its deadline is killed.
#ifndef ORLIMBO_TESTS_PROCESS_CHILD_PROCESS_H_
#define ORLIMBO_TESTS_PROCESS_CHILD_PROCESS_H_

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlimbo {

struct ChildExit {
  std::vector<std::string> lines;  // standard output, split at line feeds
  std::string unterminated;        // output after the last line feed
  std::string errors;              // standard error
  int status = -1;                 // exit status; -1 when killed by a signal
  int signal = 0;
};

class ChildProcess {
 public:
  // Starts `program` with `arguments`; `environment` entries ("NAME=value")
  // are added to the test's own environment.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Writes to the child's standard input; false once the child stopped reading.
  bool write(std::string_view bytes);
  void closeInput();
  // Closes the read end of standard output, as a host that goes away does.
  void closeOutput();

  // The next line of standard output, or absent at its end or after `seconds`.
  std::optional<std::string> readLine(double seconds = 10);

  // Reads the rest of both outputs and waits for the exit.
  ChildExit wait(double seconds = 20);

  pid_t pid() const { return pid_; }

 private:
  bool fill(double seconds);

  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::string pending_;  // output read but not yet returned as lines
  std::vector<std::string> taken_;
  std::string errorText_;
};

}  // namespace orlimbo

#endif  // ORLIMBO_TESTS_PROCESS_CHILD_PROCESS_H_
