#pragma once

#include <filesystem>

#include "drawing/display_drawing.h"

namespace retracer {

// A quick reader for the DXF files Retracer writes and the plain ones other programs write: it
// streams the file in pieces straight into a DisplayDrawing, without holding the file's text or
// a drawing model, so a drawing of a million entities opens in a few seconds and little memory.
//
// It reads LINE, CIRCLE, ARC, TEXT, SOLID, TRACE, POLYLINE/VERTEX, POINT and INSERT with their
// BLOCKs and the LAYER table, and only as long as it can read them exactly as ReadDxf does.
// Anything else ReadDxf interprets (MTEXT, LWPOLYLINE, ELLIPSE, SPLINE, flipped planes, aligned
// texts, escapes and text outside ASCII, curve-fitted or mesh polylines, anonymous blocks, a
// damaged or binary file...) makes it give up with kNeedsFullReader and leave `drawing` as it
// was; the caller then reads the file with ReadDxf, which also reports what is wrong with it.
enum class QuickReadResult { kRead, kNeedsFullReader };
QuickReadResult QuickReadDxf(const std::filesystem::path& file, DisplayDrawing& drawing);

}  // namespace retracer
