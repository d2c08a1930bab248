// Arbitrary bytes as a configuration file, loaded through "Load Configuration"
// with a board attached. A file that does not read as a whole configuration
// must leave every control as it was, send nothing and say so once; a valid one
// must put its values in and program the board. Nothing may crash or hang.
// The parser alone is fuzzed much faster by config_parse_fuzz; this target is
// for the path that applies the values.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "config/config_commands.h"
#include "config/config_file.h"
#include "support/control_states.h"
#include "support/sim_program.h"

namespace {

using glim::testing::SimProgram;

void require(bool condition) {
  if (!condition) std::abort();
}

const std::string& filePath() {
  static const std::string path = [] {
    std::random_device seed;
    return (std::filesystem::temp_directory_path() / ("glimmora-config-fuzz-" + std::to_string(seed()) + ".txt"))
        .string();
  }();
  return path;
}

std::map<std::string, std::string> state(glim::shell::MainForm& main) {
  std::map<std::string, std::string> s = glim::testing::controlStates(main);
  s["window"] = std::to_string(static_cast<int>(main.i2cWindow.state()));
  return s;
}

// The program is built once; between inputs a file it saved itself is loaded
// back, which puts every value and selection where it was.
struct Fixture {
  std::unique_ptr<SimProgram> sim;
  std::map<std::string, std::string> before;
  std::string baseline;
  int rebuilds = 0;

  Fixture() {
    baseline = filePath() + ".baseline";
    build();
    sim->ui.answers.push_back(baseline);
    sim->main().mFileSaveConfig.click();
    require(sim->ui.boxes.empty());
    restore();
    restore();
    before = state(sim->main());
  }

  void build() {
    sim = std::make_unique<SimProgram>();
    sim->plug();
  }

  // A value the input left may still be seen while the baseline goes in (a
  // register written together with its neighbour), so what this says is not
  // checked: the state afterwards is.
  void restore() {
    sim->ui.answers.push_back(baseline);
    sim->main().mFileLoadConfig.click();
    clear();
  }

  // Forgets what the last input left in the records (and keeps the log short).
  void clear() {
    sim->transfers.clear();
    sim->ui.boxes.clear();
    sim->ui.dialogs.clear();
    sim->main().txtLog.setText("");
  }

  // After an input the program took: back to the baseline, or, should loading
  // the baseline not give the same state, a fresh program.
  void reset() {
    restore();
    if (state(sim->main()) == before) return;
    ++rebuilds;
    build();
    restore();
    require(state(sim->main()) == before);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fixture;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    std::ofstream out(filePath(), std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::istringstream in(bytes);
  const auto parsed = glim::config::parseConfig(in);

  SimProgram& sim = *fixture.sim;
  auto& main = sim.main();
  sim.ui.answers.push_back(filePath());
  main.mFileLoadConfig.click();

  // The refusal's first line; the reason follows.
  const std::string refusal = std::string(glim::config::kNotConfigFile) + "\n";
  const bool refused = std::any_of(sim.ui.boxes.begin(), sim.ui.boxes.end(),
                                   [&refusal](const auto& box) { return box.text.rfind(refusal, 0) == 0; });
  if (!parsed.ok()) {
    require(refused && sim.ui.boxes.size() == 1);
    require(sim.transfers.empty());
    require(state(main) == fixture.before);
    fixture.clear();
    return 0;
  }
  require(!refused);
  const auto& v = parsed.values;
  auto& regs = main.i2cWindow.get();
  require(main.i2cWindow.state() == glim::i2c::RegisterWindow::State::Shown);
  require(regs.tbI2Caddr.text() == v.slaveAddress);
  for (int r = 0; r < glim::usb::protocol::kRegisterCount; ++r) {
    require(regs.tbI2Creg[r].text() == v.registers[std::size_t(r)]);
  }
  require(main.timing.obShutb[v.shutb].value() && main.timing.ob1Den[v.oneDen].value());
  // Write Settings ends with the image on pipe 3.
  const auto pipe3 = sim.written(3);
  require(!pipe3.empty() && pipe3.back().size() == 44);
  fixture.reset();
  return 0;
}
