// Reading DXF into the model: our own files round trip, files of other programs, broken files.
#include <gtest/gtest.h>

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

// One of every kind the model has, on layers with colours, with values that test exactness.
Drawing EveryKind() {
    Drawing d;
    d.layers = {
        {"ROUTE_Z18T3_L_FD2000_S18", 3}, {"VBORE_Z12T21", 4}, {"Retracer Notation", 6}, {"00", 1}};
    d.blocks = {Block{"MARK", {1, 2, 0}, {Make("00", 1, LineEntity{{0, 0, 0}, {2, 4, 0}})}}};
    d.entities = {
        Make("VBORE_Z12T21", 4,
             CircleEntity{{FromSingle(10.3f), FromSingle(-20.7f), -12}, FromSingle(2.5f)}),
        Make("Retracer Notation", 6, LineEntity{{0, 0, 0}, {0.1 + 0.2, 1e-7, 1e20}}),
        Make("00", 1, ArcEntity{{5, 5, 0}, 2, 30, 300}),
        Make("Retracer Notation", 6,
             TextEntity{{1, 2, 0},
                        3.5,
                        12.3,
                        " Gr\xC3\xBC\xC3\x9F"
                        "e \xE2\x8C\x80 x^2 \xF0\x9F\x98\x80 a\nb "}),
        Make("00", 7, SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}),
        Make("ROUTE_Z18T3_L_FD2000_S18", 3,
             PolylineEntity{{{0, 0, -18, 0},
                             {100, 0, -18, 0.41421356237309503},
                             {110, 10, -17.5, -1},
                             {FromSingle(0.3f), 10, -18, 0}},
                            true}),
        Make("ROUTE_Z18T3_L_FD2000_S18", 3, PolylineEntity{{{1, 1, 0, 0}, {2, 2, 0, 0}}, false}),
        Make("00", 256, PointEntity{{7, 8, 9}}),
        Make("00", 0, InsertEntity{"MARK", {50, 60, 0}, 2, 3, 30}),
    };
    return d;
}

TEST(DxfReader, OwnFileRoundTripsExactly) {
    const Drawing written = EveryKind();
    const Drawing read = Read(DxfText(written));
    Drawing expected = written;
    expected.layers.insert(expected.layers.begin(), Layer{"0", 7});  // the table always has "0"
    EXPECT_EQ(read.layers, expected.layers);
    ASSERT_EQ(read.blocks.size(), 1u);
    EXPECT_EQ(read.blocks, expected.blocks);
    ASSERT_EQ(read.entities.size(), expected.entities.size());
    for (std::size_t i = 0; i < expected.entities.size(); ++i)
        EXPECT_TRUE(read.entities[i] == expected.entities[i]) << "entity " << i;
}

TEST(DxfReader, RandomSingleCoordinatesRoundTripBitForBit) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-3000.0f, 3000.0f);
    std::uniform_real_distribution<float> bulge(-2.0f, 2.0f);
    Drawing d;
    for (int i = 0; i < 300; ++i) {
        PolylineEntity polyline;
        for (int k = 0; k < 20; ++k)
            polyline.vertices.push_back(
                PolylineVertex{FromSingle(value(random)), FromSingle(value(random)),
                               FromSingle(value(random)), FromSingle(bulge(random))});
        d.entities.push_back(Make("R", 3, polyline));
        d.entities.push_back(
            Make("H", 4,
                 CircleEntity{{FromSingle(value(random)), FromSingle(value(random)), 0},
                              FromSingle(value(random))}));
    }
    const Drawing read = Read(DxfText(d));
    ASSERT_EQ(read.entities.size(), d.entities.size());
    for (std::size_t i = 0; i < d.entities.size(); ++i)
        ASSERT_TRUE(read.entities[i] == d.entities[i]) << "entity " << i;
}

TEST(DxfReader, Release12FileOfAnotherWriter) {
    // Also with CR LF line ends, as files from Windows have them.
    std::string lf = DataFile("r12_by_hand.dxf");
    ASSERT_FALSE(lf.empty());
    std::string crlf;
    for (const char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    for (const std::string& bytes : {lf, crlf}) {
        const Drawing d = Read(bytes);
        EXPECT_EQ(d.layers,
                  (std::vector<Layer>{
                      {"0", 7}, {"HOLES", 4}, {"HIDDEN", 2}, {"ROUTE", 7}, {"LABEL", 7}}));
        ASSERT_EQ(d.entities.size(), 7u);
        // A 2D polyline: elevation from the header, vertices without Z.
        EXPECT_TRUE(d.entities[0] == Make("ROUTE", 3,
                                          PolylineEntity{{{0, 0, -18, 1},
                                                          {100, 0, -18, 0},
                                                          {100, 50.5, -18, -0.4142135623730951}},
                                                         true}));
        // An arc in a flipped plane, back in world coordinates: it runs from 90 to 180 degrees.
        EXPECT_TRUE(d.entities[1] == Make("HOLES", 256, ArcEntity{{-10, 20, 0}, 5, 90, 180}));
        // Windows-1252 text, its own blanks and a caret.
        EXPECT_TRUE(d.entities[2] ==
                    Make("LABEL", 256, TextEntity{{5, 6, 0}, 3.5, 90, "  Ma\xC3\x9F 12^3 "}));
        EXPECT_TRUE(d.entities[3] == Make("0", 256, InsertEntity{"MARK", {50, 60, 0}, 2, 2, 30}));
        EXPECT_TRUE(d.entities[4] == Make("HOLES", 4, CircleEntity{{30, 40, -12}, 4}));
        EXPECT_TRUE(d.entities[5] == Make("0", 256, PointEntity{{1.5, 2.5, 0}}));
        EXPECT_TRUE(d.entities[6] ==
                    Make("0", 7, SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}));
        ASSERT_EQ(d.blocks.size(), 1u);
        EXPECT_EQ(d.blocks[0],
                  (Block{"MARK", {1, 2, 0}, {Make("0", 256, LineEntity{{0, 0, 0}, {2, 4, 0}})}}));
    }
}

const PolylineEntity& PolylineOf(const Entity& e) {
    return std::get<PolylineEntity>(e.geometry);
}

TEST(DxfReader, Release2000FileOfAnotherWriter) {
    const Drawing d = Read(DataFile("r2000_by_hand.dxf"));
    EXPECT_EQ(d.layers, (std::vector<Layer>{{"0", 7}, {"Contour", 1}, {"Notes", 7}}));
    // The paper-space block and line are left out; B1 stays.
    ASSERT_EQ(d.blocks.size(), 1u);
    EXPECT_EQ(d.blocks[0],
              (Block{"B1", {0, 0, 0}, {Make("Contour", 256, CircleEntity{{0, 0, 0}, 2.5})}}));

    std::vector<std::string> kinds;
    for (const Entity& e : d.entities)
        kinds.push_back(std::visit(
            [](const auto& g) -> std::string {
                using T = std::decay_t<decltype(g)>;
                if constexpr (std::is_same_v<T, PolylineEntity>)
                    return "polyline";
                else if constexpr (std::is_same_v<T, TextEntity>)
                    return "text";
                else if constexpr (std::is_same_v<T, LineEntity>)
                    return "line";
                else if constexpr (std::is_same_v<T, InsertEntity>)
                    return "insert";
                else
                    return "other";
            },
            e.geometry));
    ASSERT_EQ(kinds,
              (std::vector<std::string>{"polyline", "text", "polyline", "polyline", "polyline",
                                        "polyline", "text", "line", "insert", "polyline"}));

    // LWPOLYLINE: three vertices although the count says two; Z from the elevation.
    EXPECT_TRUE(d.entities[0] ==
                Make("Contour", 256,
                     PolylineEntity{{{0, 0, -5, 0.5}, {10, 0, -5, 0}, {10, 10, -5, 0}}, true}));

    // MTEXT: chunks joined, formatting gone, the embedded object's points ignored.
    const auto& mtext = std::get<TextEntity>(d.entities[1].geometry);
    EXPECT_EQ(mtext.text, "First bold part \nsecond line 1/2 done %");
    EXPECT_EQ(mtext.position, (Point3{1, 2, 0}));
    EXPECT_EQ(mtext.height, 2.5);
    EXPECT_EQ(mtext.rotation, 45);

    // Full ellipse: a closed polyline on the curve.
    const PolylineEntity& ellipse = PolylineOf(d.entities[2]);
    EXPECT_TRUE(ellipse.closed);
    EXPECT_GE(ellipse.vertices.size(), 36u);
    for (const PolylineVertex& v : ellipse.vertices)
        EXPECT_NEAR(std::pow(v.x / 10, 2) + std::pow(v.y / 5, 2), 1.0, 1e-12);
    // Quarter of an ellipse with a vertical major axis, from its end to its side.
    const PolylineEntity& arc = PolylineOf(d.entities[3]);
    EXPECT_FALSE(arc.closed);
    EXPECT_NEAR(arc.vertices.front().x, 100, 1e-12);
    EXPECT_NEAR(arc.vertices.front().y, 20, 1e-12);
    EXPECT_NEAR(arc.vertices.back().x, 95, 1e-12);
    EXPECT_NEAR(arc.vertices.back().y, 0, 1e-12);

    // Quadratic spline with a clamped knot vector: the parabola of its three control points.
    const PolylineEntity& spline = PolylineOf(d.entities[4]);
    ASSERT_GE(spline.vertices.size(), 3u);
    for (std::size_t k = 0; k < spline.vertices.size(); ++k) {
        const double t = static_cast<double>(k) / static_cast<double>(spline.vertices.size() - 1);
        EXPECT_NEAR(spline.vertices[k].x, 10 * t, 1e-12);
        EXPECT_NEAR(spline.vertices[k].y, 20 * t * (1 - t), 1e-12);
    }
    // Spline given by fit points only: through the fit points.
    EXPECT_TRUE(d.entities[5] ==
                Make("0", 256, PolylineEntity{{{0, 0, 0, 0}, {1, 1, 0, 0}, {2, 0, 0, 0}}, false}));

    // TEXT with escapes and extended data; LINE with reactors; INSERT.
    EXPECT_EQ(std::get<TextEntity>(d.entities[6].geometry).text, "\xC3\x84rger \xE2\x8C\x80 8");
    EXPECT_TRUE(d.entities[7] == Make("0", 5, LineEntity{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_TRUE(d.entities[8] == Make("0", 256, InsertEntity{"B1", {7, 8, 0}, 1, 1, 0}));
    // LWPOLYLINE in a flipped plane: X and the bulge change sign.
    EXPECT_TRUE(d.entities[9] ==
                Make("0", 256, PolylineEntity{{{-1, 1, 0, -1}, {-3, 1, 0, 0}}, false}));
}

struct BrokenCase {
    const char* name;
    std::string bytes;
    const char* error;  // a part of the message
};

TEST(DxfReader, BrokenFilesGiveAClearError) {
    const std::string good = DxfText(EveryKind());
    const std::vector<BrokenCase> cases = {
        {"empty", "", "empty"},
        {"blank lines only", "\n \r\n\t\n", "empty"},
        {"binary DXF", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22) + "\x00\x01", "binary"},
        {"plain text", "Hello, world\nsecond line\n", "not a DXF file"},
        {"program file", "%\nG90 G17\nM30\n", "not a DXF file"},
        {"numbers but no section", "0\nLINE\n8\n0\n0\nEOF\n", "does not begin with a SECTION"},
        {"cut short", good.substr(0, good.size() / 2), "cut short"},
        {"code line that is text", "0\nSECTION\n2\nENTITIES\nXX\nLINE\n0\nEOF\n", "line 5"},
        {"group code out of range", "0\nSECTION\n2\nENTITIES\n5000\nx\n0\nEOF\n", "5000"},
        {"binary data in a value", std::string("0\nSECTION\n2\nENTI\0TIES\n0\nEOF\n", 28),
         "binary"},
        {"missing last value", "0\nSECTION\n2\nENTITIES\n0\n", "cut short"},
    };
    for (const BrokenCase& c : cases) {
        Drawing d;
        d.layers = {{"kept", 1}};
        std::string error;
        EXPECT_FALSE(ReadDxfText(c.bytes, d, error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(d.layers, (std::vector<Layer>{{"kept", 1}})) << c.name << ": model untouched";
    }
}

// Files that are DXF but would walk dxflib outside its arrays or stall its reader.
TEST(DxfReader, HostileContentIsReadWithoutHarm) {
    const std::string head = "0\nSECTION\n2\nENTITIES\n";
    const std::string tail = "0\nENDSEC\n0\nEOF\n";
    struct Case {
        const char* name;
        std::string body;
        std::size_t entities;
    };
    const std::vector<Case> cases = {
        {"bulge before any vertex, no count", "0\nLWPOLYLINE\n8\n0\n42\n1.0\n", 0},
        {"count far above the vertices", "0\nLWPOLYLINE\n8\n0\n90\n1073741825\n10\n1\n20\n2\n", 1},
        {"negative count", "0\nLWPOLYLINE\n8\n0\n90\n-5\n10\n1\n20\n2\n10\n3\n20\n4\n", 1},
        {"spline counts far above the data",
         "0\nSPLINE\n8\n0\n71\n3\n72\n2000000000\n73\n2000000000\n74\n-1\n40\n0\n10\n1\n20\n1\n",
         1},
        {"spline degree out of reach",
         "0\nSPLINE\n8\n0\n71\n99\n40\n0\n40\n1\n10\n0\n20\n0\n10\n1\n20\n1\n", 1},
        {"line longer than dxflib's buffer", "0\nTEXT\n8\n0\n1\n" + std::string(100000, 'x') + "\n",
         1},
        {"vertex without polyline", "0\nVERTEX\n8\n0\n10\n1\n20\n1\n0\nSEQEND\n", 0},
        {"polyline without SEQEND", "0\nPOLYLINE\n8\n0\n66\n1\n0\nVERTEX\n10\n1\n0\nLINE\n", 2},
        {"header variable among entities", "9\n$ACADVER\n1\nAC1009\n0\nPOINT\n10\n1\n", 1},
        {"hatch with loops and no edges", "0\nHATCH\n91\n5\n92\n2\n93\n7\n72\n1\n", 0},
        {"leader with a huge count", "0\nLEADER\n76\n2000000000\n10\n1\n", 0},
        {"unknown entities", "0\nACAD_PROXY_ENTITY\n310\nABCDEF\n0\nDIMENSION\n70\n6\n", 0},
    };
    for (const Case& c : cases) {
        Drawing d;
        std::string error;
        ASSERT_TRUE(ReadDxfText(head + c.body + tail, d, error)) << c.name << ": " << error;
        EXPECT_EQ(d.entities.size(), c.entities) << c.name;
    }
}

// Every way of cutting a file short is noticed, never a crash.
TEST(DxfReader, EveryTruncationIsRejected) {
    const std::string good = DxfText(EveryKind());
    const std::size_t end = good.rfind("EOF");
    std::size_t checked = 0;
    for (std::size_t cut = 0; cut < end; cut += 7) {
        Drawing d;
        std::string error;
        ASSERT_FALSE(ReadDxfText(good.substr(0, cut), d, error)) << "cut at " << cut;
        ASSERT_FALSE(error.empty());
        ++checked;
    }
    EXPECT_GT(checked, 100u);
    // Without the last line end the file is still complete.
    Drawing d;
    std::string error;
    EXPECT_TRUE(ReadDxfText(good.substr(0, good.size() - 1), d, error)) << error;
}

// Damaged files (lines swapped, dropped, doubled or overwritten) read or fail, never crash.
TEST(DxfReader, DamagedFilesNeverCrash) {
    std::vector<std::string> lines;
    {
        const std::string good = DxfText(EveryKind());
        std::size_t start = 0;
        for (std::size_t at = good.find('\n'); at != std::string::npos;
             start = at + 1, at = good.find('\n', start))
            lines.push_back(good.substr(start, at - start));
    }
    const std::vector<std::string> garbage = {"",   "-1",         "1e309",  "nan", "99999999999",
                                              "0",  "LWPOLYLINE", "SPLINE", "42",  "90",
                                              "$X", "\xFF\xFE"};
    std::mt19937 random(99);
    int read = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<std::string> copy = lines;
        for (int edit = 0; edit < 3; ++edit) {
            const std::size_t at = random() % (copy.size() - 4);  // keep the EOF
            switch (random() % 4) {
                case 0:
                    copy.erase(copy.begin() + static_cast<long>(at));
                    break;
                case 1:
                    copy.insert(copy.begin() + static_cast<long>(at), copy[at]);
                    break;
                case 2:
                    std::swap(copy[at], copy[at + 1]);
                    break;
                default:
                    copy[at] = garbage[random() % garbage.size()];
                    break;
            }
        }
        std::string bytes;
        for (const std::string& line : copy) bytes += line + "\n";
        Drawing d;
        std::string error;
        if (ReadDxfText(bytes, d, error))
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
    Drawing d;
    std::string error;
    EXPECT_FALSE(ReadDxf(folder / "missing.dxf", d, error));
    EXPECT_NE(error.find("missing.dxf"), std::string::npos) << error;
    EXPECT_FALSE(ReadDxf(folder, d, error));
    EXPECT_NE(error.find("folder"), std::string::npos) << error;
    { std::ofstream(folder / "broken.dxf") << "not a drawing\n"; }
    EXPECT_FALSE(ReadDxf(folder / "broken.dxf", d, error));
    EXPECT_NE(error.find("broken.dxf"), std::string::npos) << error;
    EXPECT_NE(error.find("not a DXF file"), std::string::npos) << error;
    {
        std::ofstream out(folder / "good.dxf", std::ios::binary);
        out << DxfText(EveryKind());
    }
    EXPECT_TRUE(ReadDxf(folder / "good.dxf", d, error)) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(d.entities.size(), EveryKind().entities.size());
    fs::remove_all(folder);
}

}  // namespace
