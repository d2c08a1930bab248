#include <algorithm>

#include "i2c/register_form.h"

namespace glim::i2c {

// Observers are not told here: at the program's end the views may be gone.
RegisterWindow::~RegisterWindow() = default;

template <typename Call>
void RegisterWindow::tell(Call call) {
  // A copy: an observer may subscribe or unsubscribe while being told.
  const auto observers = observers_;
  ++telling_;
  for (const auto& [id, observer] : observers) call(observer);
  --telling_;
}

void RegisterWindow::freeRetired() {
  // A form whose handler is still on the stack stays until a later call; so
  // does every form while observers are told about one of them.
  if (telling_ > 0) return;
  std::erase_if(retired_, [](const std::unique_ptr<RegisterForm>& f) { return !f->handlerRunning(); });
}

RegisterForm& RegisterWindow::get() {
  if (!form_) {
    freeRetired();
    form_ = std::make_unique<RegisterForm>(ops_, *this);
    RegisterForm* created = form_.get();
    tell([created](const Observer& o) {
      if (o.created) o.created(*created);
    });
    // An observer that closed it at once still gets back the form it was told of.
    if (!form_) return *created;
  }
  return *form_;
}

void RegisterWindow::show() {
  get();
  freeRetired();
  if (shown_) return;
  shown_ = true;
  tell([](const Observer& o) {
    if (o.shownChanged) o.shownChanged(true);
  });
}

void RegisterWindow::hide() {
  freeRetired();
  if (!shown_ || !form_) return;
  shown_ = false;
  tell([](const Observer& o) {
    if (o.shownChanged) o.shownChanged(false);
  });
}

void RegisterWindow::unload() {
  if (form_) {
    // Aside first, so that the window counts as closed while observers are told.
    retired_.push_back(std::move(form_));
    RegisterForm* closing = retired_.back().get();
    const bool wasShown = shown_;
    shown_ = false;
    if (wasShown) {
      tell([](const Observer& o) {
        if (o.shownChanged) o.shownChanged(false);
      });
    }
    tell([closing](const Observer& o) {
      if (o.destroying) o.destroying(*closing);
    });
  }
  shown_ = false;
  freeRetired();
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
