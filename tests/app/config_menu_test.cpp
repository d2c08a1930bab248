// The File menu's configuration commands from the keyboard: Ctrl+S and Ctrl+L
// open their dialogs, and a cancelled dialog leaves every control and the board
// as they were.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "app/app_fixture.h"
#include "support/control_states.h"
#include "support/temp_dir.h"

using glim::forms::FileDialogKind;

namespace {

// Every control's visible state, to show that nothing moved.
std::map<std::string, std::string> snapshot(glim::shell::MainForm& main) { return glim::testing::controlStates(main); }

}  // namespace

class ConfigMenuTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  // The shortcut as a user presses it, with the focus on a button (a text box
  // keeps some keys for itself).
  void press(Qt::Key key) {
    auto* button = f->find<QPushButton>("cbWritesettings");
    button->setFocus();
    QTest::keyClick(button, key, Qt::ControlModifier);
  }

 private slots:
  void init() {
    QVERIFY(start());
    f->sim.plug();
  }

  void shortcutsOpenTheirDialogsAndCancelChangesNothing() {
    // Some state of the user's own, so that a reset to defaults would show.
    f->find<QLineEdit>("tbCPLDdata(13)")->setFocus();
    QTest::keyClicks(f->find<QLineEdit>("tbCPLDdata(13)"), "7");
    const auto before = snapshot(f->main());
    const std::size_t packetsBefore = f->sim.transfers.size();

    press(Qt::Key_S);
    QCOMPARE(f->sim.ui.dialogs.size(), std::size_t{1});
    QCOMPARE(f->sim.ui.dialogs[0].kind, FileDialogKind::Save);
    QCOMPARE(f->sim.ui.dialogs[0].setup.defaultExt, std::string("txt"));

    press(Qt::Key_L);
    QCOMPARE(f->sim.ui.dialogs.size(), std::size_t{2});
    QCOMPARE(f->sim.ui.dialogs[1].kind, FileDialogKind::Open);

    QVERIFY(f->sim.ui.boxes.empty());
    QCOMPARE(f->sim.transfers.size(), packetsBefore);
    QVERIFY(snapshot(f->main()) == before);
    QVERIFY(f->firstStaleBox().isEmpty());
    QVERIFY(!f->main().unloaded());
  }

  void savedThenLoadedThroughTheMenu() {
    const glim::testing::TempDir dir;
    const std::string path = dir.file("setup.txt");

    f->sim.ui.answers.push_back(path);
    press(Qt::Key_S);
    QVERIFY(std::filesystem::exists(path));

    // The user changes a cell, then loads the saved set-up back.
    auto* cell = f->find<QLineEdit>("tbCPLDdata(20)");
    cell->setFocus();
    cell->selectAll();
    QTest::keyClicks(cell, "12");
    QCOMPARE(cell->text(), QStringLiteral("12"));

    f->sim.transfers.clear();
    f->sim.ui.answers.push_back(path);
    press(Qt::Key_L);
    QCOMPARE(cell->text(), QStringLiteral("255"));
    QVERIFY(f->firstStaleBox().isEmpty());
    // The load programmed the board: the control pins, the image, the chip.
    QCOMPARE(f->sim.written(1).size(), std::size_t{1});
    QCOMPARE(f->sim.written(3).size(), std::size_t{1});
    QCOMPARE(f->sim.written(2).size(), std::size_t{1});
  }
};

QTEST_MAIN(ConfigMenuTest)
#include "config_menu_test.moc"
