// Sample layouts between the platform's PCM buffers and the contract's
// AudioBuffer. The platform captures planar channels (one array per channel);
// the contract carries interleaved frames; the recognizer is fed planar
// channels again, at most two of them. Pure functions, safe on any thread.
#ifndef ORLIMBO_PLATFORM_APPLE_PCM_LAYOUT_H_
#define ORLIMBO_PLATFORM_APPLE_PCM_LAYOUT_H_

#include <cstdint>
#include <span>

#include "platform/audio.h"

namespace orlimbo {

// True when `buffer` can be fed to a recognizer: a finite sample rate above 0,
// at least one channel and one frame, and samples for every frame of every
// channel.
bool isWellFormed(const AudioBuffer& buffer);

// How many channels the recognizer is fed for `capturedChannels`: mono and
// stereo as they are, anything wider mixed down to mono (the platform's plain
// float formats end at two channels).
std::uint32_t recognizerChannelCount(std::uint32_t capturedChannels);

// Writes `frameLength` frames of the planar `channels` into `interleaved`,
// frame after frame. `interleaved` holds at least frameLength * channels.size()
// samples.
void interleave(std::span<const float* const> channels, std::uint32_t frameLength,
                std::span<float> interleaved);

// Writes the frames of `buffer` into the planar `channels`, frameLength samples
// each: channel by channel when there are as many outputs as captured channels,
// the average of all captured channels when there is one output. Writes
// nothing and returns false when `buffer` is not well formed or the output
// count is neither.
bool deinterleave(const AudioBuffer& buffer, std::span<float* const> channels);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_APPLE_PCM_LAYOUT_H_
