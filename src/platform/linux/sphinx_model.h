// One PocketSphinx model (acoustic model, language model, dictionary) and the
// decoder built from it. Loading takes a good part of a second, so it happens
// on a background thread of its own (the language model on a second one),
// started by preload() or by the first task that needs the decoder;
// recognition threads borrow the decoder one at a time.
//
// Created by the speech services on the main thread; every method may be
// called from any thread.
#ifndef ORLIMBO_PLATFORM_LINUX_SPHINX_MODEL_H_
#define ORLIMBO_PLATFORM_LINUX_SPHINX_MODEL_H_

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/linux/sphinx_model_files.h"

struct ps_decoder_s;
struct logmath_s;

namespace orlimbo {

class SphinxModel : public std::enable_shared_from_this<SphinxModel> {
 public:
  explicit SphinxModel(SphinxModelFiles files);
  SphinxModel(const SphinxModel&) = delete;
  SphinxModel& operator=(const SphinxModel&) = delete;
  ~SphinxModel();

  // Starts loading on a background thread unless loading has begun already.
  void preload();

  // Waits until the decoder is loaded and no other recognition holds it, and
  // lends it. Null when the model cannot be loaded, or as soon as
  // `interrupted` returns true after interruptWaiters() has been called.
  // `interrupted` runs with the model's lock held.
  ps_decoder_s* acquireDecoder(const std::function<bool()>& interrupted);
  // Gives back what acquireDecoder lent.
  void releaseDecoder();

  // Wakes every acquireDecoder call so that it asks its `interrupted` again.
  void interruptWaiters();

  // The decoder hit a fatal engine error and must not be lent again.
  void markBroken();
  // The model could not be loaded, or was marked broken.
  bool failed();

 private:
  enum class Stage { kIdle, kLoading, kReady, kFailed };

  void load();
  void finishLoading(ps_decoder_s* decoder);

  const SphinxModelFiles files;
  std::mutex mutex;
  std::condition_variable changed;
  Stage stage = Stage::kIdle;
  bool lent = false;
  ps_decoder_s* decoder = nullptr;
  // The log tables the language model computes with. The model only points
  // at them, so they must outlive the decoder that holds the model.
  logmath_s* languageModelLogMath = nullptr;
};

// While one exists on a thread, a fatal engine error on that thread runs
// `onFatal` and then parks the thread for good, instead of ending the process
// without a word to the host. Also silences the engine's logging.
class SphinxFatalGuard {
 public:
  explicit SphinxFatalGuard(std::function<void()> onFatal);
  SphinxFatalGuard(const SphinxFatalGuard&) = delete;
  SphinxFatalGuard& operator=(const SphinxFatalGuard&) = delete;
  ~SphinxFatalGuard();
};

// Routes every message of the engine to nowhere. Idempotent, thread-safe.
void silenceSphinxLogging();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_SPHINX_MODEL_H_
