#include "readiness/status_report.h"

#include "host/process_values.h"
#include "host/protocol.h"
#include "readiness/availability.h"

namespace orlimbo {

void reportStatus() {
  std::optional<std::string> reason = unavailableReason();
  emit(statusMessage(!reason, requestedLocale, reason ? &*reason : nullptr));
  platform->process.exit(kExitSuccess);
}

}  // namespace orlimbo
