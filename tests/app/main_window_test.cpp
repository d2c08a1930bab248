// The main window as the user meets it: caption, menu, places of the panels,
// the texts shown before anything runs, and what keys and clicks do.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <memory>
#include <set>
#include <vector>

#include "app/app_fixture.h"
#include "app/bindings.h"
#include "app/main_layout.h"
#include "app/register_window_view.h"
#include "app/status_text.h"

using glim::testing::AppFixture;

class MainWindowTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  // Where a control's widget lies in the window's client area.
  QRect placeOf(const QWidget* w) const { return QRect(w->mapTo(f->window->content(), QPoint(0, 0)), w->size()); }
  // Whether a control lies wholly in the part of the content now shown.
  bool inView(const QWidget* w) const {
    const QWidget* viewport = f->window->clientArea()->viewport();
    return viewport->rect().contains(QRect(w->mapTo(viewport, QPoint(0, 0)), w->size()));
  }

 private slots:
  // Not shown yet: some cases look at the window before its first showing.
  void init() { f = std::make_unique<AppFixture>(); }

  void captionIconAndInitialSize() {
    QCOMPARE(f->window->windowTitle(), QStringLiteral("Glimmora QXB40218 USB Interface"));
    QVERIFY(!f->window->windowIcon().isNull());
    QVERIFY(f->showActive());
    // The main panel's 408 x 360 exactly, no scroll bar: the rest comes into
    // view as the window is enlarged. Typing goes to the first desired field.
    QCOMPARE(f->window->clientArea()->viewport()->size(), QSize(408, 360));
    QVERIFY(!f->window->clientArea()->horizontalScrollBar()->isVisible());
    QVERIFY(!f->window->clientArea()->verticalScrollBar()->isVisible());
    QVERIFY(QApplication::focusWidget() != nullptr);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("tbSICclkfreqdes"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("20"));
    QCOMPARE(QString::fromStdString(f->main().timing.tbSICclkfreqdes.text()), QStringLiteral("20"));
    // Centred on the screen, and resizable.
    const QPoint screenCentre = f->window->screen()->availableGeometry().center();
    QVERIFY((f->window->geometry().center() - screenCentre).manhattanLength() <= 4);
    QVERIFY(f->window->minimumSize().width() < 408 && f->window->maximumSize().width() > 2000);
  }

  // A message longer than the status line ends in "…" rather than looking
  // whole, and does not widen the window; the tooltip holds the whole text.
  void aLongStatusIsShownCut() {
    QVERIFY(f->showActive());
    const QSize before = f->window->size();
    auto* text = f->find<glim::app::StatusText>("lblStatus");
    QVERIFY(text != nullptr);
    f->main().lblStatus.succeeded("Write Settings", "sent");
    QApplication::processEvents();
    QCOMPARE(text->shownText(), QStringLiteral("Write Settings: sent"));
    const std::string reason(300, 'x');
    f->main().lblStatus.failed("Write Settings", reason);
    QApplication::processEvents();
    QVERIFY(text->shownText().startsWith(QStringLiteral("Write Settings: failed: xx")));
    QVERIFY(text->shownText().endsWith(QChar(0x2026)));
    QCOMPARE(text->toolTip(), QString::fromStdString("Write Settings: failed: " + reason));
    QCOMPARE(f->window->size(), before);
  }

  // Each window's status line turns red with a warning sign for a problem
  // and back for a success, at every turn: the same words too (a read back
  // that differed, then the same outcome without the difference). What a view
  // reads when it hears of the new text already says whether it is one.
  void statusLineShowsEachProblemAsOne() {
    QVERIFY(f->showActive());
    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);
    QVERIFY(f->window->registerView() != nullptr);
    struct Turn {
      const char* outcome;
      bool problem;
    };
    const Turn turns[] = {{"sent", false},    {"no board", true},  {"sent", false},
                          {"no board", true}, {"no board", false}, {"no board", true}};
    for (glim::forms::StatusLabel* label : {&f->main().lblStatus, &f->main().i2cWindow.get().lblStatus}) {
      QWidget* window = label == &f->main().lblStatus ? static_cast<QWidget*>(f->window.get())
                                                      : static_cast<QWidget*>(f->window->registerView());
      auto* text = window->findChild<glim::app::StatusText*>(QStringLiteral("lblStatus"));
      QVERIFY(text != nullptr);
      QLabel* icon = nullptr;
      for (auto* l : text->parentWidget()->findChildren<QLabel*>()) {
        // The nearest label on its left.
        if (l == text || l->parentWidget() != text->parentWidget() || l->x() >= text->x()) continue;
        if (icon == nullptr || l->x() > icon->x()) icon = l;
      }
      QVERIFY(icon != nullptr);
      std::vector<bool> heard;
      const auto view = label->subscribe([&](glim::forms::ControlEvent e) {
        if (e == glim::forms::ControlEvent::Caption) heard.push_back(label->problem());
      });
      for (const Turn& turn : turns) {
        heard.clear();
        label->show("Write Settings", turn.outcome, turn.problem);
        QApplication::processEvents();
        const QString at = QStringLiteral("%1 %2").arg(QLatin1String(turn.outcome)).arg(turn.problem);
        QVERIFY2(heard == std::vector<bool>{turn.problem}, qPrintable(at));
        QCOMPARE(text->text(), QStringLiteral("Write Settings: ") + QLatin1String(turn.outcome));
        QVERIFY2(text->styleSheet().contains(QStringLiteral("#b00020")) == turn.problem, qPrintable(at));
        QVERIFY2(!icon->pixmap().isNull() == turn.problem, qPrintable(at));
      }
    }
  }

  void menuEntriesAndShortcuts() {
    const QList<QAction*> menus = f->window->menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->text(), QStringLiteral("&File"));
    QStringList entries;
    QStringList keys;
    for (QAction* a : menus[0]->menu()->actions()) {
      if (a->isSeparator()) continue;
      entries << a->objectName() + QLatin1Char('=') + a->text();
      keys << a->shortcut().toString(QKeySequence::PortableText);
    }
    QCOMPARE(
        entries,
        (QStringList{"mFileSaveConfig=Save Configuration", "mFileLoadConfig=Load Configuration",
                     "actionLoadLastSession=Load Last Session", "actionRegisterDescriptions=Register &Descriptions...",
                     "actionRecordScript=Re&cord Script...", "actionRunScript=&Run Script...",
                     "actionStopScript=Stop Script", "actionSaveLog=Save &Log...", "nMenuFileExit=E&xit"}));
    QCOMPARE(keys, (QStringList{"Ctrl+S", "Ctrl+L", "", "", "", "Ctrl+R", "", "", "Ctrl+X"}));
  }

  // Every control of the form has a widget; the main panel's lie inside the
  // initial client area, the divider and log panels' outside it.
  void panelsAndClientArea() {
    const std::set<std::string> divider = {"tbCPLDdata(0)", "tbCPLDdata(2)", "tbCPLDdata(4)", "tbCPLDdata(6)",
                                           "tbCPLDdata(7)", "tbCPLDdata(8)", "tbCPLDdata(9)", "tbCPLDdata(37)",
                                           "tbSTVtc",       "tbSCLKdiv"};
    const std::set<std::string> log = {"cmdClearLog", "lblLog", "txtLog"};
    const QRect client(QPoint(0, 0), QSize(408, 360));
    int placed = 0;
    for (glim::forms::Control* control : f->main().form.controls()) {
      const std::string name = control->qualifiedName();
      if (control->kind() == glim::forms::ControlKind::MenuItem) continue;
      auto* w = f->window->findChild<QWidget*>(QString::fromStdString(name));
      QVERIFY2(w != nullptr, name.c_str());
      if (name == "lblStatus" || name == "lblBoard") {
        // The status line stays at the bottom of the window, whatever its size.
        QVERIFY2(qobject_cast<QStatusBar*>(w->parentWidget()) != nullptr, name.c_str());
        ++placed;
        continue;
      }
      const QRect place = placeOf(w);
      if (divider.count(name) != 0) {
        QVERIFY2(place.left() >= glim::app::kDividerPanelX && place.left() >= client.width(), name.c_str());
      } else if (log.count(name) != 0) {
        QVERIFY2(place.top() >= glim::app::kLogPanelY && place.top() >= client.height(), name.c_str());
      } else {
        QVERIFY2(client.contains(place), name.c_str());
      }
      ++placed;
    }
    QCOMPARE(placed,
             43 + 12 + 4 + 2 + 3 + 2 + 3 + 3 + 2 + 2);  // cells, fields, checks, frames, options, buttons, log, status
    QCOMPARE(glim::app::kDividerPanelX, 632);
    QCOMPARE(glim::app::kLogPanelY, 364);
    // Enlarged to the content's size, the window shows all three panels.
    QWidget* content = f->window->content();
    for (QWidget* w : content->findChildren<QWidget*>()) {
      QVERIFY2(content->rect().contains(QRect(w->mapTo(content, QPoint(0, 0)), w->size())),
               qPrintable(w->objectName()));
    }
  }

  // No caption is cut off: each label's text fits its place.
  void captionsFit() {
    for (QLabel* label : f->window->content()->findChildren<QLabel*>()) {
      const int needed = label->fontMetrics().horizontalAdvance(label->text());
      QVERIFY2(needed <= label->width(), qPrintable(label->text()));
    }
    for (QAbstractButton* button : f->window->content()->findChildren<QAbstractButton*>()) {
      QString text = button->text();
      text.remove(QLatin1Char('&'));
      const int indicator = qobject_cast<QPushButton*>(button) != nullptr ? 8 : 20;
      QVERIFY2(button->fontMetrics().horizontalAdvance(text) + indicator <= button->width(), qPrintable(text));
    }
  }

  void defaultsBeforeAnyHandler_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const std::pair<const char*, const char*> fields[] = {
        {"tbSICclkfreqdes", "50000"},  {"tbSICclkfreqact", "50000.0"},
        {"tbPWMIclkfreqdes", "50000"}, {"tbPWMIclkfreqact", "50000.0"},
        {"tbPWMIpw", "100"},           {"tbSTVpw", "2.560"},
        {"tbSTVtc", "1320"},           {"tbSCLKdiv", "63"},
        {"tbSTVfreqdes", "295.928"},   {"tbSTVfreqact", "295.928"},
        {"tbSCLKfreqdes", "390.625"},  {"tbSCLKfreqact", "390.625"}};
    for (const auto& [name, text] : fields) QTest::newRow(name) << name << text;
    const char* cells[43] = {"0",   "5",   "0",   "5",   "250", "1",   "5",   "40",  "0",   "63",  "255",
                             "255", "255", "255", "255", "255", "255", "255", "255", "255", "255", "255",
                             "255", "255", "255", "255", "255", "255", "255", "255", "255", "255", "255",
                             "255", "255", "255", "255", "0",   "10",  "20",  "5",   "5",   "5"};
    for (int i = 0; i < 43; ++i) {
      const QString name = QStringLiteral("tbCPLDdata(%1)").arg(i);
      QTest::newRow(qPrintable(name)) << name << cells[i];
    }
    // clang-format off
    const std::pair<const char*, const char*> captions[] = {
        {"cbCopysic", "Copy SIC"}, {"cbCopyser", "Copy"}, {"cbShowi2c", "Show i2c"},
        {"cbWritesettings", "Write Settings"}, {"cbQuit", "Quit"}, {"cmdClearLog", "Clear L&og"},
        {"cbCtrl(0)", "STV Enable"}, {"cbCtrl(1)", "PWMI Enable"}, {"cbCtrl(2)", "SIC Enable"},
        {"cbCtrl(3)", "Serial Enable"}, {"ob1Den(2)", "1"}, {"ob1Den(1)", "Z"}, {"ob1Den(0)", "0"},
        {"obShutb(1)", "1"}, {"obShutb(0)", "0"}, {"fr1Den", "1D EN"}, {"frShutb", "SHUTb"},
        {"lblLog", "Log:"}, {"txtLog", ""}};
    // clang-format on
    for (const auto& [name, text] : captions) QTest::newRow(name) << name << text;
  }
  void defaultsBeforeAnyHandler() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QWidget* w = f->window->findChild<QWidget*>(name);
    QVERIFY(w != nullptr);
    QString shown;
    if (auto* e = qobject_cast<QLineEdit*>(w)) shown = e->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) shown = b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) shown = l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) shown = g->title();
    if (auto* p = qobject_cast<QPlainTextEdit*>(w)) shown = p->toPlainText();
    QCOMPARE(shown, text);
  }

  void defaultChoicesAndTheirOrder() {
    const bool checked[] = {true, false, false, true};
    for (int i = 0; i < 4; ++i) {
      auto* box = f->find<QCheckBox>(qPrintable(QStringLiteral("cbCtrl(%1)").arg(i)));
      QCOMPARE(box->isChecked(), checked[i]);
      if (i > 0) QVERIFY(box->y() > f->find<QCheckBox>(qPrintable(QStringLiteral("cbCtrl(%1)").arg(i - 1)))->y());
    }
    // Left to right: 1D EN "1", "Z", "0"; SHUTb "1", "0"; one selected in each.
    const char* order[] = {"ob1Den(2)", "ob1Den(1)", "ob1Den(0)"};
    for (int i = 1; i < 3; ++i) QVERIFY(f->find(order[i])->x() > f->find(order[i - 1])->x());
    QVERIFY(f->find("obShutb(0)")->x() > f->find("obShutb(1)")->x());
    QVERIFY(f->find<QRadioButton>("ob1Den(1)")->isChecked());
    QVERIFY(!f->find<QRadioButton>("ob1Den(0)")->isChecked() && !f->find<QRadioButton>("ob1Den(2)")->isChecked());
    QVERIFY(f->find<QRadioButton>("obShutb(1)")->isChecked() && !f->find<QRadioButton>("obShutb(0)")->isChecked());
    QCOMPARE(f->find<QRadioButton>("ob1Den(1)")->parentWidget()->objectName(), QStringLiteral("fr1Den"));
    QCOMPARE(f->find<QRadioButton>("obShutb(0)")->parentWidget()->objectName(), QStringLiteral("frShutb"));
  }

  // Display fields cannot be edited; the program still writes them.
  void actualFieldsAreDisplaysOnly() {
    // Read-only, not disabled: shown in the normal text colour, out of the Tab chain.
    for (const char* name :
         {"tbSICclkfreqact", "tbPWMIclkfreqact", "tbPWMIpw", "tbSTVpw", "tbSTVfreqact", "tbSCLKfreqact"}) {
      auto* box = f->find<QLineEdit>(name);
      QVERIFY2(box->isReadOnly() && box->isEnabled(), name);
      QVERIFY2(!(box->focusPolicy() & Qt::TabFocus), name);
      QCOMPARE(box->palette().color(QPalette::Text),
               f->find<QLineEdit>("tbSCLKfreqdes")->palette().color(QPalette::Text));
    }
    for (const char* name : {"tbSTVtc", "tbSCLKdiv", "tbCPLDdata(0)", "tbSCLKfreqdes"})
      QVERIFY2(f->find(name)->isEnabled(), name);
    f->main().timing.tbSCLKfreqact.setText("1.000");
    QCOMPARE(f->find<QLineEdit>("tbSCLKfreqact")->text(), QStringLiteral("1.000"));
    // A desired value the board cannot reach marks its actual field, with the reason.
    auto* actual = f->find<QLineEdit>("tbSICclkfreqact");
    const QColor plain = actual->palette().color(QPalette::Base);
    const QString hint = QStringLiteral("SIC clock the divider gives, kHz");
    QCOMPARE(actual->toolTip(), hint);
    f->main().timing.tbSICclkfreqdes.enterText("20");
    QCOMPARE(actual->toolTip(),
             QStringLiteral("20 kHz cannot be reached: the divider's largest value gives 196.1 kHz"));
    QCOMPARE(actual->palette().color(QPalette::Base), glim::app::Binder::markColor(glim::app::Binder::Mark::Warm));
    f->main().timing.tbSICclkfreqdes.enterText("196");
    QCOMPARE(actual->toolTip(), hint);
    QCOMPARE(actual->palette().color(QPalette::Base), plain);
  }

  // One keystroke is one change: "300" typed into cell 9 is range-checked
  // after each digit, and every box shows the result of the whole chain.
  void keystrokesRunTheRangeCheckOneByOne() {
    QVERIFY(f->showActive());
    auto* cell = f->find<QLineEdit>("tbCPLDdata(9)");
    cell->setFocus();
    cell->selectAll();
    QTest::keyClick(cell, Qt::Key_Backspace);
    QCOMPARE(f->main().timing.tbCPLDdata[9].text(), std::string());
    QStringList seen;
    for (const char key : {'3', '0', '0'}) {
      QTest::keyClicks(cell, QString(QLatin1Char(key)));
      seen << cell->text();
      QCOMPARE(f->firstStaleBox(), QString());
    }
    QCOMPARE(seen, (QStringList{"3", "30", "255"}));
    QCOMPARE(cell->cursorPosition(), 3);
    QCOMPARE(f->find<QLineEdit>("tbSCLKdiv")->text(), QStringLiteral("255"));
    QCOMPARE(f->find<QLineEdit>("tbSCLKfreqact")->text(), QStringLiteral("97.656"));
  }

  // Typing a desired value runs its whole chain per keystroke.
  void typingADesiredValueShowsEveryResult() {
    QVERIFY(f->showActive());
    auto* desired = f->find<QLineEdit>("tbSCLKfreqdes");
    desired->setFocus();
    desired->selectAll();
    QTest::keyClicks(desired, QStringLiteral("20"));
    QCOMPARE(desired->text(), QStringLiteral("20"));
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(8)")->text(), QStringLiteral("4"));
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(9)")->text(), QStringLiteral("225"));
    QCOMPARE(f->firstStaleBox(), QString());
  }

  // A box a handler rewrites several times is laid out once, with its last
  // text, when the handler ends; one that waits in an event loop of its own
  // (a message box, the board) shows what it has set so far meanwhile.
  void boxesShowAHandlersLastTextWhenItEndsOrWaits() {
    auto* cell = f->find<QLineEdit>("tbCPLDdata(40)");
    QString seenInHandler, seenWhileWaiting;
    f->sim.program->dispatcher.runHandler([&] {
      auto& box = f->main().timing.tbCPLDdata[40];
      for (const char* text : {"1", "2", "3"}) box.setText(text);
      seenInHandler = cell->text();
      QTest::qWait(1);  // as a message box's own event loop would
      seenWhileWaiting = cell->text();
      box.setText("7");
      box.setText("8");
    });
    QCOMPARE(seenInHandler, QStringLiteral("5"));  // the default, not laid out three times
    QCOMPARE(seenWhileWaiting, QStringLiteral("3"));
    QCOMPARE(cell->text(), QStringLiteral("8"));
    QCOMPARE(f->firstStaleBox(), QString());
  }

  void ctrlXInATextBoxCutsAndKeepsTheSession() {
    QVERIFY(f->showActive());
    QSignalSpy ended(f->window.get(), &glim::app::MainWindow::ended);
    for (const char* name : {"tbSICclkfreqdes", "tbSTVtc", "tbCPLDdata(20)"}) {
      auto* box = f->find<QLineEdit>(name);
      const QString before = box->text();
      box->setFocus();
      box->selectAll();
      QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
      QCOMPARE(box->text(), QString());
      QCOMPARE(QApplication::clipboard()->text(), before);
      QVERIFY(f->firstStaleBox().isEmpty());
      // With nothing selected there is nothing to cut, and still no exit.
      QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    }
    // The log pane is a text box too.
    auto* log = f->find<QPlainTextEdit>("txtLog");
    log->setFocus();
    QTest::keyClick(log, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(ended.count(), 0);
    QVERIFY(!f->main().unloaded());
    QVERIFY(f->window->isVisible());
  }

  // The program ends by "Quit", "E&xit" (also Ctrl+X outside a text box) and
  // the close box; each closes the register window too.
  void waysToEnd_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"Quit", "Exit", "Ctrl+X", "close box"}) QTest::newRow(way) << way;
  }
  void waysToEnd() {
    QFETCH(QString, way);
    QVERIFY(f->showActive());
    QSignalSpy ended(f->window.get(), &glim::app::MainWindow::ended);
    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);
    QPointer<QWidget> registerView = f->window->registerView();
    QVERIFY(registerView && registerView->isVisible());
    f->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f->window.get()));

    QVERIFY(f->endProgram(way));

    QCOMPARE(ended.count(), 1);
    QVERIFY(f->main().unloaded());
    QVERIFY(!f->main().link.driverOpen());
    QVERIFY(!f->window->isVisible());
    QCOMPARE(f->main().i2cWindow.state(), glim::i2c::RegisterWindow::State::NotLoaded);
    QTRY_VERIFY(registerView.isNull());
  }

  void firstActivationOnlyStartsTheDriver() {
    QVERIFY(f->showActive());
    QVERIFY(f->main().link.driverOpen());
    f->window->hide();
    f->window->show();
    f->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
    QCOMPARE(f->sim.log().find("Please verify that the device is attached..."), std::size_t{0});
    QCOMPARE(f->sim.log().find("Please verify", 1), std::string::npos);
  }

  // The core decides what an option shows: a click on the selected one keeps
  // it, a click on another moves the selection.
  void optionButtonsFollowTheCore() {
    QVERIFY(f->showActive());
    auto* one = f->find<QRadioButton>("obShutb(1)");
    auto* zero = f->find<QRadioButton>("obShutb(0)");
    QTest::mouseClick(one, Qt::LeftButton);
    QVERIFY(one->isChecked() && !zero->isChecked());
    QTest::mouseClick(zero, Qt::LeftButton);
    QVERIFY(!one->isChecked() && zero->isChecked());
    QVERIFY(f->main().timing.obShutb[0].value());
    // No board: the click's handler told the user once.
    QCOMPARE(f->sim.ui.countBoxes("USB Device not connected!"), 2);
  }

  void checkBoxesDriveTheEnableByte() {
    QVERIFY(f->showActive());
    QTest::mouseClick(f->find<QCheckBox>("cbCtrl(1)"), Qt::LeftButton);
    QVERIFY(f->find<QCheckBox>("cbCtrl(1)")->isChecked());
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(37)")->text(), QStringLiteral("11"));
    QTest::mouseClick(f->find<QCheckBox>("cbCtrl(0)"), Qt::LeftButton);
    QVERIFY(!f->find<QCheckBox>("cbCtrl(0)")->isChecked());
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(37)")->text(), QStringLiteral("10"));
  }

  // Tab walks the main panel row by row, then the divider panel, then the log.
  void tabOrderRowByRow() {
    QStringList expected = {"tbSICclkfreqdes", "tbCPLDdata(40)", "tbCPLDdata(1)",    "cbCopysic",     "tbCPLDdata(41)",
                            "tbCPLDdata(38)",  "tbCPLDdata(42)", "tbCPLDdata(39)",   "cbCtrl(0)",     "cbCtrl(1)",
                            "cbCtrl(2)",       "cbCtrl(3)",      "tbPWMIclkfreqdes", "tbCPLDdata(3)", "tbCPLDdata(5)",
                            "tbSTVfreqdes",    "tbSCLKfreqdes",  "cbCopyser"};
    for (int block = 0; block < 3; ++block) {
      expected << QStringLiteral("tbCPLDdata(%1)").arg(10 + block);
      for (int ch = 0; ch < 8; ++ch) expected << QStringLiteral("tbCPLDdata(%1)").arg(13 + 8 * block + ch);
    }
    expected << "cbShowi2c"
             << "ob1Den(2)"
             << "ob1Den(1)"
             << "ob1Den(0)"
             << "obShutb(1)"
             << "obShutb(0)"
             << "cbWritesettings"
             << "cbQuit"
             << "tbCPLDdata(0)"
             << "tbCPLDdata(2)"
             << "tbCPLDdata(4)"
             << "tbSTVtc"
             << "tbCPLDdata(6)"
             << "tbCPLDdata(7)"
             << "tbSCLKdiv"
             << "tbCPLDdata(8)"
             << "tbCPLDdata(9)"
             << "tbCPLDdata(37)"
             << "cmdClearLog"
             << "txtLog";

    QStringList chain;
    QWidget* first = f->find("tbSICclkfreqdes");
    QWidget* w = first;
    do {
      if (w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
          f->window->content()->isAncestorOf(w)) {
        chain << w->objectName();
      }
      w = w->nextInFocusChain();
    } while (w != first && chain.size() < 200);
    QCOMPARE(chain, expected);
  }

  // The client area scrolls to whatever takes the focus: Tab from the first
  // box to the log pane never lands on a control out of view, at the initial
  // size and at a size that shows only part of the main panel.
  void tabNeverLandsOutOfView_data() {
    QTest::addColumn<QSize>("size");
    QTest::newRow("initial") << QSize();
    QTest::newRow("small") << QSize(260, 220);
  }
  void tabNeverLandsOutOfView() {
    QFETCH(QSize, size);
    QVERIFY(f->showActive());
    if (size.isValid()) f->window->resize(size);
    QApplication::processEvents();
    auto* first = f->find("tbSICclkfreqdes");
    f->find("cbQuit")->setFocus();  // the first box has the focus from the start
    first->setFocus();
    int visited = 0;
    QStringList outOfView;
    while (QApplication::focusWidget() != nullptr && visited < 120) {
      QWidget* w = QApplication::focusWidget();
      if (!f->window->content()->isAncestorOf(w)) break;
      if (!inView(w) && w->objectName() != QLatin1String("txtLog")) {
        const QWidget* viewport = f->window->clientArea()->viewport();
        QRect r(w->mapTo(viewport, QPoint(0, 0)), w->size());
        outOfView << w->objectName() + QStringLiteral("@%1,%2,%3x%4 in %5x%6")
                                           .arg(r.x())
                                           .arg(r.y())
                                           .arg(r.width())
                                           .arg(r.height())
                                           .arg(viewport->width())
                                           .arg(viewport->height());
      }
      // The log pane is taller than a small view: its top must show.
      if (w->objectName() == QLatin1String("txtLog")) {
        const QWidget* viewport = f->window->clientArea()->viewport();
        QVERIFY(viewport->rect().contains(w->mapTo(viewport, QPoint(0, 0))));
        break;
      }
      ++visited;
      QTest::keyClick(w, Qt::Key_Tab);
    }
    QVERIFY2(outOfView.isEmpty(), qPrintable(outOfView.join(QLatin1Char(' '))));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("txtLog"));
    QVERIFY(visited > 60);
    // And back up to the first box.
    f->find("cmdClearLog")->setFocus();
    QVERIFY(inView(f->find("cmdClearLog")));
    first->setFocus();
    QVERIFY(inView(first));
  }

  // Enlarged, the log pane takes the height below the main panel, down to
  // the client area's bottom; scroll bars show only where the window is
  // smaller than the main panel.
  void logPaneTakesTheHeightGiven_data() {
    QTest::addColumn<QSize>("client");
    QTest::addColumn<bool>("bars");
    QTest::newRow("all panels, tall") << QSize(880, 900) << false;
    QTest::newRow("all panels, just") << QSize(862, 542) << false;
    QTest::newRow("main panel and part of the rest") << QSize(600, 450) << false;
    QTest::newRow("less than the main panel") << QSize(300, 250) << true;
  }
  void logPaneTakesTheHeightGiven() {
    QFETCH(QSize, client);
    QFETCH(bool, bars);
    QVERIFY(f->showActive());
    f->window->resize(f->window->size() + client - f->window->clientArea()->size());
    QApplication::processEvents();
    QScrollArea* area = f->window->clientArea();
    QCOMPARE(area->size(), client);
    QCOMPARE(area->horizontalScrollBar()->isVisible(), bars);
    QCOMPARE(area->verticalScrollBar()->isVisible(), bars);
    const QRect pane = placeOf(f->find("txtLog"));
    QCOMPARE(pane.top(), glim::app::kLogPanelY + 52);
    QCOMPARE(pane.bottom() + 1 + 6, std::max(client.height(), f->window->content()->minimumHeight()));
  }

  // Maximised, the log and "Clear Log" are in view or a scroll away, on any
  // screen; the scroll bars reach the content's far corner.
  void logReachableWhenMaximised() {
    QVERIFY(f->showActive());
    f->window->showMaximized();
    QApplication::processEvents();
    QScrollArea* area = f->window->clientArea();
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    QApplication::processEvents();
    const QWidget* viewport = area->viewport();
    const QPoint corner = f->window->content()->mapTo(
        viewport, QPoint(f->window->content()->width() - 1, f->window->content()->height() - 1));
    QVERIFY(viewport->rect().contains(corner));
    area->ensureWidgetVisible(f->find("cmdClearLog"));
    QVERIFY(inView(f->find("cmdClearLog")));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
