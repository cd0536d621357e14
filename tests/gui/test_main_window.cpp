#include <QMdiArea>
#include <QtTest>

#include "main_window.h"

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void showsItsCaptionAndWorkspace() {
        retracer::app::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), QStringLiteral("Retracer-  Program Code to DXF"));
        QVERIFY(qobject_cast<QMdiArea*>(window.centralWidget()) != nullptr);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
