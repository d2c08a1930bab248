#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "forms/ui_host.h"
#include "usb/board_link.h"

namespace glim::i2c {

class RegisterWindow;
class RegisterForm;

inline constexpr int32_t kCommandPipe = 2;   // I2C command packets go out here
inline constexpr int32_t kAnswerPipe = 130;  // 0x82: the board's answers come in here

inline constexpr uint8_t kCommandWrite = 0x00;
inline constexpr uint8_t kCommandRead = 0x01;
inline constexpr uint8_t kCommandBlockRead = 0x17;  // also the answer's length

// What became of one I2C operation. Transfer failures are not told apart from
// success here: they are in the log, as for every transfer.
enum class I2cOutcome {
  Sent,         // the packet went to the pipe methods
  NotConnected, // no board held: the user was told, nothing changed
  NotSent,      // a text does not fit its byte: the user was told, nothing sent
};

// The I2C command packets (pipe 2 out, answers on pipe 130). They read the
// register window's boxes and write its read boxes; the window is created with
// its defaults when it does not exist.
class I2cOperations {
 public:
  I2cOperations(usb::BoardLink& link, forms::UiHost& ui) : link_(link), ui_(ui) {}
  void setWindow(RegisterWindow& window) { window_ = &window; }

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
  // Sends the 3-byte read request and reads an answer of `answerLength` bytes;
  // returns how many of them really arrived in this call.
  uint32_t requestAndRead(uint8_t command, uint8_t address, uint8_t firstRegister, int32_t answerLength);
  void tellDoesNotFit(const std::string& what, const std::string& text);

  usb::BoardLink& link_;
  forms::UiHost& ui_;
  RegisterWindow* window_ = nullptr;
};

}  // namespace glim::i2c
