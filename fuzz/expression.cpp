// The expression evaluator: the first line is evaluated, the lines after it ("R5=L/2", "B=3")
// first assign the variables it may read. The result is always finite, and no more of the text is
// consumed than there is.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "variables/eval_expression.h"
#include "variables/expression.h"

namespace {

using retracer::fuzz::Check;

void Assign(retracer::ProgramVariables& vars, std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    const std::string_view name = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (name.size() == 1 && name[0] >= 'A' && name[0] <= 'T') {
        retracer::AssignLetterVariable(vars, name[0] - 'A' + 1, value);
    } else {
        retracer::AssignRVariable(vars, name, value);
    }
}

// Names read extreme values, so every operator meets overflow, underflow and signed zero.
bool ExtremeValues(std::string_view name, double& value) {
    constexpr double kValues[] = {1e308, -1e308, 3.4e38, 1e-308, -0.0, 0.5, 0};
    value = kValues[name.size() % (sizeof kValues / sizeof kValues[0])];
    return name.size() % 5 != 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = retracer::fuzz::AsText(data, size);
    const std::size_t firstEnd = std::min(input.find('\n'), input.size());
    const std::string_view expression = input.substr(0, firstEnd);

    retracer::ProgramVariables vars;
    std::string_view rest = input.substr(firstEnd);
    while (!rest.empty()) {
        rest.remove_prefix(1);
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        Assign(vars, rest.substr(0, end));
        rest.remove_prefix(end);
    }

    for (int machineType : {0, 4}) {
        retracer::EvalFaultLog log;
        const retracer::EvalContext context{vars, machineType, &log};
        const double value = retracer::EvalExpression(expression, context);
        Check(std::isfinite(value), "EvalExpression gave a value that is not finite");
        Check(log.count == 0 || log.firstFaults.Any(),
              "a fault was counted without saying what it was");
    }

    auto resolver = ExtremeValues;
    const retracer::ExpressionResult result =
        retracer::EvaluateExpression(expression, retracer::NameResolver(resolver));
    Check(std::isfinite(result.value), "EvaluateExpression gave a value that is not finite");
    Check(result.consumed <= expression.size(), "EvaluateExpression consumed more than the text");
    return 0;
}
