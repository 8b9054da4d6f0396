#include "platform/linux/detached_thread.h"
#include "platform/linux/linux_privacy.h"
#include "platform/linux/posix_main_queue.h"
#include "platform/linux/posix_process.h"
#include "platform/sim/host_services.h"

namespace orlimbo {

HostServices startHostServices() {
  guardStandardDescriptors();
  setDefaultThreadStack();
  auto* mainQueue = new PosixMainQueue;
  auto* process = new PosixProcess(*mainQueue);
  auto* privacy = new LinuxPrivacy;
  return HostServices{*mainQueue, *process, *privacy};
}

}  // namespace orlimbo
