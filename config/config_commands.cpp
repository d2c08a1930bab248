#include "config/config_commands.h"

#include "config/file_io.h"

namespace glim::config {

static_assert(kCells == timing::kCellCount);
static_assert(kRegisters == i2c::kRegisterCount);

ConfigCommands::ConfigCommands(timing::TimingPanel& timing, i2c::RegisterWindow& registers, i2c::I2cOperations& i2c,
                               forms::UiHost& ui)
    : timing_(timing), registers_(registers), i2c_(i2c), ui_(ui) {}

std::optional<std::string> ConfigCommands::askFileName(forms::FileDialogKind kind) {
  CommonDialog1.defaultExt = kDefaultExt;
  CommonDialog1.filter = kFilter;
  auto chosen = ui_.fileDialog(kind, CommonDialog1);
  if (chosen) CommonDialog1.fileName = *chosen;
  return chosen;
}

void ConfigCommands::error(const std::string& text) { ui_.messageBox(text, std::string(kErrorCaption)); }

void ConfigCommands::mFileSaveConfig_Click() {
  const auto path = askFileName(forms::FileDialogKind::Save);
  if (!path) return;
  registers_.show();
  const auto values = collect();
  if (!values) return;
  if (const auto reason = replaceFile(*path, formatConfig(*values))) {
    error("Could not save the configuration to " + *path + ": " + *reason);
  }
}

std::optional<ConfigValues> ConfigCommands::collect() {
  ConfigValues values;
  i2c::RegisterForm& regs = registers_.get();
  auto take = [this](const forms::TextBox& box, std::string& into) {
    if (const auto reason = unsavableReason(box.text())) {
      error("The text of " + box.qualifiedName() + " cannot be saved: " + std::string(*reason) +
            ". Nothing was written.");
      return false;
    }
    into = box.text();
    return true;
  };
  for (int i = 0; i < kCells; ++i) {
    if (!take(timing_.tbCPLDdata[i], values.cells[static_cast<std::size_t>(i)])) return std::nullopt;
  }
  values.shutb = timing_.obShutb[1].value() ? 1 : 0;
  values.oneDen = timing_.ob1Den[0].value() ? 0 : timing_.ob1Den[2].value() ? 2 : 1;
  if (!take(regs.tbI2Caddr, values.slaveAddress)) return std::nullopt;
  for (int r = 0; r < kRegisters; ++r) {
    if (!take(regs.tbI2Creg[r], values.registers[static_cast<std::size_t>(r)])) return std::nullopt;
  }
  return values;
}

void ConfigCommands::mFileLoadConfig_Click() {
  const auto path = askFileName(forms::FileDialogKind::Open);
  if (!path) return;
  ParseResult parsed;
  {
    FileSource file;
    if (!file.open(*path)) {
      error("Could not open " + *path + ": " + file.error());
      return;
    }
    std::istream in(&file);
    parsed = parseConfig(in);
    if (file.failed()) {
      error("Could not read " + *path + ": " + file.error());
      return;
    }
  }
  if (!parsed.ok()) {
    error(std::string(kNotConfigFile));
    return;
  }
  apply(parsed.values);
}

void ConfigCommands::apply(const ConfigValues& values) {
  // Each value goes in as one typed change, so range checks and the
  // calculators run. A selection that changes has the effects of the user's
  // choice; one already made runs nothing, since the Write Settings below sends
  // both lines' states anyway.
  for (int i = 0; i < kCells; ++i) timing_.tbCPLDdata[i].enterText(values.cells[static_cast<std::size_t>(i)]);
  timing_.obShutb[values.shutb].setValue(true);
  timing_.ob1Den[values.oneDen].setValue(true);

  registers_.show();
  i2c::RegisterForm& regs = registers_.get();
  regs.tbI2Caddr.enterText(values.slaveAddress);
  for (int r = 0; r < kRegisters; ++r) regs.tbI2Creg[r].enterText(values.registers[static_cast<std::size_t>(r)]);

  timing_.cbWritesettings_Click();
  i2c_.do_i2c_writeall();
}

}  // namespace glim::config
