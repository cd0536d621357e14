// The C++ side of the DXF exchange tests run by dxf_readback.py with an independent reader:
//   dxf_exchange_tool write <folder>   writes sample drawings into <folder> and, beside them,
//                                      expect.json describing what each file holds
//   dxf_exchange_tool dump <file.dxf>  reads a DXF file into the model and prints it as JSON
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "drawing/drawing_writer.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"
#include "settings/atomic_file.h"

using namespace retracer;
using nlohmann::json;

namespace {

json PointJson(const Point3& p) {
    return json::array({p.x, p.y, p.z});
}

struct GeometryJson {
    json& out;
    void operator()(const LineEntity& g) const {
        out["type"] = "LINE";
        out["start"] = PointJson(g.start);
        out["end"] = PointJson(g.end);
    }
    void operator()(const CircleEntity& g) const {
        out["type"] = "CIRCLE";
        out["centre"] = PointJson(g.centre);
        out["radius"] = g.radius;
    }
    void operator()(const ArcEntity& g) const {
        out["type"] = "ARC";
        out["centre"] = PointJson(g.centre);
        out["radius"] = g.radius;
        out["start"] = g.startAngle;
        out["end"] = g.endAngle;
    }
    void operator()(const TextEntity& g) const {
        out["type"] = "TEXT";
        out["position"] = PointJson(g.position);
        out["height"] = g.height;
        out["rotation"] = g.rotation;
        out["text"] = g.text;
    }
    void operator()(const SolidEntity& g) const {
        out["type"] = "SOLID";
        out["corners"] = json::array();
        for (const Point3& p : g.corners) out["corners"].push_back(PointJson(p));
    }
    void operator()(const PolylineEntity& g) const {
        out["type"] = "POLYLINE";
        out["closed"] = g.closed;
        out["vertices"] = json::array();
        for (const PolylineVertex& v : g.vertices)
            out["vertices"].push_back(json::array({v.x, v.y, v.z, v.bulge}));
    }
    void operator()(const PointEntity& g) const {
        out["type"] = "POINT";
        out["position"] = PointJson(g.position);
    }
    void operator()(const InsertEntity& g) const {
        out["type"] = "INSERT";
        out["block"] = g.block;
        out["position"] = PointJson(g.position);
        out["scale"] = json::array({g.scaleX, g.scaleY});
        out["rotation"] = g.rotation;
    }
};

json EntitiesJson(const std::vector<Entity>& entities) {
    json list = json::array();
    for (const Entity& e : entities) {
        json item = {{"layer", e.layer}, {"colour", e.colour}};
        std::visit(GeometryJson{item}, e.geometry);
        list.push_back(item);
    }
    return list;
}

json DrawingJson(const Drawing& d) {
    json out;
    out["layers"] = json::array();
    for (const Layer& layer : d.layers)
        out["layers"].push_back({{"name", layer.name}, {"colour", layer.colour}});
    out["blocks"] = json::array();
    for (const Block& b : d.blocks)
        out["blocks"].push_back({{"name", b.name},
                                 {"base", PointJson(b.base)},
                                 {"entities", EntitiesJson(b.entities)}});
    out["entities"] = EntitiesJson(d.entities);
    const Extents extents = DrawingExtents(d);
    out["extents"] = {PointJson(extents.min), PointJson(extents.max)};
    return out;
}

// A job's drawing made as the translators make it, through the writer's operations.
bool WriteJobDrawing(const std::filesystem::path& file, Drawing& content) {
    DrawingWriter w;
    std::string err;
    const auto check = [&](const char* step) {
        if (err.empty()) return true;
        std::cerr << step << ": " << err << "\n";
        return false;
    };
    w.OpenDrawing(err, file);
    if (!check("OpenDrawing")) return false;
    w.StartDrawing(err);
    const float length = 600.5f;
    const float width = 397.3f;
    w.BeginPolyline(err, "BORDER", 1);
    w.AddVertex(err, 0, 0, 0, "BORDER", 1, 0);
    w.AddVertex(err, length, 0, 0, "BORDER", 1, 0);
    w.AddVertex(err, length, width, 0, "BORDER", 1, 0);
    w.AddVertex(err, 0, width, 0, "BORDER", 1, 0);
    w.AddVertex(err, 0, 0, 0, "BORDER", 1, 0);
    w.EndPolyline(err);
    for (int i = 0; i < 5; ++i)
        w.AddCircle(err, 32.1f + 32 * static_cast<float>(i), 9.5f, -12.7f, 2.5f, "VBORE_Z12T21", 4);
    w.AddCircle(err, 300, 200, 0, 17.5f, "00", 4);
    w.BeginPolyline(err, "ROUTE_Z18T3_L_FD2000_S18", 3);
    w.AddVertex(err, 50, 50, -18, "ROUTE_Z18T3_L_FD2000_S18", 3, 0);
    w.AddVertex(err, 150.3f, 50, -18, "ROUTE_Z18T3_L_FD2000_S18", 3, 0.41421357f);
    w.AddVertex(err, 200.3f, 100, -18.5f, "ROUTE_Z18T3_L_FD2000_S18", 3, -1);
    w.AddVertex(err, 200.3f, 200, -18.5f, "ROUTE_Z18T3_L_FD2000_S18", 3, 0);
    w.EndPolyline(err);
    w.AddLine(err, 10, 380, 0, 590, 380, 0, "SAW_Z8", 3);
    w.AddText(err, 20, 20, 0, 5, 0, "Cabinet 12 / Door", "Retracer Notation", 1);
    w.AddText(err, 20, 30, 0, 3.5f, 90, " 600.5", "Retracer Notation", 3);
    w.AddText(err, 20, 40, 0, 2.5f, 12.5f,
              "Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x8C\x80 8 ^x",
              "LABEL", 7);
    w.AddSolid(err, {Point3{400, 10, 0}, {400.5, 10, 0}, {400, 30, 0}, {400.5, 30, 0}}, "BARCODE",
               7);
    w.AddLine(err, 5, 5, 0, 12.25f, 5, 0, "Notation Mark", 6);
    if (!check("drawing")) return false;
    w.CloseDrawing(err);
    if (!check("CloseDrawing")) return false;
    content = w.Content();
    return true;
}

// Every kind the model has, blocks included, written through WriteDxf.
Drawing EveryKind() {
    const auto make = [](std::string layer, int colour, EntityGeometry g) {
        return Entity{std::move(layer), colour, std::move(g)};
    };
    Drawing d;
    d.layers = {{"HOLES", 4}, {"ROUTES", 3}, {"TEXTS", 5}};
    d.blocks = {Block{"MARK",
                      {1, 2, 0},
                      {make("HOLES", 256, CircleEntity{{1, 2, 0}, 0.5}),
                       make("ROUTES", 1, LineEntity{{0, 0, 0}, {2, 4, 0}})}}};
    d.entities = {
        make("HOLES", 4, CircleEntity{{10.3, -20.7, -12}, 2.5}),
        make("ROUTES", 256, LineEntity{{0.1, 0.2, 0}, {1e-7, 123456.789, -3}}),
        make("ROUTES", 3, ArcEntity{{5, 5, 0}, 2, 30, 300}),
        make("TEXTS", 5,
             TextEntity{{1, 2, 0},
                        3.5,
                        33.3,
                        "Mitre 45\xC2\xB0, \xC2\xB1"
                        "0.1"}),
        make("0", 7, SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}),
        make("ROUTES", 3,
             PolylineEntity{
                 {{0, 0, -18, 0}, {100, 0, -18, 0.5}, {110, 10, -17.5, -2}, {0.3, 10, -18, 0}},
                 true}),
        make("0", 256, PointEntity{{7, 8, 9}}),
        make("0", 2, InsertEntity{"MARK", {50, 60, 0}, 2, 3, 30}),
        make("0", 256, InsertEntity{"MARK", {-50, 60, 1}, 1, 1, 0}),
    };
    return d;
}

int Write(const std::filesystem::path& folder) {
    json expect;
    Drawing job;
    const auto jobFile = folder / "job.dxf";
    if (!WriteJobDrawing(jobFile, job)) return 1;
    expect["files"].push_back({{"path", jobFile.string()}, {"drawing", DrawingJson(job)}});

    const Drawing every = EveryKind();
    const auto everyFile = folder / "every_kind.dxf";
    std::string error;
    if (!WriteFileAtomically(everyFile, DxfText(every), &error)) {
        std::cerr << error << "\n";
        return 1;
    }
    expect["files"].push_back({{"path", everyFile.string()}, {"drawing", DrawingJson(every)}});
    std::ofstream(folder / "expect.json") << expect.dump(1) << "\n";
    return 0;
}

int Dump(const std::filesystem::path& file) {
    Drawing d;
    std::string error;
    if (!ReadDxf(file, d, error)) {
        std::cerr << error << "\n";
        return 1;
    }
    std::cout << DrawingJson(d).dump(1) << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode == "write") return Write(argv[2]);
    if (mode == "dump") return Dump(argv[2]);
    std::cerr << "usage: dxf_exchange_tool write <folder> | dump <file.dxf>\n";
    return 2;
}
