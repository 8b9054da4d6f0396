#include "platform/linux/worker_audio_services.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orlimbo {
namespace {

// An engine whose format answer waits until the test lets it go, as one
// talking to a server that does not answer.
class SlowServices final : public AudioServices {
 public:
  std::unique_ptr<AudioEngine> makeEngine() override {
    madeOn = std::this_thread::get_id();
    return std::make_unique<Engine>(*this);
  }

  void letGo() {
    {
      std::lock_guard<std::mutex> hold(lock);
      answering = true;
    }
    changed.notify_all();
  }

  std::thread::id madeOn;
  std::vector<std::string> calls;  // engine thread only, until it is joined by an answer

 private:
  class Engine final : public AudioEngine, public AudioInputNode {
   public:
    explicit Engine(SlowServices& services) : services(services) {}
    AudioFormat outputFormatForBus(int) override {
      std::unique_lock<std::mutex> hold(services.lock);
      services.changed.wait(hold, [this] { return services.answering; });
      services.calls.push_back("format");
      return {16000, 1};
    }
    void installTap(int, std::uint32_t, AudioFormat, TapBlock) override {
      services.calls.push_back("installTap");
    }
    void removeTap(int) override { services.calls.push_back("removeTap"); }
    AudioInputNode& inputNode() override { return *this; }
    void prepare() override { services.calls.push_back("prepare"); }
    bool start() override {
      services.calls.push_back("start");
      return true;
    }
    void stop() override { services.calls.push_back("stop"); }

   private:
    SlowServices& services;
  };

  std::mutex lock;
  std::condition_variable changed;
  bool answering = false;
};

TEST(WorkerAudioServicesTest, TheMainQueueKeepsServingWhileTheEngineAnswers) {
  PosixMainQueue queue;
  SlowServices slow;
  WorkerAudioServices services(slow, queue);
  std::unique_ptr<AudioEngine> engine = services.makeEngine();

  // Runs only if the queue is served while the format is awaited.
  bool served = false;
  queue.post([&] {
    served = true;
    slow.letGo();
  });
  AudioFormat format = engine->inputNode().outputFormatForBus(0);
  EXPECT_TRUE(served);
  EXPECT_EQ(format.sampleRate, 16000);
  EXPECT_NE(slow.madeOn, std::this_thread::get_id());

  // Calls without an answer return at once and reach the engine in order.
  engine->inputNode().installTap(0, 1024, format, [](const AudioBuffer&) {});
  engine->prepare();
  EXPECT_TRUE(engine->start());
  EXPECT_EQ(slow.calls, (std::vector<std::string>{"format", "installTap", "prepare", "start"}));
}

}  // namespace
}  // namespace orlimbo
