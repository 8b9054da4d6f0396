// Audio services on Linux: microphone capture through PulseAudio, by engines
// that the backend module makes.
//
// Each engine the core gets does all the work on a worker thread of its own:
// fetching the backend (which may open the module), making the PulseAudio
// engine (which reads the audio server's client configuration), asking the
// server for the input format, starting and stopping the recording. A call
// that needs an answer keeps the main queue serving tasks (the host's
// commands among them) until the answer comes; the others return at once. The
// main queue thus never sits in a call that may block for as long as the
// audio server likes.
//
// One instance per process, owned by the LinuxPlatform.
#ifndef ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_SERVICES_H_
#define ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_SERVICES_H_

#include <functional>
#include <memory>
#include <utility>

#include "platform/audio.h"
#include "platform/linux/backend_module.h"
#include "platform/linux/posix_main_queue.h"

namespace orlimbo {

class PulseAudioServices final : public AudioServices {
 public:
  // `backend` is asked on each engine's worker thread, never before the
  // first makeEngine call. `reachable` answers inputReachable.
  PulseAudioServices(BackendSource backend, PosixMainQueue& mainQueue,
                     std::function<bool()> reachable)
      : backend(std::move(backend)), mainQueue(mainQueue), reachable(std::move(reachable)) {}

  // Without a backend, the engine's input node reports 0 Hz and 0 channels
  // and it never starts: without the module this process has no way to the
  // microphone, and the session then ends at once with "No usable microphone
  // was found.", before it records or says it is listening. Without a worker
  // thread, the engine does its work on the caller's.
  std::unique_ptr<AudioEngine> makeEngine() override;

  // Cheap, and asked in status mode only: answered on the caller's thread,
  // without the backend.
  bool inputReachable() override { return reachable(); }

 private:
  const BackendSource backend;
  PosixMainQueue& mainQueue;
  const std::function<bool()> reachable;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_SERVICES_H_
