#pragma once
#include <cstdint>

#include "usb/driver.h"

namespace glim::usb {

// A layer with no boards at all: it opens and closes, offers nothing, and any
// handle is unknown to it. A program on it runs with every board away.
class EmptyDriver : public Driver {
 public:
  Result<DriverConnection> open(const MatchEntry&, const DriverEvents&, Poster) override { return DriverConnection{1}; }
  Status setInterface(DeviceHandle, uint32_t, uint32_t) override { return kInvalidHandle; }
  Result<DeviceInfo> deviceInfo(DeviceHandle) override { return kInvalidHandle; }
  TransferResult transfer(DeviceHandle, uint32_t, Direction, std::span<uint8_t>, uint32_t, TransferWaiter&) override {
    return {kInvalidHandle, 0};
  }
  void close(DriverConnection) override {}
};

}  // namespace glim::usb
