// orlimbo-dictation on Linux: PulseAudio capture and on-device recognition.

#include <string>
#include <vector>

#include "host/entry.h"
#include "platform/linux/linux_privacy.h"
#include "platform/linux/pocketsphinx_speech.h"
#include "platform/linux/posix_main_queue.h"
#include "platform/linux/posix_process.h"
#include "platform/linux/pulse_audio_engine.h"

int main(int argc, char** argv) {
  using namespace orlimbo;
  // Never destroyed: the process ends through _exit while they are in use.
  auto* mainQueue = new PosixMainQueue;
  auto* process = new PosixProcess;
  auto* speech = new PocketSphinxSpeech;
  // The engine is made exactly when a dictation session is created (never for
  // --status); the model starts loading then, while the permissions are asked
  // and the microphone opens, so the first words wait in the request instead
  // of the start waiting for the model.
  auto* audio = new PulseAudioServices([speech] { speech->preload(); });
  auto* privacy = new LinuxPrivacy;
  runHelper(std::vector<std::string>(argv, argv + argc),
            Platform{*mainQueue, *process, *speech, *audio, *privacy});
  return 0;
}
