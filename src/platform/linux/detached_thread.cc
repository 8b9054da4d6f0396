#include "platform/linux/detached_thread.h"

#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <memory>
#include <new>

namespace orlimbo {
namespace {

void* runWork(void* argument) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(argument));
  (*work)();
  return nullptr;
}

}  // namespace

bool startDetachedThread(std::function<void()> work) {
  std::unique_ptr<std::function<void()>> owned(new (std::nothrow)
                                                   std::function<void()>(std::move(work)));
  if (owned == nullptr) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  bool ready = pthread_attr_setstacksize(&attributes, kThreadStackBytes) == 0 &&
               pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0;
  // A new thread starts with its creator's signal mask.
  sigset_t blocked;
  sigset_t previous;
  sigemptyset(&blocked);
  for (int number : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&blocked, number);
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  pthread_t thread;
  bool started = ready && pthread_create(&thread, &attributes, runWork, owned.get()) == 0;
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  pthread_attr_destroy(&attributes);
  if (started) owned.release();  // the thread owns it now
  return started;
}

void setDefaultThreadStack() {
  // The main thread's stack grows up to the soft limit as it is when it grows.
  rlimit stack{};
  if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY &&
      stack.rlim_cur < kThreadStackBytes) {
    rlim_t wanted = kThreadStackBytes;
    if (stack.rlim_max != RLIM_INFINITY && stack.rlim_max < wanted) wanted = stack.rlim_max;
    stack.rlim_cur = wanted;
    setrlimit(RLIMIT_STACK, &stack);
  }
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return;
  if (pthread_attr_setstacksize(&attributes, kThreadStackBytes) == 0) {
    pthread_setattr_default_np(&attributes);
  }
  pthread_attr_destroy(&attributes);
}

}  // namespace orlimbo
