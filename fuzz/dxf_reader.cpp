// The full DXF reader (dxflib underneath), on the file's bytes. A file it refuses says why and
// leaves the drawing as it was; a drawing it reads is written by our writer and reads back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "drawing/drawing.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using retracer::fuzz::Check;
    retracer::Drawing drawing;
    drawing.layers.push_back({"BEFORE", 3});
    const retracer::Drawing before = drawing;
    std::string error;
    if (!retracer::ReadDxfText(retracer::fuzz::AsText(data, size), drawing, error)) {
        Check(!error.empty(), "a DXF file was refused without a reason");
        Check(drawing == before, "a refused DXF file changed the drawing");
        return 0;
    }
    retracer::Drawing again;
    Check(retracer::ReadDxfText(retracer::DxfText(drawing), again, error),
          "a drawing read from DXF and written again does not read back: " + error);
    Check(again.entities.size() <= drawing.entities.size(),
          "a drawing written and read back has more entities than it had");
    return 0;
}
