#include "platform/apple/dispatch_main_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

namespace orlimbo {
namespace {

TEST(DispatchMainQueueTest, DelayNanoseconds) {
  constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  struct Case {
    double seconds;
    std::int64_t nanoseconds;
  };
  const std::vector<Case> cases = {
      {3.0, 3'000'000'000},    // the stop grace
      {60.0, 60'000'000'000},  // the listening cap
      {0.25, 250'000'000},     // fractions are kept
      {0.0, 0},                // now
      {-1.0, 0},               // overdue: now, not a wrapped-around delay
      {-infinity, 0},
      {nan, 0},
      {1e-10, 0},       // rounds to now
      {9.3e9, kNever},  // past what int64 nanoseconds count
      {1e300, kNever},
      {infinity, kNever},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(delayNanoseconds(c.seconds), c.nanoseconds) << c.seconds << " s";
  }
}

}  // namespace
}  // namespace orlimbo
