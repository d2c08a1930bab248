#include "usb/transfer_wait.h"

namespace glim::usb {

PendingTransfer::PendingTransfer(Clock::time_point deadline, std::function<void(Status)> cancel)
    : deadline_(deadline), cancel_(std::move(cancel)) {}

void PendingTransfer::finish() {
  std::lock_guard lock(mutex_);
  if (done_) return;
  done_ = true;
  // Under the lock, so that a waiter that replaces it knows it is over.
  if (wake_) wake_();
  // Under the lock too: a waiter that wakes may destroy this object at once,
  // and must not do so while the notification is still running.
  ended_.notify_all();
}

bool PendingTransfer::ended() const {
  std::lock_guard lock(mutex_);
  return done_;
}

void PendingTransfer::cancel(Status why) {
  {
    std::lock_guard lock(mutex_);
    if (done_ || cancelled_) return;
    cancelled_ = true;
  }
  // Unlocked: the backend may finish the transfer from inside its cancel.
  if (cancel_) cancel_(why);
}

void PendingTransfer::setWakeUp(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
  if (done_ && wake_) wake_();
}

bool PendingTransfer::waitFor(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, limit, [this] { return done_; });
}

void PendingTransfer::waitPlainly(std::chrono::milliseconds slack) {
  std::unique_lock lock(mutex_);
  if (!ended_.wait_until(lock, deadline_ + slack, [this] { return done_; })) {
    lock.unlock();
    cancel(kTimeout);
    lock.lock();
  }
  ended_.wait(lock, [this] { return done_; });
}

}  // namespace glim::usb
