#pragma once

#include <QColor>
#include <QSize>
#include <QString>

#include "view/drawing_renderer.h"

namespace retracer::view {

// Renders a whole drawing, fitted at 98 percent, into an image (.png, and whatever else Qt
// writes), a PDF page (A4, turned to suit the drawing) or an SVG file, chosen by the file's
// extension. `size` is the image's or the SVG's size in pixels (the PDF ignores it). Files are
// written beside the target and renamed into place. False with a message when it fails.
struct FileRenderRequest {
    QString output;
    QSize size{1024, 768};
    RenderOptions options;
};
bool RenderDrawingToFile(const DrawingRenderer& renderer, const FileRenderRequest& request,
                         QString* error);

// The view percentage a drawing is fitted at when it is shown whole.
inline constexpr double kFitPercent = 98.0;

}  // namespace retracer::view
