// The main queue on POSIX: tasks and delayed tasks in one queue ordered by
// the moment they become due on the monotonic clock, run one at a time by the
// thread that calls parkForever (the main thread). The thread waits in
// ppoll(2) on a pipe that posts and signal handlers write to, so that a signal
// can wake it without doing anything a signal handler must not. Watched
// signals are blocked in the waiting thread except inside ppoll, so each one
// is taken exactly where the queue is ready to notice it.
#ifndef ORLIMBO_PLATFORM_LINUX_POSIX_MAIN_QUEUE_H_
#define ORLIMBO_PLATFORM_LINUX_POSIX_MAIN_QUEUE_H_

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/main_queue.h"

namespace orlimbo {

class PosixMainQueue final : public MainQueue {
 public:
  PosixMainQueue();
  ~PosixMainQueue() override;

  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  void parkForever() override;

  // Runs the next task, waiting until one is due.
  void runNext();

  // Runs tasks as they become due until `done` answers true; whoever makes it
  // true posts a task to have it looked at. Lets a caller on the main queue
  // wait for another thread while the queue keeps serving.
  void runTasksUntil(const std::function<bool()>& done);

  // Runs `task` once, before any other task, after the process has received
  // one of `signals`. One queue per process may watch signals, once.
  void runOnSignals(std::initializer_list<int> signals, Task task);

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    Clock::time_point due;
    std::uint64_t order;
    Task task;
  };
  void add(Clock::time_point due, Task task);
  Task nextTask();
  void wake();
  void waitForWake(std::optional<Clock::time_point> until);
  // Takes any watched signal that is pending, without waiting.
  void takePendingSignals();

  std::mutex lock;
  std::vector<Entry> entries;  // a heap: earliest due (then first posted) on top
  std::uint64_t posted = 0;
  Task signalTask;
  sigset_t watchedSignals;
  bool watching = false;
  // Read and write ends of the wake-up pipe; -1 when there is none, and the
  // queue then looks again every few milliseconds.
  int wakeRead = -1;
  int wakeWrite = -1;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_POSIX_MAIN_QUEUE_H_
