#pragma once

#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "translate/job_state.h"
#include "variables/eval_expression.h"

namespace retracer {

// Turns what expressions read by mistake into the job's diagnostics, at the program line being
// translated: each name that no variable stands for once per name and file (a program that
// writes x for its length does so on many lines), each number with a decimal comma where it
// occurs. The translation itself is not changed.
class ProgramNotes final : public ExpressionNotes {
  public:
    explicit ProgramNotes(JobState& job) : job_(job) {}

    void UnknownName(std::string_view name) override;
    void DecimalComma(std::string_view number, double reads) override;

  private:
    JobState& job_;
    std::set<std::pair<std::string, std::string>, std::less<>> reported_;  // file, name
    // The decimal commas told for the line being translated: a number read twice (as a word
    // and as an expression) is told once.
    std::string commaFile_;
    int commaLine_ = 0;
    std::set<std::string, std::less<>> commasOfLine_;
};

}  // namespace retracer
