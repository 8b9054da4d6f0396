// Threads of the Linux helper. Every thread the helper starts itself is
// started here, with an explicit stack size, and a refusal of the system (too
// many threads, no address space) is an answer, never an exception.
#ifndef ORLIMBO_PLATFORM_LINUX_DETACHED_THREAD_H_
#define ORLIMBO_PLATFORM_LINUX_DETACHED_THREAD_H_

#include <cstddef>
#include <functional>

namespace orlimbo {

// Enough for loading and running the recognizer, whatever stack limit the
// process was started with: glibc would otherwise size every thread's stack
// from RLIMIT_STACK, which a parent may have set to a few kilobytes.
inline constexpr std::size_t kThreadStackBytes = 8 * 1024 * 1024;

// Runs `work` once on a new detached thread. False when the thread could not
// be started; `work` has then not run and is destroyed. The thread (and any
// thread it starts) blocks the termination, interrupt and hang-up signals, so
// that they reach the main thread, whose queue handles them.
bool startDetachedThread(std::function<void()> work);

// Makes kThreadStackBytes the stack of threads that libraries start with the
// default attributes (libpulse's mainloop), and lets the main thread's stack
// grow that far too where the hard limit allows. Called once, first thing in
// main.
void setDefaultThreadStack();

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_LINUX_DETACHED_THREAD_H_
