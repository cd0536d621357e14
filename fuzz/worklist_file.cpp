// The ".lst" worklist reader, from a file as Open reads it. A file it accepts saves to a text that
// reads back to the same worklist; a file it refuses leaves the open worklist as it was and says
// why.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "worklist/worklist.h"
#include "worklist/worklist_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using retracer::fuzz::Check;
    auto& scratch = retracer::fuzz::PerProcess<retracer::fuzz::ScratchFolder>();
    const std::filesystem::path file = scratch.Path() / "worklist.lst";
    retracer::fuzz::WriteFile(file, retracer::fuzz::AsText(data, size));

    retracer::Worklist worklist;
    worklist.SetCell(1, 3, "KEEP.PGM");
    const std::string before = retracer::WorklistFileText(worklist);
    std::string error;
    if (!retracer::LoadWorklistFile(file, worklist, &error)) {
        Check(!error.empty(), "a worklist file was refused without a reason");
        Check(retracer::WorklistFileText(worklist) == before,
              "a refused worklist file changed the open worklist");
        return 0;
    }
    const std::string saved = retracer::WorklistFileText(worklist);
    retracer::Worklist again;
    Check(retracer::LoadWorklistText(saved, again, &error),
          "a saved worklist does not read back: " + error);
    Check(retracer::WorklistFileText(again) == saved, "a saved worklist reads back changed");
    return 0;
}
