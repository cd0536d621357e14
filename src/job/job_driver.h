#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "job/session.h"
#include "translate/job_state.h"
#include "translate/recognition.h"

namespace retracer {

// Recognises a program file and shows what was found on the Control Panel lists. A missing file
// asks "File Not Found … Continue?"; No sets the session's stopRequested.
bool ChkPFile(Session& session, const JobState& job, const std::filesystem::path& program);

// The output file of a job: in the destination folder under the program's name (numbered for a
// negative job number, replaced by the override, ".M.DXF" for the mirrored copy) when the job is
// saved, else the scratch file Temp.DXF in the application folder.
std::filesystem::path OutputPathFor(const Session& session, const JobState& job, int jobNumber,
                                    const std::filesystem::path& program);

struct JobOutcome {
    std::filesystem::path output;
    bool written = false;  // the drawing was saved
    std::size_t entityCount = 0;
    std::map<std::string, std::size_t> entitiesPerLayer;
};

// Translates a recognised program (session.header holds its recognition) and every subprogram it
// calls into one drawing. `job` comes in with the caller's settings (mirror, force save, override,
// row) and goes out with what the scans collected (calls, label fields, diagnostics).
JobOutcome TranslateJob(Session& session, JobState& job, int jobNumber,
                        const std::filesystem::path& program);

// One program file as the Process button translates it: recognise, then translate with
// ForceSave. Fills `job` as TranslateJob does; nothing is written when the file is not a program.
struct ProgramJob {
    std::filesystem::path program;
    bool mirror = false;
    bool forceSave = true;
};
struct ProgramJobResult {
    bool recognized = false;
    JobOutcome outcome;
};
ProgramJobResult TranslateProgramFile(Session& session, JobState& job, const ProgramJob& request);

}  // namespace retracer
