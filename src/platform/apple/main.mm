// orlimbo-dictation on macOS: on-device Speech recognition of the microphone,
// with the main dispatch queue as the main queue.

#include <string>
#include <vector>

#import <Foundation/Foundation.h>

#include "host/entry.h"
#include "platform/apple/apple_audio.h"
#include "platform/apple/apple_privacy.h"
#include "platform/apple/apple_process.h"
#include "platform/apple/apple_speech.h"
#include "platform/apple/dispatch_main_queue.h"

int main(int argc, char** argv) {
  using namespace orlimbo;
  // Never destroyed: the process ends through _exit while they are in use.
  auto* mainQueue = new DispatchMainQueue;
  auto* process = new AppleProcess;
  auto* speech = new AppleSpeech;
  auto* audio = new AppleAudio;
  auto* privacy = new ApplePrivacy;
  // The pool catches what start-up autoreleases; once the main queue is
  // parked, every task runs inside the queue's own pool.
  @autoreleasepool {
    runHelper(std::vector<std::string>(argv, argv + argc),
              Platform{*mainQueue, *process, *speech, *audio, *privacy});
  }
  return 0;
}
