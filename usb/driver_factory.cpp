#include "usb/driver_factory.h"

#include "usb/sim/sim_driver.h"
#ifdef GLIMMORA_HAVE_LIBUSB
#include "usb/libusb/libusb_driver.h"
#endif

namespace glim::usb {

namespace {
// A layer that cannot reach real boards: every start fails with a status that
// says so, which the program logs as any failed driver start.
class UnsupportedDriver final : public Driver {
 public:
  Status init(uint32_t&, const MatchEntry&, const DriverEvents&, Poster) override { return kNoRealBoards; }
  Status setInterface(DeviceHandle, uint32_t, uint32_t) override { return kInvalidHandle; }
  Status getDeviceInfo(DeviceHandle, DeviceInfo&) override { return kInvalidHandle; }
  Status transfer(DeviceHandle, uint32_t, uint32_t, uint32_t, uint8_t*, uint32_t, uint32_t& transferred,
                  const uint8_t*, uint32_t) override {
    transferred = 0;
    return kInvalidHandle;
  }
  void uninit(uint32_t) override {}
};
}  // namespace

DriverChoice parseDriverChoice(std::string_view text) {
  if (text == "sim") return DriverChoice::Sim;
  if (text == "sim-empty") return DriverChoice::SimEmpty;
  return DriverChoice::RealBoards;
}

std::unique_ptr<Driver> createDriver(DriverChoice choice, uint16_t vendorId) {
  switch (choice) {
    case DriverChoice::Sim: {
      auto sim = std::make_unique<sim::SimDriver>(vendorId);
      sim->plug();
      return sim;
    }
    case DriverChoice::SimEmpty:
      return std::make_unique<sim::SimDriver>(vendorId);
    case DriverChoice::RealBoards:
      break;
  }
#ifdef GLIMMORA_HAVE_LIBUSB
  return std::make_unique<libusb::LibusbDriver>();
#else
  return std::make_unique<UnsupportedDriver>();
#endif
}

}  // namespace glim::usb
