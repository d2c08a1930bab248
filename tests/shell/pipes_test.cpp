#include <gtest/gtest.h>

#include <functional>

#include "shell_fixture.h"

namespace glim::testing {
namespace {

using usb::sim::Faults;

class PipesTest : public ShellTest {
 protected:
  void SetUp() override {
    activate();
    plug();
  }
  void prepare(bool read) {
    link().TransferPipe = read ? 130 : 1;
    link().TransferLength = 2;
    link().TransferBuffer = read ? std::vector<uint8_t>{0xAA, 0xBB} : std::vector<uint8_t>{0xDE, 0xE3};
  }
  void call(bool read) { read ? link().readPipe() : link().writePipe(); }
};

TEST(PipesWithoutBoard, StillAskForTheDeviceInformationOfHandleZero) {
  for (const bool read : {false, true}) {
    SCOPED_TRACE(read ? "read" : "write");
    SpyDriver* driver = nullptr;
    RecordingUi ui;
    auto owned = std::make_unique<SpyDriver>();
    driver = owned.get();
    shell::Program program(std::move(owned), ui);
    program.main.Form_Activate();
    program.dispatcher.drain();
    const std::size_t mark = program.main.txtLog.text().size();

    auto& link = program.main.link;
    link.TransferPipe = 1;
    link.TransferLength = 2;
    link.TransferBuffer = {0xFE, 0xE3};
    read ? link.readPipe() : link.writePipe();
    EXPECT_EQ(program.main.txtLog.text().substr(mark),
              std::string(read ? "ReadPipe" : "WritePipe") + ": WDU_GetDeviceInfo() failed:\r\nerror &H20000004 (" +
                  usb::statusText(usb::kInvalidHandle) + ")\r\n\r\n");
    EXPECT_EQ(driver->deviceInfoHandles, std::vector<usb::DeviceHandle>{0});
    EXPECT_TRUE(driver->transfers.empty());
  }
}

struct FailureCase {
  const char* name;
  std::function<void(Faults&)> fault;
  std::optional<usb::Status> forced;  // a status the layer returns instead
  bool transferMade;
  // Expected log texts.
  std::string writeText;
  std::string readText;
};

std::vector<FailureCase> failureCases() {
  using usb::statusText;
  const auto transferLines = [](const char* who, const char* hex, usb::Status s, const char* closing) {
    return std::string(who) + ": WDU_Transfer() failed: error &H" + hex + " (" + statusText(s) + ")\r\n" + closing +
           "\r\n";
  };
  const std::string noPipes =
      "  No pipes are defined for this device \r\nother than the default pipe (number 0)\r\n";
  return {
      {"device information refused", [](Faults& f) { f.deviceInfoRefused = true; }, {}, false,
       "WritePipe: WDU_GetDeviceInfo() failed:\r\nerror &H20000007 (" + statusText(usb::kDeviceInfoRefused) +
           ")\r\n\r\n",
       "ReadPipe: WDU_GetDeviceInfo() failed:\r\nerror &H20000007 (" + statusText(usb::kDeviceInfoRefused) +
           ")\r\n\r\n"},
      {"no pipes", [](Faults& f) { f.noPipes = true; }, {}, false, noPipes + "Write Pipe failed\r\n",
       noPipes + "Read Pipe failed\r\n"},
      {"transfer refused", [](Faults& f) { f.refusedPipes = {1, 130}; }, {}, true,
       transferLines("WritePipe", "20000003", usb::kStall, "Write Pipe failed"),
       transferLines("ReadPipe", "20000003", usb::kStall, "Read Pipe failed")},
      {"transfer timed out", [](Faults& f) { f.timeoutPipes = {1, 130}; }, {}, true,
       transferLines("WritePipe", "20000001", usb::kTimeout, "Write Pipe failed"),
       transferLines("ReadPipe", "20000001", usb::kTimeout, "Read Pipe failed")},
      {"status with the top bit set", [](Faults&) {}, 0xFFFFFFFEu, true,
       transferLines("WritePipe", "FFFFFFFE", 0xFFFFFFFEu, "Write Pipe failed"),
       transferLines("ReadPipe", "FFFFFFFE", 0xFFFFFFFEu, "Read Pipe failed")},
  };
}

TEST_F(PipesTest, FailuresAreLoggedAndChangeNothingElse) {
  for (const auto& c : failureCases()) {
    for (const bool read : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (read ? ", read" : ", write"));
      Faults faults;
      c.fault(faults);
      driver->sim.setFaults(faults);
      driver->failTransfer = c.forced;
      driver->transfers.clear();
      prepare(read);
      const auto context = link().DeviceContext;
      const auto mark = log().size();

      call(read);
      EXPECT_EQ(logSince(mark), read ? c.readText : c.writeText);
      EXPECT_EQ(driver->transfers.size(), c.transferMade ? 1u : 0u);
      // A board without pipes fails after a successful device information call.
      EXPECT_EQ(link().DriverStatus == usb::kSuccess, std::string(c.name) == "no pipes");
      EXPECT_EQ(link().TransferPipe, read ? 130 : 1);
      EXPECT_EQ(link().TransferLength, 2);
      EXPECT_EQ(link().TransferBuffer, read ? std::vector<uint8_t>({0xAA, 0xBB}) : std::vector<uint8_t>({0xDE, 0xE3}));
      EXPECT_EQ(link().DeviceConnected, -1);
      EXPECT_EQ(link().DeviceContext.DeviceHandle, context.DeviceHandle);
      EXPECT_TRUE(ui.boxes.empty());
    }
  }
}

TEST_F(PipesTest, TheNextCallTriesAgainFromTheStart) {
  Faults f;
  f.deviceInfoRefused = true;
  driver->sim.setFaults(f);
  prepare(false);
  link().writePipe();
  driver->sim.clearFaults();
  const auto mark = log().size();
  link().writePipe();
  EXPECT_EQ(logSince(mark), "");
  EXPECT_EQ(driver->sim.boardState(1).pinLevel, 0xDE);
}

TEST_F(PipesTest, SuccessfulTransfersLogNothingAndUseTheFixedTimeOut) {
  prepare(false);
  link().writePipe();
  link().TransferPipe = 2;
  link().TransferLength = 3;
  link().TransferBuffer = {0x01, 0x5B, 0x0A};
  link().writePipe();
  prepare(true);
  link().readPipe();
  EXPECT_EQ(log(), kStartLines + attachLines(0x1000) + kAccepted);
  EXPECT_EQ(link().TransferBuffer, (std::vector<uint8_t>{0x00, 0x4D}));
  EXPECT_EQ(link().BytesTransferred, 2u);
  EXPECT_EQ(link().ActiveSetting.numEndpoints, 4);

  ASSERT_EQ(driver->transfers.size(), 3u);
  const uint32_t directions[] = {usb::kWrite, usb::kWrite, usb::kRead};
  const uint32_t pipes[] = {1, 2, 130};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& t = driver->transfers[i];
    EXPECT_EQ(t.device, 0x1000u);
    EXPECT_EQ(t.pipe, pipes[i]);
    EXPECT_EQ(t.direction, directions[i]);
    EXPECT_EQ(t.options, 0u);
    EXPECT_FALSE(t.nullBuffer);
    EXPECT_TRUE(t.nullSetup);
    EXPECT_EQ(t.timeoutMs, 30000u);
  }
}

TEST_F(PipesTest, LengthZeroTransfersWithANullBuffer) {
  for (const int32_t length : {0, -1}) {
    SCOPED_TRACE(length);
    driver->transfers.clear();
    link().TransferPipe = 3;
    link().TransferLength = length;
    link().TransferBuffer = {1, 2, 3};
    link().writePipe();
    ASSERT_EQ(driver->transfers.size(), 1u);
    EXPECT_TRUE(driver->transfers[0].nullBuffer);
    EXPECT_EQ(driver->transfers[0].length, 0u);
    EXPECT_EQ(link().DriverStatus, usb::kSuccess);
    EXPECT_EQ(link().TransferBuffer, (std::vector<uint8_t>{1, 2, 3}));
  }
}

TEST_F(PipesTest, ShortReadStoresTheCountAndIsNotReported) {
  Faults f;
  f.shortPipes = {{130, 1}};
  driver->sim.setFaults(f);
  link().TransferPipe = 2;
  link().TransferLength = 3;
  link().TransferBuffer = {0x01, 0x5B, 0x0A};
  link().writePipe();
  const auto mark = log().size();
  prepare(true);
  link().readPipe();
  EXPECT_EQ(logSince(mark), "");
  EXPECT_EQ(link().BytesTransferred, 1u);
  EXPECT_EQ(link().DriverStatus, usb::kSuccess);
  EXPECT_EQ(link().TransferBuffer, (std::vector<uint8_t>{0x00, 0xBB}));  // the rest is left as it was
}

TEST_F(PipesTest, ABufferShorterThanTheLengthIsNeverOverrun) {
  link().TransferPipe = 1;
  link().TransferLength = 2;
  link().TransferBuffer = {0xDE};
  link().writePipe();
  EXPECT_EQ(driver->transfers.back().length, 2u);
  EXPECT_EQ(driver->sim.boardState(1).pinLevel, 0xDE);
  EXPECT_EQ(driver->sim.boardState(1).pinDrive, 0x00);
}

TEST_F(PipesTest, TransfersAreReportedToTheTraceHook) {
  std::vector<usb::TransferRecord> records;
  link().onTransfer = [&](const usb::TransferRecord& r) { records.push_back(r); };
  prepare(false);
  link().writePipe();
  Faults f;
  f.timeoutPipes = {130};
  driver->sim.setFaults(f);
  prepare(true);
  link().readPipe();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].pipe, 1u);
  EXPECT_EQ(records[0].bytes, (std::vector<uint8_t>{0xDE, 0xE3}));
  EXPECT_EQ(records[1].direction, usb::kRead);
  EXPECT_EQ(records[1].status, usb::kTimeout);
  EXPECT_TRUE(records[1].bytes.empty());
}

}  // namespace
}  // namespace glim::testing
