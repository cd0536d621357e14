#include "drawing/display_dxf_reader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace retracer {
namespace {

// The file in pieces of a mebibyte, cut into lines; a line stays valid until the next call.
class LineStream {
  public:
    explicit LineStream(std::FILE* file) : file_(file), buffer_(1 << 20) {}

    bool Next(std::string_view& line) {
        for (;;) {
            const char* from = buffer_.data() + begin_;
            const void* lf = std::memchr(from, '\n', end_ - begin_);
            if (lf != nullptr) {
                const auto length = static_cast<std::size_t>(static_cast<const char*>(lf) - from);
                line = std::string_view(from, length);
                begin_ += length + 1;
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                return true;
            }
            if (eof_) {
                if (begin_ == end_) return false;
                line = std::string_view(from, end_ - begin_);
                begin_ = end_;
                if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
                return true;
            }
            Refill();
        }
    }

    bool failed() const { return failed_; }

  private:
    void Refill() {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);  // a very long line
        const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
        end_ += got;
        if (got == 0) {
            eof_ = true;
            failed_ = std::ferror(file_) != 0;
        }
    }

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool PlainAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return upper(x) == upper(y); });
}

// One record's groups: numbers by code, the few integers and strings the kinds need.
struct Record {
    std::string type;
    std::string layer;
    std::string text;  // group 1, as written
    std::string name;  // group 2
    bool hasLayer = false;
    bool hasText = false;
    bool hasColour = false;
    int colour = 256;
    double number[50] = {};  // codes 10..59
    std::uint64_t present = 0;
    int flags = 0;         // 70
    int follows = 0;       // 66
    int paperSpace = 0;    // 67
    bool unusual = false;  // a group ReadDxf would read differently

    void Reset(std::string_view recordType) {
        type.assign(recordType);
        layer.clear();
        text.clear();
        name.clear();
        hasLayer = hasText = hasColour = false;
        colour = 256;
        present = 0;
        flags = follows = paperSpace = 0;
        unusual = false;
    }
    bool Has(int code) const { return (present >> (code - 10)) & 1; }
    double Get(int code, double fallback = 0) const {
        return Has(code) ? number[code - 10] : fallback;
    }
};

bool ParseInt(std::string_view text, int& value) {
    text = Trim(text);
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParseReal(std::string_view text, double& value) {
    text = Trim(text);
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && r.ec == std::errc() && r.ptr == text.data() + text.size() &&
           std::isfinite(value);
}

class QuickReader {
  public:
    QuickReader(DisplayDrawing& out, std::uintmax_t fileBytes) : out_(out) {
        // Generous guesses, so the arrays never move while they fill; pages never written cost
        // no memory.
        out_.entities.reserve(static_cast<std::size_t>(fileBytes / 48));
        out_.values.reserve(static_cast<std::size_t>(fileBytes / 5));
    }

    bool Run(LineStream& lines) {
        std::string_view codeLine;
        std::string_view value;
        bool first = true;
        bool open = false;  // a record is being gathered
        while (lines.Next(codeLine)) {
            int code = 0;
            if (!ParseInt(codeLine, code) || code < 0 || code > 1071) return false;
            if (!lines.Next(value)) return false;
            // NUL: binary; CR inside a line: a line end to the full reader, which then pairs
            // codes and values differently.
            if (value.find_first_of(std::string_view("\0\r", 2)) != std::string_view::npos) {
                return false;
            }
            if (code == 999) continue;
            if (first) {
                if (code != 0 || Trim(value) != "SECTION") return false;
                first = false;
            }
            if (code == 0) {
                if (open && !Finish()) return false;
                const std::string_view type = Trim(value);
                if (type == "EOF") return !polylineOpen_ && block_ < 0 && Resolve();
                record_.Reset(type);
                open = true;
                continue;
            }
            if (open && !Group(code, value)) return false;
        }
        return false;  // no EOF: cut short
    }

  private:
    bool Group(int code, std::string_view value) {
        Record& r = record_;
        if (code >= 10 && code <= 59) {
            double v = 0;
            if (r.Has(code) || !ParseReal(value, v)) return Skippable();
            r.number[code - 10] = v;
            r.present |= std::uint64_t{1} << (code - 10);
            return true;
        }
        switch (code) {
            case 1:
                if (r.hasText) return Skippable();
                r.text.assign(value);
                r.hasText = true;
                return true;
            case 2:
                // A section's name is its first; header variables after it use code 2 too.
                if (r.name.empty()) r.name.assign(Trim(value));
                return true;
            case 8:
                r.layer.assign(Trim(value));
                r.hasLayer = true;
                return true;
            case 62:
                r.hasColour = true;
                return ParseInt(value, r.colour) || Skippable();
            case 66:
                return ParseInt(value, r.follows) || Skippable();
            case 67:
                return ParseInt(value, r.paperSpace) || Skippable();
            case 70:
                return ParseInt(value, r.flags) || Skippable();
            case 71:
            case 72:
            case 73: {
                int v = 0;
                if (!ParseInt(value, v)) return Skippable();
                if (v != 0 && Geometric())
                    r.unusual = true;  // mirrored or aligned text, MINSERT rows
                return true;
            }
            case 210:
            case 220:
            case 230: {
                double v = 0;
                if (!ParseReal(value, v)) return Skippable();
                if (v != (code == 230 ? 1.0 : 0.0) && Geometric())
                    r.unusual = true;  // tilted plane
                return true;
            }
            default:
                return true;  // handles, styles, line types, subclass markers: not drawn
        }
    }

    // Records whose values are only passed over (header, other tables) may hold anything.
    bool Geometric() const { return section_ == "ENTITIES" || section_ == "BLOCKS"; }
    bool Skippable() {
        if (Geometric() || record_.type == "LAYER") record_.unusual = true;
        return true;
    }

    bool Finish() {
        Record& r = record_;
        if (r.type == "SECTION") {
            section_ = r.name;
            return true;
        }
        if (r.type == "ENDSEC") {
            section_.clear();
            return !polylineOpen_;
        }
        if (section_ == "TABLES") return r.type != "LAYER" || AddTableLayer();
        if (section_ == "BLOCKS") {
            if (r.type == "BLOCK") return BeginBlock();
            if (r.type == "ENDBLK") {
                if (polylineOpen_) return false;
                block_ = -1;
                skipBlock_ = false;
                return true;
            }
            if (block_ < 0 && !skipBlock_) return false;  // an entity outside any block
            return skipBlock_ ? true : Entity();
        }
        if (section_ == "ENTITIES") {
            if (r.paperSpace == 1 && r.type != "VERTEX" && r.type != "SEQEND") {
                if (polylineOpen_) return false;
                return r.type !=
                       "POLYLINE";  // a paper-space polyline would need its vertices skipped
            }
            return Entity();
        }
        return true;
    }

    bool AddTableLayer() {
        const Record& r = record_;
        if (r.unusual || sawEntity_ || !PlainAscii(r.name) || !r.hasColour || r.colour < 0)
            return false;
        if (layerIndex_.count(r.name) == 0) {
            layerIndex_.emplace(r.name, static_cast<std::uint32_t>(out_.layers.size()));
            out_.layers.push_back(DisplayLayer{r.name, r.colour == 256 ? 7 : r.colour, true});
        }
        return true;
    }

    bool BeginBlock() {
        const Record& r = record_;
        if (r.unusual || r.name.empty() || r.name.front() == '*' || !PlainAscii(r.name) ||
            block_ >= 0)
            return false;
        const bool known = std::any_of(
            out_.blocks.begin(), out_.blocks.end(),
            [&](const DisplayBlock& b) { return SameNameIgnoringCase(b.name, r.name); });
        if (known) {  // the first definition of a name stands
            skipBlock_ = true;
            return true;
        }
        DisplayBlock block;
        block.name = r.name;
        block.baseX = r.Get(10);
        block.baseY = r.Get(20);
        block.baseZ = r.Get(30);
        out_.blocks.push_back(std::move(block));
        block_ = static_cast<int>(out_.blocks.size() - 1);
        return true;
    }

    std::uint32_t Layer(const std::string& name) {
        if (name == lastLayerName_) return lastLayer_;
        auto found = layerIndex_.find(name);
        if (found == layerIndex_.end()) {
            found = layerIndex_.emplace(name, static_cast<std::uint32_t>(out_.layers.size())).first;
            out_.layers.push_back(DisplayLayer{name, 7, true});
        }
        lastLayerName_ = name;
        lastLayer_ = found->second;
        return lastLayer_;
    }

    std::vector<DisplayEntity>& Target() {
        return block_ >= 0 ? out_.blocks[static_cast<std::size_t>(block_)].entities : out_.entities;
    }

    void Point(int code) {
        const Record& r = record_;
        out_.values.insert(out_.values.end(), {r.Get(code), r.Get(code + 10), r.Get(code + 20)});
    }

    bool Entity() {
        Record& r = record_;
        sawEntity_ = true;
        const std::string& t = r.type;
        const bool wanted = t == "LINE" || t == "CIRCLE" || t == "ARC" || t == "TEXT" ||
                            t == "SOLID" || t == "TRACE" || t == "POLYLINE" || t == "VERTEX" ||
                            t == "SEQEND" || t == "POINT" || t == "INSERT";
        if (!wanted) {
            // Kinds ReadDxf leaves out are left out here too; those it reads its own way are not.
            static constexpr std::string_view kFullReaderOnly[] = {"MTEXT", "LWPOLYLINE", "ELLIPSE",
                                                                   "SPLINE"};
            for (std::string_view k : kFullReaderOnly)
                if (t == k) return false;
            return !polylineOpen_ || t == "ATTRIB";
        }
        if (r.unusual ||
            (t != "SEQEND" && t != "VERTEX" && (!r.hasLayer || !PlainAscii(r.layer))) ||
            r.colour < 0 || r.colour > 256) {
            return false;
        }
        if (t == "VERTEX") {
            if (!polylineOpen_ || (r.flags != 0 && r.flags != 32)) return false;
            out_.values.insert(out_.values.end(), {r.Get(10), r.Get(20), r.Get(30), r.Get(42)});
            ++pending_.count;
            return true;
        }
        if (t == "SEQEND") {
            if (!polylineOpen_) return true;  // the end of an insert's attributes
            polylineOpen_ = false;
            if (pending_.count == 0) return false;
            Target().push_back(pending_);
            return true;
        }
        if (polylineOpen_) return false;

        DisplayEntity e;
        e.colour = static_cast<std::int16_t>(r.colour);
        e.layer = Layer(r.layer);
        e.first = out_.values.size();
        if (t == "LINE") {
            e.kind = DisplayKind::kLine;
            Point(10);
            Point(11);
        } else if ((t == "CIRCLE" || t == "ARC" || t == "TEXT") && !r.Has(40)) {
            return false;  // left to ReadDxf's defaults
        } else if (t == "CIRCLE") {
            e.kind = DisplayKind::kCircle;
            Point(10);
            out_.values.push_back(r.Get(40));
        } else if (t == "ARC") {
            e.kind = DisplayKind::kArc;
            Point(10);
            out_.values.insert(out_.values.end(), {r.Get(40), r.Get(50), r.Get(51)});
        } else if (t == "TEXT") {
            const std::string_view text = r.text;
            if (r.Has(11) || r.Has(21) || !PlainAscii(text) || text.find('\\') != text.npos ||
                text.find('^') != text.npos || text.find("%%") != text.npos) {
                return false;
            }
            e.kind = DisplayKind::kText;
            Point(10);
            out_.values.insert(out_.values.end(), {r.Get(40), r.Get(50)});
            e.aux = static_cast<std::uint32_t>(out_.texts.size());
            out_.texts.push_back(r.text);
        } else if (t == "SOLID" || t == "TRACE") {
            e.kind = DisplayKind::kSolid;
            for (int c = 10; c <= 13; ++c) Point(c);
        } else if (t == "POINT") {
            e.kind = DisplayKind::kPoint;
            Point(10);
        } else if (t == "INSERT") {
            if (!PlainAscii(r.name) || r.name.empty()) return false;
            e.kind = DisplayKind::kInsert;
            Point(10);
            out_.values.insert(out_.values.end(), {r.Get(41, 1), r.Get(42, 1), r.Get(50)});
            e.aux = kNoBlock;
            inserts_.push_back({block_, Target().size(), r.name});
        } else {  // POLYLINE: vertices follow
            // Only plain and 3D polylines; fitted curves, meshes and elevations are ReadDxf's.
            if ((r.flags & ~(1 | 8 | 128)) != 0 || r.Get(30) != 0) return false;
            pending_ = DisplayEntity{};
            pending_.kind = DisplayKind::kPolyline;
            pending_.closed = (r.flags & 1) != 0;
            pending_.colour = e.colour;
            pending_.layer = e.layer;
            pending_.first = out_.values.size();
            polylineOpen_ = true;
            return true;
        }
        Target().push_back(e);
        return true;
    }

    // Inserts name their blocks; any block of the file may be meant, so names are resolved last.
    bool Resolve() {
        for (const PendingInsert& p : inserts_) {
            auto& list = p.block >= 0 ? out_.blocks[static_cast<std::size_t>(p.block)].entities
                                      : out_.entities;
            for (std::size_t b = 0; b < out_.blocks.size(); ++b) {
                if (SameNameIgnoringCase(out_.blocks[b].name, p.name)) {
                    list[p.index].aux = static_cast<std::uint32_t>(b);
                    break;
                }
            }
        }
        return true;
    }

    struct PendingInsert {
        int block;
        std::size_t index;
        std::string name;
    };

    DisplayDrawing& out_;
    Record record_;
    std::string section_;
    int block_ = -1;
    bool skipBlock_ = false;
    bool sawEntity_ = false;
    bool polylineOpen_ = false;
    DisplayEntity pending_;
    std::unordered_map<std::string, std::uint32_t> layerIndex_;
    std::string lastLayerName_ = std::string(1, '\0');
    std::uint32_t lastLayer_ = 0;
    std::vector<PendingInsert> inserts_;
};

}  // namespace

QuickReadResult QuickReadDxf(const std::filesystem::path& file, DisplayDrawing& drawing) {
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(file, ec);
    if (ec || bytes == 0) return QuickReadResult::kNeedsFullReader;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> handle(std::fopen(file.c_str(), "rb"),
                                                                 &std::fclose);
    if (handle == nullptr) return QuickReadResult::kNeedsFullReader;
    LineStream lines(handle.get());
    DisplayDrawing read;
    QuickReader reader(read, bytes);
    if (!reader.Run(lines) || lines.failed()) return QuickReadResult::kNeedsFullReader;
    drawing = std::move(read);
    return QuickReadResult::kRead;
}

}  // namespace retracer
