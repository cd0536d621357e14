#pragma once

#include <string>
#include <vector>

#include "base/prompt.h"

namespace retracer::cli {

struct BatchOptions {
    std::string worklist;  // ".lst" or ".csv"
    std::string appFolder;
    std::string dest;
    std::vector<std::string> overrides;  // Key=Value for the Config section, this run only
    int jobs = 0;                        // 0: one per processor core
    bool json = false;
    bool verbose = false;
};

// `retracer-cli batch`: the worklist run of the Process button. Prints every drawing written;
// 0 when every job's drawing was written, 1 when a row was skipped, stopped or not written (or
// the worklist could not be read), 2 for a bad setting.
int RunBatch(const BatchOptions& options, const char* argv0, Prompt& prompt);

}  // namespace retracer::cli
