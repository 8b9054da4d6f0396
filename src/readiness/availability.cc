#include "readiness/availability.h"

#include "host/process_values.h"

namespace orlimbo {
namespace {

bool speechRefused(int status) { return status == kSpeechDenied || status == kSpeechRestricted; }

bool microphoneRefused(int status) {
  return status == kMicrophoneRestricted || status == kMicrophoneDenied;
}

}  // namespace

std::optional<std::string> unavailableReason() {
  if (recognizer == nullptr) {
    return "Speech recognition is unavailable for " + requestedLocale + ".";
  }
  if (!recognizer->supportsOnDeviceRecognition()) {
    return "On-device dictation is unavailable for " + requestedLocale +
           ". Enable this language in macOS Dictation settings, then try again.";
  }
  if (speechRefused(platform->speech.authorizationStatus())) {
    return "Allow Orlimbo in System Settings → Privacy & Security → Speech Recognition.";
  }
  if (microphoneRefused(platform->privacy.microphoneAuthorizationStatus())) {
    return "Allow Orlimbo in System Settings → Privacy & Security → Microphone.";
  }
  return std::nullopt;
}

}  // namespace orlimbo
