#include "job/job_labels.h"

#include <algorithm>
#include <cstdlib>

#include "drawing/drawing_writer.h"
#include "job/session.h"
#include "labels/label_block.h"
#include "settings/ini_file.h"
#include "translate/job_state.h"
#include "translate/translation_state.h"
#include "worklist/job_texts.h"

namespace retracer {
namespace {

std::string PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

void AddJobLabelBlock(Session& session, JobState& job, const TranslationState& state,
                      DrawingWriter& writer, int jobNumber, const std::filesystem::path& program,
                      const std::filesystem::path& output) {
    LabelBlockInput input;
    input.partLength = session.header.partLength;
    input.partWidth = session.header.partWidth;
    input.partThickness = session.header.partThickness;
    input.unitDivisor = job.unitDivisor;
    input.jobNumber = jobNumber;
    input.mirrorJob = job.mirrorJob;
    input.programComment = session.header.programComment;
    input.programPath = PathText(program);
    input.outputPath = PathText(output);
    input.offsetX = job.programOffsetX;
    input.offsetY = job.programOffsetY;
    input.offsetZ = job.programOffsetZ;
    input.borderLayer = state.borderLayer;
    input.version = RETRACER_VERSION;
    input.attachBarcode = session.settings.options.attachBarcode;
    input.renameForHbd = session.settings.options.renameForHbd;
    input.texts = JobTextsOfRow(session.worklist, std::abs(jobNumber), job.mirrorJob);

    const IniFile settings(session.paths.settingsFile);
    const LayerKeyLookup layerFor = [&settings](std::string_view key) {
        return RootName(settings, key);
    };
    std::string errText;  // the block's own: the job's writer error is not touched
    AddLabelBlock(writer, errText, input, layerFor, job.labelFields, job.hbdCounter);
}

void EngraveJobLabels(const Session& session, JobState& job, DrawingWriter& writer) {
    const bool pending = std::any_of(job.labelFields.begin(), job.labelFields.end(),
                                     [](const LabelField& f) { return !f.text.empty(); });
    if (!pending) return;
    const LetterLibrary own(session.paths.appFolder / "Letters");
    const LetterLibrary& letters = session.letters ? *session.letters : own;
    Drawing engraved;
    EngraveLabels(engraved, job.labelFields, job.unitDivisor, job.mirrorJob, letters);
    writer.AddDrawing(job.errText, engraved);
}

FinishResult FinishJobDrawing(const Session& session, JobState& job,
                              const std::filesystem::path& output) {
    FinishResult result = EngravePendingLabels(output, job.labelFields, job.unitDivisor,
                                               job.mirrorJob, session.paths.appFolder / "Letters");
    if (!result.ok) {
        job.diagnostics.push_back(
            Diagnostic{PathText(output), 0, "Engraved labels not saved: " + result.error});
    }
    return result;
}

}  // namespace retracer
