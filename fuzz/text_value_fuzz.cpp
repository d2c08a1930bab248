// Arbitrary bytes as the text of a box, read the two ways the program reads
// texts, and the values written back as number texts. Nothing may crash, hang
// or read outside the input; a number text must read back as the value it shows.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/hex_text.h"
#include "text/number_format.h"
#include "text/text_value.h"

namespace {

using namespace glim::text;

void require(bool condition) {
  if (!condition) std::abort();
}

// Every text written back must be a plain number GetTextValue reads whole.
void requirePlainNumber(const std::string& text) {
  require(!text.empty());
  std::size_t i = text[0] == '-' ? 1 : 0;
  require(i < text.size());
  int points = 0;
  for (; i < text.size(); ++i) {
    if (text[i] == '.') {
      ++points;
    } else {
      require(text[i] >= '0' && text[i] <= '9');
    }
  }
  require(points <= 1);
}

void checkFormats(double value) {
  if (!std::isfinite(value)) {
    require(formatGeneral(value).find("Infinity") != std::string::npos);
    return;
  }
  const std::string general = formatGeneral(value);
  requirePlainNumber(general);
  require(general.back() != '.');
  // Already at 15 significant digits: reading it back and writing again
  // changes nothing.
  require(formatGeneral(GetTextValue(general)) == general);

  for (const int decimals : {1, 3}) {
    const std::string fixed = formatFixed(value, decimals);
    requirePlainNumber(fixed);
    const std::size_t point = fixed.find('.');
    require(point != std::string::npos && point > 0 && fixed.size() - point - 1 == static_cast<std::size_t>(decimals));
    require(formatFixed(GetTextValue(fixed), decimals) == fixed);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const double value = GetTextValue(text);
  require(!std::isnan(value));
  require(value != 0.0 || !std::signbit(value));
  checkFormats(value);

  // The same text behind "&H" takes the hexadecimal road: a signed 16-bit value.
  const double hex = GetTextValue("&H" + std::string(text));
  require(hex >= -32768 && hex <= 32767 && hex == std::trunc(hex));
  require(hex16(static_cast<int64_t>(hex)).size() <= 4);

  const uint32_t registerValue = hexTextValue(text);
  if (registerValue <= 0xFF) {
    require(hexTextValue(byteText(static_cast<uint8_t>(registerValue))) == registerValue);
  }
  require(hex32(registerValue).size() <= 8);
  return 0;
}
