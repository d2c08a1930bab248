// The log pane: what the core appends appears as lines, only the new part is
// inserted, and the caret ends at the very end after every append.
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "app/app_fixture.h"
#include "app/bindings.h"

using glim::app::LineEndConverter;

class LogPaneTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  QPlainTextEdit* pane() const { return f->find<QPlainTextEdit>("txtLog"); }
  glim::forms::Log& log() { return f->main().log; }
  bool caretAtEnd() const {
    const QTextCursor c = pane()->textCursor();
    return !c.hasSelection() && c.position() == pane()->document()->characterCount() - 1;
  }

 private slots:

  void lineEnds_data() {
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR LF") << QStringList{"a\r\nb\r\n"} << "a\nb\n";
    QTest::newRow("CR LF split over two appends") << QStringList{"a\r", "\nb"} << "a\nb";
    QTest::newRow("lone CR and lone LF") << QStringList{"a\rb\nc"} << "a\nb\nc";
    QTest::newRow("CR CR LF") << QStringList{"a\r\r\nb"} << "a\n\nb";
    QTest::newRow("empty") << QStringList{"", ""} << "";
  }
  void lineEnds() {
    QFETCH(QStringList, chunks);
    QFETCH(QString, shown);
    LineEndConverter converter;
    QString out;
    for (const QString& chunk : chunks) out += converter.feed(chunk.toStdString());
    QCOMPARE(out, shown);
  }

  // An entry ending in CR LF written through logError is followed by an empty line.
  void entriesShowAsLines() {
    f->main().cmdClearLog.click();
    log().logError("first\r\n");
    log().logMessage("second");
    QCOMPARE(pane()->toPlainText(), QStringLiteral("first\n\nsecond\n"));
    QCOMPARE(pane()->document()->blockCount(), 4);
    QVERIFY(caretAtEnd());
  }

  // Each append inserts only its own text at the end, and the caret follows
  // it even when the user had put it elsewhere or selected text.
  void appendsInsertOnlyTheNewPart() {
    QList<QList<int>> changes;
    connect(pane()->document(), &QTextDocument::contentsChange, this, [&](int from, int removed, int added) {
      changes << QList<int>{from, removed, added};
    });
    for (int i = 0; i < 3; ++i) {
      pane()->selectAll();
      const int before = pane()->document()->characterCount() - 1;
      changes.clear();
      log().logMessage("entry");
      QCOMPARE(changes.size(), 1);
      QCOMPARE(changes[0], (QList<int>{before, 0, 6}));
      QVERIFY(caretAtEnd());
    }
    // Moved by the user to the start: the next append still ends at the end.
    QTextCursor start(pane()->document());
    pane()->setTextCursor(start);
    log().logText("x", "");
    QVERIFY(caretAtEnd());
  }

  // The pane holds the core's log line for line, however it was written.
  void paneMatchesTheCore() {
    log().logText("a\r", "");
    log().logText("\nb", "\r\n");
    log().logError("c\r\n(d)");
    LineEndConverter converter;
    QCOMPARE(pane()->toPlainText(), converter.feed(f->sim.log()));
  }

  // "Save Log...": a name without an extension gets ".txt"; the outcome is
  // on the status line either way, with the file's whole path; a failure is
  // also told in a message box, with the path and the reason.
  void saveLogAddsTxtAndReports_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("bare name") << "mylog"
                               << "mylog.txt";
    QTest::newRow("own extension") << "mylog.log"
                                   << "mylog.log";
    QTest::newRow("txt kept") << "mylog.txt"
                              << "mylog.txt";
    QTest::newRow("no folder") << "no/such/mylog"
                               << "";
  }
  void saveLogAddsTxtAndReports() {
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QTemporaryDir dir;
    log().logMessage("DeviceAttach: Accepting control of the device");
    f->window->saveLogAs(dir.filePath(chosen));
    const QString caption = QString::fromStdString(f->main().lblStatus.caption());
    QCOMPARE(f->main().lblStatus.problem(), written.isEmpty());
    if (written.isEmpty()) {
      const QString failed = QStringLiteral("Save Log: failed: ") +
                             QDir::toNativeSeparators(dir.filePath(QStringLiteral("no/such/mylog.txt"))) +
                             QStringLiteral(": ");
      QVERIFY2(caption.startsWith(failed) && caption.size() > failed.size(), qPrintable(caption));
      QCOMPARE(f->sim.ui.boxes.size(), std::size_t{1});
      QCOMPARE(QString::fromStdString(f->sim.ui.boxes[0].text),
               QStringLiteral("Could not save the log to ") + caption.mid(QStringLiteral("Save Log: failed: ").size()));
      QCOMPARE(f->sim.ui.boxes[0].caption, std::string("Error"));
      return;
    }
    QCOMPARE(caption, QStringLiteral("Save Log: saved to ") + QDir::toNativeSeparators(dir.filePath(written)));
    QVERIFY(f->sim.ui.boxes.empty());
    std::ifstream in(dir.filePath(written).toStdString(), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    QVERIFY(text.find("DeviceAttach: Accepting control of the device") != std::string::npos);
  }

  // A long night's log: the pane never holds more than 100,000 lines, its
  // first line names the file the whole log went to (beside the last
  // session, in this test's own state folder), and "Save Log" writes every
  // line, the ones that left the pane too.
  void theLogIsBoundedAndSaveLogKeepsEverything() {
    QTemporaryDir state;
    const QByteArray before = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    f->main().cmdClearLog.click();
    constexpr int kEntries = 100'000 + 2'500;
    QString expected;
    expected.reserve(kEntries * 20);
    for (int i = 0; i < kEntries; ++i) {
      const QString line = QStringLiteral("Watch 0x05: %1").arg(i);
      log().logMessage(line.toStdString());
      expected += line + QLatin1Char('\n');
      if (i == 99'999) QCOMPARE(pane()->document()->firstBlock().text(), QStringLiteral("Watch 0x05: 0"));
    }
    qputenv("XDG_STATE_HOME", before);
    // Lines, not counting the empty one after the last line end.
    const int lines = pane()->document()->blockCount() - 1;
    QVERIFY2(lines <= 100'000 && lines > 98'000, qPrintable(QString::number(lines)));
    QCOMPARE(pane()->toPlainText(), LineEndConverter().feed(f->sim.log()));
    QVERIFY(caretAtEnd());
    const QString kept = QString::fromStdString(log().keptIn());
    QVERIFY2(kept.startsWith(state.path() + QStringLiteral("/glimmora/log-")), qPrintable(kept));
    QCOMPARE(pane()->document()->firstBlock().text(),
             QStringLiteral("Older lines have left this pane; the whole log is in ") + kept);
    QCOMPARE(pane()->document()->lastBlock().previous().text(), QStringLiteral("Watch 0x05: %1").arg(kEntries - 1));

    QTemporaryDir dir;
    f->window->saveLogAs(dir.filePath(QStringLiteral("night.txt")));
    QVERIFY(!f->main().lblStatus.problem());
    QFile saved(dir.filePath(QStringLiteral("night.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), expected);
  }

  void clearLogEmptiesThePane() {
    log().logMessage("old");
    QTest::mouseClick(f->find<QPushButton>("cmdClearLog"), Qt::LeftButton);
    QCOMPARE(pane()->toPlainText(), QString());
    log().logMessage("new");
    QCOMPARE(pane()->document()->firstBlock().text(), QStringLiteral("new"));
    QVERIFY(caretAtEnd());
  }

  // A board plugged in from another thread reaches the log through the event
  // loop, on the GUI thread.
  void attachFromAnotherThreadArrivesInTheLog() {
    std::thread plugger([this] { f->sim.sim->plug(); });
    plugger.join();
    QTRY_VERIFY(pane()->toPlainText().contains(QStringLiteral("DeviceAttach: Accepting control of the device")));
    QVERIFY(f->main().link.deviceConnected());
    QVERIFY(caretAtEnd());
  }
};

QTEST_MAIN(LogPaneTest)
#include "log_pane_test.moc"
