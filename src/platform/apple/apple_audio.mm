#include "platform/apple/apple_audio.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#import <AVFAudio/AVFAudio.h>
#import <Foundation/Foundation.h>

#include "platform/apple/delivery_gate.h"

namespace orlimbo {
namespace {

// One installed tap, shared with the platform's tap block. Closing its gate is
// what makes removeTap final: it waits for a delivery in progress, and none
// follows.
struct InstalledTap {
  explicit InstalledTap(AudioInputNode::TapBlock tapBlock) : block(std::move(tapBlock)) {}

  DeliveryGate gate;
  const AudioInputNode::TapBlock block;
};

// On the capture thread, for every captured buffer: hands the platform's own
// buffer on as it is. No lock, no allocation, no copy, no conversion.
void deliverCaptured(AVAudioPCMBuffer* captured, InstalledTap& tap) {
  tap.gate.pass([&] {
    AVAudioFormat* format = captured.format;
    tap.block(AudioBuffer{{format.sampleRate, format.channelCount},
                          captured.frameLength,
                          {},
                          (__bridge const void*)captured});
  });
}

class AppleInputNode final : public AudioInputNode {
 public:
  explicit AppleInputNode(AVAudioEngine* engine) : engine(engine) {}

  AudioFormat outputFormatForBus(int bus) override {
    AVAudioFormat* format = [engine.inputNode outputFormatForBus:static_cast<AVAudioNodeBus>(bus)];
    return AudioFormat{format.sampleRate, format.channelCount};
  }

  // The tap takes the bus's own format (a nil format) rather than one built
  // from `format`: the two are the same unless the input device changed since
  // the caller read it, and naming a stale format makes AVAudioEngine raise.
  // A second tap on the same bus replaces the first (AVAudioEngine would raise).
  void installTap(int bus, std::uint32_t bufferSize, AudioFormat /*format*/,
                  TapBlock block) override {
    removeTap(bus);
    auto tap = std::make_shared<InstalledTap>(std::move(block));
    taps[bus] = tap;
    [engine.inputNode installTapOnBus:static_cast<AVAudioNodeBus>(bus)
                           bufferSize:bufferSize
                               format:nil
                                block:^(AVAudioPCMBuffer* captured, AVAudioTime* /*when*/) {
                                  @autoreleasepool {
                                    deliverCaptured(captured, *tap);
                                  }
                                }];
  }

  void removeTap(int bus) override {
    auto found = taps.find(bus);
    if (found == taps.end()) return;
    [engine.inputNode removeTapOnBus:static_cast<AVAudioNodeBus>(bus)];
    found->second->gate.close();
    taps.erase(found);
  }

 private:
  AVAudioEngine* const engine;
  std::map<int, std::shared_ptr<InstalledTap>> taps;
};

// The capture-ended handler of one engine, shared with the notification
// block. It runs at most once, and not after stop() has begun.
struct CaptureEnd {
  std::function<void()> handler;
  std::atomic<bool> done{false};

  void report() {
    if (!done.exchange(true) && handler) handler();
  }
};

class AppleEngine final : public AudioEngine {
 public:
  AppleEngine() : engine([[AVAudioEngine alloc] init]), input(engine) {}
  ~AppleEngine() override { stopObserving(); }

  AudioInputNode& inputNode() override { return input; }
  void prepare() override { [engine prepare]; }

  void setCaptureEndedHandler(std::function<void()> handler) override {
    captureEnd->handler = std::move(handler);
  }

  bool start() override {
    if (![engine startAndReturnError:nil]) return false;
    observeConfigurationChanges();
    return true;
  }

  void stop() override {
    stopObserving();
    [engine stop];
  }

 private:
  // When the input device goes away or changes its format, AVAudioEngine
  // stops itself and posts this notification: the capture has ended on its
  // own. The block runs on the posting thread.
  void observeConfigurationChanges() {
    if (observer != nil) return;
    // The block keeps the shared state, not the engine, which may be gone
    // when a late notification arrives.
    std::shared_ptr<CaptureEnd> ending = captureEnd;
    observer = [NSNotificationCenter.defaultCenter
        addObserverForName:AVAudioEngineConfigurationChangeNotification
                    object:engine
                     queue:nil
                usingBlock:^(NSNotification* /*notification*/) {
                  ending->report();
                }];
  }

  void stopObserving() {
    captureEnd->done.store(true);
    if (observer == nil) return;
    [NSNotificationCenter.defaultCenter removeObserver:observer];
    observer = nil;
  }

  AVAudioEngine* const engine;
  AppleInputNode input;
  const std::shared_ptr<CaptureEnd> captureEnd = std::make_shared<CaptureEnd>();
  id<NSObject> observer = nil;
};

}  // namespace

std::unique_ptr<AudioEngine> AppleAudio::makeEngine() { return std::make_unique<AppleEngine>(); }

}  // namespace orlimbo
