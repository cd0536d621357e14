"""DXF exchange with an independent reader, ezdxf.

readback: the tool writes a sample drawing and expect.json, what it holds; ezdxf reads them back
with a clean audit, and every layer, block, entity, coordinate, bulge and text matches exactly.
foreign: ezdxf writes R12, R2000 and R2018 drawings; the tool reads them into our model and
prints it as JSON, which must hold what ezdxf wrote.
Exit status 0 when all matches, 1 on a mismatch (each printed), 77 without ezdxf.
"""
import argparse
import json
import math
import os
import subprocess
import sys

try:
    import ezdxf
    from ezdxf.math import Vec3
    from ezdxf.tools.text import caret_decode
except ImportError:  # pragma: no cover - depends on the machine
    print("ezdxf is not installed for", sys.executable)
    sys.exit(77)

PROBLEMS = []
# The attributes compared per kind, in the order the tool lists them, under ezdxf's names.
ATTRIBUTES = {
    "LINE": ["start", "end"],
    "CIRCLE": ["center", "radius"],
    "ARC": ["center", "radius", "start_angle", "end_angle"],
    "TEXT": ["insert", "height", "rotation", "text"],
    "SOLID": ["vtx0", "vtx1", "vtx2", "vtx3"],
    "POINT": ["location"],
    "INSERT": ["name", "insert", "xscale", "yscale", "rotation"],
    "POLYLINE": ["closed", "vertices"],
}


def differs(got, want, tolerance):
    if isinstance(want, (list, tuple, Vec3)):
        got = list(got)
        return len(got) != len(want) or any(differs(a, b, tolerance) for a, b in zip(got, want))
    if isinstance(want, (int, float)) and not isinstance(want, bool):
        return not isinstance(got, (int, float)) or abs(got - want) > tolerance
    return got != want


def check(where, what, got, want, tolerance=0.0):
    if isinstance(want, dict) and isinstance(got, dict):
        check(where, f"{what} keys", sorted(got), sorted(want))
        for key, value in want.items():
            check(where, f"{what} {key}", got.get(key), value, tolerance)
    elif differs(got, want, tolerance):
        PROBLEMS.append(f"{where}: {what}: got {got!r}, expected {want!r}")


def ours(entities):
    """Entities as the tool lists them, [layer, colour, kind, attributes...], as dictionaries."""
    return [{"layer": layer, "color": color, "type": kind, **dict(zip(ATTRIBUTES[kind], values))}
            for layer, color, kind, *values in entities]


def ezdxf_entity(e):
    """An ezdxf entity as a dictionary like those of ours()."""
    kind = e.dxftype()
    out = {"type": kind, "layer": e.dxf.layer, "color": e.dxf.color}
    if kind == "POLYLINE":
        vertices = [[*v.dxf.location, v.dxf.bulge] for v in e.vertices]
        out.update(closed=e.is_closed, vertices=vertices)
    elif kind == "LWPOLYLINE":
        z = e.dxf.elevation
        out.update(type="POLYLINE", closed=e.closed,
                   vertices=[[x, y, z, b] for x, y, _, _, b in e.get_points()])
    elif kind == "MTEXT":
        out.update(type="TEXT", text=e.plain_text(), insert=list(e.dxf.insert),
                   height=e.dxf.char_height, rotation=e.dxf.rotation)
    else:
        for key in ATTRIBUTES.get(kind, []):
            value = getattr(e.dxf, key)
            out[key] = list(value) if isinstance(value, Vec3) else value
    if kind == "TEXT":
        # ezdxf keeps escapes as they are in the file; AutoCAD shows them decoded.
        out["text"] = ezdxf.decode_dxf_unicode(caret_decode(out["text"]))
    return out


def check_entities(where, got, want, tolerance=0.0):
    check(where, "entity count", len(got), len(want))
    for index, (g, w) in enumerate(zip(got, want)):
        check(f"{where} entity {index}", w["type"], g, w, tolerance)


def readback(tool, work):
    """Our files read by ezdxf."""
    subprocess.run([tool, "write", work], check=True)
    with open(os.path.join(work, "expect.json"), encoding="utf-8") as f:
        expect = json.load(f)
    for name, want in expect.items():
        doc = ezdxf.readfile(os.path.join(work, name))
        auditor = doc.audit()
        for issue in auditor.errors + auditor.fixes:
            PROBLEMS.append(f"{name}: audit {issue.code}: {issue.message}")
        check(name, "version", doc.dxfversion, "AC1009")
        check(name, "extents", [doc.header["$EXTMIN"], doc.header["$EXTMAX"]], want["extents"])
        # ezdxf adds "Defpoints" itself when it loads a drawing without one.
        layers = {layer.dxf.name: layer.color for layer in doc.layers}
        layers.pop("Defpoints", None)
        check(name, "layers", layers, {**want["layers"], "0": 7})
        for block, content in want["blocks"].items():
            layout = doc.blocks.get(block)
            if layout is None:
                PROBLEMS.append(f"{name}: block {block} missing")
                continue
            check(name, f"base of {block}", layout.block.dxf.base_point, content["base"])
            check_entities(f"{name} block {block}", [ezdxf_entity(e) for e in layout],
                           ours(content["entities"]))
        check_entities(name, [ezdxf_entity(e) for e in doc.modelspace()], ours(want["entities"]))


def foreign_drawing(version, path):
    """Writes a drawing with ezdxf; returns its document."""
    doc = ezdxf.new(version)
    doc.layers.add("HOLES", color=4)
    doc.layers.add("Fr\u00e4se", color=3)
    doc.layers.add("HIDDEN", color=2).off()
    msp = doc.modelspace()
    msp.add_line((1, 2, 3), (4.5, -5.25, 0), dxfattribs={"layer": "HOLES", "color": 1})
    msp.add_circle((30, 40, -12), 4, dxfattribs={"layer": "HOLES"})
    msp.add_arc((5, 5), 2, 30, 300, dxfattribs={"layer": "Fr\u00e4se"})
    msp.add_text("Gr\u00fc\u00dfe \u2300 8", dxfattribs={"insert": (1, 2), "height": 3.5,
                                                       "rotation": 12.5})
    msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)], dxfattribs={"color": 7})
    msp.add_polyline2d([(0, 0, 0.5), (10, 0, 0), (10, 10, -1)], format="xyb",
                       dxfattribs={"layer": "Fr\u00e4se", "closed": True})
    msp.add_point((7, 8, 9))
    doc.blocks.new("MARK", base_point=(1, 2)).add_circle((1, 2), 0.5, dxfattribs={"layer": "HOLES"})
    msp.add_blockref("MARK", (50, 60), dxfattribs={"xscale": 2, "yscale": 3, "rotation": 30})
    if version != "R12":
        msp.add_lwpolyline([(0, 0, 0, 0, 0.25), (5, 0, 0, 0, 0), (5, 5, 0, 0, 0)],
                           dxfattribs={"elevation": -5, "color": 3})
        msp.add_mtext("First line\\Psecond {\\fArial|b1;bold} part \u00e4",
                      dxfattribs={"insert": (3, 4), "char_height": 2.5, "rotation": 45})
        msp.add_ellipse((100, 0), (0, 20), 0.25, 0, math.pi / 2)
        msp.add_open_spline([(0, 0), (2, 5), (6, 5), (8, 0), (12, -3)], degree=3)
    doc.saveas(path)
    return doc


def check_curve(where, got, curve):
    """Our polyline on an ezdxf ellipse, from end to end, or spline, evenly in its parameter."""
    check(where, "type", got["type"], "POLYLINE")
    vertices = [v[:3] for v in got["vertices"]]
    tool = curve.construction_tool()
    if curve.dxftype() == "SPLINE":
        for k, v in enumerate(vertices):
            check(where, f"vertex {k}", v, tool.point(tool.max_t * k / (len(vertices) - 1)), 1e-9)
        return
    check(where, "ends", [vertices[0], vertices[-1]], [tool.start_point, tool.end_point], 1e-9)
    for v in vertices:
        d = Vec3(v) - tool.center
        on = sum((d.dot(a) / a.magnitude_square) ** 2 for a in (tool.major_axis, tool.minor_axis))
        check(where, f"{v} on the ellipse", on, 1, 1e-9)


def foreign(tool, work):
    """Files of ezdxf read by us."""
    for version in ("R12", "R2000", "R2018"):
        path = os.path.join(work, f"ezdxf_{version}.dxf")
        doc = foreign_drawing(version, path)
        run = subprocess.run([tool, "dump", path], capture_output=True, text=True)
        if run.returncode != 0:
            PROBLEMS.append(f"{version}: not read: {run.stderr.strip()}")
            continue
        got = json.loads(run.stdout)
        check(version, "layers", got["layers"], {la.dxf.name: la.color for la in doc.layers})
        entities = list(doc.modelspace())
        check(version, "entity count", len(got["entities"]), len(entities))
        for index, (g, e) in enumerate(zip(ours(got["entities"]), entities)):
            where = f"{version} entity {index} ({e.dxftype()})"
            if e.dxftype() in ("ELLIPSE", "SPLINE"):
                check_curve(where, g, e)
            else:
                check(where, e.dxftype(), g, ezdxf_entity(e), 1e-9)
        mark = got["blocks"].get("MARK", {})
        check(version, "base of MARK", mark.get("base"), [1, 2, 0])
        check_entities(f"{version} block MARK", ours(mark.get("entities", [])),
                       [ezdxf_entity(e) for e in doc.blocks.get("MARK")], 1e-9)
        print(f"{version}: {len(entities)} entities checked")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["readback", "foreign"])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    (readback if args.mode == "readback" else foreign)(args.tool, args.work)
    for line in PROBLEMS:
        print(line)
    print(f"ezdxf {ezdxf.__version__}: {args.mode}: {len(PROBLEMS)} problem(s)")
    return 1 if PROBLEMS else 0


if __name__ == "__main__":
    sys.exit(main())
