#include "platform/linux/pulse_audio_engine.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "platform/linux/captured_stderr.h"
#include "platform/linux/no_microphone_steps.h"

namespace orlimbo {
namespace {

using namespace std::chrono_literals;

// Sets an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name(name) {
    if (const char* old = std::getenv(name)) previous = old;
    setenv(name, value, 1);
  }
  ~ScopedEnvironment() {
    if (previous) {
      setenv(name, previous->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

 private:
  const char* name;
  std::optional<std::string> previous;
};

// Record streams the server currently holds, or nothing without pactl.
// Record streams of this process only: other tests may record from the same
// server at the same time.
std::optional<int> recordStreamsInServer() {
  std::FILE* pipe = popen("pactl list source-outputs 2>/dev/null", "r");
  if (pipe == nullptr) return std::nullopt;
  std::string listing;
  for (int c; (c = std::fgetc(pipe)) != EOF;) listing.push_back(static_cast<char>(c));
  if (pclose(pipe) != 0) return std::nullopt;
  const std::string ours = "application.process.id = \"" + std::to_string(getpid()) + "\"";
  int streams = 0;
  for (std::size_t at = listing.find(ours); at != std::string::npos; at = listing.find(ours, at + 1)) {
    ++streams;
  }
  return streams;
}

TEST(PulseAudioEngineTest, WithoutAServerReportsNoMicrophoneQuicklyAndQuietly) {
  ScopedEnvironment server("PULSE_SERVER", "unix:/nonexistent/orlimbo/pulse/native");
  CapturedStderr errors;
  auto began = std::chrono::steady_clock::now();
  std::unique_ptr<AudioEngine> engine = makePulseAudioEngine();

  expectNoMicrophone(*engine);
  engine.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
  EXPECT_EQ(errors.text(), "");
}

// A server that takes the connection and then never answers, as a hung one
// would: the engine gives up after its bounded waits instead of hanging.
TEST(PulseAudioEngineTest, GivesUpOnAServerThatNeverAnswers) {
  std::string path = testing::TempDir() + "orlimbo-silent-pulse-" + std::to_string(getpid());
  unlink(path.c_str());
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof(address.sun_path));
  path.copy(address.sun_path, path.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  ScopedEnvironment server("PULSE_SERVER", ("unix:" + path).c_str());
  CapturedStderr errors;

  std::unique_ptr<AudioEngine> engine = makePulseAudioEngine();
  AudioFormat format = engine->inputNode().outputFormatForBus(0);
  EXPECT_EQ(format.sampleRate, 0);
  engine->inputNode().installTap(0, 1024, format, [](const AudioBuffer&) {});
  engine->prepare();
  // Once given up on, the server is not waited for a second time.
  auto began = std::chrono::steady_clock::now();
  EXPECT_FALSE(engine->start());
  EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
  engine->stop();
  engine->inputNode().removeTap(0);
  engine.reset();
  EXPECT_EQ(errors.text(), "");
  close(listener);
  unlink(path.c_str());
}

// Needs a PulseAudio server with a default source (see scripts/private-pulse).
class PulseServerTest : public testing::Test {
 protected:
  void SetUp() override {
    format = engine->inputNode().outputFormatForBus(0);
    if (!(format.sampleRate > 0)) GTEST_SKIP() << "no PulseAudio server with a source";
    std::optional<int> streams = recordStreamsInServer();
    if (!streams) GTEST_SKIP() << "pactl cannot list the server's record streams";
    streamsBefore = *streams;
  }

  // Waits, bounded, until `count` buffers have arrived.
  bool waitForBuffers(int count) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, 5s, [&] { return buffers >= count; });
  }

  void tap() {
    engine->inputNode().installTap(0, 1024, format, [this](const AudioBuffer& buffer) {
      std::lock_guard lock(mutex);
      ++buffers;
      wellFormed = wellFormed && buffer.frameLength == 1024 &&
                   buffer.samples.size() == 1024 * format.channelCount &&
                   buffer.format.sampleRate == format.sampleRate &&
                   buffer.format.channelCount == format.channelCount;
      arrived.notify_all();
    });
  }

  std::unique_ptr<AudioEngine> engine = makePulseAudioEngine();
  AudioFormat format;
  int streamsBefore = 0;
  std::mutex mutex;
  std::condition_variable arrived;
  int buffers = 0;
  bool wellFormed = true;
};

TEST_F(PulseServerTest, DeliversWholeBuffersInTheReportedFormatUntilStopped) {
  tap();
  engine->prepare();
  ASSERT_TRUE(engine->start());
  ASSERT_TRUE(waitForBuffers(5));
  EXPECT_EQ(recordStreamsInServer(), streamsBefore + 1);

  engine->stop();
  EXPECT_EQ(recordStreamsInServer(), streamsBefore);
  std::lock_guard lock(mutex);
  EXPECT_TRUE(wellFormed);
}

TEST_F(PulseServerTest, RemovingTheTapEndsTheRecordingAndTheDeliveries) {
  tap();
  ASSERT_TRUE(engine->start());
  ASSERT_TRUE(waitForBuffers(2));
  engine->inputNode().removeTap(0);
  int afterRemoval;
  {
    std::lock_guard lock(mutex);
    afterRemoval = buffers;
  }
  EXPECT_EQ(recordStreamsInServer(), streamsBefore);
  // Starting again records again, and the old tap stays silent.
  ASSERT_TRUE(engine->start());
  engine->stop();
  std::lock_guard lock(mutex);
  EXPECT_EQ(buffers, afterRemoval);
}

}  // namespace
}  // namespace orlimbo
