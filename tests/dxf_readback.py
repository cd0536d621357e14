"""DXF exchange with an independent reader, ezdxf.

  dxf_readback.py readback --tool T --work DIR
      T writes sample drawings and what they hold (expect.json); ezdxf reads them back and
      every layer, colour, entity, coordinate, bulge and text must match, with a clean audit.
  dxf_readback.py foreign --tool T --work DIR
      ezdxf writes drawings of releases R12, R2000 and R2018; T reads them into our model and
      prints it; the model must hold what ezdxf wrote.

Exit status 0 when everything matches, 1 on a mismatch (each one is printed), 77 when ezdxf
is not installed for this interpreter.
"""
import argparse
import json
import math
import os
import subprocess
import sys

try:
    import ezdxf
    from ezdxf.tools.text import caret_decode
except ImportError:  # pragma: no cover - depends on the machine
    print("ezdxf is not installed for", sys.executable)
    sys.exit(77)

PROBLEMS = []


def problem(where, message):
    PROBLEMS.append(f"{where}: {message}")


def same(where, what, got, want):
    if got != want:
        problem(where, f"{what}: got {got!r}, expected {want!r}")


def same_point(where, what, got, want):
    same(where, what, [float(v) for v in got], [float(v) for v in want])


def plain(text):
    # ezdxf keeps escapes as they are in the file; AutoCAD shows them decoded.
    return ezdxf.decode_dxf_unicode(caret_decode(text))


# --------------------------------------------------------------------------------------------
# Our files read by ezdxf


def check_entity(where, e, want):
    same(where, "type", e.dxftype(), want["type"])
    if e.dxftype() != want["type"]:
        return
    same(where, "layer", e.dxf.layer, want["layer"])
    same(where, "colour", e.dxf.color, want["colour"])
    kind = want["type"]
    if kind == "LINE":
        same_point(where, "start", e.dxf.start, want["start"])
        same_point(where, "end", e.dxf.end, want["end"])
    elif kind == "CIRCLE":
        same_point(where, "centre", e.dxf.center, want["centre"])
        same(where, "radius", e.dxf.radius, want["radius"])
    elif kind == "ARC":
        same_point(where, "centre", e.dxf.center, want["centre"])
        same(where, "radius", e.dxf.radius, want["radius"])
        same(where, "start angle", e.dxf.start_angle, want["start"])
        same(where, "end angle", e.dxf.end_angle, want["end"])
    elif kind == "TEXT":
        same_point(where, "position", e.dxf.insert, want["position"])
        same(where, "height", e.dxf.height, want["height"])
        same(where, "rotation", e.dxf.rotation, want["rotation"])
        same(where, "text", plain(e.dxf.text), want["text"])
    elif kind == "SOLID":
        for k in range(4):
            same_point(where, f"corner {k}", e.dxf.get(f"vtx{k}"), want["corners"][k])
    elif kind == "POLYLINE":
        same(where, "closed", e.is_closed, want["closed"])
        vertices = list(e.vertices)
        same(where, "vertex count", len(vertices), len(want["vertices"]))
        for k, (v, w) in enumerate(zip(vertices, want["vertices"])):
            same_point(f"{where} vertex {k}", "location", v.dxf.location, w[:3])
            same(f"{where} vertex {k}", "bulge", v.dxf.bulge, w[3])
    elif kind == "POINT":
        same_point(where, "position", e.dxf.location, want["position"])
    elif kind == "INSERT":
        same(where, "block", e.dxf.name, want["block"])
        same_point(where, "position", e.dxf.insert, want["position"])
        same(where, "scale", [e.dxf.xscale, e.dxf.yscale], want["scale"])
        same(where, "rotation", e.dxf.rotation, want["rotation"])
    else:
        problem(where, f"unexpected kind {kind}")


def check_entities(where, entities, wanted):
    entities = list(entities)
    same(where, "entity count", len(entities), len(wanted))
    for index, (e, want) in enumerate(zip(entities, wanted)):
        check_entity(f"{where} entity {index} ({want['type']})", e, want)


def readback(tool, work):
    os.makedirs(work, exist_ok=True)
    subprocess.run([tool, "write", work], check=True)
    with open(os.path.join(work, "expect.json"), encoding="utf-8") as f:
        expect = json.load(f)
    for item in expect["files"]:
        path = item["path"]
        want = item["drawing"]
        where = os.path.basename(path)
        doc = ezdxf.readfile(path)
        auditor = doc.audit()
        for error in auditor.errors:
            problem(where, f"audit error {error.code}: {error.message}")
        for fix in auditor.fixes:
            problem(where, f"audit had to fix {fix.code}: {fix.message}")
        same(where, "version", doc.dxfversion, "AC1009")
        same_point(where, "$EXTMIN", doc.header["$EXTMIN"], want["extents"][0])
        same_point(where, "$EXTMAX", doc.header["$EXTMAX"], want["extents"][1])

        wanted_layers = {"0": 7}
        for layer in want["layers"]:
            wanted_layers.setdefault(layer["name"], layer["colour"])
        for name, colour in wanted_layers.items():
            if not doc.layers.has_entry(name):
                problem(where, f"layer {name!r} missing")
                continue
            same(where, f"colour of layer {name!r}", doc.layers.get(name).color, colour)
        for layer in doc.layers:
            # ezdxf adds "Defpoints" itself when it loads a drawing without one.
            if layer.dxf.name not in wanted_layers and layer.dxf.name != "Defpoints":
                problem(where, f"layer {layer.dxf.name!r} not expected")

        check_entities(where, doc.modelspace(), want["entities"])
        for block in want["blocks"]:
            if block["name"] not in doc.blocks:
                problem(where, f"block {block['name']!r} missing")
                continue
            layout = doc.blocks.get(block["name"])
            same_point(where, f"base of block {block['name']}", layout.block.dxf.base_point,
                       block["base"])
            check_entities(f"{where} block {block['name']}", layout, block["entities"])


# --------------------------------------------------------------------------------------------
# Files of ezdxf read by us


def close(where, what, got, want, tolerance=1e-9):
    if any(abs(float(a) - float(b)) > tolerance for a, b in zip(got, want)) or len(got) != len(want):
        problem(where, f"{what}: got {list(got)!r}, expected {list(want)!r}")


def make_foreign(version, path):
    """Writes a drawing with ezdxf; returns what our reader must find, per entity a check."""
    doc = ezdxf.new(version)
    doc.layers.add("HOLES", color=4)
    doc.layers.add("Fr\u00e4se", color=3)
    doc.layers.add("HIDDEN", color=2).off()
    msp = doc.modelspace()
    checks = []

    msp.add_line((1, 2, 3), (4.5, -5.25, 0), dxfattribs={"layer": "HOLES", "color": 1})
    checks.append(("LINE", {"layer": "HOLES", "colour": 1, "start": [1, 2, 3], "end": [4.5, -5.25, 0]}))
    msp.add_circle((30, 40, -12), 4, dxfattribs={"layer": "HOLES"})
    checks.append(("CIRCLE", {"layer": "HOLES", "colour": 256, "centre": [30, 40, -12], "radius": 4}))
    msp.add_arc((5, 5), 2, 30, 300, dxfattribs={"layer": "Fr\u00e4se"})
    checks.append(("ARC", {"layer": "Fr\u00e4se", "centre": [5, 5, 0], "radius": 2, "start": 30, "end": 300}))
    msp.add_text("Gr\u00fc\u00dfe \u2300 8", dxfattribs={"insert": (1, 2), "height": 3.5, "rotation": 12.5})
    checks.append(("TEXT", {"text": "Gr\u00fc\u00dfe \u2300 8", "position": [1, 2, 0], "height": 3.5, "rotation": 12.5}))
    msp.add_solid([(0, 0), (1, 0), (0, 1), (1, 1)], dxfattribs={"color": 7})
    checks.append(("SOLID", {"colour": 7, "corners": [[0, 0, 0], [1, 0, 0], [0, 1, 0], [1, 1, 0]]}))
    msp.add_polyline2d([(0, 0, 0.5), (10, 0, 0), (10, 10, -1)], format="xyb",
                       dxfattribs={"layer": "Fr\u00e4se", "closed": True})
    checks.append(("POLYLINE", {"layer": "Fr\u00e4se", "closed": True,
                                "vertices": [[0, 0, 0, 0.5], [10, 0, 0, 0], [10, 10, 0, -1]]}))
    msp.add_point((7, 8, 9))
    checks.append(("POINT", {"position": [7, 8, 9]}))
    block = doc.blocks.new("MARK", base_point=(1, 2))
    block.add_circle((1, 2), 0.5, dxfattribs={"layer": "HOLES"})
    msp.add_blockref("MARK", (50, 60), dxfattribs={"xscale": 2, "yscale": 3, "rotation": 30})
    checks.append(("INSERT", {"block": "MARK", "position": [50, 60, 0], "scale": [2, 3], "rotation": 30}))
    if version != "R12":
        msp.add_lwpolyline([(0, 0, 0, 0, 0.25), (5, 0, 0, 0, 0), (5, 5, 0, 0, 0)],
                           dxfattribs={"elevation": -5, "closed": False, "color": 3})
        checks.append(("POLYLINE", {"colour": 3, "closed": False,
                                    "vertices": [[0, 0, -5, 0.25], [5, 0, -5, 0], [5, 5, -5, 0]]}))
        msp.add_mtext("First line\\Psecond {\\fArial|b1;bold} part \u00e4",
                      dxfattribs={"insert": (3, 4), "char_height": 2.5, "rotation": 45})
        checks.append(("TEXT", {"text": "First line\nsecond bold part \u00e4", "position": [3, 4, 0],
                                "height": 2.5, "rotation": 45}))
        ellipse = msp.add_ellipse((100, 0), (0, 20), 0.25, 0, math.pi / 2)
        checks.append(("ELLIPSE", ellipse))
        spline = msp.add_open_spline([(0, 0), (2, 5), (6, 5), (8, 0), (12, -3)], degree=3)
        checks.append(("SPLINE", spline))
    doc.saveas(path)
    return doc, checks


def check_foreign(where, got, checks, doc):
    layers = {layer["name"]: layer["colour"] for layer in got["layers"]}
    for name, colour in (("0", 7), ("HOLES", 4), ("Fr\u00e4se", 3), ("HIDDEN", 2)):
        same(where, f"colour of layer {name!r}", layers.get(name), colour)
    entities = got["entities"]
    same(where, "entity count", len(entities), len(checks))
    for index, ((kind, want), e) in enumerate(zip(checks, entities)):
        at = f"{where} entity {index} ({kind})"
        if kind == "ELLIPSE":
            same(at, "type", e["type"], "POLYLINE")
            vertices = e["vertices"]
            close(at, "start", vertices[0][:3], want.start_point)
            close(at, "end", vertices[-1][:3], want.end_point)
            # Every vertex on the ellipse: centre (100, 0), vertical major axis 20, minor 5.
            for v in vertices:
                value = ((v[0] - 100) / 5) ** 2 + (v[1] / 20) ** 2
                if abs(value - 1) > 1e-9:
                    problem(at, f"vertex {v} is off the ellipse")
            continue
        if kind == "SPLINE":
            same(at, "type", e["type"], "POLYLINE")
            curve = want.construction_tool()
            vertices = e["vertices"]
            count = len(vertices) - 1
            for k, v in enumerate(vertices):
                point = curve.point(curve.max_t * k / count)
                close(at, f"vertex {k}", v[:3], point)
            continue
        same(at, "type", e["type"], kind)
        for key, value in want.items():
            if key == "vertices":
                same(at, "vertex count", len(e[key]), len(value))
                for k, (a, b) in enumerate(zip(e[key], value)):
                    close(at, f"vertex {k}", a, b)
            elif isinstance(value, list) and value and isinstance(value[0], list):
                for k, (a, b) in enumerate(zip(e[key], value)):
                    close(at, f"{key} {k}", a, b)
            elif isinstance(value, list):
                close(at, key, e[key], value)
            else:
                same(at, key, e[key], value)
    blocks = {b["name"]: b for b in got["blocks"]}
    if "MARK" not in blocks:
        problem(where, "block MARK missing")
    else:
        same_point(where, "base of MARK", blocks["MARK"]["base"], [1, 2, 0])
        inside = blocks["MARK"]["entities"]
        same(where, "entities of MARK", [(e["type"], e["layer"], e.get("radius")) for e in inside],
             [("CIRCLE", "HOLES", 0.5)])


def foreign(tool, work):
    os.makedirs(work, exist_ok=True)
    for version in ("R12", "R2000", "R2018"):
        path = os.path.join(work, f"ezdxf_{version}.dxf")
        doc, checks = make_foreign(version, path)
        run = subprocess.run([tool, "dump", path], capture_output=True, text=True)
        if run.returncode != 0:
            problem(version, f"not read: {run.stderr.strip()}")
            continue
        check_foreign(version, json.loads(run.stdout), checks, doc)
        print(f"{version}: {len(checks)} entities checked")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["readback", "foreign"])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    (readback if args.mode == "readback" else foreign)(args.tool, args.work)
    for line in PROBLEMS:
        print(line)
    print(f"ezdxf {ezdxf.__version__}: {args.mode}: {len(PROBLEMS)} problem(s)")
    return 1 if PROBLEMS else 0


if __name__ == "__main__":
    sys.exit(main())
