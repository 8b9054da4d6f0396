#include "platform/linux/pulse_audio_services.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/linux/no_microphone_steps.h"

namespace orlimbo {
namespace {

// An engine whose format answer waits until the test lets it go, as one
// talking to a server that does not answer. Calls are recorded on the
// worker thread and read once an answer has joined it to the test.
class SlowEngine final : public AudioEngine, public AudioInputNode {
 public:
  struct Record {
    std::mutex lock;
    std::condition_variable changed;
    bool answering = false;
    std::thread::id madeOn;
    std::vector<std::string> calls;

    void letGo() {
      {
        std::lock_guard<std::mutex> hold(lock);
        answering = true;
      }
      changed.notify_all();
    }
  };

  explicit SlowEngine(Record& record) : record(record) {
    record.madeOn = std::this_thread::get_id();
  }

  AudioFormat outputFormatForBus(int) override {
    std::unique_lock<std::mutex> hold(record.lock);
    record.changed.wait(hold, [this] { return record.answering; });
    record.calls.push_back("format");
    return {16000, 1};
  }
  void installTap(int, std::uint32_t, AudioFormat, TapBlock) override {
    record.calls.push_back("installTap");
  }
  void removeTap(int) override { record.calls.push_back("removeTap"); }
  AudioInputNode& inputNode() override { return *this; }
  void prepare() override { record.calls.push_back("prepare"); }
  bool start() override {
    record.calls.push_back("start");
    return true;
  }
  void stop() override { record.calls.push_back("stop"); }

 private:
  Record& record;
};

bool reachable() { return true; }

TEST(PulseAudioServicesTest, TheMainQueueKeepsServingWhileTheEngineAnswers) {
  PosixMainQueue queue;
  SlowEngine::Record record;
  BackendFactories factories;
  factories.makeEngine = [&] { return std::make_unique<SlowEngine>(record); };
  PulseAudioServices services([&] { return &factories; }, queue, reachable);
  std::unique_ptr<AudioEngine> engine = services.makeEngine();

  // Runs only if the queue is served while the format is awaited.
  bool served = false;
  queue.post([&] {
    served = true;
    record.letGo();
  });
  AudioFormat format = engine->inputNode().outputFormatForBus(0);
  EXPECT_TRUE(served);
  EXPECT_EQ(format.sampleRate, 16000);
  EXPECT_NE(record.madeOn, std::this_thread::get_id());

  // Calls without an answer return at once and reach the engine in order.
  engine->inputNode().installTap(0, 1024, format, [](const AudioBuffer&) {});
  engine->prepare();
  EXPECT_TRUE(engine->start());
  EXPECT_EQ(record.calls, (std::vector<std::string>{"format", "installTap", "prepare", "start"}));
}

// Without the module there is no way to the microphone: the session must
// hear "no format" and "no start", not hang or crash on a missing engine.
TEST(PulseAudioServicesTest, WithoutABackendTheEngineReportsNoMicrophone) {
  PosixMainQueue queue;
  std::mutex lock;
  int fetches = 0;
  std::thread::id fetchedOn;
  PulseAudioServices services(
      [&]() -> const BackendFactories* {
        std::lock_guard<std::mutex> hold(lock);
        ++fetches;
        fetchedOn = std::this_thread::get_id();
        return nullptr;
      },
      queue, reachable);
  EXPECT_TRUE(services.inputReachable());

  std::unique_ptr<AudioEngine> engine = services.makeEngine();
  expectNoMicrophone(*engine);

  std::lock_guard<std::mutex> hold(lock);
  EXPECT_EQ(fetches, 1);
  EXPECT_NE(fetchedOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace orlimbo
