#pragma once

#include "drawing/drawing.h"

namespace retracer {

// True when every number of the entity a DXF file would carry (coordinates, radius, angles,
// heights, scales, bulges) is finite and no radius is negative. A DXF reader takes "nan" or
// "inf" for garbage, and a circle of negative radius is no circle at all, so an entity that
// fails this never reaches a file.
bool IsFiniteGeometry(const EntityGeometry& geometry);

}  // namespace retracer
