#include "drawing/dxf_writer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "base/worker_pool.h"

namespace retracer {
namespace {

// ---------------------------------------------------------------------------------------------
// Numbers

// The longest text PutReal writes, line end included.
constexpr std::size_t kMaxRealText = 40;

// The eight decimal digits of `x` (below 10^8) as the byte values 0..9, the first digit in the
// lowest byte: two halves of four digits, each split in two pairs, each pair in two digits, all
// lanes at once.
inline std::uint64_t EightDigits(std::uint32_t x) {
    std::uint64_t v = (x / 10000) | (static_cast<std::uint64_t>(x % 10000) << 32);
    std::uint64_t t = ((v * 10486) >> 20) & 0x0000007F0000007Full;  // / 100 in each half
    v = t | ((v - t * 100) << 16);
    t = ((v * 103) >> 10) & 0x000F000F000F000Full;  // / 10 in each quarter
    return t | ((v - t * 10) << 8);
}

constexpr std::uint64_t kAsciiZeros = 0x3030303030303030ull;
constexpr double kFastScale = 1e8;    // fractions of up to 8 decimals take the quick path
constexpr double kFastLimit = 4.5e7;  // below 2^52 / 10^8: the scaled value is exact enough
constexpr double kRoundingShift = 4503599627370496.0;  // 2^52: + and - round to an integer

// Shortest round-trip text of a real, then LF. Drawing values are mostly short decimals (they
// come from single-precision program values): the value times 10^8, rounded, divided by 10^8
// again gives the value back exactly when it has at most 8 decimals (both numbers are exact
// doubles, so the division rounds as reading the text does). The scaled value is then far from
// a rounding boundary, so that integer holds the digits of the shortest text, trailing zeros
// aside. Its whole and fractional parts are written eight digits at a time without branches on
// the digits. Everything else goes to std::to_chars.
char* PutReal(char* p, double value) {
    if (!std::isfinite(value) || value == 0) {
        std::memcpy(p, "0.0\n", 4);
        return p + 4;
    }
    const double magnitude = std::fabs(value);
    if constexpr (std::endian::native == std::endian::little) {
        if (magnitude >= 1e-5 && magnitude < kFastLimit) {
            const double rounded = (magnitude * kFastScale + kRoundingShift) - kRoundingShift;
            if (rounded / kFastScale == magnitude) {
                const auto digits = static_cast<std::uint64_t>(rounded);
                const auto whole = static_cast<std::uint32_t>(digits / 100000000u);
                const auto fraction = static_cast<std::uint32_t>(digits % 100000000u);
                if (value < 0) *p++ = '-';
                const std::uint64_t w = EightDigits(whole);
                const int leadingZeros = std::min(std::countr_zero(w) / 8, 7);
                const std::uint64_t wholeText = (w + kAsciiZeros) >> (8 * leadingZeros);
                std::memcpy(p, &wholeText, 8);
                p += 8 - leadingZeros;
                *p++ = '.';
                const std::uint64_t f = EightDigits(fraction);
                const int trailingZeros = std::min(std::countl_zero(f) / 8, 7);
                const std::uint64_t fractionText = f + kAsciiZeros;
                std::memcpy(p, &fractionText, 8);
                p += 8 - trailingZeros;
                *p++ = '\n';
                return p;
            }
        }
    }
    const bool plain = magnitude >= 1e-5 && magnitude < 1e15;
    const auto result =
        plain ? std::to_chars(p, p + kMaxRealText - 3, value, std::chars_format::fixed)
              : std::to_chars(p, p + kMaxRealText - 3, value);
    char* end = result.ptr;
    if (std::find_if(p, end, [](char c) { return c == '.' || c == 'e'; }) == end) {
        *end++ = '.';
        *end++ = '0';
    }
    *end++ = '\n';
    return end;
}

// Integers are right-aligned in six places, as release 12 files have them.
char* PutInt(char* p, long long value) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const std::size_t n = static_cast<std::size_t>(result.ptr - digits);
    for (std::size_t i = n; i < 6; ++i) *p++ = ' ';
    std::memcpy(p, digits, n);
    p += n;
    *p++ = '\n';
    return p;
}

// ---------------------------------------------------------------------------------------------
// Texts and names

// Decodes one UTF-8 sequence at `s[i]`; a malformed byte gives U+FFFD and advances by one.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, minimum = 0x10000;
    }
    if (length == 0 || i + static_cast<std::size_t>(length) > s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byte(i + static_cast<std::size_t>(k));
        if ((next & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return 0xFFFD;
    }
    i += static_cast<std::size_t>(length);
    return cp;
}

char* PutUnicodeEscape(char* p, char32_t unit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::memcpy(p, "\\U+", 3);
    p += 3;
    for (int shift = 12; shift >= 0; shift -= 4) *p++ = kHex[(unit >> shift) & 0xF];
    return p;
}

// A text grows at most sevenfold: one malformed byte becomes \U+FFFD.
constexpr std::size_t kTextGrowth = 7;

char* PutText(char* p, std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '^') {
            *p++ = static_cast<char>(c);
            ++i;
        } else if (c == '^') {
            *p++ = '^';
            *p++ = ' ';
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            *p++ = '^';
            *p++ = static_cast<char>(c == 0x7F ? '?' : c + 0x40);
            ++i;
        } else {
            const char32_t cp = NextCodePoint(text, i);
            if (cp > 0xFFFF) {
                const char32_t v = cp - 0x10000;
                p = PutUnicodeEscape(p, 0xD800 + (v >> 10));
                p = PutUnicodeEscape(p, 0xDC00 + (v & 0x3FF));
            } else {
                p = PutUnicodeEscape(p, cp);
            }
        }
    }
    *p++ = '\n';
    return p;
}

// Characters DXF does not allow in table names: controls and <>/\":;?*|=`.
constexpr auto kForbiddenInName = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = true;
    table[0x7F] = true;
    for (const char c : std::string_view("<>/\\\":;?*|=`"))
        table[static_cast<unsigned char>(c)] = true;
    return table;
}();

bool IsForbiddenInName(unsigned char c) {
    return kForbiddenInName[c];
}

// The Windows-1252 byte of a code point, 0 when it has none.
unsigned char Windows1252Byte(char32_t cp) {
    if (cp >= 0xA0 && cp <= 0xFF) return static_cast<unsigned char>(cp);
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int k = 0; k < 32; ++k)
        if (kHigh[k] != 0 && kHigh[k] == cp) return static_cast<unsigned char>(0x80 + k);
    return 0;
}

bool NameNeedsCare(std::string_view name) {
    if (name.empty()) return true;
    for (const char ch : name) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || IsForbiddenInName(c)) return true;
    }
    return false;
}

std::string NameText(std::string_view name) {
    if (!NameNeedsCare(name)) return std::string(name);
    if (name.empty()) return "0";
    std::string out;
    out.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (c < 0x80) {
            out += IsForbiddenInName(c) ? '_' : static_cast<char>(c);
            ++i;
            continue;
        }
        const unsigned char b = Windows1252Byte(NextCodePoint(name, i));
        out += b != 0 ? static_cast<char>(b) : '_';
    }
    return out;
}

std::string FoldCase(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return folded;
}

// ---------------------------------------------------------------------------------------------
// Extents

struct Box {
    double min[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double max[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    bool Empty() const { return !(min[0] <= max[0]); }
    void Add(double x, double y, double z) {
        // x - x is 0 for a finite x and NaN otherwise.
        if (!((x - x) + (y - y) + (z - z) == 0)) return;
        const double v[3] = {x, y, z};
        for (int k = 0; k < 3; ++k) {
            min[k] = std::min(min[k], v[k]);
            max[k] = std::max(max[k], v[k]);
        }
    }
    void Add(const Point3& p) { Add(p.x, p.y, p.z); }
    void Add(const Box& other) {
        if (other.Empty()) return;
        Add(other.min[0], other.min[1], other.min[2]);
        Add(other.max[0], other.max[1], other.max[2]);
    }
};

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// The quadrant points (0°, 90°, 180°, 270°) of a circle that an arc from `start` to `end`
// degrees (counter-clockwise) passes.
void AddArcQuadrants(Box& box, const Point3& c, double r, double start, double end) {
    const auto normal = [](double a) {
        a = std::fmod(a, 360.0);
        return a < 0 ? a + 360.0 : a;
    };
    const double s = normal(start);
    double e = normal(end);
    if (e <= s) e += 360.0;
    for (int q = 0; q < 8; ++q) {
        const double angle = 90.0 * q;
        if (angle > s && angle < e) {
            const int quadrant = q % 4;
            const double dx = quadrant == 0 ? r : quadrant == 2 ? -r : 0;
            const double dy = quadrant == 1 ? r : quadrant == 3 ? -r : 0;
            box.Add(c.x + dx, c.y + dy, c.z);
        }
    }
}

// A bulged segment from a to b: the chord splits the circle into two arcs, so a quadrant point
// of the circle belongs to this arc exactly when it lies on the arc's side of the chord.
void AddBulgedSegment(Box& box, const PolylineVertex& a, const PolylineVertex& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double bulge = a.bulge;
    if (bulge == 0 || !std::isfinite(bulge) || (dx == 0 && dy == 0)) return;
    // A segment of at most a half circle stays within its sagitta of the chord; when that band
    // is inside the box already, the exact arc cannot widen it.
    if (std::fabs(bulge) <= 1) {
        const double sagitta = std::fabs(bulge) * (std::fabs(dx) + std::fabs(dy)) / 2;
        if (std::min(a.x, b.x) - sagitta >= box.min[0] &&
            std::max(a.x, b.x) + sagitta <= box.max[0] &&
            std::min(a.y, b.y) - sagitta >= box.min[1] &&
            std::max(a.y, b.y) + sagitta <= box.max[1])
            return;
    }
    const double chord = std::sqrt(dx * dx + dy * dy);
    const double radius = chord * (1 + bulge * bulge) / (4 * std::fabs(bulge));
    const double t = (1 - bulge * bulge) / (4 * bulge);
    const double cx = (a.x + b.x) / 2 - t * dy;
    const double cy = (a.y + b.y) / 2 + t * dx;
    const double side = bulge > 0 ? -1.0 : 1.0;  // a positive bulge turns left: arc on the right
    const double quadrants[4][2] = {{radius, 0}, {0, radius}, {-radius, 0}, {0, -radius}};
    for (const auto& q : quadrants) {
        const double px = cx + q[0];
        const double py = cy + q[1];
        const double cross = dx * (py - a.y) - dy * (px - a.x);
        if (cross * side > 0) box.Add(px, py, a.z);
    }
}

class ExtentsBuilder {
  public:
    explicit ExtentsBuilder(const std::vector<Block>& blocks) : blocks_(blocks) {
        for (std::size_t i = 0; i < blocks.size(); ++i) blockIndex_.emplace(blocks[i].name, i);
    }

    Box Of(const std::vector<Entity>& entities, int depth) {
        Box box;
        AddAll(box, entities, depth);
        return box;
    }

    // Entities in drawing order onto `box`: the same box as Of gives for them all at once.
    void AddAll(Box& box, const std::vector<Entity>& entities, int depth) {
        for (const Entity& entity : entities) AddEntity(box, entity, depth);
    }

  private:
    // A block's own box, worked out once per nesting depth: blocks that insert each other several
    // times over would otherwise be measured once for every path through them, which grows
    // exponentially with the depth.
    Box BlockBox(std::size_t block, int depth) {
        const auto key = std::make_pair(block, depth);
        if (const auto known = blockBoxes_.find(key); known != blockBoxes_.end())
            return known->second;
        const Box box = Of(blocks_[block].entities, depth);
        blockBoxes_.emplace(key, box);
        return box;
    }

    void AddEntity(Box& box, const Entity& entity, int depth) {
        std::visit([&](const auto& g) { Add(box, g, depth); }, entity.geometry);
    }
    void Add(Box& box, const LineEntity& g, int) {
        box.Add(g.start);
        box.Add(g.end);
    }
    void Add(Box& box, const CircleEntity& g, int) {
        box.Add(g.centre.x - g.radius, g.centre.y - g.radius, g.centre.z);
        box.Add(g.centre.x + g.radius, g.centre.y + g.radius, g.centre.z);
    }
    void Add(Box& box, const ArcEntity& g, int) {
        box.Add(g.centre.x + g.radius * std::cos(g.startAngle * kDegree),
                g.centre.y + g.radius * std::sin(g.startAngle * kDegree), g.centre.z);
        box.Add(g.centre.x + g.radius * std::cos(g.endAngle * kDegree),
                g.centre.y + g.radius * std::sin(g.endAngle * kDegree), g.centre.z);
        AddArcQuadrants(box, g.centre, g.radius, g.startAngle, g.endAngle);
    }
    void Add(Box& box, const TextEntity& g, int) { box.Add(g.position); }
    void Add(Box& box, const SolidEntity& g, int) {
        for (const Point3& p : g.corners) box.Add(p);
    }
    void Add(Box& box, const PolylineEntity& g, int) {
        const std::size_t n = g.vertices.size();
        Box points;  // a local box stays in registers; `box` might alias the vertices
        for (const PolylineVertex& v : g.vertices) points.Add(v.x, v.y, v.z);
        box.Add(points);
        for (std::size_t i = 0; i < n; ++i) {
            const PolylineVertex& v = g.vertices[i];
            if (v.bulge == 0) continue;
            if (i + 1 < n)
                AddBulgedSegment(box, v, g.vertices[i + 1]);
            else if (g.closed && n > 1)
                AddBulgedSegment(box, v, g.vertices[0]);
        }
    }
    void Add(Box& box, const PointEntity& g, int) { box.Add(g.position); }
    void Add(Box& box, const InsertEntity& g, int depth) {
        box.Add(g.position);
        const auto found = blockIndex_.find(g.block);
        constexpr int kMaxNesting = 16;  // also ends a block that inserts itself
        if (found == blockIndex_.end() || depth >= kMaxNesting) return;
        const Block& block = blocks_[found->second];
        const Box inner = BlockBox(found->second, depth + 1);
        if (inner.Empty()) return;
        const double c = std::cos(g.rotation * kDegree);
        const double s = std::sin(g.rotation * kDegree);
        for (int corner = 0; corner < 4; ++corner) {
            const double x = ((corner & 1) ? inner.max[0] : inner.min[0]) - block.base.x;
            const double y = ((corner & 2) ? inner.max[1] : inner.min[1]) - block.base.y;
            const double sx = x * g.scaleX;
            const double sy = y * g.scaleY;
            box.Add(g.position.x + sx * c - sy * s, g.position.y + sx * s + sy * c,
                    g.position.z + inner.min[2] - block.base.z);
            box.Add(g.position.x + sx * c - sy * s, g.position.y + sx * s + sy * c,
                    g.position.z + inner.max[2] - block.base.z);
        }
    }

    const std::vector<Block>& blocks_;
    std::unordered_map<std::string, std::size_t> blockIndex_;
    std::map<std::pair<std::size_t, int>, Box> blockBoxes_;
};

// ---------------------------------------------------------------------------------------------
// Output

using FlushFunction = void (*)(void* target, const char* data, std::size_t size);

// Collects the text in a buffer and hands it on in large pieces, so that a million entities
// cost a few thousand writes instead of tens of millions. The buffer is small enough to stay in
// the cache.
class DxfEmitter {
  public:
    DxfEmitter(FlushFunction flush, void* target)
        : flush_(flush), target_(target), buffer_(new char[kCapacity]), capacity_(kCapacity) {}
    DxfEmitter(const DxfEmitter&) = delete;
    DxfEmitter& operator=(const DxfEmitter&) = delete;

    // Hands on everything buffered.
    void Finish() {
        if (used_ > 0) flush_(target_, buffer_.get(), used_);
        used_ = 0;
    }

    // Where the following text goes; only between Finish and the next Put.
    void SetTarget(void* target) { target_ = target; }

    // Writes text made elsewhere; only after Finish.
    void WriteThrough(std::string_view text) { flush_(target_, text.data(), text.size()); }

    // Makes room for `size` more bytes; the Put functions below rely on it.
    void Reserve(std::size_t size) {
        if (capacity_ - used_ >= size) return;
        Finish();
        if (size > capacity_) {
            buffer_.reset(new char[size]);
            capacity_ = size;
        }
    }

    template <std::size_t N>
    void Put(const char (&literal)[N]) {
        std::memcpy(Cursor(), literal, N - 1);
        used_ += N - 1;
    }
    void PutBytes(std::string_view bytes) {
        std::memcpy(Cursor(), bytes.data(), bytes.size());
        used_ += bytes.size();
    }
    void PutRealValue(double v) { used_ = Offset(PutReal(Cursor(), v)); }
    void PutIntValue(long long v) { used_ = Offset(PutInt(Cursor(), v)); }
    void PutTextValue(std::string_view text) { used_ = Offset(PutText(Cursor(), text)); }

    // A point as groups 1x, 2x, 3x (`digit` is x).
    void PutPoint(char digit, double x, double y, double z) {
        char code[4] = {' ', '1', digit, '\n'};
        std::memcpy(Cursor(), code, 4);
        used_ += 4;
        PutRealValue(x);
        code[1] = '2';
        std::memcpy(Cursor(), code, 4);
        used_ += 4;
        PutRealValue(y);
        code[1] = '3';
        std::memcpy(Cursor(), code, 4);
        used_ += 4;
        PutRealValue(z);
    }

  private:
    static constexpr std::size_t kCapacity = std::size_t{1} << 18;
    char* Cursor() { return buffer_.get() + used_; }
    std::size_t Offset(const char* end) { return static_cast<std::size_t>(end - buffer_.get()); }

    FlushFunction flush_;
    void* target_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
};

constexpr std::size_t kPointText = 3 * (4 + kMaxRealText);
constexpr std::size_t kEntityHead = 64;  // entity name, layer code, colour group

// Writes entity records. Each writer keeps its own small caches, so several may work at once on
// different runs of entities.
class EntityWriter {
  public:
    explicit EntityWriter(DxfEmitter& out) : out_(out) {}

    void Write(const Entity& entity) {
        std::visit([&](const auto& g) { Write(entity, g); }, entity.geometry);
    }

  private:
    // Layer text of an entity; entities usually come in runs on one layer, so the last one is
    // kept ready.
    std::string_view LayerText(const std::string& layer) {
        if (!NameNeedsCare(layer)) return layer;
        if (layer != lastLayer_) {
            lastLayer_ = layer;
            lastLayerText_ = NameText(layer);
        }
        return lastLayerText_;
    }

    // "  0\n<kind>\n  8\n<layer>\n" and the colour unless it is by layer.
    template <std::size_t N>
    void Head(const char (&kind)[N], const Entity& entity, std::size_t more) {
        const std::string_view layer = LayerText(entity.layer);
        out_.Reserve(kEntityHead + N + layer.size() + more);
        out_.Put(kind);
        out_.PutBytes(layer);
        out_.Put("\n");
        if (entity.colour >= 0 && entity.colour <= 255) {
            out_.Put(" 62\n");
            out_.PutIntValue(entity.colour);
        }
    }

    void Write(const Entity& e, const LineEntity& g) {
        Head("  0\nLINE\n  8\n", e, 2 * kPointText);
        out_.PutPoint('0', g.start.x, g.start.y, g.start.z);
        out_.PutPoint('1', g.end.x, g.end.y, g.end.z);
    }
    void Write(const Entity& e, const CircleEntity& g) {
        Head("  0\nCIRCLE\n  8\n", e, kPointText + 4 + kMaxRealText);
        out_.PutPoint('0', g.centre.x, g.centre.y, g.centre.z);
        out_.Put(" 40\n");
        out_.PutRealValue(g.radius);
    }
    void Write(const Entity& e, const ArcEntity& g) {
        Head("  0\nARC\n  8\n", e, kPointText + 3 * (4 + kMaxRealText));
        out_.PutPoint('0', g.centre.x, g.centre.y, g.centre.z);
        out_.Put(" 40\n");
        out_.PutRealValue(g.radius);
        out_.Put(" 50\n");
        out_.PutRealValue(g.startAngle);
        out_.Put(" 51\n");
        out_.PutRealValue(g.endAngle);
    }
    void Write(const Entity& e, const TextEntity& g) {
        Head("  0\nTEXT\n  8\n", e,
             kPointText + 2 * (4 + kMaxRealText) + 8 + kTextGrowth * g.text.size());
        out_.PutPoint('0', g.position.x, g.position.y, g.position.z);
        out_.Put(" 40\n");
        out_.PutRealValue(g.height);
        out_.Put("  1\n");
        out_.PutTextValue(g.text);
        if (g.rotation != 0) {
            out_.Put(" 50\n");
            out_.PutRealValue(g.rotation);
        }
    }
    void Write(const Entity& e, const SolidEntity& g) {
        Head("  0\nSOLID\n  8\n", e, 4 * kPointText);
        for (int k = 0; k < 4; ++k) {
            const Point3& p = g.corners[static_cast<std::size_t>(k)];
            out_.PutPoint(static_cast<char>('0' + k), p.x, p.y, p.z);
        }
    }
    void Write(const Entity& e, const PolylineEntity& g) {
        if (g.vertices.empty()) return;  // not a valid POLYLINE; readers reject it
        Head("  0\nPOLYLINE\n  8\n", e, 64);
        out_.Put(" 66\n     1\n 10\n0.0\n 20\n0.0\n 30\n0.0\n 70\n");
        out_.PutIntValue(g.closed ? 1 : 0);
        const std::string_view layer = LayerText(e.layer);
        // The same head for every vertex: one copy each.
        vertexHead_.assign("  0\nVERTEX\n  8\n");
        vertexHead_.append(layer);
        vertexHead_.push_back('\n');
        const std::size_t vertexText = vertexHead_.size() + kPointText + 4 + kMaxRealText;
        for (const PolylineVertex& v : g.vertices) {
            out_.Reserve(vertexText);
            out_.PutBytes(vertexHead_);
            out_.PutPoint('0', v.x, v.y, v.z);
            if (v.bulge != 0 && std::isfinite(v.bulge)) {
                out_.Put(" 42\n");
                out_.PutRealValue(v.bulge);
            }
        }
        out_.Reserve(32 + layer.size());
        out_.Put("  0\nSEQEND\n  8\n");
        out_.PutBytes(layer);
        out_.Put("\n");
    }
    void Write(const Entity& e, const PointEntity& g) {
        Head("  0\nPOINT\n  8\n", e, kPointText);
        out_.PutPoint('0', g.position.x, g.position.y, g.position.z);
    }
    void Write(const Entity& e, const InsertEntity& g) {
        const std::string name = NameText(g.block);
        Head("  0\nINSERT\n  8\n", e, 8 + name.size() + kPointText + 3 * (4 + kMaxRealText));
        out_.Put("  2\n");
        out_.PutBytes(name);
        out_.Put("\n");
        out_.PutPoint('0', g.position.x, g.position.y, g.position.z);
        if (g.scaleX != 1) {
            out_.Put(" 41\n");
            out_.PutRealValue(g.scaleX);
        }
        if (g.scaleY != 1) {
            out_.Put(" 42\n");
            out_.PutRealValue(g.scaleY);
        }
        if (g.rotation != 0) {
            out_.Put(" 50\n");
            out_.PutRealValue(g.rotation);
        }
    }

    DxfEmitter& out_;
    std::string lastLayer_;
    std::string lastLayerText_ = NameText(lastLayer_);
    std::string vertexHead_;
};

void FlushToString(void* target, const char* data, std::size_t size) {
    static_cast<std::string*>(target)->append(data, size);
}

// Large drawings are formatted on several threads, a run of entities each; the texts are handed
// on in order, and only a few runs per thread may wait, so memory stays bounded. Small drawings
// (every job's) are written on the calling thread alone.
constexpr std::size_t kEntitiesPerRun = 2048;
constexpr std::size_t kParallelFrom = 16 * kEntitiesPerRun;
constexpr unsigned kMaxFormatThreads = 8;

class ParallelFormatter {
  public:
    ParallelFormatter(const std::vector<Entity>& entities, unsigned threads)
        : entities_(entities),
          runs_((entities.size() + kEntitiesPerRun - 1) / kEntitiesPerRun),
          window_(4 * static_cast<std::size_t>(threads)),
          texts_(runs_),
          ready_(runs_, 0) {}

    // Formats on `threads` helper threads and writes the texts to `out` in order.
    void WriteTo(DxfEmitter& out, unsigned threads) {
        const WorkerThreads helpers(threads, [this](unsigned) { Work(); });
        // Ends before the helpers are joined, also on the way out of an exception.
        const struct StopOnExit {
            ParallelFormatter& formatter;
            ~StopOnExit() { formatter.Stop(); }
        } stop{*this};
        if (helpers.Size() == 0) {
            EntityWriter writer(out);
            for (const Entity& entity : entities_) writer.Write(entity);
            return;
        }
        for (std::size_t run = 0; run < runs_; ++run) {
            std::string text = Await(run);
            out.WriteThrough(text);
            Release(std::move(text));
        }
    }

  private:
    // A helper's loop; a failure (out of memory, most likely) stops the others and reaches the
    // writing thread.
    void Work() {
        try {
            FormatRuns();
        } catch (...) {
            const std::lock_guard<std::mutex> lock(mutex_);
            failure_ = std::current_exception();
            stop_ = true;
            changed_.notify_all();
        }
    }

    void FormatRuns() {
        DxfEmitter emitter(&FlushToString, nullptr);
        EntityWriter writer(emitter);
        std::size_t run = 0;
        std::string buffer;
        while (TakeRun(run, buffer)) {
            buffer.clear();
            emitter.SetTarget(&buffer);
            const std::size_t end = std::min(entities_.size(), (run + 1) * kEntitiesPerRun);
            for (std::size_t k = run * kEntitiesPerRun; k < end; ++k) writer.Write(entities_[k]);
            emitter.Finish();
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                texts_[run] = std::move(buffer);
                ready_[run] = 1;
            }
            changed_.notify_all();
        }
    }

    // The next run to format, once it is within the window of runs not yet written, with a
    // buffer already written out for its memory. False when there is none or the work stopped.
    bool TakeRun(std::size_t& run, std::string& buffer) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stop_ || next_ >= runs_ || next_ < consumed_ + window_; });
        if (stop_ || next_ >= runs_) return false;
        run = next_++;
        if (!spare_.empty()) buffer = std::move(spare_.back()), spare_.pop_back();
        return true;
    }

    std::string Await(std::size_t run) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return ready_[run] != 0 || failure_ != nullptr; });
        if (failure_) std::rethrow_exception(failure_);
        return std::move(texts_[run]);
    }

    void Release(std::string&& text) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ++consumed_;
            spare_.push_back(std::move(text));
        }
        changed_.notify_all();
    }

    void Stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
    }

    const std::vector<Entity>& entities_;
    const std::size_t runs_;
    const std::size_t window_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> texts_;
    std::vector<char> ready_;
    std::vector<std::string> spare_;  // texts already written, kept for their memory
    std::size_t next_ = 0;
    std::size_t consumed_ = 0;
    bool stop_ = false;
    std::exception_ptr failure_;
};

void FormatInParallel(const std::vector<Entity>& entities, unsigned threads, DxfEmitter& out) {
    ParallelFormatter(entities, threads).WriteTo(out, threads);
}

// The end of the entities section and of the file.
constexpr std::string_view kDxfTail = "  0\nENDSEC\n  0\nEOF\n";

// The layer table: "0" first, then the model's layers, then layers only entities name.
std::vector<Layer> TableLayers(const std::vector<Layer>& modelLayers,
                               const std::vector<Entity>& entities,
                               const std::vector<Block>& blocks) {
    std::vector<Layer> layers;
    std::unordered_set<std::string> seen;
    const auto add = [&](std::string_view name, int colour) {
        std::string text = NameText(name);
        if (!seen.insert(FoldCase(text)).second) return;
        const bool valid = colour >= 1 && colour <= 255;
        layers.push_back(Layer{std::move(text), valid ? colour : 7});
    };
    int zeroColour = 7;
    for (const Layer& layer : modelLayers)
        if (NameText(layer.name) == "0") zeroColour = layer.colour;
    add("0", zeroColour);
    for (const Layer& layer : modelLayers) add(layer.name, layer.colour);
    std::string last;
    const auto addUsed = [&](const std::vector<Entity>& used) {
        for (const Entity& entity : used) {
            if (entity.layer == last) continue;  // entities come in runs of one layer
            last = entity.layer;
            add(entity.layer, 7);
        }
    };
    addUsed(entities);
    for (const Block& block : blocks) addUsed(block.entities);
    return layers;
}

// The parts of the file in order: the head (header, tables, blocks and the start of the
// entities), the entities, the tail.
class DxfFileWriter {
  public:
    explicit DxfFileWriter(DxfEmitter& out) : out_(out) {}

    void Write(const Drawing& drawing) {
        WriteHead(TableLayers(drawing.layers, drawing.entities, drawing.blocks), drawing.blocks,
                  DrawingExtents(drawing));
        const unsigned threads = std::min(std::thread::hardware_concurrency(), kMaxFormatThreads);
        if (drawing.entities.size() >= kParallelFrom && threads >= 2) {
            out_.Finish();
            FormatInParallel(drawing.entities, threads, out_);
        } else {
            for (const Entity& entity : drawing.entities) entities_.Write(entity);
        }
        WriteTail();
    }

    void WriteHead(const std::vector<Layer>& tableLayers, const std::vector<Block>& blocks,
                   const Extents& extents) {
        WriteHeader(extents);
        WriteTables(tableLayers);
        WriteBlocks(blocks);
        Section("ENTITIES");
        out_.Finish();
    }

    void WriteTail() {
        out_.Reserve(kDxfTail.size());
        out_.PutBytes(kDxfTail);
        out_.Finish();
    }

  private:
    void Section(std::string_view name) {
        out_.Reserve(32 + name.size());
        out_.Put("  0\nSECTION\n  2\n");
        out_.PutBytes(name);
        out_.Put("\n");
    }
    void EndSection() {
        out_.Reserve(16);
        out_.Put("  0\nENDSEC\n");
    }
    void Variable(std::string_view name) {
        out_.Reserve(16 + name.size());
        out_.Put("  9\n");
        out_.PutBytes(name);
        out_.Put("\n");
    }
    void PointVariable(std::string_view name, const Point3& p) {
        Variable(name);
        out_.Reserve(kPointText);
        out_.PutPoint('0', p.x, p.y, p.z);
    }

    void WriteHeader(const Extents& extents) {
        Section("HEADER");
        Variable("$ACADVER");
        out_.Reserve(16);
        out_.Put("  1\nAC1009\n");
        // Names outside ASCII are written in this code page.
        Variable("$DWGCODEPAGE");
        out_.Reserve(16);
        out_.Put("  3\nANSI_1252\n");
        PointVariable("$INSBASE", Point3{});
        PointVariable("$EXTMIN", extents.min);
        PointVariable("$EXTMAX", extents.max);
        EndSection();
    }

    void Table(std::string_view name, std::size_t count) {
        out_.Reserve(64);
        out_.Put("  0\nTABLE\n  2\n");
        out_.PutBytes(name);
        out_.Put("\n 70\n");
        out_.PutIntValue(static_cast<long long>(count));
    }
    void EndTable() {
        out_.Reserve(16);
        out_.Put("  0\nENDTAB\n");
    }
    void WriteTables(const std::vector<Layer>& layers) {
        Section("TABLES");
        Table("LTYPE", 1);
        out_.Reserve(128);
        out_.Put(
            "  0\nLTYPE\n  2\nCONTINUOUS\n 70\n     0\n  3\nSolid line\n 72\n    65\n 73\n     0\n"
            " 40\n0.0\n");
        EndTable();

        Table("LAYER", layers.size());
        for (const Layer& layer : layers) {
            out_.Reserve(96 + layer.name.size());
            out_.Put("  0\nLAYER\n  2\n");
            out_.PutBytes(layer.name);
            out_.Put("\n 70\n     0\n 62\n");
            out_.PutIntValue(layer.colour);
            out_.Put("  6\nCONTINUOUS\n");
        }
        EndTable();

        Table("STYLE", 1);
        out_.Reserve(160);
        out_.Put(
            "  0\nSTYLE\n  2\nSTANDARD\n 70\n     0\n 40\n0.0\n 41\n1.0\n 50\n0.0\n 71\n     0\n"
            " 42\n2.5\n  3\ntxt\n  4\n\n");
        EndTable();
        EndSection();
    }

    void WriteBlocks(const std::vector<Block>& blocks) {
        Section("BLOCKS");
        for (const Block& block : blocks) {
            const std::string name = NameText(block.name);
            out_.Reserve(64 + 2 * name.size() + kPointText);
            out_.Put("  0\nBLOCK\n  8\n0\n  2\n");
            out_.PutBytes(name);
            out_.Put("\n 70\n     0\n");
            out_.PutPoint('0', block.base.x, block.base.y, block.base.z);
            out_.Put("  3\n");
            out_.PutBytes(name);
            out_.Put("\n");
            for (const Entity& entity : block.entities) entities_.Write(entity);
            out_.Reserve(32);
            out_.Put("  0\nENDBLK\n  8\n0\n");
        }
        EndSection();
    }

    DxfEmitter& out_;
    EntityWriter entities_{out_};
};

void FlushToStream(void* target, const char* data, std::size_t size) {
    static_cast<std::ostream*>(target)->write(data, static_cast<std::streamsize>(size));
}

// A generous guess of the file size, so that the text is not copied as it grows.
std::size_t EstimatedSize(const Drawing& drawing) {
    std::size_t size = 4096 + 64 * drawing.layers.size();
    const auto add = [&](const std::vector<Entity>& entities) {
        for (const Entity& e : entities) {
            size += 160 + e.layer.size();
            if (const auto* polyline = std::get_if<PolylineEntity>(&e.geometry))
                size += polyline->vertices.size() * (100 + e.layer.size());
            else if (const auto* text = std::get_if<TextEntity>(&e.geometry))
                size += text->text.size();
        }
    };
    add(drawing.entities);
    for (const Block& block : drawing.blocks) add(block.entities);
    return size;
}

Extents ExtentsOf(const Box& box) {
    Extents extents;
    if (box.Empty()) return extents;
    extents.empty = false;
    extents.min = Point3{box.min[0], box.min[1], box.min[2]};
    extents.max = Point3{box.max[0], box.max[1], box.max[2]};
    return extents;
}

}  // namespace

Extents DrawingExtents(const Drawing& drawing) {
    ExtentsBuilder builder(drawing.blocks);
    return ExtentsOf(builder.Of(drawing.entities, 0));
}

void ExtentsAccumulator::Add(const std::vector<Entity>& entities) {
    static const std::vector<Block> kNoBlocks;
    Box box;
    std::copy(std::begin(min_), std::end(min_), std::begin(box.min));
    std::copy(std::begin(max_), std::end(max_), std::begin(box.max));
    ExtentsBuilder(kNoBlocks).AddAll(box, entities, 0);
    std::copy(std::begin(box.min), std::end(box.min), std::begin(min_));
    std::copy(std::begin(box.max), std::end(box.max), std::begin(max_));
}

Extents ExtentsAccumulator::Result() const {
    Box box;
    std::copy(std::begin(min_), std::end(min_), std::begin(box.min));
    std::copy(std::begin(max_), std::end(max_), std::begin(box.max));
    return ExtentsOf(box);
}

struct DxfEntityFormatter::Parts {
    DxfEmitter emitter{&FlushToString, nullptr};
    EntityWriter writer{emitter};
};

DxfEntityFormatter::DxfEntityFormatter() : parts_(std::make_unique<Parts>()) {}
DxfEntityFormatter::~DxfEntityFormatter() = default;

void DxfEntityFormatter::Append(const std::vector<Entity>& entities, std::string& text) {
    parts_->emitter.SetTarget(&text);
    for (const Entity& entity : entities) parts_->writer.Write(entity);
    parts_->emitter.Finish();
    parts_->emitter.SetTarget(nullptr);
}

void WriteDxf(const Drawing& drawing, std::ostream& out) {
    DxfEmitter emitter(&FlushToStream, &out);
    DxfFileWriter(emitter).Write(drawing);
}

namespace {

struct SinkTarget {
    const std::function<bool(std::string_view)>* sink;
    bool ok = true;
};

void FlushToSink(void* target, const char* data, std::size_t size) {
    auto* t = static_cast<SinkTarget*>(target);
    if (t->ok) t->ok = (*t->sink)(std::string_view(data, size));
}

}  // namespace

bool WriteDxf(const Drawing& drawing, const std::function<bool(std::string_view)>& sink) {
    SinkTarget target{&sink};
    {
        DxfEmitter emitter(&FlushToSink, &target);
        DxfFileWriter(emitter).Write(drawing);
    }
    return target.ok;
}

bool WriteDxfHead(const std::vector<Layer>& layers, const Extents& extents,
                  const std::function<bool(std::string_view)>& sink) {
    static const std::vector<Entity> kNoEntities;
    static const std::vector<Block> kNoBlocks;
    SinkTarget target{&sink};
    {
        DxfEmitter emitter(&FlushToSink, &target);
        DxfFileWriter(emitter).WriteHead(TableLayers(layers, kNoEntities, kNoBlocks), kNoBlocks,
                                         extents);
    }
    return target.ok;
}

std::string_view DxfTail() {
    return kDxfTail;
}

std::string DxfText(const Drawing& drawing) {
    std::string text;
    text.reserve(EstimatedSize(drawing));
    {
        DxfEmitter emitter(&FlushToString, &text);
        DxfFileWriter(emitter).Write(drawing);
    }
    return text;
}

std::string DxfRealText(double value) {
    char text[kMaxRealText];
    char* end = PutReal(text, value);
    return std::string(text, end - 1);  // without the line end
}

}  // namespace retracer
