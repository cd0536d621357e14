// The drawing view's streaming DXF reader. A file it reads the full reader reads too, to as many
// entities; what it read saves and opens again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "drawing/display_drawing.h"
#include "drawing/display_dxf_reader.h"
#include "drawing/drawing.h"
#include "drawing/dxf_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using retracer::fuzz::Check;
    auto& scratch = retracer::fuzz::PerProcess<retracer::fuzz::ScratchFolder>();
    const std::filesystem::path file = scratch.Path() / "drawing.dxf";
    retracer::fuzz::WriteFile(file, retracer::fuzz::AsText(data, size));

    retracer::DisplayDrawing quick;
    if (retracer::QuickReadDxf(file, quick) == retracer::QuickReadResult::kRead) {
        retracer::Drawing full;
        std::string error;
        Check(retracer::ReadDxf(file, full, error),
              "the streaming reader read a file the full reader refuses: " + error);
        retracer::DisplayDrawing converted;
        converted.Assign(full);
        Check(converted.entities.size() == quick.entities.size(),
              "the streaming reader read " + std::to_string(quick.entities.size()) +
                  " entities, the full reader " + std::to_string(converted.entities.size()));
        quick.Extents();
        const std::filesystem::path saved = scratch.Path() / "saved.dxf";
        Check(quick.Save(saved, error), "a drawing read could not be saved: " + error);
        retracer::DisplayDrawing reopened;
        Check(reopened.Read(saved, retracer::DisplayDrawing::ReadMode::kReplace, 0, 0, error),
              "a drawing saved does not open again: " + error);
    }

    // The drawing view's own way in, whichever reader it takes.
    retracer::DisplayDrawing viewed;
    std::string error;
    if (!viewed.Read(file, retracer::DisplayDrawing::ReadMode::kReplace, 0, 0, error)) {
        Check(!error.empty(), "a DXF file was refused without a reason");
    }
    return 0;
}
