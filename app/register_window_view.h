#pragma once
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>

#include "app/bindings.h"
#include "forms/signal.h"

class QFont;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace glim::i2c {
class RegisterForm;
class RegisterWindow;
}  // namespace glim::i2c

namespace glim::app {

// The register window `Glimmora_i2c`: a top-level window of its own, with no
// owner, that shows the core's register form. It holds no state: closing it
// unloads the form, and the form's unloading destroys it.
class RegisterBitsPanel;

class RegisterWindowView : public QWidget {
 public:
  // What the person does in it is told to `recorder` (when given).
  RegisterWindowView(i2c::RegisterForm& form, forms::Dispatcher& dispatcher,
                     script::ScriptRecorder* recorder = nullptr);
  ~RegisterWindowView() override;

  // Null once the form is going away.
  i2c::RegisterForm* form() const { return form_; }
  // Cuts every tie to the form (it is about to be destroyed).
  void detach();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void build();
  void buildRows(QGridLayout& grid);
  void buildActions(QGridLayout& grid);
  QGridLayout* columnGrid(QWidget* on) const;
  std::array<int, 8> columnWidths() const;
  QFont markFont() const;
  QFont headingFont() const;
  QLabel* label(forms::Label& control);
  QLineEdit* box(forms::TextBox& control, bool typed);
  QPushButton* button(forms::CommandButton& control, const QString& tip);

  i2c::RegisterForm* form_;
  Binder binder_;
  QPointer<RegisterBitsPanel> bits_;
};

// Keeps a view for the core's register window: created with the form, shown
// and hidden with it, deleted when the form is destroyed.
class RegisterWindowFollower {
 public:
  RegisterWindowFollower(i2c::RegisterWindow& window, forms::Dispatcher& dispatcher,
                         script::ScriptRecorder* recorder = nullptr);
  ~RegisterWindowFollower();
  RegisterWindowFollower(const RegisterWindowFollower&) = delete;
  RegisterWindowFollower& operator=(const RegisterWindowFollower&) = delete;

  RegisterWindowView* view() const { return view_; }
  // Told to place a new view before it is first shown (each view once).
  forms::Signal<std::function<void(RegisterWindowView&)>> placeNew;

 private:
  RegisterWindowView* ensureView(i2c::RegisterForm* form);
  void showView(bool shown);
  void dropView();

  i2c::RegisterWindow& window_;
  forms::Dispatcher& dispatcher_;
  script::ScriptRecorder* recorder_;
  QPointer<RegisterWindowView> view_;
  bool placed_ = false;
  forms::Connection observer_;
};

}  // namespace glim::app
