#include "worklist/job_texts.h"

#include <cmath>

#include "base/value_text.h"
#include "worklist/worklist.h"

namespace retracer {

JobTexts JobTextsOfRow(const Worklist& worklist, int row, bool mirrorJob) {
    JobTexts texts;
    texts.job = worklist.GetCell(row, WorklistColumn::kJob);
    texts.room = worklist.GetCell(row, WorklistColumn::kRoom);
    texts.cabinet = worklist.GetCell(row, WorklistColumn::kCabinet);
    texts.partDescription = worklist.GetCell(row, WorklistColumn::kPartDescription);
    texts.material = worklist.GetCell(row, WorklistColumn::kMaterial);
    texts.quantity = JobQuantity(worklist, row, mirrorJob);
    texts.columns.reserve(Worklist::kColumnCount);
    for (int column = 1; column <= Worklist::kColumnCount; ++column) {
        texts.columns.emplace_back(worklist.GetCell(0, column), worklist.GetCell(row, column));
    }
    return texts;
}

long JobQuantity(const Worklist& worklist, int row, bool mirrorJob) {
    const double value = NumericValue(
        worklist.GetCell(row, mirrorJob ? WorklistColumn::kMir : WorklistColumn::kNorm));
    // Halves go to the even neighbour, as the worklist's number cells always have.
    const double rounded = std::nearbyint(value);
    return std::isfinite(rounded) && std::fabs(rounded) < 2e9 ? static_cast<long>(rounded) : 0;
}

}  // namespace retracer
