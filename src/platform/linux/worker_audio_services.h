// Audio services whose engines do all their work on a worker thread of their
// own: making the engine (which opens the backend module and reads the audio
// server's client configuration), asking the server for the input format,
// starting and stopping the recording. A call that needs an answer keeps the
// main queue serving tasks (the host's commands among them) until the answer
// comes; the others return at once. The main queue thus never sits in a call
// that may block for as long as the audio server likes.
//
// One instance per process, created by the Linux entry point.
#ifndef ORLIMBO_PLATFORM_LINUX_WORKER_AUDIO_SERVICES_H_
#define ORLIMBO_PLATFORM_LINUX_WORKER_AUDIO_SERVICES_H_

#include "platform/audio.h"
#include "platform/linux/posix_main_queue.h"

namespace orlimbo {

class WorkerAudioServices final : public AudioServices {
 public:
  // Engines are made by `inner` on each engine's worker thread. Without a
  // thread, an engine does its work on the caller's.
  WorkerAudioServices(AudioServices& inner, PosixMainQueue& mainQueue)
      : inner(inner), mainQueue(mainQueue) {}

  std::unique_ptr<AudioEngine> makeEngine() override;
  // Cheap, and asked in status mode only: answered on the caller's thread.
  bool inputReachable() override { return inner.inputReachable(); }

 private:
  AudioServices& inner;
  PosixMainQueue& mainQueue;
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_WORKER_AUDIO_SERVICES_H_
