#include "platform/linux/sphinx_recognition.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "platform/linux/detached_thread.h"
#include "platform/linux/speech_audio_converter.h"
#include "platform/linux/transcript_format.h"

namespace orlimbo {

namespace {

// Looks at hundredths of a second: long enough that a lone click does not
// count, short enough for the first sound of a word.
bool holdsSound(AudioFormat format, std::span<const float> samples) {
  std::size_t block = std::max<std::size_t>(
      1, static_cast<std::size_t>(format.sampleRate / 100) * format.channelCount);
  for (std::size_t start = 0; start < samples.size(); start += block) {
    std::span<const float> part = samples.subspan(start, std::min(block, samples.size() - start));
    double sum = 0;
    for (float sample : part) {
      if (!std::isfinite(sample)) return true;
      sum += double{sample} * sample;
    }
    if (std::sqrt(sum / static_cast<double>(part.size())) > CapturedAudio::kQuietLevel) {
      return true;
    }
  }
  return false;
}

}  // namespace

void CapturedAudio::append(const AudioBuffer& buffer) {
  if (!(buffer.format.sampleRate > 0) || buffer.format.channelCount == 0) return;
  std::size_t count = std::min<std::size_t>(
      buffer.samples.size(), std::size_t{buffer.frameLength} * buffer.format.channelCount);
  Chunk chunk{buffer.format, std::vector<float>(buffer.samples.begin(),
                                                buffer.samples.begin() + static_cast<long>(count))};
  double seconds =
      static_cast<double>(count / buffer.format.channelCount) / buffer.format.sampleRate;
  bool sound = holdsSound(buffer.format, chunk.samples);
  {
    std::lock_guard lock(mutex);
    if (ended || pendingSeconds + seconds > kMaxQueuedSeconds) return;
    pendingSeconds += seconds;
    pending.push_back(std::move(chunk));
    captured = true;
    heardSound = heardSound || sound;
  }
  changed.notify_one();
}

void CapturedAudio::end() {
  std::function<void()> listener;
  {
    std::lock_guard lock(mutex);
    ended = true;
    listener = std::move(endListener);
    endListener = nullptr;
  }
  changed.notify_all();
  if (listener) listener();
}

bool CapturedAudio::endedInSilence() {
  std::lock_guard lock(mutex);
  return ended && captured && !heardSound;
}

void CapturedAudio::setEndListener(std::function<void()> listener) {
  std::lock_guard lock(mutex);
  if (!ended) endListener = std::move(listener);
}

bool CapturedAudio::take(std::deque<Chunk>& chunks, const std::atomic<bool>& interrupted) {
  std::unique_lock lock(mutex);
  changed.wait(lock, [&] { return interrupted || ended || !pending.empty(); });
  if (interrupted || pending.empty()) return false;
  chunks = std::move(pending);
  pending.clear();
  pendingSeconds = 0;
  return true;
}

void CapturedAudio::interruptWaiters() {
  // Taking the lock orders this wake-up after the waiter's last check of its flag.
  { std::lock_guard lock(mutex); }
  changed.notify_all();
}

namespace {

// How much newly decoded audio (16 kHz samples) justifies looking at the
// hypothesis again: a tenth of a second.
constexpr std::size_t kPartialResultSamples = 1600;

// One recognition: shared by the task and its thread, so that the thread may
// finish on its own after a cancel.
class Recognition {
 public:
  Recognition(std::shared_ptr<SphinxModel> model, std::shared_ptr<CapturedAudio> audio,
              bool reportsPartialResults, RecognitionHandler handler)
      : model(std::move(model)),
        audio(std::move(audio)),
        reportsPartialResults(reportsPartialResults),
        handler(std::move(handler)) {}

  void run();
  void cancel();
  // What the handler hears when the recognition cannot run at all.
  void refuse() { deliver(std::nullopt, RecognitionError{}); }

 private:
  void decode(ps_decoder_t* decoder);
  bool feed(ps_decoder_t* decoder, std::deque<CapturedAudio::Chunk>& chunks);
  void reportIfChanged(ps_decoder_t* decoder);
  void finish(ps_decoder_t* decoder);
  void deliver(std::optional<RecognitionResult> result, std::optional<RecognitionError> error);

  const std::shared_ptr<SphinxModel> model;
  const std::shared_ptr<CapturedAudio> audio;
  const bool reportsPartialResults;
  const RecognitionHandler handler;
  std::atomic<bool> cancelled = false;
  std::mutex deliveryMutex;

  // Recognition thread only.
  SpeechAudioConverter converter;
  std::vector<std::int16_t> pcm;
  std::size_t samplesSinceReport = 0;
  std::string reportedText;
};

void Recognition::run() {
  SphinxFatalGuard guard([this] {
    model->markBroken();
    deliver(std::nullopt, RecognitionError{});
  });
  // A stop soon after the start, before anything was said, must not wait
  // for the model, which takes a good part of a second to load.
  audio->setEndListener([model = model] { model->interruptWaiters(); });
  ps_decoder_t* decoder =
      model->acquireDecoder([this] { return cancelled || audio->endedInSilence(); });
  if (decoder == nullptr) {
    if (audio->endedInSilence() && !model->failed()) {
      deliver(RecognitionResult{"", true}, std::nullopt);
    } else {
      deliver(std::nullopt, RecognitionError{});
    }
    return;
  }
  decode(decoder);
  model->releaseDecoder();
}

void Recognition::decode(ps_decoder_t* decoder) {
  if (ps_start_utt(decoder) < 0) {
    deliver(std::nullopt, RecognitionError{});
    return;
  }
  std::deque<CapturedAudio::Chunk> chunks;
  while (audio->take(chunks, cancelled)) {
    if (!feed(decoder, chunks)) {
      ps_end_utt(decoder);
      deliver(std::nullopt, RecognitionError{});
      return;
    }
    if (cancelled) break;
    if (reportsPartialResults && samplesSinceReport >= kPartialResultSamples) {
      reportIfChanged(decoder);
    }
  }
  if (cancelled) {
    // The decoder must leave the utterance before the next recognition borrows it.
    ps_end_utt(decoder);
    return;
  }
  finish(decoder);
}

bool Recognition::feed(ps_decoder_t* decoder, std::deque<CapturedAudio::Chunk>& chunks) {
  for (; !chunks.empty() && !cancelled; chunks.pop_front()) {
    pcm.clear();
    const CapturedAudio::Chunk& chunk = chunks.front();
    if (!converter.convert(chunk.format, chunk.samples, pcm)) return false;
    if (pcm.empty()) continue;
    if (ps_process_raw(decoder, pcm.data(), pcm.size(), FALSE, FALSE) < 0) return false;
    samplesSinceReport += pcm.size();
  }
  chunks.clear();
  return true;
}

void Recognition::reportIfChanged(ps_decoder_t* decoder) {
  samplesSinceReport = 0;
  const char* hypothesis = ps_get_hyp(decoder, nullptr);
  std::string text = formatTranscript(hypothesis != nullptr ? hypothesis : "");
  if (text == reportedText) return;
  reportedText = text;
  deliver(RecognitionResult{std::move(text), false}, std::nullopt);
}

void Recognition::finish(ps_decoder_t* decoder) {
  pcm.clear();
  bool flushed = converter.flush(pcm);
  if (flushed && !pcm.empty())
    flushed = ps_process_raw(decoder, pcm.data(), pcm.size(), FALSE, FALSE) >= 0;
  if (ps_end_utt(decoder) < 0 || !flushed) {
    deliver(std::nullopt, RecognitionError{});
    return;
  }
  const char* hypothesis = ps_get_hyp(decoder, nullptr);
  deliver(RecognitionResult{formatTranscript(hypothesis != nullptr ? hypothesis : ""), true},
          std::nullopt);
}

void Recognition::deliver(std::optional<RecognitionResult> result,
                          std::optional<RecognitionError> error) {
  std::lock_guard lock(deliveryMutex);
  if (!cancelled) handler(std::move(result), error);
}

void Recognition::cancel() {
  cancelled = true;
  model->interruptWaiters();
  audio->interruptWaiters();
  // Waits out a delivery in progress: none starts or runs after this.
  std::lock_guard lock(deliveryMutex);
}

class PocketSphinxTask final : public RecognitionTask {
 public:
  explicit PocketSphinxTask(std::shared_ptr<Recognition> recognition)
      : recognition(std::move(recognition)) {
    // Nothing joins the thread: after a cancel it ends the utterance on its
    // own, and after a fatal engine error it never ends. Without a thread
    // nothing is decoded, which the handler hears as an error.
    if (!startDetachedThread([running = this->recognition] { running->run(); })) {
      this->recognition->refuse();
    }
  }
  ~PocketSphinxTask() override { recognition->cancel(); }

  void cancel() override { recognition->cancel(); }

 private:
  const std::shared_ptr<Recognition> recognition;
};

}  // namespace

std::unique_ptr<RecognitionTask> PocketSphinxRequest::recognitionTask(RecognitionHandler handler) {
  auto recognition =
      std::make_shared<Recognition>(model, audio, reportsPartialResults, std::move(handler));
  return std::make_unique<PocketSphinxTask>(std::move(recognition));
}

}  // namespace orlimbo
