#pragma once
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "forms/control.h"
#include "forms/control_array.h"
#include "forms/form.h"
#include "forms/signal.h"
#include "forms/status_label.h"
#include "i2c/register_window.h"
#include "usb/protocol.h"

namespace glim::i2c {

class I2cOperations;
class RegisterDescriptions;

// The name of chip register `address` (0..21) as its row shows it
// ("0x00 PWM Brightness"); empty for an address the chip lacks.
std::string_view registerName(int address);

// The register window `Glimmora_i2c` as a form: slave address, 22 register
// rows, and the buttons under them.
class RegisterForm {
 public:
  RegisterForm(I2cOperations& ops, RegisterWindow& window);
  RegisterForm(const RegisterForm&) = delete;
  RegisterForm& operator=(const RegisterForm&) = delete;

  forms::Form form{"Glimmora_i2c", "Glimmora QXB40218 USB interface i2c"};
  // Label1(0..21): register names; Label1(22): "Slave Address".
  forms::ControlArray<forms::Label> Label1{"Label1", usb::protocol::kRegisterCount + 1};
  forms::TextBox tbI2Caddr{"tbI2Caddr"};
  forms::ControlArray<forms::TextBox> tbI2Creg{"tbI2Creg", usb::protocol::kRegisterCount};
  forms::ControlArray<forms::CommandButton> cbWritei2c{"cbWritei2c", usb::protocol::kRegisterCount};
  forms::ControlArray<forms::TextBox> tbI2Cregread{"tbI2Cregread", usb::protocol::kRegisterCount};
  forms::ControlArray<forms::CommandButton> cbReadi2c{"cbReadi2c", usb::protocol::kRegisterCount};
  forms::ControlArray<forms::CommandButton> cbCopyi2c{"cbCopyi2c", usb::protocol::kRegisterCount};
  forms::CommandButton cbClose{"cbClose"};
  forms::CommandButton cbWriteall{"cbWriteall"};
  // Writes only the registers whose write box differs from what the chip is
  // known to hold (I2cOperations::knownValue), or whose value is not known.
  forms::CommandButton cbWritechanged{"cbWritechanged"};
  forms::CommandButton cbReadall{"cbReadall"};
  forms::CommandButton cbCopyall{"cbCopyall"};
  // Read back after write: each write the board took is followed by a read of
  // the same register. A register that read back something else is marked in
  // its row (lblReadback) until it is next written.
  forms::CheckBox cbVerify{"cbVerify"};
  forms::ControlArray<forms::Label> lblReadback{"lblReadback", usb::protocol::kRegisterCount};
  forms::StatusLabel lblStatus{"lblStatus"};
  // Watching: a watched register is read once per interval while a board is
  // held (RegisterWatch); its mark (lblWatch) says "changed" for a while after
  // its value changed, or "no answer".
  forms::ControlArray<forms::CheckBox> cbWatch{"cbWatch", usb::protocol::kRegisterCount};
  forms::Label lblWatchms{"lblWatchms", -1, "Watch every (ms)"};
  forms::TextBox tbWatchms{"tbWatchms"};
  forms::ControlArray<forms::Label> lblWatch{"lblWatch", usb::protocol::kRegisterCount};
  // Told when a Watch box is clicked (true) or the interval is changed (false).
  forms::Signal<std::function<void(bool clicked)>> onWatchChanged;
  // The note on a read box that a failed or cancelled "Read All" did not read.
  static constexpr std::string_view kNotReadNote = "not read by the last Read All";
  // The note on a read box never read (nor typed into) since the window was
  // made: its "0" is no value of the chip's.
  static constexpr std::string_view kNotReadYetNote = "not read yet";
  // A read box holds a value the chip gave (or one a person typed): not one
  // never read, nor the bytes of an answer the board marked as no value
  // (those carry the reason as their note). One a failed Read All did not
  // read again still counts.
  bool holdsRead(int index) const;

  void cbWritei2c_Click(int Index);
  void cbReadi2c_Click(int Index);
  void cbCopyi2c_Click(int Index);
  void cbWriteall_Click();
  void cbWritechanged_Click();
  void cbReadall_Click();
  void cbCopyall_Click();
  void cbClose_Click();

  // True while one of this form's handlers runs: a closed form is freed only
  // when none does.
  bool handlerRunning() const { return running_ > 0; }

  // Gives each row's label the description and access the descriptions in
  // use give its register (as its hint), or none; then tells rowsDescribed.
  void describeRows();
  // The register descriptions in use (they may change while the form lives).
  const RegisterDescriptions& descriptions() const;
  // Told when the descriptions in use changed: views that show more of them
  // than the rows' hints read them again.
  forms::Signal<std::function<void()>> rowsDescribed;

 private:
  class Running;
  struct WriteCheck;
  struct WriteTally;
  // Whether this form is still the window's form (a handler may have closed it).
  bool live() const;
  // One register written, and read back when cbVerify is checked.
  WriteCheck writeChecked(int index);
  // Registers `rows` written one after another as "Write All" does, and what
  // became of them.
  WriteTally writeRows(const std::vector<int>& rows);
  // The status line after writeRows: `written` follows the count of
  // registers written when any were.
  void showWritten(const std::string& action, const WriteTally& tally, const std::string& written);
  std::string label(int index) const { return Label1[index].caption(); }
  // " (\"0x4C\" reads as 00)" after a write whose value or slave address
  // text the hexadecimal rule reads only in part; empty otherwise.
  std::string misreadNote(int index) const;

  I2cOperations& ops_;
  RegisterWindow& window_;
  int running_ = 0;
};

}  // namespace glim::i2c
