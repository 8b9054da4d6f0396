// The main queue: a serial queue that runs every piece of session logic on the
// main thread, one task at a time, in the order the tasks become due.
//
// Created by the platform before start-up; `post` and `postAfter` may be called
// from any thread. `parkForever` is called once, on the main thread, and hands
// that thread to the queue until the process exits.
#ifndef ORLIMBO_PLATFORM_MAIN_QUEUE_H_
#define ORLIMBO_PLATFORM_MAIN_QUEUE_H_

#include <functional>

namespace orlimbo {

class MainQueue {
 public:
  using Task = std::function<void()>;

  MainQueue() = default;
  MainQueue(const MainQueue&) = delete;
  MainQueue& operator=(const MainQueue&) = delete;
  virtual ~MainQueue() = default;

  // Runs `task` as soon as the tasks already due have run.
  virtual void post(Task task) = 0;

  // Runs `task` once `seconds` have passed on a monotonic clock; changes of the
  // wall clock do not move it. Tasks due at the same moment run in the order
  // they were posted.
  virtual void postAfter(double seconds, Task task) = 0;

  // Runs tasks until the process exits; never returns on a real platform.
  virtual void parkForever() = 0;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_MAIN_QUEUE_H_
