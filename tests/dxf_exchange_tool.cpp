// The C++ side of the DXF exchange tests run by dxf_readback.py with an independent reader:
//   dxf_exchange_tool write <folder>   writes a sample drawing into <folder> and, beside it,
//                                      expect.json describing what the file holds
//   dxf_exchange_tool dump <file.dxf>  reads a DXF file into the model and prints it as JSON
// Entities are described with the attribute names of the DXF reader library the script uses.
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "base/atomic_file.h"
#include "drawing/drawing_writer.h"  // FromSingle
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"

using namespace retracer;
using nlohmann::json;

namespace {

json P(const Point3& p) {
    return json::array({p.x, p.y, p.z});
}

// An entity as [layer, colour, kind, attributes...], the attributes in the order the script
// names them.
json EntitiesJson(const std::vector<Entity>& entities) {
    json list = json::array();
    for (const Entity& e : entities)
        list.push_back(std::visit(
            [&e](const auto& g) {
                using T = std::decay_t<decltype(g)>;
                const auto item = [&e](auto... values) {
                    return json::array({e.layer, e.colour, values...});
                };
                if constexpr (std::is_same_v<T, LineEntity>)
                    return item("LINE", P(g.start), P(g.end));
                if constexpr (std::is_same_v<T, CircleEntity>)
                    return item("CIRCLE", P(g.centre), g.radius);
                if constexpr (std::is_same_v<T, ArcEntity>)
                    return item("ARC", P(g.centre), g.radius, g.startAngle, g.endAngle);
                if constexpr (std::is_same_v<T, TextEntity>)
                    return item("TEXT", P(g.position), g.height, g.rotation, g.text);
                if constexpr (std::is_same_v<T, SolidEntity>)
                    return item("SOLID", P(g.corners[0]), P(g.corners[1]), P(g.corners[2]),
                                P(g.corners[3]));
                if constexpr (std::is_same_v<T, PointEntity>) return item("POINT", P(g.position));
                if constexpr (std::is_same_v<T, InsertEntity>)
                    return item("INSERT", g.block, P(g.position), g.scaleX, g.scaleY, g.rotation);
                if constexpr (std::is_same_v<T, PolylineEntity>) {
                    json vertices = json::array();
                    for (const PolylineVertex& v : g.vertices)
                        vertices.push_back({v.x, v.y, v.z, v.bulge});
                    return item("POLYLINE", g.closed, vertices);
                }
            },
            e.geometry));
    return list;
}

json DrawingJson(const Drawing& d) {
    json out = {{"layers", json::object()}, {"blocks", json::object()}};
    for (const Layer& layer : d.layers)
        if (!out["layers"].contains(layer.name)) out["layers"][layer.name] = layer.colour;
    for (const Block& b : d.blocks)
        out["blocks"][b.name] = {{"base", P(b.base)}, {"entities", EntitiesJson(b.entities)}};
    out["entities"] = EntitiesJson(d.entities);
    const Extents extents = DrawingExtents(d);
    out["extents"] = {P(extents.min), P(extents.max)};
    return out;
}

// Every kind the model has, blocks included, with values as the translators store them.
Drawing EveryKind() {
    const auto make = [](std::string layer, int colour, EntityGeometry g) {
        return Entity{std::move(layer), colour, std::move(g)};
    };
    const auto f = [](float value) { return FromSingle(value); };
    Drawing d;
    d.layers = {{"VBORE_Z12T21", 4},
                {"ROUTE_Z18T3_L_FD2000_S18", 3},
                {"Retracer Notation", 5},
                {"SAW_Z8", 3},
                {"LABEL", 7},
                {"BORDER", 1}};
    d.blocks = {Block{"MARK",
                      {1, 2, 0},
                      {make("VBORE_Z12T21", 256, CircleEntity{{1, 2, 0}, 0.5}),
                       make("SAW_Z8", 1, LineEntity{{0, 0, 0}, {2, 4, 0}})}}};
    d.entities = {
        make("VBORE_Z12T21", 4, CircleEntity{{f(32.1f), f(9.5f), f(-12.7f)}, 2.5}),
        make("SAW_Z8", 256, LineEntity{{0.1, 0.2, 0}, {1e-7, 123456.789, -3}}),
        make("ROUTE_Z18T3_L_FD2000_S18", 3, ArcEntity{{5, 5, 0}, 2, 30, 300}),
        make("Retracer Notation", 5,
             TextEntity{{1, 2, 0}, 3.5, 33.3, " Mitre 45\u00B0, \u00B10.1"}),
        make("LABEL", 7, TextEntity{{20, 40, 0}, 2.5, 12.5, "Gr\u00FC\u00DFe \u2300 8 ^x"}),
        make("0", 7,
             SolidEntity{{Point3{400, 10, 0}, {400.5, 10, 0}, {400, 30, 0}, {400.5, 30, 0}}}),
        make("ROUTE_Z18T3_L_FD2000_S18", 3,
             PolylineEntity{{{50, 50, -18, f(0.41421357f)},
                             {f(150.3f), 50, f(-18.5f), -1},
                             {110, 10, -17.5, -2},
                             {0.3, 10, -18, 0}},
                            true}),
        make("BORDER", 1,
             PolylineEntity{{{0, 0, 0, 0}, {f(600.5f), 0, 0, 0}, {f(600.5f), f(397.3f), 0, 0}},
                            false}),
        make("0", 256, PointEntity{{7, 8, 9}}),
        make("0", 2, InsertEntity{"MARK", {50, 60, 0}, 2, 3, 30}),
    };
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    std::string error;
    if (mode == "write") {
        const std::filesystem::path folder = argv[2];
        const Drawing every = EveryKind();
        if (!WriteFileAtomically(folder / "every_kind.dxf", DxfText(every), &error)) {
            std::cerr << error << "\n";
            return 1;
        }
        std::ofstream(folder / "expect.json")
            << json{{"every_kind.dxf", DrawingJson(every)}}.dump(1);
        return 0;
    }
    if (mode == "dump") {
        Drawing d;
        if (!ReadDxf(argv[2], d, error)) {
            std::cerr << error << "\n";
            return 1;
        }
        std::cout << DrawingJson(d).dump(1) << "\n";
        return 0;
    }
    std::cerr << "usage: dxf_exchange_tool write <folder> | dump <file.dxf>\n";
    return 2;
}
