#include "config/config_commands.h"

#include <filesystem>

#include "config/file_io.h"
#include "config/platform_file.h"

namespace glim::config {

using usb::protocol::kRegisterCount;
using usb::protocol::kTimingBytes;

namespace {

constexpr std::string_view kSave = "Save Configuration";
constexpr std::string_view kLoad = "Load Configuration";

std::string fileName(const std::string& path) { return platform::fileNameOf(path); }

}  // namespace

ConfigCommands::ConfigCommands(timing::TimingPanel& timing, i2c::RegisterWindow& registers, i2c::I2cOperations& i2c,
                               forms::UiHost& ui, forms::StatusLabel& status)
    : timing_(timing), registers_(registers), i2c_(i2c), ui_(ui), status_(status) {}

forms::FileChoice ConfigCommands::askFileName(forms::FileDialogKind kind) {
  CommonDialog1.defaultExt = kDefaultExt;
  CommonDialog1.filter = kFilter;
  forms::FileChoice choice = ui_.fileDialog(kind, CommonDialog1);
  if (!choice.isCancelled()) CommonDialog1.fileName = choice.path();
  return choice;
}

void ConfigCommands::error(const std::string& text) { ui_.messageBox(text, std::string(kErrorCaption)); }

void ConfigCommands::fail(const std::string& action, const std::string& message, const std::string& reason) {
  error(message);
  status_.failed(action, reason);
}

void ConfigCommands::mFileSaveConfig_Click() {
  const forms::FileChoice choice = askFileName(forms::FileDialogKind::Save);
  if (choice.isCancelled()) return;
  const std::string& path = choice.path();
  registers_.show();
  ConfigValues values;
  if (!collect(values, true).ok()) return;
  if (const text::Outcome saved = replaceFile(path, formatConfig(values)); !saved.ok()) {
    fail(std::string(kSave), "Could not save the configuration to " + path + ": " + saved.reason(), saved.reason());
    return;
  }
  status_.succeeded(std::string(kSave), "saved to " + fileName(path));
}

text::Outcome ConfigCommands::saveSession(const std::string& path) {
  ConfigValues values;
  if (auto collected = collect(values, false); !collected.ok()) return collected;
  return replaceFile(path, formatConfig(values));
}

text::Outcome ConfigCommands::collect(ConfigValues& values, bool tell) {
  i2c::RegisterForm& regs = registers_.get();
  auto take = [this, tell](const forms::TextBox& box, std::string& into) -> text::Outcome {
    if (const text::Outcome savable = checkSavable(box.text()); !savable.ok()) {
      const std::string what = "the text of " + box.qualifiedName() + " cannot be saved";
      if (!tell) return text::Failure(what + ": " + savable.reason());
      fail(std::string(kSave),
           "The text of " + box.qualifiedName() + " cannot be saved: " + savable.reason() + ". Nothing was written.",
           what);
      return text::Failure(what);
    }
    into = box.text();
    return {};
  };
  for (int i = 0; i < kTimingBytes; ++i) {
    if (auto taken = take(timing_.tbCPLDdata[i], values.cells[static_cast<std::size_t>(i)]); !taken.ok()) return taken;
  }
  values.shutb = timing_.obShutb[1].value() ? 1 : 0;
  values.oneDen = timing_.ob1Den[0].value() ? 0 : timing_.ob1Den[2].value() ? 2 : 1;
  if (auto taken = take(regs.tbI2Caddr, values.slaveAddress); !taken.ok()) return taken;
  for (int r = 0; r < kRegisterCount; ++r) {
    if (auto taken = take(regs.tbI2Creg[r], values.registers[static_cast<std::size_t>(r)]); !taken.ok()) return taken;
  }
  return {};
}

void ConfigCommands::mFileLoadConfig_Click() {
  const forms::FileChoice choice = askFileName(forms::FileDialogKind::Open);
  if (!choice.isCancelled()) loadConfig(choice.path());
}

void ConfigCommands::loadConfig(const std::string& path) { load(path, std::string(kLoad), true); }

void ConfigCommands::loadSession(const std::string& path, const std::string& action) { load(path, action, false); }

void ConfigCommands::load(const std::string& path, const std::string& action, bool named) {
  // The next dialog starts from this file, as after a dialog that chose it.
  if (named) CommonDialog1.fileName = path;
  ParseResult parsed;
  {
    FileSource file;
    if (const text::Outcome opened = file.open(path); !opened.ok()) {
      fail(action, "Could not open " + path + ": " + opened.reason(), fileName(path) + ": " + opened.reason());
      return;
    }
    std::istream in(&file);
    parsed = parseConfig(in);
    if (file.failed()) {
      const std::string& why = file.outcome().reason();
      fail(action, "Could not read " + path + ": " + why, fileName(path) + ": " + why);
      return;
    }
  }
  if (!parsed.ok()) {
    // The message every version has shown, and under it what is wrong where.
    const std::string reason = faultText(parsed, fileName(path));
    fail(action, std::string(kNotConfigFile) + "\n" + reason, reason);
    return;
  }
  // Values without a number load as written and count as 0; the person is
  // told after the outcome, so that a typo is not sent unnoticed.
  const std::string zeros = notNumbersText(parsed.notNumbers);
  const std::string note = zeros.empty() ? std::string() : "; " + zeros;
  if (const text::Outcome sent = apply(parsed.values); !sent.ok()) {
    status_.failed(action,
                   sent.reason() +
                       (named ? " (the controls were loaded from " + fileName(path) + ")"
                              : std::string(" (the controls were loaded)")) +
                       note,
                   sent.kind());
    return;
  }
  status_.show(action, (named ? fileName(path) + " " : std::string()) + "loaded and sent" + note, !zeros.empty());
}

text::Outcome ConfigCommands::apply(const ConfigValues& values) {
  // Each value goes in as one typed change, so range checks and the
  // calculators run. A selection that changes has the effects of the user's
  // choice; one already made runs nothing, since the Write Settings below sends
  // both lines' states anyway.
  for (int i = 0; i < kTimingBytes; ++i) timing_.tbCPLDdata[i].enterText(values.cells[static_cast<std::size_t>(i)]);
  timing_.obShutb[values.shutb].setValue(true);
  timing_.ob1Den[values.oneDen].setValue(true);

  registers_.show();
  i2c::RegisterForm& regs = registers_.get();
  regs.tbI2Caddr.enterText(values.slaveAddress);
  for (int r = 0; r < kRegisterCount; ++r) regs.tbI2Creg[r].enterText(values.registers[static_cast<std::size_t>(r)]);

  // A cancelled wait for the board stops the rest: the link sends nothing
  // more in this handler; the controls loaded above stay loaded.
  usb::BoardLink& link = i2c_.link();
  const usb::BoardLink::Activity loading(link, "Load Configuration");
  text::Outcome settings;
  {
    // Write Settings, reporting to this command's status instead.
    const usb::BoardLink::Activity step(link, "", 1, 2);
    settings = timing_.writeSettings();
  }
  const usb::BoardLink::Activity step(link, "block write", 2, 2);
  const i2c::I2cResult registers = i2c_.do_i2c_writeall();
  if (link.cancelledInHandler()) return text::Failure("cancelled", text::FailureKind::Cancelled);
  if (!settings.ok()) return settings;
  return registers.result;
}

}  // namespace glim::config
