// Genesis (ISO-style) programs: line preparation, state codes, conditions, orientation, holes,
// routes, grooves and the degenerate input that must not break a job.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "base/text_codec.h"
#include "base/value_text.h"
#include "translator_job.h"

namespace retracer {
namespace {

// A Genesis job in memory that also keeps each line as the translator prepared it.
class IsoJob : public testing_ev::TranslatorJob<GenesisIsoTranslator> {
  public:
    IsoJob() {
        radii = false;
        translator = std::make_unique<GenesisIsoTranslator>(Context());
    }
    void Run(std::string_view program) { TranslatorJob::Run(program, "TEST.CNC"); }
    // Every number of every shape drawn is finite.
    bool AllFinite() const {
        std::vector<double> vs;
        for (const Entity& e : Entities()) {
            if (const auto* c = std::get_if<CircleEntity>(&e.geometry))
                vs.insert(vs.end(), {c->centre.x, c->centre.y, c->radius});
            else if (const auto* l = std::get_if<LineEntity>(&e.geometry))
                vs.insert(vs.end(), {l->start.x, l->start.y, l->end.x, l->end.y});
            else if (const auto* p = std::get_if<PolylineEntity>(&e.geometry))
                for (const PolylineVertex& v : p->vertices)
                    vs.insert(vs.end(), {v.x, v.y, v.bulge});
        }
        return std::all_of(vs.begin(), vs.end(), [](double v) { return std::isfinite(v); });
    }

    std::vector<std::string> prepared;

  protected:
    void AfterLine() override { prepared.push_back(translator->PreparedLine()); }
};

// A part 600 × 400 × 18 with plain (unmirrored) position and centre mappings, so that the
// expected coordinates read as written.
std::string Plain(std::string_view body) {
    return "G71 X600 Y400 Z18\nG55 G55/\n" + std::string(body);
}

struct Case {
    std::string name;
    std::string program;
    std::string drawn;
    bool warns = false;
};

void RunCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        IsoJob iso;
        iso.Run(Plain(c.program));
        EXPECT_EQ(iso.Drawn(), c.drawn) << c.name;
        EXPECT_EQ(!iso.job.diagnostics.empty(), c.warns) << c.name;
        EXPECT_TRUE(iso.AllFinite()) << c.name;
    }
}

TEST(GenesisIsoTest, LinePreparation) {
    struct Prep {
        std::string line;
        std::string prepared;
    };
    const std::string r50(1, kR50Mark), r51(1, kR51Mark), r52(1, kR52Mark), r54(1, kR54Mark);
    const std::vector<Prep> cases = {
        {"G1 X10 Y20 ; to the corner", "G1 X10 Y20"},
        {"; a comment line", ""},
        {"   * a star comment", ""},
        {"G1 X=L/2  Y=H-10 Z=-5 F1000 T0103", "G1 X300  Y390 Z-5 F1000 T0103"},
        {"G1 X= L/4 Y50 Z=-5", "G1 X150 Y50 Z-5"},
        {"G88 X=10 Y100 Z-5 T1 3 P5", "G88 X10 Y100 Z-5 T1 3 P5"},
        {"G151 X=L Y=300 R50=1 R51=0 R52=2 R54=8",
         "G151 X600 Y300 " + r50 + "1 " + r51 + "0 " + r52 + "2 " + r54 + "8"},
        {"G150() A=L/2 B=A*2", "G150() A=L/2 B=A*2"},
        {"!A=5 B=A*2", "G150() A=5 B=A*2"},
        {"=5", ""}};
    IsoJob iso;
    std::string program = "G71 X600 Y400 Z18\n";
    for (const Prep& c : cases) program += c.line + "\n";
    iso.Run(program);
    ASSERT_EQ(iso.prepared.size(), cases.size() + 1);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(iso.prepared[i + 1], cases[i].prepared) << cases[i].line;
}

// Writing a value as letter=expression never changes what the line draws: each line and its
// twin with the plain value draw the same entities on the same layers.
TEST(GenesisIsoTest, ALetterExpressionWordReadsAsItsPlainTwin) {
    const struct {
        std::string withExpression;
        std::string plain;
        std::string layer;  // of the line's own entity
    } cases[] = {
        {"G88 X=10 Y100 Z-5 T1 3 P5\nG1 X50 Y100\n", "G88 X10 Y100 Z-5 T1 3 P5\nG1 X50 Y100\n",
         "ROUTE_Z-5_T3"},
        {"G81 X=300 Y320 Z-4 P5 T0 21\n", "G81 X300 Y320 Z-4 P5 T0 21\n", "VBORE_Z-4T21"},
        {"G81 X=L/2 Y=H-10 Z-4 P5\n", "G81 X300 Y390 Z-4 P5\n", "VBORE_Z-4"},
        {"G81 X=L/2 Y=H-10 Z=0-4 P=5 T0 21\n", "G81 X300 Y390 Z-4 P5 T0 21\n", "VBORE_Z-4T21"},
    };
    for (const auto& c : cases) {
        IsoJob with;
        with.tools.Set(21, {0, 0, 10});
        with.Run(Plain(c.withExpression));
        IsoJob twin;
        twin.tools.Set(21, {0, 0, 10});
        twin.Run(Plain(c.plain));
        ASSERT_FALSE(with.Entities().empty()) << c.withExpression;
        EXPECT_EQ(with.Entities().back().layer, c.layer) << c.withExpression;
        EXPECT_EQ(twin.Entities().back().layer, c.layer) << c.plain;
        EXPECT_EQ(with.Drawn(), twin.Drawn()) << c.withExpression;
    }
    IsoJob half;
    half.Run(Plain("G81 X=L/2 Y=H-10 Z-4 P5\n"));
    EXPECT_EQ(half.Drawn(), "VBORE_Z-4: (300,390)");
}

// The parameter marks can come from no file: whatever its encoding, decoded text never holds
// their bytes, so a user's text can neither fake a mark nor be split by one.
TEST(GenesisIsoTest, ParameterMarksNeverOccurInDecodedText) {
    const std::string marks = {kR50Mark, kR51Mark, kR52Mark, kR54Mark};
    for (char mark : marks) {
        for (const std::string& bytes :
             {std::string(1, mark), "G81 X10 " + std::string(1, mark) + "=8",
              "\xEF\xBB\xBF" + std::string(1, mark), std::string("\xFF\xFE") + mark + '\0'}) {
            EXPECT_EQ(DecodeText(bytes).find_first_of(marks), std::string::npos);
        }
    }
    IsoJob iso;  // a character whose bytes resemble a mark's stays one character
    iso.Run(Plain("G81 X10 Y10 Z5 \xC3\xB5\xC3\xB8 R54=8 P5 T0105\n"));
    EXPECT_EQ(iso.Drawn(), "VBORE_Z5T5: (10,10)");
}

// Words read directly must read exactly as the evaluator reads them; anything else goes to it.
TEST(GenesisIsoTest, PlainNumbersReadAsTheEvaluatorReadsThem) {
    const std::vector<std::string> plain = {
        "12", " -5", "+0.375 T0103", "300Y390Z19", "8\xF8\x35P5", "1.12345678", "12E5", ".5", "7."};
    const std::vector<std::string> others = {
        "-0",          "150() A=5",        "L/2",   "1+2",  "12 + 3", "1e5", "1d2", "2.5.3",
        "1.123456789", "1234567890123456", "12 e5", "12_a", "=5",     "",    "-"};
    ProgramVariables vars;
    vars.letters[ProgramVariables::kLength] = 600;
    for (const std::string& w : plain) {
        double value = 99;
        EXPECT_TRUE(ReadPlainLeadingNumber(w, value)) << w;
        const double evaluated = EvalExpression(w, EvalContext{vars});
        EXPECT_EQ(value, evaluated) << w;
        EXPECT_EQ(std::signbit(value), std::signbit(evaluated)) << w;
    }
    for (const std::string& w : others) {
        double value = 99;
        EXPECT_FALSE(ReadPlainLeadingNumber(w, value)) << w;
    }
}

TEST(GenesisIsoTest, PlainWordsKeepTheGeneralForm) {
    ProgramVariables vars;
    const std::vector<std::string> plain = {
        "5",      "-5",     "+05.50",    "0.375",           ".5",     "7.", "0", "000", "1000",
        "0.0001", "-0.001", "12.345678", "123456789012345", "100000", "0.5"};
    for (const std::string& word : plain) {
        std::string out = "X";
        EXPECT_TRUE(AppendPlainGeneralText(word, out)) << word;
        EXPECT_EQ(out, "X" + GeneralText(EvalExpression(word, EvalContext{vars}))) << word;
    }
    const std::vector<std::string> others = {
        "", "-", "L/2", "1e5", "5Y", "-0", "0.00001", "1.123456789", "2.5.3", "1234567890123456",
        "."};
    for (const std::string& word : others) {
        std::string out;
        EXPECT_FALSE(AppendPlainGeneralText(word, out)) << word;
        EXPECT_EQ(out, "") << word;
    }
}

TEST(GenesisIsoTest, HeaderSetsUnitsSizeAndOutline) {
    IsoJob mm;
    mm.Run("G71 X600 Y400.00004 Z18\n");
    EXPECT_EQ(mm.Drawn(true),
              "BORDER_Z18: 0,0>0,400; BORDER_Z18: 0,400>600,400; BORDER_Z18: 600,400>600,0; "
              "BORDER_Z18: 600,0>0,0");
    EXPECT_EQ(mm.job.unitDivisor, 1.0);
    EXPECT_EQ(mm.header.partWidth, 400) << "rounded to four decimals";
    for (const Entity& e : mm.Entities()) EXPECT_EQ(e.colour, 1);

    IsoJob inch;
    inch.Run("G70 X24 Y16 Z0.75\n");
    EXPECT_EQ(inch.job.unitDivisor, 25.4);
    EXPECT_EQ(inch.state.borderLayer, "BORDER_Z0P75");

    IsoJob fromJob;  // the worklist's size wins over the program's
    fromJob.job.dimsFromJob = true;
    fromJob.header.partLength = 800;
    fromJob.header.partWidth = 300;
    fromJob.header.partThickness = 16;
    fromJob.Run("G71 X600 Y400 Z18\nG150() A=L B=H C=S\n");
    EXPECT_EQ(fromJob.state.vars.letters[1], 800);
    EXPECT_EQ(fromJob.state.vars.letters[2], 300);
    EXPECT_EQ(fromJob.state.vars.letters[3], 16);
    EXPECT_EQ(fromJob.state.borderLayer, "BORDER_Z16");
}

TEST(GenesisIsoTest, LetterAssignmentsAndOffsets) {
    IsoJob iso;
    iso.Run(
        "G71 X600 Y400 Z18\nG150() A=5 B=A*2 C=H/2\n!D=B+1\nG150() E=E+1 F=2\nG150() E=E+1\n"
        "G92 X=A*3 Y-2.5 Z0\n");
    const auto& v = iso.state.vars.letters;
    EXPECT_EQ(v[1], 5);
    EXPECT_EQ(v[2], 10) << "later letters see earlier ones";
    EXPECT_EQ(v[3], 200);
    EXPECT_EQ(v[8], 400) << "H read in an expression is not assigned";
    EXPECT_EQ(v[4], 11) << "a ! line is a G150 line";
    EXPECT_EQ(v[5], 2) << "a letter can count on itself";
    EXPECT_EQ(iso.job.programOffsetX, "15");
    EXPECT_EQ(iso.job.programOffsetY, "-2.5");
    EXPECT_EQ(iso.job.programOffsetZ, "0");
}

TEST(GenesisIsoTest, ConditionsSkipLinesUpToG152) {
    // A route whose one move lies inside the condition given.
    auto inside = [](const std::string& g151) {
        return "G88 X0 Y0 Z5 T0103 P5\nG151 " + g151 + "\nG1 X50 Y0\nG152\n";
    };
    const std::string drawn = "ROUTE_Z5_T3: 0,0/0 50,0/0";
    RunCases({
        {"false condition skips the move", inside("X=L Y=100 R50=0"), ""},
        {"G152 draws again", inside("X=1 Y=2 R50=1") + "G1 X50 Y10\n",
         "ROUTE_Z5_T3: 0,0/0 50,10/0"},
        {"true condition draws", inside("X5 Y5 R50=2"), drawn},
        {"joined with or", inside("X1 Y2 R50=1 R51=1 I3 J3 R52=4"), drawn},
        {"joined with and", inside("X1 Y2 R50=0 R51=0 I3 J4 R52=1"), ""},
        {"negative operand", inside("X-3 Y2 R50=0 R51=0 I1 J1 R52=5"), ""},
        {"operator without meaning", inside("X1 Y1 R50=9"), drawn, true},
        {"joiner without meaning", inside("X1 Y1 R50=2 R51=8 I0 J1"), drawn, true},
    });
}

TEST(GenesisIsoTest, OrientationAndCompensationCodes) {
    IsoJob iso;
    iso.Run("G71 X600 Y400 Z18\nG56/\n");
    EXPECT_EQ(iso.state.centreMapping, 2);
    EXPECT_EQ(iso.state.xyMapping, 0);
    iso.Run("G57 G54/ X10\n");
    EXPECT_EQ(iso.state.xyMapping, 3);
    EXPECT_EQ(iso.state.centreMapping, 0);

    // Mapping 0 measures Y from the far edge, mapping 2 X from the far end as well.
    RunCases({
        {"mapping 0", "G54\nG81 X10 Y20 Z5 R54=8 P5\n", "VBORE_Z5: (10,380)"},
        {"mapping 2", "G56\nG81 X10 Y20 Z5 R54=8 P5\n", "VBORE_Z5: (590,380)"},
        {"mapping 3", "G57\nG81 X10 Y20 Z5 R54=8 P5\n", "VBORE_Z5: (590,20)"},
        {"G41 before G1 only sets the tag", "G88 X0 Y0 Z5 T0103 P5\nG41 G1 X10 Y10\nG1 X20 Y0\n",
         "ROUTE_Z5_T3_L: 0,0/0 20,0/0"},
        {"G41 after G1 draws and tags", "G88 X0 Y0 Z5 T0103 P5\nG1 G41 X10 Y10\nG1 X20 Y0\n",
         "ROUTE_Z5_T3_L: 0,0/0 10,10/0 20,0/0"},
        {"G42 with its number", "G42\nG88 X0 Y0 Z5 T0103 P5 R3\nG1 X20 Y0\n",
         "ROUTE_Z5_T3_R3: 0,0/0 20,0/0"},
        {"G40 cancels", "G42\nG40\nG88 X0 Y0 Z5 T0103 P5 R3\nG1 X20 Y0\n",
         "ROUTE_Z5_T3: 0,0/0 20,0/0"},
    });

    IsoJob mirrored;  // the mirrored copy is cut with the tool on the other side
    mirrored.job.mirrorJob = true;
    mirrored.Run(Plain("G41\n"));
    EXPECT_EQ(mirrored.state.pendingTag.text, "_R");
}

TEST(GenesisIsoTest, Holes) {
    RunCases({
        {"single hole with polar offset", "G81 X100 Y100 Z12 R54=8 P5 A90 U20 T0105\n",
         "VBORE_Z12T5: (100,120)"},
        {"no face, no hole", "G81 X100 Y100 Z12 R54=8\n", ""},
        {"circle of four, step from the count", "G200 X100 Y100 Z5 R54=5 P5 A0 U50 R51=4 R52=0\n",
         "VBORE_Z5: (150,100); VBORE_Z5: (100,150); VBORE_Z5: (50,100); VBORE_Z5: (100,50)"},
        {"circle with no count draws one", "G200 X100 Y100 Z5 P5 A90 U50 R51=0\n",
         "VBORE_Z5: (100,150)"},
        {"row along X, reversed ends", "G185 X500 Y10 I100 J10 K200 Z5\n",
         "VBORE_Z5: (100,10); VBORE_Z5: (300,10); VBORE_Z5: (500,10)"},
        {"row along Y from high to low", "G186 X10 Y20 I10 J84 K32 Z5\n",
         "VBORE_Z5: (10,84); VBORE_Z5: (10,52); VBORE_Z5: (10,20)"},
        {"row along a line", "G187 X0 Y0 I96 J0 K32 Z5\n",
         "VBORE_Z5: (0,0); VBORE_Z5: (32,0); VBORE_Z5: (64,0); VBORE_Z5: (96,0)"},
        {"row with pitch 0 draws nothing, silently", "G185 X0 Y0 I96 J0 K0 Z5\n", ""},
        {"row on the bottom face", "G185 X0 Y0 I50 J0 K50 Z20 P-5\n",
         "VBORE_Z20: (0,0); VBORE_Z20: (50,0)"},
    });
}

TEST(GenesisIsoTest, TinyPitchIsCappedAndReported) {
    IsoJob iso;
    iso.Run(Plain("G185 X0 Y0 I3000 J0 K0.0001 Z5\nG200 X0 Y0 U10 P5 R51=2000000000\n"));
    EXPECT_EQ(iso.Entities().size(), 4u + 2u * kMaxHolesPerLine);
    EXPECT_EQ(iso.job.diagnostics.size(), 2u);
}

TEST(GenesisIsoTest, RouteMoves) {
    const std::string start = "G88 X0 Y0 Z5 T0103 P5 S18000 F2000 B5000\n";
    RunCases({
        {"tool start and straight moves", start + "G1 X100 Y0\nG1 X100 Y50 Z8.12345\n",
         "ROUTE_Z5_T3_FR5000_FD2000_S18: 0,0/0 100,0/0 100,50/0"},
        {"F word of the first move", "G88 X0 Y0 Z5 T0103 P5\nG1 X100 Y0 F900\n",
         "ROUTE_Z5_T3_F900: 0,0/0 100,0/0"},
        {"off the top face nothing is routed", "G88 X0 Y0 Z5 T0103 P1\nG1 X100 Y0\n", ""},
        {"polar move", "G88 X10 Y10 Z5 T0103 P5\nG110 A90 U30\n", "ROUTE_Z5_T3: 10,10/0 10,40/0"},
        {"arc with centre offsets, clockwise", "G88 X0 Y0 Z5 T0103 P5\nG2 X20 Y0 I10 J0\n",
         "ROUTE_Z5_T3: 0,0/-1 20,0/0"},
        {"arc with J counted downwards", "G88 X0 Y0 Z5 T0103 P5\nG2 X10 Y-10 I0 J10\n",
         "ROUTE_Z5_T3: 0,0/-0.4142 10,-10/0"},
        {"arc by radius", "G88 X0 Y0 Z5 T0103 P5\nG13 X10 Y10 U10\n",
         "ROUTE_Z5_T3: 0,0/0.4142 10,10/0"},
        {"arc with A ignores U, I and J", "G88 X10 Y0 Z5 T0103 P5\nG38 X0 Y0 A90 U99 I5 J5\n",
         "ROUTE_Z5_T3: 10,0/0.4142 0,10/0"},
        {"arc through a middle point", "G88 X0 Y0 Z5 T0103 P5\nG112 I10 J10 X20 Y0\n",
         "ROUTE_Z5_T3: 0,0/-1 20,0/0"},
        {"a new G88 starts a new path", start + "G1 X10 Y0\nG88 X0 Y5 Z5 T0104 P5\nG1 X10 Y5\n",
         "ROUTE_Z5_T3_FR5000_FD2000_S18: 0,0/0 10,0/0; ROUTE_Z5_T4: 0,5/0 10,5/0"},
    });
}

TEST(GenesisIsoTest, ArcThroughMiddlePointUsesCentreMapping) {
    IsoJob iso;
    iso.Run("G71 X600 Y400 Z18\nG55 G55/\nG88 X2 Y1 Z5 T0103 P5\nG113 I1 J2 X0 Y1\n");
    // Centre (1, 1): a half circle from (2, 1) through (1, 2) to (0, 1).
    EXPECT_EQ(iso.Drawn(), "ROUTE_Z5_T3: 2,1/1 0,1/0");

    IsoJob flipped;  // mapping 0 measures I from the near end and J from the far edge
    flipped.Run("G71 X600 Y400 Z18\nG55\nG54/\nG88 X2 Y1 Z5 T0103 P5\nG113 I1 J398 X0 Y1\n");
    EXPECT_EQ(flipped.Drawn(), "ROUTE_Z5_T3: 2,1/1 0,1/0");
}

TEST(GenesisIsoTest, DegenerateArcsBecomeStraightMovesWithAWarning) {
    const std::string start = "G88 X0 Y0 Z5 T0103 P5\n";
    const std::string straight = "ROUTE_Z5_T3: 0,0/0 10,0/0";
    RunCases({
        {"three points on one line", start + "G112 I5 J0 X10 Y0\n", straight, true},
        {"nearly on one line", start + "G112 I5 J0.0000001 X10 Y0\n", straight, true},
        {"middle point equals the start", start + "G113 I0 J0 X10 Y0\n", straight, true},
        {"zero radius by offsets", start + "G2 X10 Y0 I0 J0\n", straight, true},
        {"zero radius about the start", start + "G3 X0 Y0 A45\n", "ROUTE_Z5_T3: 0,0/0 0,0/0", true},
        {"radius shorter than the chord", start + "G2 X30 Y0 U5\n", "ROUTE_Z5_T3: 0,0/0 30,0/0",
         true},
    });
}

TEST(GenesisIsoTest, NumbersBeyondAnySingleDrawNothing) {
    IsoJob iso;
    iso.Run(
        Plain("G81 X1e39 Y0 Z5 P5\nG85 X0 Y1e39 Q10 Z5\nG88 X0 Y0 Z5 T0103 P5\n"
              "G1 X1e39 Y0\nG112 I1e39 J1 X2 Y0\n"));
    EXPECT_TRUE(iso.AllFinite());
    EXPECT_GE(iso.job.diagnostics.size(), 3u);

    IsoJob header;
    header.Run("G71 X1e39 Y400 Z18\n");
    EXPECT_EQ(header.header.partLength, 0);
    EXPECT_EQ(header.job.diagnostics.size(), 1u);

    // A size from the worklist row beyond a single: 0 as well, so that a mirrored copy is
    // measured from a length it can draw.
    IsoJob row;
    row.job.dimsFromJob = true;
    row.job.mirrorJob = true;
    row.header.partLength = 1e39;
    row.header.partWidth = 400;
    row.Run("G71 X600 Y400 Z18\nG81 X10 Y10 Z-5 P5\n");
    EXPECT_EQ(row.header.partLength, 0);
    EXPECT_EQ(row.header.partWidth, 400);
    EXPECT_TRUE(row.AllFinite());
    EXPECT_EQ(row.Diagnostics(), "1: blank size out of range; 0 is used");
}

TEST(GenesisIsoTest, Grooves) {
    RunCases({
        {"along X", "G85 X10 Y50 Q300 Z-6.5\n", "GROOVE_Z-6.5: 10,50>300,50"},
        {"along Y", "G86 X10 Y50 Q300 Z8\n", "GROOVE_Z8: 10,50>10,300"},
    });
    IsoJob mirrored;
    mirrored.job.mirrorJob = true;
    mirrored.Run(Plain("G85 X10 Y50 Q300 Z-6.5\nG81 X10 Y20 Z5 P5\n"));
    EXPECT_EQ(mirrored.Drawn(), "GROOVE_Z-6.5: 590,50>300,50; VBORE_Z5: (590,20)");
}

}  // namespace
}  // namespace retracer
