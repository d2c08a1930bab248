#pragma once
#include <QGroupBox>
#include <cstdint>
#include <functional>
#include <vector>

#include "usb/bench.h"

class QCheckBox;
class QSpinBox;

namespace glim::app {

// The simulated layer's fault switches, as the script runner has them: refuse
// device information, no pipes, and per pipe refuse, time out, answer short
// after some bytes, or hang (wait until the time-out, a cancel or an unplug). Each switch changes only its own fault;
// the panel shows the layer's faults whoever set them.
class SimFaultPanel : public QGroupBox {
 public:
  // `changed` is told after the panel changed the layer's faults.
  SimFaultPanel(usb::Bench& sim, std::function<void()> changed);
  ~SimFaultPanel() override;

  void refresh();

 private:
  struct PipeSwitches;

  void change(const std::function<void(usb::Faults&)>& edit);

  usb::Bench& sim_;
  std::function<void()> changed_;
  QCheckBox* deviceInfoRefused_ = nullptr;
  QCheckBox* noPipes_ = nullptr;
  std::vector<PipeSwitches> pipes_;
};

}  // namespace glim::app
