// Recognition over PocketSphinx: the request that carries captured audio from
// the capture thread to the recognition thread, and starts the task that
// decodes it.
//
// Requests are created on the main queue. Each task runs one
// recognition thread of its own; that thread waits for the model when it is
// still loading, so audio captured meanwhile waits in the request and is
// decoded once the model is there. Audio that ends in silence before the model
// is ready has nothing to decode: its final result, empty, comes at once.
// Results reach the handler on that thread.
#ifndef ORLIMBO_PLATFORM_LINUX_SPHINX_RECOGNITION_H_
#define ORLIMBO_PLATFORM_LINUX_SPHINX_RECOGNITION_H_

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/linux/sphinx_model.h"
#include "platform/speech.h"

namespace orlimbo {

// Captured buffers on their way to the recognition thread.
class CapturedAudio {
 public:
  struct Chunk {
    AudioFormat format;
    std::vector<float> samples;
  };

  // Copies `buffer`; never waits for the recognition thread. Buffers beyond
  // kMaxQueuedSeconds of undecoded audio are dropped.
  void append(const AudioBuffer& buffer);
  // Runs the listener given to setEndListener, on the calling thread.
  void end();

  // True once the audio has ended after at least one buffer, and no
  // hundredth of a second of it was louder than kQuietLevel (root mean
  // square), nor held a sample that is not a number.
  bool endedInSilence();
  // Called by end(), after the end is visible to endedInSilence.
  void setEndListener(std::function<void()> listener);

  // Waits for audio and moves all of it into `chunks`. False once the audio
  // has ended and all of it was taken, or when `interrupted` is true and
  // interruptWaiters() has been called.
  bool take(std::deque<Chunk>& chunks, const std::atomic<bool>& interrupted);
  void interruptWaiters();

  static constexpr double kMaxQueuedSeconds = 120;
  // -40 dBFS: well below speech into a microphone in use, well above the
  // noise of a quiet room.
  static constexpr float kQuietLevel = 0.01f;

 private:
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Chunk> pending;
  double pendingSeconds = 0;
  bool ended = false;
  bool captured = false;
  bool heardSound = false;
  std::function<void()> endListener;
};

// A request on one model; its task decodes the request's audio with it.
class PocketSphinxRequest final : public RecognitionRequest {
 public:
  explicit PocketSphinxRequest(std::shared_ptr<SphinxModel> model) : model(std::move(model)) {}

  // Audio never leaves the machine here, whatever is asked.
  void setRequiresOnDeviceRecognition(bool) override {}
  void setShouldReportPartialResults(bool report) override { reportsPartialResults = report; }
  // One language model serves every kind of task.
  void setTaskHint(int) override {}
  void appendAudioPCMBuffer(const AudioBuffer& buffer) override { audio->append(buffer); }
  void endAudio() override { audio->end(); }

  // Decodes on a recognition thread of its own; a model that cannot be
  // loaded, or a thread that cannot start, reaches the handler as one error.
  std::unique_ptr<RecognitionTask> recognitionTask(RecognitionHandler handler) override;

 private:
  const std::shared_ptr<SphinxModel> model;
  const std::shared_ptr<CapturedAudio> audio = std::make_shared<CapturedAudio>();
  bool reportsPartialResults = false;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_SPHINX_RECOGNITION_H_
