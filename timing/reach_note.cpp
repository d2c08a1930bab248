#include "timing/reach_note.h"

#include <cmath>

#include "text/text_value.h"
#include "timing/calculators.h"
#include "timing/display_text.h"

namespace glim::timing {
namespace {

using calc::kByteLimit;
using calc::kTwelveBitLimit;

// Whether the actual value shown is within the tolerance of the desired one.
bool closeEnough(double desired, std::string_view actualText) {
  const double actual = text::GetTextValue(std::string(actualText));
  if (actualText == kInfiniteText || actualText == kNegativeInfiniteText || actualText == kUndefinedText) return false;
  return std::abs(actual - desired) <= kReachTolerance * desired;
}

std::string number(double value) { return generalText(value); }

std::string cannot(double desired, const char* unit, const std::string& why) {
  return number(desired) + " " + unit + " cannot be reached: " + why;
}

// Why a divider chosen for `desiredKHz` does not give it: the divider was not
// set from it, or the nearest whole divider (at its limit, or 0) gives `actual`.
std::string dividerNote(double desiredKHz, const std::string& actual, double chosen, double divider, double limit,
                        const char* atZero) {
  if (chosen != divider) {
    return "the divider holds " + number(divider) + ", not the " + number(chosen) + " that " + number(desiredKHz) +
           " kHz asks for";
  }
  if (chosen == limit) return cannot(desiredKHz, "kHz", "the divider's largest value gives " + actual);
  if (chosen == 0) return cannot(desiredKHz, "kHz", atZero + actual);
  return cannot(desiredKHz, "kHz", "the nearest whole divider, " + number(chosen) + ", gives " + actual);
}

}  // namespace

std::string clockReachNote(double desiredKHz, std::string_view actualText, double divider) {
  if (!(desiredKHz > 0) || closeEnough(desiredKHz, actualText)) return {};
  const std::string actual = std::string(actualText) + " kHz";
  const double chosen = calc::byteDivider(desiredKHz);
  return dividerNote(desiredKHz, actual, chosen, divider, kByteLimit, "the undivided clock gives ");
}

std::string sclkReachNote(double desiredKHz, std::string_view actualText, double divider) {
  if (!(desiredKHz > 0) || closeEnough(desiredKHz, actualText)) return {};
  const std::string actual = std::string(actualText) + " kHz";
  const double chosen = calc::sclkDivider(desiredKHz);
  return dividerNote(desiredKHz, actual, chosen, divider, kTwelveBitLimit, "the divider's smallest value gives ");
}

std::string stvReachNote(double desiredHz, std::string_view actualText, double sclkKHz, double count) {
  if (!(desiredHz > 0) || closeEnough(desiredHz, actualText)) return {};
  const std::string actual = std::string(actualText) + " Hz";
  const double chosen = calc::stvCount(sclkKHz, desiredHz);
  if (chosen != count) {
    return "the STV count holds " + number(count) + ", not the " + number(chosen) + " that " + number(desiredHz) +
           " Hz asks for at this SCLK/STV clock";
  }
  if (chosen == kTwelveBitLimit) return cannot(desiredHz, "Hz", "the count's largest value gives " + actual);
  if (chosen == 0) {
    return cannot(desiredHz, "Hz", "the SCLK/STV clock, " + number(sclkKHz) + " kHz, is too slow for it");
  }
  return cannot(desiredHz, "Hz", "the nearest whole count, " + number(chosen) + ", gives " + actual);
}

}  // namespace glim::timing
