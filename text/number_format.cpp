#include "text/number_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "text/hex_text.h"

namespace glim::text {
namespace {

// A finite value rounded to 15 significant decimal digits:
// |value| = 0.d1d2...d15 x 10^pointPos (d1 is not 0 unless the value is 0).
struct Decimal {
  bool negative = false;
  std::string digits;  // 15 digits, or "0"
  int pointPos = 1;    // number of digits before the decimal point
};

Decimal toDecimal15(double value) {
  Decimal d;
  if (value == 0.0) {
    d.digits = "0";
    d.pointPos = 1;
    return d;
  }
  // to_chars, unlike printf, ignores the C locale: under a locale with a
  // decimal comma printf would write "1,95312500000000e+02".
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  const std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));  // d.dddddddddddddde+XX
  std::size_t i = 0;
  if (s[i] == '-') {
    d.negative = true;
    ++i;
  }
  const std::size_t ePos = s.find('e');
  for (std::size_t k = i; k < ePos; ++k) {
    if (s[k] != '.') d.digits.push_back(s[k]);
  }
  std::size_t expStart = ePos + 1;
  if (expStart < s.size() && s[expStart] == '+') ++expStart;  // from_chars takes '-' only
  int exp10 = 0;
  std::from_chars(s.data() + expStart, s.data() + s.size(), exp10);
  d.pointPos = exp10 + 1;
  return d;
}

// Digit at position k (0 = first significant digit) or '0' beyond the digits.
char digitAt(const std::string& digits, long k) {
  return (k >= 0 && k < static_cast<long>(digits.size())) ? digits[static_cast<std::size_t>(k)] : '0';
}

std::string nonFinite(double value) {
  if (std::isnan(value)) return "NaN";
  return value < 0 ? "-Infinity" : "Infinity";
}

}  // namespace

std::string hex16(int64_t value) { return hexText(static_cast<uint16_t>(value)); }

std::string hex32(int64_t value) { return hexText(static_cast<uint32_t>(value)); }

std::string formatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return nonFinite(value);
  decimals = std::max(decimals, 0);
  const Decimal d = toDecimal15(value);
  // The integer digits and `decimals` fraction digits as one digit string whose
  // last digit is the 10^-decimals place; digit k of it is significant digit
  // k - intDigits + pointPos.
  const long intDigits = d.pointPos > 0 ? d.pointPos : 0;
  const long shift = d.pointPos - intDigits;
  std::string out;
  for (long k = 0; k < intDigits + decimals; ++k) out.push_back(digitAt(d.digits, k + shift));
  // Round half away from zero on the first digit not shown.
  if (digitAt(d.digits, intDigits + decimals + shift) >= '5') {
    long k = static_cast<long>(out.size()) - 1;
    while (k >= 0 && out[static_cast<std::size_t>(k)] == '9') out[static_cast<std::size_t>(k--)] = '0';
    if (k >= 0) {
      ++out[static_cast<std::size_t>(k)];
    } else {
      out.insert(out.begin(), '1');
    }
  }
  const std::size_t intLen = out.size() - static_cast<std::size_t>(decimals);
  std::string intPart = out.substr(0, intLen);
  std::string fracPart = out.substr(intLen);
  const std::size_t nz = intPart.find_first_not_of('0');
  intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
  const bool allZero = intPart == "0" && fracPart.find_first_not_of('0') == std::string::npos;
  std::string result = (d.negative && !allZero) ? "-" : "";
  result += intPart;
  if (decimals > 0) {
    result += '.';
    result += fracPart;
  }
  return result;
}

std::string formatGeneral(double value) {
  if (!std::isfinite(value)) return nonFinite(value);
  Decimal d = toDecimal15(value);
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits == "0") return "0";
  std::string result = d.negative ? "-" : "";
  const long n = static_cast<long>(d.digits.size());
  if (d.pointPos <= 0) {
    result += "0.";
    result.append(static_cast<std::size_t>(-d.pointPos), '0');
    result += d.digits;
  } else if (d.pointPos >= n) {
    result += d.digits;
    result.append(static_cast<std::size_t>(d.pointPos - n), '0');
  } else {
    result += d.digits.substr(0, static_cast<std::size_t>(d.pointPos));
    result += '.';
    result += d.digits.substr(static_cast<std::size_t>(d.pointPos));
  }
  return result;
}

std::string integerText(long long value) { return std::to_string(value); }

}  // namespace glim::text
