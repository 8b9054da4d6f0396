// The sentences the helper shows the user, one for each situation that ends a
// run or makes dictation unavailable. Each platform hands the core the table
// that fits it: the designed table speaks of macOS settings; a platform
// without them gives its own advice. A sentence holding "{locale}" gets the
// requested locale there.
#ifndef ORLIMBO_PLATFORM_SENTENCES_H_
#define ORLIMBO_PLATFORM_SENTENCES_H_

#include <string>

namespace orlimbo {

struct Sentences {
  std::string noRecognizer;              // no recognizer for the locale
  std::string onDeviceUnsupported;       // a recognizer that needs a server
  std::string speechRefusedEarlier;      // speech recognition refused before this run
  std::string microphoneRefusedEarlier;  // microphone refused before this run
  std::string privacyTextsMissing;       // the executable lacks its prompt texts
  std::string speechPromptRefused;       // the speech prompt answered no
  std::string microphonePromptRefused;   // the microphone prompt answered no
  std::string onDeviceLost;              // on-device support went away before recording
  std::string noMicrophone;              // no usable input, or no way to reach one
  std::string microphoneStartFailed;     // the input would not start
  std::string recognitionFailed;         // the recognizer reported an error
};

// The table of the macOS helper and the simulated helper.
const Sentences& designedSentences();

// `sentence` with its "{locale}" replaced by `locale`.
std::string withLocale(const std::string& sentence, const std::string& locale);

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_SENTENCES_H_
