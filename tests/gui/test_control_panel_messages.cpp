// The Control Panel's message list: what the last job could not read or draw, filled from the
// job's result by the same path as the other lists, and emptied by the next job without any.
#include <QCheckBox>
#include <QFile>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QtTest>

#include "control_panel_window.h"
#include "frame_fixture.h"
#include "settings/options.h"

using namespace retracer;
using namespace retracer::app;
using namespace retracer::app::testing;

class ControlPanelMessagesTest : public QObject {
    Q_OBJECT

    static QStringList Lines(const QTableView* view) {
        QStringList lines;
        const QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row)
            lines << model->index(row, 0).data().toString();
        return lines;
    }

  private slots:
    void theLastJobsDiagnosticsAreListedUnderMessages() {
        Frame f;
        QVERIFY(QFile::copy(
            QStringLiteral(RETRACER_SOURCE_DIR "/tests/data/programs/editor_program.pgm"),
            f.scratch.Path("progs/editor_program.pgm")));
        QSignalSpy drawings(&f.workspace, &Workspace::drawingMade);
        ControlPanelWindow& panel = f.Panel();
        QTableView* messages = panel.MessageList();
        QCOMPARE(messages->objectName(), QStringLiteral("MsgList"));
        QCOMPARE(messages->accessibleName(), QStringLiteral("Messages"));
        QVERIFY(messages->toolTip().contains(QStringLiteral("file and line")));

        // Recognised only (TranslateOnSelect off): no job, no messages.
        const QStringList program{QStringLiteral("editor_program.pgm")};
        QVERIFY(f.workspace.ProgramFilesClicked(program));
        QCOMPARE(drawings.count(), 0);
        QCOMPARE(messages->model()->rowCount(), 0);

        QTest::mouseClick(panel.OptionBox(&TranslationOptions::translateOnSelect), Qt::LeftButton);
        QVERIFY(f.workspace.ProgramFilesClicked(program));
        QCOMPARE(drawings.count(), 1);
        const QString external = QStringLiteral(
            "Macro block names an external macro file \"..\\custom\\mcr\\fittingx.tmcr\"; its "
            "parameters are read in the block's own form");
        const QString negative = QStringLiteral(
            "Hole with a negative diameter (-12) is left out: a negative diameter is an error in "
            "the program");
        const QString file = QStringLiteral("editor_program.pgm:");
        QCOMPARE(Lines(messages),
                 (QStringList{file + "10: Variable \"x\" is not defined; it reads 0",
                              file + "10: Variable \"y\" is not defined; it reads 0",
                              file + "12: Number \"7,5\" is written with a decimal comma; it "
                                     "reads 7",
                              file + "16: " + external, file + "16: " + negative,
                              file + "17: " + external, file + "17: " + negative}));

        // A line too long for the list is read whole from its tooltip.
        const QModelIndex last = messages->model()->index(6, 0);
        QCOMPARE(last.data(Qt::ToolTipRole).toString(), file + "17: " + negative);

        // Its tab shows it, and only it.
        const int tab = ControlPanelWindow::TabCaptions().indexOf(QStringLiteral("Messages"));
        QVERIFY(tab >= 0);
        panel.TabStrip()->setCurrentIndex(tab);
        QVERIFY(!messages->isHidden());
        QVERIFY(panel.PrgList()->isHidden());
        QVERIFY(panel.SubList()->isHidden());

        // A program without problems leaves the list empty again.
        QVERIFY(f.workspace.ProgramFilesClicked({QStringLiteral("EV_DOOR.PGM")}));
        QCOMPARE(drawings.count(), 2);
        QCOMPARE(Lines(messages), QStringList());
    }
};

QTEST_MAIN(ControlPanelMessagesTest)
#include "test_control_panel_messages.moc"
