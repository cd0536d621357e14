#pragma once

#include <string>
#include <string_view>

#include "variables/expression.h"
#include "variables/program_variables.h"

namespace retracer {

// Faults met while evaluating a job's expressions, kept so that the job can report them once
// it is done instead of failing half-way.
struct EvalFaultLog {
    int count = 0;
    std::string firstText;  // the first expression that faulted, as written
    EvalFaults firstFaults;

    void Record(std::string_view text, const EvalFaults& faults);
};

// Told what an expression reads that its writer most likely did not mean, so that a job can
// say so: the translation itself stays as it is. Names and numbers arrive as written.
class ExpressionNotes {
  public:
    // A name no variable stands for (a letter beyond S, an R variable that nothing set, an R
    // number beyond the table); it reads 0.
    virtual void UnknownName(std::string_view name) = 0;
    // A number written with a decimal comma ("7,5"); the expression ends at the comma, so the
    // number reads as the digits before it (`reads`).
    virtual void DecimalComma(std::string_view number, double reads) = 0;

  protected:
    ~ExpressionNotes() = default;
};

// What an expression can see: the variables, and the machine type code of the program's header
// (on machine types 4 and 6 the names "hf" and "lf" stand for thickness and width).
struct EvalContext {
    const ProgramVariables& vars;
    int machineType = 0;
    EvalFaultLog* faults = nullptr;    // may be null when nobody reports
    ExpressionNotes* notes = nullptr;  // likewise
};

// The one expression entry point: trims the text, reads upper-case D and E as the variables D
// and E (never as exponent letters), drops one leading "=", evaluates the leading expression
// with the program's variables and rounds the result to 8 decimals.
double EvalExpression(std::string_view text, const EvalContext& context);

// Tells `notes` of every number in `text` written with a decimal comma (a comma between two
// digits), for texts read as plain numbers rather than expressions.
void NoteDecimalCommas(std::string_view text, ExpressionNotes& notes);

// Resolves one variable name as written in an expression. R names read the R variable's text:
// a plain number directly, any other text as an expression of its own (an R variable defined as
// "L/2" is worth half the part length). A name that refers back to itself through R variables is
// cut at a fixed depth and reads 0. Every name resolves; unknown names read 0 (and are told to
// the context's notes).
double ResolveVariable(std::string_view name, const EvalContext& context);

// Assignments from text, as worklist rows and the command line give them.
// An R variable named by one character and its number ("R5", "#5") takes `text` as written: an
// expression stays an expression, read wherever the variable is used. Marks that an R variable
// is set. False, changing nothing, when the number is not one of 0 to 299.
bool AssignRVariable(ProgramVariables& vars, std::string_view name, std::string_view text);
// Letter slot `slot` (A = 1 … T = 20, V0 to V7 in 1 to 8) takes the value of `expression`,
// evaluated with the variables as they are. False, changing nothing, outside the letters.
bool AssignLetterVariable(ProgramVariables& vars, int slot, std::string_view expression,
                          int machineType = 0, EvalFaultLog* faults = nullptr);

}  // namespace retracer
