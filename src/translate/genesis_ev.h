#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/field_splitter.h"
#include "translate/program_notes.h"
#include "translate/r_replacement.h"
#include "translate/translation_context.h"

namespace retracer {

// The numbered parameters of one Genesis Ev macro block, read by ReadBlockParams. Positions
// carry the offsets of the subprogram call being scanned; values are singles as the programs
// give them.
struct BlockParams {
    float x = 0, y = 0, depth = 0;  // #1, #2, #3 (depth also from #8512, #8514)
    bool xGiven = false, yGiven = false, zGiven = false;
    float centreX = 0, centreY = 0;  // #31, #32; "a…" marks them absolute
    bool cxGiven = false, cyGiven = false, cxAbsolute = false, cyAbsolute = false;
    int direction = 0;             // #34
    float tagValue = 0;            // #36
    int compensation = 0;          // #40: 1 left, 2 right
    bool incremental = false;      // #8015
    int tool = 0;                  // #205, #8500, and #8516 on grooves
    float diameter = 0;            // #1002, #8513, and #8516 elsewhere
    float step = 0;                // #8513
    float spindleS = 0;            // #2002
    float feedD = 0;               // #2005
    float feed3 = 0;               // #2008
    float radius = 0;              // #8017
    float x2 = 0, y2 = 0, z2 = 0;  // #8020, #8021, #8022
    bool z2Given = false;
    float angle = 0;       // #8044, #8526
    int count = 0;         // #8509
    float ax = 0, ay = 0;  // #8510, #8511
    float bx = 0, by = 0;  // #8517 or #8518, #8519
    float pitch = 0;       // #8520
    float length = 0;      // #8527
    bool byAngle = false;  // #8528
    // Conditions: operands #8070/#8073, #8071/#8074, #8072/#8075 as texts; operator indexes from
    // #8060..#8062 and joiner indexes from #8065, #8066 into the comparison words.
    std::array<std::string, 6> operands{};
    std::array<int, 3> operators{};
    std::array<int, 2> joiners{};
    // The call offsets added above, and the values of the parameters that some blocks read as
    // distances or angles rather than positions (relative centres, the radius and start angle of
    // a hole circle, the Y end of a groove along Y), as given: a subprogram must not shift those.
    double offsetX = 0, offsetY = 0;
    struct {
        float centreX = 0, centreY = 0, ax = 0, ay = 0, bx = 0;
    } given;
};

// Translates the lines of a Genesis Ev program (and of its subprograms) into the job's drawing.
// Built once per job, so every job starts from the same state; the job driver hands it each line
// the scanner reads. Problems in the input go to the job's diagnostics and never stop the job.
class GenesisEvTranslator {
  public:
    // Expressions of the job report what they read by mistake to this translator's notes.
    explicit GenesisEvTranslator(const TranslationContext& context);
    ~GenesisEvTranslator();
    GenesisEvTranslator(const GenesisEvTranslator&) = delete;
    GenesisEvTranslator& operator=(const GenesisEvTranslator&) = delete;

    // Translates one line. `line` holds the raw text; it is rewritten on the way (after a
    // block it holds the block's parameter body, whose F word names a route's feed).
    void TranslateLine(FieldSplitter& line, std::string_view file, int lineNumber);

    // Translation state of the dialect, for tests and the Control Panel.
    const BlockParams& LastBlock() const { return params_; }
    std::array<float, 3> LastGiven() const { return lastGiven_; }
    int OpenConditions() const;

  private:
    // What the handlers of one block need besides the parameters.
    struct Block {
        FieldSplitter& line;
        std::string_view code;
    };
    using Handler = void (GenesisEvTranslator::*)(Block&);
    // What a block does to the conditions: open one before anything else, or invert or close
    // the innermost one after it was handled.
    enum class Condition { kNone, kOpen, kElse, kEnd };
    struct Macro {
        std::string_view code;
        Handler handler;
        bool readWhenInactive;  // an inactive block still reads its parameters
        Condition condition;
    };
    static const std::array<Macro, 22> kMacros;
    static const Macro* FindMacro(std::string_view code);

    // Line preparation and sections.
    void PrepareLine(const std::string& raw);
    bool HandleKeyWord(std::string_view& keyWord);
    enum class SectionAction {
        kNone,
        kHeader,
        kOffsOn,
        kOffsOff,
        kVarvOn,
        kVarvOff,
        kVarOn,
        kVarOff,
        kSideEnd,
        kSide
    };
    struct SectionWord {
        SectionAction action = SectionAction::kNone;
        int side = 0;  // of a "SIDE#n{" word
    };
    static std::optional<SectionWord> FindSectionWord(std::string_view keyWord);
    void ApplySectionWord(const SectionWord& word, std::string_view& keyWord);
    std::string_view DataValueText();
    void HeaderLine();
    void OffsetLine();
    void VVariableLine(std::string_view keyWord);
    void RVariableLine(std::string_view keyWord);
    void MacroBlock(FieldSplitter& line, std::string_view code);

    // Conditions.
    void OpenCondition();
    bool Active() const;
    void ElseCondition();
    void EndCondition();

    // Parameters.
    void ReadBlockParams(bool groove);
    std::string_view BlockBody() const;
    float SingleParam(double v, int number);

    // Macro handlers.
    void Ignore(Block&) {}
    void SingleHole(Block&);
    void PolarHole(Block&);
    void CircleHoles(Block&);
    void RowAlongX(Block&);
    void RowAlongY(Block&);
    // Holes every pitch from `from` to `to` (reached within `tolerance`), along X or Y at `at`.
    void DrillRow(float from, float to, double tolerance, bool alongX, float at);
    void RowAlongLine(Block&);
    void GrooveAlongX(Block&);
    void GrooveAlongY(Block&);
    void ToolStart(Block&);
    void LineTo(Block&);
    void LineByAngle(Block&);
    void ArcByCentreOffsets(Block&);
    void ArcThroughPoint(Block&);
    void ArcByRadiusShort(Block&);
    void ArcByRadiusLong(Block&);
    void ArcToAngle(Block&);
    void SubprogramCallBlock(Block&);
    void LabelBlock(Block&);

    // Helpers of the handlers.
    int FacePlane() const;
    void Hole(double x, double y, std::string_view tool);
    void Groove(float x1, float y1, float x2, float y2);
    void ArcByRadius(Block& block, bool longArc);
    void RouteArc(Block& block, double cx, double cy, double ex, double ey, bool clockwise);
    void StraightInsteadOfArc(Block& block, std::string_view why);
    void PrepareRouteLine(Block& block);
    bool TooManyHoles(int holes);
    bool Stalled(float next, float current);
    void Warn(std::string_view message) const;

    TranslationContext ctx_;
    ProgramNotes notes_;
    RValueCache rValues_;

    // Per line.
    std::string text_;  // the prepared line
    std::string replaced_;
    std::string comment_;
    std::string body_;  // the block's parameters, "#" turned into blanks
    FieldSplitter scratch_;
    std::string_view file_;  // valid while TranslateLine runs, for diagnostics
    int lineNumber_ = 0;

    // Dialect state, fresh per job.
    int curSide_ = 0;
    bool inOffsBlock_ = false;
    bool inVarvBlock_ = false;
    bool inVarBlock_ = false;
    std::array<float, 3> lastGiven_{};
    BlockParams params_;
    std::vector<char> deeperConditions_;  // conditions beyond the shared stack's ten
    bool warnedDeepConditions_ = false;
    bool warnedTooManyCalls_ = false;
};

}  // namespace retracer
