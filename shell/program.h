#pragma once
#include <memory>

#include "forms/dispatcher.h"
#include "forms/ui_host.h"
#include "shell/main_form.h"
#include "usb/driver.h"
#include "usb/vendor_id.h"

namespace glim::shell {

// One run of the program: the USB layer, the queue to the forms thread, and the
// main window.
class Program {
 public:
  // `vendorId`: the boards' vendor id this run looks for.
  Program(std::unique_ptr<usb::Driver> driver, forms::UiHost& ui, uint16_t vendorId = usb::kBoardVendorId)
      : driver_(std::move(driver)), main(*driver_, dispatcher, ui) {
    main.link.useVendorId(vendorId);
  }

  usb::Driver& driver() { return *driver_; }

 private:
  std::unique_ptr<usb::Driver> driver_;

 public:
  forms::Dispatcher dispatcher;
  MainForm main;
};

}  // namespace glim::shell
