// Write Settings: the control-pin packet, then the 44-byte settings packet (a
// lead byte and the 43 register cells) on pipe 3.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "timing/timing_panel.h"

namespace glim::timing {
namespace {

constexpr int32_t kSettingsPipe = 3;
constexpr int kSettingsLength = 1 + kCellCount;

// A cell's value as the byte it is sent as: nearest whole number, halves to the
// even neighbour (12.5 -> 12, 13.5 -> 14). The range check keeps every cell in
// 0..255; the clamp only guards the conversion.
uint8_t packetByte(double value) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= 0)) return 0;
  return static_cast<uint8_t>(std::min(rounded, 255.0));
}

}  // namespace

void TimingPanel::cbWritesettings_Click() {
  if (!link_.requireDevice()) return;
  writeCtrlPins();

  link_.TransferPipe = kSettingsPipe;
  link_.TransferLength = kSettingsLength;
  link_.TransferBuffer.assign(kSettingsLength, 0);
  link_.TransferBuffer[0] = 0x00;
  for (int k = 1; k <= kCellCount; ++k) {
    link_.TransferBuffer[static_cast<std::size_t>(k)] = packetByte(cellValue(k - 1));
  }
  link_.writePipe();
}

// The chosen option reaches the board because Write Settings reads the group.
void TimingPanel::ob1Den_Click(int) { cbWritesettings_Click(); }

}  // namespace glim::timing
