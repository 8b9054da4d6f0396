#include "platform/linux/posix_main_queue.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <utility>

namespace orlimbo {
namespace {

struct Later {
  template <typename E>
  bool operator()(const E& a, const E& b) const {
    return a.due != b.due ? a.due > b.due : a.order > b.order;
  }
};

// What the signal handler may touch: lock-free atomics and write(2).
std::atomic<bool> signalReceived{false};
std::atomic<int> signalWakeFd{-1};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

extern "C" void noteSignal(int) {
  int saved = errno;
  signalReceived.store(true);
  int fd = signalWakeFd.load();
  if (fd >= 0) {
    char byte = 's';
    [[maybe_unused]] ssize_t ignored = ::write(fd, &byte, 1);
  }
  errno = saved;
}

// Without a wake-up pipe, how long the queue waits before it looks again.
constexpr auto kPollWithoutPipe = std::chrono::milliseconds(5);

}  // namespace

PosixMainQueue::PosixMainQueue() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    wakeRead = ends[0];
    wakeWrite = ends[1];
  }
}

PosixMainQueue::~PosixMainQueue() {
  if (wakeRead < 0) return;
  int expected = wakeWrite;
  signalWakeFd.compare_exchange_strong(expected, -1);
  ::close(wakeRead);
  ::close(wakeWrite);
}

void PosixMainQueue::post(Task task) { add(Clock::now(), std::move(task)); }

void PosixMainQueue::postAfter(double seconds, Task task) {
  if (!(seconds > 0)) seconds = 0;
  auto delay = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::min(seconds, 1e9)));
  add(Clock::now() + delay, std::move(task));
}

void PosixMainQueue::add(Clock::time_point due, Task task) {
  {
    std::lock_guard<std::mutex> hold(lock);
    entries.push_back({due, posted++, std::move(task)});
    std::push_heap(entries.begin(), entries.end(), Later());
  }
  wake();
}

void PosixMainQueue::wake() {
  if (wakeWrite < 0) return;
  char byte = 'p';
  // A full pipe already holds a wake-up.
  [[maybe_unused]] ssize_t ignored = ::write(wakeWrite, &byte, 1);
}

void PosixMainQueue::runOnSignals(std::initializer_list<int> signals, Task task) {
  {
    std::lock_guard<std::mutex> hold(lock);
    signalTask = std::move(task);
  }
  signalWakeFd.store(wakeWrite);
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigemptyset(&watchedSignals);
  for (int number : signals) {
    ::sigaction(number, &action, nullptr);
    sigaddset(&watchedSignals, number);
  }
  // From now on they arrive only while this thread waits (threads started
  // later block them from birth), so a handler never runs in the middle of a
  // task and no signal slips in between a look at the queue and the wait.
  watching = pthread_sigmask(SIG_BLOCK, &watchedSignals, nullptr) == 0;
}

namespace {

// ppoll with the watched signals let in for the length of the wait.
int waitLettingIn(const sigset_t* watched, pollfd* ready, nfds_t count, int milliseconds) {
  timespec timeout{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  sigset_t during;
  if (watched == nullptr || pthread_sigmask(SIG_SETMASK, nullptr, &during) != 0) {
    return ::ppoll(ready, count, &timeout, nullptr);
  }
  for (int number = 1; number < NSIG; ++number) {
    if (sigismember(watched, number) == 1) sigdelset(&during, number);
  }
  return ::ppoll(ready, count, &timeout, &during);
}

}  // namespace

void PosixMainQueue::waitForWake(std::optional<Clock::time_point> until) {
  // A day at most, then look again.
  std::chrono::milliseconds left = std::chrono::hours(24);
  if (until) {
    left = std::min(left, std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()));
  }
  if (wakeRead < 0) left = std::min<std::chrono::milliseconds>(left, kPollWithoutPipe);
  int timeout = static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
  const sigset_t* watched = watching ? &watchedSignals : nullptr;
  if (wakeRead < 0) {
    waitLettingIn(watched, nullptr, 0, timeout);
    return;
  }
  pollfd ready{wakeRead, POLLIN, 0};
  if (waitLettingIn(watched, &ready, 1, timeout) > 0) {
    char drained[256];
    while (::read(wakeRead, drained, sizeof drained) > 0) {
    }
  }
}

void PosixMainQueue::takePendingSignals() {
  if (watching) waitLettingIn(&watchedSignals, nullptr, 0, 0);
}

MainQueue::Task PosixMainQueue::nextTask() {
  std::unique_lock<std::mutex> hold(lock);
  for (;;) {
    if (signalTask && signalReceived.load()) return std::exchange(signalTask, nullptr);
    Clock::time_point now = Clock::now();
    if (!entries.empty() && entries.front().due <= now) {
      // A queue that is never idle still hears a signal before its next task.
      hold.unlock();
      takePendingSignals();
      hold.lock();
      if (signalTask && signalReceived.load()) return std::exchange(signalTask, nullptr);
      if (!entries.empty() && entries.front().due <= Clock::now()) break;
      continue;
    }
    std::optional<Clock::time_point> until;
    if (!entries.empty()) until = entries.front().due;
    hold.unlock();
    waitForWake(until);
    hold.lock();
  }
  std::pop_heap(entries.begin(), entries.end(), Later());
  Task task = std::move(entries.back().task);
  entries.pop_back();
  return task;
}

void PosixMainQueue::runNext() { nextTask()(); }

void PosixMainQueue::runTasksUntil(const std::function<bool()>& done) {
  while (!done()) runNext();
}

void PosixMainQueue::parkForever() {
  for (;;) runNext();
}

}  // namespace orlimbo
