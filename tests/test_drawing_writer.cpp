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
#include <map>
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

// Draws `count` entities as a busy job does: holes, lines, routes of many vertices with arcs,
// texts, solids and engraved lettering, on a handful of layers; holes only with `kinds` 1.
void DrawMany(DrawingWriter& w, int count, int kinds = 8) {
    Drawing lettering;
    lettering.layers = {{"ENGRAVE", 6}};
    lettering.entities = {
        Entity{"ENGRAVE", 6, LineEntity{{1, 1, 0}, {2, 3, 0}}},
        Entity{"ENGRAVE", 6, PolylineEntity{{{0, 0, 0, 0}, {1, 1, 0, 0}}, false}}};
    for (int i = 0; i < count; ++i) {
        const float x = static_cast<float>(i % 2400) + 0.5f;
        const float y = static_cast<float>(i % 1200) * 0.1f;
        switch (i % kinds) {
            case 0:
            case 1:
            case 2:
                w.AddCircle(x, y, -12.5f, 4, i % 2 ? "VBORE_Z12T5" : "VBORE_Z12P5T5", 4);
                break;
            case 3:
                w.AddLine(x, y, 0, y, x, -8, "SAW_Z8", 3);
                break;
            case 4:
                w.BeginPolyline("ROUTE_Z18_T3_FD2000_S18", 3);
                for (int k = 0; k < 1 + i % 50; ++k)
                    w.AddVertex(x + static_cast<float>(k), y - static_cast<float>(k), -18,
                                "ROUTE_Z18_T3_FD2000_S18", 3, k % 2 ? 0.41421357f : 0);
                w.EndPolyline();
                break;
            case 5:
                w.AddText(x, y, 0, 3.5f, 90, "Door " + std::to_string(i), "NOTES", 7);
                break;
            case 6:
                w.AddSolid({Point3{x, y, 0}, {x + 1, y, 0}, {x, y + 1, 0}, {x + 1, y + 1, 0}},
                           "BARCODE", 7);
                break;
            default:
                w.AddDrawing(lettering);
                break;
        }
    }
}

// Entities per layer, counted from the kept drawing.
std::map<std::string, std::size_t> Tally(const Drawing& drawing) {
    std::map<std::string, std::size_t> tally;
    for (const Entity& e : drawing.entities) ++tally[e.layer];
    return tally;
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

// Last line of defence: whatever a translator hands over, no value that is not a finite number
// and no negative radius reaches the file. Each case is refused, counted and named in the kept
// failure; the entities around it, and the good vertices of its polyline, stay.
TEST_F(DrawingWriterFiles, RefusesValuesThatAreNotFiniteNumbers) {
    using Call = std::function<void(DrawingWriter&)>;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        const char* name;
        Call call;
        const char* operation;
    } cases[] = {
        {"line start x NaN", [=](auto& w) { w.AddLine(nan, 0, 0, 1, 1, 0, "L", 1); }, "AddLine"},
        {"line end z infinite", [=](auto& w) { w.AddLine(0, 0, 0, 1, 1, -inf, "L", 1); },
         "AddLine"},
        {"circle radius negative", [=](auto& w) { w.AddCircle(1, 2, 0, -3, "H", 4); }, "AddCircle"},
        {"circle radius NaN", [=](auto& w) { w.AddCircle(1, 2, 0, nan, "H", 4); }, "AddCircle"},
        {"circle radius infinite", [=](auto& w) { w.AddCircle(1, 2, 0, inf, "H", 4); },
         "AddCircle"},
        {"circle centre y infinite", [=](auto& w) { w.AddCircle(1, inf, 0, 3, "H", 4); },
         "AddCircle"},
        {"text height NaN", [=](auto& w) { w.AddText(0, 0, 0, nan, 0, "t", "T", 7); }, "AddText"},
        {"text rotation infinite", [=](auto& w) { w.AddText(0, 0, 0, 3, inf, "t", "T", 7); },
         "AddText"},
        {"solid corner NaN",
         [=](auto& w) {
             w.AddSolid({Point3{0, 0, 0}, {1, nan, 0}, {0, 1, 0}, {1, 1, 0}}, "B", 7);
         },
         "AddSolid"},
        {"vertex bulge infinite",
         [=](auto& w) {
             w.BeginPolyline("R", 3);
             w.AddVertex(0, 0, 0, "R", 3, inf);
             w.EndPolyline();
         },
         "AddVertex"},
        {"engraved circle negative",
         [=](auto& w) {
             Drawing part;
             part.entities.push_back(Entity{"E", 7, CircleEntity{{0, 0, 0}, -1}});
             w.AddDrawing(part);
         },
         "AddDrawing"},
    };
    int index = 0;
    for (const auto& c : cases) {
        DrawingWriter w;
        w.OpenDrawing(folder_ / (std::to_string(index++) + ".dxf"));
        w.StartDrawing();
        w.AddLine(0, 0, 0, 600, 0, 0, "BORDER", 1);
        w.BeginPolyline("ROUTE", 3);
        w.AddVertex(0, 0, 0, "ROUTE", 3, 0);
        w.EndPolyline();
        const std::size_t good = w.Content().entities.size();
        c.call(w);
        EXPECT_EQ(w.Refused(), 1u) << c.name;
        EXPECT_NE(w.Error().find(c.operation), std::string::npos) << c.name << ": " << w.Error();
        EXPECT_NE(w.Error().find("not a finite number"), std::string::npos) << c.name;
        for (const Entity& e : w.Content().entities) {
            if (const auto* p = std::get_if<PolylineEntity>(&e.geometry)) {
                EXPECT_FALSE(p->vertices.empty()) << c.name;
            }
        }
        EXPECT_EQ(w.Content().entities.size(), good) << c.name;
        ASSERT_TRUE(w.CloseDrawing()) << c.name;
        const std::string dxf = Contents(w.File());
        for (const char* bad : {"nan", "inf", "NAN", "INF"})
            EXPECT_EQ(dxf.find(bad), std::string::npos) << c.name << " wrote " << bad;
    }
}

// A bad vertex drops only itself: the polyline keeps its good vertices in order.
TEST_F(DrawingWriterFiles, ARefusedVertexLeavesTheRestOfItsPolyline) {
    DrawingWriter w(DrawingWriter::Keep::kEntities);
    w.OpenDrawing(folder_ / "p.dxf");
    w.StartDrawing();
    w.BeginPolyline("ROUTE", 3);
    w.AddVertex(0, 0, 0, "ROUTE", 3, 0);
    w.AddVertex(std::numeric_limits<float>::quiet_NaN(), 5, 0, "ROUTE", 3, 0);
    w.AddVertex(10, 0, 0, "ROUTE", 3, 0);
    w.EndPolyline();
    ASSERT_EQ(w.Content().entities.size(), 1u);
    EXPECT_TRUE(w.Content().entities[0] ==
                (Entity{"ROUTE", 3, PolylineEntity{{{0, 0, 0, 0}, {10, 0, 0, 0}}, false}}));
    EXPECT_EQ(w.Refused(), 1u);
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
// Files may grow to `bytes` while it lives (written by any thread of the process).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) : handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    void (*handler_)(int);
};

// The old drawing stays untouched until CloseDrawing replaces it; a failed write (here: the file
// size limit, a few bytes short of the drawing) keeps it as it was, and the drawing can be closed
// again once the cause is gone. Both for a drawing held in memory and for one whose entities went
// to a temporary file.
TEST_F(DrawingWriterFiles, ReplacesTheFileAtCloseAndKeepsItWhenThatFails) {
    for (const int copies : {200, 20000}) {
        const fs::path file = folder_ / "Part.DXF";
        Put(file, "old drawing");
        DrawingWriter w{DrawingWriter::Keep::kEntities};
        DrawSomething(w, file, copies);
        EXPECT_EQ(w.Error(), "");
        EXPECT_EQ(Contents(file), "old drawing");
        EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"})
            << copies << ": no probe or temporary file seen";

        // Room for the entities in the temporary file, but not for the whole drawing.
        const std::size_t size = DxfText(w.Content()).size();
        bool closed = true;
        {
            const FileSizeLimit limit(size - 10);
            closed = w.CloseDrawing();
        }
        EXPECT_FALSE(closed) << copies;
        EXPECT_NE(w.Error().find("Part.DXF"), std::string::npos) << w.Error();
        EXPECT_EQ(Contents(file), "old drawing");
        EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"})
            << copies << ": no temporary file left";

        EXPECT_TRUE(w.CloseDrawing()) << copies << ": once the cause is gone";
        EXPECT_TRUE(Contents(file) == DxfText(w.Content())) << copies;
        EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"}) << copies;
    }
}

// The disk filling up while entities are still being drawn: the job's CloseDrawing fails (again
// on every later try, the entities being lost), the old drawing stays and nothing is left.
TEST_F(DrawingWriterFiles, DiskFullWhileDrawingKeepsTheOldFileAndLeavesNothing) {
    const fs::path file = folder_ / "Part.DXF";
    Put(file, "old drawing");
    DrawingWriter w;
    {
        const FileSizeLimit limit(64 * 1024);
        DrawSomething(w, file, 20000);
        EXPECT_FALSE(w.CloseDrawing());
    }
    EXPECT_NE(w.Error().find("Cannot write the drawing"), std::string::npos) << w.Error();
    EXPECT_NE(w.Error().find("Part.DXF"), std::string::npos) << w.Error();
    EXPECT_EQ(Contents(file), "old drawing");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"});
    EXPECT_FALSE(w.CloseDrawing()) << "the entities are gone";
    EXPECT_EQ(Contents(file), "old drawing");
}

// A job given up half way (cancelled, or failed elsewhere) leaves the folder as it was.
TEST_F(DrawingWriterFiles, AbandonedDrawingLeavesNothingBehind) {
    const fs::path file = folder_ / "Part.DXF";
    Put(file, "old drawing");
    {
        DrawingWriter w;
        DrawSomething(w, file, 20000);
        EXPECT_EQ(w.Error(), "");
        EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"});
    }
    EXPECT_EQ(Contents(file), "old drawing");
    EXPECT_EQ(Names(folder_), std::vector<std::string>{"Part.DXF"});
}

#endif

// However large the drawing (held in one run, just at the edge of a run, spilled over many runs
// to the temporary file), the file holds exactly the drawing written at once, and the counts per
// layer are those of the entities drawn, whether the writer keeps the entities or not.
TEST_F(DrawingWriterFiles, LargeDrawingIsWrittenAsTheDrawingAtOnce) {
    // Holes weigh one each, so 16384 of them make exactly one run.
    const std::pair<int, int> cases[] = {{1, 8},     {2000, 8},  {16383, 1},
                                         {16384, 1}, {16385, 1}, {60000, 8}};
    for (const auto& [count, kinds] : cases) {
        const fs::path kept = folder_ / "Kept.DXF";
        const fs::path counted = folder_ / "Counted.DXF";
        DrawingWriter keeping{DrawingWriter::Keep::kEntities};
        DrawingWriter counting;
        keeping.OpenDrawing(kept);
        counting.OpenDrawing(counted);
        keeping.StartDrawing();
        counting.StartDrawing();
        DrawMany(keeping, count, kinds);
        DrawMany(counting, count, kinds);
        ASSERT_TRUE(keeping.CloseDrawing()) << keeping.Error();
        ASSERT_TRUE(counting.CloseDrawing()) << counting.Error();
        const Drawing& drawing = keeping.Content();
        const std::string expected = DxfText(drawing);
        EXPECT_TRUE(Contents(kept) == expected) << count;
        EXPECT_TRUE(Contents(counted) == expected) << count;
        EXPECT_EQ(keeping.EntityCount(), drawing.entities.size()) << count;
        EXPECT_EQ(counting.EntityCount(), drawing.entities.size()) << count;
        EXPECT_EQ(keeping.EntitiesPerLayer(), Tally(drawing)) << count;
        EXPECT_EQ(counting.EntitiesPerLayer(), Tally(drawing)) << count;
        EXPECT_TRUE(counting.Content().entities.empty()) << count;
        EXPECT_EQ(counting.Content().layers, drawing.layers) << count;
        EXPECT_EQ(Names(folder_), (std::vector<std::string>{"Counted.DXF", "Kept.DXF"})) << count;
    }
}

#ifndef _WIN32

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
