#pragma once
#include <libusb.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace glim::usb::libusb {

// Owning pointers for libusb objects, so that every exit path gives them back.
struct ContextExit {
  void operator()(libusb_context* context) const { libusb_exit(context); }
};
// Shared: every opened board holds the context too, so that no handle is ever
// closed after its context was exited, whoever lets go last.
using ContextPtr = std::shared_ptr<libusb_context>;
inline ContextPtr ownContext(libusb_context* context) { return ContextPtr(context, ContextExit{}); }

struct DeviceUnref {
  void operator()(libusb_device* device) const { libusb_unref_device(device); }
};
// A counted reference to a device: the only form in which a device crosses
// threads.
using DeviceRef = std::unique_ptr<libusb_device, DeviceUnref>;
inline DeviceRef refDevice(libusb_device* device) { return DeviceRef(libusb_ref_device(device)); }

// The one thread that handles a context's events: transfer completions,
// time-outs and hot-plug notifications. Optionally runs `tick` on that thread
// about every `tickInterval` (the device-list poll where there is no hot-plug).
// Stopped and joined by stop() or the destructor; the stop flag is atomic and
// libusb_interrupt_event_handler wakes the thread from its wait.
class EventThread {
 public:
  EventThread(libusb_context* context, std::function<void()> tick = {},
              std::chrono::milliseconds tickInterval = std::chrono::milliseconds(1000));
  ~EventThread();
  EventThread(const EventThread&) = delete;
  EventThread& operator=(const EventThread&) = delete;

  void stop();

 private:
  void run();

  libusb_context* context_;
  std::function<void()> tick_;
  std::chrono::milliseconds tickInterval_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace glim::usb::libusb
