// Barcodes: the module patterns must scan back to the text, and the bars must sit where the
// label block puts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <variant>

#include "drawing/drawing_writer.h"
#include "labels/barcode.h"

namespace retracer {
namespace {

// Code 39 by its nine elements (bar, space, bar, …), "1" for a wide one.
const std::map<std::string, char>& Code39Table() {
    static const std::map<std::string, char> table = {
        {"000110100", '0'}, {"100100001", '1'}, {"001100001", '2'}, {"101100000", '3'},
        {"000110001", '4'}, {"100110000", '5'}, {"001110000", '6'}, {"000100101", '7'},
        {"100100100", '8'}, {"001100100", '9'}, {"100001001", 'A'}, {"001001001", 'B'},
        {"101001000", 'C'}, {"000011001", 'D'}, {"100011000", 'E'}, {"001011000", 'F'},
        {"000001101", 'G'}, {"100001100", 'H'}, {"001001100", 'I'}, {"000011100", 'J'},
        {"100000011", 'K'}, {"001000011", 'L'}, {"101000010", 'M'}, {"000010011", 'N'},
        {"100010010", 'O'}, {"001010010", 'P'}, {"000000111", 'Q'}, {"100000110", 'R'},
        {"001000110", 'S'}, {"000010110", 'T'}, {"110000001", 'U'}, {"011000001", 'V'},
        {"111000000", 'W'}, {"010010001", 'X'}, {"110010000", 'Y'}, {"011010000", 'Z'},
        {"010000101", '-'}, {"110000100", '.'}, {"011000100", ' '}, {"010010100", '*'},
        {"010101000", '$'}, {"010100010", '/'}, {"010001010", '+'}, {"000101010", '%'},
    };
    return table;
}

// Reads a module pattern as a scanner would: runs of equal modules, narrow = the shortest run,
// nine elements per character and one narrow gap between characters. "?" marks what does not
// decode.
std::string DecodeCode39(const std::string& pattern) {
    std::vector<std::size_t> runs;
    for (std::size_t i = 0; i < pattern.size();) {
        std::size_t j = i;
        while (j < pattern.size() && pattern[j] == pattern[i]) ++j;
        runs.push_back(j - i);
        i = j;
    }
    if (runs.empty() || pattern.front() != '1') return "?";
    const std::size_t narrow = *std::min_element(runs.begin(), runs.end());
    std::string text;
    for (std::size_t start = 0; start < runs.size(); start += 10) {
        if (start + 9 > runs.size()) return text + "?";
        std::string key;
        for (std::size_t k = start; k < start + 9; ++k) key += runs[k] > narrow ? '1' : '0';
        const auto found = Code39Table().find(key);
        text += found == Code39Table().end() ? '?' : found->second;
        if (start + 9 < runs.size() && runs[start + 9] != narrow) return text + "?";
    }
    return text;
}

TEST(BarcodeTest, PatternsScanBackToTheirTextOrAreEmpty) {
    struct Case {
        const char* text;
        const char* scanned;  // as a scanner without full-ASCII mode reports it
    };
    const Case cases[] = {
        {"PANEL.PGM", "*PANEL.PGM*"},
        {"%11PANEL.PGM P", "*%11PANEL.PGM P*"},
        {"A-1 $/+", "*A-1 $/+*"},
        // Outside the Code 39 set: the extended pairs, which full-ASCII scanners join again.
        {"side_1.pgm", "*+S+I+D+E%O1.+P+G+M*"},
        {"%11door_2.cnc W", "*/E11+D+O+O+R%O2.+C+N+C W*"},
    };
    for (const Case& c : cases) {
        const std::string pattern = Code39Pattern(c.text);
        EXPECT_EQ(pattern.find_first_not_of("01"), std::string::npos) << c.text;
        EXPECT_EQ(DecodeCode39(pattern), c.scanned) << c.text << "\n" << pattern;
    }
    // Texts that cannot be encoded give no pattern: empty, not ASCII, too long.
    for (const std::string& text :
         {std::string(), std::string("T\xC3\xBCR"), std::string(200, 'A')})
        EXPECT_EQ(Code39Pattern(text), "") << text;
}

TEST(BarcodeTest, BarsAreSolidsSpanningAQuarterOfThePartLength) {
    DrawingWriter writer{DrawingWriter::Keep::kEntities};
    writer.OpenDrawing(std::filesystem::temp_directory_path() / "retracer-barcode.dxf");
    writer.StartDrawing();
    const double length = 800, width = 600, x0 = 100, y0 = 50;
    DrawBarcode(writer, "AB", x0, y0, length, width);
    DrawBarcode(writer, "", x0, y0, length, width);  // draws nothing
    EXPECT_EQ(writer.Error(), "");

    const std::string pattern = Code39Pattern("AB");
    const double m = length / 4 / static_cast<double>(pattern.size());
    const auto& entities = writer.Content().entities;
    ASSERT_EQ(entities.size(),
              static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '1')));
    std::size_t bar = 0;
    for (std::size_t i = 1; i <= pattern.size(); ++i) {
        if (pattern[i - 1] != '1') continue;
        const Entity& e = entities[bar++];
        EXPECT_EQ(e.layer, "Barcode");
        EXPECT_EQ(e.colour, 7);
        // DXF order: left top, left bottom, right top, right bottom fill the whole bar.
        const auto& c = std::get<SolidEntity>(e.geometry).corners;
        const double centre = x0 + static_cast<double>(i) * m;
        EXPECT_NEAR(c[0].x, centre - m / 2, 1e-4) << i;
        EXPECT_NEAR(c[2].x, centre + m / 2, 1e-4) << i;
        EXPECT_NEAR(c[0].y, y0 + width / 20, 1e-4);
        EXPECT_NEAR(c[1].y, y0, 1e-4);
        EXPECT_TRUE(c[1].x == c[0].x && c[3].x == c[2].x && c[2].y == c[0].y && c[3].y == c[1].y);
    }
    EXPECT_EQ(pattern.back(), '1');  // the last bar closes the code a quarter of L after x0
}

}  // namespace
}  // namespace retracer
