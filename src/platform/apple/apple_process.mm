#include "platform/apple/apple_process.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <utility>

#import <Foundation/Foundation.h>
#import <dispatch/dispatch.h>

namespace orlimbo {
namespace {

// Waits until `fd` is ready for `events`; false when it never will be.
bool waitUntilReady(int fd, short events) {
  pollfd entry{fd, events, 0};
  for (;;) {
    int ready = ::poll(&entry, 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0 && (entry.revents & (events | POLLHUP)) != 0;
  }
}

bool shouldRetry(int error, int fd, short events) {
  if (error == EINTR) return true;
  return (error == EAGAIN || error == EWOULDBLOCK) && waitUntilReady(fd, events);
}

dispatch_queue_t writerQueue() {
  static dispatch_queue_t const queue =
      dispatch_queue_create("app.orlimbo.dictation.output", DISPATCH_QUEUE_SERIAL);
  return queue;
}

}  // namespace

AppleProcess::AppleProcess() { signal(SIGPIPE, SIG_IGN); }

void AppleProcess::writeOutput(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0 && shouldRetry(errno, STDOUT_FILENO, POLLOUT)) continue;
    if (written <= 0) return;  // the host is gone; nothing can be done about it
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void AppleProcess::writeLine(std::string line, bool replaceable) {
  {
    std::lock_guard<std::mutex> hold(linesLock);
    if (replaceable && lastReplaceable && !lines.empty()) {
      lines.back() = std::move(line);
    } else {
      lines.push_back(std::move(line));
    }
    lastReplaceable = replaceable;
  }
  dispatch_async(writerQueue(), ^{
    writeWaitingLines();
  });
}

void AppleProcess::writeWaitingLines() {
  for (;;) {
    std::string line;
    {
      std::lock_guard<std::mutex> hold(linesLock);
      if (lines.empty()) return;
      line = std::move(lines.front());
      lines.pop_front();
      if (lines.empty()) lastReplaceable = false;
    }
    writeOutput(line);
  }
}

std::size_t AppleProcess::readInput(std::span<char> buffer) {
  for (;;) {
    ssize_t count = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (count < 0 && shouldRetry(errno, STDIN_FILENO, POLLIN)) continue;
    return count > 0 ? static_cast<std::size_t>(count) : 0;
  }
}

bool AppleProcess::runInBackground(std::function<void()> work) {
  std::function<void()> run = std::move(work);
  dispatch_async(dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0), ^{
    run();
  });
  return true;
}

void AppleProcess::onTerminationRequest(std::function<void()> task) {
  // Kept for the life of the process: a released source stops watching.
  static NSMutableArray* const sources = [[NSMutableArray alloc] init];
  const std::function<void()> run = std::move(task);
  for (int number : {SIGTERM, SIGINT, SIGHUP}) {
    dispatch_source_t source = dispatch_source_create(
        DISPATCH_SOURCE_TYPE_SIGNAL, static_cast<uintptr_t>(number), 0, dispatch_get_main_queue());
    if (source == nil) continue;
    // The source sees the signal only once its default action, the end of the
    // process without a closing line, is switched off.
    signal(number, SIG_IGN);
    dispatch_source_set_event_handler(source, ^{
      run();
    });
    dispatch_resume(source);
    [sources addObject:source];
  }
}

std::vector<std::string> AppleProcess::preferredLanguages() {
  std::vector<std::string> languages;
  @autoreleasepool {
    for (NSString* language in NSLocale.preferredLanguages) {
      if (const char* text = language.UTF8String) languages.emplace_back(text);
    }
  }
  return languages;
}

void AppleProcess::exit(int status) {
  // The closing line is the last one queued; the process ends once the host
  // has taken it (or has closed its end, which makes the write fail).
  dispatch_sync(writerQueue(), ^{
    writeWaitingLines();
  });
  // _exit runs no static destructors and no atexit handlers, so threads still
  // blocked in a read or capturing audio never see half-destroyed globals.
  // Standard output is written unbuffered, so nothing is left to flush.
  ::_exit(status);
}

}  // namespace orlimbo
