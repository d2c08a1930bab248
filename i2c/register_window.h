#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "forms/signal.h"

namespace glim::i2c {

class I2cOperations;
class RegisterForm;

// The single instance of the register window, reached by name: created on
// first use with its defaults (not shown), shown on request, destroyed on close.
class RegisterWindow {
 public:
  enum class State { NotLoaded, Hidden, Shown };
  struct Observer {
    std::function<void(RegisterForm&)> created;
    std::function<void(RegisterForm&)> destroying;  // before the form goes away
    std::function<void(bool shown)> shownChanged;
  };

  explicit RegisterWindow(I2cOperations& ops) : ops_(ops) {}
  ~RegisterWindow();
  RegisterWindow(const RegisterWindow&) = delete;
  RegisterWindow& operator=(const RegisterWindow&) = delete;

  RegisterForm& get();  // creates it when needed
  RegisterForm* existing() const { return form_.get(); }
  void show();  // creates it when needed
  void hide();
  // Closes the window: everything typed into it is lost. Observers are told
  // (shownChanged(false) if it was shown, then destroying) and must let go of
  // the form. Safe to call from one of its own handlers: a form whose handler
  // still runs is kept aside and freed by a later get(), show(), hide() or
  // unload(), or with the window object.
  void unload();
  State state() const;

  // Told until the connection goes; one that goes while observers are told is
  // not told again.
  forms::Connection subscribe(Observer observer) { return observers_.connectScoped(std::move(observer)); }

  // Closed forms not freed yet (for tests).
  std::size_t retiredCount() const { return retired_.size(); }

 private:
  void freeRetired();

  I2cOperations& ops_;
  std::unique_ptr<RegisterForm> form_;
  std::vector<std::unique_ptr<RegisterForm>> retired_;
  bool shown_ = false;
  forms::Signal<Observer> observers_;
};

}  // namespace glim::i2c
