// The sentences of the Linux helper: the designed ones, except where those
// send the user to macOS settings; here they say what a Linux user can do.
// The permission sentences stay as designed and never show, as both
// permissions read as authorized on Linux.
#ifndef ORLIMBO_PLATFORM_LINUX_LINUX_SENTENCES_H_
#define ORLIMBO_PLATFORM_LINUX_LINUX_SENTENCES_H_

#include "platform/sentences.h"

namespace orlimbo {

const Sentences& linuxSentences();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_LINUX_SENTENCES_H_
