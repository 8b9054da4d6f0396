#include "dictation_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>

extern char** environ;

namespace orlimbo_host {
namespace {

int expectedStatus(const std::string& closing) { return closing == "error" ? 1 : 0; }

}  // namespace

DictationClient::~DictationClient() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  closeInput();
  if (output_ >= 0) ::close(output_);
}

bool DictationClient::start(const std::string& helper, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment) {
  // A helper that goes away must not take the host with it.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return false;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

  std::vector<std::string> argumentStore{helper};
  argumentStore.insert(argumentStore.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argumentStore) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> environmentStore;
  for (char** entry = environ; *entry != nullptr; ++entry) environmentStore.emplace_back(*entry);
  environmentStore.insert(environmentStore.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (std::string& entry : environmentStore) envp.push_back(entry.data());
  envp.push_back(nullptr);

  int spawned = posix_spawn(&pid_, helper.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
  if (spawned != 0) {
    pid_ = -1;
    closeInput();
    closing_ =
        Event{Event::kFailure, "the helper did not start: " + std::string(strerror(spawned)), ""};
    return false;
  }
  arm(limits_.start, "no message within the start limit");
  return true;
}

void DictationClient::send(const char* command) {
  if (closing_ || done_ || input_ < 0) return;
  std::string line = std::string(R"({"command":")") + command + "\"}\n";
  // A short pipe write never blocks for long; a failure means the helper is
  // gone, which the exit shows.
  if (::write(input_, line.data(), line.size()) < 0) return;
  double seconds = limits_.stopGrace + limits_.margin;
  Clock::time_point candidate = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(seconds));
  // Never extend a running limit: the cap may already be closer.
  if (!deadline_ || candidate < *deadline_) arm(seconds, "no closing message after a command");
}

std::optional<Event> DictationClient::next(double waitSeconds) {
  if (done_) return std::nullopt;
  if (closing_ && closing_->kind == Event::kFailure) {
    done_ = true;
    return closing_;
  }
  Clock::time_point until = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(waitSeconds));
  while (true) {
    if (std::optional<Event> event = takeLine()) return event;
    if (outputEnded_) return exited();
    Clock::time_point now = Clock::now();
    if (deadline_ && now >= *deadline_) return fail(overrun_);
    Clock::time_point wake = deadline_ ? std::min(until, *deadline_) : until;
    auto milliseconds =
        std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(wake - now).count());
    pollfd watched{output_, POLLIN, 0};
    int ready = ::poll(&watched, 1, static_cast<int>(milliseconds));
    if (ready < 0 && errno != EINTR) return fail("poll failed");
    if (ready > 0) {
      if (std::optional<Event> event = readable()) return event;
      continue;
    }
    now = Clock::now();
    if (now >= until && !(deadline_ && now >= *deadline_)) return std::nullopt;
  }
}

std::optional<Event> DictationClient::readable() {
  char buffer[65536];
  ssize_t got = ::read(output_, buffer, sizeof buffer);
  if (got < 0) return errno == EINTR ? std::nullopt : std::optional(fail("read failed"));
  if (got == 0) {
    outputEnded_ = true;
    return std::nullopt;
  }
  pending_.append(buffer, static_cast<std::size_t>(got));
  return std::nullopt;
}

std::optional<Event> DictationClient::takeLine() {
  std::size_t end = pending_.find('\n');
  if (end == std::string::npos) return std::nullopt;
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  if (closing_) return fail("a line after the closing message");
  return decode(line);
}

std::optional<Event> DictationClient::decode(const std::string& line) {
  nlohmann::json message = nlohmann::json::parse(line, nullptr, false);
  if (!message.is_object()) return fail("not a JSON object: " + line.substr(0, 80));
  std::string type = message.value("type", "");
  std::string state = message.value("state", "");
  if (type == "final" || type == "error" || (type == "state" && state == "cancelled")) {
    Event closing{Event::kClosing, message.value(type == "final" ? "text" : "message", ""),
                  type == "state" ? "cancelled" : type};
    closing_ = closing;
    // Only now may standard input close: earlier it would cancel the run.
    closeInput();
    arm(limits_.exit, "the helper did not exit after its closing message");
    return std::nullopt;  // handed out once the exit status has been checked
  }
  if (type == "state") {
    if (state == "starting") deadline_.reset();  // a permission prompt waits for the user
    if (state == "listening") {
      arm(limits_.cap + limits_.stopGrace + limits_.margin, "no closing message after the cap");
    }
    return Event{Event::kState, state, ""};
  }
  if (type == "interim") return Event{Event::kInterim, message.value("text", ""), ""};
  return std::nullopt;  // unknown types: a newer helper must not break this host
}

std::optional<Event> DictationClient::exited() {
  // Standard output has ended; the exit follows at once, within the limit.
  int status = 0;
  while (true) {
    pid_t waited = ::waitpid(pid_, &status, WNOHANG);
    if (waited == pid_) break;
    if (waited < 0 && errno != EINTR) return fail("waitpid failed");
    if (deadline_ && Clock::now() >= *deadline_) return fail(overrun_);
    ::usleep(1000);
  }
  pid_ = -1;
  done_ = true;
  deadline_.reset();
  if (!closing_) return Event{Event::kFailure, "the helper exited without a closing message", ""};
  if (!WIFEXITED(status) || WEXITSTATUS(status) != expectedStatus(closing_->closing)) {
    return Event{Event::kFailure, "wrong exit status after \"" + closing_->closing + "\"", ""};
  }
  return closing_;
}

Event DictationClient::fail(const std::string& why) {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  done_ = true;
  closeInput();
  return Event{Event::kFailure, why, ""};
}

void DictationClient::arm(double seconds, const char* why) {
  deadline_ = Clock::now() +
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
  overrun_ = why;
}

void DictationClient::closeInput() {
  if (input_ >= 0) ::close(input_);
  input_ = -1;
}

}  // namespace orlimbo_host
