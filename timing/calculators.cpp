#include "timing/calculators.h"

#include <algorithm>
#include <cmath>

#include "text/number_format.h"

namespace glim::timing::calc {

using usb::protocol::kReferenceHz;

double dividedClockKHz(double divider) { return divider == 0 ? kReferenceHz / kKilo : kReferenceHz / divider / kKilo; }

double nearestWhole(double ratio, double limit) {
  if (!(ratio >= kLowestRatio)) return 0;
  if (ratio > limit) return limit;
  return std::floor(ratio + 0.5);
}

double byteDivider(double desiredKHz) { return nearestWhole(kReferenceHz / (desiredKHz * kKilo), kByteLimit); }

double sclkDivider(double desiredKHz) {
  const double r = kReferenceHz / (desiredKHz * kKilo);
  return !(r >= kLowestRatio) ? 0 : std::min(std::floor(r / 2 + 0.5) - 1, kTwelveBitLimit);
}

double stvCount(double sclkKHz, double desiredHz) { return nearestWhole(sclkKHz / desiredHz * kKilo, kTwelveBitLimit); }

std::string wholeText(double value) { return text::integerText(static_cast<long long>(value)); }

}  // namespace glim::timing::calc
