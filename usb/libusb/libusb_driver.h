#pragma once
#include <chrono>
#include <memory>

#include "usb/driver.h"

namespace glim::usb::libusb {

struct LibusbOptions {
  // Find boards by listing the bus every `pollInterval` instead of by hot-plug
  // events. Chosen by itself where libusb has no hot-plug support (Windows
  // before libusb 1.0.30).
  bool pollForBoards = false;
  std::chrono::milliseconds pollInterval{1000};
};

// Real boards through libusb-1.0. Each open connection has its own libusb
// context and event thread; boards that match are found by hot-plug events
// (boards already present included) or by polling, opened with interface 0
// claimed, and offered through the attach callback in a task handed to the
// Poster. The pipe number is the endpoint address; transfers are bulk or
// interrupt as the endpoint says.
//
// close() (and the destructor) deregisters, cancels the transfers pending
// and waits for them, stops the event thread, closes every board and exits
// the context; no callback runs after it returns. It may be called from
// inside the attach or detach callback, as on every layer.
class LibusbDriver final : public Driver {
 public:
  LibusbDriver();
  explicit LibusbDriver(LibusbOptions options);
  ~LibusbDriver() override;
  LibusbDriver(const LibusbDriver&) = delete;
  LibusbDriver& operator=(const LibusbDriver&) = delete;

  Result<DriverConnection> open(const MatchEntry& match, const DriverEvents& events, Poster post) override;
  Status setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) override;
  Result<DeviceInfo> deviceInfo(DeviceHandle device) override;
  TransferResult transfer(DeviceHandle device, uint32_t pipe, Direction direction, std::span<uint8_t> bytes,
                          uint32_t timeoutMs, TransferWaiter& waiter) override;
  void close(DriverConnection connection) override;

  // Whether the open connection finds boards by polling (false when closed).
  bool polling() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace glim::usb::libusb
