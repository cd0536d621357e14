// The About box: its texts and the system information button over a scripted desktop.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "about_dialog.h"

using namespace retracer::app;

class AboutDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void textsAndVersion() {
        AboutDialog about(nullptr, {});
        QCOMPARE(about.windowTitle(), QString("About Retracer"));
        QCOMPARE(about.findChild<QLabel*>("lblTitle")->text(), QString("Retracer"));
        QCOMPARE(about.findChild<QLabel*>("lblDescription")->text(),
                 QString("For converting machine program code back into DXF"));
        // "Version " and major.minor.revision of the build's version.
        QVERIFY(QRegularExpression("^Version \\d+\\.\\d+\\.\\d+$")
                    .match(about.findChild<QLabel*>("lblVersion")->text())
                    .hasMatch());
        QCOMPARE(about.findChild<QPushButton*>("cmdSysInfo")->text(), QString("&System Info..."));
        QCOMPARE(about.findChild<QPushButton*>("cmdSysInfo")->accessibleName(),
                 QString("System Info..."));
    }

    void systemInfo_data() {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<QString>("started");
        QTest::newRow("first tool found")
            << QStringList{"hardinfo", "kinfocenter"} << true << "/usr/bin/hardinfo";
        QTest::newRow("a later tool")
            << QStringList{"kinfocenter"} << true << "/usr/bin/kinfocenter";
        QTest::newRow("none installed") << QStringList{} << true << "";
        QTest::newRow("found but fails to start") << QStringList{"hardinfo"} << false << "";
    }
    void systemInfo() {
        QFETCH(QStringList, installed);
        QFETCH(bool, starts);
        QFETCH(QString, started);
        QStringList runs;
        SystemInfoLauncher launcher{[&](const QString& program) {
                                        return installed.contains(program) ? "/usr/bin/" + program
                                                                           : QString();
                                    },
                                    [&](const QString& path, const QStringList&) {
                                        if (starts) runs << path;
                                        return starts;
                                    }};
        AboutDialog about(nullptr, launcher);
        QStringList told;
        about.SetTell([&](const QString& text) { told << text; });
        about.findChild<QPushButton*>("cmdSysInfo")->click();
        QCOMPARE(runs, started.isEmpty() ? QStringList() : QStringList{started});
        QCOMPARE(told, started.isEmpty()
                           ? QStringList{"System Information Is Unavailable At This Time"}
                           : QStringList());
    }
};

QTEST_MAIN(AboutDialogTest)
#include "test_about_dialog.moc"
