#include "timing/timing_panel.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string_view>
#include <utility>

#include "text/number_format.h"
#include "text/reading_note.h"
#include "text/text_value.h"
#include "timing/calculators.h"
#include "timing/display_text.h"
#include "timing/reach_note.h"

namespace glim::timing {
namespace {
using namespace calc;
namespace cell = usb::protocol::cell;
namespace protocol = usb::protocol;
using protocol::kTimingBytes;

// Enable boxes for each "1D EN" choice, in index order STV, PWMI, SIC, Serial.
using Preset = std::array<bool, protocol::kEnableBitCount>;
constexpr Preset kPresetLow = {false, true, false, false};
constexpr Preset kPresetFloating = {true, false, false, true};
constexpr Preset kPresetHigh = {true, true, true, false};

// These cells hold bits 11..8 of a 12-bit value.
bool isHighNibble(int index) { return index == cell::kStvCountHigh || index == cell::kSclkDividerHigh; }

// Texts of the register cells when the window opens.
constexpr std::array<std::string_view, kTimingBytes> kCellDefaults = {
    "0",   "5",   "0",   "5",   "250", "1",   "5",   "40",  "0",   "63",  "255",  // 0..10
    "255", "255", "255", "255", "255", "255", "255", "255", "255", "255",         // 11..20
    "255", "255", "255", "255", "255", "255", "255", "255",                       // 21..28
    "255", "255", "255", "255", "255", "255", "255", "255",                       // 29..36
    "0",   "10",  "20",  "5",   "5",   "5"};                                      // 37..42

struct CtrlDefault {
  std::string_view caption;
  bool checked;
};
constexpr std::array<CtrlDefault, 4> kCtrlDefaults = {
    {{"STV Enable", true}, {"PWMI Enable", false}, {"SIC Enable", false}, {"Serial Enable", true}}};

constexpr std::array<std::string_view, 4> kCtrlHints = {
    "Enables the STV output: bit 0 of the enable byte (tbCPLDdata(37))",
    "Enables the PWMI output: bit 1 of the enable byte (tbCPLDdata(37))",
    "Enables the SIC output: bit 2 of the enable byte (tbCPLDdata(37))",
    "Enables the serial blocks: bit 3 of the enable byte (tbCPLDdata(37))"};

// What each register cell holds, for its tooltip.
std::string cellHint(int index) {
  const auto byte = [](std::string what) { return what + ": 0 to 255"; };
  const auto n = [](int i) { return std::to_string(i); };
  if (index >= cell::kChannel0 && index < cell::kChannel0 + cell::kSerialBlocks * cell::kChannelsPerBlock) {
    const int k = index - cell::kChannel0;
    return byte("Serial block " + n(k / cell::kChannelsPerBlock) + ", channel byte CH" +
                n(k % cell::kChannelsPerBlock + 1));
  }
  if (index >= cell::kSerialRepeat0 && index < cell::kSerialRepeat0 + cell::kSerialBlocks) {
    return byte("Serial block " + n(index - cell::kSerialRepeat0) + ", repeat count");
  }
  switch (index) {
    case cell::kSicDivider:
      return byte("SIC clock divider (0: undivided)");
    case cell::kSicWidth0:
      return byte("SIC pulse width 0, in SIC clocks");
    case cell::kSicWidth1:
      return byte("SIC pulse width 1, in SIC clocks");
    case cell::kSicWidth2:
      return byte("SIC pulse width 2, in SIC clocks");
    case cell::kSicRepeat0:
      return byte("SIC pulse 0, repeat count");
    case cell::kSicRepeat1:
      return byte("SIC pulse 1, repeat count");
    case cell::kSicRepeat2:
      return byte("SIC pulse 2, repeat count");
    case cell::kPwmiDivider:
      return byte("PWMI clock divider (0: undivided)");
    case cell::kPwmiWidth:
      return byte("PWMI pulse width, in PWMI clocks");
    case cell::kStvDivider:
      return byte("STV clock divider");
    case cell::kStvWidth:
      return byte("STV pulse width, in SCLK periods");
    case cell::kStvCountHigh:
      return "STV count, bits 11 to 8: 0 to 15";
    case cell::kStvCountLow:
      return byte("STV count, bits 7 to 0");
    case cell::kSclkDividerHigh:
      return "SCLK divider, bits 11 to 8: 0 to 15";
    case cell::kSclkDividerLow:
      return byte("SCLK divider, bits 7 to 0");
    case cell::kEnableBits:
      return byte("Enable bits, set by the check boxes: 1 STV, 2 PWMI, 4 SIC, 8 serial");
    default:
      return byte("Timing byte " + n(index));
  }
}

constexpr std::array<std::string_view, 3> kOneDenCaptions = {"0", "Z", "1"};
constexpr std::array<std::string_view, 3> kOneDenHints = {"1D EN driven low", "1D EN not driven (floating)",
                                                          "1D EN driven high"};
constexpr std::array<std::string_view, 2> kShutbHints = {"SHUTb driven low", "SHUTb driven high"};
constexpr std::array<std::string_view, 2> kShutbCaptions = {"0", "1"};

}  // namespace

TimingPanel::TimingPanel(forms::Form& form, usb::BoardLink& link, forms::StatusLabel& status)
    : link_(link), status_(status) {
  form.addArray(tbCPLDdata);
  form.addAll(tbSICclkfreqdes, tbSICclkfreqact, tbPWMIclkfreqdes, tbPWMIclkfreqact, tbPWMIpw, tbSTVpw, tbSTVtc,
              tbSCLKdiv, tbSTVfreqdes, tbSTVfreqact, tbSCLKfreqdes, tbSCLKfreqact);
  form.addArray(cbCtrl);
  form.addAll(fr1Den, frShutb);
  form.addArray(ob1Den);
  form.addArray(obShutb);
  form.addAll(cbCopysic, cbCopyser, cbWritesettings);
  // Defaults first, handlers after: nothing runs while the window is built.
  setDefaults();
  wireHandlers();
}

void TimingPanel::setDefaults() {
  for (int i = 0; i < kTimingBytes; ++i) {
    tbCPLDdata[i].setText(std::string(kCellDefaults[static_cast<std::size_t>(i)]));
    tbCPLDdata[i].setHint(cellHint(i));
  }
  setHints();

  tbSICclkfreqdes.setText("50000");
  tbSICclkfreqact.setText("50000.0");
  tbPWMIclkfreqdes.setText("50000");
  tbPWMIclkfreqact.setText("50000.0");
  tbPWMIpw.setText("100");
  tbSTVpw.setText("2.560");
  tbSTVtc.setText("1320");
  tbSCLKdiv.setText("63");
  tbSTVfreqdes.setText("295.928");
  tbSTVfreqact.setText("295.928");
  tbSCLKfreqdes.setText("390.625");
  tbSCLKfreqact.setText("390.625");
  // Display fields: only the program writes them.
  for (forms::TextBox* box : {&tbSICclkfreqact, &tbPWMIclkfreqact, &tbPWMIpw, &tbSTVpw, &tbSTVfreqact, &tbSCLKfreqact})
    box->locked = true;

  for (int i = 0; i < cbCtrl.size(); ++i) {
    cbCtrl[i].setHint(std::string(kCtrlHints[static_cast<std::size_t>(i)]));
    const CtrlDefault& d = kCtrlDefaults[static_cast<std::size_t>(i)];
    cbCtrl[i].setCaption(std::string(d.caption));
    cbCtrl[i].setValue(d.checked ? forms::CheckBox::Checked : forms::CheckBox::Unchecked);
  }
  for (int i = 0; i < ob1Den.size(); ++i) {
    ob1Den[i].setCaption(std::string(kOneDenCaptions[static_cast<std::size_t>(i)]));
    ob1Den[i].setHint(std::string(kOneDenHints[static_cast<std::size_t>(i)]));
  }
  for (int i = 0; i < obShutb.size(); ++i) {
    obShutb[i].setCaption(std::string(kShutbCaptions[static_cast<std::size_t>(i)]));
    obShutb[i].setHint(std::string(kShutbHints[static_cast<std::size_t>(i)]));
  }
  ob1Den[1].setValue(true);   // "Z"
  obShutb[1].setValue(true);  // "1"

  cbCopysic.setCaption("Copy SIC");
  cbCopyser.setCaption("Copy");
  cbWritesettings.setCaption("Write Settings");
}

void TimingPanel::setHints() {
  tbSICclkfreqdes.setHint("Desired SIC clock, kHz: sets the SIC clock divider (50000 kHz divided by it)");
  tbSICclkfreqact.setHint("SIC clock the divider gives, kHz");
  tbPWMIclkfreqdes.setHint("Desired PWMI clock, kHz: sets the PWMI clock divider (50000 kHz divided by it)");
  tbPWMIclkfreqact.setHint("PWMI clock the divider gives, kHz");
  tbPWMIpw.setHint("PWMI pulse width the cells give, ns");
  tbSTVpw.setHint("STV pulse width the cells give, us");
  tbSTVtc.setHint("STV count from its two cells, in SCLK periods: 0 to 4095");
  tbSCLKdiv.setHint("SCLK divider from its two cells: 0 to 4095");
  tbSTVfreqdes.setHint("Desired STV frequency, Hz: sets the STV count");
  tbSTVfreqact.setHint("STV frequency the count and the SCLK divider give, Hz");
  tbSCLKfreqdes.setHint("Desired SCLK frequency, kHz: sets the SCLK divider");
  tbSCLKfreqact.setHint("SCLK frequency the divider gives, kHz");
}

void TimingPanel::wireHandlers() {
  // When a handler is over, the actual fields say whether they are what was
  // asked for. Once, when the outermost handler ends: the changes it makes to
  // other cells run their handlers inside it.
  const auto thenNotes = [this](std::function<void()> handler) {
    return [this, handler = std::move(handler)] {
      ++handlersRunning_;
      handler();
      if (--handlersRunning_ == 0) updateReachNotes();
    };
  };
  // A typed or loaded text that GetTextValue reads only in part says so on
  // its box; the value used stays what the rule gives.
  const auto noting = [](forms::TextBox& box, std::function<void()> handler) {
    return [&box, handler = std::move(handler)] {
      handler();
      box.setNote(text::decimalReadingNote(box.text()).note);
    };
  };
  for (int i = 0; i < kTimingBytes; ++i) {
    tbCPLDdata[i].setChangeHandler(thenNotes(noting(tbCPLDdata[i], [this, i] { tbCPLDdata_Change(i); })));
  }
  tbSICclkfreqdes.setChangeHandler(thenNotes(noting(tbSICclkfreqdes, [this] { tbSICclkfreqdes_Change(); })));
  tbPWMIclkfreqdes.setChangeHandler(thenNotes(noting(tbPWMIclkfreqdes, [this] { tbPWMIclkfreqdes_Change(); })));
  tbSTVfreqdes.setChangeHandler(thenNotes(noting(tbSTVfreqdes, [this] { tbSTVfreqdes_Change(); })));
  tbSCLKfreqdes.setChangeHandler(thenNotes(noting(tbSCLKfreqdes, [this] { tbSCLKfreqdes_Change(); })));
  // tbSTVtc and tbSCLKdiv accept typing but have no handler: the program
  // rewrites them from the cells before it next reads them.

  // The copy buttons set many cells; the buttons that send packets are left
  // as they are, so that nothing waits on the board with notes held back.
  for (int i = 0; i < cbCtrl.size(); ++i) cbCtrl[i].setClickHandler([this, i] { cbCtrl_Click(i); });
  for (int i = 0; i < ob1Den.size(); ++i) ob1Den[i].setClickHandler([this, i] { ob1Den_Click(i); });
  for (int i = 0; i < obShutb.size(); ++i) obShutb[i].setClickHandler([this, i] { obShutb_Click(i); });

  cbCopysic.setClickHandler(thenNotes([this] { cbCopysic_Click(); }));
  cbCopyser.setClickHandler(thenNotes([this] { cbCopyser_Click(); }));
  cbWritesettings.setClickHandler([this] { cbWritesettings_Click(); });
}

// The register image: the range check every cell runs on each change, and the
// recomputation group each cell belongs to.

double TimingPanel::cellValue(int index) const { return text::GetTextValue(tbCPLDdata[index].text()); }

void TimingPanel::rangeCheck(int index) {
  const double v = cellValue(index);
  const bool nibble = isHighNibble(index);
  // Out-of-range values, infinities included, become the nearest bound. The
  // corrected text runs this cell's handler again, nested; text that is in
  // range, whatever it looks like, stays as typed.
  if (v < 0) {
    tbCPLDdata[index].setText("0");
  } else if (v > (nibble ? 15.0 : 255.0)) {
    tbCPLDdata[index].setText(nibble ? "15" : "255");
  }
}

void TimingPanel::tbCPLDdata_Change(int Index) {
  if (Index < 0 || Index >= kTimingBytes) return;
  rangeCheck(Index);
  switch (Index) {
    case cell::kSicDivider:
      sicGroup();
      break;
    case cell::kPwmiDivider:
    case cell::kPwmiWidth:
      pwmiGroup();
      break;
    case cell::kStvWidth:
    case cell::kStvCountHigh:
    case cell::kStvCountLow:
    case cell::kSclkDividerHigh:
    case cell::kSclkDividerLow:
      sclkStvGroup();
      break;
    default:
      break;  // stored and sent only
  }
}

// "Copy" and "Copy SIC": duplicate cell texts character for character. Each
// write runs the destination's range check before the next one.

void TimingPanel::cbCopyser_Click() {
  tbCPLDdata[cell::kSerialRepeat0 + 1].setText(tbCPLDdata[cell::kSerialRepeat0].text());
  tbCPLDdata[cell::kSerialRepeat0 + 2].setText(tbCPLDdata[cell::kSerialRepeat0].text());
  for (int i = cell::kChannel0; i < cell::kChannel0 + cell::kChannelsPerBlock; ++i) {
    tbCPLDdata[i + cell::kChannelsPerBlock].setText(tbCPLDdata[i].text());
    tbCPLDdata[i + 2 * cell::kChannelsPerBlock].setText(tbCPLDdata[i].text());
  }
}

void TimingPanel::cbCopysic_Click() {
  tbCPLDdata[cell::kSicRepeat1].setText(tbCPLDdata[cell::kSicRepeat0].text());
  tbCPLDdata[cell::kSicRepeat2].setText(tbCPLDdata[cell::kSicRepeat0].text());
  tbCPLDdata[cell::kSicWidth1].setText(tbCPLDdata[cell::kSicWidth0].text());
  tbCPLDdata[cell::kSicWidth2].setText(tbCPLDdata[cell::kSicWidth0].text());
}

// The enable check boxes (cell 37) and the two control lines of the board,
// "1D EN" and "SHUTb", sent in the two-byte control-pin packet on pipe 1.

void TimingPanel::updateCtrlByte() {
  int sum = 0;
  for (int i = 0; i < cbCtrl.size(); ++i) {
    if (cbCtrl[i].value() == forms::CheckBox::Checked) sum += 1 << i;
  }
  tbCPLDdata[protocol::cell::kEnableBits].setText(text::integerText(sum));
}

text::Outcome TimingPanel::writeCtrlPins() {
  if (!link_.requireDevice()) return text::Failure("no board connected", text::FailureKind::NoBoard);

  protocol::OneDen oneDen = protocol::OneDen::Floating;
  const Preset* preset = &kPresetFloating;
  if (ob1Den[0].value()) {
    oneDen = protocol::OneDen::Low;
    preset = &kPresetLow;
  } else if (ob1Den[2].value()) {
    oneDen = protocol::OneDen::High;
    preset = &kPresetHigh;
  }
  // Boxes whose state changes run their click handling, as a user's click would.
  for (int i = 0; i < cbCtrl.size(); ++i) {
    cbCtrl[i].setValue((*preset)[static_cast<std::size_t>(i)] ? forms::CheckBox::Checked : forms::CheckBox::Unchecked);
  }
  const usb::TransferOutcome sent =
      link_.writePipe(protocol::kPinPipe, protocol::pinPacket(oneDen, obShutb[0].value()));

  updateCtrlByte();
  return sent.outcome();
}

void TimingPanel::cbCtrl_Click(int) { updateCtrlByte(); }

void TimingPanel::obShutb_Click(int) { report("SHUTb", writeCtrlPins(), false); }

// Write Settings: the control-pin packet, then the settings packet (a lead
// byte and the 43 register cells) on the timing pipe.

std::array<uint8_t, kTimingBytes> TimingPanel::imageBytes() const {
  std::array<uint8_t, kTimingBytes> bytes{};
  for (int k = 0; k < kTimingBytes; ++k) bytes[static_cast<std::size_t>(k)] = sentByte(k);
  return bytes;
}

void TimingPanel::report(const std::string& action, const text::Outcome& outcome, bool cellsSent) {
  if (link_.cancelledInHandler()) {
    status_.show(action, "cancelled", true, text::FailureKind::Cancelled);
  } else if (!outcome.ok()) {
    status_.failed(action, outcome);
  } else if (const std::string misread = cellsSent ? firstMisreadField() : std::string(); !misread.empty()) {
    // Sent as the rule reads it, but not what the box shows.
    status_.show(action, "sent (" + misread + ")", true);
  } else {
    status_.succeeded(action, "sent");
  }
}

std::string TimingPanel::firstMisreadField() const {
  const auto misread = [](const forms::TextBox& box) {
    const text::ReadingNote r = text::decimalReadingNote(box.text());
    return r.empty() ? std::string() : box.qualifiedName() + ": " + r.brief;
  };
  for (int i = 0; i < kTimingBytes; ++i) {
    if (std::string m = misread(tbCPLDdata[i]); !m.empty()) return m;
  }
  // The desired fields are not sent, but the cells they set were worked out
  // from what they read as.
  for (const forms::TextBox* box : {&tbSICclkfreqdes, &tbPWMIclkfreqdes, &tbSTVfreqdes, &tbSCLKfreqdes}) {
    if (std::string m = misread(*box); !m.empty()) return m;
  }
  return {};
}

text::Outcome TimingPanel::writeSettings() {
  if (!link_.requireDevice()) return text::Failure("no board connected", text::FailureKind::NoBoard);
  const usb::BoardLink::Activity doing(link_, "Write Settings");
  // A failed pin packet does not stop the settings: the board may still take them.
  const auto pins = writeCtrlPins();
  const auto bytes = imageBytes();
  const usb::TransferOutcome settings =
      link_.writePipe(usb::protocol::kTimingPipe, usb::protocol::settingsPacket(bytes));
  if (!pins.ok()) return pins;
  return settings.outcome();
}

void TimingPanel::cbWritesettings_Click() { report("Write Settings", writeSettings(), true); }

// The chosen option reaches the board because Write Settings reads the group.
void TimingPanel::ob1Den_Click(int) { report("1D EN", writeSettings(), true); }

// Clock and frequency calculators: the recomputation groups that turn cells
// into displays, and the desired-value handlers that turn a wanted frequency
// into divider and count cells.

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
  const double sclkHz = protocol::kReferenceHz / ((s + 1) * 2);  // stays unrounded below
  tbSCLKfreqact.setText(fixedText(sclkHz / kKilo, 3));
  const double count = text::GetTextValue(tbSTVtc.text());
  // A zero count gives an infinite quotient, which shows as such.
  tbSTVfreqact.setText(fixedText(1 / ((1 / sclkHz) * count), 3));
  tbSTVpw.setText(fixedText(sentByte(cell::kStvWidth) * (1 / sclkHz) * kMicro, 3));
}

void TimingPanel::updateReachNotes() {
  const auto value = [](const forms::TextBox& box) { return text::GetTextValue(box.text()); };
  tbSICclkfreqact.setNote(clockReachNote(value(tbSICclkfreqdes), tbSICclkfreqact.text(), sentByte(cell::kSicDivider)));
  tbPWMIclkfreqact.setNote(
      clockReachNote(value(tbPWMIclkfreqdes), tbPWMIclkfreqact.text(), sentByte(cell::kPwmiDivider)));
  tbSCLKfreqact.setNote(sclkReachNote(value(tbSCLKfreqdes), tbSCLKfreqact.text(), value(tbSCLKdiv)));
  tbSTVfreqact.setNote(stvReachNote(value(tbSTVfreqdes), tbSTVfreqact.text(), value(tbSCLKfreqact), value(tbSTVtc)));
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
  writeSplit(cell::kSclkDividerHigh, sclkDivider(x));
}

void TimingPanel::tbSTVfreqdes_Change() {
  const double x = text::GetTextValue(tbSTVfreqdes.text());
  if (!(x > 0)) return;
  // From the SCLK as displayed.
  writeSplit(cell::kStvCountHigh, stvCount(text::GetTextValue(tbSCLKfreqact.text()), x));
}

}  // namespace glim::timing
