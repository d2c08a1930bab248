#include "i2c/register_form.h"

namespace glim::i2c {
RegisterWindow::~RegisterWindow() = default;
RegisterForm& RegisterWindow::get() {
  if (!form_) form_ = std::make_unique<RegisterForm>(ops_, *this);
  return *form_;
}
void RegisterWindow::show() { get(); shown_ = true; }
void RegisterWindow::hide() { shown_ = false; }
void RegisterWindow::unload() {
  if (form_) retired_.push_back(std::move(form_));
  shown_ = false;
}
RegisterWindow::State RegisterWindow::state() const {
  if (!form_) return State::NotLoaded;
  return shown_ ? State::Shown : State::Hidden;
}
int RegisterWindow::subscribe(Observer observer) {
  observers_.emplace_back(nextId_, std::move(observer));
  return nextId_++;
}
void RegisterWindow::unsubscribe(int id) {
  std::erase_if(observers_, [id](const auto& e) { return e.first == id; });
}
}  // namespace glim::i2c
