#pragma once
#include <cstdint>

#include "forms/ui_host.h"
#include "usb/board_link.h"

namespace glim::i2c {

class RegisterWindow;

// The I2C command packets (pipe 2 out, answers on pipe 130). They read the
// register window's boxes and write its read boxes; the window is created with
// its defaults when it does not exist.
class I2cOperations {
 public:
  I2cOperations(usb::BoardLink& link, forms::UiHost& ui) : link_(link), ui_(ui) {}
  void setWindow(RegisterWindow& window) { window_ = &window; }

  void do_i2c_write(int16_t Index);
  void do_i2c_writeall();
  void do_i2c_read(int16_t Index);
  void do_i2c_readall(int16_t Index);

 private:
  usb::BoardLink& link_;
  forms::UiHost& ui_;
  RegisterWindow* window_ = nullptr;
};

}  // namespace glim::i2c
