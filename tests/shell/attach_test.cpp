#include <gtest/gtest.h>

#include <array>

#include "shell_fixture.h"

namespace glim::testing {
namespace {

const std::string kSecondRefused =
    "DeviceAttach: Previous attached already accepted control of the device - \r\n"
    "control is rejected because only one device control is supported\r\n" +
    kRejected;

std::string detachLine(unsigned handle) {
  return "DeviceDetach: Received detach for device handle &H" + upperHex(handle) + "\r\n";
}

class AttachTest : public ShellTest {
 protected:
  void SetUp() override { activate(); }
  // Sends the control-pin packet the way the program's commands do.
  void sendPins() {
    const std::array<uint8_t, 2> pins = {0xDE, 0xE3};
    link().writePipe(1, pins);
  }
};

TEST_F(AttachTest, FirstBoardIsAcceptedWithoutInterfaceSelection) {
  plug();
  EXPECT_EQ(log(), kStartLines + attachLines(0x1000) + kAccepted);
  EXPECT_TRUE(link().deviceConnected());
  EXPECT_EQ(link().heldDevice(), 0x1000u);
  EXPECT_TRUE(driver->interfaceCalls.empty());
  EXPECT_TRUE(link().requireDevice());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AttachTest, SecondBoardIsRefusedAndTheFirstStaysInUse) {
  plug();
  const auto mark = log().size();
  plug();
  EXPECT_EQ(logSince(mark), attachLines(0x1001) + kSecondRefused);
  EXPECT_TRUE(link().deviceConnected());
  EXPECT_EQ(link().heldDevice(), 0x1000u);

  sendPins();
  EXPECT_TRUE(driver->sim.boardState(1).pinsWritten);
  EXPECT_FALSE(driver->sim.boardState(2).pinsWritten);
}

TEST_F(AttachTest, DetachLeavesNoBoardAndANewBoardIsAcceptedAgain) {
  plug();
  auto mark = log().size();
  unplug(1);
  EXPECT_EQ(logSince(mark), detachLine(0x1000));
  EXPECT_FALSE(link().deviceConnected());
  EXPECT_EQ(link().heldDevice(), 0u);
  EXPECT_FALSE(link().requireDevice());
  EXPECT_EQ(ui.countBoxes("USB Device not connected!"), 1);
  EXPECT_EQ(ui.boxes.back().caption, "");

  mark = log().size();
  plug();
  EXPECT_EQ(logSince(mark), attachLines(0x1001) + kAccepted);
  EXPECT_TRUE(link().deviceConnected());
  EXPECT_EQ(link().heldDevice(), 0x1001u);
}

TEST_F(AttachTest, RefusedBoardIsOfferedAgainOnlyAfterReplugging) {
  plug();
  plug();  // refused
  auto mark = log().size();
  unplug(1);
  EXPECT_EQ(logSince(mark), detachLine(0x1000));  // board 2 is not offered again
  EXPECT_FALSE(link().deviceConnected());

  mark = log().size();
  unplug(2);  // never accepted: no detach
  EXPECT_EQ(logSince(mark), "");
  plug();
  EXPECT_EQ(logSince(mark), attachLines(0x1002) + kAccepted);
}

struct SelectionCase {
  int32_t interfaceNumber;
  int32_t alternateSetting;
  const char* numbers;
};

class InterfaceSelectionTest : public ShellTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(InterfaceSelectionTest, FailureIsLoggedAndTheBoardRefused) {
  const SelectionCase& c = GetParam();
  // The built-in setting is 0; the test changes it before the board arrives.
  link().useInterface(c.interfaceNumber, c.alternateSetting);
  activate();
  plug();
  EXPECT_EQ(log(), kStartLines + attachLines(0x1000) + "DeviceAttach: WDU_SetInterface failed\r\n" + c.numbers +
                       "\r\ndevice &H1000: error &H20000011\r\n(" + usb::statusText(usb::kNoSuchSetting) + ")\r\n" +
                       kRejected);
  ASSERT_EQ(driver->interfaceCalls.size(), 1u);
  EXPECT_EQ(driver->interfaceCalls[0].device, 0x1000u);
  EXPECT_EQ(driver->interfaceCalls[0].interfaceNumber, static_cast<uint32_t>(c.interfaceNumber));
  EXPECT_EQ(driver->interfaceCalls[0].alternateSetting, static_cast<uint32_t>(c.alternateSetting));
  EXPECT_EQ(link().deviceContext().interfaceStatus, usb::kNoSuchSetting);
  EXPECT_EQ(link().heldDevice(), 0u);
  EXPECT_FALSE(link().deviceConnected());

  // With no board held, the next board is tried again (and fails alike).
  const auto mark = log().size();
  plug();
  EXPECT_NE(logSince(mark).find("DeviceAttach: WDU_SetInterface failed"), std::string::npos);
  EXPECT_EQ(driver->interfaceCalls.size(), 2u);
  EXPECT_FALSE(link().deviceConnected());
}

INSTANTIATE_TEST_SUITE_P(Settings, InterfaceSelectionTest,
                         ::testing::Values(SelectionCase{0, 1, "(num. 0 alternate 1)"},
                                           SelectionCase{0, -1, "(num. 0 alternate-1)"},
                                           SelectionCase{-2, 3, "(num.-2 alternate 3)"}));

}  // namespace
}  // namespace glim::testing
