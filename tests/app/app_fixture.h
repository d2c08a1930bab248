#pragma once
#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>
#include <memory>

#include "app/main_window.h"
#include "support/sim_program.h"

namespace glim::testing {

// The whole program on the simulated layer with its real main window: the
// window is built but neither shown nor activated, so nothing has run yet.
class AppFixture {
 public:
  AppFixture() : window(std::make_unique<app::MainWindow>(*sim.program)) {}

  shell::MainForm& main() { return sim.main(); }

  // Shown and active (shortcuts fire only in the active window); the first
  // activation has started the driver.
  bool showActive() {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
  }

  template <typename W = QWidget>
  W* find(const char* name) const {
    return window->findChild<W*>(QString::fromLatin1(name));
  }

  // Ends the program as a person does: "Quit", "Exit" (the menu), "Ctrl+X"
  // (with a button focused) or "close box". False when the close box refused.
  bool endProgram(const QString& way) {
    if (way == QLatin1String("Quit")) QTest::mouseClick(find<QPushButton>("cbQuit"), Qt::LeftButton);
    if (way == QLatin1String("Exit")) find<QAction>("nMenuFileExit")->trigger();
    if (way == QLatin1String("Ctrl+X")) {
      auto* button = find<QPushButton>("cbWritesettings");
      button->setFocus();
      QTest::keyClick(button, Qt::Key_X, Qt::ControlModifier);
    }
    return way != QLatin1String("close box") || window->close();
  }

  // Every line edit shows exactly its control's text.
  QString firstStaleBox() const {
    for (forms::Control* control : sim.program->main.form.controls()) {
      auto* box = dynamic_cast<forms::TextBox*>(control);
      if (box == nullptr || box->multiLine) continue;
      auto* edit = window->findChild<QLineEdit*>(QString::fromStdString(box->qualifiedName()));
      if (edit == nullptr) return QString::fromStdString(box->qualifiedName()) + QStringLiteral(" has no widget");
      if (edit->text().toStdString() != box->text()) return QString::fromStdString(box->qualifiedName());
    }
    return {};
  }

  SimProgram sim{false};
  std::unique_ptr<app::MainWindow> window;  // after sim: goes before the program
};

// A control of an indexed set by its name: "tbI2Creg(5)".
inline QString indexed(const char* name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

// Without any font Qt draws boxes and says nothing.
inline bool fontsAvailable() { return !QFontInfo(QApplication::font()).family().isEmpty(); }

// The head the window tests share: each test function gets a program of its
// own (`f`), its main window shown and active, gone after the function. A
// test class with more to set up or tear down declares its own init() or
// cleanup(), which Qt Test then calls instead of these.
class WindowTest : public QObject {
  Q_OBJECT

 protected:
  std::unique_ptr<AppFixture> f;

  // A fresh program, its main window shown and active (false if it never
  // became active).
  [[nodiscard]] bool start();

 private slots:
  void initTestCase();
  void init();
  void cleanup();
};

}  // namespace glim::testing
