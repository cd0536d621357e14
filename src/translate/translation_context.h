#pragma once

#include <string>
#include <string_view>

#include "base/field_splitter.h"
#include "drawing/drawing_writer.h"
#include "drawing/layer_names.h"
#include "settings/options.h"
#include "translate/drill_hole.h"
#include "translate/job_state.h"
#include "translate/program_header.h"
#include "translate/route_path.h"
#include "translate/tool_table.h"
#include "translate/translation_state.h"

namespace retracer {

// Everything a translator reads and writes while one job runs, by reference: built by the job
// driver, handed to the translator of the program's dialect.
struct TranslationContext {
    TranslationState& state;
    JobState& job;
    ProgramHeader& header;
    const TranslationOptions& options;
    const ToolTable& tools;
    const LayerRoots& roots;
    DrawingWriter& writer;

    HoleOutput Holes() const {
        return HoleOutput{writer, state,         options,           tools,
                          roots,  job.mirrorJob, header.partLength, job.unitDivisor,
                          &job};
    }
    RouteOutput Routes(FieldSplitter* line) const {
        return RouteOutput{writer, state, options, roots, job.mirrorJob, header.partLength,
                           line,   &job};
    }
    // Reports a problem in the input; the job goes on.
    void Warn(std::string file, int line, std::string message) const {
        if (job.diagnostics.size() >= JobState::kMaxDiagnostics) {
            ++job.diagnosticsLeftOut;
            return;
        }
        job.diagnostics.push_back(Diagnostic{std::move(file), line, std::move(message)});
    }
    // Counts one more hole of a row or circle of holes; false once the job's share is used up,
    // said once, at the first hole left out.
    bool NextPatternHole(std::string_view file, int line) const {
        if (job.patternHoles < job.maxPatternHoles) {
            ++job.patternHoles;
            return true;
        }
        if (job.patternHoles++ == job.maxPatternHoles) {
            Warn(std::string(file), line,
                 "more than " + std::to_string(job.maxPatternHoles) +
                     " holes in rows and circles of holes; the rest of the job's patterns are "
                     "left out");
        }
        return false;
    }
};

}  // namespace retracer
