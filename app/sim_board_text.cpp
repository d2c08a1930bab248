#include "app/sim_board_text.h"

#include <QStringList>
#include <cmath>

#include "text/hex_text.h"
#include "usb/status.h"

namespace glim::app::simtext {
namespace {

// A value in the largest unit it reaches, with up to six significant digits.
// The unit is chosen for the value as rounded: 999,999.9999 Hz is "1 MHz".
QString scaled(double value, std::initializer_list<std::pair<double, const char*>> units) {
  const double shown = QString::number(value, 'g', 6).toDouble();
  const auto* unit = units.begin();
  for (const auto* u = units.begin(); u != units.end(); ++u) {
    if (std::fabs(shown) >= u->first) unit = u;
  }
  return QString::number(value / unit->first, 'g', 6) + QLatin1Char(' ') + QString::fromUtf8(unit->second);
}

QString joined(const std::array<int, 3>& values) {
  return QStringLiteral("%1, %2, %3").arg(values[0]).arg(values[1]).arg(values[2]);
}

}  // namespace

QString frequency(double hertz) {
  if (!std::isfinite(hertz)) return QStringLiteral("none");
  return scaled(hertz, {{1.0, "Hz"}, {1e3, "kHz"}, {1e6, "MHz"}});
}

QString duration(double nanoseconds) {
  return scaled(nanoseconds, {{1.0, "ns"}, {1e3, "µs"}, {1e6, "ms"}, {1e9, "s"}});
}

QString hexBytes(std::span<const uint8_t> bytes) { return QString::fromStdString(text::hexBytes(bytes)); }

QString oneDenText(usb::sim::LineState state) {
  switch (state) {
    case usb::sim::LineState::High:
      return QStringLiteral("driven high");
    case usb::sim::LineState::Low:
      return QStringLiteral("driven low");
    case usb::sim::LineState::Floating:
      break;
  }
  return QStringLiteral("floating");
}

QString shutbText(usb::sim::LineState state) {
  switch (state) {
    case usb::sim::LineState::High:
      return QStringLiteral("high");
    case usb::sim::LineState::Low:
      return QStringLiteral("low");
    case usb::sim::LineState::Floating:
      break;
  }
  return QStringLiteral("floating");
}

QString traceLine(const usb::PacketTraceEntry& entry) {
  const double seconds = static_cast<double>(entry.microsSinceStart) / 1e6;
  QString line = QStringLiteral("%1 s  board %2  %3 pipe %4:")
                     .arg(seconds, 10, 'f', 6)
                     .arg(entry.board)
                     .arg(entry.in ? QStringLiteral("in ") : QStringLiteral("out"))
                     .arg(entry.pipe);
  if (!entry.bytes.empty()) line += QLatin1Char(' ') + hexBytes(entry.bytes);
  if (entry.status != usb::kSuccess) {
    line += QStringLiteral("  [%1]").arg(QString::fromStdString(usb::statusText(entry.status)));
  } else if (entry.bytes.empty()) {
    line += QStringLiteral(" (no bytes)");
  }
  return line;
}

std::vector<DecodedRow> decodedRows(const usb::sim::TimingDecode& d) {
  QStringList enabled;
  for (const auto& name : d.enabledNames) enabled << QString::fromStdString(name);
  const QString stvFrequency =
      std::isfinite(d.stvFrequencyHz) ? frequency(d.stvFrequencyHz) : QStringLiteral("none (STV count 0)");
  std::vector<DecodedRow> rows = {
      {QStringLiteral("sicClock"), QStringLiteral("SIC clock"), frequency(d.sicClockKHz * 1e3)},
      {QStringLiteral("pwmiClock"), QStringLiteral("PWMI clock"), frequency(d.pwmiClockKHz * 1e3)},
      {QStringLiteral("sclk"), QStringLiteral("SCLK"),
       QStringLiteral("%1 (divider %2)").arg(frequency(d.sclkKHz * 1e3)).arg(d.sclkDivider)},
      {QStringLiteral("stvPeriod"), QStringLiteral("STV period"),
       QStringLiteral("%1 (%2 SCLK)").arg(duration(d.stvPeriodUs * 1e3)).arg(d.stvCount)},
      {QStringLiteral("stvFrequency"), QStringLiteral("STV frequency"), stvFrequency},
      {QStringLiteral("stvPulse"), QStringLiteral("STV pulse"), duration(d.stvPulseUs * 1e3)},
      {QStringLiteral("pwmiPulse"), QStringLiteral("PWMI pulse"), duration(d.pwmiPulseNs)},
      {QStringLiteral("sicPulses"), QStringLiteral("SIC pulses"),
       QStringLiteral("%1, %2, %3")
           .arg(duration(d.sicPulseNs[0]), duration(d.sicPulseNs[1]), duration(d.sicPulseNs[2]))},
      {QStringLiteral("sicRepeats"), QStringLiteral("SIC repeats"), joined(d.sicRepeats)},
      {QStringLiteral("serialRepeats"), QStringLiteral("Serial repeats"), joined(d.serialRepeats)},
      {QStringLiteral("enabled"), QStringLiteral("Enabled"),
       enabled.isEmpty() ? QStringLiteral("none") : enabled.join(QStringLiteral(", "))},
  };
  // Channel bytes in decimal, as the main window's serial block grid shows them.
  for (std::size_t block = 0; block < d.channels.size(); ++block) {
    QStringList channels;
    for (int value : d.channels[block]) channels << QString::number(value);
    rows.push_back({QStringLiteral("serial%1").arg(block), QStringLiteral("Serial block %1").arg(block),
                    channels.join(QLatin1Char(' '))});
  }
  return rows;
}

}  // namespace glim::app::simtext
