// Evaluation of typical program expressions through the one entry point, with variables.
#include <benchmark/benchmark.h>

#include <array>
#include <string_view>

#include "translate/translation_state.h"

namespace {

retracer::TranslationState MakeState() {
    retracer::TranslationState state;
    auto& letters = state.vars.letters;
    letters[1] = 100;    // A
    letters[2] = 250;    // B
    letters[3] = 700;    // C
    letters[4] = 5;      // D
    letters[8] = 600;    // H
    letters[12] = 1000;  // L
    state.vars.r[5] = "12.5";
    return state;
}

void BM_EvalExpression(benchmark::State& bm, std::string_view text) {
    retracer::TranslationState state = MakeState();
    const retracer::EvalContext context = state.Eval();
    for (auto _ : bm) {
        benchmark::DoNotOptimize(retracer::EvalExpression(text, context));
    }
    bm.SetItemsProcessed(bm.iterations());
}

void BM_EvalExpressionMix(benchmark::State& bm) {
    static constexpr std::array<std::string_view, 3> kTexts = {"L/2-r5*3", "=H-32",
                                                               "(A+B)*2>=C | D<>0"};
    retracer::TranslationState state = MakeState();
    const retracer::EvalContext context = state.Eval();
    std::size_t i = 0;
    for (auto _ : bm) {
        benchmark::DoNotOptimize(retracer::EvalExpression(kTexts[i], context));
        i = i == 2 ? 0 : i + 1;
    }
    bm.SetItemsProcessed(bm.iterations());
}

BENCHMARK_CAPTURE(BM_EvalExpression, half_length_minus_r, std::string_view("L/2-r5*3"));
BENCHMARK_CAPTURE(BM_EvalExpression, width_minus, std::string_view("=H-32"));
BENCHMARK_CAPTURE(BM_EvalExpression, condition, std::string_view("(A+B)*2>=C | D<>0"));
BENCHMARK(BM_EvalExpressionMix);

}  // namespace
