// The Control Panel: option boxes written through to the settings file, the tab switching, the
// edits that go back into the current worklist row, the layer check boxes and the resize rule.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>

#include "control_panel_window.h"
#include "job/control_panel_lists.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "worklist/worklist.h"

using retracer::ControlPanelLists;
using retracer::IniFile;
using retracer::TranslationOptions;
using retracer::Worklist;
using retracer::app::ControlPanelWindow;
namespace Column = retracer::WorklistColumn;

class ControlPanelWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::filesystem::path iniPath_;

    // A panel over fresh models, the worklist row 3 a job.
    struct Fixture {
        explicit Fixture(const std::filesystem::path& iniPath)
            : ini(iniPath), panel(lists, worklist, options, ini) {
            worklist.SetCell(3, Column::kFilename, "SIDE.PGM");
        }
        ControlPanelLists lists;
        Worklist worklist;
        TranslationOptions options;
        IniFile ini;
        ControlPanelWindow panel;
    };

  private slots:
    void init() {
        QVERIFY(dir_.isValid());
        iniPath_ = std::filesystem::path(dir_.path().toStdString()) / "Rtrc.INI";
        std::filesystem::remove(iniPath_);
    }

    void optionClickWritesItsKeyAtOnce_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        for (const auto& [name, key] : std::initializer_list<std::pair<const char*, const char*>>{
                 {"TOS", "TranslateOnSelect"},
                 {"Tn2Dia", "ToolNumberToDiameter"},
                 {"GenBL", "GenerateBatchLst"},
                 {"AtchBC", "AttachBarcode"},
                 {"MRS", "MaintainRtSeq"},
                 {"ZinV", "DepthInVertices"},
                 {"R4HBD", "RenameForHBD"},
                 {"EngLab", "EngraveLabel"}}) {
            QTest::newRow(name) << name << key;
        }
    }

    void optionClickWritesItsKeyAtOnce() {
        QFETCH(QString, box);
        QFETCH(QString, key);
        Fixture f(iniPath_);
        auto* check = f.panel.findChild<QCheckBox*>(box);
        QVERIFY(check != nullptr);
        check->click();
        QCOMPARE(f.ini.Read("Config", key.toStdString()), std::string("1"));
        QVERIFY(retracer::ReadSettings(f.ini).options == f.options);
        check->click();
        QCOMPARE(f.ini.Read("Config", key.toStdString()), std::string("0"));
        QVERIFY(f.options == TranslationOptions());
    }

    void saveOnTranslateIsUsableOnlyWithTranslateOnSelect() {
        Fixture f(iniPath_);
        QCheckBox* tos = f.panel.OptionBox(&TranslationOptions::translateOnSelect);
        QCheckBox* sot = f.panel.OptionBox(&TranslationOptions::saveOnTranslate);
        QVERIFY(!sot->isEnabled());
        tos->click();
        QVERIFY(sot->isEnabled());
        sot->click();
        QCOMPARE(f.ini.Read("Config", "SaveOnTranslate"), std::string("1"));
        tos->click();
        QVERIFY(!sot->isEnabled());
        QVERIFY(sot->isChecked());  // greyed, but keeps its own value
        QVERIFY(f.options.saveOnTranslate);
    }

    void loadedOptionsAreShownWithoutWriting() {
        Fixture f(iniPath_);
        TranslationOptions loaded;
        loaded.saveOnTranslate = true;
        loaded.engraveLabel = true;
        f.panel.LoadOptions(loaded);
        QVERIFY(f.panel.OptionBox(&TranslationOptions::saveOnTranslate)->isChecked());
        QVERIFY(!f.panel.OptionBox(&TranslationOptions::saveOnTranslate)->isEnabled());
        QVERIFY(f.panel.OptionBox(&TranslationOptions::engraveLabel)->isChecked());
        QVERIFY(!f.panel.OptionBox(&TranslationOptions::attachBarcode)->isChecked());
        QVERIFY(!std::filesystem::exists(iniPath_));
    }

    void setTabShowsOneListAndHidesProgramDataOnlyForL_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");  // object name of the list shown, "" for none
        QTest::addColumn<bool>("programData");
        QTest::newRow("Program") << "Program"
                                 << "PrgList" << true;
        QTest::newRow("Layers tab keeps the frame") << "Layers"
                                                    << "LayerList" << true;
        QTest::newRow("L from the drawing files hides it") << "L"
                                                           << "LayerList" << false;
        QTest::newRow("Dimensions") << "Dimensions"
                                    << "DimList" << true;
        QTest::newRow("V Variables") << "V Variables"
                                     << "VVarList" << true;
        QTest::newRow("R Variables") << "R Variables"
                                     << "RVarList" << true;
        QTest::newRow("Subprograms") << "Subprograms"
                                     << "SubList" << true;
        QTest::newRow("Messages") << "Messages"
                                  << "MsgList" << true;
        QTest::newRow("another letter shows none") << "Xyz"
                                                   << "" << true;
        QTest::newRow("lower case is another letter") << "l"
                                                      << "" << true;
        QTest::newRow("empty") << ""
                               << "" << true;
    }

    void setTabShowsOneListAndHidesProgramDataOnlyForL() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(bool, programData);
        Fixture f(iniPath_);
        f.panel.SetTab(text);
        QStringList visible;
        for (QTableView* list :
             {f.panel.PrgList(), f.panel.LayerList(), f.panel.DimList(), f.panel.VVarList(),
              f.panel.RVarList(), f.panel.SubList(), f.panel.MessageList()}) {
            if (!list->isHidden()) visible << list->objectName();
        }
        QCOMPARE(visible, shown.isEmpty() ? QStringList() : QStringList{shown});
        QCOMPARE(!f.panel.ProgramDataFrame()->isHidden(), programData);
    }

    void tabClickShowsItsListAndTheTabStripFollowsTheChosenFile() {
        Fixture f(iniPath_);
        QCOMPARE(ControlPanelWindow::TabCaptions().size(), f.panel.TabStrip()->count());
        f.panel.TabStrip()->setCurrentIndex(4);
        QVERIFY(!f.panel.RVarList()->isHidden());
        QVERIFY(f.panel.PrgList()->isHidden());

        f.panel.SetTabStripVisible(false);
        f.panel.SetTab(QStringLiteral("L"));
        QVERIFY(f.panel.TabStrip()->isHidden());
        f.panel.ShowSelectedTab();
        QVERIFY(!f.panel.TabStrip()->isHidden());
        QVERIFY(!f.panel.RVarList()->isHidden());
        QVERIFY(!f.panel.ProgramDataFrame()->isHidden());
    }

    void programDataFollowsTheRecognisedProgram() {
        Fixture f(iniPath_);
        f.lists.Labels().SetFrame("Genesis EV");
        f.lists.Labels().SetComment("Side panel");
        f.lists.Labels().SetDimensions("Metric   720 x 560 x 18");
        QCOMPARE(f.panel.ProgramDataFrame()->title(), QStringLiteral("Genesis EV"));
        QCOMPARE(f.panel.CommentLabel()->text(), QStringLiteral("Side panel"));
        QCOMPARE(f.panel.DimensionsLabel()->text(), QStringLiteral("Metric   720 x 560 x 18"));
    }

    void editsGoToTheCurrentRowAndAskForARetranslation_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("currentRow");
        QTest::addColumn<int>("column");    // worklist column the edit reaches
        QTest::addColumn<QString>("cell");  // its text afterwards
        QTest::newRow("dimension with a job") << "DimList" << 3 << int(Column::kWidth) << "400";
        QTest::newRow("dimension without a job") << "DimList" << 0 << int(Column::kWidth) << "";
        QTest::newRow("V variable with a job")
            << "VVarList" << 3 << int(Column::kVVariables) << "V0=400 | = | = | = | = | = | = | =";
        QTest::newRow("V variable without a job")
            << "VVarList" << 0 << int(Column::kVVariables) << "";
    }

    void editsGoToTheCurrentRowAndAskForARetranslation() {
        QFETCH(QString, list);
        QFETCH(int, currentRow);
        QFETCH(int, column);
        QFETCH(QString, cell);
        Fixture f(iniPath_);
        f.lists.VVarList().SetText(1, 1, "V0");
        f.panel.SetCurrentRow(currentRow);
        QSignalSpy retranslate(&f.panel, &ControlPanelWindow::retranslateRequested);
        auto* view = f.panel.findChild<QTableView*>(list);
        QAbstractItemModel* model = view->model();
        const int row = list == QStringLiteral("DimList") ? 1 : 0;  // width, or V0
        QVERIFY(model->setData(model->index(row, 1), QStringLiteral("400")));
        QCOMPARE(QString::fromStdString(f.worklist.GetCell(3, column)), cell);
        QCOMPARE(retranslate.count(), currentRow > 0 ? 1 : 0);
        // A refill by the core is not an edit.
        f.lists.VVarList().SetText(2, 2, "7");
        f.lists.DimList().SetText(3, 2, "18");
        QCOMPARE(retranslate.count(), currentRow > 0 ? 1 : 0);
    }

    void rVariableKeysStoreAndRetranslateByTheirCode_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("stores");
        QTest::newRow("digit") << int(Qt::Key_5) << "5" << true;
        QTest::newRow("asterisk, code 42") << int(Qt::Key_Asterisk) << "*" << true;
        QTest::newRow("letter") << int(Qt::Key_L) << "l" << true;
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << "" << true;
        QTest::newRow("enter") << int(Qt::Key_Return) << "" << true;
        QTest::newRow("space") << int(Qt::Key_Space) << " " << false;
        QTest::newRow("bracket, code 41") << int(Qt::Key_ParenRight) << ")" << false;
        QTest::newRow("quote") << int(Qt::Key_QuoteDbl) << "\"" << false;
        QTest::newRow("arrow, no character") << int(Qt::Key_Left) << "" << false;
    }

    void rVariableKeysStoreAndRetranslateByTheirCode() {
        QFETCH(int, key);
        QFETCH(QString, typed);
        QFETCH(bool, stores);
        Fixture f(iniPath_);
        std::string entry = "#12=500|Shelf height";
        f.lists.AddRVar(entry);
        f.panel.SetCurrentRow(3);
        f.panel.SetTab(QStringLiteral("R"));
        f.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.panel));
        QSignalSpy retranslate(&f.panel, &ControlPanelWindow::retranslateRequested);

        QTableView* view = f.panel.RVarList();
        const QModelIndex value = view->model()->index(0, 1);
        view->setCurrentIndex(value);
        view->edit(value);
        auto* editor = view->findChild<QLineEdit*>();
        QVERIFY(editor != nullptr);
        editor->setText(QStringLiteral("50"));
        QTest::keyClick(editor, static_cast<Qt::Key>(key), Qt::NoModifier);
        QCoreApplication::processEvents();

        QCOMPARE(retranslate.count(), stores ? 1 : 0);
        const std::string stored = f.worklist.GetCell(3, Column::kRVariables);
        if (stores) {
            QString expected = QStringLiteral("R12=50") + typed;
            if (key == Qt::Key_Backspace) expected = QStringLiteral("R12=5");
            QCOMPARE(QString::fromStdString(stored), expected);
            QCOMPARE(f.worklist.GetCellNote(3, Column::kRVariables),
                     std::string("Shelf height\xC2\xA6"));
        } else {
            QCOMPARE(stored, std::string());
        }
    }

    void leavingTheRVariablesStoresThem() {
        Fixture f(iniPath_);
        std::string entry = "#7=20|Gap";
        f.lists.AddRVar(entry);
        f.panel.SetCurrentRow(3);
        f.panel.SetTab(QStringLiteral("R"));
        f.panel.show();
        QVERIFY(QTest::qWaitForWindowActive(&f.panel));
        QSignalSpy retranslate(&f.panel, &ControlPanelWindow::retranslateRequested);
        f.panel.RVarList()->setFocus();
        QTRY_VERIFY(f.panel.RVarList()->hasFocus());
        f.panel.OptionBox(&TranslationOptions::engraveLabel)->setFocus();
        QTRY_COMPARE(retranslate.count(), 1);
        QCOMPARE(f.worklist.GetCell(3, Column::kRVariables), std::string("R7=20"));
    }

    void uncheckingALayerAsksToHideIt() {
        Fixture f(iniPath_);
        f.lists.LayerList().Add("BORDER");
        f.lists.LayerList().Add("ROUTE_5");
        QSignalSpy spy(&f.panel, &ControlPanelWindow::layerVisibilityChanged);
        QAbstractItemModel* model = f.panel.LayerList()->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        model->setData(model->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
        model->setData(model->index(1, 0), Qt::Checked, Qt::CheckStateRole);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy[0], (QList<QVariant>{QStringLiteral("ROUTE_5"), false}));
        QCOMPARE(spy[1], (QList<QVariant>{QStringLiteral("ROUTE_5"), true}));

        // A new drawing lists its layers all shown.
        model->setData(model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
        f.lists.LayerList().AssignText("BORDER\nHOLE\n");
        QCOMPARE(model->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }

    void wideWindowsKeepTheTabStripAtTheRightEdge() {
        Fixture f(iniPath_);
        f.panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f.panel));
        const int designWidth = f.panel.Twips(9300);
        QWidget* tabs = f.panel.TabArea();

        f.panel.resize(std::max(designWidth, f.panel.minimumSizeHint().width()), 300);
        QTRY_COMPARE(f.panel.width(), std::max(designWidth, f.panel.minimumSizeHint().width()));
        QCoreApplication::processEvents();
        const int designLeft = tabs->x();
        for (int extra : {200, 600}) {
            f.panel.resize(designWidth + extra, 300);
            QTRY_COMPARE(tabs->geometry().right() + 1, f.panel.width() - f.panel.Twips(600));
        }
        QVERIFY(tabs->x() > designLeft);
    }
};

QTEST_MAIN(ControlPanelWindowTest)
#include "test_control_panel_window.moc"
