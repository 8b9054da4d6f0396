#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

extern char** environ;

namespace orlimbo {
namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

Clock::time_point after(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(seconds));
}

// Reads what `fd` has into `into`; false at its end.
bool drain(int fd, std::string& into) {
  char buffer[65536];
  ssize_t count = ::read(fd, buffer, sizeof buffer);
  if (count <= 0) return false;
  into.append(buffer, static_cast<std::size_t>(count));
  return true;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment) {
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> argvPointers;
  for (std::string& argument : argv) argvPointers.push_back(argument.data());
  argvPointers.push_back(nullptr);
  std::vector<std::string> env(environment);
  for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
  std::vector<char*> envPointers;
  for (std::string& entry : env) envPointers.push_back(entry.data());
  envPointers.push_back(nullptr);

  if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argvPointers.data(),
                  envPointers.data()) != 0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);
  input_ = in[1];
  output_ = out[0];
  errors_ = err[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {input_, output_, errors_}) {
    if (fd >= 0) ::close(fd);
  }
}

bool ChildProcess::write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(input_, bytes.data(), bytes.size());
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void ChildProcess::closeInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

void ChildProcess::closeOutput() {
  if (output_ >= 0) ::close(output_);
  output_ = -1;
}

// Waits for output on either stream; false when standard output has ended
// or the time is up.
bool ChildProcess::fill(double seconds) {
  Clock::time_point deadline = after(seconds);
  for (;;) {
    pollfd fds[2] = {{output_, POLLIN, 0}, {errors_, POLLIN, 0}};
    int ready = poll(fds, 2, millisecondsUntil(deadline));
    if (ready <= 0) return false;
    if (fds[1].revents != 0 && !drain(errors_, errorText_)) {
      ::close(errors_);
      errors_ = -1;
    }
    if (fds[0].revents != 0) {
      if (drain(output_, pending_)) return true;
      closeOutput();
      return false;
    }
  }
}

std::optional<std::string> ChildProcess::readLine(double seconds) {
  Clock::time_point deadline = after(seconds);
  for (;;) {
    std::size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      taken_.push_back(line);
      return line;
    }
    if (output_ < 0 || !fill(millisecondsUntil(deadline) / 1000.0)) return std::nullopt;
  }
}

ChildExit ChildProcess::wait(double seconds) {
  // Never started: waitpid(-1) would reap some other child of the test.
  if (pid_ <= 0) return ChildExit{};
  Clock::time_point deadline = after(seconds);
  while (output_ >= 0 && readLine(millisecondsUntil(deadline) / 1000.0)) {
  }
  while (errors_ >= 0) {
    pollfd fd{errors_, POLLIN, 0};
    if (poll(&fd, 1, millisecondsUntil(deadline)) <= 0 || !drain(errors_, errorText_)) break;
  }
  ChildExit result;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    poll(nullptr, 0, 5);
  }
  pid_ = -1;
  result.lines = taken_;
  result.unterminated = pending_;
  result.errors = errorText_;
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace orlimbo
