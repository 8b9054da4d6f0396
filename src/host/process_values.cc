#include "host/process_values.h"

#include "session/dictation_session.h"

namespace orlimbo {

const Platform* platform = nullptr;
std::mutex* outputLock = nullptr;
std::string requestedLocale;
std::unique_ptr<SpeechRecognizer> recognizer;
std::shared_ptr<DictationSession> session;

}  // namespace orlimbo
