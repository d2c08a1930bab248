#include "usb/vendor_choice.h"

#include "text/hex_text.h"
#include "usb/vendor_id.h"

namespace glim::usb {

std::optional<uint16_t> parseVendorId(std::string_view text) {
  if (text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X" || text.substr(0, 2) == "&H" ||
                          text.substr(0, 2) == "&h")) {
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 4) return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    const int digit = text::hexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  if (value == 0) return std::nullopt;
  return static_cast<uint16_t>(value);
}

VendorChoice chooseVendorId(const char* text, std::string_view source) {
  if (text == nullptr) return {kBoardVendorId, {}};
  if (const auto id = parseVendorId(text)) return {*id, {}};
  return {0, text::Failure(std::string(source) + " \"" + text +
                           "\" is not a vendor id: give 1 to 4 hexadecimal digits, not all 0 (such as 16C0)")};
}

}  // namespace glim::usb
