#include "app/sim_boards_panel.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "app/sim_panel_style.h"
#include "text/number_format.h"

namespace glim::app {

SimBoardsPanel::SimBoardsPanel(usb::Bench& sim, std::function<void()> changed)
    : QGroupBox(QStringLiteral("Boards plugged in")), sim_(sim), changed_(std::move(changed)) {
  setObjectName(QStringLiteral("boards"));
  auto* layout = new QVBoxLayout(this);
  boardRows_ = new QVBoxLayout;
  boardRows_->setSpacing(2);
  noBoards_ = new QLabel(QStringLiteral("No board plugged in"));
  boardRows_->addWidget(noBoards_);
  layout->addLayout(boardRows_);
  boardPick_ = new QButtonGroup(this);
  connect(boardPick_, &QButtonGroup::idClicked, this, [this](int board) {
    shownBoard_ = board;
    changed_();
  });

  auto* plug = new QPushButton(QStringLiteral("Plug in a board"));
  plug->setObjectName(QStringLiteral("plug"));
  connect(plug, &QPushButton::clicked, this, [this] {
    shownBoard_ = sim_.plug();
    changed_();
  });
  shownCaption_ = new QLabel;
  shownCaption_->setObjectName(QStringLiteral("shownBoard"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(plug);
  bottom->addStretch(1);
  bottom->addWidget(shownCaption_);
  layout->addLayout(bottom);
}

void SimBoardsPanel::refresh() {
  const std::vector<int> plugged = sim_.pluggedBoards();
  // Rows of boards gone away go; rows of new ones come, in plugging order.
  for (auto it = rows_.begin(); it != rows_.end();) {
    if (std::find(plugged.begin(), plugged.end(), it->first) == plugged.end()) {
      // Its "Unplug" may be the button being clicked: delete the row later.
      QWidget* row = it->second;
      if (QAbstractButton* pick = boardPick_->button(it->first)) boardPick_->removeButton(pick);
      row->hide();
      boardRows_->removeWidget(row);
      row->deleteLater();
      it = rows_.erase(it);
    } else {
      ++it;
    }
  }
  for (int board : plugged) {
    if (!rows_.contains(board)) addRow(board);
  }
  noBoards_->setVisible(plugged.empty());

  if (std::find(plugged.begin(), plugged.end(), shownBoard_) == plugged.end()) {
    shownBoard_ = plugged.empty() ? 0 : plugged.front();
  }
  if (QAbstractButton* pick = boardPick_->button(shownBoard_)) pick->setChecked(true);
  shownCaption_->setText(shownBoard_ == 0 ? QString() : QStringLiteral("Showing board %1").arg(shownBoard_));
}

void SimBoardsPanel::addRow(int board) {
  auto* row = new QWidget;
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);
  auto* pick = new QRadioButton(QStringLiteral("Board %1").arg(board));
  pick->setObjectName(indexedName("showBoard", board));
  pick->setToolTip(QStringLiteral("Show this board's state"));
  boardPick_->addButton(pick, board);
  auto* handle =
      new QLabel(QStringLiteral("device handle &H%1").arg(QString::fromStdString(text::hex32(sim_.handleOf(board)))));
  auto* unplug = new QPushButton(QStringLiteral("Unplug"));
  unplug->setObjectName(indexedName("unplug", board));
  connect(unplug, &QPushButton::clicked, this, [this, board] {
    sim_.unplug(board);
    changed_();
  });
  line->addWidget(pick);
  line->addWidget(handle, 1);
  line->addWidget(unplug);
  boardRows_->addWidget(row);
  rows_[board] = row;
}

}  // namespace glim::app
