#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config_fixture.h"

namespace glim::testing {
namespace {

using ConfigCommandsTest = ConfigTest;

TEST_F(ConfigCommandsTest, SavesTheDefaultsAsTheKnownFile) {
  const std::string golden = defaultFile();
  ASSERT_EQ(std::count(golden.begin(), golden.end(), '\n'), 69);  // guards the hand-written file
  const std::string path = dir.file("defaults.txt");
  save(path);

  EXPECT_EQ(readFile(path), golden);
  EXPECT_TRUE(sim.ui.boxes.empty());
  EXPECT_EQ(main().i2cWindow.state(), i2c::RegisterWindow::State::Shown);
  ASSERT_EQ(sim.ui.dialogs.size(), 1u);
  const auto& dialog = sim.ui.dialogs[0];
  EXPECT_EQ(dialog.kind, forms::FileDialogKind::Save);
  EXPECT_EQ(dialog.setup.defaultExt, "txt");
  EXPECT_EQ(dialog.setup.filter, "Text File (*.txt) |*.txt | All Files (*.*)|*.*|");
  EXPECT_EQ(dir.entries(), std::vector<std::string>{"defaults.txt"});  // nothing left beside it
}

TEST_F(ConfigCommandsTest, SelectionLinesHoldOptionIndexes) {
  const struct {
    int shutb, oneDen;
    const char* line45;
    const char* line46;
  } cases[] = {{1, 1, "1", "1"}, {0, 1, "0", "1"}, {1, 2, "1", "2"}, {0, 0, "0", "0"}};
  for (const auto& c : cases) {
    main().timing.obShutb[c.shutb].setValue(true);
    main().timing.ob1Den[c.oneDen].setValue(true);
    const std::string path = dir.file("sel.txt");
    save(path);
    const std::string file = readFile(path);
    EXPECT_EQ(lineOf(file, 45), c.line45);
    EXPECT_EQ(lineOf(file, 46), c.line46) << "ob1Den(" << c.oneDen << ")";
  }
}

TEST_F(ConfigCommandsTest, SavingAfterTheRegisterWindowClosedWritesItsDefaults) {
  main().i2cWindow.show();
  main().i2cWindow.get().tbI2Caddr.setText("3C");
  main().i2cWindow.get().tbI2Creg[3].setText("12");
  main().i2cWindow.unload();

  const std::string path = dir.file("closed.txt");
  save(path);
  EXPECT_EQ(readFile(path), defaultFile());
  EXPECT_EQ(main().i2cWindow.state(), i2c::RegisterWindow::State::Shown);
}

TEST_F(ConfigCommandsTest, DefaultsRoundTripAndProgramTheBoard) {
  sim.plug();
  main().i2cWindow.show();
  const Snapshot before = snapshot(main());
  const std::string path = dir.file("round.txt");
  save(path);
  EXPECT_TRUE(sim.transfers.empty());  // saving needs no board and sends nothing
  load(path);

  EXPECT_TRUE(sim.ui.boxes.empty());
  Snapshot expected = before;
  expected["tbCPLDdata(37)"] = "9";  // Write Settings recomputes the enable bits
  EXPECT_EQ(snapshot(main()), expected);
  // Write Settings (control pins, then the image), then the block write.
  EXPECT_EQ(packetOrder(), (std::vector<std::string>{"1:2", "3:44", "2:25"}));
  EXPECT_EQ(sim.written(1).at(0), (std::vector<uint8_t>{0xFE, 0xE3}));
  EXPECT_EQ(sim.written(2).at(0),
            (std::vector<uint8_t>{0x00, 0x5A, 0x00, 0xFF, 0x00, 0x00, 0xB8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x4D, 0xB3, 0x00, 0x00, 0x00, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(ConfigCommandsTest, LoadWithoutBoardFillsEveryControlThenSaysSoTwice) {
  std::string file = defaultFile();
  auto setLine = [&file](int n, const std::string& text) { file = withLine(file, n, text); };
  for (int i = 0; i < 43; ++i) setLine(2 + i, std::to_string((i * 7) % 16));
  setLine(2 + 9, "99");    // cell 9: the SCLK divider display follows
  setLine(2 + 20, "300");  // cell 20: the range check puts 255 in its place
  setLine(47, "3C");
  for (int r = 0; r < 22; ++r) setLine(48 + r, std::to_string(r));
  file += "a 70th line is not read\r\n";
  const std::string path = dir.file("values.txt");
  writeFile(path, file);

  load(path);
  const auto& t = main().timing;
  for (int i = 0; i < 43; ++i) {
    const std::string want = i == 9 ? "99" : i == 20 ? "255" : std::to_string((i * 7) % 16);
    EXPECT_EQ(t.tbCPLDdata[i].text(), want) << "cell " << i;
  }
  EXPECT_EQ(t.tbSCLKdiv.text(), std::to_string(((8 * 7) % 16) * 256 + 99));
  auto& regs = main().i2cWindow.get();
  EXPECT_EQ(main().i2cWindow.state(), i2c::RegisterWindow::State::Shown);
  EXPECT_EQ(regs.tbI2Caddr.text(), "3C");
  for (int r = 0; r < 22; ++r) EXPECT_EQ(regs.tbI2Creg[r].text(), std::to_string(r));
  EXPECT_TRUE(t.obShutb[1].value());
  EXPECT_TRUE(t.ob1Den[1].value());
  // Selections already made run nothing; Write Settings and the block write say it.
  EXPECT_EQ(sim.ui.boxes, (std::vector<RecordingUi::Box>(2, {"USB Device not connected!", ""})));
  EXPECT_TRUE(sim.transfers.empty());
}

TEST_F(ConfigCommandsTest, CancelEndsTheCommandAndTheDialogKeepsTheLastName) {
  main().timing.tbCPLDdata[3].setText("9");
  const Snapshot before = snapshot(main());
  sim.ui.answers = {std::nullopt, std::nullopt};
  main().mFileSaveConfig.click();
  main().mFileLoadConfig.click();
  EXPECT_EQ(snapshot(main()), before);
  EXPECT_EQ(main().i2cWindow.state(), i2c::RegisterWindow::State::NotLoaded);
  EXPECT_TRUE(sim.ui.boxes.empty());
  EXPECT_TRUE(dir.entries().empty());

  const std::string first = dir.file("first.txt");
  const std::string second = dir.file("second.txt");
  save(first);
  sim.ui.answers.push_back(std::nullopt);
  main().mFileLoadConfig.click();  // cancelled: the name stays
  save(second);
  main().mFileLoadConfig.click();  // no answer queued: cancelled
  std::vector<std::string> shown;
  for (const auto& d : sim.ui.dialogs) shown.push_back(d.setup.fileName);
  EXPECT_EQ(shown, (std::vector<std::string>{"", "", "", first, first, second}));
  EXPECT_EQ(sim.ui.dialogs[1].kind, forms::FileDialogKind::Open);
  EXPECT_EQ(sim.ui.dialogs[1].setup.filter, sim.ui.dialogs[0].setup.filter);
  EXPECT_EQ(sim.ui.dialogs[1].setup.defaultExt, "txt");
}

}  // namespace
}  // namespace glim::testing
