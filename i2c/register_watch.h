#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "forms/clock.h"
#include "forms/dispatcher.h"
#include "forms/signal.h"
#include "usb/protocol.h"

namespace glim::i2c {

class I2cOperations;
class RegisterForm;
class RegisterWindow;

inline constexpr int kWatchDefaultMs = 500;
inline constexpr int kWatchMinMs = 50;
inline constexpr int kWatchMaxMs = 60000;

// The interval a text in the interval box gives, and a note when that is not
// what the text shows ("20" is below the least interval, "abc" no number).
struct WatchInterval {
  int ms = kWatchDefaultMs;
  std::string note;
};
WatchInterval watchInterval(std::string_view text);

// Watching registers: while a board is held, the registers whose Watch box is
// checked are read one after another once per interval, with the packets of
// their Read buttons. A value that changed is logged with the time of day and
// marked in its row for two seconds. A read the board does not answer marks
// its row "no answer" and pauses watching until a Watch box is clicked; no
// board held pauses it until one is.
//
// Watch reads never cut into a person's or a script's action: poll() does
// nothing while a handler runs (the front end polls again later), and a read
// runs as a handler of its own, which opens no wait for the board.
class RegisterWatch {
 public:
  static constexpr int64_t kMarkMs = 2000;
  // How long a watch read waits for the board before it counts as no answer.
  // The request and the answer together: a board that keeps the window
  // longer than that is no answer.
  static constexpr uint32_t kAnswerLimitMs = 100;
  static constexpr std::string_view kChangedMark = "changed";
  static constexpr std::string_view kNoAnswerMark = "no answer";

  RegisterWatch(I2cOperations& ops, RegisterWindow& window, forms::Dispatcher& dispatcher);
  RegisterWatch(const RegisterWatch&) = delete;
  RegisterWatch& operator=(const RegisterWatch&) = delete;

  // The clock that times the interval and the log lines (the system's until
  // another is given; it must outlive its use).
  void useClock(const forms::Clock& clock) { clock_ = &clock; }
  const forms::Clock& clock() const { return *clock_; }

  // When poll() next has something to do, on the clock's time: a round of
  // reads, or a mark to take away. Nothing while there is nothing to do.
  std::optional<int64_t> nextDue() const;
  // Does what is due now. Returns false when it had to leave it for later (a
  // handler runs).
  bool poll();
  // Paused by a board that did not answer (until a Watch box is clicked).
  bool pausedByNoAnswer() const { return pause_ == Pause::NoAnswer; }

  // Told when the schedule changed outside poll() (a Watch box, the interval,
  // a board come or gone): a front end's timer asks nextDue() again.
  forms::Signal<std::function<void()>> onScheduleChanged;

 private:
  enum class Pause { None, NoAnswer };
  void attach(RegisterForm& form);
  void detach();
  void watchChanged(bool clicked);
  void boardChanged();
  bool anyWatched() const;
  int intervalMs() const;
  // One round: every watched register read once, in address order. False
  // when a read went unanswered (watching is paused then).
  void readRound();
  bool readOne(int reg, uint8_t slave);
  void takeAwayMarks(int64_t now);

  I2cOperations& ops_;
  forms::Dispatcher& dispatcher_;
  RegisterForm* form_ = nullptr;
  forms::SystemClock systemClock_;
  const forms::Clock* clock_ = &systemClock_;
  Pause pause_ = Pause::None;
  std::optional<int64_t> nextRound_;                                // none: a round is due as soon as one can run
  std::array<int64_t, usb::protocol::kRegisterCount> markUntil_{};  // 0: no "changed" mark
  forms::Connection windowObserver_, formObserver_, boardObserver_;
};

}  // namespace glim::i2c
