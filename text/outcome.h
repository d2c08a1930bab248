#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace glim::text {

// What kind of failure it was, for code that must act on it (a batch stops
// at a cancel, a watch pauses on no answer, a script's caller tells a time-out
// from a refusal). The reason stays the words for people; code tests this.
enum class FailureKind : uint8_t {
  None,       // not a failure
  Other,      // a file error, a text that is no number, ...
  NoBoard,    // no board held
  NotSent,    // refused before anything went to the board (a value that does not fit)
  Refused,    // the board or the USB layer refused the transfer
  TimedOut,   // the board did not answer in time
  Short,      // the board took or gave fewer bytes than the packet has
  NoAnswer,   // the board answered, but the chip did not acknowledge
  Cancelled,  // the person cancelled the wait
};

// "no board", "timed out", ...: the kind as scripts and other front ends name it.
constexpr std::string_view failureKindName(FailureKind kind) {
  switch (kind) {
    case FailureKind::None:
      return "none";
    case FailureKind::Other:
      return "other";
    case FailureKind::NoBoard:
      return "no board";
    case FailureKind::NotSent:
      return "not sent";
    case FailureKind::Refused:
      return "refused";
    case FailureKind::TimedOut:
      return "timed out";
    case FailureKind::Short:
      return "short";
    case FailureKind::NoAnswer:
      return "no answer";
    case FailureKind::Cancelled:
      return "cancelled";
  }
  return "other";
}

// Why something failed, in words a person can read ("Permission denied"), and
// its kind. Made only on purpose: no text becomes a failure by itself.
struct Failure {
  explicit Failure(std::string why, FailureKind what = FailureKind::Other)
      : reason(std::move(why)), kind(what == FailureKind::None ? FailureKind::Other : what) {}
  std::string reason;
  FailureKind kind;
};

// Done, or failed with a reason. The default is done; a Failure converts to a
// failed one. Whatever returns one wants it looked at.
class [[nodiscard]] Outcome {
 public:
  Outcome() = default;
  Outcome(Failure failure) : kind_(failure.kind), reason_(std::move(failure.reason)) {}

  bool ok() const { return kind_ == FailureKind::None; }
  // FailureKind::None when it did not fail.
  FailureKind kind() const { return kind_; }
  // Why it failed ("" when it did not).
  const std::string& reason() const { return reason_; }

  bool operator==(const Outcome&) const = default;

 private:
  FailureKind kind_ = FailureKind::None;
  std::string reason_;
};

}  // namespace glim::text
