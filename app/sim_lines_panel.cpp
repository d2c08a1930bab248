#include "app/sim_lines_panel.h"

#include <QFormLayout>
#include <QLabel>

#include "app/sim_board_text.h"

namespace glim::app {

SimLinesPanel::SimLinesPanel() : QGroupBox(QStringLiteral("Control lines")) {
  setObjectName(QStringLiteral("lines"));
  auto* form = new QFormLayout(this);
  oneDen_ = new QLabel;
  oneDen_->setObjectName(QStringLiteral("line1DEN"));
  shutb_ = new QLabel;
  shutb_->setObjectName(QStringLiteral("lineSHUTb"));
  form->addRow(QStringLiteral("1D EN"), oneDen_);
  form->addRow(QStringLiteral("SHUTb"), shutb_);
}

void SimLinesPanel::refresh(const usb::BoardState* board) {
  if (board == nullptr || !board->pinsWritten) {
    const QString none = board == nullptr ? QStringLiteral("-") : QStringLiteral("not set yet");
    oneDen_->setText(none);
    shutb_->setText(none);
    return;
  }
  oneDen_->setText(simtext::oneDenText(usb::sim::oneDenLine(board->pinLevel, board->pinDrive)));
  shutb_->setText(simtext::shutbText(usb::sim::shutbLine(board->pinLevel, board->pinDrive)));
}

}  // namespace glim::app
