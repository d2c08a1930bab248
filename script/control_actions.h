#pragma once
#include <string>
#include <string_view>

#include "forms/control.h"

namespace glim::script {

// A control's value as `print` shows it: text in quotes (a text box's text, a
// caption otherwise), a check box's 0/1/2 and an option button's 1/0 without.
struct ShownValue {
  std::string value;
  bool quoted = true;
};

ShownValue shownValue(const forms::Control& control);

// `NAME = "text"` or `NAME = 1`.
std::string printLine(std::string_view name, const ShownValue& shown);

// The user selects all of the box's text and types `text` one character (one
// UTF-8 sequence) at a time: the first replaces the selection, each further one
// goes at the end of the text as it then stands. One change per character;
// typing nothing deletes the selection, a change only when there was text.
void typeInto(forms::TextBox& box, std::string_view text);

}  // namespace glim::script
