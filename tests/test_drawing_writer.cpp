// The job's drawing writer: calling order, layers, single-precision values, and writing the file
// so that nothing is lost when it fails.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "drawing/drawing_writer.h"
#include "drawing/dxf_writer.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

class DrawingWriterFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() /
                  ("retracer-drawing-" + std::to_string(random()) + std::to_string(random()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(folder_, ec))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }
    std::vector<std::string> Names(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path folder_;
};

// Adds a little of everything through the job's operations.
void DrawSomething(DrawingWriter& w, std::string& err, int copies = 1) {
    for (int i = 0; i < copies; ++i) {
        w.AddLine(err, 0, 0, 0, 600, 0, 0, "BORDER", 1);
        w.AddCircle(err, 12.3f, 45.6f, -12, 4, "VBORE_Z12T21", 4);
        w.AddText(err, 1, 2, 0, 3.5f, 90, "Part 1", "Retracer Notation", 7);
        w.AddSolid(err, {Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, "BARCODE", 7);
        w.BeginPolyline(err, "ROUTE_Z18T3_L_FD2000_S18", 3);
        w.AddVertex(err, 0, 0, -18, "ROUTE_Z18T3_L_FD2000_S18", 3, 0);
        w.AddVertex(err, 100, 0, -18, "ROUTE_Z18T3_L_FD2000_S18", 3, 0.41421357f);
        w.EndPolyline(err);
    }
}

TEST(DrawingWriter, FromSingleStoresTheFloatsShortestDecimal) {
    struct Case {
        const char* name;
        float value;
        double stored;
    };
    const Case cases[] = {
        {"one decimal", 12.3f, 12.3},
        {"tenth", 0.1f, 0.1},
        {"negative", -600.25f, -600.25},
        {"whole number", 18.0f, 18.0},
        {"largest exact whole number", 16777216.0f, 16777216.0},
        {"large float: its shortest text is all its digits", 1.2345679e10f, 12345678848.0},
        {"tiny", 1e-6f, 1e-6},
        {"bulge of a quarter arc", 0.41421357f, 0.41421357},
    };
    for (const Case& c : cases) EXPECT_EQ(FromSingle(c.value), c.stored) << c.name;
    EXPECT_TRUE(std::isnan(FromSingle(std::numeric_limits<float>::quiet_NaN())));
    EXPECT_EQ(FromSingle(-std::numeric_limits<float>::infinity()),
              -std::numeric_limits<double>::infinity());
}

TEST(DrawingWriter, FromSingleKeepsTheFloatAndItsText) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> values(-10000.0f, 10000.0f);
    for (int i = 0; i < 50000; ++i) {
        const float f = values(random);
        const double stored = FromSingle(f);
        ASSERT_EQ(static_cast<float>(stored), f) << "the float itself comes back";
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, f, std::chars_format::fixed).ptr;
        std::string want(text, end);
        if (want.find('.') == std::string::npos) want += ".0";
        ASSERT_EQ(DxfRealText(stored), want) << "the file shows the float's own text";
    }
}

TEST_F(DrawingWriterFiles, WritesNothingUntilCloseThenTheWholeDrawing) {
    const fs::path file = folder_ / "Part.DXF";
    DrawingWriter w;
    std::string err = "stale";
    w.OpenDrawing(err, file);
    EXPECT_EQ(err, "");
    w.StartDrawing(err);
    EXPECT_EQ(err, "");
    DrawSomething(w, err);
    EXPECT_EQ(err, "");
    EXPECT_TRUE(Names(folder_).empty()) << "no file and no probe left before CloseDrawing";
    w.CloseDrawing(err);
    EXPECT_EQ(err, "");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"});
    EXPECT_EQ(Contents(file), DxfText(w.Content()));
    EXPECT_EQ(w.File(), file);
}

TEST_F(DrawingWriterFiles, CollectsLayersInOrderOfUseWithTheirFirstColour) {
    DrawingWriter w;
    std::string err;
    w.OpenDrawing(err, folder_ / "a.dxf");
    w.StartDrawing(err);
    DrawSomething(w, err);
    w.AddLine(err, 0, 0, 0, 1, 1, 0, "BORDER", 5);  // a later colour does not change the layer
    w.AddCircle(err, 0, 0, 0, 1, "Plain", 256);     // by layer: the layer gets the default colour
    const std::vector<Layer> expected = {{"BORDER", 1},
                                         {"VBORE_Z12T21", 4},
                                         {"Retracer Notation", 7},
                                         {"BARCODE", 7},
                                         {"ROUTE_Z18T3_L_FD2000_S18", 3},
                                         {"Plain", 7}};
    EXPECT_EQ(w.Content().layers, expected);
    ASSERT_EQ(w.Content().entities.size(), 7u);
    EXPECT_EQ(w.Content().entities[5].colour, 5) << "the entity keeps its own colour";
}

TEST_F(DrawingWriterFiles, StoresEntitiesWithShortDecimalValues) {
    DrawingWriter w;
    std::string err;
    w.OpenDrawing(err, folder_ / "a.dxf");
    w.StartDrawing(err);
    DrawSomething(w, err);
    w.AddSolid(err, {Point3{12.3f, 0.1, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, "B", 7);
    const auto& e = w.Content().entities;
    ASSERT_EQ(e.size(), 6u);
    EXPECT_TRUE(e[1] == (Entity{"VBORE_Z12T21", 4, CircleEntity{{12.3, 45.6, -12}, 4}}));
    EXPECT_TRUE(e[2] == (Entity{"Retracer Notation", 7, TextEntity{{1, 2, 0}, 3.5, 90, "Part 1"}}));
    EXPECT_TRUE(e[4] ==
                (Entity{"ROUTE_Z18T3_L_FD2000_S18", 3,
                        PolylineEntity{{{0, 0, -18, 0}, {100, 0, -18, 0.41421357}}, false}}));
    // A corner that holds a float's value is read as that float; a true double stays.
    const auto& solid = std::get<SolidEntity>(e[5].geometry);
    EXPECT_EQ(solid.corners[0].x, 12.3);
    EXPECT_EQ(solid.corners[0].y, 0.1);
}

// One call out of order per case: it fails with a message, changes nothing, and the next proper
// call works again.
struct OrderCase {
    const char* name;
    std::function<void(DrawingWriter&, std::string&, const fs::path&)> before;
    std::function<void(DrawingWriter&, std::string&)> wrong;
    const char* message;
};

TEST_F(DrawingWriterFiles, CallsOutOfOrderAreRefused) {
    const auto opened = [](DrawingWriter& w, std::string& e, const fs::path& f) {
        w.OpenDrawing(e, f);
    };
    const auto started = [](DrawingWriter& w, std::string& e, const fs::path& f) {
        w.OpenDrawing(e, f);
        w.StartDrawing(e);
    };
    const auto inPolyline = [](DrawingWriter& w, std::string& e, const fs::path& f) {
        w.OpenDrawing(e, f);
        w.StartDrawing(e);
        w.BeginPolyline(e, "R", 3);
        w.AddVertex(e, 1, 2, 3, "R", 3, 0);
    };
    const auto closed = [](DrawingWriter& w, std::string& e, const fs::path& f) {
        w.OpenDrawing(e, f);
        w.StartDrawing(e);
        w.CloseDrawing(e);
    };
    const auto nothing = [](DrawingWriter&, std::string&, const fs::path&) {};
    const auto line = [](DrawingWriter& w, std::string& e) {
        w.AddLine(e, 0, 0, 0, 1, 1, 0, "L", 1);
    };
    const std::vector<OrderCase> cases = {
        {"entity before OpenDrawing", nothing, line, "no drawing is open"},
        {"StartDrawing before OpenDrawing", nothing,
         [](DrawingWriter& w, std::string& e) { w.StartDrawing(e); }, "no drawing is open"},
        {"entity before StartDrawing", opened, line, "StartDrawing has not been called"},
        {"circle before StartDrawing", opened,
         [](DrawingWriter& w, std::string& e) { w.AddCircle(e, 0, 0, 0, 1, "L", 1); },
         "StartDrawing has not been called"},
        {"second OpenDrawing", opened,
         [](DrawingWriter& w, std::string& e) { w.OpenDrawing(e, "elsewhere.dxf"); },
         "already open"},
        {"second StartDrawing", started,
         [](DrawingWriter& w, std::string& e) { w.StartDrawing(e); }, "already started"},
        {"CloseDrawing before StartDrawing", opened,
         [](DrawingWriter& w, std::string& e) { w.CloseDrawing(e); },
         "StartDrawing has not been called"},
        {"AddVertex outside a polyline", started,
         [](DrawingWriter& w, std::string& e) { w.AddVertex(e, 1, 1, 0, "L", 1, 0); },
         "no polyline is open"},
        {"EndPolyline outside a polyline", started,
         [](DrawingWriter& w, std::string& e) { w.EndPolyline(e); }, "no polyline is open"},
        {"nested BeginPolyline", inPolyline,
         [](DrawingWriter& w, std::string& e) { w.BeginPolyline(e, "R", 3); },
         "a polyline is open"},
        {"line inside a polyline", inPolyline, line, "a polyline is open"},
        {"text inside a polyline", inPolyline,
         [](DrawingWriter& w, std::string& e) { w.AddText(e, 0, 0, 0, 1, 0, "t", "L", 1); },
         "a polyline is open"},
        {"solid inside a polyline", inPolyline,
         [](DrawingWriter& w, std::string& e) { w.AddSolid(e, {}, "L", 1); }, "a polyline is open"},
        {"entity after CloseDrawing", closed, line, "already closed"},
        {"polyline after CloseDrawing", closed,
         [](DrawingWriter& w, std::string& e) { w.BeginPolyline(e, "R", 3); }, "already closed"},
        {"second CloseDrawing", closed, [](DrawingWriter& w, std::string& e) { w.CloseDrawing(e); },
         "already closed"},
        {"OpenDrawing after CloseDrawing", closed,
         [](DrawingWriter& w, std::string& e) { w.OpenDrawing(e, "again.dxf"); }, "already open"},
    };
    int index = 0;
    for (const OrderCase& c : cases) {
        const fs::path file = folder_ / ("case" + std::to_string(index++) + ".dxf");
        DrawingWriter w;
        std::string err;
        c.before(w, err, file);
        ASSERT_EQ(err, "") << c.name << ": the set-up itself";
        const Drawing before = w.Content();
        c.wrong(w, err);
        EXPECT_NE(err.find(c.message), std::string::npos) << c.name << ": '" << err << "'";
        EXPECT_TRUE(w.Content() == before) << c.name << ": nothing changed";
    }
}

TEST_F(DrawingWriterFiles, PolylineEdgeCases) {
    DrawingWriter w;
    std::string err;
    w.OpenDrawing(err, folder_ / "p.dxf");
    w.StartDrawing(err);
    w.BeginPolyline(err, "EMPTY", 3);
    w.EndPolyline(err);
    EXPECT_NE(err.find("no vertices"), std::string::npos) << err;
    EXPECT_TRUE(w.Content().entities.empty());
    w.AddLine(err, 0, 0, 0, 1, 1, 0, "L", 1);
    EXPECT_EQ(err, "") << "the next call works again";
    // The vertex's own layer and colour do not split or recolour the polyline.
    w.BeginPolyline(err, "R", 3);
    w.AddVertex(err, 1, 2, 3, "OTHER", 5, 0.5f);
    w.AddVertex(err, 4, 5, 6, "R", 3, 0);
    // Left open: CloseDrawing ends it and keeps it.
    w.CloseDrawing(err);
    EXPECT_EQ(err, "");
    ASSERT_EQ(w.Content().entities.size(), 2u);
    EXPECT_TRUE(w.Content().entities[1] ==
                (Entity{"R", 3, PolylineEntity{{{1, 2, 3, 0.5}, {4, 5, 6, 0}}, false}}));
    const std::vector<Layer> layers = {{"EMPTY", 3}, {"L", 1}, {"R", 3}};
    EXPECT_EQ(w.Content().layers, layers);
}

struct OpenFailure {
    const char* name;
    std::function<fs::path(const fs::path& folder)> prepare;
    const char* reason;
};

TEST_F(DrawingWriterFiles, OpenDrawingRefusesFilesThatCannotBeWritten) {
    const std::vector<OpenFailure> cases = {
        {"missing folder", [](const fs::path& f) { return f / "no such folder" / "a.dxf"; },
         "does not exist"},
        {"target is a folder",
         [](const fs::path& f) {
             fs::create_directory(f / "a.dxf");
             return f / "a.dxf";
         },
         "it is a folder"},
        {"parent is a file",
         [](const fs::path& f) {
             Put(f / "plain", "x");
             return f / "plain" / "a.dxf";
         },
         "is not a folder"},
        {"read-only file",
         [](const fs::path& f) {
             Put(f / "ro.dxf", "old");
             fs::permissions(f / "ro.dxf", fs::perms::owner_read | fs::perms::group_read);
             return f / "ro.dxf";
         },
         "read-only"},
        {"no file name", [](const fs::path& f) { return f / ""; }, "not a file name"},
    };
    for (const OpenFailure& c : cases) {
        const fs::path target = c.prepare(folder_);
        DrawingWriter w;
        std::string err;
        w.OpenDrawing(err, target);
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.name << ": '" << err << "'";
        EXPECT_NE(err.find("Cannot write the drawing"), std::string::npos) << c.name;
        // Nothing else works on a drawing that did not open.
        w.StartDrawing(err);
        EXPECT_NE(err.find("no drawing is open"), std::string::npos) << c.name;
    }
    EXPECT_EQ(Contents(folder_ / "ro.dxf"), "old");
}

TEST_F(DrawingWriterFiles, ReplacesAnExistingDrawing) {
    const fs::path file = folder_ / "Part.DXF";
    Put(file, "old drawing");
    DrawingWriter w;
    std::string err;
    w.OpenDrawing(err, file);
    w.StartDrawing(err);
    EXPECT_EQ(Contents(file), "old drawing") << "untouched until CloseDrawing";
    DrawSomething(w, err);
    w.CloseDrawing(err);
    EXPECT_EQ(err, "");
    EXPECT_EQ(Contents(file), DxfText(w.Content()));
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"});
}

#ifndef _WIN32

// A failed write (here: the file size limit) leaves the old drawing exactly as it was, and the
// drawing can be closed again once the cause is gone.
TEST_F(DrawingWriterFiles, FailedCloseKeepsTheOldFile) {
    const fs::path file = folder_ / "Part.DXF";
    Put(file, "old drawing");
    DrawingWriter w;
    std::string err;
    w.OpenDrawing(err, file);
    w.StartDrawing(err);
    DrawSomething(w, err, 200);

    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &limited);
    w.CloseDrawing(err);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, handler);

    EXPECT_NE(err.find("Part.DXF"), std::string::npos) << err;
    EXPECT_EQ(Contents(file), "old drawing");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"}) << "no temporary file left";

    w.CloseDrawing(err);
    EXPECT_EQ(err, "");
    EXPECT_EQ(Contents(file), DxfText(w.Content()));
}

// Runs `check` as a user without special rights (root may write anywhere, so a root test run
// drops to "nobody" in a child process). The check returns an empty text or what went wrong.
// Returns false when no such user can be had.
bool RunUnprivileged(const std::function<std::string()>& check, std::string& failure) {
    int channel[2];
    if (pipe(channel) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (geteuid() == 0) {
            constexpr uid_t kNobody = 65534;
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(77);
        }
        const std::string result = check();
        const ssize_t written = write(channel[1], result.data(), result.size());
        _exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    close(channel[1]);
    char buffer[1024];
    ssize_t n = 0;
    failure.clear();
    while ((n = read(channel[0], buffer, sizeof buffer)) > 0)
        failure.append(buffer, static_cast<std::size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) return false;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failure += " (the check did not finish)";
    return true;
}

TEST_F(DrawingWriterFiles, ReadOnlyFolderIsRefusedAndKeepsTheOldFile) {
    fs::permissions(folder_, fs::perms::all);  // the unprivileged user works in here
    const fs::path folder = folder_;
    std::string failure;
    const bool ran = RunUnprivileged(
        [folder]() -> std::string {
            const fs::path mine = folder / "mine";
            fs::create_directory(mine);
            Put(mine / "Part.DXF", "old drawing");
            fs::permissions(mine, fs::perms::owner_read | fs::perms::owner_exec);
            DrawingWriter refused;
            std::string err;
            refused.OpenDrawing(err, mine / "New.DXF");
            if (err.find("no file can be created") == std::string::npos)
                return "read-only folder accepted: '" + err + "'";

            // Writable when opened, read-only by the time of CloseDrawing.
            fs::permissions(mine, fs::perms::owner_all);
            DrawingWriter w;
            w.OpenDrawing(err, mine / "Part.DXF");
            w.StartDrawing(err);
            DrawSomething(w, err);
            if (!err.empty()) return "could not draw: " + err;
            fs::permissions(mine, fs::perms::owner_read | fs::perms::owner_exec);
            w.CloseDrawing(err);
            if (err.empty()) return "CloseDrawing into a read-only folder succeeded";
            if (Contents(mine / "Part.DXF") != "old drawing") return "the old file was changed";
            fs::permissions(mine, fs::perms::owner_all);
            return {};
        },
        failure);
    if (!ran) GTEST_SKIP() << "no unprivileged user to run as";
    EXPECT_EQ(failure, "");
}

#endif

}  // namespace
