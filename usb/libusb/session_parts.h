#pragma once
#include <libusb.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "usb/driver.h"
#include "usb/libusb/libusb_context.h"

namespace glim::usb::libusb {

// What the event thread shares with the threads that call the layer: the
// queue of hot-plug events and the completion of transfers. One lock and one
// condition for both, so that a thread waiting for its transfer also sees its
// board leave.
struct OpenBoard;

// A transfer submitted on a caller's thread and not yet reaped.
struct InFlight {
  const OpenBoard* board = nullptr;
  libusb_transfer* transfer = nullptr;
  Status why = kSuccess;  // why it was cancelled early (under SyncPoint::mutex)
};

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
  std::vector<InFlight*> inFlight;

  // Under `mutex`: cancels the transfers in flight that `which` picks, noting
  // `why`. Their owners still reap them: none is freed while listed here.
  template <typename Pick>
  void cancelInFlight(Pick which, Status why) {
    for (InFlight* f : inFlight) {
      if (f->why != kSuccess || !which(*f)) continue;
      f->why = why;
      libusb_cancel_transfer(f->transfer);
    }
  }

  // Under `mutex`: a departure of this device is queued but not yet handled.
  bool leftQueued(const libusb_device* device) const {
    for (const auto& event : queue) {
      if (!event.arrived && event.device.get() == device) return true;
    }
    return false;
  }
};

// Keeps the callbacks of one session from running once it closes: every task
// handed to the Poster enters it first and is refused once it is shut. No lock
// is held while the task runs; shut() waits for a task running on another
// thread, not for one on its own (a callback that closes the driver).
struct CallbackGate {
  std::mutex mutex;
  std::condition_variable idle;
  bool open = true;
  int running = 0;
  std::thread::id runner;

  bool enter() {
    std::lock_guard lock(mutex);
    if (!open) return false;
    ++running;
    runner = std::this_thread::get_id();
    return true;
  }
  void leave() {
    {
      std::lock_guard lock(mutex);
      --running;
    }
    idle.notify_all();
  }
  void shut() {
    std::unique_lock lock(mutex);
    open = false;
    idle.wait(lock, [this] { return running == 0 || runner == std::this_thread::get_id(); });
  }
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

  ContextPtr context;  // outlives the handle
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
