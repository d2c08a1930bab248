#include "usb/sim/sim_board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace glim::usb::sim {
namespace {

using namespace protocol;

using Bytes = std::vector<uint8_t>;

void send(SimBoard& board, uint32_t pipe, const Bytes& bytes) { board.receive(pipe, bytes); }

TEST(SimBoard, KeepsControlLinesAndTimingBytes) {
  SimBoard board;
  send(board, kPinPipe, {0xDE, 0xE3});
  EXPECT_TRUE(board.pinsWritten);
  EXPECT_EQ(board.pinLevel, 0xDE);
  EXPECT_EQ(board.pinDrive, 0xE3);

  Bytes packet(44);
  for (int i = 1; i < 44; ++i) packet[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  send(board, kTimingPipe, packet);
  EXPECT_TRUE(board.timingWritten);
  EXPECT_EQ(board.timing[0], 1);
  EXPECT_EQ(board.timing[42], 43);

  packet[1] = 0x77;
  send(board, kTimingPipe, packet);
  EXPECT_EQ(board.previousTiming[0], 1);
  EXPECT_EQ(board.timing[0], 0x77);
  EXPECT_FALSE(board.answerPending());  // writes are not answered
}

TEST(SimBoard, DecodesTheSixControlPinPackets) {
  struct Case {
    uint8_t level, drive;
    LineState oneDen, shutb;
  };
  const Case cases[] = {
      {0xEE, 0xF3, LineState::Low, LineState::High},      {0xCE, 0xF3, LineState::Low, LineState::Low},
      {0xFE, 0xE3, LineState::Floating, LineState::High}, {0xDE, 0xE3, LineState::Floating, LineState::Low},
      {0xFE, 0xF3, LineState::High, LineState::High},     {0xDE, 0xF3, LineState::High, LineState::Low},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.level) << " " << int(c.drive));
    EXPECT_EQ(oneDenLine(c.level, c.drive), c.oneDen);
    EXPECT_EQ(shutbLine(c.level, c.drive), c.shutb);
  }
  EXPECT_EQ(shutbLine(0xFF, 0xDF), LineState::Floating);
}

TEST(SimBoard, ChipStartsWithPowerOnValuesAndAnswersReads) {
  SimBoard board;
  send(board, kI2cPipe, {0x01, 0x5B, 0x0A});
  EXPECT_EQ(board.answer(2), (Bytes{kAnswerOk, 0x4D}));
  EXPECT_FALSE(board.answerPending());  // collected once

  send(board, kI2cPipe, {0x00, 0x5A, 0x03, 0x12});
  send(board, kI2cPipe, {0x01, 0x5B, 0x03});
  EXPECT_EQ(board.answer(2), (Bytes{kAnswerOk, 0x12}));
}

TEST(SimBoard, BlockWriteFillsConsecutiveRegistersAndStopsAtTheLast) {
  SimBoard board;
  Bytes packet{0x00, 0x5A, 0x14, 0x01, 0x02, 0x03, 0x04};
  send(board, kI2cPipe, packet);
  EXPECT_EQ(board.registers[20], 0x01);
  EXPECT_EQ(board.registers[21], 0x02);
  EXPECT_EQ(board.registers[0], 0xFF);  // no wrap to register 0
  EXPECT_TRUE(board.changedByLastWrite[20]);
  EXPECT_TRUE(board.changedByLastWrite[21]);
  EXPECT_EQ(std::count(board.changedByLastWrite.begin(), board.changedByLastWrite.end(), true), 2);

  // Writing the value a register already holds changes nothing.
  send(board, kI2cPipe, {0x00, 0x5A, 0x03, 0xB8});
  EXPECT_EQ(std::count(board.changedByLastWrite.begin(), board.changedByLastWrite.end(), true), 0);

  send(board, kI2cPipe, {0x00, 0x5A, 0x30, 0x01});  // no such register
  EXPECT_EQ(board.registers, [] {
    auto r = kPowerOnRegisters;
    r[20] = 1;
    r[21] = 2;
    return r;
  }());
}

TEST(SimBoard, BlockReadStartsAtFirstRegisterAndPadsWithIdleBus) {
  SimBoard board;
  send(board, kI2cPipe, {0x17, 0x5B, 0x00});
  Bytes expected{kAnswerOk};
  expected.insert(expected.end(), kPowerOnRegisters.begin(), kPowerOnRegisters.end());
  EXPECT_EQ(board.answer(23), expected);

  send(board, kI2cPipe, {0x17, 0x5B, 0x14});
  const Bytes answer = board.answer(23);
  ASSERT_EQ(answer.size(), 23u);
  EXPECT_EQ(answer[1], kPowerOnRegisters[20]);
  EXPECT_EQ(answer[2], kPowerOnRegisters[21]);
  EXPECT_EQ(answer[3], 0xFF);
  EXPECT_EQ(answer[22], 0xFF);
}

TEST(SimBoard, WrongSlaveAddressIsNotAcknowledged) {
  SimBoard board;
  send(board, kI2cPipe, {0x00, 0x5C, 0x00, 0x12});
  EXPECT_EQ(board.registers, kPowerOnRegisters);
  EXPECT_FALSE(board.answerPending());

  send(board, kI2cPipe, {0x01, 0x5A, 0x0A});  // the write address used for a read
  EXPECT_EQ(board.answer(2), (Bytes{kAnswerNack, 0xFF}));
  send(board, kI2cPipe, {0x17, 0x11, 0x00});
  Bytes idle(23, 0xFF);
  idle[0] = kAnswerNack;
  EXPECT_EQ(board.answer(23), idle);
  send(board, kI2cPipe, {0x01, 0x5B, 0x16});  // past the last register
  EXPECT_EQ(board.answer(2), (Bytes{kAnswerNack, 0xFF}));
}

TEST(SimBoard, MalformedPacketsGetTheErrorAnswer) {
  struct Case {
    const char* what;
    uint32_t pipe;
    Bytes bytes;
  };
  const Case cases[] = {
      {"pins, one byte", kPinPipe, {0xFE}},
      {"pins, three bytes", kPinPipe, {0xFE, 0xE3, 0x00}},
      {"timing, 43 bytes", kTimingPipe, Bytes(43)},
      {"timing, 45 bytes", kTimingPipe, Bytes(45)},
      {"timing, lead byte not 0", kTimingPipe,
       [] {
         Bytes b(44);
         b[0] = 1;
         return b;
       }()},
      {"write without value", kI2cPipe, {0x00, 0x5A, 0x03}},
      {"read one, 4 bytes", kI2cPipe, {0x01, 0x5B, 0x03, 0x00}},
      {"block read, 2 bytes", kI2cPipe, {0x17, 0x5B}},
      {"unknown command", kI2cPipe, {0x42, 0x5B, 0x00}},
      {"answer pipe written", kAnswerPipe, {0x01}},
      {"no such pipe", 7, {0x01}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SimBoard board;
    board.receive(c.pipe, c.bytes);
    EXPECT_EQ(board.answer(64), Bytes{kAnswerBadCommand});
    EXPECT_FALSE(board.pinsWritten);
    EXPECT_FALSE(board.timingWritten);
    EXPECT_EQ(board.registers, kPowerOnRegisters);
  }
}

TEST(SimBoard, EmptyPacketsAreIgnored) {
  SimBoard board;
  for (uint32_t pipe : {kPinPipe, kI2cPipe, kTimingPipe}) EXPECT_TRUE(board.receive(pipe, {}));
  EXPECT_FALSE(board.answerPending());
  EXPECT_FALSE(board.pinsWritten);
  EXPECT_FALSE(board.timingWritten);
}

TEST(SimBoard, HoldsOneAnswerAndCutsItShort) {
  SimBoard board;
  send(board, kI2cPipe, {0x01, 0x5B, 0x0A});
  send(board, kI2cPipe, {0x01, 0x5B, 0x0B});  // the first answer was never collected
  EXPECT_EQ(board.answer(2), (Bytes{kAnswerOk, 0xB3}));

  send(board, kI2cPipe, {0x17, 0x5B, 0x00});
  EXPECT_EQ(board.answer(2), (Bytes{kAnswerOk, 0xFF}));
  EXPECT_FALSE(board.answerPending());  // the rest of a cut answer is gone
  EXPECT_TRUE(board.answer(2).empty());
}

}  // namespace
}  // namespace glim::usb::sim
