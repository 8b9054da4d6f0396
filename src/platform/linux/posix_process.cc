#include "platform/linux/posix_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/linux/detached_thread.h"

namespace orlimbo {
namespace {

// True when the call failed only because the host left the stream
// non-blocking; waits until it is ready again.
bool waitedUntilReady(int fd, short events) {
  if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
  pollfd ready{fd, events, 0};
  while (poll(&ready, 1, -1) < 0 && errno == EINTR) {
  }
  return true;
}

}  // namespace

void guardStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    // open(2) takes the lowest free descriptor, which is this one: the lower
    // ones are open by now.
    int parked = ::open("/dev/null", O_RDWR);
    if (parked >= 0 && parked != fd) ::close(parked);
  }
}

PosixProcess::PosixProcess(PosixMainQueue& mainQueue) : mainQueue(mainQueue) {
  signal(SIGPIPE, SIG_IGN);
  // The helper has nothing to say on standard error, and the libraries it
  // uses must not say anything there either: libpulse prints some failures
  // (a missing cookie, for one) at a level no setting turns off.
  int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (nowhere >= 0 && nowhere != STDERR_FILENO) {
    ::dup2(nowhere, STDERR_FILENO);
    ::close(nowhere);
  }
}

void PosixProcess::writeOutput(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0 && (errno == EINTR || waitedUntilReady(STDOUT_FILENO, POLLOUT))) continue;
    if (written <= 0) return;  // the host is gone; nothing can be done about it
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void PosixProcess::writeLine(std::string line, bool replaceable) {
  std::unique_lock<std::mutex> hold(linesLock);
  // Only interims come in numbers that can fill the pipe; until the first
  // one, lines are written at once, which spares a status report a thread.
  if (writer == Writer::kNone && replaceable) {
    writer = startDetachedThread([this] { writeLines(); }) ? Writer::kRunning : Writer::kRefused;
  }
  if (writer != Writer::kRunning) {
    hold.unlock();
    writeOutput(line);
    return;
  }
  if (replaceable && lastReplaceable && !lines.empty()) {
    lines.back() = std::move(line);
  } else {
    lines.push_back(std::move(line));
  }
  lastReplaceable = replaceable;
  linesChanged.notify_all();
}

void PosixProcess::writeLines() {
  std::unique_lock<std::mutex> hold(linesLock);
  for (;;) {
    linesChanged.wait(hold, [this] { return !lines.empty(); });
    std::string line = std::move(lines.front());
    lines.pop_front();
    writing = true;
    hold.unlock();
    writeOutput(line);
    hold.lock();
    writing = false;
    linesChanged.notify_all();
  }
}

std::size_t PosixProcess::readInput(std::span<char> buffer) {
  for (;;) {
    ssize_t count = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (count < 0 && (errno == EINTR || waitedUntilReady(STDIN_FILENO, POLLIN))) continue;
    return count > 0 ? static_cast<std::size_t>(count) : 0;
  }
}

bool PosixProcess::runInBackground(std::function<void()> work) {
  return startDetachedThread(std::move(work));
}

void PosixProcess::onTerminationRequest(std::function<void()> task) {
  mainQueue.runOnSignals({SIGTERM, SIGINT, SIGHUP}, std::move(task));
}

std::vector<std::string> PosixProcess::preferredLanguages() {
  return preferredLanguagesFrom([](const char* name) -> const char* { return std::getenv(name); });
}

void PosixProcess::exit(int status) {
  {
    // The closing message is among the lines still waiting. A host that
    // never reads keeps the process here, with the microphone released.
    std::unique_lock<std::mutex> hold(linesLock);
    linesChanged.wait(hold, [this] { return lines.empty() && !writing; });
  }
  // _exit runs no static destructors and no atexit handlers, so threads still
  // blocked in a read or capturing audio never see half-destroyed globals.
  // Standard output is unbuffered, so nothing is left to flush.
  ::_exit(status);
}

std::optional<std::string> localeIdentifierFromPosix(std::string_view posixLocale) {
  std::string_view name = posixLocale.substr(0, posixLocale.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return std::nullopt;
  std::string identifier(name);
  std::replace(identifier.begin(), identifier.end(), '_', '-');
  return identifier;
}

std::vector<std::string> preferredLanguagesFrom(const char* (*lookup)(const char* name)) {
  std::vector<std::string> languages;
  auto add = [&languages](std::string_view posixLocale) {
    std::optional<std::string> identifier = localeIdentifierFromPosix(posixLocale);
    if (identifier && std::find(languages.begin(), languages.end(), *identifier) == languages.end()) {
      languages.push_back(std::move(*identifier));
    }
  };
  if (const char* list = lookup("LANGUAGE")) {
    std::string_view rest(list);
    while (!rest.empty()) {
      std::size_t colon = rest.find(':');
      add(rest.substr(0, colon));
      rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
    }
  }
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (const char* value = lookup(name)) add(value);
  }
  return languages;
}

}  // namespace orlimbo
