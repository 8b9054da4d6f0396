#include "platform/linux/backend_audio_services.h"

#include <gtest/gtest.h>

#include <vector>

namespace orlimbo {
namespace {

class FakeEngine final : public AudioInputNode, public AudioEngine {
 public:
  AudioFormat outputFormatForBus(int) override { return {48000, 2}; }
  void installTap(int, std::uint32_t, AudioFormat, TapBlock) override {}
  void removeTap(int) override {}
  AudioInputNode& inputNode() override { return *this; }
  void prepare() override {}
  bool start() override { return true; }
  void stop() override {}
};

class EngineBackend final : public DictationBackend {
 public:
  std::unique_ptr<AudioEngine> makeEngine() override { return std::make_unique<FakeEngine>(); }
  std::shared_ptr<RecognitionRequest> makeRequest(const SphinxModelFiles&) override {
    return nullptr;
  }
  void preload(const SphinxModelFiles&) override {}
};

TEST(BackendAudioServicesTest, FetchesTheBackendForEachEngineAndOtherwiseReportsNoMicrophone) {
  struct Case {
    bool backendThere;
    AudioFormat format;
    bool starts;
  };
  const Case cases[] = {
      {true, {48000, 2}, true},
      {false, {0, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.backendThere ? "with a backend" : "without a backend");
    EngineBackend backend;
    std::vector<std::string> events;
    BackendAudioServices audio(
        [&]() -> DictationBackend* {
          events.push_back("fetched");
          return c.backendThere ? &backend : nullptr;
        },
        [&] { events.push_back("made"); });
    EXPECT_TRUE(events.empty());

    std::unique_ptr<AudioEngine> engine = audio.makeEngine();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"fetched", "made"}));
    AudioFormat format = engine->inputNode().outputFormatForBus(0);
    EXPECT_EQ(format.sampleRate, c.format.sampleRate);
    EXPECT_EQ(format.channelCount, c.format.channelCount);
    engine->inputNode().installTap(0, 1024, format, [](const AudioBuffer&) {});
    engine->prepare();
    EXPECT_EQ(engine->start(), c.starts);
    engine->stop();
    engine->inputNode().removeTap(0);
  }
}

}  // namespace
}  // namespace orlimbo
