// The label block: texts with their places, layers and colours, label fields from the worklist,
// barcodes and the HBD marker.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "drawing/drawing_writer.h"
#include "labels/barcode.h"
#include "labels/label_block.h"
#include "settings/user_store.h"
#include "worklist/job_texts.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

struct PlacedText {
    std::string text;
    double x, y, height;
    std::string layer;
    int colour;
};

class LabelBlockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        input.partLength = 800;
        input.partWidth = 600;
        input.partThickness = 18;
        input.programComment = "Door panel";
        input.programPath = "/jobs/progs/PANEL.PGM";
        input.outputPath = "/jobs/out/PANEL.DXF";
        input.borderLayer = "BORDER_Z18";
        input.version = "2.3.4";
        worklist.SetCell(3, WorklistColumn::kNorm, "4");
        worklist.SetCell(3, WorklistColumn::kMir, "2.4");
        worklist.SetCell(3, WorklistColumn::kFilename, "side.cnc");
        worklist.SetCell(3, WorklistColumn::kJob, "Smith");
        worklist.SetCell(3, WorklistColumn::kRoom, "Kitchen");
        worklist.SetCell(3, WorklistColumn::kCabinet, "B12");
        worklist.SetCell(3, WorklistColumn::kPartDescription, "Left side");
        worklist.SetCell(3, WorklistColumn::kMaterial, "Oak");
    }

    // Runs the block and returns its texts; the solids stay in the writer.
    std::vector<PlacedText> Run() {
        writer.OpenDrawing(std::filesystem::temp_directory_path() / "retracer-label.dxf");
        writer.StartDrawing();
        // Layer keys resolve through the installation's roots: here every key gets a prefix.
        const LayerKeyLookup layerFor = [](std::string_view key) {
            return "L_" + std::string(key);
        };
        input.texts = JobTextsOfRow(worklist, std::abs(input.jobNumber), input.mirrorJob);
        AddLabelBlock(writer, input, layerFor, fields, counter);
        EXPECT_EQ(writer.Error(), "");
        std::vector<PlacedText> texts;
        for (const Entity& e : writer.Content().entities) {
            if (const auto* t = std::get_if<TextEntity>(&e.geometry)) {
                texts.push_back(
                    {t->text, t->position.x, t->position.y, t->height, e.layer, e.colour});
            }
        }
        return texts;
    }

    static void ExpectText(const std::vector<PlacedText>& texts, const PlacedText& want) {
        for (const PlacedText& t : texts) {
            if (t.text != want.text || t.layer != want.layer) continue;
            EXPECT_NEAR(t.x, want.x, 1e-4) << want.text;
            EXPECT_NEAR(t.y, want.y, 1e-4) << want.text;
            EXPECT_NEAR(t.height, want.height, 1e-5) << want.text;
            EXPECT_EQ(t.colour, want.colour) << want.text;
            return;
        }
        ADD_FAILURE() << "no text \"" << want.text << "\" on " << want.layer;
    }

    LabelBlockInput input;
    Worklist worklist;
    std::vector<LabelField> fields;
    int counter = 0;
    DrawingWriter writer{DrawingWriter::Keep::kEntities};
};

const double kTh = static_cast<float>(800.0 / 70);

TEST_F(LabelBlockTest, WithoutWorklistRowTheCommentStandsForTheJobTexts) {
    const std::vector<PlacedText> texts = Run();
    ASSERT_EQ(texts.size(), 4u);  // comment, version, description, file name
    ExpectText(texts, {"Door panel", 0, -9, 6, "L_PartDescription", 3});
    ExpectText(texts, {"RTV: 2.3.4  -  800 X 600 X 18", 0, 600 + kTh, kTh, "BORDER_Z18", 1});
    ExpectText(texts, {"Door panel", 0, 600 + 2.1 * kTh, kTh, "L_DESCRIPTION", 1});
    ExpectText(texts, {"PANEL", 0, 600 + 3.2 * kTh, kTh, "L_FILENAME", 1});
}

TEST_F(LabelBlockTest, WorklistRowGivesJobTextsInInchJobsToo) {
    for (const double u : {1.0, 25.4}) {
        SCOPED_TRACE(u);
        input.unitDivisor = u;
        input.jobNumber = -3;  // a numbered output of row 3
        input.mirrorJob = true;
        input.outputPath = "/jobs/out/PANEL.0003.M.DXF";
        writer = DrawingWriter(DrawingWriter::Keep::kEntities);
        const std::vector<PlacedText> texts = Run();
        ASSERT_EQ(texts.size(), 9u);
        ExpectText(texts, {"Smith", 0, -36 / u, 6 / u, "L_JobName", 3});
        ExpectText(texts, {"Kitchen", 0, -45 / u, 6 / u, "L_RoomName", 3});
        ExpectText(texts, {"B12", 0, -54 / u, 6 / u, "L_CabinetName", 3});
        ExpectText(texts, {"Left side", 0, -9 / u, 6 / u, "L_PartDescription", 3});
        ExpectText(texts, {"Oak", 0, -27 / u, 6 / u, "L_PartMaterial", 3});
        ExpectText(texts, {"2", 0, -18 / u, 6 / u, "L_PartQuantity", 3});  // "Mir" 2.4
        // The version and file-name lines follow the part, not the units.
        ExpectText(texts, {"PANEL.0003.M", 0, 600 + 3.2 * kTh, kTh, "L_FILENAME", 1});
    }
}

TEST_F(LabelBlockTest, RelayInstructionsOnlyForOffsetsThatDoNotCancelOut) {
    struct Case {
        const char *x, *y, *z;
        const char* offset;  // "" = no relay texts
    };
    const Case cases[] = {
        {"5", "-5", "", ""},
        {"10.", "0", "2.", "Offset 10,0,2"},
        {"", "", "-3.5", "Offset ,,-3.5"},
    };
    for (const Case& c : cases) {
        input.offsetX = c.x;
        input.offsetY = c.y;
        input.offsetZ = c.z;
        input.unitDivisor = 25.4;
        writer = DrawingWriter(DrawingWriter::Keep::kEntities);
        const std::vector<PlacedText> texts = Run();
        if (std::string(c.offset).empty()) {
            EXPECT_EQ(texts.size(), 4u) << c.x << "," << c.y << "," << c.z;
            continue;
        }
        ExpectText(texts,
                   {"Relay Instructions", 800.0 / 3, -5 / 25.4, 4 / 25.4, "Relay Instructions", 1});
        ExpectText(texts, {c.offset, 800.0 / 3, -10 / 25.4, 4 / 25.4, "Relay Instructions", 1});
    }
}

TEST_F(LabelBlockTest, LabelFieldsTakeColumnValuesThenCaption) {
    worklist.SetCell(3, WorklistColumn::kJob, "Smith.CNC.old");  // cut after upper-casing
    fields.resize(3);
    fields[0].caption = "Door";
    fields[0].columns = {"", "Filename", "job", "Nothing", "Room"};
    fields[1].caption = "Door";
    fields[1].columns = {"", "Room", "", "", "cabinet"};
    fields[2].caption = "-";  // no columns at all
    input.jobNumber = 3;
    Run();
    EXPECT_EQ(fields[0].text, "SIDE   SMITH   KITCHEN  Door");
    EXPECT_EQ(fields[1].text, "KITCHEN   B12  Door");
    EXPECT_EQ(fields[2].text, "-");
    // Without a row the caption row is read.
    EXPECT_EQ(ComposeLabelText(fields[0], JobTextsOfRow(worklist, 0, false)),
              "FILENAME   JOB   ROOM  Door");
}

TEST_F(LabelBlockTest, BarcodesOfTheProgramNameWithTheirMarks) {
    input.attachBarcode = true;
    input.programPath = "C:\\jobs\\progs\\side_1.pgm";
    const std::vector<PlacedText> texts = Run();
    ExpectText(texts, {"N", 800 / 1.5, 660, kTh, "Retracer", 7});
    ExpectText(texts, {"M", 800 / 1.5, 618, kTh, "Retracer", 7});

    std::size_t expectedBars = 0;
    for (const char* text : {"%11side_1.pgm P", "%11side_1.pgm W", "side_1.pgm"}) {
        const std::string pattern = Code39Pattern(text);
        ASSERT_FALSE(pattern.empty()) << text;
        expectedBars += static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '1'));
    }
    std::size_t bars = 0;
    std::set<double> bases;
    double left = 1e9;
    for (const Entity& e : writer.Content().entities) {
        if (const auto* s = std::get_if<SolidEntity>(&e.geometry)) {
            ++bars;
            bases.insert(std::round(s->corners[1].y * 1000) / 1000);
            left = std::min(left, s->corners[0].x);
        }
    }
    EXPECT_EQ(bars, expectedBars);
    EXPECT_EQ(bases, (std::set<double>{-50, 612, 660}));
    EXPECT_GT(left, 800 / 1.4);
    EXPECT_LT(left, 800 / 1.4 + 1);
}

TEST_F(LabelBlockTest, HbdMarkerAdvancesAndWrapsTheCounter) {
    struct Case {
        int before, after;
        const char* marker;
    };
    for (const Case& c :
         {Case{41, 42, "HBD00042"}, Case{99999, 1, "HBD00001"}, Case{-7, 1, "HBD00001"}}) {
        input.renameForHbd = true;
        counter = c.before;
        writer = DrawingWriter(DrawingWriter::Keep::kEntities);
        const std::vector<PlacedText> texts = Run();
        EXPECT_EQ(counter, c.after);
        ExpectText(texts, {c.marker, 0, 0, 1, "FileName", 7});
    }
    input.renameForHbd = false;
    counter = 5;
    writer = DrawingWriter(DrawingWriter::Keep::kEntities);
    EXPECT_EQ(Run().size(), 4u);
    EXPECT_EQ(counter, 5);
}

TEST(HbdCounterStore, ReadsBackWhatWasStoredAndRejectsDamage) {
    MemoryUserSettingsStore store;
    EXPECT_EQ(LoadHbdCounter(store), 0);
    SaveHbdCounter(store, 4711);
    EXPECT_EQ(store.Get("Retracer", "Defaults", "Counter4HBD", ""), "4711");
    EXPECT_EQ(LoadHbdCounter(store), 4711);
    for (const char* damaged : {"abc", "123456789012", "-5"}) {
        store.Save("Retracer", "Defaults", "Counter4HBD", damaged);
        EXPECT_EQ(LoadHbdCounter(store), 0) << damaged;
    }
}

}  // namespace
}  // namespace retracer
