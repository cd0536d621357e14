#pragma once

#include <QMessageBox>
#include <QPointer>

#include <memory>
#include <string_view>

#include "base/prompt.h"

namespace retracer::app {

// The core's messages and questions as message boxes: the title and text as given, the icon of
// the message, an OK button for a message and Yes and No for a question. The answer that loses
// nothing is the default button and the answer of Escape, so a hasty Enter deletes nothing.
class MessagePrompt : public Prompt {
  public:
    explicit MessagePrompt(QWidget* parent = nullptr) : parent_(parent) {}

    // The window the boxes are centred on.
    void SetParent(QWidget* parent) { parent_ = parent; }

    void Show(std::string_view title, std::string_view text, PromptIcon icon) override;
    bool AskYesNo(std::string_view title, std::string_view text, bool safeAnswer) override;

    // The box for a message (`question` false) or a question. Texts break their lines with
    // carriage returns, as the messages were written; they are shown as plain text, so a path
    // with "<" in it shows as it is.
    static std::unique_ptr<QMessageBox> MakeBox(QWidget* parent, std::string_view title,
                                                std::string_view text, PromptIcon icon,
                                                bool question, bool safeAnswer = false);

  private:
    QPointer<QWidget> parent_;
};

}  // namespace retracer::app
