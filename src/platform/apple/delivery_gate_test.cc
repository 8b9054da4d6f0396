#include "platform/apple/delivery_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace orlimbo {
namespace {

TEST(DeliveryGateTest, DeliversUntilClosedOnce) {
  DeliveryGate gate;
  int delivered = 0;
  EXPECT_TRUE(gate.pass([&] { ++delivered; }));
  EXPECT_TRUE(gate.pass([&] { ++delivered; }));
  EXPECT_TRUE(gate.close());
  EXPECT_FALSE(gate.pass([&] { ++delivered; }));
  EXPECT_FALSE(gate.close());  // a second close is harmless and says so
  EXPECT_EQ(delivered, 2);
}

// The deliverer is held inside its pass while another thread closes the gate:
// close() returns only after that pass has finished. `finished` is a plain
// bool, so a close that did not wait is also a data race that ThreadSanitizer
// reports.
TEST(DeliveryGateTest, CloseWaitsForThePassInProgress) {
  DeliveryGate gate;
  std::atomic<bool> inside{false}, release{false};
  bool finished = false;
  std::thread deliverer([&] {
    gate.pass([&] {
      inside = true;
      while (!release) std::this_thread::yield();
      finished = true;
    });
  });
  while (!inside) std::this_thread::yield();

  bool finishedWhenClosed = false;
  std::thread closer([&] {
    gate.close();
    finishedWhenClosed = finished;
  });
  // Let the pass end only once the closer has closed the gate, so that close()
  // has a pass to wait for.
  while (gate.pass([] {})) std::this_thread::yield();
  release = true;

  closer.join();
  deliverer.join();
  EXPECT_TRUE(finishedWhenClosed);
}

// A deliverer that keeps passing while the gate closes: nothing is delivered
// after close() returns.
TEST(DeliveryGateTest, NothingIsDeliveredAfterClose) {
  DeliveryGate gate;
  std::atomic<bool> started{false};
  long delivered = 0;  // plain: written in passes, read after close()
  std::thread deliverer([&] {
    while (gate.pass([&] {
      ++delivered;
      started = true;
    })) {
    }
  });
  while (!started) std::this_thread::yield();
  gate.close();
  const long atClose = delivered;
  deliverer.join();
  EXPECT_GT(atClose, 0);
  EXPECT_EQ(delivered, atClose);
}

}  // namespace
}  // namespace orlimbo
