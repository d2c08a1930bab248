#pragma once
#include <QGroupBox>
#include <array>
#include <vector>

#include "usb/sim/sim_board.h"

class QLabel;

namespace glim::app {

// "Timing generator": the bytes the shown board was given last, decoded into
// what they mean and as a grid of bytes, with what changed since the write
// before marked.
class SimTimingPanel : public QGroupBox {
 public:
  SimTimingPanel();
  // `board` is the shown board's state, or null when none is plugged in.
  void refresh(const usb::BoardState* board);

 private:
  std::vector<QLabel*> decoded_;
  std::array<QLabel*, usb::protocol::kTimingBytes> timingBytes_{};
};

}  // namespace glim::app
