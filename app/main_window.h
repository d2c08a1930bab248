#pragma once
#include <QMainWindow>
#include <memory>

#include "app/bindings.h"
#include "app/board_wait_host.h"
#include "app/dispatcher_pump.h"

namespace glim::shell {
class Program;
}

namespace glim::app {

class RegisterWindowFollower;
class RegisterWindowView;

// The main window `Glimmora_interface`: the menu, every control of the main
// form on a fixed-size content widget, and the register window's view. It
// opens the driver on its first activation and ends with the main form.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(shell::Program& program);
  ~MainWindow() override;

  // The widget that holds every control (its size is the enlarged window's).
  QWidget* content() const { return content_; }
  // Null while the register window does not exist.
  RegisterWindowView* registerView() const;
  // Where the program waits for the board.
  BoardWaitHost& waitHost() { return waitHost_; }

 signals:
  // The main form was unloaded: the program is over.
  void ended();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  void activate();
  void programEnded();

  shell::Program& program_;
  DispatcherPump pump_;
  BoardWaitHost waitHost_;
  Binder binder_;
  QWidget* content_ = nullptr;
  std::unique_ptr<RegisterWindowFollower> registerWindow_;
};

}  // namespace glim::app
