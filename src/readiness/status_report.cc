#include "readiness/status_report.h"

#include "host/process_values.h"
#include "host/protocol.h"
#include "readiness/availability.h"

namespace orlimbo {

void reportStatus() {
  std::optional<std::string> reason = unavailableReason();
  // A session finds this out after "starting"; a status report has no later
  // moment, so it asks without recording.
  if (!reason && !platform->audio.inputReachable()) reason = platform->sentences.noMicrophone;
  emit(statusMessage(!reason, requestedLocale, reason ? &*reason : nullptr));
  platform->process.exit(kExitSuccess);
}

}  // namespace orlimbo
