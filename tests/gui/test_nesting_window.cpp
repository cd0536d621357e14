// Bringing the nesting application's window to the front: wmctrl on an X11 desktop, nothing
// anywhere else.
#include <QtTest>

#include "nesting_window.h"

using namespace retracer::app;

class NestingWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void raisesThroughWmctrlOnX11Only_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("wmctrl");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("started");  // program and arguments, one line a start
        const QString tool = QStringLiteral("/usr/bin/wmctrl");
        QTest::newRow("X11 with wmctrl")
            << "xcb" << tool << "Cutplan" << QStringList{"/usr/bin/wmctrl|-a|Cutplan"};
        // The title is one argument, never read by a shell.
        QTest::newRow("title with shell characters")
            << "xcb" << tool << "Cut plan'; rm -rf ~"
            << QStringList{"/usr/bin/wmctrl|-a|Cut plan'; rm -rf ~"};
        QTest::newRow("wmctrl not installed") << "xcb" << QString() << "Cutplan" << QStringList();
        QTest::newRow("Wayland") << "wayland" << tool << "Cutplan" << QStringList();
        QTest::newRow("offscreen") << "offscreen" << tool << "Cutplan" << QStringList();
        QTest::newRow("no title") << "xcb" << tool << "" << QStringList();
    }
    void raisesThroughWmctrlOnX11Only() {
        QFETCH(QString, platform);
        QFETCH(QString, wmctrl);
        QFETCH(QString, title);
        QFETCH(QStringList, started);
        QStringList starts;
        DesktopNestingWindow window(platform, wmctrl,
                                    [&](const QString& program, const QStringList& arguments) {
                                        starts << (QStringList{program} + arguments).join('|');
                                    });
        const QByteArray text = title.toUtf8();
        window.Raise(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        QCOMPARE(starts, started);
    }
};

QTEST_MAIN(NestingWindowTest)
#include "test_nesting_window.moc"
