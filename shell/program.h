#pragma once
#include <memory>

#include "forms/dispatcher.h"
#include "forms/ui_host.h"
#include "shell/main_form.h"
#include "usb/bench.h"
#include "usb/driver.h"
#include "usb/vendor_id.h"

namespace glim::shell {

// One run of the program: the USB layer, the queue to the forms thread, and the
// main window.
class Program {
 public:
  // `vendorId`: the boards' vendor id this run looks for. `layer.bench` is
  // the bench behind the driver, or null for real boards.
  Program(usb::DriverAndBench layer, forms::UiHost& ui, uint16_t vendorId = usb::kBoardVendorId)
      : driver_(std::move(layer.driver)), bench_(layer.bench), main(*driver_, dispatcher, ui) {
    main.link.useVendorId(vendorId);
  }
  // A program with no bench, as on real boards.
  Program(std::unique_ptr<usb::Driver> driver, forms::UiHost& ui, uint16_t vendorId = usb::kBoardVendorId)
      : Program(usb::DriverAndBench{std::move(driver), nullptr}, ui, vendorId) {}

  usb::Driver& driver() { return *driver_; }
  // The bench the boards are on: the simulated layer's, or null for real boards.
  usb::Bench* bench() { return bench_; }

 private:
  std::unique_ptr<usb::Driver> driver_;
  usb::Bench* bench_;

 public:
  forms::Dispatcher dispatcher;
  MainForm main;
};

}  // namespace glim::shell
