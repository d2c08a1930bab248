#include "app/main_layout.h"

#include <QCheckBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>
#include <array>

#include "app/bindings.h"
#include "app/font_size.h"
#include "shell/main_form.h"

namespace glim::app {
namespace {

using namespace usb::protocol::cell;

// Pixel geometry of the panels (fonts are sized in pixels too: font_size.h).
constexpr int kRowHeight = 21;
constexpr int kButtonHeight = 24;

// Main panel: rows (top of each row) and the columns of the frequency rows.
constexpr int kRow1 = 6, kRow2 = 30, kRow3 = 52, kRow4 = 74, kRow5 = 100, kRow6 = 124, kRow7 = 146, kRow8 = 170,
              kRow9 = 194, kGridHeader = 220, kBlockRow0 = 244, kBlockPitch = 22, kBottomRow = 308;
constexpr int kLabelX = 6, kLabelW = 172;
constexpr int kDesiredLabelX = 180, kDesiredLabelW = 52, kDesiredX = 234, kDesiredW = 56;
constexpr int kActualLabelX = 292, kActualLabelW = 44, kActualX = 338, kActualW = 64;
// Serial block grid: Repeat then CH1..CH8.
constexpr int kGridX = 90, kGridPitch = 35, kGridBoxW = 32;
// Divider panel columns.
constexpr int kDividerBoxX = kDividerPanelX + 104;
// Content size: everything, with a margin.
constexpr int kContentWidth = kDividerPanelX + 230;
constexpr int kLogPaneY = kLogPanelY + 52;
constexpr int kLogMinimumHeight = 120;
constexpr int kBottomMargin = 6;
constexpr int kContentHeight = kLogPaneY + kLogMinimumHeight + kBottomMargin;

// The controls at their places; the log pane reaches down to the bottom
// margin, whatever the height the client area gives.
class MainContent : public QWidget {
 public:
  using QWidget::QWidget;
  void setLogPane(QWidget* pane) { pane_ = pane; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (pane_ != nullptr)
      pane_->resize(pane_->width(), std::max(kLogMinimumHeight, height() - kLogPaneY - kBottomMargin));
  }

 private:
  QWidget* pane_ = nullptr;
};

class Placer {
 public:
  Placer(QWidget* parent, Binder& binder) : parent_(parent), binder_(binder) {}

  QLabel* text(const char* caption, int x, int y, int w, Qt::Alignment align = Qt::AlignLeft) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent_);
    label->setGeometry(x, y, w, kRowHeight);
    label->setAlignment(align | Qt::AlignVCenter);
    return label;
  }
  // Every box of the main panel is marked warm when its note speaks: an actual
  // field that is not what was asked for, a typed text read as another value.
  QLineEdit* box(forms::TextBox& control, int x, int y, int w) {
    auto* edit = new QLineEdit(parent_);
    edit->setGeometry(x, y, w, kRowHeight);
    binder_.bindTextBox(edit, control, Binder::Mark::Warm);
    return edit;
  }
  QPushButton* button(forms::CommandButton& control, const char* tip, int x, int y, int w, int h = kButtonHeight) {
    auto* button = new QPushButton(parent_);
    button->setGeometry(x, y, w, h);
    binder_.bindButton(button, control);
    button->setToolTip(QString::fromUtf8(tip));
    return button;
  }
  QCheckBox* check(forms::CheckBox& control, int x, int y, int w) {
    auto* check = new QCheckBox(parent_);
    check->setGeometry(x, y, w, 18);
    binder_.bindCheckBox(check, control);
    return check;
  }
  // A frame of option buttons, laid out left to right in the order given.
  QGroupBox* frame(forms::Frame& control, std::initializer_list<forms::OptionButton*> options, int x, int y, int w) {
    auto* group = new QGroupBox(parent_);
    group->setGeometry(x, y, w, 48);
    binder_.bindFrame(group, control);
    int left = 8;
    for (forms::OptionButton* option : options) {
      auto* radio = new QRadioButton(group);
      radio->setGeometry(left, 22, 32, 18);
      binder_.bindOption(radio, *option);
      left += 34;
    }
    return group;
  }

 private:
  QWidget* parent_;
  Binder& binder_;
};

// Label, "(Desired)", desired field, "(Actual)", actual field.
void frequencyRow(Placer& at, const char* caption, int y, forms::TextBox& desired, forms::TextBox& actual) {
  at.text(caption, kLabelX, y, kLabelW);
  at.text("(Desired)", kDesiredLabelX, y, kDesiredLabelW);
  at.box(desired, kDesiredX, y, kDesiredW);
  at.text("(Actual)", kActualLabelX, y, kActualLabelW);
  // Not what was asked for: a warm background, and the reason as the tooltip.
  at.box(actual, kActualX, y, kActualW);
}

// A register box with its label on the left and an actual field on the right.
void pulseRow(Placer& at, const char* left, forms::TextBox& cell, const char* right, forms::TextBox& actual, int y) {
  at.text(left, kLabelX, y, 96);
  at.box(cell, 104, y, 40);
  at.text(right, 180, y, 154, Qt::AlignRight);
  at.box(actual, kActualX, y, kActualW);
}

void buildMainPanel(Placer& at, shell::MainForm& main) {
  timing::TimingPanel& t = main.timing;
  auto& cell = t.tbCPLDdata;

  frequencyRow(at, "SIC CLK Frequency (KHz)", kRow1, t.tbSICclkfreqdes, t.tbSICclkfreqact);

  // SIC pulse table: repeat box first, pulse-width box second in each row.
  at.text("SIC PW (CLKs)", kLabelX, kRow2, 84);
  struct SicRow {
    const char* repeat;
    int repeatCell;
    const char* width;
    int widthCell;
    int y;
  };
  constexpr std::array<SicRow, 3> kSicRows = {{{"Repeat 0", kSicRepeat0, "Pulse width 0", kSicWidth0, kRow2},
                                               {"Repeat 1", kSicRepeat1, "Pulse width 1", kSicWidth1, kRow3},
                                               {"Repeat 2", kSicRepeat2, "Pulse width 2", kSicWidth2, kRow4}}};
  for (const SicRow& row : kSicRows) {
    if (row.y == kRow3)
      at.button(t.cbCopysic, "Copies Repeat 0 and Pulse width 0 into SIC pulses 1 and 2", kLabelX, kRow3, 64,
                kRow4 + kRowHeight - kRow3);
    at.text(row.repeat, 96, row.y, 52);
    at.box(cell[row.repeatCell], 150, row.y, 34);
    at.text(row.width, 190, row.y, 76);
    at.box(cell[row.widthCell], 268, row.y, 34);
  }
  for (int i = 0; i < t.cbCtrl.size(); ++i) at.check(t.cbCtrl[i], 308, kRow2 - 3 + 17 * i, 96);

  frequencyRow(at, "PWMI CLK Frequency (KHz)", kRow5, t.tbPWMIclkfreqdes, t.tbPWMIclkfreqact);
  pulseRow(at, "PWMI PW (CLKs)", cell[kPwmiWidth], "PWMI PW (ns)", t.tbPWMIpw, kRow6);
  pulseRow(at, "STV PW (CLKs)", cell[kStvWidth], "STV PW (us)", t.tbSTVpw, kRow7);
  frequencyRow(at, "STV Frequency (Hz)", kRow8, t.tbSTVfreqdes, t.tbSTVfreqact);
  frequencyRow(at, "SCLK/STV CLK Frequency (KHz)", kRow9, t.tbSCLKfreqdes, t.tbSCLKfreqact);

  // Serial block grid.
  at.button(t.cbCopyser, "Copies Serial Block 0 into blocks 1 and 2", kLabelX, kGridHeader - 1, 64, 23);
  constexpr std::array<const char*, 9> kHeadings = {"Repeat", "CH1", "CH2", "CH3", "CH4", "CH5", "CH6", "CH7", "CH8"};
  for (int c = 0; c < 9; ++c)
    at.text(kHeadings[static_cast<std::size_t>(c)], kGridX + c * kGridPitch - 4, kGridHeader, kGridBoxW + 8,
            Qt::AlignHCenter);
  constexpr std::array<const char*, 3> kBlocks = {"Serial Block 0", "Serial Block 1", "Serial Block 2"};
  for (int b = 0; b < kSerialBlocks; ++b) {
    const int y = kBlockRow0 + b * kBlockPitch;
    at.text(kBlocks[static_cast<std::size_t>(b)], kLabelX, y, 82);
    at.box(cell[kSerialRepeat0 + b], kGridX, y, kGridBoxW);
    for (int ch = 0; ch < kChannelsPerBlock; ++ch)
      at.box(cell[kChannel0 + kChannelsPerBlock * b + ch], kGridX + (ch + 1) * kGridPitch, y, kGridBoxW);
  }

  // Bottom row.
  const int buttonY = kBottomRow + 19;
  at.button(main.cbShowi2c, "Opens the register window, to read and write the chip's registers", kLabelX, buttonY, 60);
  at.frame(t.fr1Den, {&t.ob1Den[2], &t.ob1Den[1], &t.ob1Den[0]}, 72, kBottomRow, 114);
  at.frame(t.frShutb, {&t.obShutb[1], &t.obShutb[0]}, 192, kBottomRow, 78);
  at.button(t.cbWritesettings, "Sends the control lines, then the 43 timing bytes", 276, buttonY, 86);
  at.button(main.cbQuit, "Ends the program; the settings are kept as the last session", 366, buttonY, 38);
}

void buildDividerPanel(Placer& at, timing::TimingPanel& t) {
  auto& cell = t.tbCPLDdata;
  constexpr int x = kDividerPanelX;
  at.text("SIC CLK Divider", x, kRow1, 100);
  at.box(cell[kSicDivider], kDividerBoxX, kRow1, 40);
  at.text("PWMI CLK Divider", x, kRow5, 100);
  at.box(cell[kPwmiDivider], kDividerBoxX, kRow5, 40);
  at.text("STV CLK Divider", x, kRow6, 100);
  at.box(cell[kStvDivider], kDividerBoxX, kRow6, 40);
  at.text("STV TC", x, kRow7, 100);
  at.box(t.tbSTVtc, kDividerBoxX, kRow7, 44);
  at.box(cell[kStvCountHigh], kDividerBoxX + 48, kRow7, 32);
  at.box(cell[kStvCountLow], kDividerBoxX + 84, kRow7, 36);
  at.text("SCLK CLK Divider", x, kRow8, 100);
  at.box(t.tbSCLKdiv, kDividerBoxX, kRow8, 44);
  at.box(cell[kSclkDividerHigh], kDividerBoxX + 48, kRow8, 32);
  at.box(cell[kSclkDividerLow], kDividerBoxX + 84, kRow8, 36);
  // The enable byte, level with the serial grid's header.
  at.box(cell[kEnableBits], kDividerBoxX, kGridHeader, 40);
}

QWidget* buildLogPanel(QWidget* content, Placer& at, shell::MainForm& main, Binder& binder) {
  constexpr int y = kLogPanelY;
  at.button(main.cmdClearLog, "Empties the log pane", kLabelX, y, 80);

  auto* label = new QLabel(content);
  label->setGeometry(kLabelX, y + 28, 60, 22);
  label->setFont(QFont(QStringLiteral("Arial"), 12, QFont::Bold));
  binder.bindLabel(label, main.lblLog);

  auto* pane = new QPlainTextEdit(content);
  pane->setGeometry(kLabelX, kLogPaneY, kActualX + kActualW - kLabelX, kLogMinimumHeight);
  binder.bindLog(pane, main.txtLog);
  return pane;
}

}  // namespace

QWidget* buildMainContent(QWidget* parent, shell::MainForm& main, Binder& binder) {
  auto* content = new MainContent(parent);
  content->setObjectName(QStringLiteral("content"));
  QFont font = content->font();
  font.setPixelSize(kFontPixels);
  content->setFont(font);
  content->setMinimumSize(kContentWidth, kContentHeight);
  content->resize(kContentWidth, kContentHeight);

  Placer at(content, binder);
  buildMainPanel(at, main);
  buildDividerPanel(at, main.timing);
  content->setLogPane(buildLogPanel(content, at, main, binder));
  return content;
}

}  // namespace glim::app
