// Translating a large Genesis Ev program into an in-memory drawing. Target: well above 500,000
// lines per second, since the whole pipeline still has to write the DXF file afterwards.
//
// The program defines all 300 R variables (plain numbers, and expressions of the part size and
// of other R variables) and then holds 100,000 macro blocks, each reading several of them:
// single holes, short rows of holes, tool starts followed by straight moves and arcs, grooves,
// and conditions with an else branch.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "base/line_scanner.h"
#include "big_programs.h"
#include "pipeline_support.h"
#include "translate/genesis_ev.h"

namespace {

using namespace retracer;

constexpr int kBlocks = 100'000;

const big_programs::Program& BigProgram() {
    static const big_programs::Program program = big_programs::GenesisEvProgram(kBlocks);
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
    const big_programs::Program& program = BigProgram();
    std::size_t entities = 0;
    std::size_t diagnostics = 0;
    for (auto _ : s) {
        Job job;
        retracer::LineScanner scanner;
        scanner.ScanText(program.text, job);
        entities = job.writer.EntityCount();
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
    const big_programs::Program& program = BigProgram();
    retracer::bench::RunPipeline(s, "BENCH.PGM", program.text, program.lines,
                                 big_programs::kGenesisEvToolPar);
}
BENCHMARK(BM_TranslateGenesisEvPipeline)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

}  // namespace
