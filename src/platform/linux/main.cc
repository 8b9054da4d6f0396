// orlimbo-dictation on Linux: PulseAudio capture and on-device recognition.
// Both live in the backend module, which only a dictation opens; a status
// probe answers without it, checking only that the module and the audio
// server are there.

#include <string>
#include <vector>

#include "host/entry.h"
#include "platform/linux/detached_thread.h"
#include "platform/linux/linux_platform.h"
#include "platform/linux/linux_privacy.h"
#include "platform/linux/linux_sentences.h"
#include "platform/linux/posix_main_queue.h"
#include "platform/linux/posix_process.h"

int main(int argc, char** argv) {
  using namespace orlimbo;
  // Before anything opens a descriptor or starts a thread.
  guardStandardDescriptors();
  setDefaultThreadStack();
  // Never destroyed: the process ends through _exit while they are in use.
  auto* mainQueue = new PosixMainQueue;
  auto* process = new PosixProcess(*mainQueue);
  auto* linuxPlatform = new LinuxPlatform(*mainQueue);
  auto* privacy = new LinuxPrivacy;
  runHelper(std::vector<std::string>(argv, argv + argc),
            Platform{*mainQueue, *process, linuxPlatform->speech, linuxPlatform->audio, *privacy,
                     linuxSentences()});
  return 0;
}
