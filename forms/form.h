#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "forms/control.h"

namespace glim::forms {

// A window as the program sees it: a caption and named controls, reached by
// "name" or "name(index)". The form does not own its controls; the class that
// holds them (and their handlers) registers them.
class Form {
 public:
  Form(std::string name, std::string caption) : name_(std::move(name)), caption_(std::move(caption)) {}
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& name() const { return name_; }
  const std::string& caption() const { return caption_; }

  void add(Control& control);
  template <typename... Controls>
  void addAll(Controls&... controls) {
    (add(controls), ...);
  }
  template <typename Array>
  void addArray(Array& controls) {
    for (auto& c : controls) add(c);
  }

  Control* find(std::string_view qualifiedName) const;
  template <typename T>
  T* findAs(std::string_view qualifiedName) const {
    return dynamic_cast<T*>(find(qualifiedName));
  }
  // In the order they were added.
  const std::vector<Control*>& controls() const { return ordered_; }

 private:
  std::string name_;
  std::string caption_;
  std::map<std::string, Control*, std::less<>> byName_;
  std::vector<Control*> ordered_;
};

}  // namespace glim::forms
