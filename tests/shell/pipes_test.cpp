#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <span>

#include "shell_fixture.h"

namespace glim::testing {
namespace {

using usb::sim::Faults;

using Stage = usb::TransferOutcome::Stage;

class PipesTest : public ShellTest {
 protected:
  void SetUp() override {
    activate();
    plug();
  }
  // A pin packet written, or a two-byte answer read into `answer`.
  usb::TransferOutcome call(bool read) {
    return read ? link().readPipe(130, answer) : link().writePipe(1, std::array<uint8_t, 2>{0xDE, 0xE3});
  }
  std::array<uint8_t, 2> answer = {0xAA, 0xBB};
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
    std::array<uint8_t, 2> bytes = {0xFE, 0xE3};
    const auto outcome = read ? link.readPipe(130, bytes) : link.writePipe(1, bytes);
    EXPECT_EQ(outcome.stage, Stage::DeviceInfo);
    EXPECT_EQ(outcome.status, usb::kInvalidHandle);
    EXPECT_FALSE(outcome.ok());
    EXPECT_EQ(program.main.txtLog.text().substr(mark), std::string(read ? "ReadPipe" : "WritePipe") +
                                                           ": WDU_GetDeviceInfo() failed:\r\nerror &H20000004 (" +
                                                           usb::statusText(usb::kInvalidHandle) + ")\r\n\r\n");
    EXPECT_EQ(driver->deviceInfoHandles, std::vector<usb::DeviceHandle>{0});
    EXPECT_TRUE(driver->transfers.empty());
  }
}

struct FailureCase {
  const char* name;
  std::function<void(Faults&)> fault;
  std::optional<usb::Status> forced;  // a status the layer returns instead
  Stage stage;
  usb::Status status;
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
  const std::string noPipes = "  No pipes are defined for this device \r\nother than the default pipe (number 0)\r\n";
  return {
      {"device information refused",
       [](Faults& f) { f.deviceInfoRefused = true; },
       {},
       Stage::DeviceInfo,
       usb::kDeviceInfoRefused,
       "WritePipe: WDU_GetDeviceInfo() failed:\r\nerror &H20000007 (" + statusText(usb::kDeviceInfoRefused) +
           ")\r\n\r\n",
       "ReadPipe: WDU_GetDeviceInfo() failed:\r\nerror &H20000007 (" + statusText(usb::kDeviceInfoRefused) +
           ")\r\n\r\n"},
      {"no pipes",
       [](Faults& f) { f.noPipes = true; },
       {},
       Stage::NoPipes,
       usb::kNoSuchPipe,
       noPipes + "Write Pipe failed\r\n",
       noPipes + "Read Pipe failed\r\n"},
      {"transfer refused",
       [](Faults& f) {
         f.refusedPipes = {1, 130};
       },
       {},
       Stage::Transfer,
       usb::kStall,
       transferLines("WritePipe", "20000003", usb::kStall, "Write Pipe failed"),
       transferLines("ReadPipe", "20000003", usb::kStall, "Read Pipe failed")},
      {"transfer timed out",
       [](Faults& f) {
         f.timeoutPipes = {1, 130};
       },
       {},
       Stage::Transfer,
       usb::kTimeout,
       transferLines("WritePipe", "20000001", usb::kTimeout, "Write Pipe failed"),
       transferLines("ReadPipe", "20000001", usb::kTimeout, "Read Pipe failed")},
      {"status with the top bit set", [](Faults&) {}, 0xFFFFFFFEu, Stage::Transfer, 0xFFFFFFFEu,
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
      answer = {0xAA, 0xBB};
      const usb::DeviceHandle held = link().heldDevice();
      const auto mark = log().size();

      const auto outcome = call(read);
      EXPECT_EQ(logSince(mark), read ? c.readText : c.writeText);
      EXPECT_EQ(driver->transfers.size(), c.stage == Stage::Transfer ? 1u : 0u);
      EXPECT_EQ(outcome.stage, c.stage);
      EXPECT_EQ(outcome.status, c.status);
      EXPECT_FALSE(outcome.ok());
      // The layers above see the same failure, in the same words.
      const text::Outcome above = outcome.outcome();
      EXPECT_FALSE(above.ok());
      EXPECT_EQ(above.reason(), outcome.reason());
      EXPECT_FALSE(above.reason().empty());
      EXPECT_EQ(answer, (std::array<uint8_t, 2>{0xAA, 0xBB}));
      EXPECT_TRUE(link().deviceConnected());
      EXPECT_EQ(link().heldDevice(), held);
      EXPECT_TRUE(ui.boxes.empty());
    }
  }
}

TEST_F(PipesTest, TheNextCallTriesAgainFromTheStart) {
  Faults f;
  f.deviceInfoRefused = true;
  driver->sim.setFaults(f);
  EXPECT_FALSE(call(false).ok());
  driver->sim.clearFaults();
  const auto mark = log().size();
  EXPECT_TRUE(call(false).ok());
  EXPECT_EQ(logSince(mark), "");
  EXPECT_EQ(driver->sim.boardState(1).pinLevel, 0xDE);
}

TEST_F(PipesTest, SuccessfulTransfersLogNothingAndUseTheFixedTimeOut) {
  const auto pins = call(false);
  const auto request = link().writePipe(2, std::array<uint8_t, 3>{0x01, 0x5B, 0x0A});
  const auto read = call(true);
  EXPECT_EQ(log(), kStartLines + attachLines(0x1000) + kAccepted);
  for (const auto& o : {pins, request, read}) EXPECT_TRUE(o.ok() && o.outcome().ok());
  EXPECT_EQ(pins.bytes, 2u);
  EXPECT_EQ(request.bytes, 3u);
  EXPECT_EQ(read.bytes, 2u);
  EXPECT_EQ(answer, (std::array<uint8_t, 2>{0x00, 0x4D}));

  ASSERT_EQ(driver->transfers.size(), 3u);
  const usb::Direction directions[] = {usb::kWrite, usb::kWrite, usb::kRead};
  const uint32_t pipes[] = {1, 2, 130};
  const uint32_t lengths[] = {2, 3, 2};
  for (std::size_t i = 0; i < 3; ++i) {
    const auto& t = driver->transfers[i];
    EXPECT_EQ(t.device, 0x1000u);
    EXPECT_EQ(t.pipe, pipes[i]);
    EXPECT_EQ(t.direction, directions[i]);
    EXPECT_FALSE(t.nullBuffer);
    EXPECT_EQ(t.length, lengths[i]);
    EXPECT_EQ(t.timeoutMs, 30000u);
  }
}

TEST_F(PipesTest, LengthZeroTransfersWithANullBuffer) {
  const auto outcome = link().writePipe(3, std::span<const uint8_t>{});
  ASSERT_EQ(driver->transfers.size(), 1u);
  EXPECT_TRUE(driver->transfers[0].nullBuffer);
  EXPECT_EQ(driver->transfers[0].length, 0u);
  EXPECT_TRUE(outcome.ok());
  EXPECT_EQ(outcome.bytes, 0u);
}

TEST_F(PipesTest, AShortReadSaysHowManyBytesCameAndIsNotReported) {
  Faults f;
  f.shortPipes = {{130, 1}};
  driver->sim.setFaults(f);
  link().writePipe(2, std::array<uint8_t, 3>{0x01, 0x5B, 0x0A});
  const auto mark = log().size();
  const auto read = call(true);
  EXPECT_EQ(logSince(mark), "");
  EXPECT_TRUE(read.ok());
  EXPECT_EQ(read.bytes, 1u);
  EXPECT_EQ(answer, (std::array<uint8_t, 2>{0x00, 0xBB}));  // the rest is left as it was
}

// A write the board took only part of is done as far as the layer knows, but
// the board got a packet it cannot use: logged as a failed call is.
TEST_F(PipesTest, AShortWriteIsLoggedAsAFailedCallIs) {
  Faults f;
  f.shortPipes = {{1, 1}, {3, 10}};
  driver->sim.setFaults(f);
  auto mark = log().size();
  const auto pins = call(false);
  EXPECT_EQ(logSince(mark), "WritePipe: only 1 of 2 bytes reached the board\r\nWrite Pipe failed\r\n");
  EXPECT_TRUE(pins.shortWrite());
  EXPECT_FALSE(pins.ok());
  EXPECT_EQ(pins.reason(), "1 of 2 bytes reached the board");

  mark = log().size();
  EXPECT_EQ(link().writePipe(3, std::array<uint8_t, 44>{}).bytes, 10u);
  EXPECT_EQ(logSince(mark), "WritePipe: only 10 of 44 bytes reached the board\r\nWrite Pipe failed\r\n");

  // A whole write after it says nothing.
  driver->sim.clearFaults();
  mark = log().size();
  EXPECT_TRUE(call(false).ok());
  EXPECT_EQ(logSince(mark), "");
}

TEST_F(PipesTest, TransfersAreReportedToTheTraceHook) {
  std::vector<usb::TransferRecord> records;
  const forms::Connection recording =
      link().onTransfer.connectScoped([&](const usb::TransferRecord& r) { records.push_back(r); });
  call(false);
  Faults f;
  f.timeoutPipes = {130};
  driver->sim.setFaults(f);
  call(true);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].pipe, 1u);
  EXPECT_EQ(records[0].bytes, (std::vector<uint8_t>{0xDE, 0xE3}));
  EXPECT_EQ(records[1].direction, usb::kRead);
  EXPECT_EQ(records[1].status, usb::kTimeout);
  EXPECT_TRUE(records[1].bytes.empty());
}

}  // namespace
}  // namespace glim::testing
