// Microphone capture through the PulseAudio client library, from the server's
// default source.
//
// Engines are made by the backend module's factories. Each connects to the
// server at once, in the background, so that the connection is ready when
// recording begins; it never starts a server of its own. An engine is used by
// one thread at a time (the audio services' worker); the tap runs on the
// engine's PulseAudio thread.
#ifndef ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_ENGINE_H_
#define ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_ENGINE_H_

#include <memory>

#include "platform/audio.h"

namespace orlimbo {

// An engine whose input node reports the default source's rate and channel
// count, or 0 Hz and 0 channels when no server answers in time or it has no
// source. Waits for the server are bounded by a few seconds at most.
std::unique_ptr<AudioEngine> makePulseAudioEngine();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_PULSE_AUDIO_ENGINE_H_
