#include "text/text_value.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "text/hex_text.h"

namespace glim::text {
namespace {

constexpr long long kExponentLimit = 100'000'000;

bool isSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Walks the text skipping blanks, tabs and line feeds.
class Reader {
 public:
  explicit Reader(std::string_view t) : t_(t) { skip(); }
  bool done() const { return pos_ >= t_.size(); }
  char peek() const { return done() ? '\0' : t_[pos_]; }
  void next() {
    ++pos_;
    skip();
  }
  // Where reading stands: the first character not read yet, or kAll.
  std::size_t stop() const { return done() ? TextReading::kAll : pos_; }

 private:
  void skip() {
    while (pos_ < t_.size() && isSkipped(t_[pos_])) ++pos_;
  }
  std::string_view t_;
  std::size_t pos_ = 0;
};

double readHex(Reader& r) {
  unsigned value = 0;
  int digits = 0;
  while (digits < 4) {
    const int d = hexDigitValue(r.peek());
    if (d < 0) break;
    value = value * 16 + static_cast<unsigned>(d);
    ++digits;
    r.next();
  }
  return static_cast<double>(static_cast<int16_t>(static_cast<uint16_t>(value)));
}

// The digits and point before any exponent, as from_chars reads them.
struct Mantissa {
  std::string digits;
  bool negative = false;
  bool sawDigit = false;
  bool nonZero = false;
};

struct Exponent {
  long long value = 0;
  bool negative = false;
};

// "&H" and up to four hexadecimal digits: a 16-bit value, read as signed.
TextReading readHexLiteral(Reader& r, const TextReading& none) {
  r.next();
  if (r.peek() != 'H' && r.peek() != 'h') return none;
  r.next();
  if (hexDigitValue(r.peek()) < 0) return none;
  const double value = readHex(r);
  return {value, true, r.stop()};
}

// An optional sign, then digits with at most one point, collected in a
// compact form for from_chars, which is locale independent.
Mantissa readMantissa(Reader& r) {
  Mantissa m;
  if (r.peek() == '+' || r.peek() == '-') {
    m.negative = r.peek() == '-';
    r.next();
  }
  bool sawPoint = false;
  while (!r.done()) {
    const char c = r.peek();
    if (c >= '0' && c <= '9') {
      m.sawDigit = true;
      m.nonZero = m.nonZero || c != '0';
      m.digits.push_back(c);
    } else if (c == '.' && !sawPoint) {
      sawPoint = true;
      m.digits.push_back(c);
    } else {
      break;
    }
    r.next();
  }
  return m;
}

// E, e, D or d, an optional sign and digits; with none of it there, exponent 0.
Exponent readExponent(Reader& r) {
  Exponent x;
  const char e = r.peek();
  if (e != 'E' && e != 'e' && e != 'D' && e != 'd') return x;
  r.next();
  if (r.peek() == '+' || r.peek() == '-') {
    x.negative = r.peek() == '-';
    r.next();
  }
  while (!r.done() && r.peek() >= '0' && r.peek() <= '9') {
    // Saturate far beyond the double range; the bound leaves room for
    // mantissas with a great many leading or trailing zeros.
    if (x.value < kExponentLimit) x.value = x.value * 10 + (r.peek() - '0');
    r.next();
  }
  return x;
}

// A value too large or too small for a double: infinity or zero, decided by
// the magnitude of the digits against the exponent.
double outOfRange(const std::string& digits, const Exponent& x) {
  const std::size_t point = digits.find('.');
  const std::size_t firstNonZero = digits.find_first_not_of("0.");
  long long magnitude = 0;
  const std::size_t intEnd = point == std::string::npos ? digits.size() : point;
  if (firstNonZero < intEnd) {
    magnitude = static_cast<long long>(intEnd - firstNonZero);
  } else {
    magnitude = -static_cast<long long>(firstNonZero - intEnd - 1);
  }
  const long long total = magnitude + (x.negative ? -x.value : x.value);
  return total > 0 ? HUGE_VAL : 0.0;
}

// The magnitude of a mantissa with some non-zero digit, scaled by its exponent.
double magnitudeOf(const Mantissa& m, const Exponent& x) {
  std::string number = m.digits;
  number += 'e';
  if (x.negative) number += '-';
  number += std::to_string(x.value);
  double value = 0.0;
  const auto res = std::from_chars(number.data(), number.data() + number.size(), value);
  if (res.ec == std::errc::result_out_of_range) value = outOfRange(m.digits, x);
  return value;
}

}  // namespace

double GetTextValue(std::string_view text) { return readTextValue(text).value; }

TextReading readTextValue(std::string_view text) {
  Reader r(text);
  // A text with no number stops where its first character stands.
  const TextReading none{0.0, false, r.stop()};
  if (r.peek() == '&') return readHexLiteral(r, none);

  const Mantissa mantissa = readMantissa(r);
  if (!mantissa.sawDigit) return none;
  const Exponent exponent = readExponent(r);
  const std::size_t stop = r.stop();
  // Zero is always +0, whatever the sign or exponent said.
  if (!mantissa.nonZero) return {0.0, true, stop};

  const double value = magnitudeOf(mantissa, exponent);
  if (value == 0.0) return {0.0, true, stop};  // underflow
  return {mantissa.negative ? -value : value, true, stop};
}

}  // namespace glim::text
