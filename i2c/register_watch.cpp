#include "i2c/register_watch.h"

#include <algorithm>
#include <cmath>

#include "i2c/i2c_operations.h"
#include "i2c/register_form.h"
#include "i2c/register_window.h"
#include "text/hex_text.h"
#include "text/reading_note.h"
#include "text/text_value.h"

namespace glim::i2c {

using usb::protocol::kRegisterCount;

WatchInterval watchInterval(std::string_view text) {
  const text::TextReading reading = text::readTextValue(text);
  WatchInterval interval;
  if (reading.number) {
    interval.ms = static_cast<int>(std::clamp(std::round(reading.value), double{kWatchMinMs}, double{kWatchMaxMs}));
  }
  const bool fits = reading.whole() && reading.value >= kWatchMinMs && reading.value <= kWatchMaxMs;
  if (!fits) {
    interval.note = text::quoted(text) + ": watching every " + std::to_string(interval.ms) + " ms (" +
                    std::to_string(kWatchMinMs) + " to " + std::to_string(kWatchMaxMs) + ")";
  }
  return interval;
}

RegisterWatch::RegisterWatch(I2cOperations& ops, RegisterWindow& window, forms::Dispatcher& dispatcher)
    : ops_(ops), dispatcher_(dispatcher) {
  RegisterWindow::Observer observer;
  observer.created = [this](RegisterForm& form) { attach(form); };
  observer.destroying = [this](RegisterForm& form) {
    if (form_ == &form) detach();
  };
  observer.shownChanged = [](bool) {};
  windowObserver_ = window.subscribe(std::move(observer));
  boardObserver_ = ops_.link().onConnectionChanged.connectScoped([this] { boardChanged(); });
}

void RegisterWatch::attach(RegisterForm& form) {
  form_ = &form;
  formObserver_ = form.onWatchChanged.connectScoped([this](bool clicked) { watchChanged(clicked); });
  pause_ = Pause::None;
  nextRound_.reset();
  markUntil_.fill(0);
}

void RegisterWatch::detach() {
  formObserver_.disconnect();
  form_ = nullptr;
  onScheduleChanged.notify();
}

bool RegisterWatch::anyWatched() const {
  if (form_ == nullptr) return false;
  for (int i = 0; i < kRegisterCount; ++i) {
    if (form_->cbWatch[i].value() == forms::CheckBox::Checked) return true;
  }
  return false;
}

int RegisterWatch::intervalMs() const {
  return form_ == nullptr ? kWatchDefaultMs : watchInterval(form_->tbWatchms.text()).ms;
}

void RegisterWatch::watchChanged(bool clicked) {
  // A click on a Watch box is the person's word that watching goes on (the
  // status line says so); a new interval is not.
  if (pause_ == Pause::NoAnswer && clicked) {
    pause_ = Pause::None;
    for (int i = 0; i < kRegisterCount; ++i) {
      if (form_->lblWatch[i].caption() == kNoAnswerMark) form_->lblWatch[i].setCaption("");
    }
  }
  // The first round comes at once; a new interval counts from now.
  nextRound_.reset();
  onScheduleChanged.notify();
}

void RegisterWatch::boardChanged() {
  if (form_ == nullptr || !anyWatched()) return;
  nextRound_.reset();
  if (!ops_.link().deviceConnected()) form_->lblStatus.show("Watch", "paused: no board held", true);
  onScheduleChanged.notify();
}

std::optional<int64_t> RegisterWatch::nextDue() const {
  if (form_ == nullptr) return std::nullopt;
  std::optional<int64_t> due;
  for (const int64_t until : markUntil_) {
    if (until != 0 && (!due || until < *due)) due = until;
  }
  if (pause_ == Pause::None && ops_.link().deviceConnected() && anyWatched()) {
    const int64_t round = nextRound_.value_or(clock_->nowMs());
    if (!due || round < *due) due = round;
  }
  return due;
}

bool RegisterWatch::poll() {
  if (form_ == nullptr) return true;
  if (dispatcher_.inHandler()) return false;
  const int64_t now = clock_->nowMs();
  const std::optional<int64_t> due = nextDue();
  if (!due || *due > now) return true;
  dispatcher_.runHandler([&] {
    takeAwayMarks(now);
    if (form_ == nullptr || pause_ != Pause::None || !ops_.link().deviceConnected() || !anyWatched()) return;
    if (nextRound_ && *nextRound_ > now) return;
    readRound();
    nextRound_ = std::max(now + intervalMs(), clock_->nowMs());
  });
  return true;
}

void RegisterWatch::takeAwayMarks(int64_t now) {
  for (int i = 0; i < kRegisterCount && form_ != nullptr; ++i) {
    int64_t& until = markUntil_[static_cast<std::size_t>(i)];
    if (until == 0 || until > now) continue;
    until = 0;
    if (form_->lblWatch[i].caption() == kChangedMark) form_->lblWatch[i].setCaption("");
  }
}

void RegisterWatch::readRound() {
  // A slave address the reads cannot go to would be refused with a message
  // box at every round: watching stops once, saying why, instead.
  const std::string& slave = form_->tbI2Caddr.text();
  const uint32_t address = text::hexTextValue(slave);
  if (address > 0xFF || address % 2 != 0) {
    pause_ = Pause::NoAnswer;
    form_->lblStatus.failed("Watch", "the slave address " + text::quoted(slave) +
                                         " is no even byte; watching paused until a Watch box is clicked");
    return;
  }
  for (int reg = 0; reg < kRegisterCount && form_ != nullptr; ++reg) {
    if (form_->cbWatch[reg].value() == forms::CheckBox::Checked && !readOne(reg, static_cast<uint8_t>(address))) return;
  }
}

namespace {
// "; FAULT 0 -> 1 (open LED), MODE 01 -> 10": the described fields that differ.
std::string changedFields(const RegisterDescriptions& descriptions, int reg, uint8_t before, uint8_t after) {
  const std::vector<FieldValue> was = descriptions.decode(reg, before);
  const std::vector<FieldValue> is = descriptions.decode(reg, after);
  std::string out;
  for (std::size_t f = 0; f < was.size() && f < is.size(); ++f) {
    if (was[f].value == is[f].value) continue;
    out += (out.empty() ? "; " : ", ") + is[f].field->name + " " + was[f].bits + " -> " + is[f].bits;
    if (!is[f].valueName.empty()) out += " (" + std::string(is[f].valueName) + ")";
  }
  return out;
}
}  // namespace

bool RegisterWatch::readOne(int reg, uint8_t slave) {
  // The value this chip's register had: another slave address is another chip.
  const std::optional<uint8_t> before = ops_.lastReadValue(reg, slave);
  const std::string heading = ops_.descriptions().heading(reg);
  I2cResult result;
  {
    usb::BoardLink& link = ops_.link();
    const usb::BoardLink::Unattended quiet(link, kAnswerLimitMs);
    const usb::BoardLink::Activity doing(link, "Watching " + heading.substr(0, 4));
    result = ops_.do_i2c_read(static_cast<int16_t>(reg));
  }
  if (form_ == nullptr) return false;
  forms::Label& mark = form_->lblWatch[reg];
  if (!result.ok()) {
    pause_ = Pause::NoAnswer;
    mark.setCaption(std::string(kNoAnswerMark));
    markUntil_[static_cast<std::size_t>(reg)] = 0;
    // The transfer's own failure is in the log already, just above.
    ops_.log().logMessage(clock_->timeOfDay() + " Watch " + heading + ": no answer, watching paused");
    form_->lblStatus.show("Watch " + heading, "no answer; watching paused until a Watch box is clicked", true);
    return false;
  }
  if (mark.caption() == kNoAnswerMark) mark.setCaption("");
  const uint8_t value = result.values[0];
  if (before && *before != value) {
    ops_.log().logMessage(clock_->timeOfDay() + " Watch " + heading + ": " + text::hexText(*before, 2) + " -> " +
                          text::hexText(value, 2) + changedFields(ops_.descriptions(), reg, *before, value));
    mark.setCaption(std::string(kChangedMark));
    markUntil_[static_cast<std::size_t>(reg)] = clock_->nowMs() + kMarkMs;
  }
  return true;
}

}  // namespace glim::i2c
