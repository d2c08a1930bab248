#include "usb/status.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "usb/vendor_choice.h"
#include "usb/vendor_id.h"

namespace glim::usb {
namespace {

TEST(StatusText, CutsAtTheFirstNul) {
  using namespace std::string_literals;
  EXPECT_EQ(textBeforeNul("Time-out\0\0\0garbage"s), "Time-out");
  EXPECT_EQ(textBeforeNul("\0tail"s), "");
  EXPECT_EQ(textBeforeNul("no NUL at all"), "no NUL at all");
  EXPECT_EQ(textBeforeNul(""), "");
}

TEST(StatusText, EveryFailureHasATextOfItsOwn) {
  const Status codes[] = {
      kTimeout,           kDeviceGone,    kStall,        kInvalidHandle, kNoSuchPipe,    kTransferRefused,
      kDeviceInfoRefused, kNotSupported,  kAccessDenied, kBusy,          kOverflow,      kIoError,
      kInvalidParameter,  kNoMemory,      kAlreadyOpen,  kNotOpen,       kNoSuchSetting, kCancelled,
      kNoRealBoards,      kNoWinUsbDriver};
  std::set<std::string> texts{statusText(kSuccess), statusText(0x12345678)};
  for (Status code : codes) {
    const std::string text = statusText(code);
    EXPECT_FALSE(text.empty()) << std::hex << code;
    EXPECT_EQ(text.find_first_of("\r\n()"), std::string::npos) << text;  // it sits inside "(...)" in one log line
    EXPECT_TRUE(texts.insert(text).second) << "shared text: " << text;
  }
  EXPECT_NE(statusText(kNoRealBoards).find("not supported yet"), std::string::npos);
}

// GLIMMORA_VENDOR_ID and --vendor-id: what a person may type, and what is refused
// before anything starts.
TEST(VendorChoice, HexadecimalIdsAreTakenAndAnythingElseIsRefusedByName) {
  struct Row {
    const char* text;
    std::optional<uint16_t> id;
  };
  const Row rows[] = {{"16C0", 0x16C0},     {"16c0", 0x16C0},     {"0x16c0", 0x16C0},      {"&H16C0", 0x16C0},
                      {"1", 0x0001},        {"FFFF", 0xFFFF},     {"0", std::nullopt},     {"0000", std::nullopt},
                      {"", std::nullopt},   {"0x", std::nullopt}, {"10000", std::nullopt}, {"16C0 ", std::nullopt},
                      {"-1", std::nullopt}, {"G", std::nullopt},  {"12.5", std::nullopt}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(parseVendorId(row.text), row.id);
    const VendorChoice choice = chooseVendorId(row.text, "GLIMMORA_VENDOR_ID");
    if (row.id) {
      EXPECT_EQ(choice.vendorId, *row.id);
      EXPECT_TRUE(choice.outcome.ok());
    } else {
      EXPECT_FALSE(choice.outcome.ok());
      EXPECT_NE(choice.outcome.reason().find(std::string("GLIMMORA_VENDOR_ID \"") + row.text + "\""), std::string::npos)
          << choice.outcome.reason();
    }
  }
  EXPECT_EQ(chooseVendorId(nullptr, "GLIMMORA_VENDOR_ID").vendorId, kBoardVendorId);
}

}  // namespace
}  // namespace glim::usb
