#include "job/job_labels.h"

#include <algorithm>

#include "base/file_lookup.h"
#include "drawing/drawing_writer.h"
#include "job/job_driver.h"
#include "labels/label_block.h"
#include "labels/lettering.h"
#include "settings/app_folder.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "translate/translation_state.h"

namespace retracer {

void AddJobLabelBlock(const JobResources& resources, const JobRequest& request, JobState& job,
                      const TranslationState& state, DrawingWriter& writer, JobResult& result) {
    LabelBlockInput input;
    input.partLength = result.header.partLength;
    input.partWidth = result.header.partWidth;
    input.partThickness = result.header.partThickness;
    input.unitDivisor = job.unitDivisor;
    input.jobNumber = request.jobNumber;
    input.mirrorJob = request.mirror;
    input.programComment = result.header.programComment;
    input.programPath = PathText(request.program);
    input.outputPath = PathText(result.output);
    input.offsetX = job.programOffsetX;
    input.offsetY = job.programOffsetY;
    input.offsetZ = job.programOffsetZ;
    input.borderLayer = state.borderLayer;
    input.version = RETRACER_VERSION;
    input.attachBarcode = resources.settings.options.attachBarcode;
    input.renameForHbd = resources.settings.options.renameForHbd;
    input.texts = request.texts;

    const IniFile settings(resources.paths.settingsFile);
    const LayerKeyLookup layerFor = [&settings](std::string_view key) {
        return RootName(settings, key);
    };
    AddLabelBlock(writer, input, layerFor, job.labelFields, result.hbdCounter);
}

void EngraveJobLabels(const JobResources& resources, JobState& job, DrawingWriter& writer) {
    const bool pending = std::any_of(job.labelFields.begin(), job.labelFields.end(),
                                     [](const LabelField& f) { return !f.text.empty(); });
    if (!pending) return;
    const LetterLibrary own(resources.paths.appFolder / "Letters");
    const LetterLibrary& letters = resources.letters ? *resources.letters : own;
    Drawing engraved;
    EngraveLabels(engraved, job.labelFields, job.unitDivisor, job.mirrorJob, letters);
    writer.AddDrawing(engraved);
}

}  // namespace retracer
