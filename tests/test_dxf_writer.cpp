// The release 12 DXF writer: number and text forms, file structure, tables and extents.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "drawing/drawing_writer.h"
#include "drawing/dxf_writer.h"

using namespace retracer;

namespace {

struct Pair {
    std::string code;  // as written, with its alignment
    std::string value;
};

std::vector<Pair> Pairs(const std::string& text) {
    std::vector<Pair> pairs;
    std::istringstream in(text);
    std::string code;
    std::string value;
    while (std::getline(in, code) && std::getline(in, value)) pairs.push_back({code, value});
    return pairs;
}

int Code(const Pair& p) {
    return std::stoi(p.code);
}

// The groups of the entity records in the ENTITIES section, one vector per record.
std::vector<std::vector<Pair>> EntityRecords(const std::string& text) {
    const std::vector<Pair> pairs = Pairs(text);
    std::vector<std::vector<Pair>> records;
    bool inside = false;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (Code(pairs[i]) == 2 && pairs[i].value == "ENTITIES" && i > 0 &&
            pairs[i - 1].value == "SECTION") {
            inside = true;
            continue;
        }
        if (!inside) continue;
        if (Code(pairs[i]) == 0) {
            if (pairs[i].value == "ENDSEC") break;
            records.emplace_back();
        }
        records.back().push_back(pairs[i]);
    }
    return records;
}

// Values of `code` in a record, in order.
std::vector<std::string> Values(const std::vector<Pair>& record, int code) {
    std::vector<std::string> values;
    for (const Pair& p : record)
        if (Code(p) == code) values.push_back(p.value);
    return values;
}

Entity Make(std::string layer, int colour, EntityGeometry geometry) {
    return Entity{std::move(layer), colour, std::move(geometry)};
}

Drawing EveryKind() {
    Drawing d;
    d.layers = {{"ROUTE_Z18T3_L_FD2000_S18", 3}, {"VBORE_Z12T21", 4}};
    d.blocks = {Block{"MARK", {1, 2, 0}, {Make("0", 256, LineEntity{{0, 0, 0}, {2, 4, 0}})}}};
    d.entities = {
        Make("VBORE_Z12T21", 4, CircleEntity{{10.5, 20, -12}, 4}),
        Make("Retracer Notation", 6, LineEntity{{0, 0, 0}, {100, 50, 0}}),
        Make("00", 3, ArcEntity{{5, 5, 0}, 2, 0, 90}),
        Make("0", 7, TextEntity{{1, 2, 0}, 3.5, 90, "Part 12.3"}),
        Make("0", 7, SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}),
        Make("ROUTE_Z18T3_L_FD2000_S18", 3,
             PolylineEntity{{{0, 0, -18, 0}, {100, 0, -18, 1}, {100, 50, -18, 0}}, true}),
        Make("0", 256, PointEntity{{7, 8, 9}}),
        Make("0", 256, InsertEntity{"MARK", {50, 60, 0}, 2, 3, 30}),
    };
    return d;
}

TEST(DxfWriter, RealTextIsShortestAndExact) {
    struct Case {
        const char* name;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {"zero", 0.0, "0.0"},
        {"negative zero loses its sign", -0.0, "0.0"},
        {"whole number keeps a decimal point", 12.0, "12.0"},
        {"short decimal", 12.3, "12.3"},
        {"negative fraction", -0.5, "-0.5"},
        {"sum that is not a short decimal", 0.1 + 0.2, "0.30000000000000004"},
        {"float widened without care", static_cast<double>(12.3f), "12.300000190734863"},
        {"many integer digits", 123456789.125, "123456789.125"},
        {"small fraction without exponent", 0.00001, "0.00001"},
        {"tiny value with exponent", 1e-7, "1e-07"},
        {"huge value with exponent", 1e20, "1e+20"},
        {"large whole number", 1e14, "100000000000000.0"},
        {"not a number", std::numeric_limits<double>::quiet_NaN(), "0.0"},
        {"infinity", std::numeric_limits<double>::infinity(), "0.0"},
    };
    for (const Case& c : cases) EXPECT_EQ(DxfRealText(c.value), c.text) << c.name;
}

// The quick path for short decimals must give what std::to_chars gives, digit for digit.
TEST(DxfWriter, RealTextMatchesToCharsOnRandomValues) {
    std::mt19937_64 random(20240611);
    std::uniform_real_distribution<float> floats(-5000.0f, 5000.0f);
    std::uniform_real_distribution<double> doubles(-1e6, 1e6);
    std::uniform_int_distribution<long long> decimals(-99999999, 99999999);
    std::uniform_int_distribution<int> places(0, 9);
    for (int i = 0; i < 60000; ++i) {
        double value = 0;
        switch (i % 3) {
            case 0:
                value = FromSingle(floats(random));
                break;
            case 1:
                value = doubles(random);
                break;
            default:
                value = static_cast<double>(decimals(random)) / std::pow(10.0, places(random));
        }
        char expected[64];
        const auto written =
            std::to_chars(expected, expected + sizeof expected, value, std::chars_format::fixed);
        std::string want(expected, written.ptr);
        if (want.find('.') == std::string::npos) want += ".0";
        if (value == 0) want = "0.0";
        const std::string text = DxfRealText(value);
        ASSERT_EQ(text, want) << "value " << value;
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(back, value) << text;
    }
}

TEST(DxfWriter, FileHasRelease12Layout) {
    const std::string text = DxfText(EveryKind());
    EXPECT_EQ(text.find('\r'), std::string::npos) << "LF line ends only";
    for (const char c : text) ASSERT_TRUE(static_cast<unsigned char>(c) < 0x80) << "ASCII only";
    ASSERT_GE(text.size(), 8u);
    EXPECT_EQ(text.substr(text.size() - 8), "  0\nEOF\n");

    const std::vector<Pair> pairs = Pairs(text);
    std::vector<std::string> sections;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        ASSERT_EQ(pairs[i].code.size(), 3u) << "group code right-aligned in 3: '" << pairs[i].code;
        if (pairs[i].value == "SECTION") sections.push_back(pairs[i + 1].value);
    }
    EXPECT_EQ(sections, (std::vector<std::string>{"HEADER", "TABLES", "BLOCKS", "ENTITIES"}));
    const auto variable = [&](const std::string& name) {
        for (std::size_t i = 0; i + 1 < pairs.size(); ++i)
            if (Code(pairs[i]) == 9 && pairs[i].value == name) return pairs[i + 1].value;
        return std::string("(missing)");
    };
    EXPECT_EQ(variable("$ACADVER"), "AC1009");
    EXPECT_EQ(variable("$INSBASE"), "0.0");
    EXPECT_EQ(variable("$DWGCODEPAGE"), "ANSI_1252");

    std::vector<std::string> kinds;
    for (const auto& record : EntityRecords(text)) kinds.push_back(record.front().value);
    EXPECT_EQ(kinds, (std::vector<std::string>{"CIRCLE", "LINE", "ARC", "TEXT", "SOLID", "POLYLINE",
                                               "VERTEX", "VERTEX", "VERTEX", "SEQEND", "POINT",
                                               "INSERT"}));
}

TEST(DxfWriter, TablesHoldLayerZeroAndEveryLayerWithItsColour) {
    const std::string text = DxfText(EveryKind());
    const std::vector<Pair> pairs = Pairs(text);
    std::vector<std::pair<std::string, std::string>> layers;  // name, colour
    bool continuous = false;
    bool standard = false;
    for (std::size_t i = 0; i + 1 < pairs.size(); ++i) {
        if (Code(pairs[i]) != 0) continue;
        if (pairs[i].value == "LTYPE" && pairs[i + 1].value == "CONTINUOUS") continuous = true;
        if (pairs[i].value == "STYLE" && pairs[i + 1].value == "STANDARD") standard = true;
        if (pairs[i].value != "LAYER") continue;
        std::string name;
        std::string colour;
        for (std::size_t k = i + 1; k < pairs.size() && Code(pairs[k]) != 0; ++k) {
            if (Code(pairs[k]) == 2) name = pairs[k].value;
            if (Code(pairs[k]) == 62) colour = pairs[k].value;
        }
        layers.emplace_back(name, colour);
    }
    EXPECT_TRUE(continuous);
    EXPECT_TRUE(standard);
    // Model layers first (after "0"), then layers only entities name, each once.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"0", "     7"},
        {"ROUTE_Z18T3_L_FD2000_S18", "     3"},
        {"VBORE_Z12T21", "     4"},
        {"Retracer Notation", "     7"},
        {"00", "     7"}};
    EXPECT_EQ(layers, expected);
}

TEST(DxfWriter, EntityGroupsCarryGeometryLayerAndColour) {
    const auto records = EntityRecords(DxfText(EveryKind()));
    ASSERT_EQ(records.size(), 12u);
    struct Expectation {
        std::size_t record;
        int code;
        std::vector<std::string> values;
    };
    const Expectation expectations[] = {
        {0, 8, {"VBORE_Z12T21"}},
        {0, 62, {"     4"}},
        {0, 10, {"10.5"}},
        {0, 30, {"-12.0"}},
        {0, 40, {"4.0"}},
        {1, 11, {"100.0"}},
        {1, 21, {"50.0"}},
        {2, 50, {"0.0"}},
        {2, 51, {"90.0"}},
        {3, 1, {"Part 12.3"}},
        {3, 40, {"3.5"}},
        {3, 50, {"90.0"}},
        {4, 13, {"1.0"}},
        {4, 23, {"1.0"}},
        {5, 66, {"     1"}},
        {5, 70, {"     1"}},  // closed
        {5, 10, {"0.0"}},
        {5, 30, {"0.0"}},
        {6, 8, {"ROUTE_Z18T3_L_FD2000_S18"}},
        {6, 30, {"-18.0"}},
        {6, 42, {}},  // a straight segment has no bulge group
        {7, 10, {"100.0"}},
        {7, 42, {"1.0"}},
        {8, 42, {}},
        {9, 8, {"ROUTE_Z18T3_L_FD2000_S18"}},
        {10, 62, {}},  // by layer: no colour group
        {10, 30, {"9.0"}},
        {11, 2, {"MARK"}},
        {11, 41, {"2.0"}},
        {11, 42, {"3.0"}},
        {11, 50, {"30.0"}},
    };
    for (const Expectation& e : expectations)
        EXPECT_EQ(Values(records[e.record], e.code), e.values)
            << records[e.record].front().value << " #" << e.record << " group " << e.code;
}

TEST(DxfWriter, BlocksSectionHoldsTheBlocks) {
    const std::vector<Pair> pairs = Pairs(DxfText(EveryKind()));
    std::vector<std::string> inBlocks;
    bool inside = false;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].value == "BLOCKS" && Code(pairs[i]) == 2)
            inside = true;
        else if (inside && pairs[i].value == "ENDSEC")
            break;
        else if (inside && Code(pairs[i]) == 0)
            inBlocks.push_back(pairs[i].value);
        else if (inside && (Code(pairs[i]) == 2 || Code(pairs[i]) == 3 || Code(pairs[i]) == 20))
            inBlocks.push_back(pairs[i].code + "=" + pairs[i].value);
    }
    EXPECT_EQ(inBlocks, (std::vector<std::string>{"BLOCK", "  2=MARK", " 20=2.0", "  3=MARK",
                                                  "LINE", " 20=0.0", "ENDBLK"}));
}

TEST(DxfWriter, TextsBecomePlainAscii) {
    struct Case {
        const char* name;
        std::string text;
        std::string written;
    };
    const Case cases[] = {
        {"plain text as is", "Part 12.3", "Part 12.3"},
        {"blanks at both ends kept", " 12 ", " 12 "},
        {"accented letters escaped",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\\U+00FC\\U+00DFe"},
        {"sign outside Latin-1", "\xE2\x8C\x80 8", "\\U+2300 8"},
        {"beyond the basic plane as a surrogate pair", "\xF0\x9F\x98\x80", "\\U+D83D\\U+DE00"},
        {"malformed byte",
         "a\xFF"
         "b",
         "a\\U+FFFDb"},
        {"caret itself", "x^2", "x^ 2"},
        {"control characters in caret notation", "a\nb\tc", "a^Jb^Ic"},
    };
    for (const Case& c : cases) {
        Drawing d;
        d.entities.push_back(Make("0", 7, TextEntity{{0, 0, 0}, 1, 0, c.text}));
        const auto records = EntityRecords(DxfText(d));
        ASSERT_EQ(records.size(), 1u) << c.name;
        EXPECT_EQ(Values(records[0], 1), std::vector<std::string>{c.written}) << c.name;
    }
}

TEST(DxfWriter, LayerNamesKeptUnlessDxfForbidsThem) {
    struct Case {
        const char* name;
        std::string layer;
        std::string written;
    };
    const Case cases[] = {
        {"route layer", "ROUTE_Z18T3_L_FD2000_S18", "ROUTE_Z18T3_L_FD2000_S18"},
        {"bore layer", "VBORE_Z12T21", "VBORE_Z12T21"},
        {"blank inside", "Retracer Notation", "Retracer Notation"},
        {"digits only", "00", "00"},
        {"dots and dashes", "SAW.D-3,5", "SAW.D-3,5"},
        {"forbidden characters", "a<b>c/d\\e\"f:g;h?i*j|k=l`m", "a_b_c_d_e_f_g_h_i_j_k_l_m"},
        {"control character", "a\tb", "a_b"},
        {"empty name", "", "0"},
        {"Western letters in the code page", "Fr\xC3\xA4se \xE2\x82\xAC", "Fr\xE4se \x80"},
        {"letters the code page lacks", "\xE6\x97\xA5", "_"},
    };
    for (const Case& c : cases) {
        Drawing d;
        d.entities.push_back(Make(c.layer, 1, PointEntity{}));
        const std::string text = DxfText(d);
        const auto records = EntityRecords(text);
        ASSERT_EQ(records.size(), 1u) << c.name;
        EXPECT_EQ(Values(records[0], 8), std::vector<std::string>{c.written}) << c.name;
        EXPECT_NE(text.find("  0\nLAYER\n  2\n" + c.written + "\n"), std::string::npos) << c.name;
    }
}

TEST(DxfWriter, LayersDifferingOnlyInCaseShareOneTableEntry) {
    Drawing d;
    d.layers = {{"Route", 3}, {"ROUTE", 5}, {"a/b", 1}, {"a_b", 2}};
    const std::string text = DxfText(d);
    const auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos;
             at = text.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("  0\nLAYER\n"), 3u);  // 0, Route, a_b
    EXPECT_EQ(count("  2\nRoute\n 70\n     0\n 62\n     3\n"), 1u);
    EXPECT_EQ(count("  2\na_b\n 70\n     0\n 62\n     1\n"), 1u);
}

TEST(DxfWriter, ColoursOutsideTheIndexRangeAreLeftToTheLayer) {
    Drawing d;
    d.layers = {{"L", 300}};
    d.entities = {Make("L", 256, PointEntity{}), Make("L", 0, PointEntity{}),
                  Make("L", -1, PointEntity{}), Make("L", 255, PointEntity{})};
    const std::string text = DxfText(d);
    const auto records = EntityRecords(text);
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(Values(records[0], 62), std::vector<std::string>{});
    EXPECT_EQ(Values(records[1], 62), std::vector<std::string>{"     0"});  // by block
    EXPECT_EQ(Values(records[2], 62), std::vector<std::string>{});
    EXPECT_EQ(Values(records[3], 62), std::vector<std::string>{"   255"});
    EXPECT_NE(text.find("  2\nL\n 70\n     0\n 62\n     7\n"), std::string::npos);
}

TEST(DxfWriter, EmptyPolylinesAndNonFiniteNumbersStayReadable) {
    Drawing d;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    d.entities = {
        Make("0", 1, PolylineEntity{}),
        Make("0", 1, LineEntity{{nan, 1, 2}, {3, std::numeric_limits<double>::infinity(), 5}})};
    const auto records = EntityRecords(DxfText(d));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].front().value, "LINE");
    EXPECT_EQ(Values(records[0], 10), std::vector<std::string>{"0.0"});
    EXPECT_EQ(Values(records[0], 21), std::vector<std::string>{"0.0"});
}

TEST(DxfWriter, StreamAndStringGiveTheSameBytesBeyondTheBuffer) {
    Drawing d;
    for (int i = 0; i < 40000; ++i)
        d.entities.push_back(Make("LAYER_" + std::to_string(i % 7), 3,
                                  LineEntity{{i * 0.5, -i * 0.25, 0}, {i + 0.1, i * 1e-3, -1}}));
    d.entities.push_back(Make("0", 7, TextEntity{{0, 0, 0}, 1, 0, std::string(1'500'000, 'x')}));
    std::ostringstream stream;
    WriteDxf(d, stream);
    const std::string text = DxfText(d);
    EXPECT_GT(text.size(), 4u << 20);
    EXPECT_TRUE(stream.str() == text);
    // Large drawings are formatted in runs on several threads: the records keep their order.
    const auto records = EntityRecords(text);
    ASSERT_EQ(records.size(), d.entities.size());
    for (int i = 0; i < 40000; ++i)
        ASSERT_EQ(Values(records[static_cast<std::size_t>(i)], 10),
                  std::vector<std::string>{DxfRealText(i * 0.5)})
            << "record " << i;
}

// A stream that takes `room` bytes and then fails, like a full disk.
class FullDisk : public std::streambuf {
  public:
    explicit FullDisk(std::size_t room) : room_(room) {}
    std::size_t taken = 0;

  protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        const auto take = std::min<std::size_t>(static_cast<std::size_t>(n), room_ - taken);
        taken += take;
        return static_cast<std::streamsize>(take);
    }
    int_type overflow(int_type) override { return traits_type::eof(); }

  private:
    std::size_t room_;
};

// A failing stream reports through the stream, for a small file and for a large one formatted on
// several threads; a stream that throws has its exception reach the caller (and stops the
// threads).
TEST(DxfWriter, FailingStreamIsReportedNotHidden) {
    Drawing small = EveryKind();
    Drawing large;
    for (int i = 0; i < 60000; ++i)
        large.entities.push_back(Make("L", 3, LineEntity{{i * 1.5, 2, 0}, {3, i * 0.25, 0}}));
    for (const Drawing* d : {&small, &large}) {
        FullDisk quiet(1000);
        std::ostream out(&quiet);
        WriteDxf(*d, out);
        EXPECT_TRUE(out.bad());
        EXPECT_EQ(quiet.taken, 1000u);

        FullDisk loud(1000);
        std::ostream throwing(&loud);
        throwing.exceptions(std::ios::badbit);
        EXPECT_THROW(WriteDxf(*d, throwing), std::ios_base::failure);
    }
}

struct ExtentsCase {
    const char* name;
    std::vector<Entity> entities;
    Point3 min;
    Point3 max;
};

TEST(DxfWriter, ExtentsCoverWhatIsDrawn) {
    const std::vector<ExtentsCase> cases = {
        {"line", {Make("0", 1, LineEntity{{1, 2, 3}, {-4, 5, -6}})}, {-4, 2, -6}, {1, 5, 3}},
        {"circle", {Make("0", 1, CircleEntity{{10, 10, -2}, 3})}, {7, 7, -2}, {13, 13, -2}},
        {"quarter arc", {Make("0", 1, ArcEntity{{0, 0, 0}, 2, 0, 90})}, {0, 0, 0}, {2, 2, 0}},
        {"arc through 0 degrees",
         {Make("0", 1, ArcEntity{{0, 0, 0}, 1, 270, 90})},
         {0, -1, 0},
         {1, 1, 0}},
        {"counter-clockwise half circle bulges right",
         {Make("0", 1, PolylineEntity{{{0, 0, 0, 1}, {10, 0, 0, 0}}, false})},
         {0, -5, 0},
         {10, 0, 0}},
        {"clockwise half circle bulges left",
         {Make("0", 1, PolylineEntity{{{0, 0, 0, -1}, {10, 0, 0, 0}}, false})},
         {0, 0, 0},
         {10, 5, 0}},
        {"closing segment of a closed polyline",
         {Make("0", 1, PolylineEntity{{{0, 0, 0, 0}, {0, 10, 0, 1}}, true})},
         {-5, 0, 0},
         {0, 10, 0}},
        {"insert of a scaled, turned block",
         {Make("0", 1, InsertEntity{"B", {100, 0, 0}, 2, 1, 90})},
         {99, 0, 0},
         {100, 4, 0}},
        {"text and point positions",
         {Make("0", 1, TextEntity{{5, 6, 0}, 1, 0, "x"}), Make("0", 1, PointEntity{{-1, -2, 0}})},
         {-1, -2, 0},
         {5, 6, 0}},
    };
    for (const ExtentsCase& c : cases) {
        Drawing d;
        d.blocks = {Block{"B", {0, 0, 0}, {Make("0", 1, LineEntity{{0, 0, 0}, {2, 1, 0}})}}};
        d.entities = c.entities;
        const Extents e = DrawingExtents(d);
        ASSERT_FALSE(e.empty) << c.name;
        const double tolerance = 1e-12;
        EXPECT_NEAR(e.min.x, c.min.x, tolerance) << c.name;
        EXPECT_NEAR(e.min.y, c.min.y, tolerance) << c.name;
        EXPECT_NEAR(e.min.z, c.min.z, tolerance) << c.name;
        EXPECT_NEAR(e.max.x, c.max.x, tolerance) << c.name;
        EXPECT_NEAR(e.max.y, c.max.y, tolerance) << c.name;
        EXPECT_NEAR(e.max.z, c.max.z, tolerance) << c.name;
    }
}

TEST(DxfWriter, EmptyDrawingHasZeroExtentsInTheHeader) {
    Drawing d;
    d.blocks = {Block{"SELF", {0, 0, 0}, {Make("0", 1, InsertEntity{"SELF", {1, 1, 0}})}}};
    EXPECT_TRUE(DrawingExtents(d).empty);
    const std::string text = DxfText(d);
    EXPECT_NE(text.find("  9\n$EXTMIN\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"), std::string::npos);
    EXPECT_NE(text.find("  9\n$EXTMAX\n 10\n0.0\n 20\n0.0\n 30\n0.0\n"), std::string::npos);
    // A block that inserts itself does not send the extents into endless recursion.
    d.entities = {Make("0", 1, InsertEntity{"SELF", {5, 5, 0}})};
    const Extents e = DrawingExtents(d);
    EXPECT_FALSE(e.empty);
    EXPECT_EQ(e.min, (Point3{5, 5, 0}));
}

}  // namespace
