// Builds the letter library for engraved labels from a Hershey single-stroke font (.jhf): one
// small drawing per character, its strokes as polylines on the letter layer, in letter units.
//
//   make_letters FONT.jhf OUTPUT_FOLDER
//
// A .jhf file holds one glyph per record, in ASCII order from the blank on: a five-character
// glyph number, a three-character count of coordinate pairs, then the pairs (records may wrap
// over several lines). Each coordinate is a character whose distance from "R" is the value; the
// first pair is the glyph's left and right side, " R" lifts the pen, and y grows downwards.

#include <algorithm>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "drawing/dxf_writer.h"
#include "labels/lettering.h"

namespace {

struct Glyph {
    std::vector<std::vector<std::pair<int, int>>> strokes;  // Hershey units, y down
};

// The glyphs in file order; an empty list when the text is not a .jhf font.
std::vector<Glyph> ParseJhf(std::string_view text) {
    std::vector<Glyph> glyphs;
    std::size_t pos = 0;
    auto skipBreaks = [&] {
        while (pos < text.size() && (text[pos] == '\n' || text[pos] == '\r')) ++pos;
    };
    for (;;) {
        skipBreaks();
        if (pos + 8 > text.size()) break;
        int pairs = 0;
        try {
            pairs = std::stoi(std::string(text.substr(pos + 5, 3)));
        } catch (const std::exception&) {
            return {};
        }
        pos += 8;
        std::string body;
        while (body.size() < static_cast<std::size_t>(pairs) * 2 && pos < text.size()) {
            if (text[pos] != '\n' && text[pos] != '\r') body += text[pos];
            ++pos;
        }
        if (body.size() < static_cast<std::size_t>(pairs) * 2) return {};
        Glyph glyph;
        std::vector<std::pair<int, int>> stroke;
        for (std::size_t i = 2; i + 1 < body.size(); i += 2) {  // pair 0 is the side bearing
            if (body[i] == ' ' && body[i + 1] == 'R') {
                if (stroke.size() >= 2) glyph.strokes.push_back(stroke);
                stroke.clear();
                continue;
            }
            stroke.emplace_back(body[i] - 'R', body[i + 1] - 'R');
        }
        if (stroke.size() >= 2) glyph.strokes.push_back(stroke);
        glyphs.push_back(std::move(glyph));
    }
    return glyphs;
}

// The characters of the library: capitals, digits and the punctuation that has a letter file.
std::string LibraryCharacters() {
    std::string chars;
    for (char c = 'A'; c <= 'Z'; ++c) chars += c;
    for (char c = '0'; c <= '9'; ++c) chars += c;
    chars += ",;.<->/?&^=(|)_[:]*+";
    return chars;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_letters FONT.jhf OUTPUT_FOLDER\n";
        return 2;
    }
    std::string text;
    std::string error;
    if (!retracer::ReadWholeFile(argv[1], text, &error)) {
        std::cerr << "make_letters: " << error << "\n";
        return 1;
    }
    const std::vector<Glyph> glyphs = ParseJhf(text);
    if (glyphs.size() < 95) {
        std::cerr << "make_letters: " << argv[1] << " is not a Hershey font of the ASCII set\n";
        return 1;
    }
    auto glyphOf = [&glyphs](char c) -> const Glyph& {
        return glyphs[static_cast<std::size_t>(c - ' ')];
    };

    // The capital A spans the cap height: its top and foot fix the vertical scale.
    int top = 0;
    int foot = 0;
    for (const auto& stroke : glyphOf('A').strokes) {
        for (const auto& [x, y] : stroke) {
            top = std::min(top, y);
            foot = std::max(foot, y);
        }
    }
    if (foot <= top) {
        std::cerr << "make_letters: the font has no usable capital A\n";
        return 1;
    }
    const double scale = retracer::kLetterCapHeight / (foot - top);

    const std::filesystem::path folder = argv[2];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (const char c : LibraryCharacters()) {
        const Glyph& glyph = glyphOf(c);
        int left = 1000;
        int right = -1000;
        for (const auto& stroke : glyph.strokes) {
            for (const auto& point : stroke) {
                left = std::min(left, point.first);
                right = std::max(right, point.first);
            }
        }
        // Each letter starts at x = 0 and stays within its advance, narrowed where it would not.
        const double advance = retracer::LetterAdvance(c, 15);
        double across = scale;
        if (right > left && (right - left) * scale > advance) across = advance / (right - left);

        retracer::Drawing drawing;
        drawing.layers.push_back({std::string(retracer::kLetterLayer), 3});
        for (const auto& stroke : glyph.strokes) {
            retracer::PolylineEntity polyline;
            for (const auto& [x, y] : stroke) {
                polyline.vertices.push_back({(x - left) * across, (foot - y) * scale, 0, 0});
            }
            drawing.entities.push_back({std::string(retracer::kLetterLayer), 3, polyline});
        }
        const std::filesystem::path file = folder / (retracer::LetterFileName(c) + ".DXF");
        if (!retracer::WriteFileAtomically(file, retracer::DxfText(drawing), &error)) {
            std::cerr << "make_letters: " << error << "\n";
            return 1;
        }
    }
    return 0;
}
