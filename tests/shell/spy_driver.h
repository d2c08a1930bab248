#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "forms/signal.h"
#include "usb/driver.h"
#include "usb/sim/sim_driver.h"

namespace glim::testing {

// The simulated layer with every call the program makes recorded, and chosen
// calls made to fail with a given status.
class SpyDriver final : public usb::Driver {
 public:
  struct Transfer {
    usb::DeviceHandle device;
    uint32_t pipe;
    uint32_t direction;
    uint32_t options;
    bool nullBuffer;
    uint32_t length;
    bool nullSetup;
    uint32_t timeoutMs;
  };

  usb::Status init(uint32_t& driverHandle, const usb::MatchEntry& match, const usb::DriverEvents& events,
                   usb::Poster post) override {
    ++inits;
    lastMatch = match;
    if (failInit) return *failInit;
    return sim.init(driverHandle, match, events, std::move(post));
  }
  usb::Status setInterface(usb::DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) override {
    interfaceCalls.push_back({device, interfaceNumber, alternateSetting});
    return sim.setInterface(device, interfaceNumber, alternateSetting);
  }
  usb::Status getDeviceInfo(usb::DeviceHandle device, usb::DeviceInfo& info) override {
    deviceInfoHandles.push_back(device);
    return sim.getDeviceInfo(device, info);
  }
  usb::Status transfer(usb::DeviceHandle device, uint32_t pipe, uint32_t direction, uint32_t options, uint8_t* buffer,
                       uint32_t length, uint32_t& transferred, const uint8_t* setupPacket,
                       uint32_t timeoutMs) override {
    transfers.push_back({device, pipe, direction, options, buffer == nullptr, length, setupPacket == nullptr, timeoutMs});
    const usb::Status s =
        sim.transfer(device, pipe, direction, options, buffer, length, transferred, setupPacket, timeoutMs);
    return failTransfer ? *failTransfer : s;
  }
  void uninit(uint32_t driverHandle) override {
    ++uninits;
    onUninit.notify();
    sim.uninit(driverHandle);
  }

  struct InterfaceCall {
    usb::DeviceHandle device;
    uint32_t interfaceNumber;
    uint32_t alternateSetting;
  };

  usb::sim::SimDriver sim;
  std::optional<usb::Status> failInit;
  std::optional<usb::Status> failTransfer;
  int inits = 0;
  int uninits = 0;
  forms::Signal<std::function<void()>> onUninit;  // a test's counters outlive the driver's own
  usb::MatchEntry lastMatch;
  std::vector<InterfaceCall> interfaceCalls;
  std::vector<usb::DeviceHandle> deviceInfoHandles;
  std::vector<Transfer> transfers;
};

}  // namespace glim::testing
