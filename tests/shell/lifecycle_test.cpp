#include <gtest/gtest.h>

#include "shell_fixture.h"

namespace glim::testing {
namespace {

using i2c::RegisterWindow;

TEST_F(ShellTest, CreationSetsTheMatchValuesAndWritesNothing) {
  EXPECT_EQ(link().vendorId(), usb::kBoardVendorId);
  EXPECT_EQ(link().productId(), 0x200B);
  EXPECT_EQ(link().deviceContext().interfaceNumber, 0);
  EXPECT_EQ(link().deviceContext().alternateSetting, 0);
  EXPECT_EQ(link().heldDevice(), 0u);
  EXPECT_FALSE(link().deviceConnected());
  EXPECT_EQ(driver->opens, 0);
  EXPECT_EQ(log(), "");
}

TEST_F(ShellTest, FirstActivationStartsTheDriverAfterTheStartLine) {
  plug();  // already plugged in: offered only once the driver is open
  EXPECT_EQ(log(), "");
  activate();
  EXPECT_EQ(log(), kStartLines + attachLines(0x1000) + kAccepted);
  EXPECT_EQ(driver->opens, 1);
  EXPECT_EQ(driver->lastMatch.vendorId, usb::kBoardVendorId);
  EXPECT_EQ(driver->lastMatch.productId, 0x200B);
  EXPECT_EQ(driver->lastMatch.deviceClass, 0);
  EXPECT_EQ(driver->lastMatch.interfaceClass, 0);
  EXPECT_TRUE(driver->lastEvents.attach && driver->lastEvents.detach && driver->lastEvents.notice);
  EXPECT_EQ(link().driverStatus(), usb::kSuccess);
}

// A run that chose another vendor id looks for it; boards the layer saw and does
// not offer are named in the log with what to do.
TEST_F(ShellTest, AChosenVendorIdIsMatchedAndBoardsNotOfferedAreNamed) {
  link().useVendorId(0x16C0);
  activate();
  EXPECT_EQ(driver->lastMatch.vendorId, 0x16C0);
  driver->lastEvents.notice({usb::BoardNotice::Kind::OtherVendor, 0x04D8, 0x200B});
  driver->lastEvents.notice({usb::BoardNotice::Kind::NoWinUsbDriver, 0x16C0, 0x200B});
  EXPECT_EQ(log(), std::string(kStartLines) +
                       "Found a board with vendor ID &H4D8 product ID &H200B; this program looks for vendor ID "
                       "&H16C0. Start it with GLIMMORA_VENDOR_ID=4D8 to use it.\r\n"
                       "DeviceAttach: the board (vendor ID &H16C0 product ID &H200B) has no WinUSB driver: bind it "
                       "with Zadig, see README-windows.txt\r\n");
}

TEST_F(ShellTest, LaterActivationsDoNothing) {
  activate();
  main().cbShowi2c_Click();
  activate();  // back from the register window
  activate();
  EXPECT_EQ(log(), kStartLines);
  EXPECT_EQ(driver->opens, 1);
}

TEST_F(ShellTest, FailedDriverStartIsLoggedOnceAndTheWindowStaysUsable) {
  driver->failOpen = usb::kNoRealBoards;
  activate();
  EXPECT_EQ(log(), std::string(kStartLines) +
                       "Form_Activate(): Failed to initialize USB driver: error &H20000013\r\n(" +
                       usb::statusText(usb::kNoRealBoards) + ")\r\n");
  EXPECT_EQ(link().driverStatus(), usb::kNoRealBoards);

  activate();  // not retried
  plug();      // nobody listens
  EXPECT_EQ(driver->opens, 1);
  EXPECT_FALSE(link().deviceConnected());
  EXPECT_FALSE(link().requireDevice());
  EXPECT_EQ(ui.boxes, (std::vector<RecordingUi::Box>{{"USB Device not connected!", ""}}));

  main().cbQuit_Click();
  EXPECT_EQ(driver->closes, 0);  // nothing was opened
  EXPECT_TRUE(main().unloaded());
}

// "Quit", "E&xit" and the window's own close box end the program alike.
enum class Ending { Quit, Exit, CloseBox };

class EndingTest : public ShellTest, public ::testing::WithParamInterface<Ending> {
 protected:
  void end() {
    switch (GetParam()) {
      case Ending::Quit:
        main().cbQuit.click();
        break;
      case Ending::Exit:
        main().nMenuFileExit.click();
        break;
      case Ending::CloseBox:
        main().closeBox();
        break;
    }
  }
};

TEST_P(EndingTest, ClosesBothWindowsAndTheDriverOnce) {
  int closes = 0;
  const forms::Connection countsCloses = driver->onClose.connectScoped([&] { ++closes; });
  int unloadedTold = 0;
  const forms::Connection countsUnloads = main().onUnloaded.connectScoped([&] { ++unloadedTold; });
  activate();
  plug();
  main().cbShowi2c_Click();
  ASSERT_EQ(main().i2cWindow.state(), RegisterWindow::State::Shown);

  end();
  EXPECT_EQ(main().i2cWindow.state(), RegisterWindow::State::NotLoaded);
  EXPECT_TRUE(main().unloaded());
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(unloadedTold, 1);

  // Nothing more reaches the log once the driver is closed.
  const std::string before = log();
  unplug(1);
  plug();
  EXPECT_EQ(log(), before);

  end();  // a second request finds the window gone
  program.reset();
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(unloadedTold, 1);
}

INSTANTIATE_TEST_SUITE_P(Endings, EndingTest, ::testing::Values(Ending::Quit, Ending::Exit, Ending::CloseBox));

TEST_F(ShellTest, AWindowNeverActivatedClosesNoDriver) {
  main().cbQuit_Click();
  EXPECT_EQ(driver->closes, 0);
}

TEST_F(ShellTest, AProgramThatEndsWithoutUnloadStillClosesTheDriver) {
  int closes = 0;
  const forms::Connection countsCloses = driver->onClose.connectScoped([&] { ++closes; });
  activate();
  program.reset();
  EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace glim::testing
