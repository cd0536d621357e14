#include "drawing/dxf_reader.h"

#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <sstream>
#include <unordered_map>
#include <vector>

#include "base/atomic_file.h"
#include "base/file_lookup.h"
#include "base/text_codec.h"

namespace retracer {
namespace {

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------------------------
// Screening. dxflib trusts its input: a line longer than its buffer stalls its stream reader, a
// bulge before the first LWPOLYLINE vertex or a vertex count that disagrees with the vertices
// writes outside its arrays. So the file is checked and rewritten first: only the sections,
// records and groups the model needs go on, with counts that match and values that fit.

struct Group {
    int code = 0;
    std::string_view value;
};

// dxflib gives text angles in radians; the file had degrees, usually short decimals, so the
// conversion back is rounded to a billionth of a degree to give the written value again.
double Degrees(double radians) {
    const double degrees = radians * (180.0 / kPi);
    return std::round(degrees * 1e9) / 1e9;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'a' && x <= 'z' ? x - 32 : x) == (y >= 'a' && y <= 'z' ? y - 32 : y);
           });
}

// Splits the text into groups up to the EOF group. Fails with the reason when it is not DXF.
bool SplitGroups(std::string_view text, std::vector<Group>& groups, std::string& why) {
    constexpr std::string_view kBinarySentinel = "AutoCAD Binary DXF";
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
        why = "it is a binary DXF file; only ASCII DXF can be read (save it as ASCII DXF)";
        return false;
    }
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(3);
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        why = "the file is empty";
        return false;
    }
    LineCursor cursor(text);
    std::string_view codeLine;
    std::size_t line = 0;
    while (cursor.Next(codeLine)) {
        ++line;
        const std::string_view code = TrimBlanks(codeLine);
        int value = 0;
        const auto parsed = std::from_chars(code.data(), code.data() + code.size(), value);
        const bool isCode =
            !code.empty() && parsed.ec == std::errc() && parsed.ptr == code.data() + code.size();
        const bool lastLine = codeLine.data() + codeLine.size() == text.data() + text.size();
        if (!isCode && lastLine && !groups.empty()) {
            why = "the file is cut short (it ends without EOF)";
            return false;
        }
        if (!isCode || code.find('\0') != std::string_view::npos) {
            why = groups.empty() ? "it is not a DXF file"
                                 : "line " + std::to_string(line) +
                                       " holds no group code; the file is damaged";
            return false;
        }
        if (value < 0 || value > 1071) {
            why = "line " + std::to_string(line) + " holds the unknown group code " +
                  std::string(code) + "; the file is damaged";
            return false;
        }
        std::string_view valueLine;
        if (!cursor.Next(valueLine)) break;
        ++line;
        if (valueLine.find('\0') != std::string_view::npos) {
            why = "line " + std::to_string(line) + " holds binary data; it is not a text DXF file";
            return false;
        }
        groups.push_back(Group{value, valueLine});
        if (value == 0 && TrimBlanks(valueLine) == "EOF") break;
    }
    std::size_t first = 0;
    while (first < groups.size() && groups[first].code == 999) ++first;  // comments
    if (first == groups.size() || groups[first].code != 0 ||
        TrimBlanks(groups[first].value) != "SECTION") {
        why = "it is not a DXF file (it does not begin with a SECTION)";
        return false;
    }
    if (groups.back().code != 0 || TrimBlanks(groups.back().value) != "EOF") {
        why = "the file is cut short (it ends without EOF)";
        return false;
    }
    return true;
}

// Entity records the model takes; everything else is left out before dxflib sees it.
bool IsWantedEntity(std::string_view type) {
    static constexpr std::string_view kWanted[] = {
        "LINE",   "CIRCLE", "ARC",        "TEXT",  "MTEXT",  "SOLID",   "TRACE", "POLYLINE",
        "VERTEX", "SEQEND", "LWPOLYLINE", "POINT", "INSERT", "ELLIPSE", "SPLINE"};
    return std::find(std::begin(kWanted), std::end(kWanted), type) != std::end(kWanted);
}

// Marks the ends of text values so that dxflib, which trims blanks, keeps the text's own.
constexpr char kTextMark = '\x1F';
// dxflib reads lines into a buffer of 1024 bytes.
constexpr std::size_t kMaxValueBytes = 1000;

// The value of a number written in the file (0 when it is not one).
double Number(std::string_view text) {
    text = TrimBlanks(text);
    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return parsed.ec == std::errc() && std::isfinite(value) ? value : 0;
}

// dxflib hands MTEXT rotations over in a unit that depends on its version and on which groups
// the file has, so the rewriter works them out itself (the direction vector wins over group 50,
// which holds degrees) and passes them on beside the text, one per MTEXT in file order.
double MTextRotation(const std::vector<Group>& record) {
    std::optional<double> x;
    std::optional<double> y;
    std::optional<double> rotation;
    for (const Group& g : record) {
        if (g.code == 11) x = Number(g.value);
        if (g.code == 21) y = Number(g.value);
        if (g.code == 50) rotation = Number(g.value);
    }
    if (x && y && (*x != 0 || *y != 0)) return Degrees(std::atan2(*y, *x));
    return rotation.value_or(0);
}

class Rewriter {
  public:
    explicit Rewriter(const std::vector<Group>& groups) : groups_(groups) {}

    // Rotations in degrees of the MTEXT records passed on, in order.
    const std::vector<double>& MTextRotations() const { return mtextRotations_; }

    std::string Run() {
        std::string section;
        std::size_t i = 0;
        while (i < groups_.size()) {
            if (groups_[i].code != 0) {  // groups outside a record: header variables and such
                ++i;
                continue;
            }
            std::size_t end = i + 1;
            while (end < groups_.size() && groups_[end].code != 0) ++end;
            const std::string_view type = TrimBlanks(groups_[i].value);
            if (type == "SECTION") {
                section = end > i + 1 && groups_[i + 1].code == 2
                              ? std::string(TrimBlanks(groups_[i + 1].value))
                              : std::string();
                if (section == "TABLES" || section == "BLOCKS" || section == "ENTITIES")
                    Emit(i, i + 2);
            } else if (type == "ENDSEC") {
                if (section == "TABLES" || section == "BLOCKS" || section == "ENTITIES")
                    Emit(i, i + 1);
                section.clear();
            } else if (type == "EOF") {
                Emit(i, i + 1);
            } else if (section == "TABLES" && type == "LAYER") {
                Emit(i, end);
            } else if (section == "BLOCKS" && (type == "BLOCK" || type == "ENDBLK")) {
                Emit(i, end);
            } else if ((section == "BLOCKS" || section == "ENTITIES") && IsWantedEntity(type)) {
                EmitEntity(type, i, end);
            }
            i = end;
        }
        return std::move(out_);
    }

  private:
    void Put(int code, std::string_view value, bool text = false) {
        char digits[16];
        const auto written = std::to_chars(digits, digits + sizeof digits, code);
        out_.append(digits, written.ptr);
        out_ += '\n';
        if (text) out_ += kTextMark;
        if (value.size() > kMaxValueBytes) {
            std::size_t cut = kMaxValueBytes;
            while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
            value = value.substr(0, cut);
        }
        out_.append(text ? value : TrimBlanks(value));
        if (text) out_ += kTextMark;
        out_ += '\n';
    }

    // The groups of a record that dxflib needs: no extended data, application groups, handles
    // or embedded objects (whose points would overwrite the entity's own).
    std::vector<Group> Keep(std::size_t begin, std::size_t end) const {
        std::vector<Group> kept;
        bool inApplicationGroup = false;
        for (std::size_t k = begin; k < end; ++k) {
            const Group& g = groups_[k];
            if (g.code == 102) {
                inApplicationGroup = TrimBlanks(g.value).substr(0, 1) == "{";
                continue;
            }
            if (inApplicationGroup) continue;
            if (g.code == 101 || g.code >= 1000) break;
            // Handles mean nothing here; a variable name outside the header would start a
            // header setting in dxflib.
            if (g.code == 5 || g.code == 9 || g.code == 105 || g.code == 330 || g.code == 360)
                continue;
            if (g.code == 999) continue;  // a "dxflib" comment would change how dxflib reads
            kept.push_back(g);
        }
        return kept;
    }

    void Emit(std::size_t begin, std::size_t end) {
        for (const Group& g : Keep(begin, end)) Put(g.code, g.value, g.code == 1 || g.code == 3);
    }

    // Counts of the items that follow, put right after the record's type where dxflib expects
    // them, in place of whatever the file claims.
    void EmitEntity(std::string_view type, std::size_t begin, std::size_t end) {
        std::vector<Group> kept = Keep(begin, end);
        const auto count = [&](int code) {
            return std::count_if(kept.begin(), kept.end(),
                                 [code](const Group& g) { return g.code == code; });
        };
        std::vector<std::pair<int, std::string>> counts;
        std::vector<int> dropped;
        if (type == "LWPOLYLINE") {
            counts.emplace_back(90, std::to_string(count(10)));
            dropped = {90};
            // Vertex data before the first vertex has no vertex to go to.
            const auto firstVertex =
                std::find_if(kept.begin(), kept.end(), [](const Group& g) { return g.code == 10; });
            kept.erase(std::remove_if(kept.begin(), firstVertex,
                                      [](const Group& g) {
                                          return g.code == 42 || g.code == 20 || g.code == 30;
                                      }),
                       firstVertex);
        } else if (type == "MTEXT") {
            mtextRotations_.push_back(MTextRotation(kept));
        } else if (type == "SPLINE") {
            counts.emplace_back(72, std::to_string(count(40)));
            counts.emplace_back(73, std::to_string(count(10)));
            counts.emplace_back(74, std::to_string(count(11)));
            dropped = {72, 73, 74};
        }
        Put(0, type);
        for (const auto& [code, value] : counts) Put(code, value);
        for (std::size_t k = 1; k < kept.size(); ++k) {
            const Group& g = kept[k];
            if (std::find(dropped.begin(), dropped.end(), g.code) != dropped.end()) continue;
            Put(g.code, g.value, g.code == 1 || g.code == 3);
        }
    }

    const std::vector<Group>& groups_;
    std::string out_;
    std::vector<double> mtextRotations_;
};

// ---------------------------------------------------------------------------------------------
// Texts

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Reads "\U+XXXX" at `s[i]`; returns false when there is none.
bool ReadUnicodeEscape(std::string_view s, std::size_t i, char32_t& unit) {
    if (s.substr(i, 3) != "\\U+" || i + 7 > s.size()) return false;
    unsigned value = 0;
    const auto parsed = std::from_chars(s.data() + i + 3, s.data() + i + 7, value, 16);
    if (parsed.ec != std::errc() || parsed.ptr != s.data() + i + 7) return false;
    unit = value;
    return true;
}

// Decodes \U+XXXX (surrogate pairs joined) at `s[i]`, advancing `i`; false when none is there.
bool DecodeUnicodeEscape(std::string_view s, std::size_t& i, std::string& out) {
    char32_t unit = 0;
    if (!ReadUnicodeEscape(s, i, unit)) return false;
    i += 7;
    char32_t low = 0;
    if (unit >= 0xD800 && unit <= 0xDBFF && ReadUnicodeEscape(s, i, low) && low >= 0xDC00 &&
        low <= 0xDFFF) {
        i += 7;
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
    } else {
        AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    return true;
}

// Caret notation at `s[i]`: "^J" is a control character, "^ " the caret itself.
bool DecodeCaret(std::string_view s, std::size_t& i, std::string& out) {
    if (s[i] != '^' || i + 1 >= s.size()) return false;
    const char next = s[i + 1];
    if (next == ' ') {
        out += '^';
    } else if (next >= '@' && next <= '_') {
        out += static_cast<char>(next - '@');
    } else if (next == '?') {
        out += '\x7F';
    } else {
        return false;
    }
    i += 2;
    return true;
}

std::string_view WithoutMarks(std::string_view raw) {
    if (raw.size() >= 2 && raw.front() == kTextMark && raw.back() == kTextMark)
        return raw.substr(1, raw.size() - 2);
    return raw;
}

std::string DecodeString(std::string_view raw) {
    const std::string utf8 = DecodeText(WithoutMarks(raw));
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (DecodeUnicodeEscape(utf8, i, out) || DecodeCaret(utf8, i, out)) continue;
        out += utf8[i++];
    }
    return out;
}

// The plain text of an MTEXT: paragraphs become line feeds, stacked fractions "a/b", and
// formatting codes and braces disappear.
std::string PlainMText(std::string_view raw) {
    const std::string utf8 = DecodeText(raw);
    const std::string_view s = utf8;
    std::string out;
    std::size_t i = 0;
    const auto skipPast = [&](char end) {
        const std::size_t found = s.find(end, i);
        i = found == std::string_view::npos ? s.size() : found + 1;
    };
    while (i < s.size()) {
        const char c = s[i];
        if (c == '{' || c == '}') {
            ++i;
            continue;
        }
        if (c != '\\' || i + 1 >= s.size()) {
            if (!DecodeCaret(s, i, out)) out += s[i++];
            continue;
        }
        if (DecodeUnicodeEscape(s, i, out)) continue;
        const char code = s[i + 1];
        i += 2;
        switch (code) {
            case 'P':
                out += '\n';
                break;
            case '~':
                out += ' ';
                break;
            case 'S': {  // stacked text up to ';'
                const std::size_t found = s.find(';', i);
                const std::size_t stop = found == std::string_view::npos ? s.size() : found;
                for (std::size_t k = i; k < stop; ++k)
                    out += (s[k] == '^' || s[k] == '#') ? '/' : s[k];
                i = found == std::string_view::npos ? s.size() : found + 1;
                break;
            }
            case 'A':
            case 'C':
            case 'c':
            case 'F':
            case 'f':
            case 'H':
            case 'Q':
            case 'T':
            case 'W':
            case 'p':
                skipPast(';');
                break;
            case 'L':
            case 'l':
            case 'O':
            case 'o':
            case 'K':
            case 'k':
            case 'X':
            case 'N':
                break;
            default:
                out += code;
                break;  // \\, \{, \} and anything unknown: the character
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Curves as polylines

constexpr int kSegmentsPerTurn = 72;

PolylineEntity EllipsePolyline(const DL_EllipseData& e, const double normal[3]) {
    const double major[3] = {e.mx, e.my, e.mz};
    double n[3] = {normal[0], normal[1], normal[2]};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length == 0)
        n[0] = 0, n[1] = 0, n[2] = 1;
    else
        for (double& v : n) v /= length;
    // The minor axis lies in the ellipse's plane, a quarter turn on from the major axis.
    const double minor[3] = {e.ratio * (n[1] * major[2] - n[2] * major[1]),
                             e.ratio * (n[2] * major[0] - n[0] * major[2]),
                             e.ratio * (n[0] * major[1] - n[1] * major[0])};
    // Parameters a whole number of turns apart are the same point: taken within one turn, a
    // huge parameter neither loops nor asks for a polyline of billions of points. One that is not
    // finite draws the whole ellipse.
    const bool finite = std::isfinite(e.angle1) && std::isfinite(e.angle2);
    double start = finite ? std::fmod(e.angle1, 2 * kPi) : 0;
    double end = finite ? std::fmod(e.angle2, 2 * kPi) : 2 * kPi;
    if (start < 0) start += 2 * kPi;
    if (end < 0) end += 2 * kPi;
    if (end <= start) end += 2 * kPi;
    const double sweep = end - start;
    const bool full = std::fabs(sweep - 2 * kPi) < 1e-9;
    const int segments =
        std::max(4, static_cast<int>(std::ceil(sweep / (2 * kPi) * kSegmentsPerTurn)));
    PolylineEntity polyline;
    polyline.closed = full;
    const int points = full ? segments : segments + 1;
    for (int k = 0; k < points; ++k) {
        const double t = start + sweep * k / segments;
        const double c = std::cos(t);
        const double s = std::sin(t);
        polyline.vertices.push_back(PolylineVertex{e.cx + major[0] * c + minor[0] * s,
                                                   e.cy + major[1] * c + minor[1] * s,
                                                   e.cz + major[2] * c + minor[2] * s, 0});
    }
    return polyline;
}

struct SplineInput {
    unsigned degree = 3;
    bool closed = false;
    std::vector<double> knots;
    std::vector<std::array<double, 4>> control;  // x, y, z, weight
    std::vector<Point3> fit;
};

// A point of the (rational) B-spline at parameter t, by de Boor's algorithm.
Point3 SplinePoint(const SplineInput& s, double t) {
    const std::size_t p = s.degree;
    const std::size_t n = s.control.size();
    std::size_t span = p;
    while (span + 1 < n && t >= s.knots[span + 1]) ++span;
    std::vector<std::array<double, 4>> d(p + 1);
    for (std::size_t j = 0; j <= p; ++j) {
        const auto& c = s.control[span - p + j];
        d[j] = {c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]};
    }
    for (std::size_t r = 1; r <= p; ++r) {
        for (std::size_t j = p; j >= r; --j) {
            const std::size_t i = span - p + j;
            const double denominator = s.knots[i + p - r + 1] - s.knots[i];
            const double alpha = denominator == 0 ? 0 : (t - s.knots[i]) / denominator;
            for (int k = 0; k < 4; ++k) d[j][k] = (1 - alpha) * d[j - 1][k] + alpha * d[j][k];
        }
    }
    const double w = d[p][3] == 0 ? 1 : d[p][3];
    return Point3{d[p][0] / w, d[p][1] / w, d[p][2] / w};
}

PolylineEntity SplinePolyline(const SplineInput& s) {
    PolylineEntity polyline;
    const std::size_t n = s.control.size();
    const bool evaluable =
        s.degree >= 1 && s.degree <= 11 && n > s.degree && s.knots.size() == n + s.degree + 1 &&
        std::is_sorted(s.knots.begin(), s.knots.end()) && s.knots[n] > s.knots[s.degree];
    if (evaluable) {
        const double first = s.knots[s.degree];
        const double last = s.knots[n];
        const std::size_t segments = std::min<std::size_t>(4096, 8 * n);
        for (std::size_t k = 0; k <= segments; ++k) {
            const Point3 p = SplinePoint(
                s, first + (last - first) * static_cast<double>(k) / static_cast<double>(segments));
            polyline.vertices.push_back(PolylineVertex{p.x, p.y, p.z, 0});
        }
    } else if (s.fit.size() >= 2) {
        for (const Point3& p : s.fit) polyline.vertices.push_back(PolylineVertex{p.x, p.y, p.z, 0});
    } else {
        for (const auto& c : s.control)
            polyline.vertices.push_back(PolylineVertex{c[0], c[1], c[2], 0});
    }
    polyline.closed = s.closed;
    if (s.closed && polyline.vertices.size() > 2) {
        const PolylineVertex& a = polyline.vertices.front();
        const PolylineVertex& b = polyline.vertices.back();
        if (a.x == b.x && a.y == b.y && a.z == b.z) polyline.vertices.pop_back();
    }
    return polyline;
}

// ---------------------------------------------------------------------------------------------
// The dxflib adapter

class ModelBuilder : public DL_CreationAdapter {
  public:
    explicit ModelBuilder(const std::vector<double>& mtextRotations)
        : mtextRotations_(mtextRotations) {}

    Drawing Take() {
        Finish();
        // Layers named only by entities join the table with the default colour.
        std::vector<std::string> known;
        for (const Layer& layer : drawing_.layers) known.push_back(layer.name);
        const auto addUsed = [&](const std::vector<Entity>& entities) {
            for (const Entity& entity : entities) {
                if (std::find(known.begin(), known.end(), entity.layer) != known.end()) continue;
                known.push_back(entity.layer);
                drawing_.layers.push_back(Layer{entity.layer, 7});
            }
        };
        addUsed(drawing_.entities);
        for (const Block& block : drawing_.blocks) addUsed(block.entities);
        return std::move(drawing_);
    }

    void addLayer(const DL_LayerData& data) override {
        Finish();
        const std::string name = Name(data.name);
        for (const Layer& layer : drawing_.layers)
            if (layer.name == name) return;
        int colour = std::abs(getAttributes().getColor());  // negative: the layer is off
        if (colour < 1 || colour > 255) colour = 7;
        drawing_.layers.push_back(Layer{name, colour});
    }

    void addBlock(const DL_BlockData& data) override {
        Finish();
        const std::string name = Name(data.name);
        // The layout blocks of newer files hold paper space or nothing.
        const std::string_view bare = std::string_view(name).substr(name.empty() ? 0 : 1);
        if ((name.starts_with('*') || name.starts_with('$')) &&
            (SameName(bare.substr(0, 11), "MODEL_SPACE") ||
             SameName(bare.substr(0, 11), "PAPER_SPACE"))) {
            block_ = kSkippedBlock;
            return;
        }
        drawing_.blocks.push_back(Block{name, Point3{data.bpx, data.bpy, data.bpz}, {}});
        block_ = static_cast<long>(drawing_.blocks.size() - 1);
    }
    void endBlock() override {
        Finish();
        block_ = kNoBlock;
    }

    void addPoint(const DL_PointData& d) override { Add(PointEntity{{d.x, d.y, d.z}}); }
    void addLine(const DL_LineData& d) override {
        Add(LineEntity{{d.x1, d.y1, d.z1}, {d.x2, d.y2, d.z2}});
    }
    void addCircle(const DL_CircleData& d) override {
        Add(CircleEntity{Ocs(d.cx, d.cy, d.cz), d.radius});
    }
    void addArc(const DL_ArcData& d) override {
        ArcEntity arc{Ocs(d.cx, d.cy, d.cz), d.radius, d.angle1, d.angle2};
        if (Flipped()) arc = ArcEntity{arc.centre, d.radius, 180 - d.angle2, 180 - d.angle1};
        Add(arc);
    }
    void addText(const DL_TextData& d) override {
        const double rotation = Degrees(d.angle);
        Add(TextEntity{Ocs(d.ipx, d.ipy, d.ipz), d.height, Flipped() ? 180 - rotation : rotation,
                       DecodeString(d.text)});
    }
    void addMTextChunk(const std::string& chunk) override { mtext_ += WithoutMarks(chunk); }
    void addMText(const DL_MTextData& d) override {
        mtext_ += WithoutMarks(d.text);
        const double rotation =
            nextMText_ < mtextRotations_.size() ? mtextRotations_[nextMText_] : 0;
        ++nextMText_;
        Add(TextEntity{{d.ipx, d.ipy, d.ipz}, d.height, rotation, PlainMText(mtext_)});
        mtext_.clear();
    }
    void addSolid(const DL_SolidData& d) override { AddFourCorners(d); }
    void addTrace(const DL_TraceData& d) override { AddFourCorners(d); }

    void addPolyline(const DL_PolylineData& d) override {
        Finish();
        // Meshes (16) and polyface meshes (64) are surfaces, not paths.
        skipVertices_ = (d.flags & (16 | 64)) != 0;
        if (skipVertices_ || !Wanted()) {
            skipVertices_ = true;
            return;
        }
        polylineFlipped_ = Flipped();
        elevation_ = getExtrusion()->getElevation();
        polyline_ = Base(PolylineEntity{{}, (d.flags & 1) != 0});
    }
    void addVertex(const DL_VertexData& d) override {
        if (!polyline_) return;
        const double z = d.z != 0 ? d.z : elevation_;
        auto& vertices = std::get<PolylineEntity>(polyline_->geometry).vertices;
        if (polylineFlipped_)
            vertices.push_back(PolylineVertex{-d.x, d.y, -z, -d.bulge});
        else
            vertices.push_back(PolylineVertex{d.x, d.y, z, d.bulge});
    }
    void endSequence() override { Finish(); }

    void addEllipse(const DL_EllipseData& d) override {
        Add(EllipsePolyline(d, getExtrusion()->getDirection()));
    }
    void addSpline(const DL_SplineData& d) override {
        Finish();
        if (!Wanted()) return;
        spline_ = SplineInput{};
        spline_->degree = d.degree;
        spline_->closed = (d.flags & 1) != 0;
        splineEntity_ = Base(PolylineEntity{});
    }
    void addKnot(const DL_KnotData& d) override {
        if (spline_) spline_->knots.push_back(d.k);
    }
    void addControlPoint(const DL_ControlPointData& d) override {
        if (spline_) spline_->control.push_back({d.x, d.y, d.z, d.w});
    }
    void addFitPoint(const DL_FitPointData& d) override {
        if (spline_) spline_->fit.push_back(Point3{d.x, d.y, d.z});
    }

    void addInsert(const DL_InsertData& d) override {
        InsertEntity insert{Name(d.name), Ocs(d.ipx, d.ipy, d.ipz), d.sx, d.sy, d.angle};
        if (Flipped()) {  // a mirror about the Y axis: the block's X axis turns the other way
            insert.scaleX = -insert.scaleX;
            insert.rotation = -insert.rotation;
        }
        Add(insert);
    }

  private:
    static constexpr long kNoBlock = -1;
    static constexpr long kSkippedBlock = -2;

    std::string Name(const std::string& raw) {
        const auto found = names_.find(raw);
        if (found != names_.end()) return found->second;
        return names_.emplace(raw, DecodeString(raw)).first->second;
    }

    bool Wanted() { return block_ != kSkippedBlock && !getAttributes().isInPaperSpace(); }

    // Entities drawn in a flipped plane (extrusion 0,0,-1): their X and Z turn round.
    bool Flipped() {
        const double* n = getExtrusion()->getDirection();
        return std::fabs(n[0]) < 1e-9 && std::fabs(n[1]) < 1e-9 && n[2] < 0;
    }
    Point3 Ocs(double x, double y, double z) {
        return Flipped() ? Point3{-x, y, -z} : Point3{x, y, z};
    }

    Entity Base(EntityGeometry geometry) {
        const DL_Attributes current = getAttributes();
        int colour = current.getColor();
        if (colour < 0 || colour > 256) colour = 256;
        return Entity{Name(current.getLayer()), colour, std::move(geometry)};
    }

    void Add(EntityGeometry geometry) {
        Finish();
        if (!Wanted()) return;
        Store(Base(std::move(geometry)));
    }

    void Store(Entity entity) {
        if (block_ >= 0)
            drawing_.blocks[static_cast<std::size_t>(block_)].entities.push_back(std::move(entity));
        else
            drawing_.entities.push_back(std::move(entity));
    }

    void AddFourCorners(const DL_TraceData& d) {
        SolidEntity solid;
        for (std::size_t k = 0; k < 4; ++k) solid.corners[k] = Ocs(d.x[k], d.y[k], d.z[k]);
        Add(solid);
    }

    // Ends a polyline or spline still being collected: the next record has begun.
    void Finish() {
        if (polyline_) {
            if (!std::get<PolylineEntity>(polyline_->geometry).vertices.empty())
                Store(std::move(*polyline_));
            polyline_.reset();
        }
        if (spline_) {
            splineEntity_.geometry = SplinePolyline(*spline_);
            if (!std::get<PolylineEntity>(splineEntity_.geometry).vertices.empty())
                Store(std::move(splineEntity_));
            spline_.reset();
        }
    }

    Drawing drawing_;
    long block_ = kNoBlock;
    std::optional<Entity> polyline_;
    bool polylineFlipped_ = false;
    bool skipVertices_ = false;
    double elevation_ = 0;
    std::optional<SplineInput> spline_;
    Entity splineEntity_;
    std::string mtext_;
    const std::vector<double>& mtextRotations_;
    std::size_t nextMText_ = 0;
    std::unordered_map<std::string, std::string> names_;
};

}  // namespace

bool ReadDxfText(std::string_view bytes, Drawing& drawing, std::string& error) {
    std::vector<Group> groups;
    std::string why;
    if (!SplitGroups(bytes, groups, why)) {
        error = why;
        return false;
    }
    Rewriter rewriter(groups);
    std::istringstream stream(rewriter.Run());
    ModelBuilder builder(rewriter.MTextRotations());
    try {
        DL_Dxf dxf;
        if (!dxf.in(stream, &builder)) {
            error = "the DXF data could not be read";
            return false;
        }
    } catch (const std::exception& failure) {
        error = std::string("the DXF data could not be read: ") + failure.what();
        return false;
    }
    drawing = builder.Take();
    error.clear();
    return true;
}

bool ReadDxf(const std::filesystem::path& file, Drawing& drawing, std::string& error) {
    std::string bytes;
    std::string why;
    if (!ReadWholeFile(file, bytes, &why)) {
        error = why;
        return false;
    }
    if (!ReadDxfText(bytes, drawing, why)) {
        error = "Cannot read the drawing \"" + PathText(file) + "\": " + why;
        return false;
    }
    error.clear();
    return true;
}

}  // namespace retracer
