#include "text/hex_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <iterator>

namespace glim::text {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint32_t hexTextValue(std::string_view text) { return static_cast<uint32_t>(readHexText(text).value); }

TextReading readHexText(std::string_view text) {
  uint64_t value = 0;
  bool digit = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ') continue;
    const int d = hexDigitValue(c);
    if (d < 0) return {static_cast<double>(value), digit, i};
    digit = true;
    value = value * 16 + static_cast<uint64_t>(d);
    if (value > UINT32_MAX) value = UINT32_MAX;
  }
  return {static_cast<double>(value), digit, TextReading::kAll};
}

void appendHex(std::string& out, uint32_t value, int minDigits) {
  char buf[8];
  // Eight digits always suffice for 32 bits; to_chars writes lower case and
  // knows no locale.
  char* const end = std::to_chars(buf, buf + sizeof buf, value, 16).ptr;
  const auto digits = static_cast<int>(end - buf);
  if (minDigits > digits) out.append(static_cast<std::size_t>(minDigits - digits), '0');
  std::transform(buf, end, std::back_inserter(out),
                 [](char c) { return c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c; });
}

std::string hexText(uint32_t value, int minDigits) {
  std::string out;
  appendHex(out, value, minDigits);
  return out;
}

std::string_view byteText(uint8_t value) {
  // Callers keep views of these texts: they live as long as the program.
  static const std::array<std::string, 256> kTexts = [] {
    std::array<std::string, 256> t;
    for (uint32_t v = 0; v < t.size(); ++v) t[v] = hexText(v);
    return t;
  }();
  return kTexts[value];
}

std::string hexBytes(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    appendHex(out, b, 2);
  }
  return out;
}

}  // namespace glim::text
