#pragma once

#include <string>
#include <string_view>

namespace retracer {

class DrawingWriter;

// The module pattern of `text` as a Code 39 symbol with its start and stop characters and no
// check character: one character per module, "1" for a bar, "0" for a space. A text with
// characters outside the Code 39 set (lower-case letters, "_" and others that file names hold)
// is encoded as Extended Code 39, so a full-ASCII scanner reads it back unchanged. Empty when
// the text cannot be encoded at all (empty, too long, or not ASCII).
std::string Code39Pattern(std::string_view text);

// Draws the barcode of `text` with its left reference at x0 and its base at y0: bars W/20 high
// over a total width of L/4, each bar module one solid on layer "Barcode", colour 7, centred on
// x0 + i·m for module i = 1, 2, … of width m, its corners in DXF order so it fills the whole
// bar. Nothing is drawn for an empty pattern.
void DrawBarcode(DrawingWriter& writer, std::string_view text, double x0, double y0,
                 double partLength, double partWidth);

}  // namespace retracer
