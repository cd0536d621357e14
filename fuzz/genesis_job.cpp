// A whole Genesis job on fuzzed program text (see job_harness.h for the input's shape and the
// properties checked).
#include <cstddef>
#include <cstdint>

#include "job_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return retracer::fuzz::RunJob(data, size, retracer::Dialect::kGenesis, "MAIN.CNC");
}
