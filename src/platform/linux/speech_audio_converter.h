// Brings captured audio of any rate and channel count to what the recognizer
// decodes: 16 kHz mono, 16-bit. Channels are averaged, then libsamplerate
// resamples; the converter keeps the filter state between buffers so that a
// stream cut into 1024-frame pieces converts as one.
//
// Owned and used by one recognition thread.
#ifndef ORLIMBO_PLATFORM_LINUX_SPEECH_AUDIO_CONVERTER_H_
#define ORLIMBO_PLATFORM_LINUX_SPEECH_AUDIO_CONVERTER_H_

#include <cstdint>
#include <span>
#include <vector>

#include "platform/audio.h"

struct SRC_STATE_tag;

namespace orlimbo {

inline constexpr double kSpeechSampleRate = 16000;

class SpeechAudioConverter {
 public:
  SpeechAudioConverter() = default;
  SpeechAudioConverter(const SpeechAudioConverter&) = delete;
  SpeechAudioConverter& operator=(const SpeechAudioConverter&) = delete;
  ~SpeechAudioConverter();

  // Appends to `out` the 16 kHz samples for `samples`, frames interleaved in
  // `format`. A buffer in a format that cannot be converted (no channels, a
  // rate that is not a number or out of the resampler's range) is dropped.
  // False when the resampler fails.
  bool convert(AudioFormat format, std::span<const float> samples, std::vector<std::int16_t>& out);

  // Appends whatever the resampler still holds; the next buffer starts afresh.
  bool flush(std::vector<std::int16_t>& out);

 private:
  bool resample(std::span<const float> mono, bool last, std::vector<std::int16_t>& out);
  bool switchRate(double sampleRate, std::vector<std::int16_t>& out);

  SRC_STATE_tag* state = nullptr;
  double inputRate = 0;
  std::vector<float> mono;
  std::vector<float> resampled;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_SPEECH_AUDIO_CONVERTER_H_
