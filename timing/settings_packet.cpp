// Write Settings: the control-pin packet, then the settings packet (a lead
// byte and the 43 register cells) on the timing pipe.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "timing/timing_panel.h"

namespace glim::timing {

uint8_t packetByte(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= 0)) return 0;
  return static_cast<uint8_t>(std::min(rounded, 255.0));
}

std::array<uint8_t, kCellCount> TimingPanel::imageBytes() const {
  std::array<uint8_t, kCellCount> bytes{};
  for (int k = 0; k < kCellCount; ++k) bytes[static_cast<std::size_t>(k)] = sentByte(k);
  return bytes;
}

void TimingPanel::report(const std::string& action, const std::optional<std::string>& failure) {
  if (link_.cancelledInHandler()) {
    status_.show(action, "cancelled", true);
  } else if (failure) {
    status_.failed(action, *failure);
  } else {
    status_.succeeded(action, "sent");
  }
}

std::optional<std::string> TimingPanel::writeSettings() {
  if (!link_.requireDevice()) return "no board connected";
  const usb::BoardLink::Activity doing(link_, "Write Settings");
  // A failed pin packet does not stop the settings: the board may still take them.
  const auto pins = writeCtrlPins();
  const auto bytes = imageBytes();
  const usb::TransferOutcome settings =
      link_.writePipe(usb::protocol::kTimingPipe, usb::protocol::settingsPacket(bytes));
  if (pins) return pins;
  if (!settings.ok()) return settings.reason();
  return std::nullopt;
}

void TimingPanel::cbWritesettings_Click() { report("Write Settings", writeSettings()); }

// The chosen option reaches the board because Write Settings reads the group.
void TimingPanel::ob1Den_Click(int) { report("1D EN", writeSettings()); }

}  // namespace glim::timing
