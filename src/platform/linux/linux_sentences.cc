#include "platform/linux/linux_sentences.h"

namespace orlimbo {

const Sentences& linuxSentences() {
  static const Sentences sentences = [] {
    Sentences table = designedSentences();
    table.onDeviceUnsupported =
        "On-device dictation is unavailable for {locale}. Install its speech model, then try "
        "again.";
    table.privacyTextsMissing =
        "The dictation helper is missing its permission descriptions. Update Orlimbo.";
    table.microphoneStartFailed =
        "The microphone could not start. Check its connection and your sound settings.";
    table.recognitionFailed =
        "On-device dictation could not recognize speech. Check your microphone and your sound "
        "settings, then try again.";
    return table;
  }();
  return sentences;
}

}  // namespace orlimbo
