#pragma once
#include <QGroupBox>
#include <QString>
#include <array>
#include <functional>

#include "usb/bench.h"
#include "usb/sim/sim_board.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace glim::app {

// "Chip registers": the shown board's chip registers, each editable as the
// hardware's own value (as `board reg` in a script sets it), each with a switch
// that makes the chip ignore writes to it (`board ignore`).
class SimRegisterPanel : public QGroupBox {
 public:
  // `changed` is told after the panel changed a register; `edited`, when the
  // person set a register's value, before `changed`.
  SimRegisterPanel(usb::Bench& sim, std::function<void()> changed,
                   std::function<void(int reg, uint8_t value)> edited = {});
  // `board` is the shown board's state, or null when none is plugged in.
  void refresh(const usb::BoardState* board);
  // The registers in two columns side by side, or all in one (a narrow window).
  void setColumns(int columns);
  int columns() const { return columns_; }

 private:
  class RegisterBox;
  void edit(int reg);
  // Shows the board's value in the register's box, unless the person is in it.
  void showBoardValue(int reg);

  usb::Bench& sim_;
  std::function<void()> changed_;
  std::function<void(int reg, uint8_t value)> edited_;
  std::array<QLabel*, usb::protocol::kRegisterCount> names_{};
  std::array<RegisterBox*, usb::protocol::kRegisterCount> values_{};
  std::array<QString, usb::protocol::kRegisterCount> board_{};  // what each box shows when left alone
  bool setting_ = false;                                        // a refresh is setting a box
  int columns_ = 0;
  std::array<QCheckBox*, usb::protocol::kRegisterCount> ignore_{};
};

}  // namespace glim::app
