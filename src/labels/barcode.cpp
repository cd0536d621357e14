#include "labels/barcode.h"

#include <zint.h>

#include <array>
#include <memory>

#include "drawing/drawing_writer.h"

namespace retracer {
namespace {

bool InCode39Set(char c) {
    constexpr std::string_view kSpecials = " -.$/+%";
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
           kSpecials.find(c) != std::string_view::npos;
}

struct SymbolDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

bool ModuleIsSet(const zint_symbol& symbol, int row, int column) {
    const unsigned char byte =
        symbol.encoded_data[static_cast<std::size_t>(row)][static_cast<std::size_t>(column / 8)];
    return ((byte >> (column % 8)) & 1) != 0;
}

// Corner values go into the drawing as the single-precision numbers the writer works in.
double AsSingle(double v) {
    return static_cast<double>(static_cast<float>(v));
}

}  // namespace

std::string Code39Pattern(std::string_view text) {
    if (text.empty()) return {};
    bool plain = true;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) > 127) return {};
        if (!InCode39Set(c)) plain = false;
    }
    const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) return {};
    symbol->symbology = plain ? BARCODE_CODE39 : BARCODE_EXCODE39;
    symbol->option_2 = 0;  // no check character
    const int result =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
    if (result >= ZINT_ERROR || symbol->rows < 1 || symbol->width < 1) return {};
    std::string pattern;
    pattern.reserve(static_cast<std::size_t>(symbol->width));
    for (int column = 0; column < symbol->width; ++column) {
        pattern += ModuleIsSet(*symbol, 0, column) ? '1' : '0';
    }
    return pattern;
}

void DrawBarcode(DrawingWriter& writer, std::string_view text, double x0, double y0,
                 double partLength, double partWidth) {
    const std::string pattern = Code39Pattern(text);
    if (pattern.empty()) return;
    const double h = partWidth / 20;
    const double m = partLength / 4 / static_cast<double>(pattern.size());
    for (std::size_t i = 1; i <= pattern.size(); ++i) {
        if (pattern[i - 1] != '1') continue;
        const double c = x0 + static_cast<double>(i) * m;
        const double left = AsSingle(c - m / 2);
        const double right = AsSingle(c + m / 2);
        const double bottom = AsSingle(y0);
        const double top = AsSingle(y0 + h);
        // DXF fills a solid as the triangles 1-2-3 and 2-3-4, so the right-hand corners go in
        // top first; in outline order the bar would come out as a bow tie no scanner reads.
        const std::array<Point3, 4> corners{Point3{left, top, 0}, Point3{left, bottom, 0},
                                            Point3{right, top, 0}, Point3{right, bottom, 0}};
        writer.AddSolid(corners, "Barcode", 7);
    }
}

}  // namespace retracer
