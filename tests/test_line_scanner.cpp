#include "base/line_scanner.h"

#include "base/text_codec.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace retracer {
namespace {

using namespace std::string_literals;
using Events = std::vector<std::string>;

// Writes down every event as "begin@<line>", "<line>:<text>/<field count>", "end@<line>"; an
// optional action runs on each line after it is recorded.
class Recorder : public ScanHandler {
  public:
    Events events;
    std::function<void(LineScanner&)> on_line;

    void ScanBegin(LineScanner& s) override {
        events.push_back("begin@" + std::to_string(s.LineNumber()));
    }
    void LineRead(LineScanner& s) override {
        events.push_back(std::to_string(s.LineNumber()) + ":" + s.Current().Text() + "/" +
                         std::to_string(s.Current().FieldCount()));
        if (on_line) on_line(s);
    }
    void ScanEnd(LineScanner& s) override {
        events.push_back("end@" + std::to_string(s.LineNumber()));
    }
};

Events Scan(LineScanner& scanner, std::string_view text, Recorder recorder = {}) {
    scanner.ScanText(text, recorder);
    return recorder.events;
}

TEST(LineScannerTest, RaisesEventsInOrder) {
    const std::pair<std::string, Events> cases[] = {
        {"", {"begin@0", "end@0"}},
        {"%\r\nG0 X1\nM30\rT1 M6 ; c",
         {"begin@0", "1:%/1", "2:G0 X1/2", "3:M30/1", "4:T1 M6 ; c/4", "end@4"}},
        {"\n\na\0b c\n"s, {"begin@0", "1:/1", "2:/1", "3:a\0b c/2"s, "end@3"}},
    };
    for (const auto& [text, events] : cases) {
        LineScanner scanner;
        EXPECT_EQ(Scan(scanner, text), events) << testing::PrintToString(text);
    }
}

TEST(LineScannerTest, RewrittenLineAndDefaultsDoNotLeakIntoNextLine) {
    LineScanner scanner;
    scanner.SetDefaultSeparators(",");
    Recorder recorder;
    recorder.on_line = [](LineScanner& s) {
        s.Current().SetSeparators("XY");
        s.Current().SetText("X1Y2X3");
        s.SetDefaultSeparators(";");  // only for scans to come
    };
    EXPECT_EQ(Scan(scanner, "a,b c\nd,e;f", recorder),
              (Events{"begin@0", "1:a,b c/2", "2:d,e;f/2", "end@2"}));
    EXPECT_EQ(Scan(scanner, "d,e;f"), (Events{"begin@0", "1:d,e;f/2", "end@1"}));
}

TEST(LineScannerTest, StopOrExceptionEndsOnlyTheCurrentScan) {
    LineScanner scanner;
    Recorder stopper;
    stopper.on_line = [](LineScanner& s) {
        if (s.LineNumber() == 2) s.RequestStop();
    };
    EXPECT_EQ(Scan(scanner, "1\n2\n3\n", stopper), (Events{"begin@0", "1:1/1", "2:2/1", "end@2"}));
    EXPECT_TRUE(scanner.StopRequested());
    EXPECT_EQ(Scan(scanner, "1\n2\n3").size(), 5u);  // a stop belongs to one scan
    EXPECT_FALSE(scanner.StopRequested());
    Recorder thrower;
    thrower.on_line = [](LineScanner&) { throw std::runtime_error("bad line"); };
    EXPECT_THROW(scanner.ScanText("x\ny", thrower), std::runtime_error);
    EXPECT_EQ(Scan(scanner, "1\n2"), (Events{"begin@0", "1:1/1", "2:2/1", "end@2"}));
    EXPECT_EQ(scanner.Current().Text(), "2");  // a leftover nesting level would restore "x"
}

TEST(LineScannerTest, NestedScanOfTheLinesOwnTextRestoresOuterLine) {
    LineScanner scanner;
    Recorder inner;
    inner.on_line = [](LineScanner& s) { s.RequestStop(); };
    Recorder outer;
    outer.on_line = [&](LineScanner& s) {
        if (s.LineNumber() != 2) return;
        s.Current().SetSeparators("|");
        s.Current().SetText("p q\nr s");
        scanner.ScanText(s.Current().Text(), inner);
        EXPECT_EQ(s.LineNumber(), 2);
        EXPECT_EQ(s.Current().Text(), "p q\nr s");
        EXPECT_EQ(s.Current().FieldCount(), 1);  // still split at "|" as the handler set
    };
    scanner.ScanText("a\nb c\nd", outer);
    EXPECT_EQ(inner.events, (Events{"begin@0", "1:p q/2", "end@1"}));
    EXPECT_EQ(outer.events, (Events{"begin@0", "1:a/1", "2:b c/2", "3:d/1", "end@3"}));
}

TEST(LineScannerTest, HugeLine) {
    std::string line;
    int words = 0;
    while (line.size() < 5'000'000) line += "X" + std::to_string(words++) + " ";
    LineScanner scanner;
    Recorder recorder;
    recorder.on_line = [&](LineScanner& s) {
        EXPECT_EQ(s.Current().FieldCount(), words + 1);  // the blank at the end adds an empty one
        EXPECT_EQ(s.Current().Field(words), "X" + std::to_string(words - 1));
    };
    EXPECT_EQ(Scan(scanner, line + "\r\n", recorder).size(), 3u);
}

TEST(LineScannerTest, ScanFileDecodesAndReportsMissingFile) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("retracer_scan_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    LineScanner scanner;
    Recorder recorder;
    std::string error;
    EXPECT_FALSE(scanner.ScanFile(dir / "nope.pgm", recorder, &error));
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_NE(error.find("nope.pgm"), std::string::npos) << error;

    // UTF-16 LE with its mark, as machine editors save it.
    std::ofstream(dir / "u.pgm", std::ios::binary)
        << "\xFF\xFEG\0"s + "1\0 \0X\0\xB0\0\r\0\n\0M\0"s;
    ASSERT_TRUE(scanner.ScanFile(dir / "u.pgm", recorder, &error)) << error;
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:G1 X\xC2\xB0/2", "2:M/1", "end@2"}));

    std::filesystem::remove_all(dir);
}

// A file with a line no program has: the lines before it are scanned, the scan ends there with
// ScanEnd, and the failure names the line; the next scan starts afresh.
TEST(LineScannerTest, ScanFileStopsAtALineOverTheLimit) {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("retracer_scan_long_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "long.pgm", std::ios::binary)
        << "G1 X1\nG1 X2\n" + std::string(TextFileLines::kMaxLineBytes + 1, 'x') + "\nG1 X3\n";
    std::ofstream(dir / "short.pgm", std::ios::binary)
        << "G1 X1\n" + std::string(TextFileLines::kMaxLineBytes, 'y') + "\n";
    LineScanner scanner;
    Recorder recorder;
    std::string error;
    EXPECT_FALSE(scanner.ScanFile(dir / "long.pgm", recorder, &error));
    EXPECT_TRUE(scanner.Interrupted());
    EXPECT_EQ(recorder.events, (Events{"begin@0", "1:G1 X1/2", "2:G1 X2/2", "end@2"}));
    EXPECT_NE(error.find("Line 3 of"), std::string::npos) << error;
    EXPECT_NE(error.find("long.pgm\" is longer than 1 MB"), std::string::npos) << error;

    Recorder again;
    error.clear();
    EXPECT_TRUE(scanner.ScanFile(dir / "short.pgm", again, &error)) << "at the limit is no fault";
    EXPECT_FALSE(scanner.Interrupted());
    EXPECT_EQ(again.events.size(), 4u);
    EXPECT_EQ(error, "");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace retracer
