#include "platform/apple/apple_privacy.h"
#include "platform/apple/apple_process.h"
#include "platform/apple/dispatch_main_queue.h"
#include "platform/sim/host_services.h"

namespace orlimbo {

HostServices startHostServices() {
  auto* mainQueue = new DispatchMainQueue;
  auto* process = new AppleProcess;
  auto* privacy = new ApplePrivacy;
  return HostServices{*mainQueue, *process, *privacy};
}

}  // namespace orlimbo
