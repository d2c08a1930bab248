#include "usb/driver_factory.h"

#include "usb/empty_driver.h"
#include "usb/sim/sim_driver.h"
#ifdef GLIMMORA_LIBUSB
#include "usb/libusb/libusb_driver.h"
#endif

namespace glim::usb {

namespace {
// A layer that cannot reach real boards: every start fails with a status that
// says so, which the program logs as any failed driver start.
class UnsupportedDriver final : public EmptyDriver {
 public:
  Result<DriverConnection> open(const MatchEntry&, const DriverEvents&, Poster) override { return kNoRealBoards; }
};

DriverAndBench simulated(uint16_t vendorId, int boards) {
  auto sim = std::make_unique<sim::SimDriver>(vendorId);
  for (int i = 0; i < boards; ++i) sim->plug();
  Bench* bench = sim.get();
  return {std::move(sim), bench};
}
}  // namespace

DriverChoice parseDriverChoice(std::string_view text) {
  if (text == "sim") return DriverChoice::Sim;
  if (text == "sim-empty") return DriverChoice::SimEmpty;
  return DriverChoice::RealBoards;
}

DriverAndBench createDriver(DriverChoice choice, uint16_t vendorId) {
  switch (choice) {
    case DriverChoice::Sim:
      return simulated(vendorId, 1);
    case DriverChoice::SimEmpty:
      return simulated(vendorId, 0);
    case DriverChoice::RealBoards:
      break;
  }
#ifdef GLIMMORA_LIBUSB
  return {std::make_unique<libusb::LibusbDriver>(), nullptr};
#else
  return {std::make_unique<UnsupportedDriver>(), nullptr};
#endif
}

}  // namespace glim::usb
