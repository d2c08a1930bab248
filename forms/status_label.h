#pragma once
#include <string>

#include "forms/control.h"
#include "text/outcome.h"

namespace glim::forms {

// A window's status line: the outcome of its last board or file action, as
// "ACTION: OUTCOME". It is a label to scripts; views also show whether the
// outcome is a problem (a failure, or a value that did not read back), which
// stays until the next action.
class StatusLabel : public Label {
 public:
  using Label::Label;

  bool problem() const { return problem_; }
  // The kind of failure the line tells of: None after an action that was
  // done, even one with a warning (problem() then says so).
  text::FailureKind failure() const { return failure_; }
  // The flags are set before views hear of the new caption.
  void show(const std::string& action, const std::string& outcome, bool problem,
            text::FailureKind failure = text::FailureKind::None) {
    problem_ = problem || failure != text::FailureKind::None;
    failure_ = failure;
    setCaption(action + ": " + outcome);
  }
  void succeeded(const std::string& action, const std::string& outcome) { show(action, outcome, false); }
  void failed(const std::string& action, const std::string& reason, text::FailureKind kind = text::FailureKind::Other) {
    show(action, "failed: " + reason, true, kind == text::FailureKind::None ? text::FailureKind::Other : kind);
  }
  void failed(const std::string& action, const text::Outcome& outcome) {
    failed(action, outcome.reason(), outcome.kind());
  }

 private:
  bool problem_ = false;
  text::FailureKind failure_ = text::FailureKind::None;
};

}  // namespace glim::forms
