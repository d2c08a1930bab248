#include "i2c/register_window.h"

#include <algorithm>

#include "i2c/register_form.h"

namespace glim::i2c {

// Observers are not told here: at the program's end the views may be gone.
RegisterWindow::~RegisterWindow() = default;

void RegisterWindow::freeRetired() {
  // A form whose handler is still on the stack stays until a later call; so
  // does every form while observers are told about one of them.
  if (observers_.notifying()) return;
  std::erase_if(retired_, [](const std::unique_ptr<RegisterForm>& f) { return !f->handlerRunning(); });
}

RegisterForm& RegisterWindow::get() {
  if (!form_) {
    freeRetired();
    form_ = std::make_unique<RegisterForm>(ops_, *this);
    RegisterForm* created = form_.get();
    observers_.forEach([created](const Observer& o) {
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
  observers_.forEach([](const Observer& o) {
    if (o.shownChanged) o.shownChanged(true);
  });
}

void RegisterWindow::hide() {
  freeRetired();
  if (!shown_ || !form_) return;
  shown_ = false;
  observers_.forEach([](const Observer& o) {
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
      observers_.forEach([](const Observer& o) {
        if (o.shownChanged) o.shownChanged(false);
      });
    }
    observers_.forEach([closing](const Observer& o) {
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

}  // namespace glim::i2c
