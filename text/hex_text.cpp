#include "text/hex_text.h"

#include <array>
#include <string>

#include "text/number_format.h"

namespace glim::text {

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

uint32_t hexTextValue(std::string_view text) {
  uint64_t value = 0;
  for (const char c : text) {
    if (c == ' ') continue;
    const int d = hexDigitValue(c);
    if (d < 0) break;
    value = value * 16 + static_cast<uint64_t>(d);
    if (value > UINT32_MAX) value = UINT32_MAX;
  }
  return static_cast<uint32_t>(value);
}

std::string_view byteText(uint8_t value) {
  static const std::array<std::string, 256> kTexts = [] {
    std::array<std::string, 256> t;
    for (int v = 0; v < 256; ++v) t[static_cast<std::size_t>(v)] = hex16(v);
    return t;
  }();
  return kTexts[value];
}

}  // namespace glim::text
