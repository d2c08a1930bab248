#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <iostream>

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
  // --run SCRIPT: the script plays once the window has started; the window
  // stays open, and what glimmora-cli would print goes to standard output.
  // --record FILE: everything done in the windows is recorded from start-up.
  const QString& runFile = options.runScript;
  const QString& recordFile = options.recordScript;
  const bool exitAfterRun = options.exitAfterRun;
  const auto& configFile = options.configFile;

  // GLIMMORA_VENDOR_ID: the boards' vendor id, when it is not the built-in one.
  const auto vendor = glim::usb::chooseVendorId(std::getenv("GLIMMORA_VENDOR_ID"), "GLIMMORA_VENDOR_ID");
  if (!vendor.outcome.ok()) {
    std::cerr << "glimmora: " << vendor.outcome.reason() << '\n';
    // On Windows no console shows standard error: the person is told in a box.
    QMessageBox::critical(nullptr, QString::fromLatin1(glim::app::kApplicationName),
                          QString::fromStdString(vendor.outcome.reason()));
    return 2;
  }

  glim::app::QtUiHost ui;
  // --board, else GLIMMORA_USB, chooses the layer: "sim", "sim-empty",
  // otherwise real boards.
  const char* usbChoice = std::getenv("GLIMMORA_USB");
  const glim::usb::DriverChoice layer =
      options.board.value_or(glim::usb::parseDriverChoice(usbChoice != nullptr ? usbChoice : ""));
  glim::shell::Program program(glim::usb::createDriver(layer, vendor.vendorId), ui, vendor.vendorId);
  glim::app::MainWindow window(program, &ui);
  window.keepLastSessionIn(glim::app::lastSessionPath());
  window.keepSettingsIn(glim::app::windowSettingsPath());
  window.loadRegisterDescriptionsAtStart(options.registersFile);
  QApplication::setWindowIcon(window.windowIcon());  // message boxes and file dialogs too
  // On the simulated layer a window of its own plays the hardware; it must
  // exist before the main window's first activation opens the driver.
  const auto board = glim::app::SimBoardWindow::forProgram(program);
  if (board) window.waitHost().letThrough(board.get());  // usable while the program waits
  if (board) board->setRecorder(&window.recorder());
  glim::forms::Connection placesRegisterWindow;
  if (board) {
    window.addBoardWindow(board.get());
    placesRegisterWindow = board->onAnchorMoved.connectScoped([&window] { window.placeRegisterWindowAgain(); });
  }
  if (!recordFile.isEmpty()) {
    if (const glim::text::Outcome started = window.startRecording(recordFile); !started.ok()) {
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
  if (configFile) glim::app::loadConfigAfterStart(program, *configFile);
  if (!runFile.isEmpty()) {
    ui.setUnattended(exitAfterRun);
    QTimer::singleShot(0, &window, [&window, runFile, exitAfterRun] {
      const glim::text::Outcome started = window.runScript(runFile, &std::cout, &std::cerr);
      if (!exitAfterRun) return;
      if (!started.ok()) {
        QApplication::exit(2);
        return;
      }
      // --exit: the program ends when the script has played.
      QObject::connect(window.scriptPlayer(), &glim::app::ScriptPlayer::runningChanged, &window, [](bool running) {
        if (running) return;
        std::cout.flush();
        QApplication::closeAllWindows();
        QApplication::quit();
      });
    });
  }
  return QApplication::exec();
}
