#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "labels/label_field.h"

namespace retracer {

class DrawingWriter;
class Worklist;
class UserSettingsStore;

// The layer to use for one of the label block's layer keys (JobName, DESCRIPTION, …): the
// installation's configured root for the word, or the word itself.
using LayerKeyLookup = std::function<std::string(std::string_view)>;

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
};

// Writes the label block: relay instructions, job texts, version line, description, file name,
// barcodes and the HBD marker. Completes each label field's `text` from the worklist row on the
// way and advances `hbdCounter` when the marker is written.
void AddLabelBlock(DrawingWriter& writer, std::string& errText, const LabelBlockInput& input,
                   const Worklist& worklist, const LayerKeyLookup& layerFor,
                   std::vector<LabelField>& fields, int& hbdCounter);

// The label field's text for a worklist row: the upper-cased cells of the field's columns (each
// cut before ".CNC") after three blanks each, then two blanks and the caption, trimmed. Row 0
// reads the column captions.
std::string ComposeLabelText(const LabelField& field, const Worklist& worklist, int row);

// The quantity a job's label shows: column "Mir" for the mirrored copy, else "Norm", rounded.
long JobQuantity(const Worklist& worklist, int row, bool mirrorJob);

// The counter after `counter`: one more, back to 1 after 99999 (and from anything not valid).
int NextHbdCounter(int counter);

// The file name a drawing's label shows: no folder, without the last four characters (".DXF").
std::string LabelFileName(std::string_view outputPath);

// The per-user HBD counter, for callers that translate a single job. A batch run carries the
// counter itself and stores it once at its end.
int LoadHbdCounter(const UserSettingsStore& store);
void SaveHbdCounter(UserSettingsStore& store, int counter);

}  // namespace retracer
