#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "drawing/display_drawing.h"
#include "drawing/display_dxf_reader.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"

namespace retracer {
namespace {

std::filesystem::path Scratch(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / "retracer_quick_reader";
    std::filesystem::create_directories(dir);
    return dir / name;
}

void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

// The full reader's drawing in the display form: what the quick reader must match.
DisplayDrawing ByFullReader(const std::filesystem::path& file) {
    Drawing d;
    std::string error;
    EXPECT_TRUE(ReadDxf(file, d, error)) << error;
    DisplayDrawing display;
    display.Assign(d);
    return display;
}

void ExpectSame(const DisplayDrawing& quick, const DisplayDrawing& full, const std::string& name) {
    EXPECT_EQ(quick.ToDrawing(), full.ToDrawing()) << name;
    EXPECT_EQ(quick.LayerNames(), full.LayerNames()) << name;
}

Entity Make(EntityGeometry g, std::string layer, int colour = 256) {
    return Entity{std::move(layer), colour, std::move(g)};
}

// Drawings as Retracer writes them: every kind, nested blocks, texts with their own blanks,
// layers the table does not list, colours by layer and by block.
std::vector<std::pair<std::string, Drawing>> WrittenDrawings() {
    Drawing kinds;
    kinds.layers = {Layer{"0", 7}, Layer{"Route_A", 3}, Layer{"HOLES", 4}};
    kinds.blocks.push_back(Block{"INNER", {0, 0, 0}, {Make(CircleEntity{{0, 0, 0}, 1}, "0", 0)}});
    kinds.blocks.push_back(Block{"MARK",
                                 {1, 2, 0},
                                 {Make(LineEntity{{0, 0, 0}, {2, 4, 0}}, "0"),
                                  Make(InsertEntity{"inner", {1, 1, 0}, 0.5, 0.5, 0}, "0", 5)}});
    kinds.entities = {
        Make(LineEntity{{0, 0, 1}, {10, 5, 2}}, "Route_A"),
        Make(CircleEntity{{30, 40, -12}, 4}, "HOLES", 4),
        Make(ArcEntity{{10, 20, 0}, 5, 30, 120}, "0", 1),
        Make(TextEntity{{5, 6, 0}, 3.5, 90, "  Job 12 / Room 3  "}, "LABEL", 1),
        Make(SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}, "0"),
        Make(PolylineEntity{{{0, 0, -3, 1}, {100, 0, -3, 0}, {100, 50, -4, -0.5}}, true}, "Route_A",
             3),
        Make(PolylineEntity{{{5, 5, 0, 0}, {6, 6, 0, 0.25}}, false}, "Route_B"),
        Make(PointEntity{{1.5, 2.5, 0}}, "0"),
        Make(InsertEntity{"MARK", {50, 60, 0}, 2, 3, 30}, "0", 0),
        Make(InsertEntity{"UNDEFINED", {0, 0, 0}, 1, 1, 0}, "0"),
    };
    // Enough entities to cross the reader's piece boundaries many times.
    Drawing big;
    for (int i = 0; i < 40000; ++i) {
        const double x = i % 250, y = i / 250.0;
        if (i % 3 == 0) {
            big.entities.push_back(Make(CircleEntity{{x, y, -i % 7 * 0.5}, 0.25 + i % 5},
                                        "H" + std::to_string(i % 4), 4));
        } else if (i % 3 == 1) {
            big.entities.push_back(Make(LineEntity{{x, y, 0}, {x + 0.5, y + 0.25, 0}}, "SAW"));
        } else {
            big.entities.push_back(
                Make(TextEntity{{x, y, 0}, 2, 0, "Cabinet " + std::to_string(i)}, "T", 7));
        }
    }
    return {{"every kind", kinds}, {"forty thousand entities", big}};
}

TEST(QuickDxfReader, ReadsWrittenDrawingsExactlyAsTheFullReader) {
    for (const auto& [name, drawing] : WrittenDrawings()) {
        const auto file = Scratch("written.dxf");
        {
            std::ofstream out(file, std::ios::binary);
            WriteDxf(drawing, out);
        }
        DisplayDrawing quick;
        ASSERT_EQ(QuickReadDxf(file, quick), QuickReadResult::kRead) << name;
        ExpectSame(quick, ByFullReader(file), name);
    }
}

// A hand-made file: header variables with codes the entities use, comments, CRLF line ends, an
// insert with attributes, a paper-space entity, a kind neither reader draws, a block defined
// twice and a layer without entities.
std::string HandMade(const std::string& entities, const std::string& blocks = "",
                     const std::string& emptyLayerColour = "5") {
    std::string text =
        "999\nhand made\n0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n9\n$CLAYER\n8\nX\n"
        "9\n$DIMSTYLE\n2\nSTANDARD\n9\n$EXTMIN\n10\n0\n20\n0\n0\nENDSEC\n"
        "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n2\n"
        "0\nLAYER\n2\nA\n70\n0\n62\n1\n6\nCONTINUOUS\n"
        "0\nLAYER\n2\nEMPTY\n70\n0\n62\n" +
        emptyLayerColour + "\n0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nBLOCKS\n" + blocks +
        "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n";
    return text;
}

TEST(QuickDxfReader, ReadsHandMadeFilesAsTheFullReaderOrLeavesThemToIt) {
    const std::string blocks =
        "0\nBLOCK\n8\n0\n2\nB1\n70\n0\n10\n1\n20\n1\n30\n0\n0\nLINE\n8\nA\n10\n0\n20\n0\n30\n0\n11"
        "\n1\n21\n1\n31\n0\n"
        "0\nENDBLK\n8\n0\n0\nBLOCK\n8\n0\n2\nb1\n10\n0\n20\n0\n30\n0\n0\nPOINT\n8\nA\n10\n9\n20\n9"
        "\n30\n0\n"
        "0\nENDBLK\n8\n0\n";
    const std::string insertWithAttributes =
        "0\nINSERT\n8\nA\n66\n1\n2\nB1\n10\n5\n20\n5\n30\n0\n"
        "0\nATTRIB\n8\nA\n10\n5\n20\n5\n30\n0\n40\n1\n1\nVALUE\n2\nTAG\n70\n0\n0\nSEQEND\n8\nA\n";
    const std::string plain = "0\nLINE\n8\nA\n10\n0\n20\n0\n30\n0\n11\n10\n21\n0\n31\n0\n";
    struct Case {
        const char* name;
        std::string text;
        bool quick;  // read by the quick reader (else left to the full one)
    };
    const std::vector<Case> cases = {
        {"plain", HandMade(plain), true},
        {"switched-off layer", HandMade(plain, "", "-5"), false},  // negative colour
        {"attributes and blocks", HandMade(insertWithAttributes, blocks), true},
        {"paper space and a kind neither draws",
         HandMade(plain + "0\nLINE\n8\nA\n67\n1\n10\n0\n20\n0\n30\n0\n11\n5\n21\n5\n31\n0\n" +
                  "0\nHATCH\n8\nA\n10\n0\n20\n0\n30\n0\n"),
         true},
        {"MTEXT", HandMade("0\nMTEXT\n8\nA\n10\n0\n20\n0\n30\n0\n40\n2\n1\nx\n"), false},
        {"LWPOLYLINE", HandMade("0\nLWPOLYLINE\n8\nA\n90\n2\n70\n0\n10\n0\n20\n0\n10\n1\n20\n1\n"),
         false},
        {"flipped arc",
         HandMade("0\nARC\n8\nA\n10\n1\n20\n1\n30\n0\n40\n1\n50\n0\n51\n90\n230\n-1\n"), false},
        {"text escape", HandMade("0\nTEXT\n8\nA\n10\n0\n20\n0\n30\n0\n40\n2\n1\nMa\\U+00DF\n"),
         false},
        {"text outside ASCII", HandMade("0\nTEXT\n8\nA\n10\n0\n20\n0\n30\n0\n40\n2\n1\nMa\xDF\n"),
         false},
        {"aligned text",
         HandMade("0\nTEXT\n8\nA\n10\n0\n20\n0\n30\n0\n40\n2\n1\nx\n72\n1\n11\n5\n21\n0\n31\n0\n"),
         false},
        {"fitted polyline",
         HandMade(
             "0\nPOLYLINE\n8\nA\n66\n1\n70\n2\n0\nVERTEX\n8\nA\n10\n0\n20\n0\n0\nSEQEND\n8\nA\n"),
         false},
    };
    for (const Case& c : cases) {
        for (const bool crlf : {false, true}) {
            std::string text = c.text;
            if (crlf) {
                std::string withCr;
                for (char ch : text) {
                    if (ch == '\n') withCr += '\r';
                    withCr += ch;
                }
                text = withCr;
            }
            const auto file = Scratch("hand.dxf");
            WriteText(file, text);
            DisplayDrawing quick;
            const auto result = QuickReadDxf(file, quick);
            EXPECT_EQ(result == QuickReadResult::kRead, c.quick) << c.name;
            // Whichever reader took it, the viewer's drawing is the full reader's.
            DisplayDrawing read;
            std::string error;
            ASSERT_TRUE(read.Read(file, DisplayDrawing::ReadMode::kReplace, 0, 0, error))
                << c.name << error;
            ExpectSame(read, ByFullReader(file), c.name);
        }
    }
}

TEST(QuickDxfReader, DamagedFilesAreLeftToTheFullReaderAndTheDrawingKept) {
    const std::string good = HandMade("0\nLINE\n8\nA\n10\n0\n20\n0\n30\n0\n11\n10\n21\n0\n31\n0\n");
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"empty", ""},
        {"binary", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "more"},
        {"not DXF", "hello\nworld\n"},
        {"cut short", good.substr(0, good.size() - 8)},
        {"polyline without end",
         HandMade("0\nPOLYLINE\n8\nA\n66\n1\n70\n0\n0\nVERTEX\n8\nA\n10\n0\n20\n0\n")},
        {"code that is no number", HandMade("0\nLINE\n8\nA\nten\n0\n")},
        // A CR alone ends a line for the full reader, which then finds "EFG" where a code
        // belongs (found by fuzzing: the quick reader read what the full one refuses).
        {"CR inside a value", HandMade("0\nLINE\n8\nA\n10\n0\n0\nABCD\rEFG\n8\nA\n")},
    };
    for (const auto& [name, text] : cases) {
        const auto file = Scratch("damaged.dxf");
        WriteText(file, text);
        DisplayDrawing kept;
        kept.Assign(WrittenDrawings().front().second);
        const Drawing before = kept.ToDrawing();
        EXPECT_EQ(QuickReadDxf(file, kept), QuickReadResult::kNeedsFullReader) << name;
        EXPECT_EQ(kept.ToDrawing(), before) << name;
        Drawing full;
        std::string fullError;
        const bool fullRead = ReadDxf(file, full, fullError);
        std::string error;
        EXPECT_EQ(kept.Read(file, DisplayDrawing::ReadMode::kReplace, 0, 0, error), fullRead)
            << name;
        EXPECT_EQ(error, fullError) << name;
        if (!fullRead) {
            EXPECT_EQ(kept.ToDrawing(), before) << name;
        }
    }
}

}  // namespace
}  // namespace retracer
