#include "usb/sim/sim_driver.h"

namespace glim::usb::sim {
struct SimDriver::Impl {};
SimDriver::SimDriver() : impl_(std::make_unique<Impl>()) {}
SimDriver::~SimDriver() = default;
Status SimDriver::init(uint32_t&, const MatchEntry&, const DriverEvents&, Poster) { return kNotSupported; }
Status SimDriver::setInterface(DeviceHandle, uint32_t, uint32_t) { return kNotSupported; }
Status SimDriver::getDeviceInfo(DeviceHandle, DeviceInfo&) { return kNotSupported; }
Status SimDriver::transfer(DeviceHandle, uint32_t, uint32_t, uint32_t, uint8_t*, uint32_t, uint32_t& transferred,
                           const uint8_t*, uint32_t) {
  transferred = 0;
  return kNotSupported;
}
void SimDriver::uninit(uint32_t) {}
int SimDriver::plug() { return 0; }
bool SimDriver::unplug(int) { return false; }
std::vector<int> SimDriver::pluggedBoards() const { return {}; }
DeviceHandle SimDriver::handleOf(int) const { return 0; }
Faults SimDriver::faults() const { return {}; }
void SimDriver::setFaults(const Faults&) {}
void SimDriver::setChipRegister(int, uint8_t) {}
SimBoard SimDriver::boardState(int) const { return {}; }
std::vector<PacketTraceEntry> SimDriver::trace() const { return {}; }
void SimDriver::clearTrace() {}
}  // namespace glim::usb::sim
