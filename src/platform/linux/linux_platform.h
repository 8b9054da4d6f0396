// The Linux platform's speech and audio: recognition with PocketSphinx and
// capture through PulseAudio, both done by the backend module, which this
// object opens the first time a dictation needs it (never for a status probe)
// and then keeps.
//
// One per process, created by the Linux entry point on the main thread and
// never destroyed: engines, requests and threads use it until the process
// exits.
#ifndef ORLIMBO_PLATFORM_LINUX_LINUX_PLATFORM_H_
#define ORLIMBO_PLATFORM_LINUX_LINUX_PLATFORM_H_

#include <functional>
#include <mutex>
#include <string>
#include <utility>

#include "platform/linux/audio_reachability.h"
#include "platform/linux/backend_module.h"
#include "platform/linux/pocketsphinx_speech.h"
#include "platform/linux/posix_main_queue.h"
#include "platform/linux/pulse_audio_services.h"

namespace orlimbo {

class LinuxPlatform {
 public:
  // `openModule` is called at most once, by the first backend() call;
  // `reachable` answers the status probe's question about the microphone.
  explicit LinuxPlatform(PosixMainQueue& mainQueue, std::string modelRoot = kDefaultSphinxModelRoot,
                         BackendSource openModule = openBackendModuleBesideExecutable,
                         std::function<bool()> reachable = audioInputReachable)
      : speech(std::move(modelRoot), [this] { return backend(); }),
        audio([this] { return backend(); }, mainQueue, std::move(reachable)),
        openModule(std::move(openModule)) {}
  LinuxPlatform(const LinuxPlatform&) = delete;
  LinuxPlatform& operator=(const LinuxPlatform&) = delete;

  // The module's factories, opened on the first call from whichever thread
  // calls first; null when there is no usable module. Blocks while the module
  // is being opened.
  const BackendFactories* backend() {
    std::call_once(opened, [this] { factories = fetchFactories(openModule); });
    return factories;
  }

  PocketSphinxSpeech speech;
  PulseAudioServices audio;

 private:
  const BackendSource openModule;
  std::once_flag opened;
  const BackendFactories* factories = nullptr;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_LINUX_PLATFORM_H_
