#include "translate/line_scanner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "translate/text_codec.h"

namespace retracer {
namespace {

using namespace std::string_literals;

// Writes down every event as text: "begin", "3:<text>/<fields>", "end"; an optional action runs
// on each line after it is recorded.
class Recorder : public ScanHandler {
  public:
    std::vector<std::string> events;
    std::function<void(LineScanner&)> on_line;
    std::function<void(LineScanner&)> on_begin;

    void ScanBegin(LineScanner& scanner) override {
        events.push_back("begin@" + std::to_string(scanner.LineNumber()));
        if (on_begin) on_begin(scanner);
    }
    void LineRead(LineScanner& scanner) override {
        const FieldSplitter& line = scanner.Current();
        events.push_back(std::to_string(scanner.LineNumber()) + ":" + line.Text() + "/" +
                         std::to_string(line.FieldCount()));
        if (on_line) on_line(scanner);
    }
    void ScanEnd(LineScanner& scanner) override {
        events.push_back("end@" + std::to_string(scanner.LineNumber()));
    }
};

using Events = std::vector<std::string>;

struct ScanCase {
    const char* name;
    std::string text;
    Events events;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

class LineScannerTest : public testing::TestWithParam<ScanCase> {};

TEST_P(LineScannerTest, RaisesEventsInOrder) {
    LineScanner scanner;
    Recorder recorder;
    scanner.ScanText(GetParam().text, recorder);
    EXPECT_EQ(recorder.events, GetParam().events);
}

const ScanCase kScanCases[] = {
    {"EmptyTextOnlyBeginAndEnd", "", {"begin@0", "end@0"}},
    {"OneLineWithoutEnd", "G1 X5", {"begin@0", "1:G1 X5/2", "end@1"}},
    {"MixedLineEnds",
     "%\r\nG0 X1\nM30\rT1 M6 ; c\n",
     {"begin@0", "1:%/1", "2:G0 X1/2", "3:M30/1", "4:T1 M6 ; c/4", "end@4"}},
    {"EmptyLinesAreLines", "\n\nA", {"begin@0", "1:/1", "2:/1", "3:A/1", "end@3"}},
    {"NulKeptInLine", "a\0b c\n"s, {"begin@0", "1:a\0b c/2"s, "end@1"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, LineScannerTest, testing::ValuesIn(kScanCases),
                         [](const testing::TestParamInfo<ScanCase>& case_info) {
                             return std::string(case_info.param.name);
                         });

TEST(LineScannerBehaviour, RewrittenLineDoesNotLeakIntoNext) {
    LineScanner scanner;
    Recorder recorder;
    recorder.on_line = [](LineScanner& s) {
        if (s.LineNumber() != 1) return;
        s.Current().SetSeparators("XY");
        s.Current().SetText("X1Y2X3");
        EXPECT_EQ(s.Current().FieldCount(), 4);
    };
    scanner.ScanText("A B\nC D\n", recorder);
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:A B/2", "2:C D/2", "end@2"}));
}

TEST(LineScannerBehaviour, DefaultSeparatorsAreThoseAtScanStart) {
    LineScanner scanner;
    scanner.SetDefaultSeparators(",");
    Recorder recorder;
    recorder.on_line = [](LineScanner& s) { s.SetDefaultSeparators(";"); };
    scanner.ScanText("a,b c\nd,e;f", recorder);
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:a,b c/2", "2:d,e;f/2", "end@2"}));
    // The next scan starts with the defaults as changed.
    recorder.events.clear();
    scanner.ScanText("d,e;f", recorder);
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:d,e;f/2", "end@1"}));
    EXPECT_EQ(scanner.Current().Field(2), "f");
}

TEST(LineScannerBehaviour, RequestStopEndsScanButRaisesScanEnd) {
    LineScanner scanner;
    Recorder recorder;
    recorder.on_line = [](LineScanner& s) {
        if (s.LineNumber() == 2) s.RequestStop();
    };
    scanner.ScanText("1\n2\n3\n4\n", recorder);
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:1/1", "2:2/1", "end@2"}));
    EXPECT_TRUE(scanner.StopRequested());

    // A stop belongs to one scan: the next runs to its end.
    recorder.on_line = nullptr;
    recorder.events.clear();
    scanner.ScanText("1\n2\n3", recorder);
    EXPECT_EQ(recorder.events.size(), 5u);
    EXPECT_FALSE(scanner.StopRequested());

    recorder.events.clear();
    recorder.on_begin = [](LineScanner& s) { s.RequestStop(); };
    scanner.ScanText("1\n2\n", recorder);
    EXPECT_EQ(recorder.events, (Events{"begin@0", "end@0"}));
}

TEST(LineScannerBehaviour, NestedScanRestoresOuterLine) {
    LineScanner scanner;
    Recorder inner;
    inner.on_line = [](LineScanner& s) { s.RequestStop(); };
    Recorder outer;
    outer.on_line = [&](LineScanner& s) {
        if (s.LineNumber() != 2) return;
        s.Current().SetSeparators("|");
        scanner.ScanText("sub 1\nsub 2", inner);
        EXPECT_EQ(s.LineNumber(), 2);
        EXPECT_EQ(s.Current().Text(), "b c");
        EXPECT_EQ(s.Current().FieldCount(), 1);  // still split at "|" as the handler set
    };
    scanner.ScanText("a\nb c\nd", outer);
    EXPECT_EQ(inner.events, (Events{"begin@0", "1:sub 1/2", "end@1"}));
    EXPECT_EQ(outer.events, (Events{"begin@0", "1:a/1", "2:b c/2", "3:d/1", "end@3"}));
}

// The current line's own text may be handed back for scanning, e.g. a line holding several.
TEST(LineScannerBehaviour, ScansTextHeldByCurrentLine) {
    LineScanner scanner;
    scanner.Current().SetText("p q\nr s\nt u");
    Recorder recorder;
    scanner.ScanText(scanner.Current().Text(), recorder);
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:p q/2", "2:r s/2", "3:t u/2", "end@3"}));
}

TEST(LineScannerBehaviour, ThrowingHandlerLeavesScannerUsable) {
    LineScanner scanner;
    Recorder thrower;
    thrower.on_line = [](LineScanner&) { throw std::runtime_error("bad line"); };
    EXPECT_THROW(scanner.ScanText("x\ny", thrower), std::runtime_error);

    Recorder recorder;
    scanner.ScanText("1\n2", recorder);
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:1/1", "2:2/1", "end@2"}));
    EXPECT_EQ(scanner.Current().Text(), "2");  // a leftover nesting level would restore "x"
}

TEST(LineScannerBehaviour, MegabyteLine) {
    std::string line;
    line.reserve(5'300'000);
    int words = 0;
    while (line.size() < 5'000'000) {
        line += "X" + std::to_string(words++) + " ";
    }
    line.pop_back();
    LineScanner scanner;
    Recorder recorder;
    int reads = 0;
    recorder.on_line = [&](LineScanner& s) {
        ++reads;
        EXPECT_EQ(s.Current().Text().size(), line.size());
        EXPECT_EQ(s.Current().FieldCount(), words);
        EXPECT_EQ(s.Current().Field(words), "X" + std::to_string(words - 1));
    };
    scanner.ScanText(line + "\r\n", recorder);
    EXPECT_EQ(reads, 1);
}

class LineScannerFiles : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        dir_ =
            std::filesystem::temp_directory_path() / ("retracer_scan_" + std::string(info->name()) +
                                                      "_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path Write(const std::string& bytes) {
        const auto path = dir_ / "program.pgm";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    std::filesystem::path dir_;
};

TEST_F(LineScannerFiles, MissingFileRaisesNoEvents) {
    LineScanner scanner;
    Recorder recorder;
    std::string error;
    const auto missing = dir_ / "nope.pgm";
    EXPECT_FALSE(scanner.ScanFile(missing, recorder, &error));
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_NE(error.find("nope.pgm"), std::string::npos) << error;
}

TEST_F(LineScannerFiles, Utf16ProgramIsDecoded) {
    // "G1 X°\r\nM30" in UTF-16 LE with its mark, as machine editors save it.
    const std::string bytes =
        "\xFF\xFE"
        "G\0"
        "1\0"
        " \0"
        "X\0"
        "\xB0\0"
        "\r\0\n\0"
        "M\0"
        "3\0"
        "0\0"s;
    LineScanner scanner;
    Recorder recorder;
    std::string error;
    ASSERT_TRUE(scanner.ScanFile(Write(bytes), recorder, &error)) << error;
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:G1 X\xC2\xB0/2", "2:M30/1", "end@2"}));
}

TEST_F(LineScannerFiles, BinaryFileGivesTextLines) {
    std::mt19937 rng(99);
    std::string bytes;
    for (int i = 0; i < 200'000; ++i) bytes += static_cast<char>(rng() % 256);
    LineScanner scanner;
    Recorder recorder;
    int lines = 0;
    recorder.on_line = [&](LineScanner& s) {
        ++lines;
        const std::string& text = s.Current().Text();
        ASSERT_TRUE(IsValidUtf8(text)) << "line " << s.LineNumber();
        ASSERT_EQ(text.find_first_of("\r\n"), std::string::npos);
        recorder.events.clear();  // keep memory flat: only the checks matter here
    };
    ASSERT_TRUE(scanner.ScanFile(Write(bytes), recorder, nullptr));
    EXPECT_GT(lines, 100);
    EXPECT_EQ(scanner.LineNumber(), lines);
}

}  // namespace
}  // namespace retracer
