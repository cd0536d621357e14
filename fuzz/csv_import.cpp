// The worklist CSV import, from a file as the Import button reads it. A file it refuses (not text,
// more lines than the worklist has rows) is refused with a reason and leaves the worklist as it
// was; what it imports exports and imports again to the same lines, and never more rows than the
// worklist has.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "worklist/worklist.h"
#include "worklist/worklist_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using retracer::fuzz::Check;
    auto& scratch = retracer::fuzz::PerProcess<retracer::fuzz::ScratchFolder>();
    const std::filesystem::path file = scratch.Path() / "import.csv";
    retracer::fuzz::WriteFile(file, retracer::fuzz::AsText(data, size));

    retracer::Worklist worklist;
    worklist.SetCell(1, 1, "kept");
    const std::string before = retracer::WorklistCsvText(worklist);
    int imported = -1;
    std::string error;
    if (!retracer::ImportWorklistCsv(file, worklist, &imported, &error)) {
        Check(!error.empty(), "a CSV file was refused without a reason");
        Check(retracer::WorklistCsvText(worklist) == before, "a refused CSV changed the worklist");
        return 0;
    }
    Check(imported >= 0 && imported <= worklist.RowCount(),
          "imported a number of rows out of range");

    const std::string exported = retracer::WorklistCsvText(worklist);
    retracer::Worklist again;
    retracer::ImportWorklistCsvText(exported, again);
    Check(retracer::WorklistCsvText(again) == exported,
          "the exported CSV does not import to the same worklist");
    return 0;
}
