// Translating a large Genesis Ev program into an in-memory drawing. Target: well above 500,000
// lines per second, since the whole pipeline still has to write the DXF file afterwards.
//
// The program defines all 300 R variables (plain numbers, and expressions of the part size and
// of other R variables) and then holds 100,000 macro blocks, each reading several of them:
// single holes, short rows of holes, tool starts followed by straight moves and arcs, grooves,
// and conditions with an else branch.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "base/line_scanner.h"
#include "pipeline_support.h"
#include "translate/genesis_ev.h"

namespace {

constexpr int kBlocks = 100'000;

struct Program {
    std::string text;
    int lines = 0;
};

const Program& BigProgram() {
    static const Program program = [] {
        std::mt19937 random(5);
        auto r = [&](int low, int high) {
            return "r" + std::to_string(std::uniform_int_distribution<int>(low, high)(random));
        };
        Program p;
        std::string& t = p.text;
        t.reserve(static_cast<std::size_t>(kBlocks) * 60);
        t += "$=Benchmark panel\n::UNm DL=2400 DH=1200 DS=18\n::SIDE=1;\n";
        t += "VAR{\n";
        for (int n = 0; n < 300; ++n) {
            t += "#" + std::to_string(n) + "=";
            if (n % 10 == 3) {
                t += "L/" + std::to_string(2 + n % 7);
            } else if (n % 10 == 7 && n > 20) {
                t += "r" + std::to_string(n - 20) + "+5";  // replaced by its value while read
            } else if (n % 10 == 9) {
                t += "R" + std::to_string(n / 3) + "*2";  // read through the R variable
            } else {
                t += std::to_string(10 + (n * 37) % 900) + "." + std::to_string(n % 10);
            }
            t += "|variable " + std::to_string(n) + "\n";
        }
        t += "}VAR\nSIDE#1{\n";
        for (int block = 0; block < kBlocks;) {
            switch (block % 10) {
                case 0:
                case 1:
                case 2:
                    t += "W#81{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " #3=-" + r(0, 30) +
                         "/10 #205=21 }\n";
                    ++block;
                    break;
                case 3:
                    t += "W#1902{ #8510=" + r(0, 99) + " #8517=" + r(0, 99) +
                         "+64 #8021=" + r(100, 299) + " #8520=32 #3=-12 #205=5 }\n";
                    ++block;
                    break;
                case 4:
                    t += "W#89{ #1=" + r(0, 299) + " #2=" + r(0, 299) +
                         " #3=-12 #205=3 #2002=18000 #2005=2000 #40=1 }\n";
                    t += "W#2201{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " }\n";
                    t += "W#2101{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " #34=1 }\n";
                    t += "W#2111{ #1=" + r(0, 299) + "+10 #2=" + r(0, 299) +
                         " #8017=" + r(200, 299) + "*4 }\n";
                    block += 4;
                    break;
                case 8:
                    t += "W#1050{ #8510=" + r(0, 99) + " #8511=" + r(0, 299) +
                         " #8517=" + r(100, 299) + " #3=-8 #8516=12 }\n";
                    ++block;
                    break;
                default:
                    t += "W#2001{ #8070=" + r(0, 299) + " #8060=0 #8073=" + r(0, 299) + " }\n";
                    t += "W#81{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " }\n";
                    t += "W#2005{ }\n";
                    t += "W#81{ #1=" + r(0, 299) + " #2=" + r(0, 299) + " }\n";
                    t += "W#2002{ }\n";
                    block += 5;
                    break;
            }
        }
        t += "}SIDE\n";
        for (char c : t) p.lines += c == '\n';
        return p;
    }();
    return program;
}

class Job : public retracer::ScanHandler {
  public:
    Job() {
        writer.OpenDrawing(std::filesystem::temp_directory_path() / "retracer-bench-ev.dxf");
        writer.StartDrawing();
        tools.Set(21, {0, 0, 10});
        tools.Set(5, {0, 0, 8});
        state.condStack.fill(true);
    }
    void LineRead(retracer::LineScanner& scanner) override {
        translator.TranslateLine(scanner.Current(), "BENCH.PGM", scanner.LineNumber());
    }
    void ScanEnd(retracer::LineScanner&) override {
        retracer::EndRoutePath(Context().Routes(nullptr));
    }
    retracer::TranslationContext Context() {
        return retracer::TranslationContext{state, job, header, options, tools, roots, writer};
    }

    retracer::TranslationState state;
    retracer::JobState job;
    retracer::ProgramHeader header;
    retracer::TranslationOptions options;
    retracer::ToolTable tools;
    retracer::LayerRoots roots;
    retracer::DrawingWriter writer;
    retracer::GenesisEvTranslator translator{Context()};
};

void BM_TranslateGenesisEvProgram(benchmark::State& s) {
    const Program& program = BigProgram();
    std::size_t entities = 0;
    std::size_t diagnostics = 0;
    for (auto _ : s) {
        Job job;
        retracer::LineScanner scanner;
        scanner.ScanText(program.text, job);
        entities = job.writer.Content().entities.size();
        diagnostics = job.job.diagnostics.size();
        benchmark::DoNotOptimize(entities);
    }
    s.SetItemsProcessed(static_cast<int64_t>(s.iterations()) * program.lines);
    s.counters["lines"] = program.lines;
    s.counters["entities"] = static_cast<double>(entities);
    s.counters["diagnostics"] = static_cast<double>(diagnostics);
}
BENCHMARK(BM_TranslateGenesisEvProgram)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same program from its file to the written DXF, through recognition and the job driver.
void BM_TranslateGenesisEvPipeline(benchmark::State& s) {
    const Program& program = BigProgram();
    retracer::bench::RunPipeline(s, "BENCH.PGM", program.text, program.lines,
                                 "5,0,0,8\r\n21,0,0,10\r\n");
}
BENCHMARK(BM_TranslateGenesisEvPipeline)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

}  // namespace
