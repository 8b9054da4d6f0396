// orlimbo-dictation on Linux: PulseAudio capture and on-device recognition.

#include <string>
#include <vector>

#include "host/entry.h"
#include "platform/linux/linux_privacy.h"
#include "platform/linux/posix_main_queue.h"
#include "platform/linux/posix_process.h"
#include "platform/linux/stand_in_services.h"

int main(int argc, char** argv) {
  using namespace orlimbo;
  // Never destroyed: the process ends through _exit while they are in use.
  auto* mainQueue = new PosixMainQueue;
  auto* process = new PosixProcess;
  auto* speech = new StandInSpeech;
  auto* audio = new StandInAudio;
  auto* privacy = new LinuxPrivacy;
  runHelper(std::vector<std::string>(argv, argv + argc),
            Platform{*mainQueue, *process, *speech, *audio, *privacy});
  return 0;
}
