// The real platform under the simulated helper: the main queue and process
// services of the system the build is for, and its privacy services, of which
// only the executable's own property list is read. One definition per
// platform folder the build selects (host_services_linux.cc,
// host_services_apple.cc).
#ifndef ORLIMBO_PLATFORM_SIM_HOST_SERVICES_H_
#define ORLIMBO_PLATFORM_SIM_HOST_SERVICES_H_

#include "platform/main_queue.h"
#include "platform/privacy.h"
#include "platform/process.h"

namespace orlimbo {

struct HostServices {
  MainQueue& mainQueue;
  ProcessServices& process;
  PrivacyServices& privacy;
};

// Called once, first thing in main, before anything opens a descriptor or
// starts a thread. The services are never destroyed: the process ends while
// they are in use.
HostServices startHostServices();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_SIM_HOST_SERVICES_H_
