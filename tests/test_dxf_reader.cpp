// Reading DXF into the model: our own files round trip, files of other programs, broken files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "drawing/drawing_writer.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"

using namespace retracer;
namespace fs = std::filesystem;

namespace {

Entity Make(std::string layer, int colour, EntityGeometry geometry) {
    return Entity{std::move(layer), colour, std::move(geometry)};
}

std::string DataFile(const std::string& name) {
    std::ifstream in(fs::path(RETRACER_SOURCE_DIR) / "tests" / "data" / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Drawing Read(const std::string& bytes) {
    Drawing d;
    std::string error;
    EXPECT_TRUE(ReadDxfText(bytes, d, error)) << error;
    return d;
}

void ExpectEntities(const std::vector<Entity>& read, const std::vector<Entity>& expected) {
    ASSERT_EQ(read.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(read[i] == expected[i]) << "entity " << i;
}

// One of every kind the model has, on layers with colours, with values that test exactness.
Drawing EveryKind() {
    Drawing d;
    d.layers = {{"ROUTE", 3}, {"VBORE", 4}, {"Notes 1", 6}, {"00", 1}};
    d.blocks = {Block{"MARK", {1, 2, 0}, {Make("00", 1, LineEntity{{0, 0, 0}, {2, 4, 0}})}}};
    d.entities = {
        Make("VBORE", 4,
             CircleEntity{{FromSingle(10.3f), FromSingle(-20.7f), -12}, FromSingle(2.5f)}),
        Make("Notes 1", 6, LineEntity{{0, 0, 0}, {0.1 + 0.2, 1e-7, 1e20}}),
        Make("00", 1, ArcEntity{{5, 5, 0}, 2, 30, 300}),
        Make("Notes 1", 6,
             TextEntity{{1, 2, 0}, 3.5, 12.3, " Gr\u00FC\u00DFe \u2300 x^2 \U0001F600 a\nb "}),
        Make("00", 7, SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}),
        Make("ROUTE", 3,
             PolylineEntity{{{0, 0, -18, 0.41421356237309503},
                             {110, 10, -17.5, -1},
                             {FromSingle(0.3f), 10, -18, 0}},
                            true}),
        Make("ROUTE", 3, PolylineEntity{{{1, 1, 0, 0}, {2, 2, 0, 0}}, false}),
        Make("00", 256, PointEntity{{7, 8, 9}}),
        Make("00", 0, InsertEntity{"MARK", {50, 60, 0}, 2, 3, 30}),
    };
    return d;
}

// Every kind, and random single-precision coordinates, come back bit for bit.
TEST(DxfReader, OwnFileRoundTripsExactly) {
    Drawing written = EveryKind();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-3000.0f, 3000.0f);
    for (int i = 0; i < 200; ++i) {
        PolylineEntity polyline;
        for (int k = 0; k < 20; ++k)
            polyline.vertices.push_back({FromSingle(value(random)), FromSingle(value(random)),
                                         FromSingle(value(random)),
                                         FromSingle(value(random) / 1500)});
        written.entities.push_back(Make("R", 3, polyline));
    }
    const Drawing read = Read(DxfText(written));
    Drawing expected = written;
    expected.layers.insert(expected.layers.begin(), Layer{"0", 7});  // the table always has "0"
    expected.layers.push_back({"R", 7});
    EXPECT_EQ(read.layers, expected.layers);
    EXPECT_EQ(read.blocks, expected.blocks);
    ExpectEntities(read.entities, expected.entities);
}

TEST(DxfReader, Release12FileOfAnotherWriter) {
    const std::string lf = DataFile("r12_by_hand.dxf");
    ASSERT_FALSE(lf.empty());
    std::string crlf;  // as files from Windows have them
    for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& bytes : {lf, crlf}) {
        const Drawing d = Read(bytes);
        EXPECT_EQ(d.layers,
                  (std::vector<Layer>{
                      {"0", 7}, {"HOLES", 4}, {"HIDDEN", 2}, {"ROUTE", 7}, {"LABEL", 7}}));
        ExpectEntities(
            d.entities,
            {// A 2D polyline: elevation from the header, vertices without Z.
             Make("ROUTE", 3,
                  PolylineEntity{
                      {{0, 0, -18, 1}, {100, 0, -18, 0}, {100, 50.5, -18, -0.4142135623730951}},
                      true}),
             // An arc in a flipped plane, back in world coordinates: from 90 to 180 degrees.
             Make("HOLES", 256, ArcEntity{{-10, 20, 0}, 5, 90, 180}),
             // Windows-1252 text, its own blanks and a caret.
             Make("LABEL", 256, TextEntity{{5, 6, 0}, 3.5, 90, "  Ma\xC3\x9F 12^3 "}),
             Make("0", 256, InsertEntity{"MARK", {50, 60, 0}, 2, 2, 30}),
             Make("HOLES", 4, CircleEntity{{30, 40, -12}, 4}),
             Make("0", 256, PointEntity{{1.5, 2.5, 0}}),
             Make("0", 7, SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}})});
        EXPECT_EQ(d.blocks,
                  (std::vector<Block>{Block{
                      "MARK", {1, 2, 0}, {Make("0", 256, LineEntity{{0, 0, 0}, {2, 4, 0}})}}}));
    }
}

TEST(DxfReader, Release2000FileOfAnotherWriter) {
    const Drawing d = Read(DataFile("r2000_by_hand.dxf"));
    EXPECT_EQ(d.layers, (std::vector<Layer>{{"0", 7}, {"Contour", 1}, {"Notes", 7}}));
    // The paper-space block and line are left out; B1 stays.
    EXPECT_EQ(d.blocks,
              (std::vector<Block>{
                  Block{"B1", {0, 0, 0}, {Make("Contour", 256, CircleEntity{{0, 0, 0}, 2.5})}}}));
    ASSERT_EQ(d.entities.size(), 10u);
    const auto polyline = [&](std::size_t i) {
        return std::get<PolylineEntity>(d.entities[i].geometry);
    };

    // LWPOLYLINE: three vertices although the count says two; Z from the elevation.
    EXPECT_TRUE(d.entities[0] ==
                Make("Contour", 256,
                     PolylineEntity{{{0, 0, -5, 0.5}, {10, 0, -5, 0}, {10, 10, -5, 0}}, true}));
    // MTEXT: chunks joined, formatting gone, the embedded object's points ignored.
    EXPECT_TRUE(d.entities[1] ==
                Make("Notes", 256,
                     TextEntity{{1, 2, 0}, 2.5, 45, "First bold part \nsecond line 1/2 done %"}));
    // Full ellipse: a closed polyline on the curve.
    EXPECT_TRUE(polyline(2).closed);
    EXPECT_GE(polyline(2).vertices.size(), 36u);
    for (const PolylineVertex& v : polyline(2).vertices)
        EXPECT_NEAR(std::pow(v.x / 10, 2) + std::pow(v.y / 5, 2), 1.0, 1e-12);
    // Quadratic spline with a clamped knot vector: the parabola of its three control points.
    const PolylineEntity spline = polyline(4);
    ASSERT_GE(spline.vertices.size(), 3u);
    for (std::size_t k = 0; k < spline.vertices.size(); ++k) {
        const double t = static_cast<double>(k) / static_cast<double>(spline.vertices.size() - 1);
        EXPECT_NEAR(spline.vertices[k].x, 10 * t, 1e-12);
        EXPECT_NEAR(spline.vertices[k].y, 20 * t * (1 - t), 1e-12);
    }
    ExpectEntities(
        {d.entities.begin() + 5, d.entities.end()},
        {// Spline given by fit points only: through the fit points.
         Make("0", 256, PolylineEntity{{{0, 0, 0, 0}, {1, 1, 0, 0}, {2, 0, 0, 0}}, false}),
         // TEXT with escapes and extended data; LINE with reactors; INSERT.
         Make("0", 256, TextEntity{{3, 4, 0}, 2, 0, "\xC3\x84rger \xE2\x8C\x80 8"}),
         Make("0", 5, LineEntity{{1, 2, 3}, {4, 5, 6}}),
         Make("0", 256, InsertEntity{"B1", {7, 8, 0}, 1, 1, 0}),
         // LWPOLYLINE in a flipped plane: X and the bulge change sign.
         Make("0", 256, PolylineEntity{{{-1, 1, 0, -1}, {-3, 1, 0, 0}}, false})});
}

TEST(DxfReader, BrokenFilesGiveAClearErrorAndLeaveTheModel) {
    const std::string good = DxfText(EveryKind());
    const std::pair<std::string, const char*> cases[] = {
        {"\n \r\n\t\n", "empty"},
        {std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "\x00\x01", "binary"},
        {"%\nG90 G17\nM30\n", "not a DXF file"},
        {"0\nLINE\n8\n0\n0\nEOF\n", "does not begin with a SECTION"},
        {good.substr(0, good.size() / 2), "cut short"},
        {"0\nSECTION\n2\nENTITIES\nXX\nLINE\n0\nEOF\n", "line 5"},
        {"0\nSECTION\n2\nENTITIES\n5000\nx\n0\nEOF\n", "5000"},
        {std::string("0\nSECTION\n2\nENTI\0TIES\n0\nEOF\n", 28), "binary"},
    };
    for (const auto& [bytes, message] : cases) {
        Drawing d;
        d.layers = {{"kept", 1}};
        std::string error;
        EXPECT_FALSE(ReadDxfText(bytes, d, error)) << message;
        EXPECT_NE(error.find(message), std::string::npos) << message << ": " << error;
        EXPECT_EQ(d.layers, (std::vector<Layer>{{"kept", 1}})) << message << ": model untouched";
    }
}

// Files that are DXF but would walk the parser outside its arrays or stall it.
TEST(DxfReader, HostileContentIsReadWithoutHarm) {
    const std::pair<std::string, std::size_t> cases[] = {
        // body, entities read
        {"0\nLWPOLYLINE\n8\n0\n42\n1.0\n", 0},  // bulge before any vertex
        {"0\nLWPOLYLINE\n8\n0\n90\n1073741825\n10\n1\n20\n2\n", 1},
        {"0\nSPLINE\n8\n0\n71\n3\n72\n2000000000\n73\n2000000000\n74\n-1\n40\n0\n10\n1\n20\n1\n",
         1},
        {"0\nSPLINE\n8\n0\n71\n99\n40\n0\n40\n1\n10\n0\n20\n0\n10\n1\n20\n1\n", 1},
        {"0\nTEXT\n8\n0\n1\n" + std::string(100000, 'x') + "\n", 1},  // beyond the line buffer
        {"0\nVERTEX\n8\n0\n10\n1\n20\n1\n0\nSEQEND\n", 0},
        {"0\nPOLYLINE\n8\n0\n66\n1\n0\nVERTEX\n10\n1\n0\nLINE\n", 2},  // no SEQEND
        {"0\nHATCH\n91\n5\n92\n2\n93\n7\n72\n1\n0\nLEADER\n76\n2000000000\n10\n1\n", 0},
    };
    for (const auto& [body, entities] : cases) {
        Drawing d;
        std::string error;
        ASSERT_TRUE(
            ReadDxfText("0\nSECTION\n2\nENTITIES\n" + body + "0\nENDSEC\n0\nEOF\n", d, error))
            << body.substr(0, 40) << ": " << error;
        EXPECT_EQ(d.entities.size(), entities) << body.substr(0, 40);
    }
}

// An ellipse's parameters count within one turn: parameters of any size, even beyond the range of
// a double, give a bounded polyline (found by fuzzing: a huge end parameter asked for billions
// of points; a huge start one kept adding a turn that no longer changed it).
TEST(DxfReader, EllipseParametersCountWithinOneTurn) {
    const struct {
        const char* start;
        const char* end;
        std::size_t vertices;
        bool closed;
    } cases[] = {
        {"0", "6.283185307179586", 72, true},
        {"-1.5707963267948966", "1.5707963267948966", 37, false},  // the right half
        {"4.71238898038469", "7.853981633974483", 37, false},      // the same, a turn on
        {"0", "1e300", 0, false},                                  // somewhere in one turn
        {"1e999", "0", 0, false},  // read as the largest double: no loop reached it
        {"0", "-1e999", 0, false},
    };
    for (const auto& c : cases) {
        const Drawing d =
            Read(std::string("0\nSECTION\n2\nENTITIES\n0\nELLIPSE\n8\n0\n10\n0\n20\n0\n"
                             "30\n0\n11\n10\n21\n0\n31\n0\n40\n0.5\n41\n") +
                 c.start + "\n42\n" + c.end + "\n0\nENDSEC\n0\nEOF\n");
        ASSERT_EQ(d.entities.size(), 1u) << c.start << " " << c.end;
        const auto& p = std::get<PolylineEntity>(d.entities[0].geometry);
        EXPECT_LE(p.vertices.size(), 73u) << c.start << " " << c.end;
        if (c.vertices == 0) continue;
        EXPECT_EQ(p.vertices.size(), c.vertices) << c.start << " " << c.end;
        EXPECT_EQ(p.closed, c.closed) << c.start << " " << c.end;
        if (!c.closed) {  // from the bottom of the minor axis to its top
            EXPECT_NEAR(p.vertices.front().x, 0, 1e-9);
            EXPECT_NEAR(p.vertices.front().y, -5, 1e-9);
            EXPECT_NEAR(p.vertices.back().y, 5, 1e-9);
        }
    }
}

// Every way of cutting a file short is noticed; damaged files (lines swapped, dropped, doubled or
// overwritten) read or fail with a message; never a crash.
TEST(DxfReader, TruncatedAndDamagedFilesNeverCrash) {
    const std::string good = DxfText(EveryKind());
    std::string error;
    Drawing d;
    for (std::size_t cut = 0; cut < good.rfind("EOF"); cut += 7) {
        ASSERT_FALSE(ReadDxfText(good.substr(0, cut), d, error)) << "cut at " << cut;
        ASSERT_FALSE(error.empty());
    }
    EXPECT_TRUE(ReadDxfText(good.substr(0, good.size() - 1), d, error)) << "without the last LF";

    std::vector<std::string> lines;
    for (std::size_t start = 0, at = 0; (at = good.find('\n', start)) != std::string::npos;
         start = at + 1)
        lines.push_back(good.substr(start, at - start));
    const std::string garbage[] = {"",  "-1",         "1e309", "nan",     "99999999999",
                                   "0", "LWPOLYLINE", "42",    "\xFF\xFE"};
    std::mt19937 random(99);
    int read = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<std::string> copy = lines;
        for (int edit = 0; edit < 3; ++edit) {
            const auto at = copy.begin() + static_cast<long>(random() % (copy.size() - 4));
            const unsigned kind = random() % 4;  // the last lines, the EOF, stay
            if (kind == 0) copy.erase(at);
            if (kind == 1) copy.insert(at, std::string(*at));
            if (kind == 2) std::iter_swap(at, at + 1);
            if (kind == 3) *at = garbage[random() % std::size(garbage)];
        }
        std::string bytes;
        for (const std::string& line : copy) bytes += line + "\n";
        Drawing damaged;
        if (ReadDxfText(bytes, damaged, error))
            ++read;
        else
            ASSERT_FALSE(error.empty());
    }
    EXPECT_GT(read, 0);
}

TEST(DxfReader, FileErrorsNameTheFile) {
    const fs::path folder = fs::temp_directory_path() /
                            ("retracer-dxf-reader-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
    std::ofstream(folder / "broken.dxf") << "not a drawing\n";
    std::ofstream(folder / "good.dxf", std::ios::binary) << DxfText(EveryKind());
    Drawing d;
    std::string error;
    for (const auto& [file, part] :
         {std::pair<fs::path, const char*>{folder / "missing.dxf", "missing.dxf"},
          {folder, "folder"},
          {folder / "broken.dxf", "broken.dxf"},
          {folder / "broken.dxf", "not a DXF file"}}) {
        EXPECT_FALSE(ReadDxf(file, d, error)) << file;
        EXPECT_NE(error.find(part), std::string::npos) << error;
    }
    EXPECT_TRUE(ReadDxf(folder / "good.dxf", d, error)) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(d.entities.size(), EveryKind().entities.size());
    fs::remove_all(folder);
}

}  // namespace
