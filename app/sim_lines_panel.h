#pragma once
#include <QGroupBox>

#include "usb/sim/sim_board.h"

class QLabel;

namespace glim::app {

// "Control lines": the 1D EN and SHUTb lines as the shown board drives them.
class SimLinesPanel : public QGroupBox {
 public:
  SimLinesPanel();
  // `board` is the shown board's state, or null when none is plugged in.
  void refresh(const usb::BoardState* board);

 private:
  QLabel* oneDen_ = nullptr;
  QLabel* shutb_ = nullptr;
};

}  // namespace glim::app
