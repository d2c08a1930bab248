// What the Qt file dialogs are set up with, from the program's filter texts.
#include "app/qt_ui_host.h"

#include <QTest>

class QtUiHostTest : public QObject {
  Q_OBJECT

 private slots:
  void nameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("filters");
    QTest::newRow("configuration files") << "Text File (*.txt) |*.txt | All Files (*.*)|*.*|"
                                         << QStringList{"Text File (*.txt)", "All Files (*.*)"};
    QTest::newRow("no trailing bar") << "Text File (*.txt)|*.txt" << QStringList{"Text File (*.txt)"};
    QTest::newRow("description without patterns") << "Config|*.cfg" << QStringList{"Config (*.cfg)"};
    QTest::newRow("several patterns") << "Texts|*.txt;*.log|" << QStringList{"Texts (*.txt *.log)"};
    // The patterns that count are the real ones, not those in the description.
    QTest::newRow("description says otherwise") << "Text (*.doc)|*.txt|" << QStringList{"Text (*.txt)"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("description only") << "Text File|" << QStringList{};
  }
  void nameFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, filters);
    QCOMPARE(glim::app::nameFiltersFrom(filter.toStdString()), filters);
  }

  void defaultSuffix() {
    QCOMPARE(glim::app::defaultSuffixFrom("txt"), QStringLiteral("txt"));
    QCOMPARE(glim::app::defaultSuffixFrom(".txt"), QStringLiteral("txt"));
    QCOMPARE(glim::app::defaultSuffixFrom(""), QString());
  }
};

QTEST_MAIN(QtUiHostTest)
#include "qt_ui_host_test.moc"
