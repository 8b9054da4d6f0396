#include "platform/linux/speech_audio_converter.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace orlimbo {
namespace {

bool convertible(AudioFormat format) {
  return format.channelCount > 0 && format.sampleRate > 0 &&
         src_is_valid_ratio(kSpeechSampleRate / format.sampleRate);
}

}  // namespace

SpeechAudioConverter::~SpeechAudioConverter() {
  if (state != nullptr) src_delete(state);
}

bool SpeechAudioConverter::convert(AudioFormat format, std::span<const float> samples,
                                   std::vector<std::int16_t>& out) {
  if (!convertible(format)) return true;
  if (format.sampleRate != inputRate && !switchRate(format.sampleRate, out)) return false;

  std::size_t channels = format.channelCount;
  std::size_t frames = samples.size() / channels;
  mono.assign(frames, 0.0f);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    float sum = 0;
    for (std::size_t channel = 0; channel < channels; ++channel) {
      float sample = samples[frame * channels + channel];
      // One NaN would ring through the filter for many samples.
      if (std::isfinite(sample)) sum += sample;
    }
    mono[frame] = sum / static_cast<float>(channels);
  }
  return resample(mono, false, out);
}

bool SpeechAudioConverter::flush(std::vector<std::int16_t>& out) {
  if (state == nullptr) return true;
  bool flushed = resample({}, true, out);
  src_reset(state);
  return flushed;
}

bool SpeechAudioConverter::switchRate(double sampleRate, std::vector<std::int16_t>& out) {
  if (state != nullptr) {
    if (!flush(out)) return false;
  } else {
    int error = 0;
    state = src_new(SRC_SINC_FASTEST, 1, &error);
    if (state == nullptr) return false;
  }
  inputRate = sampleRate;
  return true;
}

bool SpeechAudioConverter::resample(std::span<const float> input, bool last,
                                    std::vector<std::int16_t>& out) {
  double ratio = kSpeechSampleRate / inputRate;
  resampled.resize(
      std::max<std::size_t>(1024, static_cast<std::size_t>(input.size() * ratio) + 256));
  for (;;) {
    SRC_DATA data{};
    data.data_in = input.data();
    data.input_frames = static_cast<long>(input.size());
    data.data_out = resampled.data();
    data.output_frames = static_cast<long>(resampled.size());
    data.end_of_input = last ? 1 : 0;
    data.src_ratio = ratio;
    if (src_process(state, &data) != 0) return false;

    std::size_t produced = static_cast<std::size_t>(data.output_frames_gen);
    std::size_t start = out.size();
    out.resize(start + produced);
    src_float_to_short_array(resampled.data(), out.data() + start, static_cast<int>(produced));
    std::size_t used = static_cast<std::size_t>(data.input_frames_used);
    input = input.subspan(used);
    // At the end of input the filter drains over several calls.
    if (input.empty() && (!last || produced == 0)) return true;
    if (used == 0 && produced == 0) return true;
  }
}

}  // namespace orlimbo
