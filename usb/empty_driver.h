#pragma once
#include <cstdint>

#include "usb/driver.h"

namespace glim::usb {

// A layer with no boards at all: it opens and closes, offers nothing, and any
// handle is unknown to it. A program on it runs with every board away.
class EmptyDriver : public Driver {
 public:
  Status init(uint32_t& driverHandle, const MatchEntry&, const DriverEvents&, Poster) override {
    driverHandle = 1;
    return kSuccess;
  }
  Status setInterface(DeviceHandle, uint32_t, uint32_t) override { return kInvalidHandle; }
  Status getDeviceInfo(DeviceHandle, DeviceInfo&) override { return kInvalidHandle; }
  Status transfer(DeviceHandle, uint32_t, uint32_t, uint32_t, uint8_t*, uint32_t, uint32_t& transferred,
                  const uint8_t*, uint32_t) override {
    transferred = 0;
    return kInvalidHandle;
  }
  void uninit(uint32_t) override {}
};

}  // namespace glim::usb
