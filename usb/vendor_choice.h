#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glim::usb {

// A vendor id as a person types it: 1 to 4 hexadecimal digits, with "0x" or
// "&H" before them if they like. 0 names no vendor (it would match every
// board) and is refused, as is anything else.
std::optional<uint16_t> parseVendorId(std::string_view text);

// The vendor id a run looks for: `text` when given (GLIMMORA_VENDOR_ID, or
// glimmora-cli's --vendor-id), else the one the program was built with.
// `error` says what was wrong with a text that is not a vendor id, naming
// `source` and the text.
struct VendorChoice {
  uint16_t vendorId = 0;
  std::string error;  // empty when the choice is usable
};
VendorChoice chooseVendorId(const char* text, std::string_view source);

}  // namespace glim::usb
