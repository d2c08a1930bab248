#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include <libusb.h>

#include "usb/driver.h"
#include "usb/libusb/libusb_context.h"

namespace glim::usb::libusb {

// What the event thread shares with the threads that call the layer: the
// queue of hot-plug events and the completion of transfers. One lock and one
// condition for both, so that a thread waiting for its transfer also sees its
// board leave.
struct SyncPoint {
  struct HotplugEvent {
    bool arrived = false;
    DeviceRef device;
  };

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<HotplugEvent> queue;  // taken in order by the tasks handed to the Poster
  bool stopping = false;           // the session is closing: no new calls, waits end
  int callsInProgress = 0;         // transfers and selections running on callers' threads

  // Under `mutex`: a departure of this device is queued but not yet handled.
  bool leftQueued(const libusb_device* device) const {
    for (const auto& event : queue) {
      if (!event.arrived && event.device.get() == device) return true;
    }
    return false;
  }
};

// Keeps the callbacks of one session from running once it closes: every task
// handed to the Poster takes the lock and checks `open` first; close() clears
// it under the same lock, so it also waits for a task that is running.
struct CallbackGate {
  std::mutex mutex;
  bool open = true;
};

// A board the session has opened (or tried to open): released and closed
// when the last user lets go of it.
struct OpenBoard {
  OpenBoard() = default;
  OpenBoard(const OpenBoard&) = delete;
  OpenBoard& operator=(const OpenBoard&) = delete;
  ~OpenBoard() {
    if (handle != nullptr) {
      if (claimed) libusb_release_interface(handle, kInterface);
      libusb_close(handle);
    }
  }

  static constexpr int kInterface = 0;

  DeviceRef device;
  libusb_device_handle* handle = nullptr;
  bool claimed = false;
  // Why the board could not be opened or claimed (access denied, busy, ...):
  // its calls report this, so the log names the cause and its fix.
  Status openStatus = kSuccess;
  DeviceHandle id = 0;
  bool accepted = false;
  bool gone = false;  // under SyncPoint::mutex

  std::mutex infoMutex;
  DeviceInfo info;  // under infoMutex
};

}  // namespace glim::usb::libusb
