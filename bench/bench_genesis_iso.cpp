// A generated Genesis program of 1,000,000 lines from its file to the written DXF, through
// recognition and the job driver. Target: at least 1,000,000 lines per second, peak memory under
// 200 MB.
//
// The lines mix what real programs hold (tools/big_programs.h).

#include <benchmark/benchmark.h>

#include <string>
#include <utility>

#include "big_programs.h"
#include "pipeline_support.h"

namespace {

constexpr int kLines = 1'000'000;

void BM_TranslateGenesisIsoPipeline(benchmark::State& s) {
    retracer::big_programs::Program program = retracer::big_programs::GenesisProgram(kLines);
    retracer::bench::RunPipeline(s, "BENCH.CNC", std::move(program.text), program.lines,
                                 retracer::big_programs::kGenesisToolPar);
}
BENCHMARK(BM_TranslateGenesisIsoPipeline)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0)
    ->UseRealTime();

}  // namespace
