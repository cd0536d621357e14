#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "drawing/drawing.h"

namespace retracer {

// Reads an ASCII DXF file of any release from R12 on into the model: layers with their colours,
// LINE, CIRCLE, ARC, TEXT, MTEXT, SOLID, TRACE, POLYLINE/VERTEX (bulges, Z), LWPOLYLINE, POINT,
// INSERT with its BLOCK, and ELLIPSE and SPLINE as polylines through points on the curve.
// Paper-space entities, other entity kinds and everything in other sections are left out.
// Entities in a flipped plane (extrusion 0,0,-1, as mirroring produces) come out in world
// coordinates; other tilted planes are read as if flat. Texts come out as UTF-8: \U+XXXX
// escapes and caret notation are decoded, and strings that are not UTF-8 are taken as
// Windows-1252 (the code page of older files).
//
// A file that is empty, binary DXF, not DXF at all, or cut short (no EOF) fails with a message
// in `error` saying which; `drawing` is then left unchanged. On success `drawing` is replaced.
bool ReadDxf(const std::filesystem::path& file, Drawing& drawing, std::string& error);

// The same, from the file's bytes.
bool ReadDxfText(std::string_view bytes, Drawing& drawing, std::string& error);

}  // namespace retracer
