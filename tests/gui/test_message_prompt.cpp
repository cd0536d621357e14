// The core's messages and questions as message boxes.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "message_prompt.h"

using retracer::PromptIcon;
using retracer::app::MessagePrompt;

Q_DECLARE_METATYPE(PromptIcon)

class MessagePromptTest : public QObject {
    Q_OBJECT

    // Once the box is up, presses `key` in it.
    static void PressInNextBox(Qt::Key key) {
        QTimer::singleShot(0, [key] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            QTest::keyClick(box, key);
        });
    }

  private slots:
    void boxesCarryTitleTextIconAndButtons_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::addColumn<PromptIcon>("icon");
        QTest::addColumn<bool>("question");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("iconShown");
        QTest::addColumn<int>("buttons");
        QTest::newRow("file error")
            << "Alert!"
            << "File Error. File may be open by another application.\r\nC:\\a<b>.DXF"
            << PromptIcon::kInformation << false
            << "File Error. File may be open by another application.\nC:\\a<b>.DXF"
            << int(QMessageBox::Information) << int(QMessageBox::Ok);
        QTest::newRow("subprogram missing")
            << "Subprogram Error"
            << "Subprogram: \rD:\\subs\\X.PGM\rNot Found" << PromptIcon::kWarning << false
            << "Subprogram: \nD:\\subs\\X.PGM\nNot Found" << int(QMessageBox::Warning)
            << int(QMessageBox::Ok);
        QTest::newRow("question") << "Query"
                                  << "Delete all entries in Worklist?" << PromptIcon::kQuestion
                                  << true << "Delete all entries in Worklist?"
                                  << int(QMessageBox::Question)
                                  << int(QMessageBox::Yes | QMessageBox::No);
    }

    void boxesCarryTitleTextIconAndButtons() {
        QFETCH(QString, title);
        QFETCH(QString, text);
        QFETCH(PromptIcon, icon);
        QFETCH(bool, question);
        QFETCH(QString, shown);
        QFETCH(int, iconShown);
        QFETCH(int, buttons);
        const auto box = MessagePrompt::MakeBox(nullptr, title.toStdString(), text.toStdString(),
                                                icon, question);
        QCOMPARE(box->windowTitle(), title);
        QCOMPARE(box->text(), shown);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(int(box->icon()), iconShown);
        QCOMPARE(int(box->standardButtons()), buttons);
    }

    void questionsDefaultToTheSafeAnswer_data() {
        QTest::addColumn<bool>("safeAnswer");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("answer");
        QTest::newRow("Enter, safe No") << false << int(Qt::Key_Return) << false;
        QTest::newRow("Escape, safe No") << false << int(Qt::Key_Escape) << false;
        QTest::newRow("Enter, safe Yes") << true << int(Qt::Key_Return) << true;
        QTest::newRow("Y key") << false << int(Qt::Key_Y) << true;
        QTest::newRow("N key, safe Yes") << true << int(Qt::Key_N) << false;
    }

    void questionsDefaultToTheSafeAnswer() {
        QFETCH(bool, safeAnswer);
        QFETCH(int, key);
        QFETCH(bool, answer);
        MessagePrompt prompt;
        PressInNextBox(static_cast<Qt::Key>(key));
        QCOMPARE(prompt.AskYesNo("Query", "Delete selected entries in Worklist?", safeAnswer),
                 answer);
    }
};

QTEST_MAIN(MessagePromptTest)
#include "test_message_prompt.moc"
