#pragma once

#include <QPaintDevice>

namespace retracer::app {

// Window geometry is given in twips (1/1440 inch); the screen's logical DPI turns it into pixels
// so that the layout keeps its proportions on high-DPI screens.
inline int TwipsToPixelsX(const QPaintDevice& device, int twips) {
    return twips * device.logicalDpiX() / 1440;
}
inline int TwipsToPixelsY(const QPaintDevice& device, int twips) {
    return twips * device.logicalDpiY() / 1440;
}
inline int PixelsToTwipsY(const QPaintDevice& device, int pixels) {
    return device.logicalDpiY() > 0 ? pixels * 1440 / device.logicalDpiY() : 0;
}

}  // namespace retracer::app
