#include "i2c/register_form.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "i2c/i2c_operations.h"
#include "i2c/register_watch.h"
#include "text/hex_text.h"
#include "text/reading_note.h"

namespace glim::i2c {

using usb::protocol::kRegisterCount;

namespace {

// A value as the status line names it: two hexadecimal digits.
std::string twoDigits(uint8_t value) { return text::hexText(value, 2); }

std::string address(int index) { return std::string(registerName(index).substr(0, 4)); }

// "0x05", "0x05, 0x06", ... at most three, then "…".
std::string listed(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < 3; ++i) out += (i ? ", " : "") + names[i];
  if (names.size() > 3) out += ", …";
  return out;
}

// The chip's registers in address order (a new window offers their power-on
// values to write).
constexpr std::array<std::string_view, kRegisterCount> kRegisterNames = {
    "0x00 PWM Brightness",
    "0x01 Device Control",
    "0x02 Fault/Status",
    "0x03 Identification",
    "0x04",
    "0x05",
    "0x06",
    "0x07",
    "0x08",
    "0x09",
    "0x0A GD",
    "0x0B GB",
    "0x0C DD",
    "0x0D DM",
    "0x0E DB",
    "0x0F FD/DC/J",
    "0x10 Max PWM 6-7",
    "0x11 Max PWM 7-8",
    "0x12 Max PWM 8-9",
    "0x13 Max PWM 9-10",
    "0x14 Max PWM 10-11",
    "0x15 Max PWM 11-12",
};

}  // namespace

std::string_view registerName(int address) {
  if (address < 0 || address >= kRegisterCount) return {};
  return kRegisterNames[static_cast<std::size_t>(address)];
}

// Marks a handler of this form as running for its whole extent.
class RegisterForm::Running {
 public:
  explicit Running(RegisterForm& form) : form_(form) { ++form_.running_; }
  ~Running() { --form_.running_; }
  Running(const Running&) = delete;
  Running& operator=(const Running&) = delete;

 private:
  RegisterForm& form_;
};

RegisterForm::RegisterForm(I2cOperations& ops, RegisterWindow& window) : ops_(ops), window_(window) {
  for (int i = 0; i < kRegisterCount; ++i) {
    const auto at = static_cast<std::size_t>(i);
    Label1[i].setCaption(std::string(kRegisterNames[at]));
    tbI2Creg[i].setText(text::hexText(usb::protocol::kPowerOnRegisters[at], 2));
    tbI2Cregread[i].setText("0");
    tbI2Cregread[i].setNote(std::string(kNotReadYetNote));
    // A value put into the box (typed, or a recording's state) is the
    // person's: no longer the "0" nobody read.
    tbI2Cregread[i].setChangeHandler([this, i] {
      if (tbI2Cregread[i].note() != kNotReadNote) tbI2Cregread[i].setNote("");
    });
    const std::string reg(kRegisterNames[at].substr(0, 4));
    tbI2Creg[i].setHint("Value to write to register " + reg + ", hexadecimal 00 to FF");
    tbI2Cregread[i].setHint("Value last read from register " + reg + ", hexadecimal");
    // The box says when the hexadecimal rule reads its text as something else.
    tbI2Creg[i].setChangeHandler([this, i] { tbI2Creg[i].setNote(text::hexReadingNote(tbI2Creg[i].text()).note); });
    cbWritei2c[i].setCaption("Write");
    cbReadi2c[i].setCaption("Read");
    cbCopyi2c[i].setCaption("Copy");
    cbWritei2c[i].setClickHandler([this, i] { cbWritei2c_Click(i); });
    cbReadi2c[i].setClickHandler([this, i] { cbReadi2c_Click(i); });
    cbCopyi2c[i].setClickHandler([this, i] { cbCopyi2c_Click(i); });
  }
  Label1[kRegisterCount].setCaption("Slave Address");
  tbI2Caddr.setText(text::hexText(usb::protocol::kChipAddress, 2));
  tbI2Caddr.setHint("The chip's I2C write address, hexadecimal 00 to FE, even; reads use the address + 1");
  tbI2Caddr.setChangeHandler([this] { tbI2Caddr.setNote(text::hexReadingNote(tbI2Caddr.text()).note); });
  cbClose.setCaption("Close");
  cbWriteall.setCaption("Write All");
  cbReadall.setCaption("Read All");
  cbCopyall.setCaption("Copy All");
  cbClose.setClickHandler([this] { cbClose_Click(); });
  cbWriteall.setClickHandler([this] { cbWriteall_Click(); });
  cbWritechanged.setCaption("Write Changed");
  cbWritechanged.setClickHandler([this] { cbWritechanged_Click(); });
  cbReadall.setClickHandler([this] { cbReadall_Click(); });
  cbCopyall.setClickHandler([this] { cbCopyall_Click(); });

  // Top to bottom: the address line, then row by row, then the bottom line.
  form.add(Label1[kRegisterCount]);
  form.add(tbI2Caddr);
  for (int i = 0; i < kRegisterCount; ++i) {
    form.addAll(Label1[i], tbI2Creg[i], cbWritei2c[i], tbI2Cregread[i], cbReadi2c[i], cbCopyi2c[i]);
  }
  cbVerify.setCaption("Read back after write");
  cbVerify.setHint("Reads each register back after writing it, and marks one that reads back another value");
  form.addAll(cbClose, cbWriteall, cbWritechanged, cbReadall, cbCopyall, cbVerify);
  form.addArray(lblReadback);
  form.add(lblStatus);
  for (int i = 0; i < kRegisterCount; ++i) {
    cbWatch[i].setHint("Reads register " + address(i) +
                       " once per interval while a board is held, and logs each change");
    cbWatch[i].setClickHandler([this] { onWatchChanged.notify(true); });
  }
  tbWatchms.setText(std::to_string(kWatchDefaultMs));
  tbWatchms.setHint("How often the watched registers are read, in milliseconds (" + std::to_string(kWatchMinMs) +
                    " to " + std::to_string(kWatchMaxMs) + ")");
  tbWatchms.setChangeHandler([this] {
    tbWatchms.setNote(watchInterval(tbWatchms.text()).note);
    onWatchChanged.notify(false);
  });
  form.addArray(cbWatch);
  form.addAll(lblWatchms, tbWatchms);
  form.addArray(lblWatch);
  describeRows();
}

void RegisterForm::describeRows() {
  const RegisterDescriptions& descriptions = ops_.descriptions();
  for (int i = 0; i < kRegisterCount; ++i) {
    const RegisterDescription* described = descriptions.find(i);
    std::string hint;
    if (described != nullptr) {
      hint = descriptions.heading(i);
      if (!described->description.empty()) hint += "\n" + described->description;
      static constexpr std::array<std::string_view, 4> kAccessWords = {"", "read and write", "read only", "write only"};
      if (described->access != Access::Unstated) {
        hint += "\nAccess: " + std::string(accessName(described->access)) + " (" +
                std::string(kAccessWords[static_cast<std::size_t>(described->access)]) + ")";
      }
    }
    Label1[i].setHint(std::move(hint));
  }
  rowsDescribed.notify();
}

const RegisterDescriptions& RegisterForm::descriptions() const { return ops_.descriptions(); }

bool RegisterForm::live() const { return window_.existing() == this; }

std::string RegisterForm::misreadNote(int index) const {
  std::vector<std::string> notes;
  if (const auto value = text::hexReadingNote(tbI2Creg[index].text()); !value.empty()) notes.push_back(value.brief);
  if (const auto addr = text::hexReadingNote(tbI2Caddr.text()); !addr.empty()) {
    notes.push_back("slave address " + addr.brief);
  }
  if (notes.empty()) return {};
  std::string out = " (" + notes[0];
  if (notes.size() > 1) out += "; " + notes[1];
  return out + ")";
}

bool RegisterForm::holdsRead(int index) const {
  const std::string& note = tbI2Cregread[index].note();
  return !tbI2Cregread[index].text().empty() && (note.empty() || note == kNotReadNote);
}

namespace {
// "Reading 0x05": what a wait for the board is for.
std::string registerActivity(const char* doing, int reg) { return std::string(doing) + " " + address(reg); }
}  // namespace

struct RegisterForm::WriteCheck {
  I2cResult write;
  std::optional<I2cResult> readBack;  // when cbVerify is checked and the write went through
  bool differs() const { return readBack && readBack->ok() && readBack->values[0] != write.values[0]; }
};

RegisterForm::WriteCheck RegisterForm::writeChecked(int index) {
  lblReadback[index].setCaption("");
  WriteCheck check{ops_.do_i2c_write(static_cast<int16_t>(index)), std::nullopt};
  if (!check.write.ok() || cbVerify.value() != forms::CheckBox::Checked || !live()) return check;
  // The same packets as the row's Read button; the read box shows what came back.
  check.readBack = ops_.do_i2c_read(static_cast<int16_t>(index));
  if (check.differs()) lblReadback[index].setCaption("read back " + twoDigits(check.readBack->values[0]));
  return check;
}

void RegisterForm::cbWritei2c_Click(int Index) {
  Running running(*this);
  if (Index < 0 || Index >= kRegisterCount) return;
  const WriteCheck c = [&] {
    const usb::BoardLink::Activity doing(ops_.link(), registerActivity("Writing", Index));
    return writeChecked(Index);
  }();
  if (!live()) return;
  const std::string action = "Write " + label(Index);
  if (!c.write.ok()) return lblStatus.failed(action, c.write.result);
  const std::string value = twoDigits(c.write.values[0]);
  // Sent as the rule reads the box, which is not what the box shows.
  const std::string misread = misreadNote(Index);
  const bool warn = !misread.empty();
  if (!c.readBack) return lblStatus.show(action, value + " written" + misread, warn);
  if (!c.readBack->ok()) {
    return lblStatus.show(action, value + " written, read back failed: " + c.readBack->reason() + misread, true);
  }
  if (c.differs()) {
    const std::string outcome = "wrote " + value + ", read back " + twoDigits(c.readBack->values[0]);
    ops_.log().logMessage(action + ": " + outcome);
    return lblStatus.show(action, outcome + misread, true);
  }
  lblStatus.show(action, value + " written, read back equal" + misread, warn);
}

void RegisterForm::cbReadi2c_Click(int Index) {
  Running running(*this);
  if (Index < 0 || Index >= kRegisterCount) return;
  const I2cResult r = [&] {
    const usb::BoardLink::Activity doing(ops_.link(), registerActivity("Reading", Index));
    return ops_.do_i2c_read(static_cast<int16_t>(Index));
  }();
  if (!live()) return;
  const std::string action = "Read " + label(Index);
  // The board's word that the chip gave no value is told as the log tells it.
  if (r.kind() == text::FailureKind::NoAnswer) return lblStatus.show(action, r.reason(), true, r.kind());
  if (!r.ok()) return lblStatus.failed(action, r.result);
  lblStatus.succeeded(action, twoDigits(r.values[0]));
}

void RegisterForm::cbCopyi2c_Click(int Index) {
  if (Index < 0 || Index >= kRegisterCount) return;
  // A read that failed left its box empty: copying it would turn into a write
  // of 00.
  const std::string action = "Copy " + label(Index);
  const std::string read = tbI2Cregread[Index].text();
  const std::string& note = tbI2Cregread[Index].note();
  if (read.empty()) return lblStatus.show(action, "nothing read, nothing copied", true);
  if (note == kNotReadYetNote) return lblStatus.show(action, "not read yet, nothing copied", true);
  if (!holdsRead(Index)) return lblStatus.show(action, "no value read, nothing copied: " + note, true);
  tbI2Creg[Index].setText(read);
  lblStatus.succeeded(action, read + " copied");
}

// "Write All" and "Read All" stop at a register whose packet cannot be built:
// the user is told once, and the same fault would mostly repeat for the rest
// (always so for a slave address). The registers before it are done. They also
// stop if the window was closed meanwhile (a message box lets other events in):
// going on would recreate it with its defaults and send those. A cancelled
// transfer stops them too. "Write Changed" goes the same way.
struct RegisterForm::WriteTally {
  int written = 0;
  int equal = 0;
  std::vector<std::string> writtenRows, failed, differs, readBackFailed, misreadRows;
  // The first failure, and what stopped the batch (a cancel, a packet that
  // could not be built); both ok() while there is none.
  text::Outcome first, stopped;
};

RegisterForm::WriteTally RegisterForm::writeRows(const std::vector<int>& rows) {
  WriteTally t;
  usb::BoardLink& link = ops_.link();
  const auto count = static_cast<int>(rows.size());
  for (int step = 0; step < count && live(); ++step) {
    const int i = rows[static_cast<std::size_t>(step)];
    const usb::BoardLink::Activity doing(link, registerActivity("Writing", i), step + 1, count);
    const WriteCheck c = writeChecked(i);
    if (c.write.ok() && !text::hexReadingNote(tbI2Creg[i].text()).empty()) t.misreadRows.push_back(address(i));
    if (c.write.cancelled() || (c.readBack && c.readBack->cancelled())) {
      t.stopped = text::Failure("cancelled at " + address(i) + " (" + std::to_string(t.written) + " written)",
                                text::FailureKind::Cancelled);
      break;
    }
    if (c.write.outcome == I2cOutcome::NotSent) {
      t.stopped = c.write.result;
      break;
    }
    if (!c.write.ok()) {
      if (t.first.ok()) t.first = c.write.result;
      t.failed.push_back(address(i));
      continue;
    }
    ++t.written;
    t.writtenRows.push_back(address(i));
    if (!c.readBack) continue;
    if (!c.readBack->ok()) {
      t.readBackFailed.push_back(label(i));
    } else if (c.differs()) {
      t.differs.push_back(label(i));
      ops_.log().logMessage("Write " + label(i) + ": wrote " + twoDigits(c.write.values[0]) + ", read back " +
                            twoDigits(c.readBack->values[0]));
    } else {
      ++t.equal;
    }
  }
  return t;
}

void RegisterForm::showWritten(const std::string& action, const WriteTally& t, const std::string& written) {
  if (t.stopped.kind() == text::FailureKind::Cancelled) {
    return lblStatus.show(action, t.stopped.reason(), true, text::FailureKind::Cancelled);
  }
  if (!t.stopped.ok() && t.written == 0) return lblStatus.failed(action, t.stopped);
  if (t.written == 0) return lblStatus.failed(action, t.first);
  std::string outcome = std::to_string(t.written) + " written" + written;
  if (!t.failed.empty()) outcome += ", " + std::to_string(t.failed.size()) + " failed: " + listed(t.failed);
  if (!t.stopped.ok()) outcome += ", then failed: " + t.stopped.reason();
  if (cbVerify.value() == forms::CheckBox::Checked) {
    outcome += ", " + std::to_string(t.equal) + " read back equal";
    if (!t.differs.empty()) outcome += ", " + std::to_string(t.differs.size()) + " differs: " + listed(t.differs);
    if (!t.readBackFailed.empty()) {
      outcome += ", " + std::to_string(t.readBackFailed.size()) + " read back failed: " + listed(t.readBackFailed);
    }
  }
  if (!t.misreadRows.empty()) {
    outcome += "; " + std::to_string(t.misreadRows.size()) + " read as other values (" + listed(t.misreadRows) + ")";
  }
  lblStatus.show(action, outcome,
                 !t.failed.empty() || !t.stopped.ok() || !t.differs.empty() || !t.readBackFailed.empty() ||
                     !t.misreadRows.empty());
}

void RegisterForm::cbWriteall_Click() {
  Running running(*this);
  std::vector<int> rows(kRegisterCount);
  for (int i = 0; i < kRegisterCount; ++i) rows[static_cast<std::size_t>(i)] = i;
  const WriteTally t = writeRows(rows);
  if (!live()) return;
  showWritten("Write All", t, "");
}

void RegisterForm::cbWritechanged_Click() {
  Running running(*this);
  // What the chip is known to hold goes by the slave address typed: another
  // address is another chip. A text that is no slave address matches none,
  // and its first write says what is wrong with it.
  const uint32_t slave = text::hexTextValue(tbI2Caddr.text());
  std::vector<int> rows;
  int unchanged = 0;
  std::vector<std::string> readOnly;
  for (int i = 0; i < kRegisterCount; ++i) {
    const RegisterDescription* described = ops_.descriptions().find(i);
    if (described != nullptr && described->access == Access::ReadOnly) {
      readOnly.push_back(address(i));
      continue;
    }
    const uint32_t value = text::hexTextValue(tbI2Creg[i].text());
    const std::optional<uint8_t> known = slave <= 0xFF ? ops_.knownValue(i, static_cast<uint8_t>(slave)) : std::nullopt;
    if (known && value == *known) {
      ++unchanged;
    } else {
      rows.push_back(i);
    }
  }
  std::string others = ", " + std::to_string(unchanged) + " unchanged";
  if (!readOnly.empty()) others += ", " + std::to_string(readOnly.size()) + " read-only skipped: " + listed(readOnly);
  const std::string action = "Write Changed";
  if (rows.empty()) return lblStatus.succeeded(action, "0 written" + others);
  const WriteTally t = writeRows(rows);
  if (!live()) return;
  showWritten(action, t, " (" + listed(t.writtenRows) + ")" + others);
}

void RegisterForm::cbReadall_Click() {
  Running running(*this);
  int read = 0;
  std::array<bool, kRegisterCount> readOk{};
  std::vector<std::string> failed;
  text::Outcome first, stopped;
  usb::BoardLink& link = ops_.link();
  for (int i = 0; i < kRegisterCount && live(); ++i) {
    const usb::BoardLink::Activity step(link, registerActivity("Reading", i), i + 1, kRegisterCount);
    const I2cResult r = ops_.do_i2c_read(static_cast<int16_t>(i));
    if (r.cancelled()) {
      stopped = text::Failure("cancelled at " + address(i) + " (" + std::to_string(read) + " read)",
                              text::FailureKind::Cancelled);
      break;
    }
    if (r.outcome == I2cOutcome::NotSent) {
      stopped = r.result;
      break;
    }
    if (r.ok()) {
      ++read;
      readOk[static_cast<std::size_t>(i)] = true;
    } else {
      if (first.ok()) first = r.result;
      failed.push_back(address(i));
    }
  }
  if (!live()) return;
  // Rows this Read All did not read keep an old value (or none): they say so
  // until each is read again.
  if (read < kRegisterCount) {
    for (int i = 0; i < kRegisterCount; ++i) {
      // A box never read keeps saying so, and one the chip gave no value for
      // says why: neither holds an old value.
      if (!readOk[static_cast<std::size_t>(i)] && tbI2Cregread[i].note().empty()) {
        tbI2Cregread[i].setNote(std::string(kNotReadNote));
      }
    }
  }
  const std::string action = "Read All";
  if (stopped.kind() == text::FailureKind::Cancelled)
    return lblStatus.show(action, stopped.reason(), true, stopped.kind());
  if (read == 0) return lblStatus.failed(action, stopped.ok() ? first : stopped);
  std::string outcome = std::to_string(read) + " read";
  if (!failed.empty()) outcome += ", " + std::to_string(failed.size()) + " failed: " + listed(failed);
  if (!stopped.ok()) outcome += ", then failed: " + stopped.reason();
  lblStatus.show(action, outcome, !failed.empty() || !stopped.ok());
}

void RegisterForm::cbCopyall_Click() {
  std::vector<std::string> skipped, noValue;
  int copied = 0;
  int notYet = 0;
  for (int i = 0; i < kRegisterCount; ++i) {
    if (tbI2Cregread[i].text().empty()) {
      skipped.push_back(address(i));
    } else if (tbI2Cregread[i].note() == kNotReadYetNote) {
      ++notYet;
    } else if (!holdsRead(i)) {
      noValue.push_back(address(i));
    } else {
      tbI2Creg[i].setText(tbI2Cregread[i].text());
      ++copied;
    }
  }
  std::string outcome = std::to_string(copied) + " copied";
  if (notYet > 0) outcome += ", " + std::to_string(notYet) + " not read yet";
  if (!skipped.empty()) outcome += ", " + std::to_string(skipped.size()) + " not read: " + listed(skipped);
  if (!noValue.empty()) outcome += ", " + std::to_string(noValue.size()) + " no value read: " + listed(noValue);
  lblStatus.show("Copy All", outcome, !skipped.empty() || !noValue.empty() || notYet > 0);
}

void RegisterForm::cbClose_Click() {
  Running running(*this);
  window_.unload();
}

}  // namespace glim::i2c
