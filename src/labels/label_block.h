#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "translate/label_field.h"

namespace retracer {

class DrawingWriter;
class UserSettingsStore;

// The layer to use for one of the label block's layer keys (JobName, DESCRIPTION, …): the
// installation's configured root for the word, or the word itself.
using LayerKeyLookup = std::function<std::string(std::string_view)>;

// The worklist texts of the row a job comes from, copied out of the worklist.
struct JobTexts {
    std::string job;
    std::string room;
    std::string cabinet;
    std::string partDescription;
    std::string material;
    long quantity = 0;
    // Every column as its caption and the row's cell, for the label fields that name columns.
    // A job from no row reads the caption row, so there the cells are the captions.
    std::vector<std::pair<std::string, std::string>> columns;
};

// What the label block of one job is made of. Sizes are in drawing units; fixed positions and
// heights are millimetres divided by `unitDivisor`.
struct LabelBlockInput {
    double partLength = 0;
    double partWidth = 0;
    double partThickness = 0;
    double unitDivisor = 1.0;
    int jobNumber = 0;  // worklist row, negated for numbered outputs; 0 = no row
    bool mirrorJob = false;
    std::string programComment;
    std::string programPath;  // as text: its last path part names the barcodes
    std::string outputPath;
    std::string offsetX;  // program offsets as the OFFS section gave them
    std::string offsetY;
    std::string offsetZ;
    std::string borderLayer;  // layer of the part outline
    std::string version;      // "major.minor.revision"
    bool attachBarcode = false;
    bool renameForHbd = false;
    JobTexts texts;
};

// Writes the label block: relay instructions, job texts, version line, description, file name,
// barcodes and the HBD marker. Completes each label field's `text` from the job's texts on the
// way and advances `hbdCounter` when the marker is written.
void AddLabelBlock(DrawingWriter& writer, const LabelBlockInput& input,
                   const LayerKeyLookup& layerFor, std::vector<LabelField>& fields,
                   int& hbdCounter);

// The label field's text: the upper-cased cells of the field's columns (named by caption,
// ignoring case; each cut before ".CNC") after three blanks each, then two blanks and the
// caption, trimmed.
std::string ComposeLabelText(const LabelField& field, const JobTexts& texts);

// The counter after `counter`: one more, back to 1 after 99999 (and from anything not valid).
int NextHbdCounter(int counter);

// The file name a drawing's label shows: no folder, without the last four characters (".DXF").
std::string LabelFileName(std::string_view outputPath);

// The per-user HBD counter under "Counter4HBD". A single job loads and stores it around itself;
// a batch run carries it from job to job and stores it once at its end, with one leading space
// as it always has. A stored value that is not a counter (damaged, hand-edited) reads as 0.
// Saving returns false when the store could not be written; HbdCounterNotStored is what the user
// is told then.
enum class HbdCounterText { kSingleJob, kBatch };
int LoadHbdCounter(const UserSettingsStore& store);
bool SaveHbdCounter(UserSettingsStore& store, int counter,
                    HbdCounterText form = HbdCounterText::kSingleJob);
std::string HbdCounterNotStored(int counter);

}  // namespace retracer
