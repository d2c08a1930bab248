#include "timing/calculators.h"

#include <cmath>

#include "text/number_format.h"

namespace glim::timing::calc {

double dividedClockKHz(double divider) { return divider == 0 ? kReferenceHz / kKilo : kReferenceHz / divider / kKilo; }

double nearestWhole(double ratio, double limit) {
  if (!(ratio >= kLowestRatio)) return 0;
  if (ratio > limit) return limit;
  return std::floor(ratio + 0.5);
}

double byteDivider(double desiredKHz) { return nearestWhole(kReferenceHz / (desiredKHz * kKilo), kByteLimit); }

std::string wholeText(double value) { return text::integerText(static_cast<long long>(value)); }

}  // namespace glim::timing::calc
