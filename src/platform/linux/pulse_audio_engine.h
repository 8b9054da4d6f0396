// Audio services on Linux: microphone capture through the PulseAudio client
// library, from the server's default source.
//
// Made by the dictation backend, inside the backend module. Each
// engine it makes connects to the server at once, in the background, so that
// the connection is ready when recording begins; it never starts a server of
// its own. Engines are used on the main queue; the tap runs on the engine's
// PulseAudio thread.
#ifndef ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_ENGINE_H_
#define ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_ENGINE_H_

#include <functional>
#include <memory>

#include "platform/audio.h"

namespace orlimbo {

class PulseAudioServices final : public AudioServices {
 public:
  // `onEngineMade` runs on every makeEngine call: the moment a dictation
  // session comes into being, and so the moment to get ready for it.
  explicit PulseAudioServices(std::function<void()> onEngineMade = {})
      : onEngineMade(std::move(onEngineMade)) {}

  // An engine whose input node reports the default source's rate and channel
  // count, or 0 Hz and 0 channels when no server answers in time or it has no
  // source. Waits for the server are bounded by a few seconds at most.
  std::unique_ptr<AudioEngine> makeEngine() override;

 private:
  const std::function<void()> onEngineMade;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_ENGINE_H_
