// For tests: records what a recognition handler received, from whichever
// thread the recognition calls it on.
#ifndef ORLIMBO_PLATFORM_LINUX_RECOGNITION_REPORTS_H_
#define ORLIMBO_PLATFORM_LINUX_RECOGNITION_REPORTS_H_

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/speech.h"

namespace orlimbo {

class RecognitionReports {
 public:
  RecognitionHandler handler() {
    return [this](std::optional<RecognitionResult> result, std::optional<RecognitionError> error) {
      std::lock_guard lock(mutex);
      if (result) results.push_back(*result);
      if (error) ++errors;
      changed.notify_all();
    };
  }

  // Waits, bounded, for a final result or an error.
  bool waitForEnd(std::chrono::seconds limit = std::chrono::seconds(60)) {
    std::unique_lock lock(mutex);
    return changed.wait_for(
        lock, limit, [this] { return errors > 0 || (!results.empty() && results.back().isFinal); });
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<RecognitionResult> results;
  int errors = 0;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_RECOGNITION_REPORTS_H_
