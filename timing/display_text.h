#pragma once
#include <string>
#include <string_view>

namespace glim::timing {

// What a display field shows when its value has no finite result, for example
// the STV frequency of a zero STV count. A made-up finite number would mislead
// whoever reads the field, so these say it in words.
inline constexpr std::string_view kInfiniteText = "infinite";
inline constexpr std::string_view kNegativeInfiniteText = "-infinite";
inline constexpr std::string_view kUndefinedText = "undefined";

// Fixed-point display text with `decimals` digits after the point ("###0.0" is
// 1, "###0.000" is 3); non-finite values give the texts above.
std::string fixedText(double value, int decimals);
// General number text (15 significant digits, plain decimal, no trailing zeros);
// non-finite values give the texts above.
std::string generalText(double value);

}  // namespace glim::timing
