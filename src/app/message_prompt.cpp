#include "message_prompt.h"

#include <QPushButton>

#include "text_grid_model.h"

namespace retracer::app {
namespace {

QMessageBox::Icon BoxIcon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::kInformation:
            return QMessageBox::Information;
        case PromptIcon::kWarning:
            return QMessageBox::Warning;
        case PromptIcon::kQuestion:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

std::unique_ptr<QMessageBox> MessagePrompt::MakeBox(QWidget* parent, std::string_view title,
                                                    std::string_view text, PromptIcon icon,
                                                    bool question, bool safeAnswer) {
    QString body = ToQString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(ToQString(title));
    box->setTextFormat(Qt::PlainText);
    box->setText(body);
    box->setIcon(BoxIcon(question ? PromptIcon::kQuestion : icon));
    if (question) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        const QMessageBox::StandardButton safe = safeAnswer ? QMessageBox::Yes : QMessageBox::No;
        box->setDefaultButton(safe);
        box->setEscapeButton(safe);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

void MessagePrompt::Show(std::string_view title, std::string_view text, PromptIcon icon) {
    MakeBox(parent_, title, text, icon, false)->exec();
}

bool MessagePrompt::AskYesNo(std::string_view title, std::string_view text, bool safeAnswer) {
    const auto box = MakeBox(parent_, title, text, PromptIcon::kQuestion, true, safeAnswer);
    box->exec();
    QAbstractButton* clicked = box->clickedButton();
    if (clicked == nullptr) return safeAnswer;
    return box->standardButton(clicked) == QMessageBox::Yes;
}

}  // namespace retracer::app
