// The nameless temporary file that holds what is too large for memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "base/scratch_file.h"

using namespace retracer;
namespace fs = std::filesystem;

namespace {

class ScratchFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("retracer-scratch-" + std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    bool FolderEmpty() const { return fs::is_empty(folder_); }
    fs::path folder_;
};

// What goes in comes back in order, in pieces of the size asked for (the last one shorter),
// however the appends were cut; the file never shows in its folder.
TEST_F(ScratchFileTest, GivesBackWhatWasAppendedAndIsNeverSeen) {
    ScratchFile scratch;
    ASSERT_TRUE(scratch.Create(folder_, nullptr));
    EXPECT_TRUE(scratch.IsOpen());
    EXPECT_TRUE(FolderEmpty());
    std::string appended;
    for (int i = 0; i < 1000; ++i) {
        const std::string piece(static_cast<std::size_t>(i % 37), static_cast<char>('a' + i % 26));
        ASSERT_TRUE(scratch.Append(piece, nullptr));
        appended += piece;
    }
    EXPECT_EQ(scratch.Size(), appended.size());
    for (const std::size_t pieceSize : {std::size_t{1}, std::size_t{4096}, appended.size() * 2}) {
        std::string read;
        std::size_t pieces = 0;
        std::string error;
        ASSERT_TRUE(scratch.ReadBack(
            [&](std::string_view piece) {
                EXPECT_LE(piece.size(), pieceSize);
                read += piece;
                ++pieces;
                return true;
            },
            &error, pieceSize))
            << error;
        EXPECT_TRUE(read == appended) << pieceSize;
        EXPECT_EQ(pieces, (appended.size() + pieceSize - 1) / pieceSize) << pieceSize;
    }
    // A sink that refuses gets nothing more, and it is no read error.
    int calls = 0;
    std::string error;
    EXPECT_FALSE(scratch.ReadBack([&](std::string_view) { return ++calls > 2; }, &error, 10));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(FolderEmpty());
    scratch.Close();
    EXPECT_FALSE(scratch.IsOpen());
    EXPECT_FALSE(scratch.Append("x", &error));
    EXPECT_TRUE(FolderEmpty());
}

TEST_F(ScratchFileTest, FolderThatCannotHoldItIsNamed) {
    const fs::path missing = folder_ / "not there";
    fs::create_directory(folder_ / "plain");
    std::string error;
    ScratchFile scratch;
    EXPECT_FALSE(scratch.Create(missing, &error));
    EXPECT_NE(error.find("not there"), std::string::npos) << error;
    EXPECT_FALSE(scratch.IsOpen());
    // A second file in the same folder is a file of its own.
    ScratchFile first;
    ScratchFile second;
    ASSERT_TRUE(first.Create(folder_ / "plain", nullptr));
    ASSERT_TRUE(second.Create(folder_ / "plain", nullptr));
    ASSERT_TRUE(first.Append("first", nullptr));
    ASSERT_TRUE(second.Append("2", nullptr));
    std::string read;
    ASSERT_TRUE(first.ReadBack(
        [&](std::string_view piece) {
            read += piece;
            return true;
        },
        nullptr));
    EXPECT_EQ(read, "first");
    EXPECT_TRUE(fs::is_empty(folder_ / "plain"));
}

}  // namespace
