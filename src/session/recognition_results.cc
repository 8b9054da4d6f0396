// DictationSession::handleRecognition: what the host sees of each report.

#include <string>

#include "host/process_values.h"
#include "host/protocol.h"
#include "platform/graphemes.h"
#include "session/dictation_session.h"

namespace orlimbo {

void DictationSession::handleRecognition(const std::optional<RecognitionResult>& result,
                                         const std::optional<RecognitionError>& error) {
  if (finished) return;
  if (result) {
    text = std::string(firstGraphemes(result->formattedString, kMaxTranscriptCharacters));
    if (result->isFinal) {
      complete();
      return;
    }
    emit(interimMessage(text));
  }
  if (error) {
    if (stopping && !text.empty()) {
      complete();
    } else {
      fail(platform->sentences.recognitionFailed);
    }
  }
}

}  // namespace orlimbo
