#include "app/register_bits_panel.h"

#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <string>

#include "app/bindings.h"
#include "i2c/register_descriptions.h"
#include "i2c/register_form.h"
#include "text/hex_text.h"
#include "text/reading_note.h"

namespace glim::app {
namespace {

constexpr int kBitWidth = 24;
constexpr int kBits = 8;
// The grid's columns: captions, bits 7..0, a gap, choices.
constexpr int kGapColumn = 1 + kBits;
constexpr int kChoiceColumn = kGapColumn + 1;
constexpr int kNamesRow = 1;
constexpr int kNumbersRow = 2;
constexpr int kWriteRow = 3;
constexpr int kReadRow = 4;
// Choices stand in columns of this many beside the bits.
constexpr int kChoicesPerColumn = 4;
constexpr int kChoiceMaxWidth = 220;

int bitColumn(int bit) { return 1 + (kBits - 1 - bit); }

QString qText(const std::string& text) { return QString::fromStdString(text); }

QString quoted(const std::string& text) { return qText(text::quoted(text)); }

QString registerAddress(int reg) { return QStringLiteral("0x") + qText(text::hexText(static_cast<uint32_t>(reg), 2)); }

// A field's value as its bits read, high bit first ("01").
QString binary(unsigned value, int width) {
  QString out;
  for (int bit = width - 1; bit >= 0; --bit) out += ((value >> bit) & 1u) != 0 ? QLatin1Char('1') : QLatin1Char('0');
  return out;
}

// The indicators' frames: plain, or marked where the chip holds another bit
// than the write box asks for.
const QString kIndicatorPlain = QStringLiteral("QLabel { border: 1px solid palette(mid); }");
const QString kIndicatorMarked =
    QStringLiteral("QLabel { border: 2px solid #b00020; color: #b00020; font-weight: bold; }");

}  // namespace

RegisterBitsPanel::RegisterBitsPanel(i2c::RegisterForm& form, Binder& binder, QWidget* parent)
    : QWidget(parent), form_(&form), binder_(binder) {
  setObjectName(QStringLiteral("registerBits"));
  build();
  const auto follow = [this](int reg) {
    return [this, reg](forms::ControlEvent event) {
      if (reg == reg_ && (event == forms::ControlEvent::Text || event == forms::ControlEvent::Note)) refreshSoon();
    };
  };
  for (int i = 0; i < form.tbI2Creg.size(); ++i) {
    connections_.push_back(form.tbI2Creg[i].subscribe(follow(i)));
    connections_.push_back(form.tbI2Cregread[i].subscribe(follow(i)));
    // A read box's note says whether its text is the chip's.
    connections_.push_back(form.tbI2Cregread[i].subscribeNotes(follow(i)));
  }
  connections_.push_back(form.rowsDescribed.connectScoped([this] { describe(); }));
  connections_.push_back(binder_.dispatcher().onHandlerEnded.connectScoped([this] {
    if (refreshQueued_) refresh();
  }));
  describe();
}

RegisterBitsPanel::~RegisterBitsPanel() { detach(); }

void RegisterBitsPanel::detach() {
  connections_.clear();
  form_ = nullptr;
}

void RegisterBitsPanel::build() {
  bits_ = new QGridLayout(this);
  bits_->setContentsMargins(8, 4, 8, 4);
  bits_->setHorizontalSpacing(2);
  bits_->setVerticalSpacing(2);

  heading_ = new QLabel(this);
  heading_->setObjectName(QStringLiteral("bitsHeading"));
  QFont bold = heading_->font();
  bold.setBold(true);
  heading_->setFont(bold);
  // Beside the heading, what the write box reads as when that is not what it
  // shows: cut where the panel is too narrow (whole in its tooltip), so that
  // a long text typed never widens the window.
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("bitsNote"));
  note_->setStyleSheet(QStringLiteral("color: #8a4b00;"));
  note_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* top = new QHBoxLayout;
  top->setSpacing(12);
  top->addWidget(heading_);
  top->addWidget(note_, 1);
  bits_->addLayout(top, 0, 0, 1, kChoiceColumn + 1);

  const auto caption = [this](const char* text, int row) {
    auto* label = new QLabel(QString::fromLatin1(text), this);
    bits_->addWidget(label, row, 0);
    bits_->setAlignment(label, Qt::AlignLeft | Qt::AlignVCenter);
  };
  caption("Bit", kNumbersRow);
  caption("Write", kWriteRow);
  caption("Read", kReadRow);
  // The names' line keeps its height for registers without fields.
  bits_->setRowMinimumHeight(kNamesRow, fontMetrics().height() + 4);

  for (int bit = kBits - 1; bit >= 0; --bit) {
    auto* number = new QLabel(QString::number(bit), this);
    number->setAlignment(Qt::AlignCenter);
    bits_->addWidget(number, kNumbersRow, bitColumn(bit));

    // Created high bit first, so that Tab goes left to right.
    auto* toggle = new QPushButton(this);
    toggle->setObjectName(QStringLiteral("bitsWrite%1").arg(bit));
    toggle->setCheckable(true);
    toggle->setAutoDefault(false);
    toggle->setFixedWidth(kBitWidth);
    connect(toggle, &QPushButton::clicked, this, [this, bit] { flip(bit); });
    bits_->addWidget(toggle, kWriteRow, bitColumn(bit));
    writeBits_[static_cast<std::size_t>(bit)] = toggle;

    auto* indicator = new QLabel(this);
    indicator->setObjectName(QStringLiteral("bitsRead%1").arg(bit));
    indicator->setAlignment(Qt::AlignCenter);
    indicator->setFixedSize(kBitWidth, toggle->sizeHint().height() - 2);
    indicator->setStyleSheet(kIndicatorPlain);
    bits_->addWidget(indicator, kReadRow, bitColumn(bit));
    readBits_[static_cast<std::size_t>(bit)] = indicator;
  }

  bits_->setColumnMinimumWidth(kGapColumn, 8);

  choices_ = new QGridLayout;
  choices_->setContentsMargins(12, 0, 0, 0);
  choices_->setHorizontalSpacing(4);
  choices_->setVerticalSpacing(2);
  bits_->addLayout(choices_, kNamesRow, kChoiceColumn, kReadRow - kNamesRow + 1, 1, Qt::AlignLeft | Qt::AlignTop);
  bits_->setColumnStretch(kChoiceColumn, 1);
}

void RegisterBitsPanel::followRows(QWidget* rows) {
  if (form_ == nullptr) return;
  for (int i = 0; i < form_->tbI2Creg.size(); ++i) {
    for (const forms::TextBox* box : {&form_->tbI2Creg[i], &form_->tbI2Cregread[i]}) {
      if (auto* edit = rows->findChild<QLineEdit*>(qText(box->qualifiedName()))) {
        edit->setProperty("registerRow", i);
        edit->installEventFilter(this);
      }
    }
  }
}

bool RegisterBitsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn && form_ != nullptr) {
    const QVariant row = watched->property("registerRow");
    if (row.isValid()) select(row.toInt());
  }
  return QWidget::eventFilter(watched, event);
}

void RegisterBitsPanel::select(int reg) {
  if (form_ == nullptr || reg < 0 || reg >= form_->tbI2Creg.size() || reg == reg_) return;
  reg_ = reg;
  describe();
}

void RegisterBitsPanel::clearFields() {
  for (QWidget* w : fieldWidgets_) delete w;
  fieldWidgets_.clear();
  choiceBoxes_.clear();
}

void RegisterBitsPanel::describe() {
  clearFields();
  if (form_ == nullptr) return;
  for (int bit = 0; bit < kBits; ++bit) {
    writeBits_[static_cast<std::size_t>(bit)]->setToolTip(bitTip(bit));
    readBits_[static_cast<std::size_t>(bit)]->setToolTip(bitTip(bit));
  }
  if (reg_ < 0) {
    heading_->setText(QStringLiteral("Bits: click in a register's write or read box"));
    heading_->setToolTip(QString());
    refresh();
    return;
  }
  const i2c::RegisterDescriptions& descriptions = form_->descriptions();
  heading_->setText(qText(descriptions.heading(reg_)));
  // The description and access, as the row's label gives them.
  heading_->setToolTip(qText(form_->Label1[reg_].hint()));
  const i2c::RegisterDescription* described = descriptions.find(reg_);
  if (described == nullptr) {
    refresh();
    return;
  }
  const int spacing = bits_->horizontalSpacing();
  for (std::size_t k = 0; k < described->fields.size(); ++k) {
    const i2c::FieldDescription& field = described->fields[k];
    const QString name = qText(field.name);
    const QString where = field.width() == 1 ? QStringLiteral("bit %1").arg(field.low)
                                             : QStringLiteral("bits %1:%2").arg(field.high).arg(field.low);
    QString tip = QStringLiteral("%1, %2 of register %3").arg(name, where, registerAddress(reg_));
    if (!field.description.empty()) tip += QLatin1Char('\n') + qText(field.description);

    // The name over the bits it spans, cut short where they are too narrow.
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("bitsName_") + name);
    label->setAccessibleName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(tip);
    label->setStyleSheet(QStringLiteral("QLabel { border: none; border-bottom: 1px solid #8a8a8a; }"));
    const int span = field.width() * kBitWidth + (field.width() - 1) * spacing;
    label->setText(label->fontMetrics().elidedText(name, Qt::ElideRight, span - 2));
    label->setFixedWidth(span);
    bits_->addWidget(label, kNamesRow, bitColumn(field.high), 1, field.width());
    fieldWidgets_.push_back(label);

    if (field.valueNames.empty()) continue;
    const int at = static_cast<int>(choiceBoxes_.size());
    auto* caption = new QLabel(name, this);
    caption->setToolTip(tip);
    auto* box = new QComboBox(this);
    box->setObjectName(QStringLiteral("bitsField_") + name);
    box->setToolTip(tip);
    for (const auto& [value, valueName] : field.valueNames) {
      box->addItem(QStringLiteral("%1 (%2)").arg(qText(valueName), binary(value, field.width())), value);
    }
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // A long value name does not widen the window without end.
    box->setMaximumWidth(kChoiceMaxWidth);
    const Choice choice{box, k};
    connect(box, &QComboBox::activated, this, [this, choice](int index) { choose(choice, index); });
    choices_->addWidget(caption, at % kChoicesPerColumn, 2 * (at / kChoicesPerColumn));
    choices_->addWidget(box, at % kChoicesPerColumn, 2 * (at / kChoicesPerColumn) + 1);
    fieldWidgets_.push_back(caption);
    fieldWidgets_.push_back(box);
    choiceBoxes_.push_back(choice);
  }
  refresh();
}

QString RegisterBitsPanel::bitTip(int bit) const {
  if (reg_ < 0) return QStringLiteral("Bit %1 of the register whose write or read box you click in").arg(bit);
  QString tip = QStringLiteral("Bit %1 of register %2").arg(bit).arg(registerAddress(reg_));
  if (const i2c::RegisterDescription* described = form_->descriptions().find(reg_)) {
    for (const i2c::FieldDescription& field : described->fields) {
      if (bit <= field.high && bit >= field.low) tip += QStringLiteral(": ") + qText(field.name);
    }
  }
  return tip;
}

void RegisterBitsPanel::refreshSoon() {
  if (!binder_.dispatcher().inHandler()) {
    refresh();
    return;
  }
  // Once, when the handler ends (it may change the box many times), or at
  // the next turn of the event loop should it wait in a dialog first.
  if (refreshQueued_) return;
  refreshQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    if (refreshQueued_) refresh();
  });
}

void RegisterBitsPanel::refresh() {
  refreshQueued_ = false;
  const bool shown = form_ != nullptr && reg_ >= 0;
  // The write box as the hexadecimal rule reads it, as a write sends it.
  const std::string& written = shown ? form_->tbI2Creg[reg_].text() : std::string();
  const uint32_t value = shown ? text::hexTextValue(written) : 0;
  const bool fits = shown && value <= 0xFF;
  // The read box, while it holds a value the chip gave.
  const forms::TextBox* readBox = shown ? &form_->tbI2Cregread[reg_] : nullptr;
  const bool holdsRead = readBox != nullptr && form_->holdsRead(reg_) && text::hexTextValue(readBox->text()) <= 0xFF;
  const uint32_t read = holdsRead ? text::hexTextValue(readBox->text()) : 0;
  // A value an unfinished Read All did not read again: shown greyed, as its
  // box is, and compared with nothing, as it may no longer be the chip's.
  const bool stale = holdsRead && readBox->note() == i2c::RegisterForm::kNotReadNote;

  for (int bit = 0; bit < kBits; ++bit) {
    const auto at = static_cast<std::size_t>(bit);
    const bool on = ((value >> bit) & 1u) != 0;
    QPushButton* toggle = writeBits_[at];
    toggle->setEnabled(fits);
    toggle->setChecked(fits && on);
    toggle->setText(fits ? (on ? QStringLiteral("1") : QStringLiteral("0")) : QString());
    // A set bit stands out by more than the pressed look some styles give.
    if (toggle->font().bold() != (fits && on)) {
      QFont font = toggle->font();
      font.setBold(fits && on);
      toggle->setFont(font);
    }

    const bool readOn = ((read >> bit) & 1u) != 0;
    readBits_[at]->setText(holdsRead ? (readOn ? QStringLiteral("1") : QStringLiteral("0")) : QString());
    readBits_[at]->setEnabled(!stale);
    // Restyled only when the mark comes or goes: a style sheet re-polishes.
    const bool marked = holdsRead && !stale && fits && readOn != on;
    if (marked != marked_[at]) {
      marked_[at] = marked;
      readBits_[at]->setStyleSheet(marked ? kIndicatorMarked : kIndicatorPlain);
      readBits_[at]->setProperty("differs", marked);
    }
  }

  QString said;
  if (shown && !fits) {
    said = quoted(written) + QStringLiteral(" does not fit in a byte");
  } else if (shown) {
    said = qText(text::hexReadingNote(written).brief);
  }
  if (said != note_->text()) {
    note_->setText(said);
    note_->setToolTip(said);
  }

  const i2c::RegisterDescription* described = shown ? form_->descriptions().find(reg_) : nullptr;
  for (const Choice& choice : choiceBoxes_) {
    choice.box->setEnabled(fits);
    if (described == nullptr || choice.field >= described->fields.size()) continue;
    const i2c::FieldDescription& field = described->fields[choice.field];
    const unsigned current = field.valueIn(static_cast<uint8_t>(value));
    // A value without a name shows as its bits, with nothing chosen.
    choice.box->setPlaceholderText(fits ? binary(current, field.width()) : QString());
    choice.box->setCurrentIndex(fits ? choice.box->findData(current) : -1);
  }
}

void RegisterBitsPanel::flip(int bit) {
  if (form_ == nullptr || reg_ < 0) return;
  const uint32_t value = text::hexTextValue(form_->tbI2Creg[reg_].text());
  if (value > 0xFF) {
    refresh();
    return;
  }
  enterValue(value ^ (1u << bit));
}

void RegisterBitsPanel::choose(const Choice& choice, int index) {
  if (form_ == nullptr || reg_ < 0) return;
  const i2c::RegisterDescription* described = form_->descriptions().find(reg_);
  const uint32_t value = text::hexTextValue(form_->tbI2Creg[reg_].text());
  if (described == nullptr || choice.field >= described->fields.size() || value > 0xFF || index < 0) {
    refresh();
    return;
  }
  const i2c::FieldDescription& field = described->fields[choice.field];
  const unsigned mask = ((1u << field.width()) - 1u) << field.low;
  const unsigned chosen = choice.box->itemData(index).toUInt();
  const unsigned next = (value & ~mask) | ((chosen << field.low) & mask);
  // The value it holds already: nothing to edit.
  if (next == value) {
    refresh();
    return;
  }
  enterValue(next);
}

void RegisterBitsPanel::enterValue(unsigned value) {
  forms::TextBox& box = form_->tbI2Creg[reg_];
  binder_.enterText(box, text::hexText(value & 0xFFu, 2));
  // The toggle that was clicked shows the core's value, not its own.
  if (form_ != nullptr) refresh();
}

}  // namespace glim::app
