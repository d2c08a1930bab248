// The board link (attach, detach, the pipe methods and their log lines) over
// the libusb layer, against boards on the emulated bus.
#include "usb/board_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "forms/control.h"
#include "forms/log.h"
#include "libusb/libusb_rig.h"
#include "support/recording_ui.h"
#include "text/number_format.h"

namespace glim::testing {
namespace {

using namespace std::chrono_literals;

struct LinkRig {
  LinkRig() {
    link.initialize();
    recording = link.onTransfer.connectScoped([this](const usb::TransferRecord& r) { transfers.push_back(r); });
  }
  ~LinkRig() { link.stopDriver(); }

  void start() {
    link.startDriver();
    ASSERT_TRUE(link.driverOpen());
  }
  bool settle(const std::function<bool()>& done) { return settleUntil(dispatcher, done); }
  bool connected() const { return link.deviceConnected(); }

  usb::TransferOutcome send(uint32_t pipe, const std::vector<uint8_t>& bytes) { return link.writePipe(pipe, bytes); }
  std::vector<uint8_t> receive(std::size_t length) {
    std::vector<uint8_t> answer(length, 0);
    last = link.readPipe(130, answer);
    return answer;
  }
  usb::TransferOutcome last;  // of the last receive
  const std::string& log() const { return txtLog.text(); }

  UsbTestbed bed;  // outlives the layer
  forms::TextBox txtLog{"txtLog"};
  forms::Log logWriter{txtLog};
  forms::Dispatcher dispatcher;
  RecordingUi ui;
  usb::libusb::LibusbDriver driver;
  usb::BoardLink link{driver, logWriter, dispatcher, ui};
  std::vector<usb::TransferRecord> transfers;
  forms::Connection recording;
};

std::string attachLines(uint32_t handle) {
  return "DeviceAttach: Received attach for \r\nvendor ID &H" + text::hex16(usb::kBoardVendorId) +
         " product ID &H200B\r\ndevice handle &H" + text::hex32(handle) + "\r\n";
}

// The settings of a fresh window: pins 1D EN "Z", SHUTb "1", then the 44-byte
// image.
const std::vector<uint8_t> kPins = {0xFE, 0xE3};
const std::vector<uint8_t> kSettings = {0,   0,   5,   0,   5,   250, 1,   5,   40,  0,   63,  255, 255, 255, 255,
                                        255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                        255, 255, 255, 255, 255, 255, 255, 255, 9,   10,  20,  5,   5,   5};

TEST(LibusbBoardLink, AcceptsTheFirstBoardAndRefusesASecondWhichIsClosed) {
  LinkRig rig;
  rig.bed.plug();
  rig.start();
  ASSERT_TRUE(rig.settle([&] { return rig.connected(); }));
  EXPECT_EQ(rig.log(), "Please verify that the device is attached...\r\n\r\n" + attachLines(1) +
                           "DeviceAttach: Accepting control of the device\r\n\r\n");

  const int second = rig.bed.plug();
  ASSERT_TRUE(rig.settle([&] { return rig.bed.releases(second) == 1; }));
  EXPECT_THAT(rig.log(),
              ::testing::EndsWith(attachLines(2) +
                                  "DeviceAttach: Previous attached already accepted control of the device - \r\n"
                                  "control is rejected because only one device control is supported\r\n"
                                  "DeviceAttach: Rejecting control of the device\r\n"));
  EXPECT_EQ(rig.link.heldDevice(), 1u);
  rig.send(1, kPins);
  EXPECT_THAT(rig.bed.urbs(1), ::testing::ElementsAre(UrbRecord{0x01, kPins, 0}));
  EXPECT_TRUE(rig.bed.urbs(second).empty());
}

TEST(LibusbBoardLink, WriteSettingsAndARegisterReadPutTheExactBytesOnTheEndpoints) {
  LinkRig rig;
  rig.bed.plug();
  rig.bed.withBoard(1, [](usb::sim::SimBoard& b) { b.registers[0x0A] = 0x4D; });
  rig.start();
  ASSERT_TRUE(rig.settle([&] { return rig.connected(); }));
  const std::string before = rig.log();

  rig.send(1, kPins);
  rig.send(3, kSettings);
  rig.send(2, {0x01, 0x5B, 0x0A});
  EXPECT_THAT(rig.receive(2), ::testing::ElementsAre(0x00, 0x4D));

  EXPECT_THAT(rig.bed.urbs(1),
              ::testing::ElementsAre(UrbRecord{0x01, kPins, 0}, UrbRecord{0x03, kSettings, 0},
                                     UrbRecord{0x02, {0x01, 0x5B, 0x0A}, 0}, UrbRecord{0x82, {0x00, 0x4D}, 0}));
  rig.bed.withBoard(1, [](usb::sim::SimBoard& b) {
    EXPECT_TRUE(b.timingWritten);
    EXPECT_TRUE(std::equal(b.timing.begin(), b.timing.end(), kSettings.begin() + 1));
  });
  EXPECT_EQ(rig.log(), before);  // nothing failed
  EXPECT_EQ(rig.last.bytes, 2u);
}

TEST(LibusbBoardLink, AStalledPacketIsLoggedAndTheNextOneGoesThrough) {
  LinkRig rig;
  rig.bed.plug();
  rig.start();
  ASSERT_TRUE(rig.settle([&] { return rig.connected(); }));
  rig.bed.stallNext(1, 0x03);
  rig.send(3, kSettings);
  EXPECT_THAT(rig.log(), ::testing::EndsWith("WritePipe: WDU_Transfer() failed: error &H20000003 (" +
                                             usb::statusText(usb::kStall) + ")\r\nWrite Pipe failed\r\n"));
  const std::string before = rig.log();
  rig.send(3, kSettings);
  EXPECT_EQ(rig.log(), before);
  EXPECT_EQ(rig.bed.clearHalts(1, 0x03), 1);
}

// The fault mended here: a board unplugged while a read waits used to hold
// the window until the 30 s time-out.
TEST(LibusbBoardLink, UnplugDuringAReadLogsTheFailureAndTheDetachAtOnceAndAReplugIsAccepted) {
  for (const Unplug how : {Unplug::FailInFlight, Unplug::KeepInFlight}) {
    SCOPED_TRACE(how == Unplug::FailInFlight ? "URBs fail" : "URBs never reported");
    LinkRig rig;
    rig.bed.plug();
    rig.start();
    ASSERT_TRUE(rig.settle([&] { return rig.connected(); }));
    rig.send(2, {0x17, 0x5B, 0x00});
    rig.bed.withBoard(1, [](usb::sim::SimBoard& b) { b.answer(64); });  // the answer is lost: the read waits

    std::thread unplugger([&] {
      if (rig.bed.waitForPending(1, 1, 5000ms)) rig.bed.unplug(1, how);
    });
    const auto start = std::chrono::steady_clock::now();
    const auto answer = rig.receive(23);
    const auto took = std::chrono::steady_clock::now() - start;
    unplugger.join();
    EXPECT_LT(took, 3000ms);
    EXPECT_EQ(answer, std::vector<uint8_t>(23, 0));
    EXPECT_THAT(rig.log(), ::testing::EndsWith("ReadPipe: WDU_Transfer() failed: error &H20000002 (" +
                                               usb::statusText(usb::kDeviceGone) + ")\r\nRead Pipe failed\r\n"));

    ASSERT_TRUE(rig.settle([&] { return !rig.connected(); }));
    EXPECT_THAT(rig.log(), ::testing::EndsWith("Read Pipe failed\r\nDeviceDetach: Received detach for device "
                                               "handle &H1\r\n"));
    EXPECT_EQ(rig.link.heldDevice(), 0u);
    EXPECT_FALSE(rig.link.requireDevice());
    EXPECT_EQ(rig.ui.countBoxes("USB Device not connected!"), 1);

    rig.bed.plug();
    ASSERT_TRUE(rig.settle([&] { return rig.connected(); }));
    EXPECT_THAT(rig.log(),
                ::testing::EndsWith(attachLines(2) + "DeviceAttach: Accepting control of the device\r\n\r\n"));
    rig.send(1, kPins);
    EXPECT_THAT(rig.bed.urbs(2), ::testing::ElementsAre(UrbRecord{0x01, kPins, 0}));
  }
}

// A board of another maker (or made with another vendor id) with our product
// id is named once, with the setting that takes it, and never opened; with
// that vendor id chosen, the same board is taken.
TEST(LibusbBoardLink, ABoardOfAnotherVendorIsNamedOnceAndTakenWhenItsVendorIdIsChosen) {
  constexpr uint16_t kOther = 0x16C0;
  const std::string named =
      "Found a board with vendor ID &H16C0 product ID &H200B; this program looks for vendor ID &H" +
      text::hex16(usb::kBoardVendorId) + ". Start it with GLIMMORA_VENDOR_ID=16C0 to use it.\r\n";
  const auto count = [](const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  {
    LinkRig rig;
    const int other = rig.bed.plug(kOther);
    rig.start();
    // Our board after it: once ours is taken, the other has been seen, by
    // the enumeration and perhaps by an arrival event too.
    rig.bed.plug();
    ASSERT_TRUE(rig.settle([&] { return rig.connected(); }));
    ASSERT_TRUE(rig.settle([&] { return count(rig.log(), named) >= 1; }));
    settleUntil(
        rig.dispatcher, [] { return false; }, 300ms);  // whatever else comes of it
    EXPECT_EQ(count(rig.log(), named), 1u);
    EXPECT_EQ(count(rig.log(), "DeviceAttach: Received attach"), 1u);
    EXPECT_EQ(rig.bed.claims(other), 0);
    rig.bed.unplug(other);
    rig.bed.plug(kOther);  // plugged in anew: named anew
    ASSERT_TRUE(rig.settle([&] { return count(rig.log(), named) >= 2; }));
    settleUntil(
        rig.dispatcher, [] { return false; }, 300ms);
    EXPECT_EQ(count(rig.log(), named), 2u);
  }
  {
    LinkRig rig;
    rig.link.useVendorId(kOther);
    rig.bed.plug(kOther);
    rig.start();
    ASSERT_TRUE(rig.settle([&] { return rig.connected(); }));
    EXPECT_EQ(rig.log(),
              "Please verify that the device is attached...\r\n\r\n"
              "DeviceAttach: Received attach for \r\nvendor ID &H16C0 product ID &H200B\r\n"
              "device handle &H1\r\nDeviceAttach: Accepting control of the device\r\n\r\n");
    rig.send(1, kPins);
    EXPECT_THAT(rig.bed.urbs(1), ::testing::ElementsAre(UrbRecord{0x01, kPins, 0}));
  }
}

}  // namespace
}  // namespace glim::testing
