// Every window of the panel set can be found and worked by name and keyboard: controls carry an
// accessible name, the access keys of a window do not clash, and the Control Panel's keyboard
// order follows its layout.
#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

#include "base/prompt.h"
#include "control_panel_window.h"
#include "drill_tools_dialog.h"
#include "fake_viewer.h"
#include "job/control_panel_lists.h"
#include "options_dialog.h"
#include "popup_menu.h"
#include "settings/ini_file.h"
#include "settings/user_store.h"
#include "translate/tool_table.h"
#include "worklist/worklist.h"
#include "worklist_grid.h"

using namespace retracer;
using namespace retracer::app;

using WindowFactory = std::function<std::unique_ptr<QWidget>()>;
Q_DECLARE_METATYPE(WindowFactory)

class AccessibilityTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    ControlPanelLists lists_;
    Worklist worklist_;
    TranslationOptions options_;
    std::unique_ptr<IniFile> ini_;
    RecordingPrompt prompt_;
    MemoryUserSettingsStore store_;
    FakeViewer viewer_;
    ToolTable tools_;

    static QString AccessibleName(QWidget* widget) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face != nullptr ? face->text(QAccessible::Name) : QString();
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        ini_ = std::make_unique<IniFile>(dir_.filePath("Rtrc.INI").toStdString());
    }

    void everyControlHasANameAndItsOwnAccessKey_data() {
        QTest::addColumn<WindowFactory>("make");
        QTest::newRow("Control Panel") << WindowFactory([this] {
            return std::make_unique<ControlPanelWindow>(lists_, worklist_, options_, *ini_);
        });
        QTest::newRow("worklist grid") << WindowFactory([this] {
            auto host = std::make_unique<QWidget>();
            auto* popup = new PopupMenu(host.get());
            new WorklistGrid(worklist_, lists_, prompt_, store_, *popup, host.get());
            return host;
        });
        QTest::newRow("Options") << WindowFactory(
            [this] { return std::make_unique<OptionsDialog>(viewer_, store_, prompt_); });
        QTest::newRow("Drill Tools") << WindowFactory([this] {
            return std::make_unique<DrillToolsDialog>(dir_.filePath("Tool.Par").toStdString(),
                                                      tools_, prompt_);
        });
    }

    void everyControlHasANameAndItsOwnAccessKey() {
        QFETCH(WindowFactory, make);
        const std::unique_ptr<QWidget> window = make();
        QStringList unnamed;
        QMap<QString, QString> keys;  // access key -> caption
        QStringList clashes;
        const auto takeKey = [&](const QString& caption) {
            const QKeySequence key = QKeySequence::mnemonic(caption);
            if (key.isEmpty()) return;
            const QString letter = key.toString().toLower();
            if (keys.contains(letter)) clashes << keys[letter] + " / " + caption;
            keys[letter] = caption;
        };
        for (QWidget* control : window->findChildren<QWidget*>()) {
            const bool interactive =
                qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control) ||
                qobject_cast<QTableView*>(control) || qobject_cast<QTabBar*>(control) ||
                (qobject_cast<QLineEdit*>(control) &&
                 !qobject_cast<QComboBox*>(control->parentWidget()));
            // Scroll buttons and other parts Qt makes for itself have no name of ours.
            if (!interactive || control->objectName().startsWith(QLatin1String("qt_")) ||
                control->inherits("QTableCornerButton")) {
                continue;
            }
            if (qobject_cast<QAbstractButton*>(control) &&
                qobject_cast<QTabBar*>(control->parentWidget())) {
                continue;
            }
            if (AccessibleName(control).trimmed().isEmpty()) {
                unnamed << control->metaObject()->className() + QStringLiteral(" ") +
                               control->objectName();
            }
            if (auto* button = qobject_cast<QAbstractButton*>(control)) takeKey(button->text());
        }
        for (QLabel* label : window->findChildren<QLabel*>()) {
            if (label->buddy() != nullptr) takeKey(label->text());
        }
        for (QTabBar* tabs : window->findChildren<QTabBar*>()) {
            for (int i = 0; i < tabs->count(); ++i) takeKey(tabs->tabText(i));
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));
        QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join(", ")));
    }

    void controlPanelKeyboardOrderFollowsTheLayout() {
        ControlPanelWindow panel(lists_, worklist_, options_, *ini_);
        const QStringList wanted{"TOS",     "SOT",       "Tn2Dia",  "GenBL",    "AtchBC",
                                 "MRS",     "ZinV",      "R4HBD",   "EngLab",   "CPTab",
                                 "PrgList", "LayerList", "DimList", "VVarList", "RVarList",
                                 "SubList", "MsgList"};
        QStringList order;
        QWidget* widget = panel.findChild<QWidget*>(wanted.front());
        for (int step = 0; step < 200 && order.size() < wanted.size(); ++step) {
            if (wanted.contains(widget->objectName()) && !order.contains(widget->objectName())) {
                order << widget->objectName();
            }
            widget = widget->nextInFocusChain();
        }
        QCOMPARE(order, wanted);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
