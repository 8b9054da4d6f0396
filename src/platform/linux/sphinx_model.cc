#include "platform/linux/sphinx_model.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sphinxbase/logmath.h>
#include <sphinxbase/ngram_model.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "platform/linux/detached_thread.h"

namespace orlimbo {
namespace {

thread_local std::function<void()>* fatalHandler = nullptr;

[[noreturn]] void parkThisThread() {
  for (;;) pause();
}

// The engine's only output channel. A fatal error is followed by exit() in
// the engine's own code, so the thread must never return to it.
void onEngineMessage(void*, err_lvl_t level, const char*, ...) {
  if (level != ERR_FATAL || fatalHandler == nullptr) return;
  (*fatalHandler)();
  parkThisThread();
}

constexpr char kSearch[] = "dictation";

// The decoder's configuration, without the language model, which the decoder
// gets from a LanguageModelRead. One forward pass only: the second passes
// (-fwdflat, -bestpath) delay the final result and now and then collapse a
// whole sentence into one word, so that the final disagrees with the interim
// text the user saw. -maxhmmpf bounds the active states per frame: 10000 keeps
// decoding within real time here and costs no words on read speech, where
// 3000 lost some.
cmd_ln_t* decoderConfig(const SphinxModelFiles& files) {
  return cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", files.acousticModel.c_str(), "-dict",
                     files.dictionary.c_str(), "-fwdflat", "no", "-bestpath", "no", "-maxhmmpf",
                     "10000", nullptr);
}

// Reads a language model on whichever thread runs run(), for the thread that
// waits. Owned by both, so that either may give up on the other.
class LanguageModelRead {
 public:
  explicit LanguageModelRead(std::string path) : path(std::move(path)) {}
  ~LanguageModelRead() {
    if (model != nullptr) ngram_model_free(model);
    if (logMath != nullptr) logmath_free(logMath);
  }

  // On a thread of its own, where a fatal engine error ends the read instead.
  void runGuarded() {
    SphinxFatalGuard guard([this] { finish(nullptr); });
    run();
  }

  void run() {
    // A configuration of its own: the decoder writes to its configuration
    // while it loads. The log base (and with it every score) is the decoder's.
    cmd_ln_t* config = decoderConfig(SphinxModelFiles{});
    logmath_t* logMath = config != nullptr ? logmath_init(cmd_ln_float32_r(config, "-logbase"), 0,
                                                          cmd_ln_boolean_r(config, "-bestpath"))
                                           : nullptr;
    ngram_model_t* read =
        logMath != nullptr ? ngram_model_read(config, path.c_str(), NGRAM_AUTO, logMath) : nullptr;
    // The model keeps its own reference to the configuration, but only points
    // at the log tables: they stay with this object, and with whoever takes
    // the model (logMathOfModel).
    if (config != nullptr) cmd_ln_free_r(config);
    finish(read, logMath);
  }

  // Waits for run() to end; the model stays owned by this object.
  ngram_model_t* wait() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return done; });
    return model;
  }

  // After wait(): a new reference to the model's log tables, or null.
  logmath_t* logMathOfModel() { return logMath != nullptr ? logmath_retain(logMath) : nullptr; }

 private:
  void finish(ngram_model_t* read, logmath_t* tables = nullptr) {
    {
      std::lock_guard lock(mutex);
      model = read;
      logMath = tables;
      done = true;
    }
    changed.notify_all();
  }

  const std::string path;
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
  ngram_model_t* model = nullptr;
  logmath_t* logMath = nullptr;
};

}  // namespace

void silenceSphinxLogging() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The configuration table is printed straight to the log stream, past
    // any callback.
    err_set_logfp(nullptr);
    err_set_callback(onEngineMessage, nullptr);
  });
}

SphinxFatalGuard::SphinxFatalGuard(std::function<void()> onFatal) {
  silenceSphinxLogging();
  fatalHandler = new std::function<void()>(std::move(onFatal));
}

SphinxFatalGuard::~SphinxFatalGuard() {
  delete fatalHandler;
  fatalHandler = nullptr;
}

SphinxModel::SphinxModel(SphinxModelFiles files) : files(std::move(files)) {
  silenceSphinxLogging();
}

SphinxModel::~SphinxModel() {
  if (decoder != nullptr) ps_free(decoder);
  if (languageModelLogMath != nullptr) logmath_free(languageModelLogMath);
}

void SphinxModel::preload() {
  {
    std::lock_guard lock(mutex);
    if (stage != Stage::kIdle) return;
    stage = Stage::kLoading;
  }
  // The thread owns the model until loading ends, so it may outlive every
  // other owner; nothing waits for it to finish. Without a thread the model
  // is not loaded, and every recognition that waits for it reports an error.
  if (!startDetachedThread([self = shared_from_this()] { self->load(); })) finishLoading(nullptr);
}

void SphinxModel::load() {
  SphinxFatalGuard guard([this] { finishLoading(nullptr); });
  // The language model is read on a thread of its own while this one loads
  // the acoustic model and the dictionary, which take about as long: words
  // spoken before the model is ready wait for the whole of the loading.
  auto languageModel = std::make_shared<LanguageModelRead>(files.languageModel);
  if (!startDetachedThread([languageModel] { languageModel->runGuarded(); })) {
    languageModel->run();
  }
  cmd_ln_t* config = decoderConfig(files);
  ps_decoder_t* loaded = config != nullptr ? ps_init(config) : nullptr;
  // The decoder keeps its own reference to the configuration.
  if (config != nullptr) cmd_ln_free_r(config);
  ngram_model_t* model = loaded != nullptr ? languageModel->wait() : nullptr;
  if (model == nullptr || ps_set_lm(loaded, kSearch, model) < 0 ||
      ps_set_search(loaded, kSearch) < 0) {
    if (loaded != nullptr) ps_free(loaded);
    loaded = nullptr;
  }
  if (loaded != nullptr) languageModelLogMath = languageModel->logMathOfModel();
  finishLoading(loaded);
}

void SphinxModel::finishLoading(ps_decoder_s* loaded) {
  {
    std::lock_guard lock(mutex);
    decoder = loaded;
    stage = loaded != nullptr ? Stage::kReady : Stage::kFailed;
  }
  changed.notify_all();
}

ps_decoder_s* SphinxModel::acquireDecoder(const std::function<bool()>& interrupted) {
  preload();
  std::unique_lock lock(mutex);
  changed.wait(lock, [&] {
    return interrupted() || stage == Stage::kFailed || (stage == Stage::kReady && !lent);
  });
  if (stage == Stage::kFailed || !(stage == Stage::kReady && !lent)) return nullptr;
  lent = true;
  return decoder;
}

bool SphinxModel::failed() {
  std::lock_guard lock(mutex);
  return stage == Stage::kFailed;
}

void SphinxModel::releaseDecoder() {
  {
    std::lock_guard lock(mutex);
    lent = false;
  }
  changed.notify_all();
}

void SphinxModel::interruptWaiters() {
  // Taking the lock orders this wake-up after the waiter's last check of its flag.
  { std::lock_guard lock(mutex); }
  changed.notify_all();
}

void SphinxModel::markBroken() {
  {
    std::lock_guard lock(mutex);
    stage = Stage::kFailed;
  }
  changed.notify_all();
}

}  // namespace orlimbo
