// Audio services on macOS: an AVAudioEngine per session, with a tap on its
// input node. The engine and node wrappers are defined in apple_audio.mm.
//
// Created in main() before start-up; engines are used on the main queue, and
// tap blocks run on AVAudioEngine's capture thread with an AudioBuffer that
// carries the captured AVAudioPCMBuffer itself (no samples).
// A configuration change that stops a running engine (the input device went
// away or changed) is reported through the engine's capture-ended handler.
#ifndef ORLIMBO_PLATFORM_APPLE_APPLE_AUDIO_H_
#define ORLIMBO_PLATFORM_APPLE_APPLE_AUDIO_H_

#include "platform/audio.h"

namespace orlimbo {

class AppleAudio final : public AudioServices {
 public:
  std::unique_ptr<AudioEngine> makeEngine() override;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_APPLE_APPLE_AUDIO_H_
