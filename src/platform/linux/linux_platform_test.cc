#include "platform/linux/linux_platform.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/linux/sphinx_recognition.h"

namespace orlimbo {
namespace {

using namespace std::chrono_literals;

// The module is opened once per process: a status probe never opens it, and a
// dictation, whose engine worker, model warm-up and request all want it at
// about the same moment, opens it exactly once.
TEST(LinuxPlatformTest, OpensTheModuleOnceAndOnlyForADictation) {
  // A model root whose en-us files exist but hold nothing.
  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     ("orlimbo-platform-models-" + std::to_string(getpid()));
  std::filesystem::create_directories(root / "en-us" / "en-us");
  std::ofstream(root / "en-us" / "en-us.lm.bin");
  std::ofstream(root / "en-us" / "cmudict-en-us.dict");

  std::mutex mutex;
  std::condition_variable changed;
  bool preloaded = false;
  BackendFactories factories{
      .makeEngine = [] { return std::unique_ptr<AudioEngine>(); },
      .makeRequest =
          [](const SphinxModelFiles&) { return std::make_shared<PocketSphinxRequest>(nullptr); },
      .preloadModel =
          [&](const SphinxModelFiles&) {
            std::lock_guard lock(mutex);
            preloaded = true;
            changed.notify_all();
          },
  };
  std::atomic<int> opens = 0;
  PosixMainQueue queue;
  LinuxPlatform platform(
      queue, root.string(),
      [&] {
        ++opens;
        return &factories;
      },
      [] { return true; });

  std::unique_ptr<SpeechRecognizer> recognizer = platform.speech.makeRecognizer("en-US");
  ASSERT_NE(recognizer, nullptr);
  EXPECT_EQ(platform.speech.authorizationStatus(), kSpeechAuthorized);
  EXPECT_TRUE(platform.audio.inputReachable());
  EXPECT_EQ(opens, 0);

  std::unique_ptr<AudioEngine> engine = platform.audio.makeEngine();
  recognizer->prepareForDictation();
  EXPECT_NE(recognizer->makeRequest(), nullptr);
  // Answered by the worker once the module is open: no engine, no format.
  EXPECT_EQ(engine->inputNode().outputFormatForBus(0).channelCount, 0u);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return preloaded; }));
  }
  EXPECT_EQ(opens, 1);
  std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace orlimbo
