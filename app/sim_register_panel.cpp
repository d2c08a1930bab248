#include "app/sim_register_panel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <span>

#include "app/sim_board_text.h"
#include "app/sim_panel_style.h"
#include "i2c/register_form.h"

namespace glim::app {

using usb::protocol::kRegisterCount;

// A chip register's box. From the moment it takes the focus until the person
// leaves it or presses Enter, it is theirs: a refresh leaves its text,
// selection and caret alone, however often the board changes meanwhile.
class SimRegisterPanel::RegisterBox : public QLineEdit {
 public:
  bool held = false;
  std::function<void()> left;  // told after the box lost the focus

 protected:
  void focusInEvent(QFocusEvent* e) override {
    held = true;
    QLineEdit::focusInEvent(e);
  }
  void focusOutEvent(QFocusEvent* e) override {
    QLineEdit::focusOutEvent(e);  // applies a finished edit first
    held = false;
    if (left) left();
  }
};

SimRegisterPanel::SimRegisterPanel(usb::Bench& sim, std::function<void()> changed,
                                   std::function<void(int reg, uint8_t value)> edited)
    : QGroupBox(QStringLiteral("Chip registers (edit a value and press Enter)")),
      sim_(sim),
      changed_(std::move(changed)),
      edited_(std::move(edited)) {
  setObjectName(QStringLiteral("registers"));
  auto* grid = new QGridLayout(this);
  grid->setVerticalSpacing(2);
  for (int i = 0; i < kRegisterCount; ++i) {
    auto* name = new QLabel(QString::fromLatin1(i2c::registerName(i)));
    name->setObjectName(indexedName("chipRegName", i));
    auto* value = new RegisterBox;
    value->setObjectName(indexedName("chipReg", i));
    value->setFixedWidth(34);
    value->setMaxLength(2);
    value->setAlignment(Qt::AlignCenter);
    value->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{1,2}")), value));
    connect(value, &QLineEdit::editingFinished, this, [this, i] { edit(i); });
    // After Enter the box follows the board again, until the person acts in it.
    const auto acted = [this, value] {
      if (!setting_ && value->hasFocus()) value->held = true;
    };
    connect(value, &QLineEdit::textEdited, this, acted);
    connect(value, &QLineEdit::selectionChanged, this, acted);
    connect(value, &QLineEdit::cursorPositionChanged, this, acted);
    value->left = [this, i] { showBoardValue(i); };
    auto* ignore = new QCheckBox(QStringLiteral("ignore writes"));
    ignore->setObjectName(indexedName("chipRegIgnore", i));
    connect(ignore, &QCheckBox::clicked, this, [this, i](bool on) {
      usb::Faults faults = sim_.faults();
      if (on) {
        faults.ignoredRegisters.insert(i);
      } else {
        faults.ignoredRegisters.erase(i);
      }
      sim_.setFaults(faults);
      changed_();
    });
    names_[static_cast<std::size_t>(i)] = name;
    values_[static_cast<std::size_t>(i)] = value;
    ignore_[static_cast<std::size_t>(i)] = ignore;
  }
  grid->setColumnMinimumWidth(1, 40);
  grid->setColumnStretch(0, 1);
  setColumns(2);
}

void SimRegisterPanel::setColumns(int columns) {
  columns = columns == 1 ? 1 : 2;
  if (columns == columns_) return;
  columns_ = columns;
  auto* grid = static_cast<QGridLayout*>(layout());
  const int rows = (kRegisterCount + columns - 1) / columns;
  for (int i = 0; i < kRegisterCount; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const int column = i < rows ? 0 : 3;
    // Moved, not created anew: the boxes keep what a person is typing.
    for (QWidget* w :
         {static_cast<QWidget*>(names_[at]), static_cast<QWidget*>(values_[at]), static_cast<QWidget*>(ignore_[at])}) {
      grid->removeWidget(w);
    }
    grid->addWidget(names_[at], i % rows, column);
    grid->addWidget(values_[at], i % rows, column + 1);
    grid->addWidget(ignore_[at], i % rows, column + 2);
  }
  grid->setColumnMinimumWidth(4, columns == 2 ? 40 : 0);
  grid->setColumnStretch(3, columns == 2 ? 1 : 0);
  grid->invalidate();
  updateGeometry();
}

void SimRegisterPanel::refresh(const usb::BoardState* board) {
  const usb::Faults faults = sim_.faults();
  for (std::size_t i = 0; i < values_.size(); ++i) {
    ignore_[i]->setChecked(faults.ignoredRegisters.contains(static_cast<int>(i)));
    QLineEdit* value = values_[i];
    value->setEnabled(board != nullptr);
    const bool changed = board != nullptr && board->changedByLastWrite[i];
    markChanged(value, changed);
    markChanged(names_[i], changed);
    board_[i] = board != nullptr ? simtext::hexBytes(std::span(&board->registers[i], 1)) : QString();
    showBoardValue(static_cast<int>(i));
  }
}

void SimRegisterPanel::showBoardValue(int reg) {
  RegisterBox* value = values_[static_cast<std::size_t>(reg)];
  const QString& text = board_[static_cast<std::size_t>(reg)];
  // Setting even the same text would take the selection and the caret.
  if (value->held || value->text() == text) return;
  setting_ = true;
  value->setText(text);
  setting_ = false;
}

void SimRegisterPanel::edit(int reg) {
  RegisterBox* value = values_[static_cast<std::size_t>(reg)];
  value->held = false;
  if (!value->isModified()) {
    showBoardValue(reg);
    return;
  }
  value->setModified(false);
  bool ok = false;
  const uint v = value->text().toUInt(&ok, 16);
  if (ok && v <= 0xFF) {
    sim_.setChipRegister(reg, static_cast<uint8_t>(v));
    if (edited_) edited_(reg, static_cast<uint8_t>(v));
  }
  changed_();
}

}  // namespace glim::app
