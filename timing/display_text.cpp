#include "timing/display_text.h"

#include <cmath>

#include "text/number_format.h"

namespace glim::timing {
namespace {

std::string nonFiniteText(double value) {
  if (std::isnan(value)) return std::string(kUndefinedText);
  return std::string(value < 0 ? kNegativeInfiniteText : kInfiniteText);
}

}  // namespace

std::string fixedText(double value, int decimals) {
  if (!std::isfinite(value)) return nonFiniteText(value);
  return text::formatFixed(value, decimals);
}

std::string generalText(double value) {
  if (!std::isfinite(value)) return nonFiniteText(value);
  return text::formatGeneral(value);
}

}  // namespace glim::timing
