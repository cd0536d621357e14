#include "base/text_codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace retracer {
namespace {

using namespace std::string_literals;

// Well-formed UTF-8, checked from the bit patterns rather than the codec's range table.
bool WellFormed(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const int extra = c < 0x80             ? 0
                          : (c & 0xE0) == 0xC0 ? 1
                          : (c & 0xF0) == 0xE0 ? 2
                          : (c & 0xF8) == 0xF0 ? 3
                                               : -1;
        if (extra < 0 || i + extra >= s.size()) return false;
        char32_t cp = extra == 0 ? c : c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

const std::string kFffd = "\xEF\xBF\xBD";

TEST(DecodeTextCodec, DetectsAndDecodes) {
    using E = TextEncoding;
    const struct {
        std::string bytes;
        TextEncoding encoding;
        std::string utf8;
    } cases[] = {
        {"", E::kUtf8, ""},
        {"G1 X10\r\na\0b"s, E::kUtf8, "G1 X10\r\na\0b"s},
        {"\xC2\xB0\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", E::kUtf8,
         "\xC2\xB0\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        {"\xEF\xBB\xBF\xC3\xA9 90\xB0", E::kUtf8Bom, "\xC3\xA9 90\xC2\xB0"},  // stray byte
        {"\xFF\xFEG\0"s + "1\0\r\0\n\0\xB0\0\xAC\x20"s, E::kUtf16Le, "G1\r\n\xC2\xB0\xE2\x82\xAC"},
        {"\xFE\xFF\0=\xD8\x3D\xDE\x00"s, E::kUtf16Be, "=\xF0\x9F\x98\x80"},
        {"\xFF\xFE\x00\xD8"s + "A\0\x00\xDC\x3D\xD8"s, E::kUtf16Le, kFffd + "A" + kFffd + kFffd},
        {"\xFF\xFEZ\0B"s, E::kUtf16Le, "Z" + kFffd},  // odd trailing byte
        {"90\xB0\x80\x9F", E::kWindows1252, "90\xC2\xB0\xE2\x82\xAC\xC5\xB8"},
        {"\x81\x8F", E::kWindows1252, "\xC2\x81\xC2\x8F"},  // undefined in the code page
        // One bad byte makes the whole file Windows-1252, including bytes that looked like UTF-8;
        // which byte runs are bad is checked against an independent decoder at random below.
        {"\xC3\xA9\xFF", E::kWindows1252, "\xC3\x83\xC2\xA9\xC3\xBF"},
        {"abc\xE2\x82", E::kWindows1252, "abc\xC3\xA2\xE2\x80\x9A"},  // truncated sequence
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectEncoding(c.bytes), c.encoding) << testing::PrintToString(c.bytes);
        const std::string out = DecodeText(c.bytes);
        EXPECT_EQ(out, c.utf8) << testing::PrintToString(c.bytes);
        EXPECT_TRUE(WellFormed(out));
    }
}

// Every byte decodes to its own character: no byte is lost to U+FFFD.
TEST(DecodeTextCodec, Windows1252MapsEveryUpperByteToADistinctCharacter) {
    std::set<std::string> seen;
    for (int b = 0x80; b <= 0xFF; ++b) {
        const std::string out = DecodeText(std::string(1, static_cast<char>(b)));
        EXPECT_TRUE(WellFormed(out)) << "byte " << b;
        EXPECT_EQ(Utf8SequenceLength(out), out.size()) << "byte " << b;
        EXPECT_GE(out.size(), 2u) << "byte " << b;
        EXPECT_NE(out, kFffd) << "byte " << b;
        seen.insert(out);
    }
    EXPECT_EQ(seen.size(), 128u);
}

// Whatever the bytes, the result is well-formed UTF-8; in particular no lone byte 0x8E or 0x8F
// (the evaluator's private placeholders) can come out of a user's file.
TEST(DecodeTextCodec, ArbitraryBytesAlwaysGiveValidUtf8) {
    std::mt19937 rng(20240611);
    const std::string prefixes[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    const unsigned char interesting[] = {0x00, 0x0D, 0x41, 0x80, 0x8E, 0x8F, 0xBF, 0xC0, 0xC2,
                                         0xD8, 0xDC, 0xE0, 0xED, 0xF0, 0xF4, 0xF5, 0xFF};
    for (int round = 0; round < 20000; ++round) {
        std::string bytes = prefixes[rng() % 4];
        for (std::size_t k = rng() % 40; k > 0; --k)
            bytes += static_cast<char>(rng() % 2 ? interesting[rng() % sizeof interesting]
                                                 : rng() % 256);
        ASSERT_TRUE(WellFormed(DecodeText(bytes))) << "round " << round;
        ASSERT_EQ(IsValidUtf8(bytes), WellFormed(bytes)) << "round " << round;
    }
}

TEST(DecodeTextCodec, SequenceLengthOfEachForm) {
    for (const auto& [bytes, length] :
         {std::pair{"", 0u}, std::pair{"A", 1u}, std::pair{"\xC2\xA6x", 2u},
          std::pair{"\xE2\x82\xAC", 3u}, std::pair{"\xF0\x9F\x98\x80", 4u}, std::pair{"\xA6", 0u},
          std::pair{"\xC2", 0u}, std::pair{"\xE0\x80\x80", 0u}, std::pair{"\xED\xBF\xBF", 0u}})
        EXPECT_EQ(Utf8SequenceLength(bytes), length) << testing::PrintToString(bytes);
}

TEST(DecodeTextCodec, LinesSplitAtEveryLineEnd) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {}},
        {"G1\r", {"G1"}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\rb\r\r\nc", {"a", "", "b", "", "c"}},
        {"\n\nx\n\n", {"", "", "x", ""}},
        {"a\0b\nc"s, {"a\0b"s, "c"}},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<std::string> lines;
        ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
        EXPECT_EQ(lines, expected) << testing::PrintToString(text);
    }
}

// Spaces only, or blanks and tabs: the two trims the readers of our files use.
TEST(DecodeTextCodec, TrimsOfBlanks) {
    struct Case {
        std::string_view text, spaces, blanks;
    };
    const Case cases[] = {
        {"", "", ""},
        {" \t ", "\t", ""},
        {"\t a b \t", "\t a b \t", "a b"},
        {"  x\ty  ", "x\ty", "x\ty"},
        {"\r x \n", "\r x \n", "\r x \n"},  // line ends are not blanks
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TrimSpaces(c.text), c.spaces) << testing::PrintToString(c.text);
        EXPECT_EQ(TrimBlanks(c.text), c.blanks) << testing::PrintToString(c.text);
    }
}

TEST(ReadTextFileCodec, DecodesFilesAndNamesTheFileOnFailure) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("retracer_codec_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    std::string big;
    for (int i = 0; big.size() < 3'000'000; ++i) big += "G1 X" + std::to_string(i) + "\n";
    for (const auto& [bytes, utf8] :
         {std::pair{"\xFF\xFEG\0"s + "1\0"s, "G1"s}, std::pair{"90\xB0"s, "90\xC2\xB0"s},
          std::pair{""s, ""s}, std::pair{big, big}}) {
        std::ofstream(dir / "program.pgm", std::ios::binary) << bytes;
        std::string read = "stale";
        std::string error;
        ASSERT_TRUE(ReadTextFile(dir / "program.pgm", read, &error)) << error;
        EXPECT_EQ(read, utf8);
    }
    for (const auto& path : {dir / "missing.pgm", dir}) {
        std::string read = "stale";
        std::string error;
        EXPECT_FALSE(ReadTextFile(path, read, &error));
        EXPECT_TRUE(read.empty());
        EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    }
    std::string read;
    EXPECT_FALSE(ReadTextFile(dir / "missing.pgm", read, nullptr));  // no message wanted
    std::filesystem::remove_all(dir);
}

// ---- Reading a file line by line, in pieces ----------------------------------------------------

// A scratch folder with one file at a time, removed at the end.
class FileLinesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("retracer_lines_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& bytes) {
        const auto path = dir_ / "program.pgm";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }

    // Every line read in pieces of `piece` bytes, a long one marked "<long>" before its start.
    std::vector<std::string> ReadLines(const std::string& bytes, std::size_t piece,
                                       std::size_t maxLine = TextFileLines::kMaxLineBytes) {
        TextFileLines lines(piece, maxLine);
        std::string error;
        EXPECT_TRUE(lines.Open(Write(bytes), &error)) << error;
        std::vector<std::string> read;
        std::string_view line;
        for (;;) {
            const TextFileLines::Status status = lines.Next(line);
            if (status == TextFileLines::Status::kEnd) break;
            EXPECT_NE(status, TextFileLines::Status::kError) << lines.Error();
            if (status == TextFileLines::Status::kError) break;
            read.push_back((status == TextFileLines::Status::kLongLine ? "<long>" : "") +
                           std::string(line));
        }
        EXPECT_EQ(lines.Next(line), TextFileLines::Status::kEnd) << "the end stays the end";
        return read;
    }

    // The lines of the whole file decoded at once.
    static std::vector<std::string> WholeFileLines(const std::string& bytes) {
        std::vector<std::string> lines;
        ForEachLine(DecodeText(bytes), [&](std::string_view line) { lines.emplace_back(line); });
        return lines;
    }

    std::filesystem::path dir_;
};

// `count` lines "G1 X<k>" in UTF-16 LE without a byte-order mark.
std::string Utf16LeLines(int count) {
    std::string bytes;
    for (int k = 0; k < count; ++k) {
        for (const char c : "G1 X" + std::to_string(k) + "\r\n") {
            bytes += c;
            bytes += '\0';
        }
    }
    return bytes;
}

// Whatever the pieces, the lines are those of the whole file decoded at once: line ends, multi-
// byte sequences and UTF-16 code units cut between two pieces are put together again, and the
// encoding is the whole file's even when the first byte that decides it comes late.
TEST_F(FileLinesTest, PiecesGiveTheLinesOfTheWholeFile) {
    const std::pair<const char*, std::string> cases[] = {
        {"empty file", ""},
        {"line ends of every kind", "a\r\nb\nc\rd\n\re\r\r\nf"},
        {"CR LF cut by pieces", "ab\r\ncd\r\nef\r\n"},
        {"lone CR at the very end", "ab\r"},
        {"last line without line end", "G1 X1\nG1 X2"},
        {"only line ends", "\n\n\r\n\r"},
        {"NUL bytes inside lines", "a\0b\n\0\n"s},
        {"UTF-8 of two, three and four bytes", "90\xC2\xB0\n\xE2\x82\xAC 5\n\xF0\x9F\x98\x80!\n"},
        {"Windows-1252 decided by the last byte", std::string(40, 'x') + "\n\xB0 \xE9\n\x80"},
        {"UTF-8 broken only at the end", "\xC3\xA9t\xC3\xA9\n" + std::string(30, 'y') + "\n\xC3"},
        {"UTF-8 mark with a stray byte", "\xEF\xBB\xBF\xC3\xA9\n\xB0\n\xE2\x82\xAC"},
        {"UTF-8 mark only", "\xEF\xBB\xBF"},
        {"UTF-16 LE with a surrogate pair", "\xFF\xFEG\0001\0\r\0\n\0\x3D\xD8\x00\xDE\n\0"s},
        {"UTF-16 BE with a lone surrogate", "\xFE\xFF\0G\xD8\x3D\0\n\0x"s},
        {"UTF-16 with half a unit at the end",
         "\xFF\xFE"
         "a\0b"s},
        {"UTF-16 LE without a mark", "G\0001\0 \0X\0\xB0\0\r\0\n\0"s},
        {"UTF-16 BE without a mark", "\0G\0001\0\n\0\xE9"s},
        {"UTF-16 LE without a mark, longer than the head that tells it", Utf16LeLines(3000)},
        {"two bytes that look like a mark", "\xFF\xFE"},
        {"one byte", "\xFF"},
    };
    for (const auto& [name, bytes] : cases) {
        const std::vector<std::string> expected = WholeFileLines(bytes);
        for (const std::size_t piece : {1, 2, 3, 4, 5, 7, 64, 1 << 20}) {
            EXPECT_EQ(ReadLines(bytes, piece), expected) << name << ", pieces of " << piece;
        }
    }
}

// Random files of lines, line ends and bytes of every kind, in random pieces.
TEST_F(FileLinesTest, RandomFilesReadAsTheWholeFile) {
    std::mt19937 random(17);
    const std::string pool[] = {
        "G1 X", "\r\n", "\n",  "\r",      "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
        "\xB0", "\xC3", "\0"s, "::SIDE=1"};
    for (int round = 0; round < 200; ++round) {
        std::string bytes = round % 10 == 0 ? "\xEF\xBB\xBF" : "";
        const int parts = std::uniform_int_distribution<int>(0, 60)(random);
        for (int k = 0; k < parts; ++k)
            bytes +=
                pool[std::uniform_int_distribution<std::size_t>(0, std::size(pool) - 1)(random)];
        const std::size_t piece = std::uniform_int_distribution<std::size_t>(1, 9)(random);
        ASSERT_EQ(ReadLines(bytes, piece), WholeFileLines(bytes))
            << "round " << round << ", pieces of " << piece << ": "
            << testing::PrintToString(bytes);
    }
}

// A line over the limit comes cut (at a character's start) and marked; the rest of it is
// skipped, however it is cut into pieces, and the next line reads as usual.
TEST_F(FileLinesTest, LongLinesComeCutAndTheRestIsSkipped) {
    const std::string eight = "12345678";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"just at the limit", "short\n" + eight + "\nnext", {"short", eight, "next"}},
        {"one byte over", "short\n" + eight + "9\nnext", {"short", "<long>" + eight, "next"}},
        {"far over, CR LF", std::string(100, 'x') + "\r\nnext\r\n", {"<long>xxxxxxxx", "next"}},
        {"far over, last line", "a\n" + std::string(100, 'x'), {"a", "<long>xxxxxxxx"}},
        {"cut before a character", "1234567\xC3\xA9\xC3\xA9\nz", {"<long>1234567", "z"}},
        {"two in a row",
         std::string(20, 'a') + "\n" + std::string(20, 'b') + "\n",
         {"<long>aaaaaaaa", "<long>bbbbbbbb"}},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece : {1, 3, 8, 9, 1 << 20}) {
            EXPECT_EQ(ReadLines(c.bytes, piece, 8), c.lines) << c.name << ", pieces of " << piece;
        }
    }
}

TEST_F(FileLinesTest, FilesThatCannotBeOpenedAreNamed) {
    for (const auto& path : {dir_ / "missing.pgm", dir_}) {
        TextFileLines lines;
        std::string error;
        EXPECT_FALSE(lines.Open(path, &error));
        EXPECT_NE(error.find(path.string()), std::string::npos) << error;
        std::string_view line;
        EXPECT_EQ(lines.Next(line), TextFileLines::Status::kError);
        EXPECT_EQ(lines.Error(), error);
    }
}

}  // namespace
}  // namespace retracer
