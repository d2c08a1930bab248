#include "text/number_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace glim::text {
namespace {

std::string hexDigits(uint64_t v) {
  static const char* const kDigits = "0123456789ABCDEF";
  if (v == 0) return "0";
  char buf[17];
  char* p = buf + sizeof buf;
  while (v != 0) {
    *--p = kDigits[v & 0xF];
    v >>= 4;
  }
  return std::string(p, buf + sizeof buf);
}

// A finite value as its 15 significant decimal digits and a decimal exponent:
// value = 0.d1d2...d15 x 10^exp10 (digits without leading zeros unless zero).
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
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", value);  // d.dddddddddddddde+XX, "C" numerics
  std::string s(buf);
  std::size_t i = 0;
  if (s[i] == '-') {
    d.negative = true;
    ++i;
  }
  const std::size_t ePos = s.find('e');
  for (std::size_t k = i; k < ePos; ++k) {
    if (s[k] != '.') d.digits.push_back(s[k]);
  }
  d.pointPos = std::atoi(s.c_str() + ePos + 1) + 1;
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

std::string hex16(int64_t value) { return hexDigits(static_cast<uint16_t>(value)); }

std::string hex32(int64_t value) { return hexDigits(static_cast<uint32_t>(value)); }

std::string formatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return nonFinite(value);
  const Decimal d = toDecimal15(value);
  // Digits of the integer part and `decimals` fraction digits, as one string of
  // decimal digits where the last one is the 10^-decimals place.
  const long intDigits = d.pointPos > 0 ? d.pointPos : 0;
  std::string out;
  for (long k = 0; k < intDigits + decimals; ++k) {
    // position relative to first significant digit
    const long pos = k - intDigits + d.pointPos;  // pointPos - intDigits shifts to digit index
    out.push_back(digitAt(d.digits, pos));
  }
  // Round half away from zero on the next digit.
  const long nextPos = intDigits + decimals - intDigits + d.pointPos;
  if (digitAt(d.digits, nextPos) >= '5' && d.digits != "0") {
    long k = static_cast<long>(out.size()) - 1;
    while (k >= 0) {
      if (out[static_cast<std::size_t>(k)] == '9') {
        out[static_cast<std::size_t>(k)] = '0';
        --k;
      } else {
        ++out[static_cast<std::size_t>(k)];
        break;
      }
    }
    if (k < 0) out = "1" + out;
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
