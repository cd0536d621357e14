// Programs far larger than any real one, translated by the command-line tool as a user would run
// it: a 1 GB program and a program with a 100 MB line. Each must be translated or refused with a
// clear message in memory well below its size, leaving no temporary file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMegabyte = std::uintmax_t{1} << 20;

struct ChildRun {
    int status = -1;
    double peakMegabytes = 0;  // the child's own peak resident memory
    std::string out;
    std::string err;
};

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HugeProgramsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ =
            fs::temp_directory_path() / ("retracer-huge-" + std::to_string(std::random_device{}()));
        fs::create_directories(root_ / "app");
        fs::create_directories(root_ / "out");
        std::ofstream(root_ / "app" / "Tool.Par", std::ios::binary) << "5,0,0,8\r\n";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    // Skips the test when the disk cannot hold `bytes` and some room to spare.
    bool RoomFor(std::uintmax_t bytes) const {
        std::error_code ec;
        const fs::space_info space = fs::space(root_, ec);
        return !ec && space.available > bytes + bytes / 2 + 512 * kMegabyte;
    }

    // `retracer-cli translate --json` on `program`, its output and peak memory.
    ChildRun Translate(const fs::path& program) const {
        ChildRun run;
        const fs::path out = root_ / "stdout.txt";
        const fs::path err = root_ / "stderr.txt";
        const pid_t child = fork();
        if (child == 0) {
            const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (o < 0 || e < 0) _exit(126);
            dup2(o, STDOUT_FILENO);
            dup2(e, STDERR_FILENO);
            const std::string app = (root_ / "app").string();
            const std::string dest = (root_ / "out").string();
            execl(RETRACER_CLI_PATH, "retracer-cli", "translate", "--json", "--app-folder",
                  app.c_str(), "--dest", dest.c_str(), program.c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        if (child < 0) return run;
        int status = 0;
        rusage usage{};
        if (wait4(child, &status, 0, &usage) != child) return run;
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kB on Linux
        run.out = Contents(out);
        run.err = Contents(err);
        fs::remove(out);
        fs::remove(err);
        return run;
    }

    // The tool's peak on a program of two lines: what it needs whatever the program (more in a
    // build with sanitizers).
    double BaselineMegabytes() const {
        const fs::path tiny = root_ / "TINY.CNC";
        std::ofstream(tiny, std::ios::binary) << "G71 X800 Y600 Z18\n(TINY)\n";
        const ChildRun run = Translate(tiny);
        fs::remove(tiny);
        fs::remove(root_ / "out" / "TINY.DXF");
        EXPECT_EQ(run.status, 0) << run.err;
        return run.peakMegabytes;
    }

    // Every file in the destination folder.
    std::vector<std::string> Outputs() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_ / "out"))
            names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path root_;
};

// A gigabyte of comment lines around a thousand holes, written a megabyte at a time.
TEST_F(HugeProgramsTest, GigabyteProgramIsTranslatedInLittleMemory) {
    constexpr std::uintmax_t kSize = 1024 * kMegabyte;
    if (!RoomFor(kSize))
        GTEST_SKIP() << "less than 2 GB free in " << root_ << " for a 1 GB program";
    const fs::path program = root_ / "HUGE.CNC";
    int holes = 0;
    {
        std::string comment = "* ";
        while (comment.size() < 99) comment += "comment ";
        comment.resize(99);
        comment += '\n';
        std::string block;
        while (block.size() + comment.size() <= kMegabyte) block += comment;
        std::ofstream out(program, std::ios::binary);
        out << "G71 X800 Y600 Z18\n(HUGE)\n";
        for (std::uintmax_t written = 0; written < kSize; written += block.size(), ++holes)
            out << block << "G81 X" << 50 + holes % 700 << " Y100 Z12 R54=8 P5 T0105\n";
        ASSERT_TRUE(out.good());
    }
    ASSERT_GE(fs::file_size(program), kSize);

    const double baseline = BaselineMegabytes();
    const ChildRun run = Translate(program);
    fs::remove(program);
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json result = nlohmann::json::parse(run.out).at(0);
    EXPECT_TRUE(result.at("written").get<bool>());
    EXPECT_EQ(result.at("layers").at("VBORE_Z12T5").get<int>(), holes);
    EXPECT_EQ(Outputs(), std::vector<std::string>{"HUGE.DXF"}) << "no temporary file left";
    EXPECT_LT(run.peakMegabytes - baseline, 64) << "for a program of 1 GB";
    std::cout << "1 GB program: peak " << run.peakMegabytes << " MB, " << baseline
              << " MB for a program of two lines\n";
}

// A line of 100 MB between program lines: no program has one, so the program is refused with a
// message naming the line, and the drawing of an earlier translation stays as it was.
TEST_F(HugeProgramsTest, HundredMegabyteLineIsRefusedInLittleMemory) {
    constexpr std::uintmax_t kLine = 100 * kMegabyte;
    if (!RoomFor(kLine)) GTEST_SKIP() << "not enough free space in " << root_;
    const fs::path program = root_ / "LONG.PGM";
    {
        std::ofstream out(program, std::ios::binary);
        out << "$=Long line\n::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nSIDE#1{\n"
               "W#81{ #1=10 #2=20 #3=-5 }\n'";
        const std::string piece(kMegabyte, 'x');
        for (std::uintmax_t done = 0; done < kLine; done += piece.size()) out << piece;
        out << "\nW#81{ #1=30 #2=20 #3=-5 }\n}SIDE\n";
        ASSERT_TRUE(out.good());
    }
    std::ofstream(root_ / "out" / "LONG.DXF", std::ios::binary) << "earlier drawing";

    const double baseline = BaselineMegabytes();
    const ChildRun run = Translate(program);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Line 6 of"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("is longer than 1 MB; the program was not translated"),
              std::string::npos)
        << run.err;
    const nlohmann::json result = nlohmann::json::parse(run.out).at(0);
    EXPECT_FALSE(result.at("written").get<bool>());
    EXPECT_EQ(Contents(root_ / "out" / "LONG.DXF"), "earlier drawing");
    EXPECT_EQ(Outputs(), std::vector<std::string>{"LONG.DXF"}) << "no temporary file left";
    EXPECT_LT(run.peakMegabytes - baseline, 16) << "for a line of 100 MB";
    std::cout << "100 MB line: peak " << run.peakMegabytes << " MB, " << baseline
              << " MB for a program of two lines\n";
}

}  // namespace
