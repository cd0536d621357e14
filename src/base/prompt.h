#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace retracer {

enum class PromptIcon { kInformation, kWarning, kQuestion };

// Messages and questions for the user. The core never opens a window: the desktop application
// shows message boxes, the command-line tool writes to stderr and answers with the default, and
// tests script the answers.
class Prompt {
  public:
    virtual ~Prompt() = default;
    virtual void Show(std::string_view title, std::string_view text, PromptIcon icon) = 0;
    // Returns the user's answer; `safeAnswer` is the one that loses nothing, taken by callers
    // that cannot ask.
    virtual bool AskYesNo(std::string_view title, std::string_view text, bool safeAnswer) = 0;
};

// Records every message and answers questions from a script (then with the safe answer).
class RecordingPrompt : public Prompt {
  public:
    struct Message {
        std::string title;
        std::string text;
        PromptIcon icon = PromptIcon::kInformation;
        bool question = false;
    };

    void Show(std::string_view title, std::string_view text, PromptIcon icon) override {
        messages.push_back({std::string(title), std::string(text), icon, false});
    }
    bool AskYesNo(std::string_view title, std::string_view text, bool safeAnswer) override {
        messages.push_back({std::string(title), std::string(text), PromptIcon::kQuestion, true});
        if (nextAnswer_ < answers.size()) return answers[nextAnswer_++];
        return safeAnswer;
    }

    std::vector<Message> messages;
    std::vector<bool> answers;

  private:
    std::size_t nextAnswer_ = 0;
};

}  // namespace retracer
