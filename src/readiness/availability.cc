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
    return withLocale(platform->sentences.noRecognizer, requestedLocale);
  }
  if (!recognizer->supportsOnDeviceRecognition()) {
    return withLocale(platform->sentences.onDeviceUnsupported, requestedLocale);
  }
  if (speechRefused(platform->speech.authorizationStatus())) {
    return platform->sentences.speechRefusedEarlier;
  }
  if (microphoneRefused(platform->privacy.microphoneAuthorizationStatus())) {
    return platform->sentences.microphoneRefusedEarlier;
  }
  return std::nullopt;
}

}  // namespace orlimbo
