#include "drawing/drawing_writer.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "base/atomic_file.h"
#include "base/file_lookup.h"
#include "base/value_text.h"
#include "drawing/dxf_writer.h"
#include "drawing/finite_geometry.h"

namespace fs = std::filesystem;

namespace retracer {
namespace {

std::string Quoted(const fs::path& path) {
    return "\"" + PathText(path) + "\"";
}

// Floats of at most 24 bits of integer part that are whole numbers are their own shortest text.
constexpr float kExactWholeFloats = 16777216.0f;

// A double that holds a float's exact value is taken as that float.
double FromSingleIfExact(double value) {
    const auto single = static_cast<float>(value);
    return static_cast<double>(single) == value ? FromSingle(single) : value;
}

// Why `file` cannot be created or replaced, or an empty text when it can. Creates and removes a
// probe file beside the target: the rename that replaces the target needs exactly that right.
std::string WhyNotWritable(const fs::path& file) {
    if (file.empty() || !file.has_filename()) return "it is not a file name";
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code ec;
    const fs::file_status folderStatus = fs::status(folder, ec);
    if (!fs::exists(folderStatus)) return "the folder " + Quoted(folder) + " does not exist";
    if (!fs::is_directory(folderStatus)) return Quoted(folder) + " is not a folder";

    const fs::file_status status = fs::status(file, ec);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) return "it is a folder";
        if (!fs::is_regular_file(status)) return "it is not a regular file";
        // A file marked read-only is not to be replaced, even by a user the system would let.
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none)
            return "the file is read-only";
        // Opening for appending changes nothing but fails on a file this user may not write
        // or, on Windows, one another program holds open.
        std::FILE* existing = std::fopen(file.string().c_str(), "ab");
        if (existing == nullptr) return "the file cannot be written (it may be open elsewhere)";
        std::fclose(existing);
    }

    const auto tag = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", tag);
    const fs::path probe = folder / ("." + file.filename().string() + "." + hex + ".probe");
    std::FILE* created = std::fopen(probe.string().c_str(), "wbx");
    if (created == nullptr)
        return "no file can be created in the folder " + Quoted(folder) +
               " (no permission, or the disk is read-only)";
    std::fclose(created);
    fs::remove(probe, ec);
    return {};
}

}  // namespace

double FromSingle(float value) {
    if (!std::isfinite(value)) return value;
    if (std::fabs(value) < kExactWholeFloats && value == std::trunc(value)) return value;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = value;
    if (ReadShortDecimal(text, written.ptr, result) != written.ptr)
        std::from_chars(text, written.ptr, result);
    return result;
}

bool DrawingWriter::OpenDrawing(const fs::path& file) {
    if (stage_ != Stage::kNew) {
        Fail("OpenDrawing: a drawing is already open for " + Quoted(file_));
        return false;
    }
    const std::string reason = WhyNotWritable(file);
    if (!reason.empty()) {
        Fail("Cannot write the drawing " + Quoted(file) + ": " + reason + ".");
        return false;
    }
    file_ = file;
    stage_ = Stage::kOpen;
    return true;
}

void DrawingWriter::StartDrawing() {
    if (stage_ != Stage::kOpen) {
        Fail(stage_ == Stage::kNew ? "StartDrawing: no drawing is open"
                                   : "StartDrawing: the drawing was already started");
        return;
    }
    stage_ = Stage::kStarted;
}

void DrawingWriter::Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
}

bool DrawingWriter::ReadyForEntity(std::string_view operation) {
    const char* problem = nullptr;
    switch (stage_) {
        case Stage::kNew:
            problem = ": no drawing is open";
            break;
        case Stage::kOpen:
            problem = ": StartDrawing has not been called";
            break;
        case Stage::kClosed:
            problem = ": the drawing is already closed";
            break;
        case Stage::kStarted:
            if (polylineOpen_) problem = ": a polyline is open (EndPolyline first)";
            break;
    }
    if (problem == nullptr) return true;
    Fail(std::string(operation) + problem);
    return false;
}

void DrawingWriter::UseLayer(std::string_view layer, int colour) {
    if (layerIndex_.find(layer) != layerIndex_.end()) return;
    layerIndex_.emplace(std::string(layer), drawing_.layers.size());
    drawing_.layers.push_back(Layer{std::string(layer), colour >= 1 && colour <= 255 ? colour : 7});
}

bool DrawingWriter::Refuse(std::string_view operation, const EntityGeometry& geometry) {
    if (IsFiniteGeometry(geometry)) return false;
    ++refused_;
    Fail(std::string(operation) +
         ": a value that is not a finite number, or a negative radius, was refused; the entity "
         "is left out");
    return true;
}

void DrawingWriter::Add(std::string_view operation, std::string_view layer, int colour,
                        EntityGeometry geometry) {
    if (Refuse(operation, geometry)) return;
    UseLayer(layer, colour);
    drawing_.entities.push_back(Entity{std::string(layer), colour, std::move(geometry)});
}

void DrawingWriter::AddLine(float x1, float y1, float z1, float x2, float y2, float z2,
                            std::string_view layer, int colour) {
    if (!ReadyForEntity("AddLine")) return;
    Add("AddLine", layer, colour,
        LineEntity{{FromSingle(x1), FromSingle(y1), FromSingle(z1)},
                   {FromSingle(x2), FromSingle(y2), FromSingle(z2)}});
}

void DrawingWriter::AddCircle(float x, float y, float z, float radius, std::string_view layer,
                              int colour) {
    if (!ReadyForEntity("AddCircle")) return;
    Add("AddCircle", layer, colour,
        CircleEntity{{FromSingle(x), FromSingle(y), FromSingle(z)}, FromSingle(radius)});
}

void DrawingWriter::AddText(float x, float y, float z, float height, float rotation,
                            std::string_view text, std::string_view layer, int colour) {
    if (!ReadyForEntity("AddText")) return;
    Add("AddText", layer, colour,
        TextEntity{{FromSingle(x), FromSingle(y), FromSingle(z)},
                   FromSingle(height),
                   FromSingle(rotation),
                   std::string(text)});
}

void DrawingWriter::AddSolid(const std::array<Point3, 4>& corners, std::string_view layer,
                             int colour) {
    if (!ReadyForEntity("AddSolid")) return;
    SolidEntity solid;
    for (std::size_t k = 0; k < corners.size(); ++k)
        solid.corners[k] = Point3{FromSingleIfExact(corners[k].x), FromSingleIfExact(corners[k].y),
                                  FromSingleIfExact(corners[k].z)};
    Add("AddSolid", layer, colour, solid);
}

void DrawingWriter::BeginPolyline(std::string_view layer, int colour) {
    if (!ReadyForEntity("BeginPolyline")) return;
    UseLayer(layer, colour);
    polyline_ = Entity{std::string(layer), colour, PolylineEntity{}};
    polylineOpen_ = true;
}

void DrawingWriter::AddVertex(float x, float y, float z, std::string_view /*layer*/, int /*colour*/,
                              float bulge) {
    if (stage_ != Stage::kStarted || !polylineOpen_) {
        Fail("AddVertex: no polyline is open");
        return;
    }
    const PolylineVertex vertex{FromSingle(x), FromSingle(y), FromSingle(z), FromSingle(bulge)};
    // The rest of the polyline stays: its good vertices still make a well-formed path.
    if (Refuse("AddVertex", PolylineEntity{{vertex}, false})) return;
    std::get<PolylineEntity>(polyline_.geometry).vertices.push_back(vertex);
}

void DrawingWriter::EndPolyline() {
    if (stage_ != Stage::kStarted || !polylineOpen_) {
        Fail("EndPolyline: no polyline is open");
        return;
    }
    polylineOpen_ = false;
    if (std::get<PolylineEntity>(polyline_.geometry).vertices.empty()) {
        Fail("EndPolyline: the polyline has no vertices and was left out");
        return;
    }
    drawing_.entities.push_back(std::move(polyline_));
    polyline_ = Entity{};
}

void DrawingWriter::AddDrawing(const Drawing& part) {
    if (!ReadyForEntity("AddDrawing")) return;
    for (const Layer& layer : part.layers) UseLayer(layer.name, layer.colour);
    for (const Entity& entity : part.entities) {
        if (Refuse("AddDrawing", entity.geometry)) continue;
        UseLayer(entity.layer, entity.colour);
        drawing_.entities.push_back(entity);
    }
}

bool DrawingWriter::CloseDrawing() {
    if (stage_ != Stage::kStarted) {
        Fail(stage_ == Stage::kNew    ? "CloseDrawing: no drawing is open"
             : stage_ == Stage::kOpen ? "CloseDrawing: StartDrawing has not been called"
                                      : "CloseDrawing: the drawing is already closed");
        return false;
    }
    if (polylineOpen_) EndPolyline();
    std::string error;
    const auto write = [this](const ContentSink& sink) { return WriteDxf(drawing_, sink); };
    if (!WriteFileAtomically(file_, write, &error)) {
        Fail("Cannot write the drawing: " + error);
        return false;
    }
    stage_ = Stage::kClosed;
    return true;
}

}  // namespace retracer
