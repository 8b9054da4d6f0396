// The process-wide values: created by start-up, in this order, before any
// other code runs, and never replaced. The platform is the one start-up was
// handed. All of them live until the process exits.
#ifndef ORLIMBO_HOST_PROCESS_VALUES_H_
#define ORLIMBO_HOST_PROCESS_VALUES_H_

#include <memory>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace orlimbo {

class DictationSession;

extern const Platform* platform;
extern std::mutex* outputLock;  // guards standard output only
extern std::string requestedLocale;
extern std::unique_ptr<SpeechRecognizer> recognizer;  // null when the locale is unsupported
extern std::shared_ptr<DictationSession> session;     // null in status mode

}  // namespace orlimbo

#endif  // ORLIMBO_HOST_PROCESS_VALUES_H_
