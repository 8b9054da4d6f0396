#include "platform/sentences.h"

namespace orlimbo {

const Sentences& designedSentences() {
  static const Sentences sentences{
      .noRecognizer = "Speech recognition is unavailable for {locale}.",
      .onDeviceUnsupported =
          "On-device dictation is unavailable for {locale}. Enable this "
          "language in macOS Dictation settings, then try again.",
      .speechRefusedEarlier =
          "Allow Orlimbo in System Settings → Privacy & Security → Speech Recognition.",
      .microphoneRefusedEarlier =
          "Allow Orlimbo in System Settings → Privacy & Security → Microphone.",
      .privacyTextsMissing =
          "The dictation helper is missing its macOS permission descriptions. Update Orlimbo.",
      .speechPromptRefused =
          "Speech recognition permission was not granted. Allow Orlimbo in "
          "Privacy & Security settings.",
      .microphonePromptRefused =
          "Microphone permission was not granted. Allow Orlimbo in Privacy & Security settings.",
      .onDeviceLost = "On-device speech recognition is unavailable. No audio was sent to a server.",
      .noMicrophone = "No usable microphone was found.",
      .microphoneStartFailed =
          "The microphone could not start. Check its connection and macOS permissions.",
      .recognitionFailed =
          "On-device dictation could not recognize speech. Check your "
          "microphone and macOS Dictation language settings, then try again.",
  };
  return sentences;
}

std::string withLocale(const std::string& sentence, const std::string& locale) {
  static const std::string kPlaceholder = "{locale}";
  std::string::size_type at = sentence.find(kPlaceholder);
  if (at == std::string::npos) return sentence;
  return std::string(sentence).replace(at, kPlaceholder.size(), locale);
}

}  // namespace orlimbo
