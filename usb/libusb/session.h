#pragma once
#include <libusb.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "usb/driver.h"
#include "usb/libusb/libusb_context.h"
#include "usb/libusb/libusb_driver.h"
#include "usb/libusb/session_parts.h"

namespace glim::usb::libusb {

// One open driver connection: its own libusb context and event thread, the
// watch for matching boards (hot-plug, or a poll of the device list where
// libusb has no hot-plug), and the boards it opened.
//
// Threads: the hot-plug callback (event thread) only takes a reference to the
// device, queues the event and cancels transfers pending on a board that left; the opening, the program's attach and
// detach callbacks and the closing run in tasks handed to the Poster, on the thread that owns the forms.
class Session : public std::enable_shared_from_this<Session> {
 public:
  Session(const LibusbOptions& options, const MatchEntry& match, const DriverEvents& events, Poster post,
          std::atomic<DeviceHandle>& nextHandle);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Status open();
  // Deregisters, cancels the transfers in flight and waits for them, stops
  // the event thread, closes every board and lets go of the context (exited
  // with the last board still held). No callback runs after it returns, except
  // the one it was called from. Idempotent.
  void close();

  Status setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting);
  Result<DeviceInfo> deviceInfo(DeviceHandle device);
  TransferResult transfer(DeviceHandle device, uint32_t pipe, Direction direction, std::span<uint8_t> bytes,
                          uint32_t timeoutMs, TransferWaiter& waiter);

  bool polling() const { return polling_; }

 private:
  static int LIBUSB_CALL onHotplug(libusb_context* context, libusb_device* device, libusb_hotplug_event event,
                                   void* self);
  void queueEvent(bool arrived, libusb_device* device);
  void handleNextEvent();
  void attach(DeviceRef device);
  void detach(const libusb_device* device);
  void pollDevices();
  bool matches(libusb_device* device) const;
  // The vendor id the watch filters on (0 for every vendor).
  uint16_t watchedVendor() const;
  // Tells the program, once per board and arrival, of a board not offered.
  void notice(DeviceRef device, BoardNotice::Kind kind, const libusb_device_descriptor& d);
  // The board behind a handle, or the status that says why there is none.
  std::shared_ptr<OpenBoard> find(DeviceHandle device, Status& why);
  // As find(), and the board was also opened and claimed: otherwise `why` is
  // the status that kept it from opening.
  std::shared_ptr<OpenBoard> findOpened(DeviceHandle device, Status& why);

  LibusbOptions options_;
  MatchEntry match_;
  DriverEvents events_;
  Poster post_;
  std::atomic<DeviceHandle>& nextHandle_;
  DeviceHandle firstHandle_ = 0;

  // Declared first: destroyed last.
  ContextPtr context_;
  std::shared_ptr<SyncPoint> sync_ = std::make_shared<SyncPoint>();
  std::shared_ptr<CallbackGate> gate_ = std::make_shared<CallbackGate>();

  std::mutex boardsMutex_;
  std::map<DeviceHandle, std::shared_ptr<OpenBoard>> boards_;

  bool polling_ = false;
  bool hotplugRegistered_ = false;
  libusb_hotplug_callback_handle hotplugHandle_{};
  std::map<libusb_device*, DeviceRef> polled_;  // event thread only
  // Boards seen but not offered (another vendor, no usable driver), until
  // they leave: each is named once. Forms thread only.
  std::map<libusb_device*, DeviceRef> noticed_;
  std::unique_ptr<EventThread> eventThread_;
  bool closed_ = false;
};

}  // namespace glim::usb::libusb
