#pragma once
#include <QGroupBox>
#include <cstddef>
#include <optional>

#include "usb/bench.h"

class QPlainTextEdit;

namespace glim::app {

// The simulated layer's packet trace, one line a packet, and a button that
// clears it. Appends only what is new; keeps as many lines as the layer keeps.
class SimTraceView : public QGroupBox {
 public:
  explicit SimTraceView(usb::Bench& sim);

  void refresh();
  void clear();

 private:
  usb::Bench& sim_;
  QPlainTextEdit* pane_ = nullptr;
  // The last entry shown and how many there were then.
  std::optional<usb::PacketTraceEntry> last_;
  std::size_t shown_ = 0;
};

}  // namespace glim::app
