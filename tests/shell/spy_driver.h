#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <span>
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
    usb::Direction direction;
    bool nullBuffer;
    uint32_t length;
    uint32_t timeoutMs;
  };

  usb::Result<usb::DriverConnection> open(const usb::MatchEntry& match, const usb::DriverEvents& events,
                                          usb::Poster post) override {
    ++opens;
    lastMatch = match;
    lastEvents = events;
    if (failOpen) return *failOpen;
    return sim.open(match, events, std::move(post));
  }
  usb::Status setInterface(usb::DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) override {
    interfaceCalls.push_back({device, interfaceNumber, alternateSetting});
    return sim.setInterface(device, interfaceNumber, alternateSetting);
  }
  usb::Result<usb::DeviceInfo> deviceInfo(usb::DeviceHandle device) override {
    deviceInfoHandles.push_back(device);
    return sim.deviceInfo(device);
  }
  usb::TransferResult transfer(usb::DeviceHandle device, uint32_t pipe, usb::Direction direction,
                               std::span<uint8_t> bytes, uint32_t timeoutMs, usb::TransferWaiter& waiter) override {
    transfers.push_back(
        {device, pipe, direction, bytes.data() == nullptr, static_cast<uint32_t>(bytes.size()), timeoutMs});
    usb::TransferResult result = sim.transfer(device, pipe, direction, bytes, timeoutMs, waiter);
    if (failTransfer) result.status = *failTransfer;
    if (direction == usb::kRead && alterRead) alterRead(bytes, result);
    return result;
  }
  void close(usb::DriverConnection connection) override {
    ++closes;
    onClose.notify();
    sim.close(connection);
  }

  struct InterfaceCall {
    usb::DeviceHandle device;
    uint32_t interfaceNumber;
    uint32_t alternateSetting;
  };

  usb::sim::SimDriver sim;
  std::optional<usb::Status> failOpen;
  std::optional<usb::Status> failTransfer;
  // Changes what a read brought (its bytes, its status and count), as a
  // board the simulated one does not play would answer.
  std::function<void(std::span<uint8_t>, usb::TransferResult&)> alterRead;
  int opens = 0;
  int closes = 0;
  forms::Signal<std::function<void()>> onClose;  // a test's counters outlive the driver's own
  usb::MatchEntry lastMatch;
  usb::DriverEvents lastEvents;  // what the program asked to be told
  std::vector<InterfaceCall> interfaceCalls;
  std::vector<usb::DeviceHandle> deviceInfoHandles;
  std::vector<Transfer> transfers;
};

}  // namespace glim::testing
