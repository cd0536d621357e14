// The drill tool dialog: Tool.Par into the grid by tool number, the cells' range and decimals,
// and back into the file and the tool table on OK.
#include <QDoubleValidator>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/prompt.h"
#include "drill_tools_dialog.h"
#include "translate/tool_table.h"

using retracer::RecordingPrompt;
using retracer::ToolTable;
using retracer::app::DrillToolsDialog;

class DrillToolsDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::filesystem::path file_;
    ToolTable tools_;
    RecordingPrompt prompt_;

    void Write(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Rows 1..99 that hold anything, as "row:x|y|dia".
    static QStringList Filled(const DrillToolsDialog& dialog) {
        QStringList rows;
        for (int row = 1; row <= DrillToolsDialog::kRows; ++row) {
            const QString cells =
                dialog.Cell(row, 1) + "|" + dialog.Cell(row, 2) + "|" + dialog.Cell(row, 3);
            if (cells != QStringLiteral("||")) rows << QString::number(row) + ":" + cells;
        }
        return rows;
    }

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        file_ = std::filesystem::path(dir_.path().toStdString()) / "Tool.Par";
        std::filesystem::remove(file_);
        tools_ = ToolTable();
        prompt_ = RecordingPrompt();
    }

    void loadsEachLineIntoTheRowOfItsTool_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("tool 7 first fills row 7")
            << "7,1,2,3\r\n1,0,0,5\r\n2,32,0,8\r\n"
            << QStringList{"1:0.00|0.00|5.00", "2:32.00|0.00|8.00", "7:1.00|2.00|3.00"};
        QTest::newRow("only a diameter") << "4,,,8" << QStringList{"4:||8.00"};
        QTest::newRow("lenient numbers, rounded tool number") << "3.4, 1.125 ,abc,-2.5e1\n"
                                                              << QStringList{"3:1.13|0.00|-25.00"};
        QTest::newRow("a tool without a row is passed over")
            << "0,1,1,1\n250,1,1,1\n100,9,9,9\n5,0,0,6\n"
            << QStringList{"5:0.00|0.00|6.00"};
        QTest::newRow("no file") << "" << QStringList{};
    }

    void loadsEachLineIntoTheRowOfItsTool() {
        QFETCH(QString, file);
        QFETCH(QStringList, rows);
        if (!file.isEmpty()) Write(file.toStdString());
        DrillToolsDialog dialog(file_, tools_, prompt_);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Drill Tools"));
        QCOMPARE(dialog.Grid()->rowCount(), 99);
        QCOMPARE(dialog.Grid()->horizontalHeaderItem(2)->text(), QStringLiteral("Dia"));
        QCOMPARE(Filled(dialog), rows);
    }

    void okWritesTheFilledRowsAndReloadsTheTable_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QStringList>("cells");  // "row,column,text" typed into the grid
        QTest::addColumn<QString>("after");
        QTest::newRow("only row 12") << "" << QStringList{"12,1,1.5"} << "12,1.50,,\n";
        QTest::newRow("only a diameter") << "" << QStringList{"4,3,8"} << "4,,,8.00\n";
        QTest::newRow("emptied row is left out")
            << "1,0,0,5\n2,32,0,8\n"
            << QStringList{"1,3,", "1,1,", "1,2,"} << "2,32.00,0.00,8.00\n";
        QTest::newRow("tool 100, which the grid cannot show, is kept")
            << "100,1,2,3\n3,0,0,4\n"
            << QStringList{"3,3,4.5"} << "3,0.00,0.00,4.50\n100,1,2,3\n";
    }

    void okWritesTheFilledRowsAndReloadsTheTable() {
        QFETCH(QString, before);
        QFETCH(QStringList, cells);
        QFETCH(QString, after);
        if (!before.isEmpty()) Write(before.toStdString());
        DrillToolsDialog dialog(file_, tools_, prompt_);
        for (const QString& cell : cells) {
            const QStringList parts = cell.split(QLatin1Char(','));
            dialog.SetCell(parts[0].toInt(), parts[1].toInt(), parts[2]);
        }
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(Read()), after);
        QVERIFY(tools_ == retracer::ParseToolTable(after.toStdString()));
        QVERIFY(prompt_.messages.empty());
    }

    void cancelWritesNothing() {
        Write("1,0,0,5\n");
        tools_ = retracer::ParseToolTable("1,0,0,5\n");
        DrillToolsDialog dialog(file_, tools_, prompt_);
        dialog.SetCell(1, 3, QStringLiteral("9"));
        dialog.reject();
        QCOMPARE(Read(), std::string("1,0,0,5\n"));
        QCOMPARE(tools_.Find(1)->dia, 5.0f);
    }

    void cellsTakeTwoDecimalsWithinTheRange_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("upper limit") << "999.99" << true;
        QTest::newRow("lower limit") << "-999.99" << true;
        QTest::newRow("above") << "1000" << false;
        QTest::newRow("three decimals") << "1.234" << false;
        QTest::newRow("decimal comma") << "1,5" << false;
    }

    void cellsTakeTwoDecimalsWithinTheRange() {
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        DrillToolsDialog dialog(file_, tools_, prompt_);
        dialog.show();
        QTableWidget* grid = dialog.Grid();
        grid->setCurrentCell(5, 1);
        grid->editItem(grid->item(5, 1));
        auto* editor = grid->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        QTest::keyClicks(editor, typed);
        QCOMPARE(editor->hasAcceptableInput() && editor->text() == typed, accepted);
        // What the grid keeps is what the editor allowed, with two decimals.
        QTest::keyClick(editor, Qt::Key_Return);
        if (accepted) {
            QTRY_COMPARE(dialog.Cell(6, 2), DrillToolsDialog::CellText(typed));
        }
        QCOMPARE(DrillToolsDialog::CellText(QStringLiteral("5")), QStringLiteral("5.00"));
    }
};

QTEST_MAIN(DrillToolsDialogTest)
#include "test_drill_tools_dialog.moc"
