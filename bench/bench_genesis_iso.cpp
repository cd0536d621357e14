// A generated Genesis program of 1,000,000 lines from its file to the written DXF, through
// recognition and the job driver. Target: at least 1,000,000 lines per second, peak memory under
// 200 MB.
//
// The lines mix what real programs hold: letter assignments, route starts followed by straight
// moves written with letter=expression words, arcs of every kind, single holes, hole rows and
// circles, grooves, and conditions that skip some of the lines.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <utility>

#include "pipeline_support.h"

namespace {

constexpr int kLines = 1'000'000;

struct Program {
    std::string text;
    int lines = 0;
};

Program BigProgram() {
    Program program = [] {
        std::mt19937 random(7);
        auto n = [&](int low, int high) {
            return std::to_string(std::uniform_int_distribution<int>(low, high)(random));
        };
        Program p;
        std::string& t = p.text;
        t.reserve(static_cast<std::size_t>(kLines) * 32);
        auto line = [&](const std::string& text) {
            t += text;
            t += '\n';
            ++p.lines;
        };
        line("G71 X2400 Y1200 Z18");
        line("(BENCHMARK PANEL)");
        line("G55 G55/");
        line("G150() A=40 B=A*2 C=H/2");
        while (p.lines < kLines) {
            switch (p.lines % 20) {
                case 0:
                    line("G88 X" + n(0, 2000) + " Y" + n(0, 1000) + " Z18 T0103 P5 S18000 F2000");
                    break;
                case 1:
                case 2:
                case 3:
                    line("G1 X=L/2-" + n(0, 900) + " Y=C+" + n(0, 500) + " Z=S+1 ; straight");
                    break;
                case 4:
                    line("G2 X" + n(100, 2000) + " Y" + n(100, 1000) + " I" + n(1, 50) + " J0");
                    break;
                case 5:
                    line("G3 X" + n(100, 2000) + " Y" + n(100, 1000) + " U3000");
                    break;
                case 6:
                    line("G112 I" + n(0, 1000) + " J" + n(0, 500) + " X" + n(1000, 2000) + " Y" +
                         n(500, 1000));
                    break;
                case 7:
                    line("G110 A" + n(0, 359) + " U" + n(1, 100));
                    break;
                case 8:
                    line("G81 X=A+" + n(0, 2000) + " Y" + n(0, 1000) + " Z12 R54=8 P5 T0105");
                    break;
                case 9:
                    line("G185 X" + n(0, 100) + " Y" + n(0, 1000) + " I" + n(100, 300) +
                         " J0 K32 Z12 R54=5 T0105");
                    break;
                case 10:
                    line("G200 X" + n(100, 2000) + " Y" + n(100, 1000) +
                         " Z10 R54=5 P5 A0 U30 R51=4 R52=0");
                    break;
                case 11:
                    line("G151 X=B Y" + n(0, 160) + " R50=0");
                    break;
                case 12:
                    line("G81 X" + n(0, 2000) + " Y" + n(0, 1000) + " Z12 R54=8 P5 T0105");
                    break;
                case 13:
                    line("G152");
                    break;
                case 14:
                    line("G85 X" + n(0, 100) + " Y" + n(0, 1000) + " Q" + n(1000, 2400) + " Z8");
                    break;
                case 15:
                    line("* a comment line");
                    break;
                case 16:
                    line("!D=D+1");
                    break;
                default:
                    line("G1 X" + n(0, 2400) + " Y" + n(0, 1200));
                    break;
            }
        }
        return p;
    }();
    return program;
}

void BM_TranslateGenesisIsoPipeline(benchmark::State& s) {
    Program program = BigProgram();
    retracer::bench::RunPipeline(s, "BENCH.CNC", std::move(program.text), program.lines,
                                 "5,0,0,8\r\n3,0,0,12\r\n");
}
BENCHMARK(BM_TranslateGenesisIsoPipeline)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

}  // namespace
