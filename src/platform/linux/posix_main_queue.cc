#include "platform/linux/posix_main_queue.h"

#include <algorithm>
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

}  // namespace

void PosixMainQueue::post(Task task) { add(Clock::now(), std::move(task)); }

void PosixMainQueue::postAfter(double seconds, Task task) {
  if (!(seconds > 0)) seconds = 0;
  auto delay = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(std::min(seconds, 1e9)));
  add(Clock::now() + delay, std::move(task));
}

void PosixMainQueue::add(Clock::time_point due, Task task) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    entries_.push_back({due, posted_++, std::move(task)});
    std::push_heap(entries_.begin(), entries_.end(), Later());
  }
  changed_.notify_one();
}

MainQueue::Task PosixMainQueue::nextTask() {
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    if (entries_.empty()) {
      changed_.wait(hold);
      continue;
    }
    Clock::time_point due = entries_.front().due;
    if (due <= Clock::now()) break;
    changed_.wait_until(hold, due);
  }
  std::pop_heap(entries_.begin(), entries_.end(), Later());
  Task task = std::move(entries_.back().task);
  entries_.pop_back();
  return task;
}

void PosixMainQueue::runNext() { nextTask()(); }

void PosixMainQueue::parkForever() {
  for (;;) runNext();
}

}  // namespace orlimbo
