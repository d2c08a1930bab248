#include "script/control_actions.h"

#include "script/escape.h"

namespace glim::script {

ShownValue shownValue(const forms::Control& control) {
  switch (control.kind()) {
    case forms::ControlKind::TextBox:
      return {static_cast<const forms::TextBox&>(control).text(), true};
    case forms::ControlKind::CheckBox:
      return {std::to_string(static_cast<const forms::CheckBox&>(control).value()), false};
    case forms::ControlKind::OptionButton:
      return {static_cast<const forms::OptionButton&>(control).value() ? "1" : "0", false};
    case forms::ControlKind::CommandButton:
    case forms::ControlKind::MenuItem:
    case forms::ControlKind::Label:
    case forms::ControlKind::Frame:
      break;
  }
  return {control.caption(), true};
}

std::string printLine(std::string_view name, const ShownValue& shown) {
  std::string line(name);
  line += " = ";
  if (!shown.quoted) return line + shown.value;
  return line + "\"" + escapeText(shown.value) + "\"";
}

namespace {
// Length of the UTF-8 sequence starting at text[i] (a stray byte counts alone).
std::size_t characterLength(std::string_view text, std::size_t i) {
  std::size_t n = 1;
  while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}
}  // namespace

void typeInto(forms::TextBox& box, std::string_view text) {
  box.setSelection(0, box.text().size());
  if (text.empty()) {
    box.setText("");
    return;
  }
  // A keystroke over a selection is a change even when it puts back the same
  // character.
  std::size_t i = characterLength(text, 0);
  box.enterText(std::string(text.substr(0, i)));
  while (i < text.size()) {
    const std::size_t n = characterLength(text, i);
    box.appendText(text.substr(i, n));
    i += n;
  }
}

}  // namespace glim::script
