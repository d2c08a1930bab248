#include "text/hex_text.h"

#include <array>
#include <string>

namespace glim::text {

uint32_t hexTextValue(std::string_view text) {
  uint64_t value = 0;
  for (const char c : text) {
    if (c == ' ') continue;
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (d < 0) break;
    value = value * 16 + static_cast<uint64_t>(d);
    if (value > UINT32_MAX) value = UINT32_MAX;
  }
  return static_cast<uint32_t>(value);
}

std::string_view byteText(uint8_t value) {
  static const std::array<std::string, 256> kTexts = [] {
    std::array<std::string, 256> t;
    static const char* const kDigits = "0123456789ABCDEF";
    for (int v = 0; v < 256; ++v) {
      std::string s;
      if (v >= 16) s.push_back(kDigits[v >> 4]);
      s.push_back(kDigits[v & 0xF]);
      t[static_cast<std::size_t>(v)] = s;
    }
    return t;
  }();
  return kTexts[value];
}

}  // namespace glim::text
