// The main queue on macOS: the main dispatch queue, drained by the main thread
// once parkForever hands it over. Delays run on the uptime clock, which the
// wall clock does not move.
//
// Created in main() before start-up; post and postAfter may be called from any
// thread.
#ifndef ORLIMBO_PLATFORM_APPLE_DISPATCH_MAIN_QUEUE_H_
#define ORLIMBO_PLATFORM_APPLE_DISPATCH_MAIN_QUEUE_H_

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/main_queue.h"

namespace orlimbo {

class DispatchMainQueue final : public MainQueue {
 public:
  void post(Task task) override;
  void postAfter(double seconds, Task task) override;
  // dispatch_main: never returns.
  [[noreturn]] void parkForever() override;
};

// `seconds` as a dispatch delay in nanoseconds: 0 for a negative or NaN delay
// (run as soon as possible), the largest delay for one too long to count (the
// task never runs). Converting such a double directly is undefined.
inline std::int64_t delayNanoseconds(double seconds) {
  constexpr double kNanosecondsPerSecond = 1e9;
  constexpr double kLongest = 9.2e18;  // below INT64_MAX, exactly representable
  if (!(seconds > 0)) return 0;
  double nanoseconds = std::round(seconds * kNanosecondsPerSecond);
  if (!(nanoseconds < kLongest)) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(nanoseconds);
}

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_APPLE_DISPATCH_MAIN_QUEUE_H_
