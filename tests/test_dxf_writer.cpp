// The release 12 DXF writer: number and text forms, file structure, tables and extents.
#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "drawing/drawing_writer.h"
#include "drawing/dxf_writer.h"

using namespace retracer;

namespace {

using Record = std::vector<std::pair<int, std::string>>;  // group code, value

// The records of section `name`, one per group 0.
std::vector<Record> SectionRecords(const std::string& text, const std::string& name = "ENTITIES") {
    const std::string start = "  0\nSECTION\n  2\n" + name + "\n";
    const std::size_t at = text.find(start);
    std::vector<Record> records;
    if (at == std::string::npos) return records;
    std::istringstream in(text.substr(at + start.size()));
    std::string code;
    std::string value;
    while (std::getline(in, code) && std::getline(in, value) && value != "ENDSEC") {
        if (code == "  0" || records.empty()) records.emplace_back();
        records.back().emplace_back(std::stoi(code), value);
    }
    return records;
}

std::vector<std::string> Values(const Record& record, int code) {
    std::vector<std::string> values;
    for (const auto& [c, value] : record)
        if (c == code) values.push_back(value);
    return values;
}

// The LAYER table as "name:colour" entries.
std::vector<std::string> LayerTable(const std::string& text) {
    std::vector<std::string> layers;
    for (const Record& r : SectionRecords(text, "TABLES"))
        if (r.front().second == "LAYER")
            layers.push_back(Values(r, 2).at(0) + ':' +
                             std::to_string(std::stoi(Values(r, 62).at(0))));
    return layers;
}

Entity Make(std::string layer, int colour, EntityGeometry geometry) {
    return Entity{std::move(layer), colour, std::move(geometry)};
}

Drawing EveryKind() {
    Drawing d;
    d.layers = {{"ROUTE_Z18", 3}, {"VBORE", 4}};
    d.blocks = {Block{"MARK", {1, 2, 0}, {Make("0", 256, LineEntity{{0, 0, 0}, {2, 4, 0}})}}};
    d.entities = {
        Make("VBORE", 4, CircleEntity{{10.5, 20, -12}, 4}),
        Make("Notes 1", 6, LineEntity{{0, 0, 0}, {100, 50, 0}}),
        Make("00", 3, ArcEntity{{5, 5, 0}, 2, 0, 90}),
        Make("0", 7, TextEntity{{1, 2, 0}, 3.5, 90, "Door 12.3"}),
        Make("0", 7, SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}),
        Make("ROUTE_Z18", 3,
             PolylineEntity{{{0, 0, -18, 0}, {100, 0, -18, 1}, {100, 50, -18, 0}}, true}),
        Make("0", 256, PointEntity{{7, 8, 9}}),
        Make("0", 256, InsertEntity{"MARK", {50, 60, 0}, 2, 3, 30}),
    };
    return d;
}

TEST(DxfWriter, RealTextIsShortestAndExact) {
    // The sign of zero is dropped; numbers that are not finite are written as 0.
    const std::pair<double, const char*> cases[] = {
        {-0.0, "0.0"},
        {0.1 + 0.2, "0.30000000000000004"},
        {static_cast<double>(12.3f), "12.300000190734863"},
        {1e20, "1e+20"},
        {1e14, "100000000000000.0"},
        {std::nan(""), "0.0"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(DxfRealText(value), text) << value;
}

// The quick path for short decimals must give what std::to_chars gives, digit for digit, and a
// float stored through FromSingle shows the float's own text; values below 1e-5 take an exponent.
TEST(DxfWriter, RealTextMatchesToCharsOnRandomValues) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<float> floats(-5000.0f, 5000.0f);
    std::uniform_int_distribution<long long> decimals(-99999999, 99999999);
    std::uniform_int_distribution<int> places(0, 9);
    for (int i = 0; i < 60000; ++i) {
        const float single = floats(random);
        const double value =
            i % 2 ? FromSingle(single)
                  : static_cast<double>(decimals(random)) / std::pow(10.0, places(random));
        const bool tiny = value != 0 && std::abs(value) < 1e-5;
        const auto format = tiny ? std::chars_format::scientific : std::chars_format::fixed;
        char buffer[64];
        const auto end = i % 2 ? std::to_chars(buffer, buffer + sizeof buffer, single, format)
                               : std::to_chars(buffer, buffer + sizeof buffer, value, format);
        std::string want(buffer, end.ptr);
        if (!tiny && want.find('.') == std::string::npos) want += ".0";
        if (value == 0) want = "0.0";
        ASSERT_EQ(DxfRealText(value), want) << "value " << value;
    }
}

// Tables hold layer "0", the model's layers, then layers only entities name, each once.
TEST(DxfWriter, FileHasRelease12LayoutTablesAndEntityGroups) {
    const std::string text = DxfText(EveryKind());
    EXPECT_EQ(text.find('\r'), std::string::npos) << "LF line ends only";
    ASSERT_GE(text.size(), 8u);
    EXPECT_EQ(text.substr(text.size() - 8), "  0\nEOF\n");
    std::istringstream in(text);
    std::string code;
    std::string value;
    while (std::getline(in, code) && std::getline(in, value))
        ASSERT_EQ(code.size(), 3u) << "group code right-aligned in 3: '" << code;
    EXPECT_EQ(text.find("  0\nSECTION\n  2\nHEADER\n"), 0u);
    for (const char* part : {"  9\n$ACADVER\n  1\nAC1009\n", "$DWGCODEPAGE\n  3\nANSI_1252\n",
                             "  0\nLTYPE\n  2\nCONTINUOUS\n", "  0\nSTYLE\n  2\nSTANDARD\n"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(LayerTable(text),
              (std::vector<std::string>{"0:7", "ROUTE_Z18:3", "VBORE:4", "Notes 1:7", "00:7"}));
    std::vector<std::string> kinds;
    for (const char* section : {"BLOCKS", "ENTITIES"})
        for (const Record& record : SectionRecords(text, section))
            kinds.push_back(record.front().second);
    EXPECT_EQ(kinds, (std::vector<std::string>{"BLOCK", "LINE", "ENDBLK", "CIRCLE", "LINE", "ARC",
                                               "TEXT", "SOLID", "POLYLINE", "VERTEX", "VERTEX",
                                               "VERTEX", "SEQEND", "POINT", "INSERT"}));

    // The groups of each entity carry its geometry, layer and colour.
    const auto records = SectionRecords(text);
    ASSERT_EQ(records.size(), 12u);
    const std::tuple<std::size_t, int, std::vector<std::string>> expectations[] = {
        {0, 8, {"VBORE"}},   {0, 62, {"     4"}},   {0, 30, {"-12.0"}},
        {2, 51, {"90.0"}},   {3, 1, {"Door 12.3"}}, {4, 23, {"1.0"}},
        {5, 66, {"     1"}}, {5, 70, {"     1"}},  // closed
        {5, 30, {"0.0"}},                          // the header stays at zero
        {6, 30, {"-18.0"}},  {6, 42, {}},          // a straight segment has no bulge group
        {7, 42, {"1.0"}},    {10, 62, {}},         // by layer: no colour group
        {11, 2, {"MARK"}},   {11, 42, {"3.0"}},     {11, 20, {"60.0"}},
    };
    for (const auto& [record, group, values] : expectations)
        EXPECT_EQ(Values(records[record], group), values)
            << "record " << record << " group " << group;
}

// Texts escape what is not ASCII; layer names lose what DXF forbids and use Windows-1252.
TEST(DxfWriter, TextsAndLayerNamesBecomeWritable) {
    struct Case {
        std::string text, writtenText, layer, writtenLayer;
    };
    const Case cases[] = {
        {" 12 ", " 12 ", "SAW.D-3,5 x", "SAW.D-3,5 x"},  // blanks kept
        {"Gr\xC3\xBC\xC3\x9F", "Gr\\U+00FC\\U+00DF", "Fr\xC3\xA4se \xE2\x82\xAC", "Fr\xE4se \x80"},
        {"\xF0\x9F\x98\x80", "\\U+D83D\\U+DE00", "\xE6\x97\xA5", "_"},  // surrogates; no code
        {"a\xFF", "a\\U+FFFD", "", "0"},                                // malformed; empty
        {"x^2 a\nb\tc", "x^ 2 a^Jb^Ic", "a<b>c/d\\e\"f:g;h?i*j|k=l`m\tn",
         "a_b_c_d_e_f_g_h_i_j_k_l_m_n"},
    };
    for (const Case& c : cases) {
        Drawing d;
        d.entities.push_back(Make(c.layer, 7, TextEntity{{0, 0, 0}, 1, 0, c.text}));
        const std::string text = DxfText(d);
        const auto records = SectionRecords(text);
        ASSERT_EQ(records.size(), 1u) << c.writtenText;
        EXPECT_EQ(Values(records[0], 1), std::vector<std::string>{c.writtenText});
        EXPECT_EQ(Values(records[0], 8), std::vector<std::string>{c.writtenLayer});
        EXPECT_NE(text.find("  0\nLAYER\n  2\n" + c.writtenLayer + "\n"), std::string::npos)
            << c.writtenLayer;
    }
}

// Names equal but for case or forbidden characters share a table entry; colours out of range
// are left to the layer; empty polylines are left out and non-finite numbers written as 0.
TEST(DxfWriter, OddInputIsWrittenReadably) {
    Drawing d;
    d.layers = {{"Route", 3}, {"ROUTE", 5}, {"a/b", 1}, {"a_b", 2}, {"L", 300}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const int colour : {256, 0, -1, 255})
        d.entities.push_back(Make("L", colour, PointEntity{}));
    d.entities.push_back(Make("0", 1, PolylineEntity{}));
    d.entities.push_back(
        Make("0", 1, LineEntity{{nan, 1, 2}, {3, -std::numeric_limits<double>::infinity(), 5}}));
    const std::string text = DxfText(d);
    EXPECT_EQ(LayerTable(text), (std::vector<std::string>{"0:7", "Route:3", "a_b:1", "L:7"}));
    const auto records = SectionRecords(text);
    ASSERT_EQ(records.size(), 5u);
    const std::vector<std::string> colours[] = {{}, {"     0"}, {}, {"   255"}};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(Values(records[i], 62), colours[i]) << i;
    EXPECT_EQ(records[4].front().second, "LINE");
    EXPECT_EQ(Values(records[4], 10), std::vector<std::string>{"0.0"});
    EXPECT_EQ(Values(records[4], 21), std::vector<std::string>{"0.0"});
}

// A stream buffer that takes 1000 bytes and then fails, like a full disk.
struct FullDisk : std::streambuf {
    char room[1000];
    FullDisk() { setp(room, room + sizeof room); }
    bool Full() const { return pptr() == epptr(); }
};

// Large drawings are formatted in runs on several threads: the records keep their order, and a
// failing stream is reported through the stream or by its exception, for small and large files.
TEST(DxfWriter, LargeDrawingsKeepOrderAndReportFailingStreams) {
    Drawing large;
    for (int i = 0; i < 60000; ++i)
        large.entities.push_back(
            Make("LAYER_" + std::to_string(i % 7), 3,
                 LineEntity{{i * 0.5, -i * 0.25, 0}, {i + 0.1, i * 1e-3, -1}}));
    large.entities.push_back(
        Make("0", 7, TextEntity{{0, 0, 0}, 1, 0, std::string(1'500'000, 'x')}));
    std::ostringstream stream;
    WriteDxf(large, stream);
    const std::string text = DxfText(large);
    EXPECT_GT(text.size(), 4u << 20);
    EXPECT_TRUE(stream.str() == text);
    std::string pieces;
    int calls = 0;
    EXPECT_TRUE(WriteDxf(large, [&](std::string_view piece) {
        pieces += piece;
        return ++calls < 1000;
    }));
    EXPECT_GT(calls, 4);  // handed on in pieces, not as one text
    EXPECT_TRUE(pieces == text);
    calls = 0;
    EXPECT_FALSE(WriteDxf(large, [&](std::string_view) { return ++calls > 2; }));
    EXPECT_EQ(calls, 1);  // a sink that refused gets nothing more
    const auto records = SectionRecords(text);
    ASSERT_EQ(records.size(), large.entities.size());
    for (std::size_t i = 0; i + 1 < records.size(); ++i)
        ASSERT_EQ(Values(records[i], 10), std::vector<std::string>{DxfRealText(i * 0.5)}) << i;

    for (const Drawing& d : {EveryKind(), large}) {
        FullDisk quiet;
        std::ostream out(&quiet);
        WriteDxf(d, out);
        EXPECT_TRUE(out.bad());
        EXPECT_TRUE(quiet.Full());
        FullDisk loud;
        std::ostream throwing(&loud);
        throwing.exceptions(std::ios::badbit);
        EXPECT_THROW(WriteDxf(d, throwing), std::ios_base::failure);
    }
}

// Blocks that insert the next one four times over, twenty deep: every path through them would
// be 4^16 boxes, so each block's box must be worked out once per depth. The nesting cut-off still
// holds: block 15 is the deepest measured.
TEST(DxfWriter, ExtentsOfBlocksInsertingEachOtherManyTimes) {
    Drawing d;
    constexpr int kLevels = 20;
    for (int level = 0; level < kLevels; ++level) {
        Block block{"B" + std::to_string(level), {0, 0, 0}, {}};
        block.entities.push_back(
            Make("0", 1, LineEntity{{double(level), 0, 0}, {double(level), 1, 0}}));
        for (int copy = 0; copy < 4 && level + 1 < kLevels; ++copy)
            block.entities.push_back(
                Make("0", 1, InsertEntity{"B" + std::to_string(level + 1), {0, 0, 0}}));
        d.blocks.push_back(std::move(block));
    }
    d.entities = {Make("0", 1, InsertEntity{"B0", {0, 0, 0}})};
    const Extents e = DrawingExtents(d);
    EXPECT_EQ(e.min, (Point3{0, 0, 0}));
    EXPECT_EQ(e.max, (Point3{15, 1, 0}));
}

TEST(DxfWriter, ExtentsCoverWhatIsDrawn) {
    // Nothing drawn: empty, and zero in the header. A block that inserts itself must not send the
    // extents into endless recursion.
    const Block self{"SELF", {0, 0, 0}, {Make("0", 1, InsertEntity{"SELF", {1, 1, 0}})}};
    Drawing empty;
    empty.blocks = {self};
    EXPECT_TRUE(DrawingExtents(empty).empty);
    EXPECT_NE(
        DxfText(empty).find(
            "$EXTMIN\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  9\n$EXTMAX\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"),
        std::string::npos);
    empty.entities = {Make("0", 1, InsertEntity{"SELF", {5, 5, 0}})};
    EXPECT_EQ(DrawingExtents(empty).min, (Point3{5, 5, 0}));
    struct Case {
        const char* name;
        std::vector<EntityGeometry> drawn;
        std::array<double, 6> box;  // min x, y, z, max x, y, z
    };
    const Case cases[] = {
        {"line", {LineEntity{{1, 2, 3}, {-4, 5, -6}}}, {-4, 2, -6, 1, 5, 3}},
        {"circle", {CircleEntity{{10, 10, -2}, 3}}, {7, 7, -2, 13, 13, -2}},
        {"arc through 0 degrees", {ArcEntity{{0, 0, 0}, 1, 270, 90}}, {0, -1, 0, 1, 1, 0}},
        {"ccw half circle bulges right",
         {PolylineEntity{{{0, 0, 0, 1}, {10, 0, 0, 0}}, false}},
         {0, -5, 0, 10, 0, 0}},
        {"cw closing segment bulges left",
         {PolylineEntity{{{0, 0, 0, 0}, {0, 10, 0, -1}}, true}},
         {0, 0, 0, 5, 10, 0}},
        {"scaled, turned block", {InsertEntity{"B", {100, 0, 0}, 2, 1, 90}}, {99, 0, 0, 100, 4, 0}},
        {"text and point",
         {TextEntity{{5, 6, 0}, 1, 0, "x"}, PointEntity{{-1, -2, 0}}},
         {-1, -2, 0, 5, 6, 0}},
    };
    for (const Case& c : cases) {
        Drawing d;
        d.blocks = {Block{"B", {0, 0, 0}, {Make("0", 1, LineEntity{{0, 0, 0}, {2, 1, 0}})}}};
        for (const EntityGeometry& g : c.drawn) d.entities.push_back(Make("0", 1, g));
        const Extents e = DrawingExtents(d);
        ASSERT_FALSE(e.empty) << c.name;
        const double got[] = {e.min.x, e.min.y, e.min.z, e.max.x, e.max.y, e.max.z};
        for (std::size_t k = 0; k < 6; ++k)
            EXPECT_NEAR(got[k], c.box[k], 1e-12) << c.name << " " << k;
    }
}

// A drawing written in parts (head, entities in runs, tail) is the drawing written at once, for
// runs cut anywhere, and the extents collected run by run are the drawing's. Layers given only
// by the entities, names that need care and a drawing with nothing positioned are among them.
TEST(DxfWriter, DrawingWrittenInPartsIsTheDrawingWrittenAtOnce) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> coordinate(-500, 3000);
    const auto randomDrawing = [&](int count) {
        Drawing d;
        d.layers = {{"ROUTE_Z18", 3}, {"vbore", 4}, {"Bohrung \u00e4", 5}, {"0", 2}};
        const char* layers[] = {"ROUTE_Z18", "vbore", "Bohrung \u00e4", "0"};
        for (int i = 0; i < count; ++i) {
            const std::string layer = layers[i % 4];
            const double x = coordinate(random);
            const double y = coordinate(random);
            switch (i % 6) {
                case 0:
                    d.entities.push_back(Make(layer, 4, CircleEntity{{x, y, -12}, 4}));
                    break;
                case 1:
                    d.entities.push_back(Make(layer, 256, LineEntity{{x, y, 0}, {y, x, -3}}));
                    break;
                case 2:
                    d.entities.push_back(Make(
                        layer, 3,
                        PolylineEntity{
                            {{x, y, -18, 0.7}, {x + 40, y, -18, -1.5}, {x + 40, y + 9, -18, 0}},
                            i % 4 == 2}));
                    break;
                case 3:
                    d.entities.push_back(
                        Make(layer, 7, TextEntity{{x, y, 0}, 3.5, 90, "Caf\u00e9 ^" + layer}));
                    break;
                case 4:
                    d.entities.push_back(Make(layer, 1, ArcEntity{{x, y, 0}, 7, 300, 45}));
                    break;
                default:
                    d.entities.push_back(Make(
                        layer, 7,
                        SolidEntity{
                            {Point3{x, y, 0}, {x + 1, y, 0}, {x, y + 1, 0}, {x + 1, y + 1, 0}}}));
                    break;
            }
        }
        return d;
    };
    Drawing nothing;
    nothing.layers = {{"EMPTY", 3}};
    for (const Drawing& d : {nothing, randomDrawing(1), randomDrawing(5000)}) {
        for (const std::size_t runLength : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
            std::string parts;
            ASSERT_TRUE(WriteDxfHead(d.layers, DrawingExtents(d), [&](std::string_view piece) {
                parts += piece;
                return true;
            }));
            DxfEntityFormatter formatter;
            ExtentsAccumulator extents;
            for (std::size_t at = 0; at < d.entities.size(); at += runLength) {
                const std::vector<Entity> run(
                    d.entities.begin() + static_cast<std::ptrdiff_t>(at),
                    d.entities.begin() +
                        static_cast<std::ptrdiff_t>(std::min(d.entities.size(), at + runLength)));
                formatter.Append(run, parts);
                extents.Add(run);
            }
            parts += DxfTail();
            const std::string whole = DxfText(d);
            ASSERT_EQ(parts.size(), whole.size())
                << d.entities.size() << " in runs of " << runLength;
            EXPECT_TRUE(parts == whole) << d.entities.size() << " in runs of " << runLength;
            const Extents collected = extents.Result();
            const Extents expected = DrawingExtents(d);
            EXPECT_EQ(collected.empty, expected.empty);
            EXPECT_EQ(collected.min, expected.min) << runLength;
            EXPECT_EQ(collected.max, expected.max) << runLength;
        }
    }
    // A sink that refuses stops the head.
    int calls = 0;
    EXPECT_FALSE(WriteDxfHead(nothing.layers, {}, [&](std::string_view) { return ++calls > 5; }));
}

}  // namespace
