#pragma once
#include <string>
#include <utility>

namespace glim::text {

// Why something failed, in words a person can read ("Permission denied").
// Made only on purpose: no text becomes a failure by itself.
struct Failure {
  explicit Failure(std::string why) : reason(std::move(why)) {}
  std::string reason;
};

// Done, or failed with a reason. The default is done; a Failure converts to a
// failed one. Whatever returns one wants it looked at.
class [[nodiscard]] Outcome {
 public:
  Outcome() = default;
  Outcome(Failure failure) : failed_(true), reason_(std::move(failure.reason)) {}

  bool ok() const { return !failed_; }
  // Why it failed ("" when it did not).
  const std::string& reason() const { return reason_; }

  bool operator==(const Outcome&) const = default;

 private:
  bool failed_ = false;
  std::string reason_;
};

}  // namespace glim::text
