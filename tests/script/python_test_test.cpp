// A recording's steps as the Python session's calls, and the asserts that
// end the test.
#include "script/python_test.h"

#include <gtest/gtest.h>

namespace glim::script {
namespace {

TEST(PythonTest, EachRecordedLineBecomesTheSessionCallThatReplaysIt) {
  const struct {
    const char* line;
    const char* python;
  } cases[] = {
      {"set tbSCLKfreqdes 20", R"py(s.set("tbSCLKfreqdes", "20"))py"},
      {"set Glimmora_i2c.tbI2Creg(3)  two  spaces ", R"py(s.set("Glimmora_i2c.tbI2Creg(3)", " two  spaces "))py"},
      {R"py(set tbCPLDdata(3) a"b\c)py", R"py(s.set("tbCPLDdata(3)", "a\"b\\c"))py"},
      {"set Glimmora_i2c.tbI2Creg(3) \xC3\xA9", "s.set(\"Glimmora_i2c.tbI2Creg(3)\", \"\xC3\xA9\")"},
      {"click Glimmora_i2c.cbReadall", R"py(s.click("Glimmora_i2c.cbReadall"))py"},
      {"wait 250", "s.wait(250)"},
      {"board attach", "s.sim.attach()"},
      {"board detach 2", "s.sim.detach(2)"},
      {"board ok", "s.sim.ok()"},
      {"board reg 4 3C", "s.sim.set_reg(4, 0x3C)"},
      {"board fail deviceinfo", "s.sim.fail_deviceinfo()"},
      {"board fail transfer 3", "s.sim.fail_transfer(3)"},
      {"board timeout 130", "s.sim.timeout(130)"},
      {"board nopipes", "s.sim.nopipes()"},
      {"board short 2 1", "s.sim.short(2, 1)"},
      {"board hang 130", "s.sim.hang(130)"},
      {"board hang 130 400", "s.sim.hang(130, 400)"},
      {"board ignore 7", "s.sim.ignore(7)"},
      // No call of their own: played as a script plays them.
      {"board plugged 2", R"py(s.run("board plugged 2"))py"},
      {"type tbSCLKfreqdes 5", R"py(s.run("type tbSCLKfreqdes 5"))py"},
      {"close Glimmora_i2c", R"py(s.run("close Glimmora_i2c"))py"},
      {"activate", R"py(s.run("activate"))py"},
      {"answer cancel", R"py(s.run("answer cancel"))py"},
      {"answer /data/setup.txt", R"py(s.run("answer /data/setup.txt"))py"},
      // Beside the recording: beside the test file.
      {"answer sub/setup.txt", R"py(s.run("answer " + str(HERE / "sub/setup.txt")))py"},
      // A line the language refuses fails in the test as in the script.
      {"board reg 99 00", R"py(s.run("board reg 99 00"))py"},
      {"# left out: a text with a line break", "# left out: a text with a line break"},
      {"   ", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(pythonLine(c.line), c.python) << c.line;
}

TEST(PythonTest, QuotedTextsAreValidPythonWhateverTheBytes) {
  EXPECT_EQ(pythonQuoted(""), R"py("")py");
  EXPECT_EQ(pythonQuoted("a\"b\\"), R"py("a\"b\\")py");
  EXPECT_EQ(pythonQuoted("\r\n\t"), R"py("\r\n\t")py");
  EXPECT_EQ(pythonQuoted(std::string("\x01\x7F\0", 3)), R"py("\x01\x7f\x00")py");
}

TEST(PythonTest, TheTestIsNamedAfterItsFile) {
  EXPECT_EQ(pythonTestHead("test_read back", "h")[8], "def test_read_back(glimmora_session):");
  EXPECT_EQ(pythonTestHead("sweep-1", "h")[8], "def test_sweep_1(glimmora_session):");
  EXPECT_EQ(pythonTestHead("", "h")[8], "def test_recording(glimmora_session):");
  EXPECT_EQ(pythonTestHead("", "Recorded by glimmora")[0], "# Recorded by glimmora");
}

TEST(PythonTest, APyFileIsRecordedAsATest) {
  using Form = ScriptRecorder::Setup::Form;
  for (const char* path : {"a.py", "/x/b.PY", "C:\\x\\c.Py"}) {
    EXPECT_EQ(recordingFormFor(path), Form::PythonTest) << path;
  }
  for (const char* path : {"a.gls", "a.py.gls", "dir.py/a", "py", "a.pyc", ""}) {
    EXPECT_EQ(recordingFormFor(path), Form::Script) << path;
  }
}

TEST(PythonTest, OnlyWhatTheRecordingChangedIsAsserted) {
  const std::vector<std::pair<std::string, std::string>> start{{"tbSCLKfreqact", "390.625"}, {"lblStatus", "Ready"}};
  const std::vector<std::pair<std::string, std::string>> end{
      {"tbSCLKfreqact", "390.625"}, {"lblStatus", "Write Settings: sent"}, {"Glimmora_i2c.tbI2Cregread(3)", "B8"}};
  const std::vector<std::string> asserts = pythonAsserts(start, end);
  ASSERT_EQ(asserts.size(), 3u);
  EXPECT_EQ(asserts[1], R"py(    assert s.text("lblStatus") == "Write Settings: sent", "lblStatus")py");
  EXPECT_EQ(asserts[2],
            R"py(    assert s.text("Glimmora_i2c.tbI2Cregread(3)") == "B8", "Glimmora_i2c.tbI2Cregread(3)")py");
  EXPECT_EQ(pythonAsserts(start, start).back(), "    # (nothing it changed is shown)");
  EXPECT_EQ(pythonAsserts(start, {}).back(), "    # The program had ended: nothing left to compare.");
}

}  // namespace
}  // namespace glim::script
