#include "platform/apple/apple_audio.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#import <AVFAudio/AVFAudio.h>
#import <Foundation/Foundation.h>

#include "platform/apple/pcm_layout.h"

namespace orlimbo {
namespace {

// The receiving end of one installed tap, shared with the platform's tap
// block. Once closed it delivers nothing, and closing waits for a delivery in
// progress: that is what makes removeTap final.
class TapReceiver {
 public:
  explicit TapReceiver(AudioInputNode::TapBlock block) : block_(std::move(block)) {}

  void deliver(const AudioBuffer& buffer) {
    std::lock_guard<std::mutex> hold(lock_);
    if (block_) block_(buffer);
  }

  void close() {
    std::lock_guard<std::mutex> hold(lock_);
    block_ = nullptr;
  }

 private:
  std::mutex lock_;
  AudioInputNode::TapBlock block_;
};

// Hands `captured` to `receiver` as interleaved 32-bit float; drops buffers of
// any other sample type.
void deliverCaptured(AVAudioPCMBuffer* captured, TapReceiver& receiver) {
  AVAudioFormat* format = captured.format;
  float* const* channels = captured.floatChannelData;
  const AVAudioChannelCount channelCount = format.channelCount;
  const AVAudioFrameCount frames = captured.frameLength;
  if (channels == nullptr || channelCount == 0 || frames == 0) return;

  AudioBuffer buffer{{format.sampleRate, channelCount}, frames, {}};
  const std::size_t sampleCount = std::size_t{frames} * channelCount;
  if (format.isInterleaved) {
    buffer.samples = std::span<const float>(channels[0], sampleCount);
    receiver.deliver(buffer);
    return;
  }
  std::vector<float> interleaved(sampleCount);
  interleave(std::span<const float* const>(channels, channelCount), frames, interleaved);
  buffer.samples = interleaved;
  receiver.deliver(buffer);
}

class AppleInputNode final : public AudioInputNode {
 public:
  explicit AppleInputNode(AVAudioEngine* engine) : engine_(engine) {}

  AudioFormat outputFormatForBus(int bus) override {
    AVAudioFormat* format = [engine_.inputNode outputFormatForBus:static_cast<AVAudioNodeBus>(bus)];
    return AudioFormat{format.sampleRate, format.channelCount};
  }

  // The tap takes the bus's own format (a nil format) rather than one built
  // from `format`: the two are the same unless the input device changed since
  // the caller read it, and naming a stale format makes AVAudioEngine raise.
  // A second tap on the same bus replaces the first (AVAudioEngine would raise).
  void installTap(int bus, std::uint32_t bufferSize, AudioFormat /*format*/,
                  TapBlock block) override {
    removeTap(bus);
    auto receiver = std::make_shared<TapReceiver>(std::move(block));
    taps_[bus] = receiver;
    [engine_.inputNode installTapOnBus:static_cast<AVAudioNodeBus>(bus)
                            bufferSize:bufferSize
                                format:nil
                                 block:^(AVAudioPCMBuffer* captured, AVAudioTime* /*when*/) {
                                   @autoreleasepool {
                                     deliverCaptured(captured, *receiver);
                                   }
                                 }];
  }

  void removeTap(int bus) override {
    auto found = taps_.find(bus);
    if (found == taps_.end()) return;
    [engine_.inputNode removeTapOnBus:static_cast<AVAudioNodeBus>(bus)];
    found->second->close();
    taps_.erase(found);
  }

 private:
  AVAudioEngine* const engine_;
  std::map<int, std::shared_ptr<TapReceiver>> taps_;
};

class AppleEngine final : public AudioEngine {
 public:
  AppleEngine() : engine_([[AVAudioEngine alloc] init]), input_(engine_) {}

  AudioInputNode& inputNode() override { return input_; }
  void prepare() override { [engine_ prepare]; }
  bool start() override { return [engine_ startAndReturnError:nil]; }
  void stop() override { [engine_ stop]; }

 private:
  AVAudioEngine* const engine_;
  AppleInputNode input_;
};

}  // namespace

std::unique_ptr<AudioEngine> AppleAudio::makeEngine() { return std::make_unique<AppleEngine>(); }

}  // namespace orlimbo
