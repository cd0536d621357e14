// Writing a large drawing to a DXF file, against writing the same bytes with a plain buffered
// std::ofstream. Target: at least 3 million entities per second and within 3x the plain write.
//
// The drawing holds 1,000,000 entities in the proportions of a busy job: 45% holes (circles),
// 35% lines, 10% route polylines of 20 vertices (every other segment an arc), 10% texts, all
// with single-precision program values as the translators produce them.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "drawing/drawing_writer.h"
#include "drawing/dxf_writer.h"

namespace {

constexpr int kEntities = 1'000'000;

const retracer::Drawing& BigDrawing() {
    static const retracer::Drawing drawing = [] {
        using namespace retracer;
        std::mt19937 random(1);
        // Program coordinates on a 0.1 mm grid and depths in 0.5 mm steps, as parts have them.
        std::uniform_int_distribution<int> grid(0, 25000);
        std::uniform_int_distribution<int> depth(-40, 0);
        const auto coordinate = [&] {
            return FromSingle(static_cast<float>(grid(random)) / 10.0f);
        };
        const auto z = [&] { return FromSingle(static_cast<float>(depth(random)) / 2.0f); };
        const char* holeLayers[] = {"VBORE_Z12T21", "HBORE_Z9.5T5_P1", "00"};
        const char* routeLayers[] = {"ROUTE_Z18T3_L_FD2000_S18", "ROUTE_Z6.5T7_R_FD1500_S16"};
        Drawing d;
        d.entities.reserve(kEntities);
        for (int i = 0; i < kEntities; ++i) {
            const int kind = i % 20;
            if (kind < 9) {
                d.entities.push_back(
                    Entity{holeLayers[i % 3], 4,
                           CircleEntity{{coordinate(), coordinate(), z()},
                                        FromSingle(2.5f + static_cast<float>(i % 8))}});
            } else if (kind < 16) {
                d.entities.push_back(Entity{"SAW_Z8", 3,
                                            LineEntity{{coordinate(), coordinate(), 0},
                                                       {coordinate(), coordinate(), z()}}});
            } else if (kind < 18) {
                PolylineEntity route;
                for (int k = 0; k < 20; ++k)
                    route.vertices.push_back(PolylineVertex{coordinate(), coordinate(), z(),
                                                            k % 2 ? FromSingle(0.41421357f) : 0});
                d.entities.push_back(Entity{routeLayers[i % 2], 3, std::move(route)});
            } else {
                d.entities.push_back(Entity{
                    "Retracer Notation", 7,
                    TextEntity{
                        {coordinate(), coordinate(), 0}, 3.5, 0, "Cabinet " + std::to_string(i)}});
            }
        }
        return d;
    }();
    return drawing;
}

std::filesystem::path BenchFile(const char* name) {
    return std::filesystem::temp_directory_path() / name;
}

// Each round writes a new file, as a job does: removing the last round's file (and truncating
// a large file in place, which makes the file system write it back on close) is not timed.
void RemoveUntimed(benchmark::State& state, const std::filesystem::path& path) {
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
}

void ReportBytes(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["entities/s"] = benchmark::Counter(
        static_cast<double>(kEntities), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

// The writer, from the model to a file on disk.
void BM_WriteDxfFile(benchmark::State& state) {
    const retracer::Drawing& drawing = BigDrawing();
    const auto path = BenchFile("retracer_bench_write.dxf");
    std::size_t bytes = 0;
    for (auto _ : state) {
        RemoveUntimed(state, path);
        std::ofstream out(path, std::ios::binary);
        retracer::WriteDxf(drawing, out);
        out.close();
        bytes = static_cast<std::size_t>(std::filesystem::file_size(path));
    }
    ReportBytes(state, bytes);
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteDxfFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The job's way: the same entities handed one by one to the drawing writer, which formats them on
// its own thread into a temporary file while they come and writes the drawing at the end.
void BM_WriteDxfThroughDrawingWriter(benchmark::State& state) {
    const retracer::Drawing& drawing = BigDrawing();
    const auto path = BenchFile("retracer_bench_writer.dxf");
    std::size_t bytes = 0;
    for (auto _ : state) {
        RemoveUntimed(state, path);
        retracer::DrawingWriter writer;
        writer.OpenDrawing(path);
        writer.StartDrawing();
        for (const retracer::Entity& e : drawing.entities) {
            const auto f = [](double v) { return static_cast<float>(v); };
            if (const auto* c = std::get_if<retracer::CircleEntity>(&e.geometry)) {
                writer.AddCircle(f(c->centre.x), f(c->centre.y), f(c->centre.z), f(c->radius),
                                 e.layer, e.colour);
            } else if (const auto* l = std::get_if<retracer::LineEntity>(&e.geometry)) {
                writer.AddLine(f(l->start.x), f(l->start.y), f(l->start.z), f(l->end.x),
                               f(l->end.y), f(l->end.z), e.layer, e.colour);
            } else if (const auto* p = std::get_if<retracer::PolylineEntity>(&e.geometry)) {
                writer.BeginPolyline(e.layer, e.colour);
                for (const retracer::PolylineVertex& v : p->vertices)
                    writer.AddVertex(f(v.x), f(v.y), f(v.z), e.layer, e.colour, f(v.bulge));
                writer.EndPolyline();
            } else if (const auto* t = std::get_if<retracer::TextEntity>(&e.geometry)) {
                writer.AddText(f(t->position.x), f(t->position.y), f(t->position.z), f(t->height),
                               f(t->rotation), t->text, e.layer, e.colour);
            }
        }
        if (!writer.CloseDrawing()) state.SkipWithError(writer.Error().c_str());
        bytes = static_cast<std::size_t>(std::filesystem::file_size(path));
    }
    ReportBytes(state, bytes);
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteDxfThroughDrawingWriter)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The writer alone: into a stream that discards everything, so no file system cost.
class NullBuffer : public std::streambuf {
  protected:
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
};

void BM_WriteDxfFormatOnly(benchmark::State& state) {
    const retracer::Drawing& drawing = BigDrawing();
    NullBuffer discard;
    std::ostream out(&discard);
    for (auto _ : state) retracer::WriteDxf(drawing, out);
    static const std::size_t bytes = retracer::DxfText(drawing).size();
    ReportBytes(state, bytes);
}
BENCHMARK(BM_WriteDxfFormatOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The same bytes, already made, through a plain buffered std::ofstream: line by line, as a
// simple writer hands them over, and in 64 KiB blocks, as fast as the stream goes.
void BM_OfstreamSameBytes(benchmark::State& state, bool byLine) {
    static const std::string text = retracer::DxfText(BigDrawing());
    static const std::vector<std::string_view> lines = [] {
        std::vector<std::string_view> result;
        std::size_t start = 0;
        for (std::size_t end = text.find('\n'); end != std::string::npos;
             start = end + 1, end = text.find('\n', start))
            result.push_back(std::string_view(text).substr(start, end + 1 - start));
        return result;
    }();
    const auto path = BenchFile("retracer_bench_plain.dxf");
    for (auto _ : state) {
        RemoveUntimed(state, path);
        std::ofstream out(path, std::ios::binary);
        if (byLine) {
            for (const std::string_view line : lines)
                out.write(line.data(), static_cast<std::streamsize>(line.size()));
        } else {
            constexpr std::size_t kBlock = 64 * 1024;
            for (std::size_t at = 0; at < text.size(); at += kBlock)
                out.write(text.data() + at,
                          static_cast<std::streamsize>(std::min(kBlock, text.size() - at)));
        }
        out.close();
    }
    ReportBytes(state, text.size());
    std::filesystem::remove(path);
}
BENCHMARK_CAPTURE(BM_OfstreamSameBytes, by_line, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK_CAPTURE(BM_OfstreamSameBytes, by_block, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

}  // namespace
