// The drill tool table: reading Tool.Par, writing it from the editor's rows, tool texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "base/atomic_file.h"
#include "translate/tool_table.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

// The tools that are not all zeros, "n:x/y/dia" each.
std::string Filled(const ToolTable& table) {
    std::ostringstream out;
    for (int n = ToolTable::kFirst; n <= ToolTable::kLast; ++n)
        if (const DrillTool& t = *table.Find(n); !(t == DrillTool{}))
            out << (out.tellp() > 0 ? " " : "") << n << ':' << t.x << '/' << t.y << '/' << t.dia;
    return out.str();
}

TEST(ToolTableParse, LinesFillTheirToolsUntilAStopRule) {
    std::string hundredAndOne;
    for (int i = 1; i <= 100; ++i) hundredAndOne += std::to_string(i) + ",0,0,1\n";
    const std::pair<std::string, const char*> cases[] = {
        {"1,0,0,5\n2,32,0,8\n", "1:0/0/5 2:32/0/8"},
        {"7,1,2,3\n3,4,5,6", "3:4/5/6 7:1/2/3"},
        {"1,1,1,1\n0,2,2,2\n3,3,3,3\n", "1:1/1/1"},    // tool 0 ends the reading
        {"1,1,1,1\n101,2,2,2\n3,3,3,3\n", "1:1/1/1"},  // so does tool 101
        {"1,1,1,1\n\n3,3,3,3\n", "1:1/1/1"},           // and a blank line
        {"Tool,X,Y,Dia\n1,1,1,1\n", ""},
        {"1e300,1,1,1\n", ""},
        {hundredAndOne + "1,9,9,9\n", nullptr},  // at most 100 lines
        {"4,1,1,1\n4,2,2,2\n", "4:2/2/2"},
        {"4,,,6\n5,1.5\n", "4:0/0/6 5:1.5/0/0"},
        {"5,abc,1e1,2D1\n", "5:0/10/20"},
        {" 7 , -3.5 ,+2, 8 \n", "7:-3.5/2/8"},
        {"2.5,1,1,1\n3.5,2,2,2\n6.4,3,3,3\n", "2:1/1/1 4:2/2/2 6:3/3/3"},  // ties to even
        {"1,0,0,5\r\n2,32,0,8\r\n", "1:0/0/5 2:32/0/8"},
    };
    for (const auto& [text, expected] : cases) {
        const ToolTable table = ParseToolTable(text);
        if (expected) {
            EXPECT_EQ(Filled(table), expected) << text;
        } else {
            EXPECT_EQ(table.Find(1)->dia, 1);
            EXPECT_EQ(table.Find(100)->dia, 1);
            EXPECT_EQ(table.Find(1)->x, 0) << "line 101 was read";
        }
    }
}

TEST(ToolTableText, DrillToolsOfAToolText) {
    const std::tuple<const char*, bool, std::vector<int>> cases[] = {
        {"21", true, {21}},  {"0512", true, {5, 12}}, {"5", false, {5}},      {"00", false, {0}},
        {"-5", false, {-5}}, {"051", true, {5, 1}},   {"0005", true, {0, 5}}, {"", false, {}},
    };
    for (const auto& [text, names, numbers] : cases) {
        EXPECT_EQ(NamesDrillTools(text), names) << text;
        EXPECT_EQ(DrillToolNumbers(text), numbers) << text;
    }
}

class ToolTableFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("retracer-tools-" + std::to_string(std::random_device()()));
        ASSERT_TRUE(fs::create_directories(folder_));
        file_ = folder_ / "Tool.Par";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    void Put(const std::string& bytes) { std::ofstream(file_, std::ios::binary) << bytes; }
    std::string Get() {
        std::string bytes;
        EXPECT_TRUE(ReadWholeFile(file_, bytes, nullptr));
        return bytes;
    }

    fs::path folder_;
    fs::path file_;
};

TEST_F(ToolTableFiles, LoadsDecodedTextAndNothingFromAMissingFile) {
    EXPECT_EQ(LoadToolTable(file_), ToolTable{});
    EXPECT_EQ(LoadToolTable(folder_), ToolTable{}) << "a folder is no tool file";
    Put("\xEF\xBB\xBF"
        "1,0,0,5\n");
    EXPECT_EQ(Filled(LoadToolTable(file_)), "1:0/0/5") << "byte-order mark";
    std::string utf16 = "\xFF\xFE";
    for (const char c : std::string("3,1,2,9")) utf16 += {c, '\0'};
    Put(utf16);
    EXPECT_EQ(Filled(LoadToolTable(file_)), "3:1/2/9") << "UTF-16";
}

TEST_F(ToolTableFiles, SavedRowsLoadBackAndRefusedOnesChangeNothing) {
    std::vector<ToolRow> rows(99);
    EXPECT_EQ(ToolTableText(rows), "") << "an empty grid writes nothing";
    rows[11] = {"-12.25", "32", "8.5"};
    rows[3] = {"", "", "5"};
    rows[0] = {"1", "", ""};     // shorter than the row number and three commas: still kept
    rows[98] = {"  ", " ", ""};  // blanks only: left out
    std::string error;
    ASSERT_TRUE(SaveToolTable(file_, rows, &error)) << error;
    EXPECT_EQ(Get(), "1,1,,\n4,,,5\n12,-12.25,32,8.5\n");
    EXPECT_EQ(Filled(LoadToolTable(file_)), "1:1/0/0 4:0/0/5 12:-12.25/32/8.5");

    std::vector<ToolRow> comma = rows;
    comma[5].x = "1,5";
    std::vector<ToolRow> lineBreak = rows;
    lineBreak[5].y = "2\n7,1,1,1";
    for (const auto& bad : {comma, lineBreak, std::vector<ToolRow>(101, ToolRow{"1", "1", "1"})}) {
        error.clear();
        EXPECT_FALSE(SaveToolTable(file_, bad, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(Get(), "1,1,,\n4,,,5\n12,-12.25,32,8.5\n");
    }
    EXPECT_FALSE(SaveToolTable(folder_ / "missing" / "Tool.Par", rows, &error));
}

}  // namespace
}  // namespace retracer
