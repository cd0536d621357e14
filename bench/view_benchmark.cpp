// The viewer's figures on a large drawing: open (read and index), full redraw, zoomed-in redraws
// and peak memory per vertex. Targets: open under 0.5 s per 100,000 entities, a full redraw
// under 50 ms, a zoomed-in redraw that costs what it shows, under 100 bytes per vertex.
//
//   retracer_view_bench generate N FILE   writes a drawing of N entities
//   retracer_view_bench measure FILE      prints the figures for it
//
// The generated drawing has the entity mix of the DXF writer benchmark (45% holes, 35% lines,
// 10% route polylines of 20 vertices with every other segment an arc, 10% texts), laid out as
// parts do on a sheet: each part a 600 x 400 panel holding 100 entities, panels side by side.
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "drawing/display_drawing.h"
#include "drawing/dxf_writer.h"
#include "view/drawing_renderer.h"

namespace {

using retracer::Box2;
using retracer::DisplayDrawing;
using retracer::view::DrawingRenderer;
using retracer::view::ViewState;

double Single(double v) {
    return static_cast<double>(static_cast<float>(v));
}

int Generate(long count, const std::string& file) {
    using namespace retracer;
    std::mt19937 random(1);
    std::uniform_int_distribution<int> grid(0, 10000);  // 0.1 mm steps inside a 600 x 400 part
    std::uniform_int_distribution<int> depth(-40, 0);
    const long parts = (count + 99) / 100;
    const long columns = std::max(1L, static_cast<long>(std::sqrt(static_cast<double>(parts))));
    const char* holeLayers[] = {"VBORE_Z12T21", "HBORE_Z9.5T5_P1", "00"};
    const char* routeLayers[] = {"ROUTE_Z18T3_L_FD2000_S18", "ROUTE_Z6.5T7_R_FD1500_S16"};
    Drawing d;
    d.entities.reserve(static_cast<std::size_t>(count));
    for (long i = 0; i < count; ++i) {
        const long part = i / 100;
        const double ox = static_cast<double>(part % columns) * 650.0;
        const double oy = static_cast<double>(part / columns) * 450.0;
        const auto x = [&] { return Single(ox + grid(random) * 0.06); };
        const auto y = [&] { return Single(oy + grid(random) * 0.04); };
        const auto z = [&] { return depth(random) / 2.0; };
        const long kind = i % 20;
        if (kind < 9) {
            d.entities.push_back(
                Entity{holeLayers[i % 3], 4,
                       CircleEntity{{x(), y(), z()}, 2.5 + static_cast<double>(i % 8)}});
        } else if (kind < 16) {
            d.entities.push_back(Entity{"SAW_Z8", 3, LineEntity{{x(), y(), 0}, {x(), y(), z()}}});
        } else if (kind < 18) {
            PolylineEntity route;
            for (int k = 0; k < 20; ++k)
                route.vertices.push_back(
                    PolylineVertex{x(), y(), z(), k % 2 ? Single(0.41421357) : 0});
            d.entities.push_back(Entity{routeLayers[i % 2], 3, std::move(route)});
        } else {
            d.entities.push_back(
                Entity{"Retracer Notation", 7,
                       TextEntity{{x(), y(), 0}, 3.5, 0, "Cabinet " + std::to_string(i)}});
        }
    }
    std::ofstream out(file, std::ios::binary);
    WriteDxf(d, out);
    return out ? 0 : 1;
}

// Resident memory high-water mark of this process, in bytes.
long PeakResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    }
    return 0;
}

long ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    }
    return 0;
}

double Milliseconds(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The medians of several renders of one view: wall-clock time, and the processor time of the
// calling thread (busy views have a second drawing thread; on a machine busy with other work
// this is the steadier figure).
struct Timing {
    double wallMs;
    double cpuMs;
};
Timing RenderMs(const DrawingRenderer& renderer, QImage& image, const ViewState& view,
                retracer::view::RenderStats& stats) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < 7; ++i) {
        QPainter painter(&image);
        QElapsedTimer t;
        const double cpu0 = ThreadCpuMs();
        t.start();
        stats =
            renderer.Render(painter, QRectF(image.rect()), view, retracer::view::RenderOptions{});
        painter.end();
        wall.push_back(Milliseconds(t));
        cpu.push_back(ThreadCpuMs() - cpu0);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

int Measure(const std::string& file) {
    const long before = ResidentBytes();
    QElapsedTimer t;
    const double cpu0 = ThreadCpuMs();
    t.start();
    DisplayDrawing drawing;
    std::string error;
    if (!drawing.Read(file, DisplayDrawing::ReadMode::kReplace, 0, 0, error)) {
        std::cerr << file << ": " << error << "\n";
        return 1;
    }
    const double readMs = Milliseconds(t);
    t.restart();
    const DrawingRenderer renderer(drawing);
    const double indexMs = Milliseconds(t);
    const double openCpuMs = ThreadCpuMs() - cpu0;
    const long peakOpen = PeakResidentBytes();
    const long held = ResidentBytes() - before;

    const double entities = static_cast<double>(drawing.entities.size());
    const double vertices = static_cast<double>(drawing.VertexCount());
    const double openMs = readMs + indexMs;
    std::printf("entities                 %.0f (%.0f vertices)\n", entities, vertices);
    std::printf(
        "open (read + index)      %.0f ms = %.0f + %.0f, processor %.0f ms; %.3f s per "
        "100,000 entities (target < 0.5)\n",
        openMs, readMs, indexMs, openCpuMs, openMs / 1000.0 / (entities / 100000.0));
    std::printf(
        "peak memory while open   %.0f bytes per vertex (target < 100); held afterwards "
        "%.0f\n",
        static_cast<double>(peakOpen - before) / vertices, static_cast<double>(held) / vertices);
    std::printf("display model            %.0f bytes per vertex\n",
                static_cast<double>(drawing.MemoryBytes()) / vertices);

    QImage image(QSize(1600, 1000), QImage::Format_RGB32);
    const QRectF device(image.rect());
    retracer::view::RenderStats stats;
    const ViewState whole = retracer::view::FitBox(renderer.Extents(), device, 98);
    {
        // The first view of a zoom band also draws its coarse picture; later ones reuse it.
        QPainter painter(&image);
        t.restart();
        renderer.Render(painter, device, whole, retracer::view::RenderOptions{});
        std::printf("first full redraw        %.1f ms (draws the coarse picture)\n",
                    Milliseconds(t));
    }
    const Timing full = RenderMs(renderer, image, whole, stats);
    std::printf(
        "full redraw 1600x1000    %.1f ms, calling thread %.1f ms (target < 50): %zu in view, "
        "%zu drawn, %zu as dots, %zu from the coarse picture\n",
        full.wallMs, full.cpuMs, stats.candidates, stats.drawn, stats.dots, stats.coarse);
    for (const double zoom : {10.0, 100.0, 1000.0}) {
        ViewState in = whole;
        in.scale *= zoom;
        const Timing zoomed = RenderMs(renderer, image, in, stats);
        std::printf(
            "zoomed x%-6.0f redraw     %.2f ms, calling thread %.2f ms: %zu in view, %zu drawn, "
            "%zu as dots, %zu from the coarse picture\n",
            zoom, zoomed.wallMs, zoomed.cpuMs, stats.candidates, stats.drawn, stats.dots,
            stats.coarse);
    }
    std::printf("peak memory after redraws %.0f bytes per vertex\n",
                static_cast<double>(PeakResidentBytes() - before) / vertices);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "generate")
        return Generate(std::atol(argv[2]), argv[3]);
    if (argc == 3 && std::string(argv[1]) == "measure") {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        QGuiApplication app(argc, argv);
        return Measure(argv[2]);
    }
    std::cerr << "usage: retracer_view_bench generate N FILE | measure FILE\n";
    return 2;
}
