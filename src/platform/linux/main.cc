// orlimbo-dictation on Linux: PulseAudio capture and on-device recognition.
// Both live in the backend module, which only a dictation session opens; a
// status probe answers without it, checking only that the module and the
// audio server are there.

#include <string>
#include <vector>

#include "host/entry.h"
#include "platform/linux/audio_reachability.h"
#include "platform/linux/backend_audio_services.h"
#include "platform/linux/backend_module.h"
#include "platform/linux/detached_thread.h"
#include "platform/linux/linux_privacy.h"
#include "platform/linux/linux_sentences.h"
#include "platform/linux/pocketsphinx_speech.h"
#include "platform/linux/posix_main_queue.h"
#include "platform/linux/posix_process.h"
#include "platform/linux/worker_audio_services.h"

int main(int argc, char** argv) {
  using namespace orlimbo;
  // Before anything opens a descriptor or starts a thread.
  guardStandardDescriptors();
  setDefaultThreadStack();
  // Never destroyed: the process ends through _exit while they are in use.
  auto* mainQueue = new PosixMainQueue;
  auto* process = new PosixProcess(*mainQueue);
  auto* speech = new PocketSphinxSpeech(kDefaultSphinxModelRoot, backendModule);
  // The engine is made exactly when a dictation session is created (never for
  // --status); the backend module opens then, and the model starts loading
  // while the permissions are asked and the microphone opens, so the first
  // words wait in the request instead of the start waiting for the model.
  auto* backendAudio = new BackendAudioServices(
      backendModule, [speech] { speech->preload(); }, audioInputReachable);
  // The engine's work (opening the module, the server's configuration and
  // answers) runs on a worker, so that the host is heard meanwhile.
  auto* audio = new WorkerAudioServices(*backendAudio, *mainQueue);
  auto* privacy = new LinuxPrivacy;
  runHelper(std::vector<std::string>(argv, argv + argc),
            Platform{*mainQueue, *process, *speech, *audio, *privacy, linuxSentences()});
  return 0;
}
