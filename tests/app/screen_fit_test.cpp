// The program's windows on a screen of a given size (GLIMMORA_TEST_SCREEN,
// "WIDTHxHEIGHT"; QT_SCALE_FACTOR as the environment sets it): placed side by
// side where there is room, never past the screen, the register window at
// one place however it comes, and the main window's log always reachable.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>

#include "app/app_fixture.h"
#include "app/register_window_view.h"
#include "app/sim_board_placement.h"
#include "app/sim_board_window.h"

using glim::app::SimBoardWindow;
using glim::testing::AppFixture;

namespace {

QSize askedScreen() {
  const QList<QByteArray> parts = qgetenv("GLIMMORA_TEST_SCREEN").split('x');
  if (parts.size() != 2) return {1366, 768};
  return {parts[0].toInt(), parts[1].toInt()};
}

// Where a widget lies on the screen.
QRect onScreen(const QWidget* w) { return {w->mapToGlobal(QPoint(0, 0)), w->size()}; }

}  // namespace

class ScreenFitTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  std::unique_ptr<SimBoardWindow> board;
  glim::forms::Connection placesRegisters;
  QRect room() const { return f->window->screen()->availableGeometry(); }
  glim::app::RegisterWindowView* registers() const { return f->window->registerView(); }

  // As the program starts: the main window, then the Simulated board beside it.
  void startBesideBoard() {
    f = std::make_unique<AppFixture>();
    board = std::make_unique<SimBoardWindow>(*f->sim.sim);
    f->window->addBoardWindow(board.get());
    placesRegisters = board->onAnchorMoved.connectScoped([this] { f->window->placeRegisterWindowAgain(); });
    board->showBeside(*f->window, [this] { return f->window->registerWindowSize(); });
    QVERIFY(f->showActive());
    QTRY_VERIFY(board->isVisible());
  }
  void showI2c() { QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton); }

 private slots:
  void initTestCase() {
    QVERIFY(glim::testing::fontsAvailable());
    const qreal scale =
        qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
    const QSize asked = askedScreen();
    QCOMPARE(QApplication::primaryScreen()->geometry().size(),
             QSize(qRound(asked.width() / scale), qRound(asked.height() / scale)));
  }
  void init() { startBesideBoard(); }
  void cleanup() {
    board.reset();
    f.reset();
  }

  // No window past the screen; the main window and the Simulated board apart;
  // the register window beside the main window, apart from both where the
  // screen is wide enough, and never over "Write Settings" or "Quit".
  void windowsPlacedAtStart() {
    showI2c();
    QVERIFY(registers() != nullptr && registers()->isVisible());
    const QRect mainFrame = f->window->frameGeometry();
    const QRect boardFrame = board->frameGeometry();
    const QRect regFrame = registers()->frameGeometry();
    const auto text = [](const QRect& r) {
      return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    qInfo("room %s: main %s, board %s (whole %dx%d, least %d), registers %s", qPrintable(text(room())),
          qPrintable(text(mainFrame)), qPrintable(text(boardFrame)), board->wholeSize().width(),
          board->wholeSize().height(), board->minimumSizeHint().width(), qPrintable(text(regFrame)));
    for (const QRect& frame : {mainFrame, boardFrame, regFrame})
      QVERIFY2(room().contains(frame), qPrintable(text(frame)));
    QVERIFY(!mainFrame.intersects(boardFrame));
    QVERIFY(!regFrame.intersects(onScreen(f->find("cbWritesettings"))));
    QVERIFY(!regFrame.intersects(onScreen(f->find("cbQuit"))));
    const int gap = glim::app::kWindowGap;
    const QSize wholeRegisters = f->window->registerWindowSize();
    if (room().width() >= mainFrame.width() + wholeRegisters.width() + board->minimumSizeHint().width() + 4 * gap &&
        room().width() / 2 - mainFrame.width() / 2 >= wholeRegisters.width() + gap) {
      QVERIFY(!regFrame.intersects(mainFrame));
      QVERIFY(!regFrame.intersects(boardFrame));
    }
    if (room().width() >= mainFrame.width() / 2 + room().width() / 2 + wholeRegisters.width() + gap) {
      QVERIFY(!regFrame.intersects(mainFrame));
    }
    // Where the screen is wide enough for the main and register windows side
    // by side, neither covers the other's buttons: they do not overlap; with
    // room for the board at its least width too, none of the three does.
    if (room().width() >= mainFrame.width() + regFrame.width() + gap) QVERIFY(!regFrame.intersects(mainFrame));
    if (room().width() >= mainFrame.width() + regFrame.width() + board->minimumSizeHint().width() + 2 * gap) {
      QVERIFY(!regFrame.intersects(mainFrame));
      QVERIFY(!regFrame.intersects(boardFrame));
      QVERIFY(!boardFrame.intersects(mainFrame));
    }
    // Where all three fit side by side whole, they are so placed.
    // Where all three fit side by side, the board at least 300 pixels wide,
    // they are so placed, the board as wide as the room allows.
    const int spare = room().width() - mainFrame.width() - wholeRegisters.width() - 2 * gap - 4;
    if (spare >= 304) {
      QVERIFY(!regFrame.intersects(mainFrame));
      QVERIFY(!regFrame.intersects(boardFrame));
      QVERIFY(board->width() >= std::min(board->wholeSize().width(), spare - 8));
    }
    // The board window shrank to fit, and its panels scroll.
    auto* panels = board->findChild<QScrollArea*>(QStringLiteral("panelsArea"));
    QVERIFY(panels != nullptr);
  }

  // With real boards (no Simulated board window) the main window opens
  // centred; where the screen is wide enough for both, it moves aside for
  // the register window rather than be covered.
  void registerWindowApartWithoutTheBoard() {
    cleanup();
    f = std::make_unique<AppFixture>();
    QVERIFY(f->showActive());
    showI2c();
    const QRect mainFrame = f->window->frameGeometry();
    const QRect regFrame = registers()->frameGeometry();
    QVERIFY(room().contains(mainFrame) && room().contains(regFrame));
    if (room().width() >= mainFrame.width() + regFrame.width() + glim::app::kWindowGap) {
      QVERIFY(!regFrame.intersects(mainFrame));
    } else {
      for (const char* button : {"cbWritesettings", "cbQuit"}) QVERIFY(!regFrame.intersects(onScreen(f->find(button))));
    }
  }

  // "Show i2c", a script's or a file's use of the window: one place.
  void registerWindowAtOnePlace() {
    showI2c();
    const QRect first = registers()->frameGeometry();
    QTest::mouseClick(registers()->findChild<QPushButton*>(QStringLiteral("cbClose")), Qt::LeftButton);
    QTRY_VERIFY(registers() == nullptr);
    // As a script or Load Configuration shows it: through the core.
    f->main().i2cWindow.show();
    QVERIFY(registers() != nullptr && registers()->isVisible());
    QCOMPARE(registers()->frameGeometry(), first);
    // Higher than the screen, it scrolls.
    auto* area = registers()->findChild<QScrollArea*>(QStringLiteral("registerArea"));
    QVERIFY(area != nullptr);
    if (registers()->findChild<QWidget*>(QStringLiteral("registerPage"))->sizeHint().height() > room().height()) {
      QVERIFY(area->verticalScrollBar()->maximum() > 0);
    }
    // Its status line stays in view whatever the rows' scrolling, at its
    // place and in a window made smaller.
    for (const int height : {registers()->height(), registers()->height() / 2}) {
      registers()->resize(registers()->width(), height);
      QApplication::processEvents();
      area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum() / 2);
      const QWidget* status = registers()->findChild<QWidget*>(QStringLiteral("lblStatus"));
      QVERIFY(status != nullptr && status->isVisible());
      QVERIFY(!area->isAncestorOf(status));
      QVERIFY(registers()->rect().contains(QRect(status->mapTo(registers(), QPoint(0, 0)), status->size())));
    }
  }

  // Shown by a script before the start-up placing is done (glimmora --run,
  // glimmora FILE): it ends where "Show i2c" puts it afterwards.
  void registerWindowShownAtStart() {
    cleanup();
    f = std::make_unique<AppFixture>();
    board = std::make_unique<SimBoardWindow>(*f->sim.sim);
    placesRegisters = board->onAnchorMoved.connectScoped([this] { f->window->placeRegisterWindowAgain(); });
    board->showBeside(*f->window, [this] { return f->window->registerWindowSize(); });
    f->main().i2cWindow.show();
    QVERIFY(f->showActive());
    QTRY_VERIFY(board->isVisible());
    QApplication::processEvents();
    const QRect early = registers()->frameGeometry();
    f->main().i2cWindow.unload();
    QTRY_VERIFY(registers() == nullptr);
    showI2c();
    QCOMPARE(registers()->frameGeometry(), early);
    QVERIFY(!registers()->frameGeometry().intersects(onScreen(f->find("cbWritesettings"))));
  }

  // Maximised, the log pane and "Clear Log" come into view when they take the focus.
  void logReachableMaximised() {
    f->window->showMaximized();
    QApplication::processEvents();
    QVERIFY(room().contains(f->window->frameGeometry()));
    // The log pane fills the height below the main panel; a scroll bar shows
    // only where the screen cannot show the panels whole.
    QScrollArea* area = f->window->clientArea();
    const QSize whole = f->window->content()->minimumSize();
    QCOMPARE(area->verticalScrollBar()->isVisible(), area->height() < whole.height());
    QCOMPARE(area->horizontalScrollBar()->isVisible(), area->width() < whole.width());
    if (area->height() >= whole.height()) {
      const QWidget* pane = f->find("txtLog");
      QCOMPARE(pane->mapTo(area->viewport(), QPoint(0, pane->height())).y() + 6, area->viewport()->height());
    }
    for (const char* name : {"cmdClearLog", "txtLog", "tbCPLDdata(37)", "tbSICclkfreqdes"}) {
      QWidget* w = f->find(name);
      w->setFocus();
      const QWidget* viewport = f->window->clientArea()->viewport();
      const QRect shown(w->mapTo(viewport, QPoint(0, 0)), w->size());
      QVERIFY2(viewport->rect().contains(shown.topLeft()), name);
      QVERIFY2(viewport->rect().contains(shown) || shown.height() > viewport->height(), name);
    }
  }

  // The buttons for all rows stand whole below the rows, over the bits
  // panel, however the rows scroll; the columns stand still when the rows'
  // scroll bar comes and goes, in line with "Write All" and "Read All"; the
  // "Watch" heading is over its check boxes.
  void registerWindowColumnsStayInLine() {
    showI2c();
    glim::app::RegisterWindowView* view = registers();
    const auto inView = [view](const QWidget* w) { return QRect(w->mapTo(view, QPoint(0, 0)), w->size()); };
    const auto part = [view](const char* name) {
      QWidget* w = view->findChild<QWidget*>(QString::fromLatin1(name));
      if (w == nullptr) qFatal("no %s", name);
      return w;
    };
    auto* area = view->findChild<QScrollArea*>(QStringLiteral("registerArea"));
    QWidget* bits = view->findChild<QWidget*>(QStringLiteral("registerBits"));
    QVERIFY(area != nullptr && bits != nullptr);
    const char* columns[] = {"tbI2Creg(21)",  "cbWritei2c(21)", "tbI2Cregread(21)", "cbReadi2c(21)",
                             "cbCopyi2c(21)", "cbWatch(21)",    "headingWatch"};
    const auto xs = [&] {
      QList<int> at;
      for (const char* name : columns) at << inView(part(name)).center().x();
      return at;
    };
    // Where the screen has room for the whole window, the rows do not scroll.
    QApplication::processEvents();
    if (view->height() >= f->window->registerWindowSize().height()) QCOMPARE(area->verticalScrollBar()->maximum(), 0);
    const QList<int> first = xs();
    QVERIFY(qAbs(first[5] - first[6]) <= 1);  // "Watch" centred over its boxes
    // Whole height, then so low that the rows scroll, then a row selected.
    for (const int height : {view->height(), view->height() * 2 / 3}) {
      view->resize(view->width(), height);
      QApplication::processEvents();
      for (int row = 0; row < 22; row += 7) {
        part(qPrintable(QStringLiteral("tbI2Creg(%1)").arg(row)))->setFocus();
        QApplication::processEvents();
        QCOMPARE(xs(), first);
        for (const char* button : {"cbClose", "cbWriteall", "cbWritechanged", "cbReadall", "cbCopyall", "cbVerify"}) {
          const QRect at = inView(part(button));
          QVERIFY2(view->rect().contains(at), button);
          QVERIFY2(!at.intersects(inView(bits)) && !at.intersects(inView(area)), button);
        }
      }
    }
    QVERIFY(area->verticalScrollBar()->maximum() > 0);
    QCOMPARE(inView(part("cbWriteall")).center().x(), first[1]);
    QCOMPARE(inView(part("cbReadall")).center().x(), first[3]);
  }

  // The Simulated board's panels never hide behind a horizontal scroll bar
  // (from 360 pixels, the room it has beside the two others at 1366x768): as
  // placed, and at widths from narrow to whole, every register box stands in
  // view across.
  void boardPanelsFitAcross() {
    auto* area = board->findChild<QScrollArea*>(QStringLiteral("panelsArea"));
    QVERIFY(area != nullptr);
    for (const int width : {std::max(board->width(), 360), 360, 600, 900, board->wholeSize().width()}) {
      board->resize(width, board->height());
      QApplication::processEvents();
      QCOMPARE(area->horizontalScrollBar()->maximum(), 0);
      for (int reg = 0; reg < 22; ++reg) {
        const QWidget* box = board->findChild<QWidget*>(QStringLiteral("chipReg(%1)").arg(reg));
        const int right = box->mapTo(area->viewport(), QPoint(box->width(), 0)).x();
        QVERIFY2(right <= area->viewport()->width(), qPrintable(QString::number(width)));
      }
    }
  }

  // Closed, the Simulated board comes back from the View menu.
  void viewMenuShowsTheBoardAgain() {
    board->close();
    QVERIFY(!board->isVisible());
    auto* show = f->find<QAction>("actionShowSimBoard");
    QVERIFY(show != nullptr);
    QCOMPARE(show->text(), QStringLiteral("Simulated Board"));
    show->trigger();
    QVERIFY(board->isVisible());
  }
};

int main(int argc, char** argv) {
  // An offscreen screen of the asked size.
  QTemporaryDir dir;
  const QSize size = askedScreen();
  QFile config(dir.filePath(QStringLiteral("screen.json")));
  if (!config.open(QIODevice::WriteOnly)) return 2;
  config.write(QStringLiteral("{\"screens\": [{\"name\": \"test\", \"x\": 0, \"y\": 0, \"width\": %1, \"height\": %2, "
                              "\"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": 1}]}")
                   .arg(size.width())
                   .arg(size.height())
                   .toUtf8());
  config.close();
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config.fileName()));
  QApplication app(argc, argv);
  ScreenFitTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "screen_fit_test.moc"
