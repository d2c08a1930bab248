#include "app/sim_fault_panel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <array>

#include "usb/sim/sim_board.h"

namespace glim::app {
namespace {

constexpr std::array<uint32_t, 4> kPipes = {usb::protocol::kPinPipe, usb::protocol::kI2cPipe,
                                            usb::protocol::kTimingPipe, usb::protocol::kAnswerPipe};
constexpr std::array<const char*, 4> kPipeRoles = {"control lines", "I2C", "timing", "answers"};
constexpr int kLargestPacket = 64;

QString indexed(const char* name, uint32_t i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

QCheckBox* check(const QString& text, const QString& name) {
  auto* box = new QCheckBox(text);
  box->setObjectName(name);
  return box;
}

void setMember(std::set<uint32_t>& pipes, uint32_t pipe, bool on) {
  if (on) {
    pipes.insert(pipe);
  } else {
    pipes.erase(pipe);
  }
}

}  // namespace

struct SimFaultPanel::PipeSwitches {
  uint32_t pipe = 0;
  QCheckBox* refused = nullptr;
  QCheckBox* timeout = nullptr;
  QCheckBox* shortOn = nullptr;
  QSpinBox* shortBytes = nullptr;
  QCheckBox* hang = nullptr;
};

SimFaultPanel::SimFaultPanel(usb::Bench& sim, std::function<void()> changed)
    : QGroupBox(QStringLiteral("Faults")), sim_(sim), changed_(std::move(changed)) {
  setObjectName(QStringLiteral("faults"));
  auto* grid = new QGridLayout(this);
  grid->setVerticalSpacing(2);
  grid->setHorizontalSpacing(4);
  deviceInfoRefused_ = check(QStringLiteral("Refuse device information"), QStringLiteral("faultDeviceInfo"));
  connect(deviceInfoRefused_, &QCheckBox::clicked, this,
          [this](bool on) { change([on](usb::Faults& f) { f.deviceInfoRefused = on; }); });
  noPipes_ = check(QStringLiteral("No pipes"), QStringLiteral("faultNoPipes"));
  connect(noPipes_, &QCheckBox::clicked, this, [this](bool on) { change([on](usb::Faults& f) { f.noPipes = on; }); });
  // Over the table, each as wide as the columns below it allow: the panel
  // is no wider than its table.
  grid->addWidget(deviceInfoRefused_, 0, 0, 1, 4);
  grid->addWidget(noPipes_, 0, 4, 1, 3);
  // A pipe's number and its role in columns of their own, narrower than
  // the two in one text (the window may be narrow).
  const char* headings[] = {"Pipe", "", "Refuse", "Time out", "Short after", "", "Hang"};
  for (int column = 0; column <= 6; ++column) {
    if (column == 1 || column == 5) continue;  // the role; the byte count under "Short after"
    grid->addWidget(new QLabel(QLatin1String(headings[column])), 1, column, 1, column == 4 ? 2 : 1);
  }

  for (std::size_t i = 0; i < kPipes.size(); ++i) {
    const uint32_t pipe = kPipes[i];
    PipeSwitches s;
    s.pipe = pipe;
    s.refused = check(QString(), indexed("faultRefuse", pipe));
    s.timeout = check(QString(), indexed("faultTimeout", pipe));
    s.shortOn = check(QString(), indexed("faultShort", pipe));
    s.shortBytes = new QSpinBox;
    s.shortBytes->setObjectName(indexed("faultShortBytes", pipe));
    s.shortBytes->setRange(0, kLargestPacket);
    s.shortBytes->setValue(1);
    s.shortBytes->setMaximumWidth(46);
    s.shortBytes->setToolTip(QStringLiteral("Bytes that still pass"));
    s.hang = check(QString(), indexed("faultHang", pipe));
    s.hang->setToolTip(QStringLiteral("Transfers wait until their time-out, a cancel or an unplug"));

    connect(s.refused, &QCheckBox::clicked, this,
            [this, pipe](bool on) { change([=](usb::Faults& f) { setMember(f.refusedPipes, pipe, on); }); });
    connect(s.timeout, &QCheckBox::clicked, this,
            [this, pipe](bool on) { change([=](usb::Faults& f) { setMember(f.timeoutPipes, pipe, on); }); });
    connect(s.hang, &QCheckBox::clicked, this, [this, pipe](bool on) {
      change([=](usb::Faults& f) {
        if (on) {
          f.hangPipes[pipe] = 0;
        } else {
          f.hangPipes.erase(pipe);
        }
      });
    });
    QSpinBox* bytes = s.shortBytes;
    connect(s.shortOn, &QCheckBox::clicked, this, [this, pipe, bytes](bool on) {
      const auto n = static_cast<uint32_t>(bytes->value());
      change([=](usb::Faults& f) {
        if (on) {
          f.shortPipes[pipe] = n;
        } else {
          f.shortPipes.erase(pipe);
        }
      });
    });
    QCheckBox* shortOn = s.shortOn;
    connect(s.shortBytes, &QSpinBox::valueChanged, this, [this, pipe, shortOn](int n) {
      if (!shortOn->isChecked()) return;
      change([=](usb::Faults& f) { f.shortPipes[pipe] = static_cast<uint32_t>(n); });
    });

    const int row = static_cast<int>(i) + 2;
    grid->addWidget(new QLabel(QString::number(pipe)), row, 0);
    grid->addWidget(new QLabel(QLatin1String(kPipeRoles[i])), row, 1);
    grid->addWidget(s.refused, row, 2);
    grid->addWidget(s.timeout, row, 3);
    grid->addWidget(s.shortOn, row, 4);
    grid->addWidget(s.shortBytes, row, 5);
    grid->addWidget(s.hang, row, 6);
    pipes_.push_back(s);
  }

  auto* clear = new QPushButton(QStringLiteral("Clear all faults"));
  clear->setObjectName(QStringLiteral("faultsClear"));
  connect(clear, &QPushButton::clicked, this, [this] { change([](usb::Faults& f) { f = {}; }); });
  grid->addWidget(clear, static_cast<int>(kPipes.size()) + 2, 0, 1, 3, Qt::AlignLeft);
  grid->setColumnStretch(5, 1);
}

SimFaultPanel::~SimFaultPanel() = default;

void SimFaultPanel::refresh() {
  const usb::Faults faults = sim_.faults();
  deviceInfoRefused_->setChecked(faults.deviceInfoRefused);
  noPipes_->setChecked(faults.noPipes);
  for (PipeSwitches& s : pipes_) {
    s.refused->setChecked(faults.refusedPipes.contains(s.pipe));
    s.timeout->setChecked(faults.timeoutPipes.contains(s.pipe));
    const auto shortened = faults.shortPipes.find(s.pipe);
    s.shortOn->setChecked(shortened != faults.shortPipes.end());
    s.hang->setChecked(faults.hangPipes.contains(s.pipe));
    if (shortened != faults.shortPipes.end()) {
      const QSignalBlocker quiet(s.shortBytes);
      s.shortBytes->setValue(static_cast<int>(std::min<uint32_t>(shortened->second, kLargestPacket)));
    }
  }
}

void SimFaultPanel::change(const std::function<void(usb::Faults&)>& edit) {
  usb::Faults faults = sim_.faults();
  edit(faults);
  sim_.setFaults(faults);
  refresh();
  if (changed_) changed_();
}

}  // namespace glim::app
