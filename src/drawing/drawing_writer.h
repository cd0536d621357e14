#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "drawing/drawing.h"

namespace retracer {

// The model value of a single-precision number: the double nearest to the float's shortest
// decimal text, so 12.3f is stored as 12.3 and written as "12.3", not as 12.300000190734863.
// Every float that reaches the model goes through here; the text is the same the program showed.
double FromSingle(float value);

class EntitySpill;

// Writes one job's output drawing. The calling order is OpenDrawing, StartDrawing, any number of
// entities and polylines (BeginPolyline, one or more AddVertex, EndPolyline, nothing else in
// between), CloseDrawing. Memory follows the program, not the drawing: entities are held only in
// small runs; once a drawing outgrows one run, each full run is formatted on a second thread
// into a nameless temporary file beside the target while the job goes on. CloseDrawing then
// writes the header (with the extents), the tables and those entities to a new file beside the
// target and renames it over the target in one step, so a failed job never leaves a half-written
// drawing, nor any temporary file. The writer keeps the first failure of any operation (Error),
// so a job reads it once at the end instead of after every call; a call out of order (an entity
// before StartDrawing or inside a polyline, a vertex outside one, anything after CloseDrawing)
// fails that way and changes nothing. An entity or vertex holding a value that is not a finite
// number (or a circle of negative radius) is refused the same way and left out: the translators
// leave such geometry out themselves, with the program line, so this only guards against a slip.
// Layers are collected as they are used, with the number of entities on each. Coordinates arrive
// as single-precision values, as the translators hold them.
class DrawingWriter {
  public:
    // What the writer keeps of the entities once they are written: their number per layer only,
    // or (for tests and tools that look at the drawing) a copy of each, in Content().
    enum class Keep { kCounts, kEntities };

    explicit DrawingWriter(Keep keep = Keep::kCounts);
    ~DrawingWriter();
    DrawingWriter(DrawingWriter&&) noexcept;
    DrawingWriter& operator=(DrawingWriter&&) noexcept;

    // Checks that the file can be created or replaced; false (the failure kept) otherwise.
    bool OpenDrawing(const std::filesystem::path& file);
    void StartDrawing();

    void AddLine(float x1, float y1, float z1, float x2, float y2, float z2, std::string_view layer,
                 int colour);
    void AddCircle(float x, float y, float z, float radius, std::string_view layer, int colour);
    void AddText(float x, float y, float z, float height, float rotation, std::string_view text,
                 std::string_view layer, int colour);
    // Corners that hold a float's exact value are stored as FromSingle would store the float.
    void AddSolid(const std::array<Point3, 4>& corners, std::string_view layer, int colour);
    void BeginPolyline(std::string_view layer, int colour);
    // The vertex belongs to the open polyline; its own layer and colour are not used.
    void AddVertex(float x, float y, float z, std::string_view layer, int colour, float bulge);
    void EndPolyline();
    // Adds the layers (with their colours, where new) and the entities of a drawing assembled
    // elsewhere, such as engraved lettering.
    void AddDrawing(const Drawing& part);

    // Writes the drawing to the file given to OpenDrawing (through a temporary file beside it).
    // A polyline still open is ended first. When the new file cannot be written the old file
    // stays as it was and the drawing stays open, so CloseDrawing may be tried again; when the
    // entities themselves could not be stored on the way (the disk full while drawing), every
    // later try fails as well. True when the file was written.
    bool CloseDrawing();

    // The first failure since the writer was made, or "" when every operation succeeded. A
    // failure to store entities on the way shows here by the end of CloseDrawing.
    const std::string& Error() const { return error_; }
    // How many entities and vertices were refused for values that are not finite numbers.
    std::size_t Refused() const { return refused_; }

    // The layers in order of first use; with Keep::kEntities also every entity drawn so far.
    const Drawing& Content() const { return drawing_; }
    std::size_t EntityCount() const { return entityCount_; }
    // The number of entities on each layer that has any.
    std::map<std::string, std::size_t> EntitiesPerLayer() const;
    const std::filesystem::path& File() const { return file_; }

  private:
    enum class Stage { kNew, kOpen, kStarted, kClosed };

    // Keeps `message` unless an earlier failure is kept already.
    void Fail(std::string message);
    // True when an entity may be added now; otherwise fails naming `operation`.
    bool ReadyForEntity(std::string_view operation);
    // Registers the layer on first use (its first colour becomes the layer colour); its index.
    std::size_t UseLayer(std::string_view layer, int colour);
    // True (the failure kept and counted) when `geometry` holds a value no DXF file may carry.
    bool Refuse(std::string_view operation, const EntityGeometry& geometry);
    void Add(std::string_view operation, std::string_view layer, int colour,
             EntityGeometry geometry);
    void Add(Entity entity);
    // Hands the run of entities held so far to the temporary file.
    void SpillRun();
    bool WriteHeldEntities();
    bool WriteSpilledEntities();

    Keep keep_;
    Drawing drawing_;  // the layers, and the entities when they are kept
    std::filesystem::path file_;
    Stage stage_ = Stage::kNew;
    std::string error_;
    std::size_t refused_ = 0;
    bool polylineOpen_ = false;
    Entity polyline_;  // the polyline being built between BeginPolyline and EndPolyline
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const {
            return std::hash<std::string_view>{}(name);
        }
    };
    std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> layerIndex_;
    std::vector<std::size_t> perLayer_;  // entities on each layer, by layer index
    std::size_t entityCount_ = 0;
    std::vector<Entity> run_;             // entities not yet handed on
    std::size_t runWeight_ = 0;           // their size, in entities and polyline vertices
    std::unique_ptr<EntitySpill> spill_;  // once a run has gone to the temporary file
};

}  // namespace retracer
