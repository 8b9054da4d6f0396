// Audio services on Linux as the executable sees them: engines come from the
// dictation backend, which is fetched on the first makeEngine call, the moment
// a dictation session is created (never for a status probe).
//
// One instance per process, created by the Linux entry point.
#ifndef ORLIMBO_PLATFORM_LINUX_BACKEND_AUDIO_SERVICES_H_
#define ORLIMBO_PLATFORM_LINUX_BACKEND_AUDIO_SERVICES_H_

#include <functional>
#include <memory>

#include "platform/audio.h"
#include "platform/linux/dictation_backend.h"

namespace orlimbo {

class BackendAudioServices final : public AudioServices {
 public:
  // `onEngineMade` runs on every makeEngine call, once the backend has been
  // fetched: the moment to get ready for a dictation. `reachable` answers
  // inputReachable without fetching the backend; empty, it answers true.
  BackendAudioServices(DictationBackendSource backend, std::function<void()> onEngineMade = {},
                       std::function<bool()> reachable = {})
      : backend(std::move(backend)),
        onEngineMade(std::move(onEngineMade)),
        reachable(std::move(reachable)) {}

  // The backend's engine. Without a backend, an engine whose input node
  // reports 0 Hz and 0 channels and that never starts: without the module
  // this process has no way to the microphone, and the session then ends at
  // once with "No usable microphone was found.", before it records or says
  // it is listening.
  std::unique_ptr<AudioEngine> makeEngine() override;

  bool inputReachable() override { return !reachable || reachable(); }

 private:
  const DictationBackendSource backend;
  const std::function<void()> onEngineMade;
  const std::function<bool()> reachable;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_BACKEND_AUDIO_SERVICES_H_
