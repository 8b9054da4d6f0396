// A gate between a real-time thread that delivers and a thread that ends the
// deliveries. Passing takes no lock, makes no allocation and never waits;
// closing waits until no pass is in progress, and after it no pass begins.
// Safe on any thread; plain C++ so that it is tested on every system.
#ifndef ORLIMBO_PLATFORM_APPLE_DELIVERY_GATE_H_
#define ORLIMBO_PLATFORM_APPLE_DELIVERY_GATE_H_

#include <atomic>
#include <cstdint>
#include <thread>

namespace orlimbo {

class DeliveryGate {
 public:
  DeliveryGate() = default;
  DeliveryGate(const DeliveryGate&) = delete;
  DeliveryGate& operator=(const DeliveryGate&) = delete;

  // Runs `deliver` unless the gate is closed; false when it was not run.
  template <typename Deliver>
  bool pass(Deliver&& deliver) {
    // Announce the pass, then look at the gate. close() does the opposite
    // (close, then look for passes), and with sequentially consistent order at
    // least one of the two sees the other: a pass that finds the gate open is
    // waited for.
    passing.fetch_add(1, std::memory_order_seq_cst);
    struct Leave {
      std::atomic<std::uint32_t>& passing;
      ~Leave() { passing.fetch_sub(1, std::memory_order_release); }
    } leave{passing};
    if (closed.load(std::memory_order_seq_cst)) return false;
    deliver();
    return true;
  }

  // Closes the gate and waits for the passes in progress; a real-time pass is
  // short, so the wait yields instead of sleeping. True for the call that
  // closed it, false when it was closed already. Never called from inside a
  // pass, which it would wait for forever.
  bool close() {
    const bool wasOpen = !closed.exchange(true, std::memory_order_seq_cst);
    while (passing.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
    return wasOpen;
  }

 private:
  static_assert(std::atomic<bool>::is_always_lock_free);
  static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

  std::atomic<bool> closed{false};
  std::atomic<std::uint32_t> passing{0};
};

}  // namespace orlimbo

#endif  // ORLIMBO_PLATFORM_APPLE_DELIVERY_GATE_H_
