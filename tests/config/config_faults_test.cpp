#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#endif

#include "config_fixture.h"

namespace glim::testing {
namespace {

using ConfigFaultsTest = ConfigTest;

std::string firstLines(const std::string& file, int count) {
  const auto [start, length] = lineSpan(file, count);
  return file.substr(0, start + length + 2);
}

TEST_F(ConfigFaultsTest, LoadIsAllOrNothing) {
  std::string binary;
  for (int i = 0; i < 1024; ++i) binary += static_cast<char>(i * 37);
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"header in lower case", withLine(defaultFile(), 1, "//glimmora config file")},
      {"empty file", ""},
      {"ends after line 50", firstLines(defaultFile(), 50)},
      {"ends after line 68", firstLines(defaultFile(), 68)},
      {"SHUTb option 2", withLine(defaultFile(), 45, "2")},
      {"1D EN option 3", withLine(defaultFile(), 46, "3")},
      {"a line over 4 KiB", withLine(defaultFile(), 30, std::string(5000, '1'))},
      {"a NUL byte", withLine(defaultFile(), 30,
                              std::string("25\0"
                                          "5",
                                          4))},
      {"binary data", binary},
      {"header, then binary data", "//Glimmora Config File\r\n" + binary},
  };
  sim.plug();
  main().timing.tbCPLDdata[3].setText("9");  // not the defaults: nothing may reset it
  const Snapshot before = snapshot(main());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file("bad.txt");
    writeFile(path, c.bytes);
    sim.ui.boxes.clear();

    load(path);
    expectOnlyRefusal();
    EXPECT_EQ(snapshot(main()), before);
    EXPECT_EQ(main().i2cWindow.state(), i2c::RegisterWindow::State::NotLoaded);
    EXPECT_TRUE(sim.transfers.empty());
    EXPECT_EQ(readFile(path), c.bytes);
  }
}

TEST_F(ConfigFaultsTest, TextsThatWouldNotReadBackAreRefusedByName) {
  const std::string path = dir.file("old.txt");
  const std::string old = "old contents\r\n";
  const struct {
    std::string control;
    std::string text;
    std::string message;
  } cases[] = {
      {"tbCPLDdata(5)", "1\"2",
       "The text of tbCPLDdata(5) cannot be saved: it holds a double quote. Nothing was written."},
      {"Glimmora_i2c.tbI2Creg(3)", "B\r\n8",
       "The text of tbI2Creg(3) cannot be saved: it holds a line break. Nothing was written."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.control);
    SimProgram fresh;
    writeFile(path, old);
    auto* box = dynamic_cast<forms::TextBox*>(fresh.main().resolve(c.control));
    ASSERT_NE(box, nullptr);
    box->setText(c.text);
    fresh.ui.answers.push_back(path);
    fresh.main().mFileSaveConfig.click();

    EXPECT_EQ(fresh.ui.boxes, (std::vector<RecordingUi::Box>{{c.message, "Error"}}));
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.txt"});
  }
}

TEST_F(ConfigFaultsTest, AFailedSaveLeavesTheOldFileAsItWas) {
  const std::string old = "old contents\r\n";
  const std::string path = dir.file("keep.txt");
  writeFile(path, old);
  const std::string missingDir = dir.file("no-such-dir") + "/x.txt";
  const std::string aDirectory = dir.file("subdir");
  std::filesystem::create_directory(aDirectory);

  save(missingDir);
  save(aDirectory);
  load(aDirectory);  // refused before it is opened
  ASSERT_EQ(sim.ui.boxes.size(), 3u);
  EXPECT_EQ(sim.ui.boxes[0].caption, "Error");
  EXPECT_EQ(sim.ui.boxes[0].text, "Could not save the configuration to " + missingDir + ": No such file or directory");
  EXPECT_EQ(sim.ui.boxes[1].text, "Could not save the configuration to " + aDirectory + ": Is a directory");
  EXPECT_EQ(sim.ui.boxes[2], (RecordingUi::Box{"Could not open " + aDirectory + ": Is a directory", "Error"}));
  EXPECT_TRUE(std::filesystem::is_directory(aDirectory));
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"keep.txt", "subdir"}));

#if defined(__linux__)
  // The disk fills up half way through the new file.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  save(path);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  ASSERT_EQ(sim.ui.boxes.size(), 4u);
  EXPECT_EQ(sim.ui.boxes[3],
            (RecordingUi::Box{"Could not save the configuration to " + path + ": File too large", "Error"}));
  EXPECT_EQ(readFile(path), old);
  EXPECT_EQ(dir.entries(), (std::vector<std::string>{"keep.txt", "subdir"}));
#endif

  // With room again the same save replaces the file whole.
  save(path);
  EXPECT_EQ(readFile(path), defaultFile());
}

TEST_F(ConfigFaultsTest, TextsWithCommasEdgeBlanksOrAnyBytesComeBackWhole) {
  auto& regs = main().i2cWindow.get();
  main().timing.tbCPLDdata[0].setText("1,5");
  main().timing.tbCPLDdata[1].setText(" 7");
  main().timing.tbCPLDdata[2].setText("\xC3\xA9\xFF");  // no number: value 0, in range
  regs.tbI2Caddr.setText("5A ");
  regs.tbI2Creg[2].setText("A,B");
  const std::string path = dir.file("commas.txt");
  save(path);
  const std::string file = readFile(path);
  EXPECT_EQ(lineOf(file, 2), "\"1,5\"");
  EXPECT_EQ(lineOf(file, 3), "\" 7\"");
  EXPECT_EQ(lineOf(file, 47), "\"5A \"");
  EXPECT_EQ(lineOf(file, 50), "\"A,B\"");
  EXPECT_EQ(lineOf(file, 51), "B8");  // nothing after it moved

  SimProgram fresh;
  fresh.ui.answers.push_back(path);
  fresh.main().mFileLoadConfig.click();
  EXPECT_EQ(snapshot(fresh.main()), snapshot(main()));
}

}  // namespace
}  // namespace glim::testing
