#include "labels/lettering.h"

#include <algorithm>
#include <array>
#include <type_traits>
#include <utility>

#include "base/atomic_file.h"
#include "base/file_lookup.h"
#include "base/text_codec.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"

namespace retracer {
namespace {

struct LetterWord {
    char c;
    std::string_view word;
};
constexpr std::array<LetterWord, 20> kLetterWords{{
    {',', "Comma"},     {';', "Semicolon"},   {'.', "Period"},     {'<', "LessThan"},
    {'-', "Dash"},      {'>', "GreaterThan"}, {'/', "Slash"},      {'?', "QuestionMark"},
    {'&', "Ampersand"}, {'^', "Carret"},      {'=', "Equal"},      {'(', "LeftParen"},
    {'|', "Bar"},       {')', "RightParen"},  {'_', "Underscore"}, {'[', "LeftBrace"},
    {':', "Colon"},     {']', "RightBrace"},  {'*', "Asterisk"},   {'+', "Plus"},
}};

constexpr double kBlankAdvance = 15;
constexpr double kLetterSpacing = 4;

// Maps letter-unit points into the target drawing.
struct Placement {
    double sx = 1;
    double sy = 1;
    double dx = 0;
    double dy = 0;

    Point3 operator()(const Point3& p) const { return {p.x * sx + dx, p.y * sy + dy, p.z}; }

    void Apply(EntityGeometry& geometry) const {
        std::visit(
            [this](auto& g) {
                using T = std::decay_t<decltype(g)>;
                if constexpr (std::is_same_v<T, LineEntity>) {
                    g.start = (*this)(g.start);
                    g.end = (*this)(g.end);
                } else if constexpr (std::is_same_v<T, PolylineEntity>) {
                    for (PolylineVertex& v : g.vertices) {
                        const Point3 p = (*this)(Point3{v.x, v.y, v.z});
                        v.x = p.x;
                        v.y = p.y;
                    }
                } else if constexpr (std::is_same_v<T, SolidEntity>) {
                    for (Point3& c : g.corners) c = (*this)(c);
                } else if constexpr (std::is_same_v<T, TextEntity>) {
                    g.position = (*this)(g.position);
                    g.height *= sy;
                } else if constexpr (std::is_same_v<T, InsertEntity>) {
                    g.position = (*this)(g.position);
                    g.scaleX *= sx;
                    g.scaleY *= sy;
                } else if constexpr (std::is_same_v<T, CircleEntity> ||
                                     std::is_same_v<T, ArcEntity>) {
                    // Round shapes stay round: their radius follows the height.
                    g.centre = (*this)(g.centre);
                    g.radius *= sy;
                } else {
                    g.position = (*this)(g.position);
                }
            },
            geometry);
    }
};

void MergeLayers(Drawing& target, const std::vector<Layer>& layers) {
    for (const Layer& layer : layers) {
        const bool known = std::any_of(target.layers.begin(), target.layers.end(),
                                       [&layer](const Layer& l) { return l.name == layer.name; });
        if (!known) target.layers.push_back(layer);
    }
}

}  // namespace

std::string LetterFileName(char c) {
    for (const LetterWord& w : kLetterWords) {
        if (w.c == c) return std::string(w.word);
    }
    return std::string(1, c);
}

double LetterAdvance(char c, double previousAdvance) {
    switch (c) {
        case 'I':
        case '.':
            return 2;
        case '1':
            return 7;
        case '-':
            return 18;
        case '|':
            return previousAdvance;
        default:
            return 15;
    }
}

const Drawing* LetterLibrary::Letter(char c) const {
    const std::string name = LetterFileName(c);
    const std::lock_guard<std::mutex> lock(mutex_);
    auto found = letters_.find(name);
    if (found == letters_.end()) {
        const std::filesystem::path file = FindFileIgnoringCase(folder_ / (name + ".DXF"));
        auto letter = std::make_unique<Drawing>();
        std::string error;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec) || !ReadDxf(file, *letter, error))
            letter.reset();
        found = letters_.emplace(name, std::move(letter)).first;
    }
    return found->second.get();
}

std::map<std::string, std::size_t> EngraveText(Drawing& target, const LabelField& field,
                                               double unitDivisor, bool mirrorJob,
                                               const std::filesystem::path& lettersFolder) {
    const LetterLibrary letters(lettersFolder);
    return EngraveText(target, field, unitDivisor, mirrorJob, letters);
}

std::map<std::string, std::size_t> EngraveText(Drawing& target, const LabelField& field,
                                               double unitDivisor, bool mirrorJob,
                                               const LetterLibrary& letters) {
    double size = field.height != 0 ? static_cast<double>(field.height) : 15 / unitDivisor;
    size *= 0.05;
    const double factor = field.width != 0 ? static_cast<double>(field.width) : 1;
    const std::string text = UpperAscii(TrimSpaces(field.text));

    // The text is assembled in letter units in a drawing of its own, which always starts empty:
    // nothing of an earlier label can slip in when the first character has no letter file.
    Drawing scratch;
    double cursor = 0;
    double advance = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ' ') {
            cursor += kBlankAdvance;
            continue;
        }
        const Drawing* found = letters.Letter(c);
        if (found == nullptr) continue;
        Drawing letter = *found;
        const Placement shift{1, 1, cursor, 0};
        for (Entity& entity : letter.entities) {
            if (std::holds_alternative<InsertEntity>(entity.geometry)) continue;  // no blocks
            shift.Apply(entity.geometry);
            scratch.entities.push_back(std::move(entity));
        }
        MergeLayers(scratch, letter.layers);
        advance = LetterAdvance(c, advance);
        if (i + 1 < text.size()) cursor += advance + kLetterSpacing;
    }

    std::map<std::string, std::size_t> added;
    if (scratch.entities.empty()) return added;
    const Extents extents = DrawingExtents(scratch);
    const double sx = size * factor;
    const double sy = size;
    const double x = mirrorJob ? field.x - extents.max.x * sx : field.x;
    const Placement place{sx, sy, x, field.y};
    MergeLayers(target, scratch.layers);
    for (Entity& entity : scratch.entities) {
        place.Apply(entity.geometry);
        ++added[entity.layer];
        target.entities.push_back(std::move(entity));
    }
    return added;
}

int FindLayer(const Drawing& drawing, std::string_view word) {
    const std::string wanted = UpperAscii(word);
    for (std::size_t i = 0; i < drawing.layers.size(); ++i) {
        if (UpperAscii(drawing.layers[i].name) == wanted) return static_cast<int>(i + 1);
    }
    return 0;
}

void RenameLayer(Drawing& drawing, int layer, std::string_view newName) {
    if (layer < 1 || layer > static_cast<int>(drawing.layers.size())) return;
    const auto index = static_cast<std::size_t>(layer - 1);
    const std::string oldName = drawing.layers[index].name;
    const std::string oldUpper = UpperAscii(oldName);
    for (Entity& entity : drawing.entities) {
        if (UpperAscii(entity.layer) == oldUpper) entity.layer = newName;
    }
    const bool taken = std::any_of(drawing.layers.begin(), drawing.layers.end(),
                                   [newName](const Layer& l) { return l.name == newName; });
    if (taken) {
        drawing.layers.erase(drawing.layers.begin() + static_cast<std::ptrdiff_t>(index));
    } else {
        drawing.layers[index].name = newName;
    }
}

std::map<std::string, std::size_t> EngraveLabels(Drawing& drawing, std::vector<LabelField>& fields,
                                                 double unitDivisor, bool mirrorJob,
                                                 const LetterLibrary& letters) {
    std::map<std::string, std::size_t> added;
    for (LabelField& field : fields) {
        if (field.text.empty()) continue;
        const auto engraved = EngraveText(drawing, field, unitDivisor, mirrorJob, letters);
        const std::string routeLayer = "Route_" + UpperAscii(field.tagText);
        RenameLayer(drawing, FindLayer(drawing, kLetterLayer), routeLayer);
        for (const auto& [layer, count] : engraved) {
            const bool isLetter = UpperAscii(layer) == UpperAscii(kLetterLayer);
            added[isLetter ? routeLayer : layer] += count;
        }
        field.text.clear();
    }
    return added;
}

FinishResult EngravePendingLabels(const std::filesystem::path& file,
                                  std::vector<LabelField>& fields, double unitDivisor,
                                  bool mirrorJob, const std::filesystem::path& lettersFolder) {
    FinishResult result;
    const bool pending = std::any_of(fields.begin(), fields.end(),
                                     [](const LabelField& f) { return !f.text.empty(); });
    if (!pending) return result;
    const LetterLibrary letters(lettersFolder);
    Drawing drawing;
    if (!ReadDxf(file, drawing, result.error)) {
        result.ok = false;
        return result;
    }
    for (LabelField& field : fields) {
        if (field.text.empty()) continue;
        const auto added = EngraveText(drawing, field, unitDivisor, mirrorJob, letters);
        const std::string routeLayer = "Route_" + UpperAscii(field.tagText);
        RenameLayer(drawing, FindLayer(drawing, kLetterLayer), routeLayer);
        // Saved after every label, so the file holds each engraving as soon as it is made.
        if (!WriteFileAtomically(file, DxfText(drawing), &result.error)) {
            result.ok = false;
            return result;
        }
        result.saved = true;
        for (const auto& [layer, count] : added) {
            const bool isLetter = UpperAscii(layer) == UpperAscii(kLetterLayer);
            result.addedPerLayer[isLetter ? routeLayer : layer] += count;
        }
        field.text.clear();
    }
    return result;
}

}  // namespace retracer
