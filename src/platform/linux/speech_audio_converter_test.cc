#include "platform/linux/speech_audio_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace orlimbo {
namespace {

// `seconds` of a 440 Hz tone at half scale, the same in every channel.
std::vector<float> tone(AudioFormat format, double seconds) {
  auto frames = static_cast<std::size_t>(format.sampleRate * seconds);
  std::vector<float> samples(frames * format.channelCount);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    double phase = 2 * std::numbers::pi * 440 * static_cast<double>(frame) / format.sampleRate;
    std::fill_n(samples.begin() + static_cast<long>(frame * format.channelCount),
                format.channelCount, static_cast<float>(0.5 * std::sin(phase)));
  }
  return samples;
}

std::vector<std::int16_t> convertInPieces(AudioFormat format, const std::vector<float>& samples,
                                          std::size_t framesPerPiece) {
  SpeechAudioConverter converter;
  std::vector<std::int16_t> out;
  std::size_t step = framesPerPiece * format.channelCount;
  for (std::size_t at = 0; at < samples.size(); at += step) {
    std::size_t count = std::min(step, samples.size() - at);
    EXPECT_TRUE(converter.convert(format, std::span(samples).subspan(at, count), out));
  }
  EXPECT_TRUE(converter.flush(out));
  return out;
}

std::int16_t peak(const std::vector<std::int16_t>& pcm) {
  std::int16_t highest = 0;
  for (std::int16_t sample : pcm) highest = std::max<std::int16_t>(highest, std::abs(sample));
  return highest;
}

TEST(SpeechAudioConverterTest, BringsCommonFormatsToSixteenKilohertzMono) {
  const AudioFormat formats[] = {{48000, 2}, {44100, 2}, {16000, 1}, {8000, 1}, {96000, 6}};
  for (AudioFormat format : formats) {
    std::vector<std::int16_t> pcm = convertInPieces(format, tone(format, 1.0), 1024);
    SCOPED_TRACE(testing::Message()
                 << format.sampleRate << " Hz, " << format.channelCount << " ch");
    EXPECT_NEAR(static_cast<double>(pcm.size()), kSpeechSampleRate, 64);
    // Half scale in every channel stays half scale after averaging them.
    EXPECT_NEAR(peak(pcm), 16384, 1200);
  }
}

TEST(SpeechAudioConverterTest, PiecesConvertExactlyAsTheWholeStream) {
  AudioFormat format{48000, 2};
  std::vector<float> samples = tone(format, 0.5);
  EXPECT_EQ(convertInPieces(format, samples, 1024), convertInPieces(format, samples, 48000));
}

TEST(SpeechAudioConverterTest, DropsBuffersItCannotConvertAndSurvivesBadSamples) {
  SpeechAudioConverter converter;
  std::vector<std::int16_t> out;
  std::vector<float> samples(2048, 0.25f);
  const AudioFormat unusable[] = {{48000, 0}, {0, 2}, {-44100, 2}, {NAN, 2}, {1e9, 1}};
  for (AudioFormat format : unusable) EXPECT_TRUE(converter.convert(format, samples, out));
  EXPECT_TRUE(out.empty());

  // A NaN in the input must not turn the rest of the stream into noise.
  samples[100] = NAN;
  samples[101] = INFINITY;
  ASSERT_TRUE(converter.convert({16000, 1}, samples, out));
  ASSERT_TRUE(converter.flush(out));
  ASSERT_GT(out.size(), 1500u);
  for (std::size_t i = 1000; i < 1500; ++i) EXPECT_NEAR(out[i], 8192, 64) << "sample " << i;
}

TEST(SpeechAudioConverterTest, AFormatChangeMidStreamKeepsTheDuration) {
  SpeechAudioConverter converter;
  std::vector<std::int16_t> out;
  ASSERT_TRUE(converter.convert({48000, 2}, tone({48000, 2}, 0.5), out));
  ASSERT_TRUE(converter.convert({22050, 1}, tone({22050, 1}, 0.5), out));
  ASSERT_TRUE(converter.flush(out));
  EXPECT_NEAR(static_cast<double>(out.size()), kSpeechSampleRate, 64);
}

}  // namespace
}  // namespace orlimbo
