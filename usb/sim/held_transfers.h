#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "usb/driver.h"

namespace glim::usb::sim {

// Transfers held on hanging pipes, as a board that does not answer holds them:
// each waits until it is due, or something releases it (a cancel, an unplug,
// the fault cleared, the driver closed). Every call is made under the layer's
// own mutex, the one given to hold().
class HeldTransfers {
 public:
  struct Hold {
    DeviceHandle device = 0;
    uint32_t pipe = 0;
    std::optional<Status> release;  // kSuccess: go on normally
  };

  // Holds one transfer: after `hangMs` it goes on (kSuccess), at `timeoutMs`
  // it times out (kTimeout); hangMs 0 waits for the time-out, timeoutMs 0
  // has none. The waiting is `waiter`'s, with `lock` released; a timer thread
  // ends it when due. Returns with `lock` held: kSuccess, or how it ended.
  Status hold(std::unique_lock<std::mutex>& lock, DeviceHandle device, uint32_t pipe, uint32_t hangMs,
              uint32_t timeoutMs, TransferWaiter& waiter);

  // Ends the held transfers that `which` picks with `status`.
  void release(const std::function<bool(const Hold&)>& which, Status status);

 private:
  std::vector<std::shared_ptr<Hold>> holds_;
  std::condition_variable changed_;
};

}  // namespace glim::usb::sim
