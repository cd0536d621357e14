#include "drawing/display_drawing.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "drawing/display_dxf_reader.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"
#include "base/atomic_file.h"

namespace retracer {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
// Inserts nest blocks; a block that (through others) inserts itself stops here.
constexpr int kMaxBlockDepth = 16;

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Upper(x) == Upper(y); });
}

std::string UpperName(std::string_view name) {
    std::string out(name);
    for (char& c : out) c = Upper(c);
    return out;
}

// Every angle where a circle reaches its box (0, 90, 180, 270) that lies on the arc from
// `start` sweeping `sweep` degrees (either way) widens the box.
void AddArcBox(Box2& box, double cx, double cy, double r, double start, double sweep) {
    const double a0 = start * kDegree;
    const double a1 = (start + sweep) * kDegree;
    box.Add(cx + r * std::cos(a0), cy + r * std::sin(a0));
    box.Add(cx + r * std::cos(a1), cy + r * std::sin(a1));
    const double lo = std::min(start, start + sweep);
    const double hi = std::max(start, start + sweep);
    for (double q = std::ceil(lo / 90.0) * 90.0; q <= hi; q += 90.0) {
        const int quarter = static_cast<int>(std::lround(q / 90.0)) & 3;
        static constexpr double kCos[] = {1, 0, -1, 0};
        static constexpr double kSin[] = {0, 1, 0, -1};
        box.Add(cx + r * kCos[quarter], cy + r * kSin[quarter]);
    }
}

// Arc angles of the DXF: counter-clockwise from start to end, a full turn when they are equal.
double ArcSweep(double start, double end) {
    double sweep = std::fmod(end - start, 360.0);
    if (sweep <= 0) sweep += 360.0;
    return sweep;
}

void Rotate(double& x, double& y, double cosA, double sinA) {
    const double rx = x * cosA - y * sinA;
    const double ry = x * sinA + y * cosA;
    x = rx;
    y = ry;
}

// A text's box is estimated from its height: letters about 0.7 of the height wide, lines
// stacked one height and two thirds apart, rotated with the text.
Box2 TextBox(double x, double y, double height, double rotation, const std::string& text) {
    std::size_t lines = 1;
    std::size_t longest = 0;
    std::size_t current = 0;
    for (char c : text) {
        if (c == '\n') {
            ++lines;
            current = 0;
            continue;
        }
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++current;  // count code points
        longest = std::max(longest, current);
    }
    const double width = 0.7 * height * static_cast<double>(longest);
    const double top = height;
    const double bottom = -(static_cast<double>(lines) - 1) * height * 5.0 / 3.0;
    const double c = std::cos(rotation * kDegree);
    const double s = std::sin(rotation * kDegree);
    Box2 box;
    for (const auto& [px, py] : {std::pair{0.0, bottom}, std::pair{width, bottom},
                                 std::pair{0.0, top}, std::pair{width, top}}) {
        double u = px;
        double v = py;
        Rotate(u, v, c, s);
        box.Add(x + u, y + v);
    }
    return box;
}

}  // namespace

void Box2::Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (empty) {
        minX = maxX = x;
        minY = maxY = y;
        empty = false;
        return;
    }
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
}

void Box2::Add(const Box2& other) {
    if (other.empty) return;
    Add(other.minX, other.minY);
    Add(other.maxX, other.maxY);
}

BulgeArc ArcOfBulge(double x1, double y1, double x2, double y2, double bulge) {
    BulgeArc arc;
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double chord = std::hypot(dx, dy);
    const double included = 4.0 * std::atan(bulge);  // signed, radians
    arc.radius = chord / (2.0 * std::sin(std::fabs(included) / 2.0));
    // The centre lies on the chord's perpendicular bisector, on the left for a counter-clockwise
    // arc of less than half a turn; the sagitta's sign says which way.
    const double mx = (x1 + x2) / 2.0;
    const double my = (y1 + y2) / 2.0;
    const double toCentre = chord * (1.0 - bulge * bulge) / (4.0 * bulge);
    arc.cx = mx - dy / chord * toCentre;
    arc.cy = my + dx / chord * toCentre;
    arc.startAngle = std::atan2(y1 - arc.cy, x1 - arc.cx) / kDegree;
    arc.sweep = included / kDegree;
    return arc;
}

std::uint32_t DxfColourRgb(int index) {
    static constexpr std::uint32_t kFirst[10] = {0xFFFFFF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF,
                                                 0x0000FF, 0xFF00FF, 0xFFFFFF, 0x808080, 0xC0C0C0};
    static constexpr std::uint32_t kGreys[6] = {0x333333, 0x505050, 0x696969,
                                                0x828282, 0xBEBEBE, 0xFFFFFF};
    if (index < 1 || index > 255) return kFirst[7];
    if (index < 10) return kFirst[index];
    if (index >= 250) return kGreys[index - 250];
    // 10..249: 24 hues 15 degrees apart; in each group of ten, five brightness steps, each full
    // and half saturated.
    static constexpr double kValue[5] = {1.0, 0.8, 0.6, 0.5, 0.3};
    const double hue = (index / 10 - 1) * 15.0;
    const double value = kValue[(index % 10) / 2] * 255.0;
    const double saturation = index % 2 == 0 ? 1.0 : 0.5;
    const int sector = static_cast<int>(hue / 60.0);
    const double f = hue / 60.0 - sector;
    const double p = value * (1 - saturation);
    const double q = value * (1 - saturation * f);
    const double t = value * (1 - saturation * (1 - f));
    double r = value;
    double g = t;
    double b = p;
    switch (sector) {
        case 1:
            r = q;
            g = value;
            b = p;
            break;
        case 2:
            r = p;
            g = value;
            b = t;
            break;
        case 3:
            r = p;
            g = q;
            b = value;
            break;
        case 4:
            r = t;
            g = p;
            b = value;
            break;
        case 5:
            r = value;
            g = p;
            b = q;
            break;
        default:
            break;
    }
    const auto byte = [](double v) {
        return static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0));
    };
    return byte(r) << 16 | byte(g) << 8 | byte(b);
}

void DisplayDrawing::Clear() {
    layers.clear();
    blocks.clear();
    entities.clear();
    values.clear();
    texts.clear();
}

int DisplayDrawing::LayerIndex(std::string_view name) const {
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (layers[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

std::uint32_t DisplayDrawing::LayerFor(const std::string& name) {
    // Drawings have few layers and many entities in runs on one layer: the last hit first.
    static_assert(sizeof(std::uint32_t) <= sizeof(std::size_t));
    for (std::size_t i = layers.size(); i-- > 0;) {
        if (layers[i].name == name) return static_cast<std::uint32_t>(i);
    }
    layers.push_back(DisplayLayer{name, 7, true});
    return static_cast<std::uint32_t>(layers.size() - 1);
}

DisplayEntity DisplayDrawing::Convert(const Entity& entity, double dx, double dy) {
    DisplayEntity out;
    out.colour = static_cast<std::int16_t>(std::clamp(entity.colour, -256, 256));
    out.first = values.size();
    const auto point = [&](const Point3& p) {
        values.push_back(p.x + dx);
        values.push_back(p.y + dy);
        values.push_back(p.z);
    };
    std::visit(
        [&](const auto& g) {
            using T = std::decay_t<decltype(g)>;
            if constexpr (std::is_same_v<T, LineEntity>) {
                out.kind = DisplayKind::kLine;
                point(g.start);
                point(g.end);
            } else if constexpr (std::is_same_v<T, CircleEntity>) {
                out.kind = DisplayKind::kCircle;
                point(g.centre);
                values.push_back(g.radius);
            } else if constexpr (std::is_same_v<T, ArcEntity>) {
                out.kind = DisplayKind::kArc;
                point(g.centre);
                values.insert(values.end(), {g.radius, g.startAngle, g.endAngle});
            } else if constexpr (std::is_same_v<T, TextEntity>) {
                out.kind = DisplayKind::kText;
                point(g.position);
                values.insert(values.end(), {g.height, g.rotation});
                out.aux = static_cast<std::uint32_t>(texts.size());
                texts.push_back(g.text);
            } else if constexpr (std::is_same_v<T, SolidEntity>) {
                out.kind = DisplayKind::kSolid;
                for (const Point3& c : g.corners) point(c);
            } else if constexpr (std::is_same_v<T, PolylineEntity>) {
                out.kind = DisplayKind::kPolyline;
                out.closed = g.closed;
                out.count = static_cast<std::uint32_t>(g.vertices.size());
                for (const PolylineVertex& v : g.vertices)
                    values.insert(values.end(), {v.x + dx, v.y + dy, v.z, v.bulge});
            } else if constexpr (std::is_same_v<T, PointEntity>) {
                out.kind = DisplayKind::kPoint;
                point(g.position);
            } else {
                out.kind = DisplayKind::kInsert;
                point(g.position);
                values.insert(values.end(), {g.scaleX, g.scaleY, g.rotation});
                // An insert of a block the file does not define points past the table and draws
                // nothing.
                out.aux = kNoBlock;
                for (std::size_t b = 0; b < blocks.size(); ++b) {
                    if (SameNameIgnoringCase(blocks[b].name, g.block)) {
                        out.aux = static_cast<std::uint32_t>(b);
                        break;
                    }
                }
            }
        },
        entity.geometry);
    return out;
}

void DisplayDrawing::Assign(const Drawing& drawing) {
    Clear();
    Append(drawing, 0, 0);
}

void DisplayDrawing::Append(const Drawing& drawing, double dx, double dy) {
    for (const Layer& layer : drawing.layers) {
        if (LayerIndex(layer.name) < 0)
            layers.push_back(DisplayLayer{layer.name, layer.colour, true});
    }
    // Blocks first, so inserts find them; a name already defined keeps its definition.
    std::vector<const Block*> fresh;
    for (const Block& block : drawing.blocks) {
        const auto known = std::find_if(blocks.begin(), blocks.end(), [&](const DisplayBlock& b) {
            return SameNameIgnoringCase(b.name, block.name);
        });
        if (known != blocks.end()) continue;
        DisplayBlock added;
        added.name = block.name;
        added.baseX = block.base.x;
        added.baseY = block.base.y;
        added.baseZ = block.base.z;
        blocks.push_back(std::move(added));
        fresh.push_back(&block);
    }
    for (const Block* block : fresh) {
        const auto index = static_cast<std::size_t>(
            std::find_if(blocks.begin(), blocks.end(),
                         [&](const DisplayBlock& b) { return b.name == block->name; }) -
            blocks.begin());
        std::vector<DisplayEntity> converted;
        converted.reserve(block->entities.size());
        for (const Entity& e : block->entities) {
            DisplayEntity d = Convert(e, 0, 0);
            d.layer = LayerFor(e.layer);
            converted.push_back(d);
        }
        blocks[index].entities = std::move(converted);
    }
    entities.reserve(entities.size() + drawing.entities.size());
    std::string lastLayer;
    std::uint32_t lastIndex = 0;
    bool haveLast = false;
    for (const Entity& e : drawing.entities) {
        DisplayEntity d = Convert(e, dx, dy);
        if (!haveLast || e.layer != lastLayer) {
            lastIndex = LayerFor(e.layer);
            lastLayer = e.layer;
            haveLast = true;
        }
        d.layer = lastIndex;
        entities.push_back(d);
    }
}

Entity DisplayDrawing::Back(const DisplayEntity& e) const {
    Entity out;
    out.layer = e.layer < layers.size() ? layers[e.layer].name : "0";
    out.colour = e.colour;
    const double* v = values.data() + e.first;
    const auto point = [](const double* p) { return Point3{p[0], p[1], p[2]}; };
    switch (e.kind) {
        case DisplayKind::kLine:
            out.geometry = LineEntity{point(v), point(v + 3)};
            break;
        case DisplayKind::kCircle:
            out.geometry = CircleEntity{point(v), v[3]};
            break;
        case DisplayKind::kArc:
            out.geometry = ArcEntity{point(v), v[3], v[4], v[5]};
            break;
        case DisplayKind::kText:
            out.geometry = TextEntity{point(v), v[3], v[4], texts[e.aux]};
            break;
        case DisplayKind::kSolid:
            out.geometry = SolidEntity{{point(v), point(v + 3), point(v + 6), point(v + 9)}};
            break;
        case DisplayKind::kPolyline: {
            PolylineEntity p;
            p.closed = e.closed;
            p.vertices.reserve(e.count);
            for (std::uint32_t i = 0; i < e.count; ++i, v += 4)
                p.vertices.push_back(PolylineVertex{v[0], v[1], v[2], v[3]});
            out.geometry = std::move(p);
            break;
        }
        case DisplayKind::kPoint:
            out.geometry = PointEntity{point(v)};
            break;
        case DisplayKind::kInsert:
            out.geometry = InsertEntity{e.aux < blocks.size() ? blocks[e.aux].name : std::string(),
                                        point(v), v[3], v[4], v[5]};
            break;
    }
    return out;
}

Drawing DisplayDrawing::ToDrawing() const {
    Drawing out;
    out.layers.reserve(layers.size());
    for (const DisplayLayer& l : layers) out.layers.push_back(Layer{l.name, l.colour});
    for (const DisplayBlock& b : blocks) {
        Block block{b.name, Point3{b.baseX, b.baseY, b.baseZ}, {}};
        block.entities.reserve(b.entities.size());
        for (const DisplayEntity& e : b.entities) block.entities.push_back(Back(e));
        out.blocks.push_back(std::move(block));
    }
    out.entities.reserve(entities.size());
    for (const DisplayEntity& e : entities) {
        if (e.kind == DisplayKind::kInsert && e.aux >= blocks.size()) continue;
        out.entities.push_back(Back(e));
    }
    return out;
}

bool DisplayDrawing::Read(const std::filesystem::path& file, ReadMode mode, double dx, double dy,
                          std::string& error) {
    DisplayDrawing quick;
    if (QuickReadDxf(file, quick) == QuickReadResult::kRead) {
        if (mode == ReadMode::kReplace) {
            *this = std::move(quick);
        } else {
            Append(quick.ToDrawing(), dx, dy);
        }
        return true;
    }
    Drawing read;
    if (!ReadDxf(file, read, error)) return false;
    if (mode == ReadMode::kReplace) {
        Clear();
        dx = dy = 0;
    }
    Append(read, dx, dy);
    return true;
}

bool DisplayDrawing::Save(const std::filesystem::path& file, std::string& error) const {
    const Drawing drawing = ToDrawing();
    return WriteFileAtomically(
        file, [&](const ContentSink& sink) { return WriteDxf(drawing, sink); }, &error);
}

bool DisplayDrawing::Transform(const DisplayTransform& t) {
    if (!(t.scale > 0) || !std::isfinite(t.scale) || !std::isfinite(t.rotation) ||
        !std::isfinite(t.dx) || !std::isfinite(t.dy)) {
        return false;
    }
    const double c = std::cos(t.rotation * kDegree);
    const double s = std::sin(t.rotation * kDegree);
    const auto move = [&](double* p) {
        double x = p[0] * t.scale;
        double y = p[1] * t.scale;
        Rotate(x, y, c, s);
        p[0] = x + t.dx;
        p[1] = y + t.dy;
    };
    for (const DisplayEntity& e : entities) {
        double* v = values.data() + e.first;
        switch (e.kind) {
            case DisplayKind::kLine:
                move(v);
                move(v + 3);
                break;
            case DisplayKind::kCircle:
                move(v);
                v[3] *= t.scale;
                break;
            case DisplayKind::kArc:
                move(v);
                v[3] *= t.scale;
                v[4] += t.rotation;
                v[5] += t.rotation;
                break;
            case DisplayKind::kText:
                move(v);
                v[3] *= t.scale;
                v[4] += t.rotation;
                break;
            case DisplayKind::kSolid:
                for (int i = 0; i < 4; ++i) move(v + 3 * i);
                break;
            case DisplayKind::kPolyline:
                for (std::uint32_t i = 0; i < e.count; ++i) move(v + 4 * i);
                break;
            case DisplayKind::kPoint:
                move(v);
                break;
            case DisplayKind::kInsert:
                move(v);
                v[3] *= t.scale;
                v[4] *= t.scale;
                v[5] += t.rotation;
                break;
        }
    }
    return true;
}

Box2 DisplayDrawing::BoxOf(const DisplayEntity& e, int depth) const {
    Box2 box;
    const double* v = values.data() + e.first;
    switch (e.kind) {
        case DisplayKind::kLine:
            box.Add(v[0], v[1]);
            box.Add(v[3], v[4]);
            break;
        case DisplayKind::kCircle:
            box.Add(v[0] - v[3], v[1] - v[3]);
            box.Add(v[0] + v[3], v[1] + v[3]);
            break;
        case DisplayKind::kArc:
            AddArcBox(box, v[0], v[1], v[3], v[4], ArcSweep(v[4], v[5]));
            break;
        case DisplayKind::kText:
            box = TextBox(v[0], v[1], v[3], v[4], texts[e.aux]);
            break;
        case DisplayKind::kSolid:
            for (int i = 0; i < 4; ++i) box.Add(v[3 * i], v[3 * i + 1]);
            break;
        case DisplayKind::kPolyline:
            for (std::uint32_t i = 0; i < e.count; ++i) {
                const double* p = v + 4 * i;
                box.Add(p[0], p[1]);
                const bool last = i + 1 == e.count;
                if (p[3] == 0 || (last && !e.closed)) continue;
                const double* q = last ? v : p + 4;
                if (p[0] == q[0] && p[1] == q[1]) continue;
                const BulgeArc arc = ArcOfBulge(p[0], p[1], q[0], q[1], p[3]);
                AddArcBox(box, arc.cx, arc.cy, arc.radius, arc.startAngle, arc.sweep);
            }
            break;
        case DisplayKind::kPoint:
            box.Add(v[0], v[1]);
            break;
        case DisplayKind::kInsert: {
            if (e.aux >= blocks.size() || depth >= kMaxBlockDepth) break;
            const DisplayBlock& block = blocks[e.aux];
            Box2 inner;
            for (const DisplayEntity& b : block.entities) inner.Add(BoxOf(b, depth + 1));
            if (inner.empty) break;
            const double c = std::cos(v[5] * kDegree);
            const double s = std::sin(v[5] * kDegree);
            for (const auto& [x, y] :
                 {std::pair{inner.minX, inner.minY}, std::pair{inner.maxX, inner.minY},
                  std::pair{inner.minX, inner.maxY}, std::pair{inner.maxX, inner.maxY}}) {
                double u = (x - block.baseX) * v[3];
                double w = (y - block.baseY) * v[4];
                Rotate(u, w, c, s);
                box.Add(v[0] + u, v[1] + w);
            }
            break;
        }
    }
    return box;
}

Box2 DisplayDrawing::EntityBox(const DisplayEntity& e) const {
    return BoxOf(e, 0);
}

Box2 DisplayDrawing::Extents() const {
    Box2 box;
    for (const DisplayEntity& e : entities) box.Add(BoxOf(e, 0));
    return box;
}

std::vector<std::string> DisplayDrawing::LayerNames() const {
    std::vector<std::string> names;
    for (const DisplayLayer& l : layers) {
        if (std::find(names.begin(), names.end(), l.name) == names.end()) names.push_back(l.name);
    }
    return names;
}

int DisplayDrawing::FindLayer(std::string_view word) const {
    const std::string wanted = UpperName(word);
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (UpperName(layers[i].name) == wanted) return static_cast<int>(i + 1);
    }
    return 0;
}

bool DisplayDrawing::RenameLayer(int layer, std::string_view newName) {
    if (layer < 1 || layer > static_cast<int>(layers.size()) || newName.empty()) return false;
    const auto index = static_cast<std::uint32_t>(layer - 1);
    const int existing = LayerIndex(newName);
    if (existing < 0 || static_cast<std::uint32_t>(existing) == index) {
        layers[index].name = std::string(newName);
        return true;
    }
    // Merge into the layer of that name, then close the gap the renamed one leaves.
    const auto target = static_cast<std::uint32_t>(existing);
    const auto remap = [&](std::vector<DisplayEntity>& list) {
        for (DisplayEntity& e : list) {
            if (e.layer == index) e.layer = target;
            if (e.layer > index) --e.layer;
        }
    };
    remap(entities);
    for (DisplayBlock& b : blocks) remap(b.entities);
    layers.erase(layers.begin() + index);
    return true;
}

std::size_t DisplayDrawing::VertexCount() const {
    std::size_t n = 0;
    for (const DisplayEntity& e : entities) {
        switch (e.kind) {
            case DisplayKind::kLine:
                n += 2;
                break;
            case DisplayKind::kSolid:
                n += 4;
                break;
            case DisplayKind::kPolyline:
                n += e.count;
                break;
            default:
                n += 1;
                break;
        }
    }
    return n;
}

std::size_t DisplayDrawing::MemoryBytes() const {
    // What is in use: capacity reserved beyond it is never touched and costs no memory.
    std::size_t bytes = entities.size() * sizeof(DisplayEntity) + values.size() * sizeof(double) +
                        texts.size() * sizeof(std::string) + layers.size() * sizeof(DisplayLayer);
    for (const std::string& t : texts) bytes += t.size() > 15 ? t.capacity() + 1 : 0;
    for (const DisplayBlock& b : blocks) bytes += b.entities.size() * sizeof(DisplayEntity);
    return bytes;
}

}  // namespace retracer
