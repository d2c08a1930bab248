#pragma once
#include <string>

#include "forms/control.h"

namespace glim::forms {

// A window's status line: the outcome of its last board or file action, as
// "ACTION: OUTCOME". It is a label to scripts; views also show whether the
// outcome is a problem (a failure, or a value that did not read back), which
// stays until the next action.
class StatusLabel : public Label {
 public:
  using Label::Label;

  bool problem() const { return problem_; }
  // The flag is set before views hear of the new caption.
  void show(const std::string& action, const std::string& outcome, bool problem) {
    const bool turned = problem != problem_;
    problem_ = problem;
    std::string caption = action + ": " + outcome;
    // The same words, now a problem or no longer one: views must hear of it.
    if (turned && caption == this->caption()) {
      notify(ControlEvent::Caption);
    } else {
      setCaption(std::move(caption));
    }
  }
  void succeeded(const std::string& action, const std::string& outcome) { show(action, outcome, false); }
  void failed(const std::string& action, const std::string& reason) { show(action, "failed: " + reason, true); }

 private:
  bool problem_ = false;
};

}  // namespace glim::forms
