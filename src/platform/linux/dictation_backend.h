// The part of the Linux helper that needs the heavy libraries (PulseAudio,
// PocketSphinx, libsamplerate): microphone engines, recognition requests and
// the tasks that decode them. It lives in a module of its own,
// orlimbo-dictation-backend.so beside the executable, which is opened only
// when a dictation session begins, so that a status probe starts as fast as an
// empty program.
//
// The module exports one C function, kDictationBackendEntryPoint, that returns
// its one DictationBackend, or null when it cannot serve. The backend is never
// destroyed. Only contract types, standard types and SphinxModelFiles cross
// the boundary; both sides are built together, with the same compiler.
#ifndef ORLIMBO_PLATFORM_LINUX_DICTATION_BACKEND_H_
#define ORLIMBO_PLATFORM_LINUX_DICTATION_BACKEND_H_

#include <functional>
#include <memory>

#include "platform/audio.h"
#include "platform/linux/sphinx_model_files.h"
#include "platform/speech.h"

namespace orlimbo {

class DictationBackend {
 public:
  DictationBackend() = default;
  DictationBackend(const DictationBackend&) = delete;
  DictationBackend& operator=(const DictationBackend&) = delete;
  virtual ~DictationBackend() = default;

  // As AudioServices::makeEngine: 0 Hz and 0 channels when no server or
  // source answers. Main queue.
  virtual std::unique_ptr<AudioEngine> makeEngine() = 0;

  // A request whose task decodes with the model in `files`, loading it first
  // when needed; the task's handler gets one error when the model cannot be
  // loaded. Main queue.
  virtual std::shared_ptr<RecognitionRequest> makeRequest(const SphinxModelFiles& files) = 0;

  // Starts loading the model in `files` in the background unless it has
  // begun already. Any thread.
  virtual void preload(const SphinxModelFiles& files) = 0;
};

// The backend, or null when it cannot be had. Called on the main queue; may
// block for the time the module takes to load.
using DictationBackendSource = std::function<DictationBackend*()>;

// What `source` answers; null when it is empty or has no backend.
inline DictationBackend* fetchBackend(const DictationBackendSource& source) {
  return source ? source() : nullptr;
}

inline constexpr char kDictationBackendEntryPoint[] = "orlimbo_dictation_backend";
inline constexpr char kDictationBackendFileName[] = "orlimbo-dictation-backend.so";
using DictationBackendEntry = DictationBackend* (*)();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_DICTATION_BACKEND_H_
