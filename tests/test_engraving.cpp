// Engraved labels: letter files, advances, scaling, mirroring, finishing a saved drawing, the
// generated letter library and a whole job through the command-line entry point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <variant>

#include "base/atomic_file.h"
#include "drawing/drawing_writer.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"
#include "job/job_driver.h"
#include "job/session.h"
#include "labels/lettering.h"
#include "settings/user_store.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

// A letter library of test letters: each a single stroke from (0, 0) to (advance, 20) in letter
// units, so its placement and scale can be read off its two points.
class EngravingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("retracer_engrave_" +
                 std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "Letters");
        for (const char c : std::string("ABI1-.|")) {
            WriteLetter(c, c == 'I' || c == '.' ? 2 : c == '1' ? 7 : c == '-' ? 18 : 15);
        }
    }
    void TearDown() override { fs::remove_all(root_); }

    void WriteLetter(char c, double width) {
        Drawing letter;
        letter.layers.push_back({std::string(kLetterLayer), 3});
        letter.entities.push_back(
            {std::string(kLetterLayer), 3, PolylineEntity{{{0, 0, 0, 0}, {width, 20, 0, 0}}}});
        ASSERT_TRUE(WriteFileAtomically(root_ / "Letters" / (LetterFileName(c) + ".DXF"),
                                        DxfText(letter), nullptr));
    }

    // The strokes engraved for `text` as "x0,y0>x1,y1" in placement order.
    std::vector<std::string> Engrave(Drawing& target, const std::string& text, float height = 20,
                                     float width = 0, bool mirror = false, double unit = 1) {
        LabelField field;
        field.x = 100;
        field.y = 50;
        field.text = text;
        field.height = height;
        field.width = width;
        const std::size_t before = target.entities.size();
        EngraveText(target, field, unit, mirror, root_ / "Letters");
        std::vector<std::string> strokes;
        for (std::size_t i = before; i < target.entities.size(); ++i) {
            const auto& v = std::get<PolylineEntity>(target.entities[i].geometry).vertices;
            strokes.push_back(Num(v[0].x) + "," + Num(v[0].y) + ">" + Num(v[1].x) + "," +
                              Num(v[1].y));
        }
        return strokes;
    }

    static std::string Num(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%.10g", std::round(v * 1000) / 1000);
        return text;
    }

    fs::path root_;
};

using Strokes = std::vector<std::string>;

TEST_F(EngravingTest, AdvancesBlanksAndMissingLetters) {
    struct Case {
        const char* text;
        Strokes strokes;  // at height 20: scale 1, label at (100, 50)
    };
    const Case cases[] = {
        {"AB", {"100,50>115,70", "119,50>134,70"}},
        {"a b", {"100,50>115,70", "134,50>149,70"}},  // trimmed and upper-cased
        {"A#B", {"100,50>115,70", "119,50>134,70"}},  // no letter file: no gap
        {"I1-.", {"100,50>102,70", "106,50>113,70", "117,50>135,70", "139,50>141,70"}},
        {"-|A", {"100,50>118,70", "122,50>137,70", "144,50>159,70"}},  // "|" as wide as "-"
        {"   ", {}},
    };
    for (const Case& c : cases) {
        Drawing target;
        EXPECT_EQ(Engrave(target, c.text), c.strokes) << c.text;
    }
}

TEST_F(EngravingTest, ScaleMirrorAndAFreshScratchDrawing) {
    Drawing target;
    // Height 10: size 0.5; width 3: three times as wide.
    EXPECT_EQ(Engrave(target, "AB", 10, 3), (Strokes{"100,50>122.5,60", "128.5,50>151,60"}));
    // No height: 15 / units, times 0.05.
    const double size = 15 / 25.4 * 0.05;
    EXPECT_EQ(Engrave(target, "A", 0, 0, false, 25.4),
              (Strokes{"100,50>" + Num(100 + 15 * size) + "," + Num(50 + 20 * size)}));
    // Mirrored: "AB" spans 34 letter units, 34 drawing units at height 10 and width 2, and
    // ends at X.
    EXPECT_EQ(Engrave(target, "AB", 10, 2, true), (Strokes{"66,50>81,60", "85,50>100,60"}));
    // A first character without a letter file brings back nothing engraved before.
    EXPECT_EQ(Engrave(target, "#A"), (Strokes{"100,50>115,70"}));
}

TEST(LetterNames, FilesAreNamedByCharacterOrWord) {
    const std::pair<char, const char*> names[] = {
        {'A', "A"}, {'7', "7"}, {',', "Comma"}, {'^', "Carret"}, {'[', "LeftBrace"}, {'#', "#"}};
    for (const auto& [c, name] : names) EXPECT_EQ(LetterFileName(c), name) << c;
}

TEST_F(EngravingTest, FinishingEngravesEachPendingLabelOnceOnItsRouteLayer) {
    const fs::path file = root_ / "PANEL.DXF";
    Drawing drawing;
    drawing.layers.push_back({"BORDER", 1});
    drawing.entities.push_back({"BORDER", 1, LineEntity{{0, 0, 0}, {800, 0, 0}}});
    ASSERT_TRUE(WriteFileAtomically(file, DxfText(drawing), nullptr));

    std::vector<LabelField> fields(3);
    fields[0].text = "AB";
    fields[0].tagText = "fj";
    fields[1].text = "";  // nothing to engrave
    fields[2].text = "I";
    fields[2].tagText = "Z5";
    const FinishResult first = EngravePendingLabels(file, fields, 1, false, root_ / "Letters");
    EXPECT_TRUE(first.ok && first.saved) << first.error;
    EXPECT_EQ(first.addedPerLayer,
              (std::map<std::string, std::size_t>{{"Route_FJ", 2}, {"Route_Z5", 1}}));
    for (const LabelField& f : fields) EXPECT_EQ(f.text, "");

    Drawing saved;
    std::string error;
    ASSERT_TRUE(ReadDxf(file, saved, error)) << error;
    std::map<std::string, int> perLayer;
    for (const Entity& e : saved.entities) ++perLayer[e.layer];
    EXPECT_EQ(perLayer,
              (std::map<std::string, int>{{"BORDER", 1}, {"Route_FJ", 2}, {"Route_Z5", 1}}));
    EXPECT_EQ(FindLayer(saved, "eletter"), 0);

    // A second opening finds nothing pending and leaves the file alone.
    std::string before, after;
    ASSERT_TRUE(ReadWholeFile(file, before, nullptr));
    const FinishResult second = EngravePendingLabels(file, fields, 1, false, root_ / "Letters");
    EXPECT_TRUE(second.ok && !second.saved);
    ASSERT_TRUE(ReadWholeFile(file, after, nullptr));
    EXPECT_EQ(before, after);

    // A drawing that cannot be read keeps its label pending.
    fields[0].text = "AB";
    const FinishResult failed =
        EngravePendingLabels(root_ / "missing.DXF", fields, 1, false, root_ / "Letters");
    EXPECT_FALSE(failed.ok || failed.saved);
    EXPECT_EQ(fields[0].text, "AB");
}

// A job engraves before its drawing is written; the file must be the one that finishing the
// written drawing gives, label for label ("?" has no letter file here: skipped).
TEST_F(EngravingTest, EngravingBeforeWritingGivesTheFinishedFile) {
    Drawing base;
    base.layers.push_back({"BORDER", 1});
    base.entities.push_back({"BORDER", 1, LineEntity{{0, 0, 0}, {800, 0, 0}}});
    std::vector<LabelField> fields(2);
    fields[0].text = "A?B";
    fields[0].tagText = "fj";
    fields[0].x = 100;
    fields[1].text = "1.";
    fields[1].tagText = "fj";  // the same layer as the first
    fields[1].height = 40;

    const fs::path file = root_ / "FINISHED.DXF";
    ASSERT_TRUE(WriteFileAtomically(file, DxfText(base), nullptr));
    std::vector<LabelField> finishing = fields;
    ASSERT_TRUE(EngravePendingLabels(file, finishing, 1, true, root_ / "Letters").ok);
    std::string finished;
    ASSERT_TRUE(ReadWholeFile(file, finished, nullptr));

    DrawingWriter writer{DrawingWriter::Keep::kEntities};
    writer.OpenDrawing(root_ / "WRITTEN.DXF");
    writer.StartDrawing();
    writer.AddLine(0, 0, 0, 800, 0, 0, "BORDER", 1);
    Drawing engraved;
    const LetterLibrary letters(root_ / "Letters");
    const auto added = EngraveLabels(engraved, fields, 1, true, letters);
    writer.AddDrawing(engraved);
    ASSERT_TRUE(writer.CloseDrawing()) << writer.Error();
    std::string written;
    ASSERT_TRUE(ReadWholeFile(root_ / "WRITTEN.DXF", written, nullptr));
    EXPECT_EQ(written, finished);
    EXPECT_EQ(added, (std::map<std::string, std::size_t>{{"Route_FJ", 4}}));
    for (const LabelField& f : fields) EXPECT_EQ(f.text, "");
}

TEST(LetterLibrary, GeneratedLettersFitTheirAdvancesAndCapHeight) {
    for (const char c : std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789,;.<->/?&^=(|)_[:]*+")) {
        Drawing letter;
        std::string error;
        const fs::path file = fs::path(RETRACER_APP_DIR) / "Letters" / (LetterFileName(c) + ".DXF");
        ASSERT_TRUE(ReadDxf(file, letter, error)) << c;
        ASSERT_FALSE(letter.entities.empty()) << c;
        for (const Entity& e : letter.entities) {
            EXPECT_EQ(e.layer, kLetterLayer) << c;
            EXPECT_TRUE(std::holds_alternative<PolylineEntity>(e.geometry)) << c;
        }
        const Extents box = DrawingExtents(letter);
        EXPECT_NEAR(box.min.x, 0, 1e-9) << c;
        EXPECT_LE(box.max.x, LetterAdvance(c, 15) + 1e-9) << c;
        if (c >= 'A' && c <= 'Z' && c != 'Q') {  // capitals stand on the base line; Q's tail not
            EXPECT_NEAR(box.min.y, 0, 1e-9) << c;
            EXPECT_NEAR(box.max.y, kLetterCapHeight, 1e-9) << c;
        }
    }
}

// A program with a label through the job entry point: the saved file holds the engraving, and
// the label is spent.
TEST(EngravedJob, OutputFileCarriesTheEngraving) {
    const fs::path root = fs::temp_directory_path() / "retracer_engraved_job";
    fs::remove_all(root);
    fs::create_directories(root / "app");
    fs::create_directories(root / "out");
    fs::create_symlink(fs::path(RETRACER_APP_DIR) / "Letters", root / "app" / "Letters");
    std::ofstream(root / "LABEL.PGM") << "$=Door\n::UNm DL=800 DH=600 DS=18\n::SIDE=1;\n"
                                         "SIDE#1{\nW#2006{ W$=~J~H10!Door #8020=100 #8021=300 }\n"
                                         "}SIDE\n";
    RecordingPrompt prompt;
    MemoryUserSettingsStore store;
    store.Save("Retracer", "Defaults", "Counter4HBD", "99999");
    Session session(ResolveAppPaths(root / "app", nullptr), prompt, store);
    session.LoadSettings();
    session.destFolder = root / "out";
    session.settings.options.engraveLabel = true;
    session.settings.options.renameForHbd = true;
    const ProgramJobResult result =
        TranslateProgramFile(session, ProgramJob{root / "LABEL.PGM", false, true});
    ASSERT_TRUE(result.job.written);
    ASSERT_EQ(result.job.labelFields.size(), 1u);
    EXPECT_EQ(result.job.labelFields[0].text, "");
    EXPECT_EQ(store.Get("Retracer", "Defaults", "Counter4HBD", ""), "1");

    Drawing saved;
    std::string error;
    ASSERT_TRUE(ReadDxf(root / "out" / "LABEL.DXF", saved, error)) << error;
    // "JOB  DOOR" in roman simplex: J 1, O 1, B 3, D 2, O 1, O 1, R 3 strokes.
    const auto engraved = std::count_if(saved.entities.begin(), saved.entities.end(),
                                        [](const Entity& e) { return e.layer == "Route_J"; });
    EXPECT_EQ(engraved, 12);
    EXPECT_EQ(result.job.entitiesPerLayer.at("Route_J"), 12u);
    fs::remove_all(root);
}

}  // namespace
}  // namespace retracer
