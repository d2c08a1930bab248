// Clock and frequency calculators: the recomputation groups that turn cells
// into displays, and the desired-value handlers that turn a wanted frequency
// into divider and count cells.
#include <algorithm>
#include <cmath>

#include "text/number_format.h"
#include "text/text_value.h"
#include "timing/display_text.h"
#include "timing/reach_note.h"
#include "timing/timing_panel.h"

namespace glim::timing {
namespace {

namespace cell = usb::protocol::cell;

constexpr double kReferenceHz = 50000000.0;
constexpr double kLowestRatio = 1.5;  // below it: divider or count 0
constexpr double kByteLimit = 255.0;
constexpr double kTwelveBitLimit = usb::protocol::kTwelveBitMax;
constexpr double kKilo = 1000.0;
constexpr double kMicro = 1000000.0;
constexpr double kByteSplit = 256.0;

// A SIC or PWMI clock in kHz for its divider (0 means undivided).
double dividedClockKHz(double divider) { return divider == 0 ? kReferenceHz / kKilo : kReferenceHz / divider / kKilo; }

// A divider or count for a wanted ratio: 0 when the ratio is below 1.5, at
// most `limit`, otherwise the nearest whole ratio (halves go up).
double nearestWhole(double ratio, double limit) {
  if (!(ratio >= kLowestRatio)) return 0;
  if (ratio > limit) return limit;
  return std::floor(ratio + 0.5);
}

// SIC and PWMI divider for a desired clock in kHz.
double byteDivider(double desiredKHz) { return nearestWhole(kReferenceHz / (desiredKHz * kKilo), kByteLimit); }

std::string wholeText(double value) { return text::integerText(static_cast<long long>(value)); }

}  // namespace

void TimingPanel::sicGroup() { tbSICclkfreqact.setText(fixedText(dividedClockKHz(sentByte(cell::kSicDivider)), 1)); }

void TimingPanel::pwmiGroup() {
  const double clockKHz = dividedClockKHz(sentByte(cell::kPwmiDivider));
  tbPWMIclkfreqact.setText(fixedText(clockKHz, 1));
  if (!std::isfinite(clockKHz)) {
    // A divider too close to zero has no finite clock, so no period either.
    tbPWMIpw.setText(std::string(kUndefinedText));
    return;
  }
  // The pulse width uses the clock as displayed, rounded to 0.1 kHz.
  const double shownKHz = text::GetTextValue(tbPWMIclkfreqact.text());
  tbPWMIpw.setText(generalText((1 / shownKHz) * sentByte(cell::kPwmiWidth) * kMicro));
}

void TimingPanel::sclkStvGroup() {
  // The 12-bit values the board takes from the bytes it is sent.
  const auto twelveBits = [this](int high) {
    return static_cast<double>(usb::protocol::twelveBits(sentByte(high), sentByte(high + 1)));
  };
  tbSTVtc.setText(generalText(twelveBits(cell::kStvCountHigh)));
  tbSCLKdiv.setText(generalText(twelveBits(cell::kSclkDividerHigh)));
  const double s = text::GetTextValue(tbSCLKdiv.text());
  const double sclkHz = kReferenceHz / ((s + 1) * 2);  // stays unrounded below
  tbSCLKfreqact.setText(fixedText(sclkHz / kKilo, 3));
  const double count = text::GetTextValue(tbSTVtc.text());
  // A zero count gives an infinite quotient, which shows as such.
  tbSTVfreqact.setText(fixedText(1 / ((1 / sclkHz) * count), 3));
  tbSTVpw.setText(fixedText(sentByte(cell::kStvWidth) * (1 / sclkHz) * kMicro, 3));
}

void TimingPanel::updateReachNotes() {
  const auto value = [](const forms::TextBox& box) { return text::GetTextValue(box.text()); };
  tbSICclkfreqact.setNote(
      clockReachNote(value(tbSICclkfreqdes), tbSICclkfreqact.text(), sentByte(cell::kSicDivider)));
  tbPWMIclkfreqact.setNote(
      clockReachNote(value(tbPWMIclkfreqdes), tbPWMIclkfreqact.text(), sentByte(cell::kPwmiDivider)));
  tbSCLKfreqact.setNote(sclkReachNote(value(tbSCLKfreqdes), tbSCLKfreqact.text(), value(tbSCLKdiv)));
  tbSTVfreqact.setNote(
      stvReachNote(value(tbSTVfreqdes), tbSTVfreqact.text(), value(tbSCLKfreqact), value(tbSTVtc)));
}

void TimingPanel::writeSplit(int high, double value) {
  const double h = std::floor(value / kByteSplit);
  const double l = value - kByteSplit * h;
  tbCPLDdata[high].setText(wholeText(h));
  tbCPLDdata[high + 1].setText(wholeText(l));
}

void TimingPanel::tbSICclkfreqdes_Change() {
  const double x = text::GetTextValue(tbSICclkfreqdes.text());
  if (!(x > 0)) return;
  tbCPLDdata[cell::kSicDivider].setText(wholeText(byteDivider(x)));
}

void TimingPanel::tbPWMIclkfreqdes_Change() {
  const double x = text::GetTextValue(tbPWMIclkfreqdes.text());
  if (!(x > 0)) return;
  tbCPLDdata[cell::kPwmiDivider].setText(wholeText(byteDivider(x)));
}

void TimingPanel::tbSCLKfreqdes_Change() {
  const double x = text::GetTextValue(tbSCLKfreqdes.text());
  if (!(x > 0)) return;
  const double r = kReferenceHz / (x * kKilo);
  // The divider whose SCLK, reference / ((D + 1) * 2), comes closest.
  const double d = !(r >= kLowestRatio) ? 0 : std::min(std::floor(r / 2 + 0.5) - 1, kTwelveBitLimit);
  writeSplit(cell::kSclkDividerHigh, d);
}

void TimingPanel::tbSTVfreqdes_Change() {
  const double x = text::GetTextValue(tbSTVfreqdes.text());
  if (!(x > 0)) return;
  // SCLK periods per STV period, from the SCLK as displayed.
  const double r = text::GetTextValue(tbSCLKfreqact.text()) / x * kKilo;
  writeSplit(cell::kStvCountHigh, nearestWhole(r, kTwelveBitLimit));
}

}  // namespace glim::timing
