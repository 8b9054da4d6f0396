#include "platform/linux/posix_main_queue.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace orlimbo {
namespace {

// The queue runs on the real monotonic clock; the delays here are a few
// milliseconds, and only their order is checked.
TEST(PosixMainQueueTest, RunsTasksInTheOrderTheyBecomeDue) {
  PosixMainQueue queue;
  std::string ran;
  queue.postAfter(0.004, [&] { ran += "D"; });
  queue.post([&] { ran += "A"; });
  queue.postAfter(0.002, [&] { ran += "C"; });
  queue.post([&] { ran += "B"; });
  queue.postAfter(-1, [&] { ran += "b"; });  // a delay below zero is no delay
  for (int i = 0; i < 5; ++i) queue.runNext();
  EXPECT_EQ(ran, "ABbCD");
}

TEST(PosixMainQueueTest, DelayedTaskWaitsForItsTime) {
  PosixMainQueue queue;
  auto posted = std::chrono::steady_clock::now();
  queue.postAfter(0.003, [] {});
  queue.runNext();
  EXPECT_GE(std::chrono::steady_clock::now() - posted, std::chrono::milliseconds(3));
}

TEST(PosixMainQueueTest, WakesForTasksPostedFromOtherThreads) {
  PosixMainQueue queue;
  queue.postAfter(3600, [] { FAIL() << "a far task ran first"; });
  std::string ran;
  std::thread poster([&queue, &ran] {
    for (int i = 0; i < 100; ++i) {
      queue.post([&ran, i] { ran += std::to_string(i % 10); });
    }
  });
  for (int i = 0; i < 100; ++i) queue.runNext();
  poster.join();
  EXPECT_EQ(ran.size(), 100u);
  EXPECT_EQ(ran.substr(0, 10), "0123456789");
}

// The signal handler only wakes the queue; the task runs on the queue's own
// thread, once, ahead of tasks that are not yet due.
TEST(PosixMainQueueTest, RunsTheSignalTaskOnceWhenASignalArrives) {
  PosixMainQueue queue;
  std::thread::id ranOn;
  int runs = 0;
  queue.runOnSignals({SIGUSR2}, [&] {
    ranOn = std::this_thread::get_id();
    ++runs;
  });
  queue.postAfter(3600, [] { FAIL() << "a far task ran first"; });
  // The signal goes to the thread that waits in the queue, as it does in the
  // helper, where every other thread blocks it; sent to that thread itself,
  // so that no runtime thread of the test (a sanitizer's) can take it.
  const pthread_t waiting = pthread_self();
  std::thread signaller([waiting] { pthread_kill(waiting, SIGUSR2); });
  queue.runNext();
  signaller.join();
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // A second signal finds the task gone: the queue goes on with its tasks.
  pthread_kill(pthread_self(), SIGUSR2);
  queue.post([] {});
  queue.runNext();
  EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace orlimbo
