#pragma once
#include <functional>
#include <memory>
#include <string>

#include "forms/dispatcher.h"
#include "forms/signal.h"
#include "forms/ui_host.h"
#include "i2c/register_descriptions.h"
#include "shell/main_form.h"
#include "shell/register_description_file.h"
#include "text/outcome.h"
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
    main.i2c.useDescriptions(descriptions_);
  }
  // A program with no bench, as on real boards.
  Program(std::unique_ptr<usb::Driver> driver, forms::UiHost& ui, uint16_t vendorId = usb::kBoardVendorId)
      : Program(usb::DriverAndBench{std::move(driver), nullptr}, ui, vendorId) {}

  usb::Driver& driver() { return *driver_; }
  // The bench the boards are on: the simulated layer's, or null for real boards.
  usb::Bench* bench() { return bench_; }

  // The register descriptions in use: none until a file is loaded, so that
  // registers go by their rows' labels.
  const i2c::RegisterDescriptions& registerDescriptions() const { return descriptions_; }
  // The file they came from ("" while there are none).
  const std::string& registerDescriptionsFile() const { return descriptionsFile_; }
  // Uses the descriptions of the file at `path` from now on. A file that
  // cannot be read or is refused changes nothing; the outcome says why, with
  // the line and column, for the front end to show.
  text::Outcome loadRegisterDescriptions(const std::string& path) {
    i2c::RegisterDescriptions read;
    if (text::Outcome outcome = readRegisterDescriptions(path, read); !outcome.ok()) return outcome;
    useRegisterDescriptions(std::move(read), path);
    return {};
  }
  // Descriptions read already (readRegisterDescriptions), from `path`.
  void useRegisterDescriptions(i2c::RegisterDescriptions descriptions, std::string path) {
    descriptions_ = std::move(descriptions);
    descriptionsFile_ = std::move(path);
    main.i2c.useDescriptions(descriptions_);  // the register window's rows say what is new
    onRegisterDescriptionsChanged.notify();
  }
  // The shipped file, when it is beside the program or installed with it;
  // done, with no descriptions, when it is in neither place.
  text::Outcome loadShippedRegisterDescriptions() {
    const std::string shipped = shippedRegisterFile();
    return shipped.empty() ? text::Outcome() : loadRegisterDescriptions(shipped);
  }
  // Told after other descriptions came into use.
  forms::Signal<std::function<void()>> onRegisterDescriptionsChanged;

 private:
  std::unique_ptr<usb::Driver> driver_;
  usb::Bench* bench_;
  i2c::RegisterDescriptions descriptions_;
  std::string descriptionsFile_;

 public:
  forms::Dispatcher dispatcher;
  MainForm main;
};

}  // namespace glim::shell
