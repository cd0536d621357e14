#include "translate/text_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace retracer {
namespace {

using namespace std::string_literals;

// Reference decoder, written from the bit patterns rather than the range table the codec uses,
// so the two can check each other. Returns nothing when the bytes are not well-formed UTF-8.
std::optional<std::u32string> StrictUtf8(std::string_view s) {
    std::u32string out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = c;
        char32_t min = 0;
        if (c >= 0x80) {
            if ((c & 0xE0) == 0xC0) {
                extra = 1, cp = c & 0x1F, min = 0x80;
            } else if ((c & 0xF0) == 0xE0) {
                extra = 2, cp = c & 0x0F, min = 0x800;
            } else if ((c & 0xF8) == 0xF0) {
                extra = 3, cp = c & 0x07, min = 0x10000;
            } else {
                return std::nullopt;
            }
        }
        if (i + extra >= s.size()) return std::nullopt;  // sequence cut off by the end
        for (int k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return std::nullopt;
            cp = (cp << 6) | (t & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
        out.push_back(cp);
        i += extra + 1;
    }
    return out;
}

std::string Utf8Of(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    std::string utf8;
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

class CodecDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(CodecDecodeTest, DetectsAndDecodes) {
    const DecodeCase& c = GetParam();
    EXPECT_EQ(DetectEncoding(c.bytes), c.encoding);
    const std::string out = DecodeText(c.bytes);
    EXPECT_EQ(out, c.utf8);
    EXPECT_TRUE(StrictUtf8(out).has_value());
}

const DecodeCase kDecodeCases[] = {
    {"Empty", "", TextEncoding::kUtf8, ""},
    {"Ascii", "G1 X10\r\nM30\n", TextEncoding::kUtf8, "G1 X10\r\nM30\n"},
    {"Utf8Kept", "R1=90 \xC2\xB0 \xE2\x82\xAC \xF0\x9F\x98\x80", TextEncoding::kUtf8,
     "R1=90 \xC2\xB0 \xE2\x82\xAC \xF0\x9F\x98\x80"},
    {"Utf8LargestCodePoint", "\xF4\x8F\xBF\xBF", TextEncoding::kUtf8, "\xF4\x8F\xBF\xBF"},
    {"NulKept", "a\0b"s, TextEncoding::kUtf8, "a\0b"s},
    {"Utf8BomStripped",
     "\xEF\xBB\xBF"
     "M30 \xC2\xB0",
     TextEncoding::kUtf8Bom, "M30 \xC2\xB0"},
    {"Utf8BomOnly", "\xEF\xBB\xBF", TextEncoding::kUtf8Bom, ""},
    {"Utf8BomWithStrayByte",
     "\xEF\xBB\xBF"
     "\xC3\xA9 90\xB0",
     TextEncoding::kUtf8Bom, "\xC3\xA9 90\xC2\xB0"},
    {"Utf16LeAscii",
     "\xFF\xFE"
     "G\0"
     "1\0"
     "\r\0\n\0"s,
     TextEncoding::kUtf16Le, "G1\r\n"},
    {"Utf16BeAscii",
     "\xFE\xFF"
     "\0G"
     "\0"
     "1"s,
     TextEncoding::kUtf16Be, "G1"},
    {"Utf16LeBmp",
     "\xFF\xFE"
     "\xB0\0"
     "\xAC\x20"s,
     TextEncoding::kUtf16Le, "\xC2\xB0\xE2\x82\xAC"},
    {"Utf16LeNonBmp",
     "\xFF\xFE"
     "=\0"
     "\x3D\xD8\x00\xDE"
     "!\0"s,
     TextEncoding::kUtf16Le, "=\xF0\x9F\x98\x80!"},
    {"Utf16BeNonBmp",
     "\xFE\xFF"
     "\xD8\x3D\xDE\x00"s,
     TextEncoding::kUtf16Be, "\xF0\x9F\x98\x80"},
    {"Utf16LeNul",
     "\xFF\xFE"
     "\0\0"
     "A\0"s,
     TextEncoding::kUtf16Le, "\0A"s},
    {"Utf16LoneHighSurrogate",
     "\xFF\xFE"
     "\x00\xD8"
     "A\0"s,
     TextEncoding::kUtf16Le,
     "\xEF\xBF\xBD"
     "A"},
    {"Utf16LoneLowSurrogate",
     "\xFE\xFF"
     "\xDC\x00"
     "\0B"s,
     TextEncoding::kUtf16Be,
     "\xEF\xBF\xBD"
     "B"},
    {"Utf16HighSurrogateAtEnd",
     "\xFF\xFE"
     "A\0"
     "\x3D\xD8"s,
     TextEncoding::kUtf16Le, "A\xEF\xBF\xBD"},
    {"Utf16TwoHighSurrogates",
     "\xFF\xFE"
     "\x3D\xD8\x3D\xD8\x00\xDE"s,
     TextEncoding::kUtf16Le, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    {"Utf16OddTrailingByte",
     "\xFF\xFE"
     "A\0"
     "B"s,
     TextEncoding::kUtf16Le, "A\xEF\xBF\xBD"},
    {"Utf16BomOnly", "\xFF\xFE", TextEncoding::kUtf16Le, ""},
    {"Cp1252Degree", "90\xB0", TextEncoding::kWindows1252, "90\xC2\xB0"},
    {"Cp1252Euro", "\x80", TextEncoding::kWindows1252, "\xE2\x82\xAC"},
    {"Cp1252Undefined", "\x81\x8D\x8F\x90\x9D", TextEncoding::kWindows1252,
     "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D"},
    {"Cp1252PlaceholderBytes", "\x8E\x8F", TextEncoding::kWindows1252, "\xC5\xBD\xC2\x8F"},
    {"Cp1252Edges", "\x9F\xA0\xFF", TextEncoding::kWindows1252, "\xC5\xB8\xC2\xA0\xC3\xBF"},
    // One bad byte makes the whole file Windows-1252, including bytes that looked like UTF-8.
    {"Cp1252WholeFile", "\xC3\xA9\xFF", TextEncoding::kWindows1252, "\xC3\x83\xC2\xA9\xC3\xBF"},
    {"OverlongIsNotUtf8", "\xC0\xAF", TextEncoding::kWindows1252, "\xC3\x80\xC2\xAF"},
    {"EncodedSurrogateIsNotUtf8", "\xED\xA0\x80", TextEncoding::kWindows1252,
     "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},
    {"BeyondU10FFFFIsNotUtf8", "\xF4\x90\x80\x80", TextEncoding::kWindows1252,
     "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},
    {"TruncatedSequence", "abc\xE2\x82", TextEncoding::kWindows1252, "abc\xC3\xA2\xE2\x80\x9A"},
};

INSTANTIATE_TEST_SUITE_P(Cases, CodecDecodeTest, testing::ValuesIn(kDecodeCases),
                         [](const testing::TestParamInfo<DecodeCase>& case_info) {
                             return std::string(case_info.param.name);
                         });

// Every byte must decode, each to its own character: a file read twice reads the same, and no
// byte is lost to U+FFFD.
TEST(DecodeTextCodec, Windows1252MapsEveryUpperByteToADistinctCharacter) {
    std::set<char32_t> seen;
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string out = DecodeText(std::string(1, static_cast<char>(b)));
        const auto cps = StrictUtf8(out);
        ASSERT_TRUE(cps.has_value()) << "byte " << b;
        ASSERT_EQ(cps->size(), 1u) << "byte " << b;
        EXPECT_NE((*cps)[0], U'\uFFFD') << "byte " << b;
        EXPECT_GE((*cps)[0], 0x80u) << "byte " << b;
        seen.insert((*cps)[0]);
    }
    EXPECT_EQ(seen.size(), 128u);
}

// Whatever the bytes, the result is well-formed UTF-8; in particular no lone byte 0x8E or 0x8F
// (the evaluator's private placeholders) can come out of a user's file.
TEST(DecodeTextCodec, ArbitraryBytesAlwaysGiveValidUtf8) {
    std::mt19937 rng(20240611);
    const std::string prefixes[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    // Bytes that matter most: lead bytes, continuation bytes, surrogate halves, placeholders.
    const unsigned char interesting[] = {0x00, 0x0A, 0x0D, 0x41, 0x7F, 0x80, 0x8E, 0x8F,
                                         0xA6, 0xBF, 0xC0, 0xC2, 0xD8, 0xDC, 0xDF, 0xE0,
                                         0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFE, 0xFF};
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = prefixes[rng() % 4];
        const std::size_t length = rng() % 40;
        for (std::size_t k = 0; k < length; ++k) {
            bytes += static_cast<char>(rng() % 2 ? interesting[rng() % sizeof interesting]
                                                 : rng() % 256);
        }
        const std::string out = DecodeText(bytes);
        ASSERT_TRUE(StrictUtf8(out).has_value()) << "round " << round;
        // The codec's own validator must agree with the reference on the raw input too.
        ASSERT_EQ(IsValidUtf8(bytes), StrictUtf8(bytes).has_value()) << "round " << round;
    }
}

TEST(DecodeTextCodec, ValidUtf8RoundTripsUnchanged) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::uint32_t> any(0, 0x10FFFF);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        for (int k = 0; k < 30; ++k) {
            char32_t cp = any(rng);
            if (cp >= 0xD800 && cp <= 0xDFFF) cp = 'x';
            if (rng() % 2) cp &= 0x7F;             // mostly ASCII, like real programs
            if (k == 0 && cp == 0xFEFF) cp = 'y';  // a leading U+FEFF would be a BOM
            text += Utf8Of(cp);
        }
        ASSERT_EQ(DetectEncoding(text), TextEncoding::kUtf8);
        ASSERT_EQ(DecodeText(text), text);
    }
}

TEST(DecodeTextCodec, SequenceLengthOfEachForm) {
    const struct {
        std::string bytes;
        std::size_t length;
    } cases[] = {{"", 0},
                 {"A", 1},
                 {"\xC2\xA6x", 2},
                 {"\xE2\x82\xAC", 3},
                 {"\xF0\x9F\x98\x80", 4},
                 {"\xA6", 0},
                 {"\xC2", 0},
                 {"\xE0\x80\x80", 0},
                 {"\xED\xBF\xBF", 0},
                 {"\xF8\x80\x80\x80", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8SequenceLength(c.bytes), c.length) << testing::PrintToString(c.bytes);
    }
}

struct LineCase {
    const char* name;
    std::string text;
    std::vector<std::string> lines;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.name;
}

class CodecLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(CodecLineTest, SplitsLines) {
    std::vector<std::string> lines;
    ForEachLine(GetParam().text, [&](std::string_view line) { lines.emplace_back(line); });
    EXPECT_EQ(lines, GetParam().lines);
}

const LineCase kLineCases[] = {
    {"EmptyTextHasNoLines", "", {}},
    {"FinalLineWithoutEnd", "G1", {"G1"}},
    {"TrailingLfAddsNoLine", "G1\n", {"G1"}},
    {"TrailingCrLfAddsNoLine", "G1\r\n", {"G1"}},
    {"TrailingCrAddsNoLine", "G1\r", {"G1"}},
    {"MixedLineEnds", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
    {"LfCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
    {"CrCrLf", "a\r\r\nb", {"a", "", "b"}},
    {"EmptyLinesKept", "\n\nx\n\n", {"", "", "x", ""}},
    {"SingleLineEnd", "\r\n", {""}},
    {"NulInsideLine", "a\0b\nc"s, {"a\0b"s, "c"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CodecLineTest, testing::ValuesIn(kLineCases),
                         [](const testing::TestParamInfo<LineCase>& case_info) {
                             return std::string(case_info.param.name);
                         });

TEST(LineCursorCodec, LinesAreViewsIntoTheText) {
    const std::string text = "one\r\ntwo";
    LineCursor cursor(text);
    std::string_view line;
    ASSERT_TRUE(cursor.Next(line));
    EXPECT_EQ(line.data(), text.data());
    ASSERT_TRUE(cursor.Next(line));
    EXPECT_EQ(line.data(), text.data() + 5);
    EXPECT_FALSE(cursor.Next(line));
    EXPECT_FALSE(cursor.Next(line));
}

class ReadTextFileCodec : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               ("retracer_codec_" + std::string(info->name()) + "_" +
                std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& name, const std::string& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path dir_;
};

TEST_F(ReadTextFileCodec, DecodesEachEncoding) {
    const struct {
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {"G1 X1\r\n", "G1 X1\r\n"},
        {"\xEF\xBB\xBF"
         "G1",
         "G1"},
        {"\xFF\xFE"
         "G\0"
         "1\0"s,
         "G1"},
        {"90\xB0", "90\xC2\xB0"},
        {"", ""},
    };
    for (const auto& c : cases) {
        const auto path = Write("program.pgm", c.bytes);
        std::string utf8 = "stale";
        std::string error;
        ASSERT_TRUE(ReadTextFile(path, utf8, &error)) << error;
        EXPECT_EQ(utf8, c.utf8);
    }
}

TEST_F(ReadTextFileCodec, LargeFileReadsWhole) {
    std::string bytes;
    for (int i = 0; bytes.size() < 3'000'000; ++i) bytes += "G1 X" + std::to_string(i) + "\n";
    std::string utf8;
    ASSERT_TRUE(ReadTextFile(Write("big.pgm", bytes), utf8, nullptr));
    EXPECT_EQ(utf8, bytes);
}

TEST_F(ReadTextFileCodec, FailuresNameTheFile) {
    const std::filesystem::path missing = dir_ / "missing.pgm";
    for (const auto& path : {missing, dir_}) {
        std::string utf8 = "stale";
        std::string error;
        EXPECT_FALSE(ReadTextFile(path, utf8, &error));
        EXPECT_TRUE(utf8.empty());
        EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    }
    std::string utf8;
    EXPECT_FALSE(ReadTextFile(missing, utf8, nullptr));  // no message wanted: still no crash
}

}  // namespace
}  // namespace retracer
