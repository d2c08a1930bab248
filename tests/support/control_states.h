#pragma once
// The state of the windows' controls as `print` shows it, by the names a
// script gives them: what tests compare to show that nothing moved, or that
// two runs agree.
#include <map>
#include <string>

#include "script/control_actions.h"
#include "shell/main_form.h"

namespace glim::testing {

// Calls `take(name, control, shown)` for every control of `form`, in the
// form's order; `prefix` goes before each name ("Glimmora_i2c.").
template <typename Take>
void eachControl(const forms::Form& form, const std::string& prefix, Take&& take) {
  for (const forms::Control* c : form.controls()) take(prefix + c->qualifiedName(), *c, script::shownValue(*c));
}

// Whether a person sets the control's value (text, check, option) rather
// than reading its caption.
inline bool holdsValue(const forms::Control& c) {
  return c.kind() == forms::ControlKind::TextBox || c.kind() == forms::ControlKind::CheckBox ||
         c.kind() == forms::ControlKind::OptionButton;
}

// Every value of both windows (the register window's when it exists).
inline std::map<std::string, std::string> controlStates(const shell::MainForm& main) {
  std::map<std::string, std::string> states;
  const auto take = [&states](const std::string& name, const forms::Control& c, const script::ShownValue& shown) {
    if (holdsValue(c)) states[name] = shown.value;
  };
  eachControl(main.form, "", take);
  if (const auto* registers = main.i2cWindow.existing()) eachControl(registers->form, "Glimmora_i2c.", take);
  return states;
}

}  // namespace glim::testing
