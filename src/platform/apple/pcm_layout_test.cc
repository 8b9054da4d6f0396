#include "platform/apple/pcm_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace orlimbo {
namespace {

constexpr float kUntouched = -7.0f;

struct DeinterleaveCase {
  std::string name;
  AudioFormat format;
  std::uint32_t frameLength;
  std::vector<float> samples;
  std::size_t outputs;
  bool accepted;
  std::vector<std::vector<float>> expected;  // per output; ignored when refused
};

// Every output is sized one sample past frameLength, so a write past the
// frames shows up as a changed sentinel.
std::vector<std::vector<float>> deinterleaveCase(const DeinterleaveCase& c, bool& accepted) {
  std::vector<std::vector<float>> outputs(c.outputs,
                                          std::vector<float>(c.frameLength + 1, kUntouched));
  std::vector<float*> pointers;
  for (std::vector<float>& output : outputs) pointers.push_back(output.data());
  AudioBuffer buffer{c.format, c.frameLength, c.samples};
  accepted = deinterleave(buffer, pointers);
  return outputs;
}

TEST(PcmLayoutTest, DeinterleaveSplitsMixesOrRefuses) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const std::vector<DeinterleaveCase> cases = {
      {"mono passes through", {48000, 1}, 3, {1, 2, 3}, 1, true, {{1, 2, 3}}},
      {"stereo splits by channel", {44100, 2}, 2, {1, -1, 2, -2}, 2, true, {{1, 2}, {-1, -2}}},
      {"four channels mix to mono", {48000, 4}, 2, {1, 3, 5, 7, 0, 0, 0, 4}, 1, true, {{4, 1}}},
      {"stereo mixes to mono", {16000, 2}, 1, {0.5f, -0.5f}, 1, true, {{0}}},
      {"samples past the frames are ignored", {48000, 1}, 2, {1, 2, 99}, 1, true, {{1, 2}}},
      {"too few samples", {48000, 2}, 2, {1, 2, 3}, 2, false, {}},
      {"no samples at all", {48000, 1}, 4, {}, 1, false, {}},
      {"no channels", {48000, 0}, 1, {1}, 1, false, {}},
      {"no frames", {48000, 1}, 0, {1}, 1, false, {}},
      {"zero rate", {0, 1}, 1, {1}, 1, false, {}},
      {"NaN rate", {nan, 1}, 1, {1}, 1, false, {}},
      {"infinite rate", {infinity, 1}, 1, {1}, 1, false, {}},
      {"output count neither one nor all", {48000, 3}, 1, {1, 2, 3}, 2, false, {}},
  };
  for (const DeinterleaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    bool accepted = false;
    std::vector<std::vector<float>> outputs = deinterleaveCase(c, accepted);
    EXPECT_EQ(accepted, c.accepted);
    for (std::size_t o = 0; o < outputs.size(); ++o) {
      std::vector<float> wanted =
          c.accepted ? c.expected[o] : std::vector<float>(c.frameLength, kUntouched);
      wanted.push_back(kUntouched);
      EXPECT_EQ(outputs[o], wanted) << "output " << o;
    }
  }
}

TEST(PcmLayoutTest, FrameCountsThatOverflowThirtyTwoBitsAreRefused) {
  // 2^31 frames of 4 channels is 2^33 samples: more than a 32-bit product can
  // hold, and far more than the 8 samples present.
  std::vector<float> samples(8, 1.0f);
  AudioBuffer buffer{{48000, 4}, 0x80000000u, samples};
  EXPECT_FALSE(isWellFormed(buffer));
}

TEST(PcmLayoutTest, InterleaveWritesFrameAfterFrame) {
  const std::vector<float> left = {1, 2}, right = {10, 20}, centre = {100, 200};
  const float* planar[] = {left.data(), right.data(), centre.data()};
  std::vector<float> interleaved(6, kUntouched);
  interleave(planar, 2, interleaved);
  EXPECT_EQ(interleaved, (std::vector<float>{1, 10, 100, 2, 20, 200}));
}

TEST(PcmLayoutTest, StereoSurvivesTheTripThroughTheContract) {
  std::vector<float> left = {0.1f, 0.2f, 0.3f}, right = {-0.1f, -0.2f, -0.3f};
  float* const captured[] = {left.data(), right.data()};  // as the platform hands it out
  std::vector<float> interleaved(6);
  interleave(std::span<const float* const>(captured, 2), 3, interleaved);

  std::vector<float> outLeft(3), outRight(3);
  float* const fed[] = {outLeft.data(), outRight.data()};
  ASSERT_TRUE(deinterleave(AudioBuffer{{48000, 2}, 3, interleaved}, fed));
  EXPECT_EQ(outLeft, left);
  EXPECT_EQ(outRight, right);
}

TEST(PcmLayoutTest, RecognizerChannelCount) {
  const std::vector<std::pair<std::uint32_t, std::uint32_t>> cases = {
      {1, 1}, {2, 2}, {3, 1}, {6, 1}, {64, 1}};
  for (auto [captured, fed] : cases) {
    EXPECT_EQ(recognizerChannelCount(captured), fed) << captured << " captured channels";
  }
}

}  // namespace
}  // namespace orlimbo
