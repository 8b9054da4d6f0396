#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "platform/fake/expected_lines.h"
#include "platform/fake/fake_platform.h"
#include "session/dictation_session.h"

namespace orlimbo {
namespace {

using namespace lines;

TEST(ListenTest, RecordsOnDeviceIntoATapOfTheInputFormat) {
  FakePlatform fake;
  fake.scenario.microphone = {44100, 2};
  fake.run();

  EXPECT_EQ(fake.lines(), (std::vector<std::string>{kStarting, kListening}));
  EXPECT_EQ(fake.speech.requestSettings,
            (std::vector<std::string>{"onDevice=1", "partial=1", "hint=1"}));
  EXPECT_EQ(fake.audio.tapBufferSize, 1024u);
  ASSERT_TRUE(fake.audio.tapFormat);
  EXPECT_EQ(fake.audio.tapFormat->sampleRate, 44100);
  EXPECT_EQ(fake.audio.tapFormat->channelCount, 2u);

  // The tap feeds the request directly, without the main queue, and hands on
  // the platform's own buffer objects untouched.
  const int first = 1, second = 2;
  fake.audio.capture(&first);
  fake.audio.capture(&second);
  EXPECT_EQ(fake.speech.appendedBuffers, 2);
  EXPECT_EQ(fake.speech.appendedNativeBuffers, (std::vector<const void*>{&first, &second}));
}

struct ListenFailure {
  const char* name;
  std::function<void(FakePlatform&)> setup;
  std::string error;
  bool tapWasInstalled;
};

const ListenFailure kFailures[] = {
    {"NoSampleRate",
     [](FakePlatform& f) {
       f.scenario.microphone = {0, 1};
     },
     kNoMicrophone, false},
    {"NegativeSampleRate",
     [](FakePlatform& f) {
       f.scenario.microphone = {-8000, 1};
     },
     kNoMicrophone, false},
    {"NaNSampleRate",
     [](FakePlatform& f) {
       f.scenario.microphone = {std::numeric_limits<double>::quiet_NaN(), 1};
     },
     kNoMicrophone, false},
    {"NoChannels",
     [](FakePlatform& f) {
       f.scenario.microphone = {48000, 0};
     },
     kNoMicrophone, false},
    {"EngineRefusesToStart", [](FakePlatform& f) { f.scenario.microphoneStartFails = true; },
     kMicrophoneStart, true},
};

class ListenFailureTest : public testing::TestWithParam<ListenFailure> {};

TEST_P(ListenFailureTest, FailsWithoutListeningAndReleasesFirst) {
  const ListenFailure& failure = GetParam();
  FakePlatform fake;
  failure.setup(fake);
  fake.run();

  EXPECT_EQ(fake.lines(), (std::vector<std::string>{kStarting, failure.error}));
  EXPECT_EQ(fake.process.exitStatuses, std::vector<int>{1});
  EXPECT_FALSE(fake.audio.tapInstalled());

  auto at = [&fake](const std::string& event) {
    return std::find(fake.events.begin(), fake.events.end(), event) - fake.events.begin();
  };
  std::ptrdiff_t closing = at("out " + failure.error);
  EXPECT_LT(at("task.cancel"), closing);
  std::ptrdiff_t removed = at("tap.remove 0");
  if (failure.tapWasInstalled) {
    EXPECT_LT(removed, closing);
  } else {
    EXPECT_EQ(removed, static_cast<std::ptrdiff_t>(fake.events.size()));
  }
  // No cap is left to fire into a dead session.
  fake.advanceBy(120);
  EXPECT_EQ(fake.lines().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Listen, ListenFailureTest, testing::ValuesIn(kFailures),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(ListenTest, RefusesWhenOnDeviceSupportIsLostBeforeRecording) {
  FakePlatform fake;
  fake.scenario.microphonePrompt.reset();
  fake.run();
  fake.scenario.onDeviceByLocale["en-US"] = false;
  fake.privacy.openPrompt(true);
  fake.queue.runUntilIdle();

  EXPECT_EQ(
      fake.lines(),
      (std::vector<std::string>{
          kStarting,
          error("On-device speech recognition is unavailable. No audio was sent to a server.")}));
  EXPECT_EQ(std::count(fake.events.begin(), fake.events.end(), "task.start"), 0);
  EXPECT_EQ(std::count(fake.events.begin(), fake.events.end(), "tap.install 0"), 0);
}

}  // namespace
}  // namespace orlimbo
