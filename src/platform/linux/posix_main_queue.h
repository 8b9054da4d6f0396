// The main queue on POSIX: tasks and delayed tasks in one queue ordered by
// the moment they become due on the monotonic clock, run one at a time by the
// thread that calls parkForever (the main thread).
#ifndef ORLIMBO_PLATFORM_LINUX_POSIX_MAIN_QUEUE_H_
#define ORLIMBO_PLATFORM_LINUX_POSIX_MAIN_QUEUE_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/main_queue.h"

namespace orlimbo {

class PosixMainQueue final : public MainQueue {
 public:
  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  void parkForever() override;

  // Runs the next task, waiting until one is due.
  void runNext();

 private:
  using Clock = std::chrono::steady_clock;
  struct Entry {
    Clock::time_point due;
    std::uint64_t order;
    Task task;
  };
  void add(Clock::time_point due, Task task);
  Task nextTask();

  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Entry> entries_;  // a heap: earliest due (then first posted) on top
  std::uint64_t posted_ = 0;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_POSIX_MAIN_QUEUE_H_
