// The byte the settings packet carries for a register cell's value.
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

}  // namespace glim::timing
