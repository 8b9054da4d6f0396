// The backend module, orlimbo-dictation-backend.so beside the executable: the
// part of the Linux helper that needs the heavy libraries (PulseAudio,
// PocketSphinx, libsamplerate). It is opened with dlopen only when a dictation
// needs it, so that a status probe starts as fast as an empty program, and
// stays loaded for the life of the process once opened.
//
// The module exports one C function, kDictationBackendEntryPoint, that
// returns its factories, or null when it cannot serve. Only contract types,
// standard types and SphinxModelFiles cross the boundary; both sides are
// built together, with the same compiler. The module is looked for only beside
// the running executable, never through the library search path or the
// environment. Nothing is printed on failure.
#ifndef ORLIMBO_PLATFORM_LINUX_BACKEND_MODULE_H_
#define ORLIMBO_PLATFORM_LINUX_BACKEND_MODULE_H_

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/audio.h"
#include "platform/linux/sphinx_model_files.h"
#include "platform/speech.h"

namespace orlimbo {

// What the module makes for the Linux audio and speech services.
struct BackendFactories {
  // An engine on the audio server's default source; its input node reports
  // 0 Hz and 0 channels when no server answers in time or it has no source.
  // Used by one thread at a time.
  std::function<std::unique_ptr<AudioEngine>()> makeEngine;

  // A request whose task decodes with the model in `files`, loading it first
  // when needed; the task's handler gets one error when the model cannot be
  // loaded. Main queue.
  std::function<std::shared_ptr<RecognitionRequest>(const SphinxModelFiles& files)> makeRequest;

  // Starts loading the model in `files` in the background unless it has
  // begun already. Any thread.
  std::function<void(const SphinxModelFiles& files)> preloadModel;
};

inline constexpr char kDictationBackendEntryPoint[] = "orlimbo_dictation_backend";
inline constexpr char kDictationBackendFileName[] = "orlimbo-dictation-backend.so";
using BackendEntryPoint = const BackendFactories* (*)();

// Where the services get the module's factories: null when there is no
// usable module. May block for as long as opening the module takes.
using BackendSource = std::function<const BackendFactories*()>;

// What `source` answers; null when it is empty or has no module.
inline const BackendFactories* fetchFactories(const BackendSource& source) {
  return source ? source() : nullptr;
}

// The module's path beside /proc/self/exe, or nothing when the executable's
// path cannot be read.
std::optional<std::string> backendModulePath();

// The factories of the module at `path`; null when the file is missing, is
// not a loadable module, lacks the entry point, or its entry point answers
// null. A module that fails is closed again.
const BackendFactories* openBackendModule(const std::string& path);

// The factories of the module beside the executable, opened by this call.
const BackendFactories* openBackendModuleBesideExecutable();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_BACKEND_MODULE_H_
