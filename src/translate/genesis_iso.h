#pragma once

#include <array>
#include <string>
#include <string_view>

#include "base/field_splitter.h"
#include "translate/program_notes.h"
#include "translate/translation_context.h"

namespace retracer {

// Stand-ins for the parameter words R50=, R51=, R52= and R54= of a Genesis line, so that they can
// be read back as one-character words. Like the evaluator's D and E placeholders they are single
// bytes that never occur in UTF-8 at all (every input is decoded to UTF-8 first), so a user's text
// can neither contain them nor be split by them.
inline constexpr char kR50Mark = '\xF5';
inline constexpr char kR51Mark = '\xF6';
inline constexpr char kR52Mark = '\xF7';
inline constexpr char kR54Mark = '\xF8';

// Reads a plain decimal number at the start of `text` (blanks before it allowed) when that number
// is all an expression evaluation of the text would read, so that its value is the evaluation's
// value: at most 15 digits, at most 8 of them decimals, and after it (and any blanks) the end or
// a character that ends the expression. Most words of a program are such numbers, and reading
// them directly spares the evaluator and its rounding. False leaves the text to the evaluator.
bool ReadPlainLeadingNumber(std::string_view text, double& value);

// Appends the general form of a word that is a plain decimal number as a whole ("+05.50" gives
// "5.5") and returns true; false for any other word, and for numbers whose general form is the
// exponent form, which are left to GeneralText.
bool AppendPlainGeneralText(std::string_view word, std::string& out);

// A hole pattern of one line stops after this many holes: no panel carries more, and a pitch
// tiny against the row's length would otherwise freeze the job and fill the disk.
inline constexpr int kMaxHolesPerLine = 100000;

// Translates the lines of a Genesis (ISO-style) program into the job's drawing. Built once per
// job; the job driver hands it each line the scanner reads. Problems in the input go to the job's
// diagnostics and never stop the job.
class GenesisIsoTranslator {
  public:
    // Expressions of the job report what they read by mistake to this translator's notes.
    explicit GenesisIsoTranslator(const TranslationContext& context);
    ~GenesisIsoTranslator();
    GenesisIsoTranslator(const GenesisIsoTranslator&) = delete;
    GenesisIsoTranslator& operator=(const GenesisIsoTranslator&) = delete;

    // Translates one line. `line` holds the raw text; it is rewritten to the prepared line, which
    // the handlers read their words from (a route path started on it takes its F word).
    void TranslateLine(FieldSplitter& line, std::string_view file, int lineNumber);

    // The prepared text of the last line, for tests.
    const std::string& PreparedLine() const { return text_; }

  private:
    using Handler = void (GenesisIsoTranslator::*)(FieldSplitter&);
    struct Code {
        int code;
        Handler handler;
    };
    static const std::array<Code, 23> kCodes;
    static Handler FindHandler(int code);

    // Line preparation and the codes read from every line.
    void PrepareLine(std::string_view raw);
    void RewriteValueWords();
    void OrientationCodes(FieldSplitter& line);

    // State codes.
    void Header(FieldSplitter& line);
    void ProgramOffset(FieldSplitter& line);
    void AssignLetters(FieldSplitter& line);
    void Condition(FieldSplitter& line);
    int CompareIndex(FieldSplitter& line, char mark, int shift, int low, int high);

    // Machining codes.
    void SingleHole(FieldSplitter& line);
    void CircleHoles(FieldSplitter& line);
    void RowAlongX(FieldSplitter& line);
    void RowAlongY(FieldSplitter& line);
    void RowAlongLine(FieldSplitter& line);
    void RouteStart(FieldSplitter& line);
    void LineTo(FieldSplitter& line);
    void PolarLineTo(FieldSplitter& line);
    void Arc(FieldSplitter& line);
    void ArcThroughPoint(FieldSplitter& line);
    void GrooveAlongX(FieldSplitter& line);
    void GrooveAlongY(FieldSplitter& line);

    // Helpers of the handlers.
    double Word(FieldSplitter& line, char letter);
    bool HasLetter(char letter) const;
    void ReadMoveDepth(FieldSplitter& line);
    void EndPath(FieldSplitter& line);
    struct HoleWords {
        float depth = 0;
        float diameter = 0;
        int plane = 0;
        std::string tool;
    };
    void Hole(const HoleWords& words, double x, double y);
    struct Row {
        HoleWords words;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0, pitch = 0;
    };
    bool ReadRow(FieldSplitter& line, Row& row);
    void DrillRow(const Row& row, double x0, double y0, double dx, double dy, double length);
    void StraightInsteadOfArc(FieldSplitter& line, double ex, double ey, std::string_view why);
    void Groove(FieldSplitter& line, bool alongX);
    void Warn(std::string message) const;

    TranslationContext ctx_;
    ProgramNotes notes_;

    // Per line.
    std::string text_;      // the prepared line
    std::string scratch_;   // rewrite buffer
    FieldSplitter words_;   // the line at "=" while it is rewritten
    FieldSplitter parser_;  // the line at "G", "X" and "E", for slashed codes
    int edge_ = 0;          // E word
    float feed_ = 0;        // F word
    bool clockwise_ = false;
    std::string_view file_;  // valid while TranslateLine runs, for diagnostics
    int lineNumber_ = 0;
};

}  // namespace retracer
