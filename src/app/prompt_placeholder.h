#pragma once

#include "translate/prompt.h"

namespace retracer::app {

// Stands in for the message boxes until they are plugged in: shows nothing and takes the answer
// that loses nothing.
class SilentPrompt : public Prompt {
  public:
    void Show(std::string_view, std::string_view, PromptIcon) override {}
    bool AskYesNo(std::string_view, std::string_view, bool safeAnswer) override {
        return safeAnswer;
    }
};

}  // namespace retracer::app
