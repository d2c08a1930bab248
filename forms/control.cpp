#include "forms/control.h"

#include <algorithm>

namespace glim::forms {

std::string Control::qualifiedName() const {
  if (index_ < 0) return name_;
  return name_ + "(" + std::to_string(index_) + ")";
}

void Control::setEnabled(bool on) {
  if (enabled_ == on) return;
  enabled_ = on;
  notify(ControlEvent::Enabled);
}

void Control::setCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  notify(ControlEvent::Caption);
}

void Control::setNote(std::string note) {
  if (note_ == note) return;
  note_ = std::move(note);
  noteObservers_.notify(ControlEvent::Note);
}

void TextBox::setText(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  changed();
}

void TextBox::enterText(std::string text) {
  text_ = std::move(text);
  changed();
}

void TextBox::changed() {
  selStart_ = std::min(selStart_, text_.size());
  selLength_ = 0;
  appendedFrom_ = text_.size();
  notify(ControlEvent::Text);
  if (onChange_) onChange_();
}

void TextBox::appendText(std::string_view text) {
  appendedFrom_ = text_.size();
  text_.append(text);
  selStart_ = text_.size();
  selLength_ = 0;
  notify(ControlEvent::Appended);
  if (onChange_ && !text.empty()) onChange_();
}

void TextBox::replaceFront(std::size_t count, std::string_view with) {
  count = std::min(count, text_.size());
  removed_.assign(text_, 0, count);
  text_.replace(0, count, with);
  frontAdded_ = with.size();
  const auto shift = [&](std::size_t at) { return at < count ? with.size() : at - count + with.size(); };
  const std::size_t end = shift(selStart_ + selLength_);
  selStart_ = shift(selStart_);
  selLength_ = end - selStart_;
  appendedFrom_ = text_.size();
  notify(ControlEvent::Front);
  if (onChange_) onChange_();
}

std::string_view TextBox::lastAppended() const {
  return std::string_view(text_).substr(std::min(appendedFrom_, text_.size()));
}

void TextBox::setSelection(std::size_t start, std::size_t length) {
  start = std::min(start, text_.size());
  length = std::min(length, text_.size() - start);
  if (start == selStart_ && length == selLength_) return;
  selStart_ = start;
  selLength_ = length;
  notify(ControlEvent::Selection);
}

void CheckBox::setValue(int value) {
  if (value == value_) return;
  value_ = value;
  notify(ControlEvent::Value);
  if (onClick_) onClick_();
}

void CheckBox::userClick() { setValue(value_ == Unchecked ? Checked : Unchecked); }

OptionButton* OptionGroup::selected() const {
  for (OptionButton* b : buttons_) {
    if (b->value()) return b;
  }
  return nullptr;
}

OptionButton::OptionButton(std::string name, int index, OptionGroup& group)
    : Control(std::move(name), index), group_(group) {
  group_.add(*this);
}

void OptionButton::select() {
  for (OptionButton* other : group_.buttons()) {
    if (other != this && other->value_) {
      other->value_ = false;
      other->notify(ControlEvent::Value);
    }
  }
  value_ = true;
  notify(ControlEvent::Value);
}

void OptionButton::setValue(bool selected) {
  if (selected == value_) return;
  if (!selected) {
    value_ = false;
    notify(ControlEvent::Value);
    return;
  }
  select();
  if (onClick_) onClick_();
}

void OptionButton::userClick() {
  if (!value_) select();
  if (onClick_) onClick_();
}

void OptionButton::restoreSelected() {
  if (!value_) select();
}

void CommandButton::click() {
  if (onClick_) onClick_();
}

}  // namespace glim::forms
