#pragma once

#include "labels/label_block.h"

namespace retracer {

class Worklist;

// The texts a job's label block shows, copied out of worklist row `row` (row 0, a job from no
// row, reads the caption row).
JobTexts JobTextsOfRow(const Worklist& worklist, int row, bool mirrorJob);

// The quantity a job's label shows: column "Mir" for the mirrored copy, else "Norm", rounded.
long JobQuantity(const Worklist& worklist, int row, bool mirrorJob);

}  // namespace retracer
