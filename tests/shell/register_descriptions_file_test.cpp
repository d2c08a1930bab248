#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/sim_program.h"
#include "support/temp_dir.h"

namespace glim::shell {
namespace {

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A file goes into use whole or not at all; whatever keeps it out names the
// file, and a refused one where it is wrong.
TEST(RegisterDescriptionsFile, LoadsAWholeFileOrKeepsWhatWasInUse) {
  testing::TempDir dir;
  testing::SimProgram p(false);
  Program& program = *p.program;
  int told = 0;
  const forms::Connection listening = program.onRegisterDescriptionsChanged.connectScoped([&] { ++told; });

  const std::string good = dir.file("good.json");
  write(good, R"({"registers": {"0x01": {"name": "Control", "fields": [{"bits": "0", "name": "EN"}]}}})");
  ASSERT_TRUE(program.loadRegisterDescriptions(good).ok());
  EXPECT_EQ(told, 1);
  EXPECT_EQ(program.registerDescriptionsFile(), good);
  EXPECT_EQ(program.registerDescriptions().decodeLine(1, 0x01), "0x01 Control = 01: EN 1");

  const std::string bad = dir.file("bad.json");
  write(bad, "{\"registers\": {\n  \"0x01\": {\"access\": \"r\"}}}");
  const std::string big = dir.file("big.json");
  write(big, std::string(kMaxRegisterFileBytes + 1, ' '));
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {bad, "bad.json line 2, column 22: access \"r\" is not rw, ro or wo"},
      {dir.file("missing.json"), "missing.json: No such file or directory"},
      {dir.path().string(), dir.path().filename().string() + ": Is a directory"},
      {big, "big.json: larger than 1 MiB, no register description file"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(program.loadRegisterDescriptions(c.path).reason(), c.reason);
    EXPECT_EQ(program.registerDescriptionsFile(), good);
    EXPECT_EQ(program.registerDescriptions().find(1)->name, "Control");
  }
  EXPECT_EQ(told, 1);
}

// The last read a register had is what decode shows; a read that brought
// nothing, and a new board, leave nothing to show.
TEST(RegisterDescriptionsFile, LastReadFollowsReadsAndBoards) {
  testing::SimProgram p;
  i2c::I2cOperations& ops = p.main().i2c;
  p.main().i2cWindow.get();
  p.plug();
  EXPECT_FALSE(ops.lastRead(3).made);
  ASSERT_TRUE(ops.do_i2c_read(3).ok());
  EXPECT_EQ(ops.lastRead(3).value, std::optional<uint8_t>(0xB8));
  // A block read from register 0x14 on: its values are 0x14 and 0x15.
  p.sim->setChipRegister(0x15, 0x42);
  EXPECT_TRUE(ops.do_i2c_readall(0x14).ok());
  EXPECT_EQ(ops.lastRead(0x14).value, std::optional<uint8_t>(0xFF));
  EXPECT_EQ(ops.lastRead(0x15).value, std::optional<uint8_t>(0x42));
  EXPECT_FALSE(ops.lastRead(0).made);

  usb::Faults faults;
  faults.timeoutPipes.insert(usb::protocol::kAnswerPipe);
  p.sim->setFaults(faults);
  EXPECT_FALSE(ops.do_i2c_read(3).ok());
  EXPECT_TRUE(ops.lastRead(3).made);
  EXPECT_FALSE(ops.lastRead(3).value.has_value());
  p.sim->clearFaults();

  p.unplug(1);
  EXPECT_TRUE(ops.lastRead(0x15).made);  // the last read stays while no board is held
  p.plug();
  EXPECT_FALSE(ops.lastRead(0x15).made);
}

}  // namespace
}  // namespace glim::shell
