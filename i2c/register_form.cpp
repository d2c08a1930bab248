#include "i2c/register_form.h"

#include <array>
#include <string>
#include <string_view>

#include "i2c/i2c_operations.h"

namespace glim::i2c {

namespace {

struct RegisterRow {
  std::string_view name;
  std::string_view value;  // default write value
};

// The chip's registers in address order, with the values a new window offers.
constexpr std::array<RegisterRow, kRegisterCount> kRows = {{
    {"0x00 PWM Brightness", "FF"},
    {"0x01 Device Control", "00"},
    {"0x02 Fault/Status", "00"},
    {"0x03 Identification", "B8"},
    {"0x04", "00"},
    {"0x05", "00"},
    {"0x06", "00"},
    {"0x07", "00"},
    {"0x08", "00"},
    {"0x09", "00"},
    {"0x0A GD", "4D"},
    {"0x0B GB", "B3"},
    {"0x0C DD", "00"},
    {"0x0D DM", "00"},
    {"0x0E DB", "00"},
    {"0x0F FD/DC/J", "29"},
    {"0x10 Max PWM 6-7", "FF"},
    {"0x11 Max PWM 7-8", "FF"},
    {"0x12 Max PWM 8-9", "FF"},
    {"0x13 Max PWM 9-10", "FF"},
    {"0x14 Max PWM 10-11", "FF"},
    {"0x15 Max PWM 11-12", "FF"},
}};

}  // namespace

std::string_view registerName(int address) {
  if (address < 0 || address >= kRegisterCount) return {};
  return kRows[static_cast<std::size_t>(address)].name;
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
    const RegisterRow& row = kRows[static_cast<std::size_t>(i)];
    Label1[i].setCaption(std::string(row.name));
    tbI2Creg[i].setText(std::string(row.value));
    tbI2Cregread[i].setText("0");
    cbWritei2c[i].setCaption("Write");
    cbReadi2c[i].setCaption("Read");
    cbCopyi2c[i].setCaption("Copy");
    cbWritei2c[i].onClick = [this, i] { cbWritei2c_Click(i); };
    cbReadi2c[i].onClick = [this, i] { cbReadi2c_Click(i); };
    cbCopyi2c[i].onClick = [this, i] { cbCopyi2c_Click(i); };
  }
  Label1[kRegisterCount].setCaption("Slave Address");
  tbI2Caddr.setText("5A");
  cbClose.setCaption("Close");
  cbWriteall.setCaption("Write All");
  cbReadall.setCaption("Read All");
  cbCopyall.setCaption("Copy All");
  cbClose.onClick = [this] { cbClose_Click(); };
  cbWriteall.onClick = [this] { cbWriteall_Click(); };
  cbReadall.onClick = [this] { cbReadall_Click(); };
  cbCopyall.onClick = [this] { cbCopyall_Click(); };

  // Top to bottom: the address line, then row by row, then the bottom line.
  form.add(Label1[kRegisterCount]);
  form.add(tbI2Caddr);
  for (int i = 0; i < kRegisterCount; ++i) {
    form.addAll(Label1[i], tbI2Creg[i], cbWritei2c[i], tbI2Cregread[i], cbReadi2c[i], cbCopyi2c[i]);
  }
  form.addAll(cbClose, cbWriteall, cbReadall, cbCopyall);
}

bool RegisterForm::live() const { return window_.existing() == this; }

namespace {
// "Reading 0x05": what a wait for the board is for.
std::string registerActivity(const char* doing, int reg) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return std::string(doing) + " 0x" + kDigits[(reg >> 4) & 0xF] + kDigits[reg & 0xF];
}
}  // namespace

void RegisterForm::cbWritei2c_Click(int Index) {
  Running running(*this);
  const usb::BoardLink::Activity doing(ops_.link(), registerActivity("Writing", Index));
  ops_.do_i2c_write(static_cast<int16_t>(Index));
}

void RegisterForm::cbReadi2c_Click(int Index) {
  Running running(*this);
  const usb::BoardLink::Activity doing(ops_.link(), registerActivity("Reading", Index));
  ops_.do_i2c_read(static_cast<int16_t>(Index));
}

void RegisterForm::cbCopyi2c_Click(int Index) {
  if (Index < 0 || Index >= kRegisterCount) return;
  tbI2Creg[Index].setText(tbI2Cregread[Index].text());
}

// "Write All" and "Read All" stop at a register whose packet cannot be built:
// the user is told once, and the same fault would mostly repeat for the rest
// (always so for a slave address). The registers before it are done. They also
// stop if the window was closed meanwhile (a message box lets other events in):
// going on would recreate it with its defaults and send those. And they stop
// when the user cancelled a wait for the board.
void RegisterForm::cbWriteall_Click() {
  Running running(*this);
  usb::BoardLink& link = ops_.link();
  for (int i = 0; i < kRegisterCount && live() && !link.cancelledInHandler(); ++i) {
    const usb::BoardLink::Activity step(link, registerActivity("Writing", i), i + 1, kRegisterCount);
    if (ops_.do_i2c_write(static_cast<int16_t>(i)) == I2cOutcome::NotSent) break;
  }
}

void RegisterForm::cbReadall_Click() {
  Running running(*this);
  usb::BoardLink& link = ops_.link();
  for (int i = 0; i < kRegisterCount && live() && !link.cancelledInHandler(); ++i) {
    const usb::BoardLink::Activity step(link, registerActivity("Reading", i), i + 1, kRegisterCount);
    if (ops_.do_i2c_read(static_cast<int16_t>(i)) == I2cOutcome::NotSent) break;
  }
}

void RegisterForm::cbCopyall_Click() {
  for (int i = 0; i < kRegisterCount; ++i) cbCopyi2c_Click(i);
}

void RegisterForm::cbClose_Click() {
  Running running(*this);
  window_.unload();
}

}  // namespace glim::i2c
