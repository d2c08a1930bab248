#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "app/end_requests.h"
#include "app/first_paint_probe.h"
#include "app/last_session.h"
#include "app/main_window.h"
#include "app/qt_ui_host.h"
#include "app/script_player.h"
#include "app/sim_board_window.h"
#include "app/startup_file.h"
#include "app/windows_console.h"
#include "forms/signal.h"
#include "shell/program.h"
#include "usb/driver_factory.h"
#include "usb/vendor_choice.h"

namespace {

// GLIMMORA_VENDOR_ID: the boards' vendor id, when it is not the built-in
// one. A value that is none is said on standard error and, as no console
// shows that on Windows, in a message box.
std::optional<uint16_t> chosenVendorId() {
  const auto vendor = glim::usb::chooseVendorId(std::getenv("GLIMMORA_VENDOR_ID"), "GLIMMORA_VENDOR_ID");
  if (vendor.outcome.ok()) return vendor.vendorId;
  std::cerr << "glimmora: " << vendor.outcome.reason() << '\n';
  QMessageBox::critical(nullptr, QString::fromLatin1(glim::app::kApplicationName),
                        QString::fromStdString(vendor.outcome.reason()));
  return std::nullopt;
}

// --board, else GLIMMORA_USB, chooses the layer: "sim", "sim-empty",
// otherwise real boards.
glim::usb::DriverChoice chosenLayer(const glim::app::StartOptions& options) {
  const char* usbChoice = std::getenv("GLIMMORA_USB");
  return options.board.value_or(glim::usb::parseDriverChoice(usbChoice != nullptr ? usbChoice : ""));
}

// On the simulated layer a window of its own plays the hardware; it must
// exist before the main window's first activation opens the driver. It is
// usable while the program waits, tells the recorder what the person does
// there, and makes room for the register window as it is placed.
std::unique_ptr<glim::app::SimBoardWindow> boardWindowFor(glim::shell::Program& program, glim::app::MainWindow& window,
                                                          glim::forms::Connection& placesRegisterWindow) {
  auto board = glim::app::SimBoardWindow::forProgram(program);
  if (!board) return board;
  window.waitHost().letThrough(board.get());
  board->setRecorder(&window.recorder());
  window.addBoardWindow(board.get());
  placesRegisterWindow = board->onAnchorMoved.connectScoped([&window] { window.placeRegisterWindowAgain(); });
  return board;
}

// --run SCRIPT: the script plays once the window has started; the window
// stays open, and what glimmora-cli would print goes to standard output.
// With --exit the program ends when the script has played (status 2 when it
// could not start).
void playAfterStart(glim::app::MainWindow& window, glim::app::QtUiHost& ui, const QString& runFile, bool exitAfterRun) {
  ui.setUnattended(exitAfterRun);
  QTimer::singleShot(0, &window, [&window, runFile, exitAfterRun] {
    const glim::text::Outcome started = window.runScript(runFile, &std::cout, &std::cerr);
    if (!exitAfterRun) return;
    if (!started.ok()) {
      QApplication::exit(2);
      return;
    }
    QObject::connect(window.scriptPlayer(), &glim::app::ScriptPlayer::runningChanged, &window, [](bool running) {
      if (running) return;
      std::cout.flush();
      QApplication::closeAllWindows();
      QApplication::quit();
    });
  });
}

}  // namespace

int main(int argc, char* argv[]) {
  QElapsedTimer sinceStart;
  sinceStart.start();

  glim::app::useParentConsoleIfAny();
  // The command line is read before the window system is opened: --help,
  // --version and a refused command line need no display.
  const glim::app::StartOptions options = glim::app::readStartOptions(argc, argv, QStringLiteral(GLIMMORA_VERSION));

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(glim::app::kApplicationName));
  QApplication::setApplicationVersion(QStringLiteral(GLIMMORA_VERSION));
  const std::optional<uint16_t> vendorId = chosenVendorId();
  if (!vendorId) return 2;

  glim::app::QtUiHost ui;
  glim::shell::Program program(glim::usb::createDriver(chosenLayer(options), *vendorId), ui, *vendorId);
  glim::app::MainWindow window(program, &ui);
  window.keepLastSessionIn(glim::app::lastSessionPath());
  window.keepSettingsIn(glim::app::windowSettingsPath());
  window.loadRegisterDescriptionsAtStart(options.registersFile);
  QApplication::setWindowIcon(window.windowIcon());  // message boxes and file dialogs too
  glim::forms::Connection placesRegisterWindow;
  const auto board = boardWindowFor(program, window, placesRegisterWindow);
  // --record FILE: everything done in the windows is recorded from start-up.
  if (!options.recordScript.isEmpty()) {
    if (const glim::text::Outcome started = window.startRecording(options.recordScript); !started.ok()) {
      std::cerr << "glimmora: " << started.reason() << '\n';
      return 2;
    }
  }
  QObject::connect(&window, &glim::app::MainWindow::ended, &app, [] {
    QApplication::closeAllWindows();
    QApplication::quit();
  });
  // Asked to end by the system (SIGTERM at logout, SIGHUP, Ctrl+C; the
  // console's close on Windows): as "Quit". Ended past the event loop (the
  // end of the Windows session): "Quit" there and then.
  const glim::app::EndRequests endRequests([&window] { window.endAsAsked(); });
  QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] { window.endNow(); });

  // Start-up measurement: with GLIMMORA_EXIT_AFTER_PAINT set, print when the
  // window has first been painted, then end.
  glim::app::FirstPaintProbe::exitAfterPaintIfAsked(&window, sinceStart);

  window.show();
  if (board) board->showBeside(window, [&window] { return window.registerWindowSize(); });
  if (options.configFile) glim::app::loadConfigAfterStart(program, *options.configFile);
  if (!options.runScript.isEmpty()) playAfterStart(window, ui, options.runScript, options.exitAfterRun);
  return QApplication::exec();
}
