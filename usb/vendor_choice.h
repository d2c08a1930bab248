#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/outcome.h"

namespace glim::usb {

// A vendor id as a person types it: 1 to 4 hexadecimal digits, with "0x" or
// "&H" before them if they like. 0 names no vendor (it would match every
// board) and is refused, as is anything else.
std::optional<uint16_t> parseVendorId(std::string_view text);

// The vendor id a run looks for: `text` when given (GLIMMORA_VENDOR_ID, or
// glimmora-cli's --vendor-id), else the one the program was built with.
// A text that is not a vendor id fails, saying what was wrong and naming
// `source` and the text.
struct VendorChoice {
  uint16_t vendorId = 0;
  text::Outcome outcome;
};
VendorChoice chooseVendorId(const char* text, std::string_view source);

}  // namespace glim::usb
