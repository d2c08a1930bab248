#include "app/sim_timing_panel.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <span>

#include "app/sim_board_text.h"
#include "app/sim_panel_style.h"
#include "usb/sim/timing_decode.h"

namespace glim::app {
namespace {
constexpr int kBytesPerRow = 11;
}  // namespace

using usb::protocol::kTimingBytes;

SimTimingPanel::SimTimingPanel() : QGroupBox(QStringLiteral("Timing generator (43 bytes, last written)")) {
  setObjectName(QStringLiteral("timing"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->setVerticalSpacing(2);
  for (const simtext::DecodedRow& row : simtext::decodedRows(usb::sim::decodeTiming({}))) {
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("decode.") + row.key);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(row.caption, value);
    decoded_.push_back(value);
  }
  layout->addLayout(form);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(2);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (int i = 0; i < kTimingBytes; ++i) {
    const int row = i / kBytesPerRow;
    const int column = i % kBytesPerRow;
    if (column == 0) {
      auto* first = new QLabel(QStringLiteral("%1:").arg(i, 2));
      first->setFont(fixed);
      grid->addWidget(first, row, 0);
    }
    auto* cell = new QLabel;
    cell->setObjectName(indexedName("timingByte", i));
    cell->setFont(fixed);
    cell->setAlignment(Qt::AlignCenter);
    cell->setMinimumWidth(cell->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 2);
    cell->setToolTip(QStringLiteral("byte %1").arg(i));
    timingBytes_[static_cast<std::size_t>(i)] = cell;
    grid->addWidget(cell, row, column + 1);
  }
  grid->setColumnStretch(kBytesPerRow + 1, 1);
  layout->addLayout(grid);
}

void SimTimingPanel::refresh(const usb::BoardState* board) {
  const bool written = board != nullptr && board->timingWritten;
  const std::array<uint8_t, kTimingBytes> none{};
  const auto now = simtext::decodedRows(usb::sim::decodeTiming(written ? board->timing : none));
  const auto before = simtext::decodedRows(usb::sim::decodeTiming(written ? board->previousTiming : none));
  for (std::size_t i = 0; i < decoded_.size() && i < now.size(); ++i) {
    decoded_[i]->setText(written ? now[i].value : QStringLiteral("-"));
    markChanged(decoded_[i], written && now[i].value != before[i].value);
  }
  for (std::size_t i = 0; i < timingBytes_.size(); ++i) {
    QLabel* cell = timingBytes_[i];
    cell->setText(written ? simtext::hexBytes(std::span(&board->timing[i], 1)) : QStringLiteral("--"));
    markChanged(cell, written && board->timing[i] != board->previousTiming[i]);
  }
}

}  // namespace glim::app
