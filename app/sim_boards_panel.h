#pragma once
#include <QGroupBox>
#include <functional>
#include <map>

#include "usb/bench.h"

class QButtonGroup;
class QLabel;
class QVBoxLayout;

namespace glim::app {

// "Boards plugged in": one row per board (pick it to be shown, its device
// handle, "Unplug"), and "Plug in a board". Picks the board whose state the
// window shows: the one chosen, else the first plugged in.
class SimBoardsPanel : public QGroupBox {
 public:
  // `changed` is told after the panel plugged or unplugged a board or
  // picked another one to show.
  SimBoardsPanel(usb::Bench& sim, std::function<void()> changed);

  // The board whose state is shown (0: none plugged in).
  int shownBoard() const { return shownBoard_; }
  // Rows as the layer's boards are now.
  void refresh();

 private:
  void addRow(int board);

  usb::Bench& sim_;
  std::function<void()> changed_;
  int shownBoard_ = 0;
  QVBoxLayout* boardRows_ = nullptr;
  QButtonGroup* boardPick_ = nullptr;
  std::map<int, QWidget*> rows_;
  QLabel* noBoards_ = nullptr;
  QLabel* shownCaption_ = nullptr;
};

}  // namespace glim::app
