#pragma once
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "forms/ui_host.h"

namespace glim::testing {

// A front end for tests: records every message box and file dialog, and
// answers dialogs from a queue (cancel when empty).
class RecordingUi : public forms::UiHost {
 public:
  struct Box {
    std::string text;
    std::string caption;
    bool operator==(const Box&) const = default;
  };
  struct Dialog {
    forms::FileDialogKind kind;
    forms::FileDialogSetup setup;
  };

  void messageBox(const std::string& text, const std::string& caption) override { boxes.push_back({text, caption}); }
  forms::FileChoice fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) override {
    dialogs.push_back({kind, setup});
    if (answers.empty()) return forms::FileChoice::cancelled();
    auto answer = answers.front();
    answers.pop_front();
    return answer ? forms::FileChoice::chosen(*answer) : forms::FileChoice::cancelled();
  }

  int countBoxes(const std::string& text) const {
    int n = 0;
    for (const auto& b : boxes) n += b.text == text ? 1 : 0;
    return n;
  }

  std::vector<Box> boxes;
  std::vector<Dialog> dialogs;
  std::deque<std::optional<std::string>> answers;  // nullopt = Cancel
};

}  // namespace glim::testing
