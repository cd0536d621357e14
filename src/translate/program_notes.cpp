#include "translate/program_notes.h"

#include "base/value_text.h"

namespace retracer {

void ProgramNotes::UnknownName(std::string_view name) {
    auto key = std::make_pair(job_.lineFile, std::string(name));
    if (reported_.find(key) != reported_.end()) return;
    reported_.insert(std::move(key));
    job_.WarnAtLine("Variable \"" + std::string(name) + "\" is not defined; it reads 0");
}

void ProgramNotes::DecimalComma(std::string_view number, double reads) {
    if (commaLine_ != job_.lineNumber || commaFile_ != job_.lineFile) {
        commaFile_ = job_.lineFile;
        commaLine_ = job_.lineNumber;
        commasOfLine_.clear();
    }
    if (!commasOfLine_.insert(std::string(number)).second) return;
    job_.WarnAtLine("Number \"" + std::string(number) +
                    "\" is written with a decimal comma; it reads " + GeneralText(reads));
}

}  // namespace retracer
