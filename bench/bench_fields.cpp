// Splitting program lines into fields and decoding program files: the two steps every line of
// every job passes through.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/field_splitter.h"
#include "base/line_scanner.h"
#include "base/text_codec.h"

namespace {

constexpr const char* kProgramLine = "G1 X1250.5 Y300.25 Z-18.5 F12000 S18000 T101 ; routed edge";

// One line as a translator meets it: load the text, split, read a field.
void BM_SplitProgramLine(benchmark::State& state, const char* separators) {
    retracer::FieldSplitter splitter;
    splitter.SetSeparators(separators);
    const std::string line = kProgramLine;
    for (auto _ : state) {
        splitter.SetText(line);
        benchmark::DoNotOptimize(splitter.FieldCount());
        benchmark::DoNotOptimize(splitter.Field(3).data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_SplitProgramLine, blank_xyz, " XYZ");
BENCHMARK_CAPTURE(BM_SplitProgramLine, xyzfst, "XYZFST");
BENCHMARK_CAPTURE(BM_SplitProgramLine, broken_bar, "\xC2\xA6 ");

// As the scanner does it: text and the line's default separators together.
void BM_AssignProgramLine(benchmark::State& state) {
    retracer::FieldSplitter splitter;
    const std::string line = kProgramLine;
    for (auto _ : state) {
        splitter.Assign(line, " XYZ");
        benchmark::DoNotOptimize(splitter.Field(3).data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AssignProgramLine);

std::string MakeProgram(std::size_t bytes, bool with_degree_sign) {
    std::string text;
    text.reserve(bytes + 100);
    for (int n = 0; text.size() < bytes; ++n) {
        text += "N" + std::to_string(n) + " G1 X1250.5 Y300.25 Z-18.5 F12000";
        text += with_degree_sign ? " ; 45\xC2\xB0 edge\r\n" : " ; edge\r\n";
    }
    return text;
}

void BM_DecodeText(benchmark::State& state, bool with_degree_sign) {
    const std::string program = MakeProgram(50u << 20, with_degree_sign);
    for (auto _ : state) {
        std::string out = retracer::DecodeText(program);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * program.size()));
}
BENCHMARK_CAPTURE(BM_DecodeText, ascii_50MB, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeText, utf8_50MB, true)->Unit(benchmark::kMillisecond);

void BM_DecodeWindows1252(benchmark::State& state) {
    std::string program = MakeProgram(50u << 20, false);
    for (std::size_t i = 40; i < program.size(); i += 61) program[i] = '\xB0';
    for (auto _ : state) {
        std::string out = retracer::DecodeText(program);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * program.size()));
}
BENCHMARK(BM_DecodeWindows1252)->Unit(benchmark::kMillisecond);

class CountFields : public retracer::ScanHandler {
  public:
    long fields = 0;
    void LineRead(retracer::LineScanner& scanner) override {
        fields += scanner.Current().FieldCount();
    }
};

void BM_ScanProgram(benchmark::State& state) {
    const std::string program = MakeProgram(8u << 20, false);
    retracer::LineScanner scanner;
    for (auto _ : state) {
        CountFields handler;
        scanner.ScanText(program, handler);
        benchmark::DoNotOptimize(handler.fields);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * program.size()));
}
BENCHMARK(BM_ScanProgram)->Unit(benchmark::kMillisecond);

}  // namespace
