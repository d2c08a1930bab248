#include "usb/sim/held_transfers.h"

#include <chrono>
#include <thread>

namespace glim::usb::sim {

Status HeldTransfers::hold(std::unique_lock<std::mutex>& lock, DeviceHandle device, uint32_t pipe, uint32_t hangMs,
                           uint32_t timeoutMs, TransferWaiter& waiter) {
  auto held = std::make_shared<Hold>();
  held->device = device;
  held->pipe = pipe;
  holds_.push_back(held);
  const bool answers = hangMs != 0 && (timeoutMs == 0 || hangMs < timeoutMs);
  const uint32_t limit = answers ? hangMs : timeoutMs;
  const auto due = PendingTransfer::deadlineAfter(limit);
  std::mutex& mutex = *lock.mutex();

  PendingTransfer pending(due, [this, &mutex, held](Status why) {
    std::lock_guard l(mutex);
    release([&](const Hold& h) { return &h == held.get(); }, why);
  });
  std::thread timer([this, &mutex, &pending, held, due, answers] {
    {
      std::unique_lock l(mutex);
      if (!changed_.wait_until(l, due, [&] { return held->release.has_value(); })) {
        held->release = answers ? kSuccess : kTimeout;
      }
    }
    pending.finish();
  });
  lock.unlock();
  waiter.wait(pending);
  timer.join();
  lock.lock();
  std::erase(holds_, held);
  return *held->release;
}

void HeldTransfers::release(const std::function<bool(const Hold&)>& which, Status status) {
  bool any = false;
  for (auto& held : holds_) {
    if (!held->release && which(*held)) {
      held->release = status;
      any = true;
    }
  }
  if (any) changed_.notify_all();
}

}  // namespace glim::usb::sim
