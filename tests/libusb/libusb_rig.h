#pragma once
#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <thread>
#include <vector>

#include "forms/dispatcher.h"
#include "libusb/testbed/usb_testbed.h"
#include "usb/libusb/libusb_driver.h"
#include "usb/vendor_id.h"

namespace glim::testing {

// Runs the dispatcher's queued tasks until `done` holds or `limit` passes (the
// layer's events come from its own threads, so they take a moment).
inline bool settleUntil(forms::Dispatcher& dispatcher, const std::function<bool()>& done,
                        std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    dispatcher.drain();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// The libusb layer opened on the emulated bus, with its callbacks recorded.
struct DriverRig {
  struct Event {
    bool attach = false;
    usb::DeviceHandle handle = 0;
    usb::DeviceInfo info;
  };

  UsbTestbed bed;  // first: the emulation must exist before libusb starts
  forms::Dispatcher dispatcher;
  std::unique_ptr<usb::libusb::LibusbDriver> driver;
  std::vector<Event> events;
  std::function<bool(usb::DeviceHandle)> accept = [](usb::DeviceHandle) { return true; };
  usb::DriverConnection connection{};

  // Opens the layer (made with `options` on first use).
  usb::Status open(usb::libusb::LibusbOptions options = {}) {
    if (!driver) driver = std::make_unique<usb::libusb::LibusbDriver>(options);
    usb::MatchEntry match;
    match.vendorId = usb::kBoardVendorId;
    match.productId = usb::kBoardProductId;
    usb::DriverEvents table;
    table.attach = [this](usb::DeviceHandle h, const usb::DeviceInfo& info) {
      events.push_back({true, h, info});
      return accept(h);
    };
    table.detach = [this](usb::DeviceHandle h) { events.push_back({false, h, {}}); };
    const usb::Result<usb::DriverConnection> opened =
        driver->open(match, table, [this](std::function<void()> task) { dispatcher.post(std::move(task)); });
    if (opened.ok()) connection = opened.value();
    return opened.status();
  }

  void close() {
    if (driver) driver->close(connection);
  }

  ~DriverRig() { close(); }

  bool waitForEvents(std::size_t count) {
    return settleUntil(dispatcher, [&] { return events.size() >= count; });
  }

  // One transfer, waited for on this thread.
  usb::TransferResult transfer(usb::DeviceHandle h, uint32_t pipe, usb::Direction direction, std::span<uint8_t> bytes,
                               uint32_t timeoutMs = 1000) {
    usb::PlainWaiter plain;
    return driver->transfer(h, pipe, direction, bytes, timeoutMs, plain);
  }

  usb::Status write(usb::DeviceHandle h, uint32_t pipe, std::vector<uint8_t> bytes, uint32_t timeoutMs = 1000) {
    return transfer(h, pipe, usb::kWrite, bytes, timeoutMs).status;
  }
};

}  // namespace glim::testing
