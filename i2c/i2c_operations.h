#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "forms/ui_host.h"
#include "usb/board_link.h"

namespace glim::i2c {

class RegisterWindow;
class RegisterForm;

// What became of one I2C operation. Transfer failures are not told apart from
// success here: they are in the log, as for every transfer.
enum class I2cOutcome {
  Sent,         // the packet went to the pipe methods
  NotConnected, // no board held: the user was told, nothing changed
  NotSent,      // a text does not fit its byte: the user was told, nothing sent
};

// The I2C command packets (out on the I2C pipe, answers on the answer pipe). They read the
// register window's boxes and write its read boxes; the window is created with
// its defaults when it does not exist.
class I2cOperations {
 public:
  I2cOperations(usb::BoardLink& link, forms::UiHost& ui) : link_(link), ui_(ui) {}
  void setWindow(RegisterWindow& window) { window_ = &window; }
  usb::BoardLink& link() { return link_; }

  I2cOutcome do_i2c_write(int16_t Index);
  I2cOutcome do_i2c_writeall();
  I2cOutcome do_i2c_read(int16_t Index);
  // Index is the first register put into the request; the answer fills all 22
  // read boxes whatever it is.
  I2cOutcome do_i2c_readall(int16_t Index);

 private:
  // The slave address for a write (address) or a read (address + 1), or
  // nothing after telling the user it does not fit a byte.
  std::optional<uint8_t> slaveAddress(RegisterForm& form, bool forRead);
  // Register i's write value, or nothing after telling the user.
  std::optional<uint8_t> writeValue(RegisterForm& form, int i);
  // Sends a read request and reads its answer into `answer`; returns how many
  // bytes of it really arrived (0 when the read failed).
  uint32_t requestAndRead(std::span<const uint8_t> request, std::span<uint8_t> answer);
  void tellDoesNotFit(const std::string& what, const std::string& text);

  usb::BoardLink& link_;
  forms::UiHost& ui_;
  RegisterWindow* window_ = nullptr;
};

}  // namespace glim::i2c
