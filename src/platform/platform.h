// The services of one platform, as the core reaches them. Each platform folder
// builds one of these in its entry point and hands it to runHelper; the
// services outlive the process's use of them.
#ifndef ORLIMBO_PLATFORM_PLATFORM_H_
#define ORLIMBO_PLATFORM_PLATFORM_H_

#include "platform/audio.h"
#include "platform/main_queue.h"
#include "platform/privacy.h"
#include "platform/process.h"
#include "platform/sentences.h"
#include "platform/speech.h"

namespace orlimbo {

struct Platform {
  MainQueue& mainQueue;
  ProcessServices& process;
  SpeechServices& speech;
  AudioServices& audio;
  PrivacyServices& privacy;
  // The sentences this platform shows its user.
  const Sentences& sentences = designedSentences();
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_PLATFORM_H_
