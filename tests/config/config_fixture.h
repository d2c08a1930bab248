#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>

#include "config/config_commands.h"
#include "support/control_states.h"
#include "support/sim_program.h"
#include "support/temp_dir.h"

namespace glim::testing {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Every control's state, by qualified name: what a view would show.
using Snapshot = std::map<std::string, std::string>;
inline Snapshot snapshot(shell::MainForm& main) { return testing::controlStates(main); }

// The file the defaults make, written out line by line.
inline std::string defaultFile() {
  auto lines = [](std::initializer_list<const char*> texts) {
    std::string out;
    for (const char* t : texts) out += std::string(t) + "\r\n";
    return out;
  };
  auto times = [](int n, const char* text) {
    std::string out;
    for (int i = 0; i < n; ++i) out += std::string(text) + "\r\n";
    return out;
  };
  return lines({"//Glimmora Config File"}) +
         lines({"0", "5", "0", "5", "250", "1", "5", "40", "0", "63"}) +  // cells 0..9
         times(27, "255") +                                               // cells 10..36
         lines({"0", "10", "20", "5", "5", "5"}) +                        // cells 37..42
         lines({"1", "1"}) +                                              // SHUTb "1", 1D EN "Z"
         lines({"5A", "FF", "00", "00", "B8"}) + times(6, "00") + lines({"4D", "B3"}) + times(3, "00") + lines({"29"}) +
         times(6, "FF");
}

// Where line n (1-based) of a file starts, and how long it is.
inline std::pair<std::size_t, std::size_t> lineSpan(const std::string& file, int n) {
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) start = file.find("\r\n", start) + 2;
  return {start, file.find("\r\n", start) - start};
}
inline std::string lineOf(const std::string& file, int n) {
  const auto [start, length] = lineSpan(file, n);
  return file.substr(start, length);
}
inline std::string withLine(std::string file, int n, const std::string& text) {
  const auto [start, length] = lineSpan(file, n);
  return file.replace(start, length, text);
}

// The program on the simulated board, with a directory for its files.
class ConfigTest : public ::testing::Test {
 protected:
  shell::MainForm& main() { return sim.main(); }
  config::ConfigCommands& config() { return sim.main().config; }

  void save(const std::string& path) {
    sim.ui.answers.push_back(path);
    main().mFileSaveConfig.click();
  }
  void load(const std::string& path) {
    sim.ui.answers.push_back(path);
    main().mFileLoadConfig.click();
  }
  // The transfers as "pipe:length", in the order they happened.
  std::vector<std::string> packetOrder() const {
    std::vector<std::string> out;
    for (const auto& t : sim.transfers) out.push_back(std::to_string(t.pipe) + ":" + std::to_string(t.bytes.size()));
    return out;
  }
  // One message box: the refusal, and under it the reason the status line
  // gives.
  void expectOnlyRefusal() {
    ASSERT_EQ(sim.ui.boxes.size(), 1u);
    const std::string failed = "Load Configuration: failed: ";
    const std::string& status = main().lblStatus.caption();
    ASSERT_EQ(status.substr(0, failed.size()), failed);
    EXPECT_EQ(sim.ui.boxes[0],
              (RecordingUi::Box{std::string(config::kNotConfigFile) + "\n" + status.substr(failed.size()), "Error"}));
  }

  SimProgram sim;
  TempDir dir;
};

}  // namespace glim::testing
