#include "platform/linux/pulse_audio_services.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/linux/detached_thread.h"

namespace orlimbo {
namespace {

// The engine and the work waiting for it; shared with the worker thread,
// which may outlive the WorkerEngine.
struct Worker {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<std::function<void()>> work;
  bool quit = false;
  std::unique_ptr<AudioEngine> engine;  // worker thread only, once made

  void run() {
    std::unique_lock<std::mutex> hold(lock);
    for (;;) {
      changed.wait(hold, [this] { return quit || !work.empty(); });
      if (work.empty()) break;
      std::function<void()> next = std::move(work.front());
      work.pop_front();
      hold.unlock();
      next();
      hold.lock();
    }
    hold.unlock();
    engine = nullptr;
  }
};

class WorkerEngine final : public AudioEngine, public AudioInputNode {
 public:
  WorkerEngine(PosixMainQueue& mainQueue, BackendSource backend)
      : mainQueue(mainQueue), worker(std::make_shared<Worker>()) {
    threaded = startDetachedThread([running = worker] { running->run(); });
    send([backend = std::move(backend)](Worker& at) {
      const BackendFactories* factories = fetchFactories(backend);
      if (factories != nullptr) at.engine = factories->makeEngine();
    });
  }

  ~WorkerEngine() override {
    {
      std::lock_guard<std::mutex> hold(worker->lock);
      worker->quit = true;
    }
    worker->changed.notify_all();
    if (!threaded) worker->run();
  }

  AudioInputNode& inputNode() override { return *this; }

  AudioFormat outputFormatForBus(int bus) override {
    return ask<AudioFormat>(
        [bus](AudioEngine& engine) { return engine.inputNode().outputFormatForBus(bus); });
  }

  void installTap(int bus, std::uint32_t bufferSize, AudioFormat format, TapBlock block) override {
    sendToEngine([=, block = std::move(block)](AudioEngine& engine) mutable {
      engine.inputNode().installTap(bus, bufferSize, format, std::move(block));
    });
  }

  void removeTap(int bus) override {
    sendToEngine([bus](AudioEngine& engine) { engine.inputNode().removeTap(bus); });
  }

  void prepare() override {
    sendToEngine([](AudioEngine& engine) { engine.prepare(); });
  }

  bool start() override {
    return ask<bool>([](AudioEngine& engine) { return engine.start(); });
  }

  // Returns at once: the recording ends as soon as the worker gets to it.
  void stop() override {
    sendToEngine([](AudioEngine& engine) { engine.stop(); });
  }

  void setCaptureEndedHandler(std::function<void()> handler) override {
    sendToEngine([handler = std::move(handler)](AudioEngine& engine) mutable {
      engine.setCaptureEndedHandler(std::move(handler));
    });
  }

 private:
  // Queues `work` after all earlier work; runs it at once without a worker.
  void send(std::function<void(Worker&)> work) {
    if (!threaded) {
      work(*worker);
      return;
    }
    {
      std::lock_guard<std::mutex> hold(worker->lock);
      worker->work.push_back([at = worker.get(), work = std::move(work)] { work(*at); });
    }
    worker->changed.notify_all();
  }

  void sendToEngine(std::function<void(AudioEngine&)> work) {
    send([work = std::move(work)](Worker& at) {
      if (at.engine != nullptr) work(*at.engine);
    });
  }

  // Runs `question` on the worker after all earlier work, serving the main
  // queue until the answer is there. Without an engine the answer is a
  // default one: no format, no start.
  template <typename T>
  T ask(std::function<T(AudioEngine&)> question) {
    struct Answer {
      std::atomic<bool> given{false};
      T value{};
    };
    auto answer = std::make_shared<Answer>();
    send([answer, question = std::move(question), queue = &mainQueue](Worker& at) {
      if (at.engine != nullptr) answer->value = question(*at.engine);
      answer->given.store(true);
      queue->post([] {});  // wakes the main queue to look at the answer
    });
    mainQueue.runTasksUntil([&answer] { return answer->given.load(); });
    return answer->value;
  }

  PosixMainQueue& mainQueue;
  const std::shared_ptr<Worker> worker;
  bool threaded = false;
};

}  // namespace

std::unique_ptr<AudioEngine> PulseAudioServices::makeEngine() {
  return std::make_unique<WorkerEngine>(mainQueue, backend);
}

}  // namespace orlimbo
