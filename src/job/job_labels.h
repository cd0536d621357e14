#pragma once

namespace retracer {

class DrawingWriter;
struct JobRequest;
struct JobResources;
struct JobResult;
struct JobState;
struct TranslationState;

// The label block of a finished scan, written into the job's drawing before it is closed: sizes
// from result.header, texts from the request; completes the texts of job.labelFields and advances
// result.hbdCounter.
void AddJobLabelBlock(const JobResources& resources, const JobRequest& request, JobState& job,
                      const TranslationState& state, DrawingWriter& writer, JobResult& result);

// Engraves the job's pending labels into its drawing before it is written, with the shared
// letter library (or the application folder's), so the file is written once with its lettering.
void EngraveJobLabels(const JobResources& resources, JobState& job, DrawingWriter& writer);

}  // namespace retracer
