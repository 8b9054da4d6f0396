// Audio input: the microphone pipeline a dictation session records from.
//
// An AudioEngine is created with the session, on the main queue, and used only
// there; the tap block alone runs on a capture thread of the platform's choosing.
#ifndef ORLIMBO_PLATFORM_AUDIO_H_
#define ORLIMBO_PLATFORM_AUDIO_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace orlimbo {

struct AudioFormat {
  double sampleRate = 0;  // frames per second; 0 (or NaN) when there is no usable input
  std::uint32_t channelCount = 0;
};

// One captured buffer of `frameLength` frames, valid only during the tap call.
// The audio comes in one of two forms:
// - `samples`: 32-bit float samples interleaved by channel, where the platform
//   captures plain samples (Linux);
// - `native`: the platform's own buffer object, where its recognizer takes that
//   object as it is (on macOS the captured AVAudioPCMBuffer, not retained).
//   `samples` is then empty: the audio is neither copied nor converted on the
//   capture thread. Only the same platform's requests look inside it.
struct AudioBuffer {
  AudioFormat format;
  std::uint32_t frameLength = 0;
  std::span<const float> samples;
  const void* native = nullptr;
};

// The engine's input node, fed by the microphone.
class AudioInputNode {
 public:
  using TapBlock = std::function<void(const AudioBuffer& buffer)>;

  AudioInputNode() = default;
  AudioInputNode(const AudioInputNode&) = delete;
  AudioInputNode& operator=(const AudioInputNode&) = delete;
  virtual ~AudioInputNode() = default;

  // The format of output bus `bus`; a sample rate not above 0 or 0 channels
  // when no usable microphone is there.
  virtual AudioFormat outputFormatForBus(int bus) = 0;

  // Calls `block` for every captured buffer of about `bufferSize` frames in
  // `format`, on the capture thread, once the engine runs.
  virtual void installTap(int bus, std::uint32_t bufferSize, AudioFormat format,
                          TapBlock block) = 0;

  // After this returns, `block` is not called again.
  virtual void removeTap(int bus) = 0;
};

class AudioEngine {
 public:
  AudioEngine() = default;
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;
  virtual ~AudioEngine() = default;

  virtual AudioInputNode& inputNode() = 0;
  virtual void prepare() = 0;
  // Starts capture; false when it cannot (the reason is not reported).
  virtual bool start() = 0;
  // Ends capture; harmless when not running.
  virtual void stop() = 0;

  // Has `handler` called when capture that start() began ends on its own: the
  // device went away, the audio server vanished or the input was
  // reconfigured under the engine. Called at most once, on any thread, and
  // never once stop() has begun; it should only post to the main queue. Set
  // before start(). By default capture is never reported to end.
  virtual void setCaptureEndedHandler(std::function<void()> handler) { (void)handler; }
};

class AudioServices {
 public:
  AudioServices() = default;
  AudioServices(const AudioServices&) = delete;
  AudioServices& operator=(const AudioServices&) = delete;
  virtual ~AudioServices() = default;

  // A new engine, idle until started. Called once, when the session is created
  // (normal mode only).
  virtual std::unique_ptr<AudioEngine> makeEngine() = 0;

  // False when no microphone can be reached at all (no way to the audio
  // system), found without opening a stream, prompting or blocking for long.
  // True when one may be reachable: whether it is usable shows only when an
  // engine starts. Called for a status report only, on the main thread.
  virtual bool inputReachable() { return true; }
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_AUDIO_H_
