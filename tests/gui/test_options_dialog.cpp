// The Options dialog over a fake viewer: what it shows, what OK applies and reports, what
// cancel discards, and the background colour applied and kept at once.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "base/prompt.h"
#include "fake_viewer.h"
#include "options_dialog.h"
#include "settings/user_store.h"

using retracer::MemoryUserSettingsStore;
using retracer::RecordingPrompt;
using retracer::app::OptionsDialog;

class OptionsDialogTest : public QObject {
    Q_OBJECT

    FakeViewer viewer_;
    MemoryUserSettingsStore store_;
    RecordingPrompt prompt_;
    QList<QColor> choices_;  // what the colour dialog answers, in turn; invalid = cancel

    retracer::app::ColourChooser Chooser() {
        return [this](const QColor&, QWidget*) {
            return choices_.isEmpty() ? QColor() : choices_.takeFirst();
        };
    }
    std::string BackColor() const { return store_.Get("Retracer", "Defaults", "BackColor", "-"); }

  private slots:
    void init() {
        viewer_ = FakeViewer();
        store_ = MemoryUserSettingsStore();
        prompt_ = RecordingPrompt();
        choices_.clear();
    }

    void opensWithTheViewersSettings() {
        viewer_.zoomIn = 12.5;
        viewer_.printBlack = true;
        viewer_.background = QColor(10, 20, 30);
        viewer_.temporaryFolder = QStringLiteral("/opt/retracer/TMP/");
        OptionsDialog dialog(viewer_, store_, prompt_, Chooser());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        QCOMPARE(dialog.ZoomInBox()->currentText(), QStringLiteral("12.5"));
        QCOMPARE(dialog.ZoomOutBox()->currentText(), QStringLiteral("50"));
        QCOMPARE(dialog.ZoomInBox()->count(), 7);
        QVERIFY(dialog.PrintBlackBox()->isChecked());
        QVERIFY(!dialog.DisplayBlackBox()->isChecked());
        QCOMPARE(dialog.Swatch()->palette().color(QPalette::Window), QColor(10, 20, 30));
        // The viewer's scratch folder is shown; it is not the dialog's to change.
        auto* tmp = dialog.findChild<QLineEdit*>(QStringLiteral("txtTmpFilePath"));
        QVERIFY(tmp != nullptr);
        QCOMPARE(tmp->text(), QStringLiteral("/opt/retracer/TMP/"));
        QVERIFY(tmp->isReadOnly());
    }

    void okAppliesThePercentagesAndReportsTheStatusText_data() {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<bool>("clickDisplayBox");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("redraws");
        QTest::newRow("untouched: no redraw, the text again")
            << "125"
            << "50" << false << "Spot Zoom (L/R): 125% / 50% " << 0;
        QTest::newRow("typed 60") << "60"
                                  << "50" << false << "Spot Zoom (L/R): 60% / 50% " << 0;
        QTest::newRow("decimals") << "37.5"
                                  << "200" << false << "Spot Zoom (L/R): 37.5% / 200% " << 0;
        QTest::newRow("black and white clicked: one redraw")
            << "125"
            << "75" << true << "Spot Zoom (L/R): 125% / 75% " << 1;
    }

    void okAppliesThePercentagesAndReportsTheStatusText() {
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(bool, clickDisplayBox);
        QFETCH(QString, status);
        QFETCH(int, redraws);
        OptionsDialog dialog(viewer_, store_, prompt_, Chooser());
        QSignalSpy spy(&dialog, &OptionsDialog::zoomStatusChanged);
        dialog.ZoomInBox()->setEditText(left);
        dialog.ZoomOutBox()->setEditText(right);
        if (clickDisplayBox) dialog.DisplayBlackBox()->click();
        dialog.PrintBlackBox()->setChecked(true);
        dialog.OkButton()->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][0].toString(), status);
        QCOMPARE(viewer_.zoomIn, left.toDouble());
        QCOMPARE(viewer_.zoomOut, right.toDouble());
        QCOMPARE(viewer_.displayBlack, clickDisplayBox);
        QVERIFY(viewer_.printBlack);
        QCOMPARE(viewer_.redraws, redraws);
    }

    void cancelDiscardsPercentagesAndBlackAndWhite() {
        OptionsDialog dialog(viewer_, store_, prompt_, Chooser());
        QSignalSpy spy(&dialog, &OptionsDialog::zoomStatusChanged);
        dialog.ZoomInBox()->setEditText(QStringLiteral("60"));
        dialog.DisplayBlackBox()->click();
        dialog.reject();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(viewer_.zoomIn, 125.0);
        QVERIFY(!viewer_.displayBlack);
        QCOMPARE(viewer_.redraws, 0);
    }

    void aPercentageThatIsNoNumberKeepsTheDialogOpen_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("letters") << "abc";
        QTest::newRow("zero") << "0";
        QTest::newRow("too large") << "5000";
    }

    void aPercentageThatIsNoNumberKeepsTheDialogOpen() {
        QFETCH(QString, text);
        OptionsDialog dialog(viewer_, store_, prompt_, Chooser());
        QSignalSpy spy(&dialog, &OptionsDialog::zoomStatusChanged);
        dialog.ZoomOutBox()->setEditText(text);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(viewer_.zoomOut, 50.0);
        QCOMPARE(prompt_.messages.size(), std::size_t{1});
    }

    void backgroundColourIsAppliedAndKeptAtOnce_data() {
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<QString>("stored");  // red + 256 green + 65536 blue
        QTest::newRow("red") << QColor(255, 0, 0) << "255";
        QTest::newRow("blue") << QColor(0, 0, 255) << "16711680";
        QTest::newRow("mixed") << QColor(1, 2, 3) << "197121";
    }

    void backgroundColourIsAppliedAndKeptAtOnce() {
        QFETCH(QColor, colour);
        QFETCH(QString, stored);
        choices_ = {colour};
        {
            OptionsDialog dialog(viewer_, store_, prompt_, Chooser());
            dialog.ColourButton()->click();
            QCOMPARE(dialog.Swatch()->palette().color(QPalette::Window), colour);
            dialog.reject();  // the colour stays without OK
        }
        QCOMPARE(viewer_.background, colour);
        QCOMPARE(viewer_.redraws, 1);
        QCOMPARE(QString::fromStdString(BackColor()), stored);
        QCOMPARE(retracer::app::ColourFromStoreText(stored), colour);
    }

    void colourCancelChangesNothingAndARedrawFailureIsReported() {
        OptionsDialog dialog(viewer_, store_, prompt_, Chooser());
        dialog.ChooseBackgroundColour();  // cancelled
        QCOMPARE(viewer_.background, QColor(Qt::black));
        QCOMPARE(BackColor(), std::string("-"));
        QVERIFY(prompt_.messages.empty());

        choices_ = {QColor(Qt::white)};
        viewer_.redrawError = QStringLiteral("device lost");
        dialog.ChooseBackgroundColour();
        QCOMPARE(viewer_.background, QColor(Qt::white));
        QCOMPARE(BackColor(), std::string("-"));
        QCOMPARE(prompt_.messages.size(), std::size_t{1});
        QCOMPARE(prompt_.messages[0].text,
                 std::string("An error occurred in cmdColor_Click. The message is: device lost"));

        // The same failure after OK is shown the same way; the dialog still closes.
        dialog.DisplayBlackBox()->click();
        dialog.accept();
        QCOMPARE(prompt_.messages.size(), std::size_t{2});
        QCOMPARE(prompt_.messages[1].text, prompt_.messages[0].text);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void storedColourTextsThatAreNoColour() {
        QVERIFY(!retracer::app::ColourFromStoreText(QStringLiteral("red")).isValid());
        QVERIFY(!retracer::app::ColourFromStoreText(QStringLiteral("16777216")).isValid());
        QVERIFY(!retracer::app::ColourFromStoreText(QStringLiteral("-1")).isValid());
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "test_options_dialog.moc"
