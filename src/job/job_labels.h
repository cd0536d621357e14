#pragma once

#include <filesystem>

#include "labels/lettering.h"

namespace retracer {

class DrawingWriter;
struct JobState;
struct Session;
struct TranslationState;

// The label block of a finished scan, written into the job's drawing before it is closed. The
// HBD counter advanced here is job.hbdCounter; loading and storing it is the caller's business.
void AddJobLabelBlock(Session& session, JobState& job, const TranslationState& state,
                      DrawingWriter& writer, int jobNumber, const std::filesystem::path& program,
                      const std::filesystem::path& output);

// Engraves the job's pending labels into its drawing before it is written, with the session's
// letter library, so the file is written once with its lettering.
void EngraveJobLabels(const Session& session, JobState& job, DrawingWriter& writer);

// Engraves the job's pending labels into its saved drawing with the application's letter
// library. A file that cannot be read or saved back is reported among the job's diagnostics.
FinishResult FinishJobDrawing(const Session& session, JobState& job,
                              const std::filesystem::path& output);

}  // namespace retracer
