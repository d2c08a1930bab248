#include "forms/form.h"

#include <stdexcept>

namespace glim::forms {

void Form::add(Control& control) {
  const auto [it, inserted] = byName_.emplace(control.qualifiedName(), &control);
  if (!inserted) throw std::logic_error("control registered twice: " + control.qualifiedName());
  ordered_.push_back(&control);
}

Control* Form::find(std::string_view qualifiedName) const {
  const auto it = byName_.find(qualifiedName);
  return it == byName_.end() ? nullptr : it->second;
}

}  // namespace glim::forms
