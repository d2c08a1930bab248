#include "usb/status.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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
  const Status codes[] = {kTimeout,          kDeviceGone,   kStall,       kInvalidHandle,    kNoSuchPipe,
                          kTransferRefused,  kDeviceInfoRefused, kNotSupported, kAccessDenied, kBusy,
                          kOverflow,         kIoError,      kInvalidParameter, kNoMemory,     kAlreadyOpen,
                          kNotOpen,          kNoSuchSetting, kCancelled,   kNoRealBoards};
  std::set<std::string> texts{statusText(kSuccess), statusText(0x12345678)};
  for (Status code : codes) {
    const std::string text = statusText(code);
    EXPECT_FALSE(text.empty()) << std::hex << code;
    EXPECT_EQ(text.find_first_of("\r\n()"), std::string::npos) << text;  // it sits inside "(...)" in one log line
    EXPECT_TRUE(texts.insert(text).second) << "shared text: " << text;
  }
  EXPECT_NE(statusText(kNoRealBoards).find("not supported yet"), std::string::npos);
}

}  // namespace
}  // namespace glim::usb
