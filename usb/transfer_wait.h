#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "usb/status.h"

namespace glim::usb {

// A transfer that did not end at once, as the side that waits for it sees it.
// The backend makes it, ends it (finish, from any thread) and says how to
// cancel it; the waiter watches it, may cancel it, and returns once it ended.
// Thread-safe.
class PendingTransfer {
 public:
  using Clock = std::chrono::steady_clock;

  // `cancel` asks the backend to end the transfer early with `why` (called at
  // most once, on the waiter's thread); the backend still calls finish().
  PendingTransfer(Clock::time_point deadline, std::function<void(Status why)> cancel);
  PendingTransfer(const PendingTransfer&) = delete;
  PendingTransfer& operator=(const PendingTransfer&) = delete;

  // When the layer gives the transfer up by itself (its time-out).
  Clock::time_point deadline() const { return deadline_; }
  // The deadline of a transfer started now with a time-out of `ms` (0: none).
  static Clock::time_point deadlineAfter(uint32_t ms) {
    return Clock::now() + (ms != 0 ? std::chrono::milliseconds(ms) : std::chrono::hours(24 * 365));
  }

  // Backend, any thread: the transfer has ended; wakes the waiter.
  void finish();
  bool ended() const;

  // Waiter: ends the transfer early. Later calls do nothing.
  void cancel(Status why = kCancelled);

  // Waiter: `wake` runs (on the backend's thread) once the transfer ends, or
  // at once when it has ended already. Replaces any earlier one; once this
  // returns, the earlier one is not running and will not run.
  void setWakeUp(std::function<void()> wake);

  // Waits on this thread up to `limit`; true when the transfer has ended.
  bool waitFor(std::chrono::milliseconds limit);

  // Waits on this thread until the transfer ends; at `deadline` plus `slack`
  // it is cancelled with kTimeout (a layer that missed its own time-out) and
  // then waited for, however long that takes.
  void waitPlainly(std::chrono::milliseconds slack = std::chrono::milliseconds(1000));

 private:
  const Clock::time_point deadline_;
  std::function<void(Status)> cancel_;
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  std::function<void()> wake_;
  bool done_ = false;
  bool cancelled_ = false;
};

// Where a backend hands a transfer that did not end at once: it returns once
// the transfer ended. Runs on the thread that called the transfer.
class TransferWaiter {
 public:
  virtual ~TransferWaiter() = default;
  virtual void wait(PendingTransfer& pending) = 0;
};

// Waits on the calling thread, as a program without windows does.
class PlainWaiter final : public TransferWaiter {
 public:
  void wait(PendingTransfer& pending) override { pending.waitPlainly(); }
};

// What the program is doing while it waits for the board, for a front end to
// show: "Reading 0x05", step 6 of 22 (no steps: not a batch).
struct WaitLabel {
  std::string what;
  int step = 0;
  int steps = 0;
};

// The front end's wait for the board: returns once `pending` ended. It may
// cancel it (the user's Cancel); it must not start another handler meanwhile.
class WaitHost {
 public:
  virtual ~WaitHost() = default;
  virtual void waitForBoard(PendingTransfer& pending, const WaitLabel& label) = 0;
};

}  // namespace glim::usb
