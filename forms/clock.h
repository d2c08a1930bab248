#pragma once
#include <cstdint>
#include <string>

namespace glim::forms {

// Where the program reads the time for what it does on a schedule (watching
// registers): the system's clock in earnest, or a script runner's own clock,
// which moves only when a script waits, so that its transcripts come out the
// same at every run and at once.
class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some start of the clock's own; never goes back.
  virtual int64_t nowMs() const = 0;
  // The time of day now, as a log line starts: "12:03:04.120".
  virtual std::string timeOfDay() const = 0;
};

// The system's clocks: a steady one for intervals, the wall clock (local
// time) for the time of day.
class SystemClock final : public Clock {
 public:
  int64_t nowMs() const override;
  std::string timeOfDay() const override;
};

// A clock that stands still until advanced; its time of day counts from
// 00:00:00.000 at its start.
class ScriptClock final : public Clock {
 public:
  int64_t nowMs() const override { return now_; }
  std::string timeOfDay() const override;
  // Moves the clock on to `ms` (a time before now leaves it where it is).
  void advanceTo(int64_t ms) {
    if (ms > now_) now_ = ms;
  }

 private:
  int64_t now_ = 0;
};

// "HH:MM:SS.mmm" of `ms` milliseconds after midnight (wrapping at a day).
std::string timeOfDayText(int64_t ms);

}  // namespace glim::forms
