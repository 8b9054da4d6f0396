// For tests: takes an engine through every step a session takes with it,
// expecting the answers of an engine that has no microphone: 0 Hz and 0
// channels, no start, and every other call harmless.
#ifndef ORLIMBO_PLATFORM_LINUX_NO_MICROPHONE_STEPS_H_
#define ORLIMBO_PLATFORM_LINUX_NO_MICROPHONE_STEPS_H_

#include <gtest/gtest.h>

#include "platform/audio.h"

namespace orlimbo {

inline void expectNoMicrophone(AudioEngine& engine) {
  AudioFormat format = engine.inputNode().outputFormatForBus(0);
  EXPECT_EQ(format.sampleRate, 0);
  EXPECT_EQ(format.channelCount, 0u);
  engine.inputNode().installTap(0, 1024, format, [](const AudioBuffer&) {});
  engine.prepare();
  EXPECT_FALSE(engine.start());
  engine.stop();
  engine.inputNode().removeTap(0);
}

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_NO_MICROPHONE_STEPS_H_
