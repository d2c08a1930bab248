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
  for (int k = 0; k < kCellCount; ++k) bytes[static_cast<std::size_t>(k)] = packetByte(cellValue(k));
  return bytes;
}

void TimingPanel::cbWritesettings_Click() {
  if (!link_.requireDevice()) return;
  const usb::BoardLink::Activity doing(link_, "Write Settings");
  writeCtrlPins();
  const auto bytes = imageBytes();
  link_.writePipe(usb::protocol::kTimingPipe, usb::protocol::settingsPacket(bytes));
}

// The chosen option reaches the board because Write Settings reads the group.
void TimingPanel::ob1Den_Click(int) { cbWritesettings_Click(); }

}  // namespace glim::timing
