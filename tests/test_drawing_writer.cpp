// The job's drawing writer: calling order, layers, single-precision values, and writing the file
// so that nothing is lost when it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "drawing/drawing_writer.h"
#include "drawing/dxf_writer.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

using namespace retracer;
namespace fs = std::filesystem;

namespace {

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh folder per test, removed afterwards whatever its permissions.
class DrawingWriterFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("retracer-drawing-" + std::to_string(std::random_device{}()) +
                   std::to_string(std::random_device{}()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }
    fs::path folder_;
};

// Opens and starts `file`, then adds a little of everything through the job's operations.
void DrawSomething(DrawingWriter& w, const fs::path& file, int copies = 1) {
    w.OpenDrawing(file);
    w.StartDrawing();
    for (int i = 0; i < copies; ++i) {
        w.AddLine(0, 0, 0, 600, 0, 0, "BORDER", 1);
        w.AddCircle(12.3f, 45.6f, -12, 4, "HOLES", 4);
        w.AddText(1, 2, 0, 3.5f, 90, "Door 1", "NOTES", 7);
        w.AddSolid({Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, "BARCODE", 7);
        w.BeginPolyline("ROUTE", 3);
        w.AddVertex(0, 0, -18, "ROUTE", 3, 0);
        w.AddVertex(100, 0, -18, "ROUTE", 3, 0.41421357f);
        w.EndPolyline();
    }
}

TEST(DrawingWriter, FromSingleStoresTheFloatsShortestDecimal) {
    EXPECT_EQ(FromSingle(1.2345679e10f), 12345678848.0);  // its shortest text is all its digits
    EXPECT_TRUE(std::isnan(FromSingle(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(FromSingle(-std::numeric_limits<float>::infinity()),
              -std::numeric_limits<double>::infinity());
}

TEST_F(DrawingWriterFiles, CollectsLayersPolylinesAndShortDecimalValues) {
    DrawingWriter w{DrawingWriter::Keep::kEntities};
    DrawSomething(w, folder_ / "a.dxf");
    EXPECT_EQ(w.Error(), "");
    w.AddLine(0, 0, 0, 1, 1, 0, "BORDER", 5);
    w.AddSolid({Point3{12.3f, 0.1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, "Plain", 256);
    w.BeginPolyline("EMPTY", 3);
    w.EndPolyline();
    EXPECT_NE(w.Error().find("no vertices"), std::string::npos) << w.Error();
    // The next calls work again; the failure stays for the job to read at the end.
    w.BeginPolyline("R", 3);
    w.AddVertex(1, 2, 3, "OTHER", 5, 0.5f);  // the vertex's layer and colour are ignored
    w.AddVertex(4, 5, 6, "R", 3, 0);
    EXPECT_TRUE(w.CloseDrawing());
    EXPECT_NE(w.Error().find("no vertices"), std::string::npos) << w.Error();
    const std::vector<Layer> layers = {{"BORDER", 1}, {"HOLES", 4}, {"NOTES", 7}, {"BARCODE", 7},
                                       {"ROUTE", 3},  {"Plain", 7}, {"EMPTY", 3}, {"R", 3}};
    EXPECT_EQ(w.Content().layers, layers);
    const auto& e = w.Content().entities;
    ASSERT_EQ(e.size(), 8u);
    EXPECT_EQ(e[5].colour, 5) << "the entity keeps its own colour";
    EXPECT_TRUE(e[1] == (Entity{"HOLES", 4, CircleEntity{{12.3, 45.6, -12}, 4}}));
    EXPECT_TRUE(
        e[4] ==
        (Entity{"ROUTE", 3, PolylineEntity{{{0, 0, -18, 0}, {100, 0, -18, 0.41421357}}, false}}));
    EXPECT_TRUE(e[7] == (Entity{"R", 3, PolylineEntity{{{1, 2, 3, 0.5}, {4, 5, 6, 0}}, false}}));
    // A corner that holds a float's value is read as that float; a true double stays.
    const auto& solid = std::get<SolidEntity>(e[6].geometry);
    EXPECT_EQ(solid.corners[0].x, 12.3);
    EXPECT_EQ(solid.corners[0].y, 0.1);
}

// One call out of order per case: it fails with a message, changes nothing, and a second fault
// after it does not replace the first.
TEST_F(DrawingWriterFiles, CallsOutOfOrderAreRefused) {
    enum Stage { kNothing, kOpened, kStarted, kInPolyline, kClosed };
    using Call = std::function<void(DrawingWriter&)>;
    const Call line = [](auto& w) { w.AddLine(0, 0, 0, 1, 1, 0, "L", 1); };
    const Call close = [](auto& w) { w.CloseDrawing(); };
    const struct {
        Stage stage;
        Call wrong;
        const char* message;
    } cases[] = {
        {kNothing, line, "no drawing is open"},
        {kOpened, line, "StartDrawing has not been called"},
        {kOpened, [](auto& w) { w.OpenDrawing("elsewhere.dxf"); }, "already open"},
        {kStarted, [](auto& w) { w.StartDrawing(); }, "already started"},
        {kStarted, [](auto& w) { w.EndPolyline(); }, "no polyline is open"},
        {kInPolyline, [](auto& w) { w.AddSolid({}, "L", 1); }, "a polyline is open"},
        {kClosed, line, "already closed"},
        {kClosed, close, "already closed"},
    };
    int index = 0;
    for (const auto& c : cases) {
        DrawingWriter w{DrawingWriter::Keep::kEntities};
        if (c.stage >= kOpened) w.OpenDrawing(folder_ / (std::to_string(index++) + ".dxf"));
        if (c.stage >= kStarted) w.StartDrawing();
        if (c.stage == kInPolyline) w.BeginPolyline("R", 3);
        if (c.stage == kInPolyline) w.AddVertex(1, 2, 3, "R", 3, 0);
        if (c.stage == kClosed) w.CloseDrawing();
        ASSERT_EQ(w.Error(), "") << c.message << ": the set-up itself";
        const Drawing before = w.Content();
        c.wrong(w);
        EXPECT_NE(w.Error().find(c.message), std::string::npos)
            << c.stage << ": '" << w.Error() << "'";
        EXPECT_TRUE(w.Content() == before) << c.message << ": nothing changed";
        w.AddVertex(0, 0, 0, "R", 3, 0);
        w.AddVertex(0, 0, 0, "R", 3, 0);
        EXPECT_NE(w.Error().find(c.message), std::string::npos) << c.message << ": kept";
    }
}

TEST_F(DrawingWriterFiles, OpenDrawingRefusesFilesThatCannotBeWritten) {
    fs::create_directory(folder_ / "folder.dxf");
    Put(folder_ / "plain", "x");
    Put(folder_ / "ro.dxf", "old");
    fs::permissions(folder_ / "ro.dxf", fs::perms::owner_read | fs::perms::group_read);
    const std::pair<fs::path, const char*> cases[] = {
        {folder_ / "no such folder" / "a.dxf", "does not exist"},
        {folder_ / "folder.dxf", "it is a folder"},
        {folder_ / "plain" / "a.dxf", "is not a folder"},
        {folder_ / "ro.dxf", "read-only"},
        {folder_ / "", "not a file name"},
    };
    for (const auto& [target, reason] : cases) {
        DrawingWriter w{DrawingWriter::Keep::kEntities};
        EXPECT_FALSE(w.OpenDrawing(target)) << reason;
        const std::string err = w.Error();
        EXPECT_NE(err.find(reason), std::string::npos) << reason << ": '" << err << "'";
        EXPECT_NE(err.find("Cannot write the drawing"), std::string::npos) << reason;
        // Nothing else works on a drawing that did not open, and the reason stays the first.
        w.AddLine(0, 0, 0, 1, 1, 0, "L", 1);
        EXPECT_TRUE(w.Content().entities.empty()) << reason;
        EXPECT_FALSE(w.CloseDrawing()) << reason;
        EXPECT_EQ(w.Error(), err);
    }
    EXPECT_EQ(Contents(folder_ / "ro.dxf"), "old");
}

#ifndef _WIN32

// The old drawing stays untouched until CloseDrawing replaces it; a failed write (here: the file
// size limit) keeps it as it was, and the drawing can be closed again once the cause is gone.
TEST_F(DrawingWriterFiles, ReplacesTheFileAtCloseAndKeepsItWhenThatFails) {
    const fs::path file = folder_ / "Part.DXF";
    Put(file, "old drawing");
    DrawingWriter w{DrawingWriter::Keep::kEntities};
    DrawSomething(w, file, 200);
    EXPECT_EQ(w.Error(), "");
    EXPECT_EQ(Contents(file), "old drawing");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"}) << "no probe left";

    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    const bool closed = w.CloseDrawing();
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(closed);
    EXPECT_NE(w.Error().find("Part.DXF"), std::string::npos) << w.Error();
    EXPECT_EQ(Contents(file), "old drawing");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"}) << "no temporary file left";

    EXPECT_TRUE(w.CloseDrawing()) << "once the cause is gone";
    EXPECT_EQ(Contents(file), DxfText(w.Content()));
}

// What goes wrong with a read-only folder: refused at OpenDrawing, or, when it became read-only
// later, at CloseDrawing with the old file kept. Empty when all is right.
std::string ReadOnlyFolderProblem(const fs::path& mine) {
    fs::create_directory(mine);
    Put(mine / "Part.DXF", "old drawing");
    fs::permissions(mine, fs::perms::owner_read | fs::perms::owner_exec);
    DrawingWriter refused;
    refused.OpenDrawing(mine / "New.DXF");
    if (refused.Error().find("no file can be created") == std::string::npos)
        return "read-only folder accepted: '" + refused.Error() + "'";
    fs::permissions(mine, fs::perms::owner_all);
    DrawingWriter w{DrawingWriter::Keep::kEntities};
    DrawSomething(w, mine / "Part.DXF");
    if (!w.Error().empty()) return "could not draw: " + w.Error();
    fs::permissions(mine, fs::perms::owner_read | fs::perms::owner_exec);
    if (w.CloseDrawing()) return "CloseDrawing into a read-only folder succeeded";
    if (Contents(mine / "Part.DXF") != "old drawing") return "the old file was changed";
    return {};
}

// Root may write anywhere, so the check runs in a child process as "nobody".
TEST_F(DrawingWriterFiles, ReadOnlyFolderIsRefusedAndKeepsTheOldFile) {
    fs::permissions(folder_, fs::perms::all);
    EXPECT_EXIT(
        {
            if (geteuid() == 0 &&
                (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
                std::cerr << "cannot run as an unprivileged user";
                std::_Exit(1);
            }
            const std::string problem = ReadOnlyFolderProblem(folder_ / "mine");
            std::cerr << problem;
            std::_Exit(problem.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

#endif

}  // namespace
