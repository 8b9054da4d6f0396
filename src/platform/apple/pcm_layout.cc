#include "platform/apple/pcm_layout.h"

#include <cmath>
#include <cstddef>

namespace orlimbo {

bool isWellFormed(const AudioBuffer& buffer) {
  const AudioFormat& format = buffer.format;
  if (!(format.sampleRate > 0) || !std::isfinite(format.sampleRate)) return false;
  if (format.channelCount == 0 || buffer.frameLength == 0) return false;
  std::uint64_t needed = std::uint64_t{buffer.frameLength} * format.channelCount;
  return needed <= buffer.samples.size();
}

std::uint32_t recognizerChannelCount(std::uint32_t capturedChannels) {
  return capturedChannels <= 2 ? capturedChannels : 1;
}

void interleave(std::span<const float* const> channels, std::uint32_t frameLength,
                std::span<float> interleaved) {
  const std::size_t width = channels.size();
  for (std::size_t c = 0; c < width; ++c) {
    const float* source = channels[c];
    for (std::size_t frame = 0; frame < frameLength; ++frame) {
      interleaved[frame * width + c] = source[frame];
    }
  }
}

bool deinterleave(const AudioBuffer& buffer, std::span<float* const> channels) {
  if (!isWellFormed(buffer)) return false;
  const std::size_t width = buffer.format.channelCount;
  const std::span<const float> samples = buffer.samples;
  if (channels.size() == width) {
    for (std::size_t c = 0; c < width; ++c) {
      for (std::size_t frame = 0; frame < buffer.frameLength; ++frame) {
        channels[c][frame] = samples[frame * width + c];
      }
    }
    return true;
  }
  if (channels.size() == 1) {
    for (std::size_t frame = 0; frame < buffer.frameLength; ++frame) {
      float sum = 0;
      for (std::size_t c = 0; c < width; ++c) sum += samples[frame * width + c];
      channels[0][frame] = sum / static_cast<float>(width);
    }
    return true;
  }
  return false;
}

}  // namespace orlimbo
