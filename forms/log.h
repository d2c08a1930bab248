#pragma once
#include <string>
#include <string_view>

#include "forms/control.h"

namespace glim::forms {

inline constexpr std::string_view kCrLf = "\r\n";

// Appends text and suffix to any text control and puts the caret after the last
// character, so that the pane shows the newest line.
void textAppend(TextBox& box, std::string_view text, std::string_view suffix);

// The log pane's writers. Lines end in CR LF.
class Log {
 public:
  explicit Log(TextBox& txtLog) : box_(txtLog) {}
  void logText(std::string_view text, std::string_view suffix) { textAppend(box_, text, suffix); }
  void logError(std::string_view text) { textAppend(box_, text, kCrLf); }
  void logMessage(std::string_view text) { textAppend(box_, text, kCrLf); }
  TextBox& box() { return box_; }

 private:
  TextBox& box_;
};

}  // namespace glim::forms
