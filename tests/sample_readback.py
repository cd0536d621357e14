"""Translate every sample program with retracer-cli and read the drawing back with ezdxf.

Each expectation file in --expect names a program under --samples, extra CLI arguments, the
output file name and what the drawing must hold:

  "layers":   {layer: {ezdxf type: count}}  exact counts for the listed layers
  "only_these_layers": true                 no other layer holds entities
  "entities": [{"layer", "type", ...}]      entities that must be present: CIRCLE "center",
                                            "radius"; LINE "start", "end"; POLYLINE "vertices"
                                            as [x, y, bulge]; TEXT "text" (and "insert")
  "diagnostics": n                          number of diagnostics the CLI reports (default 0)

The CLI runs in a scratch application folder holding the samples' Tool.Par and the build's
letter library. Every drawing must also pass ezdxf's audit and hold only finite coordinates.
Exit status 0 when all matches, 1 on a mismatch (each printed), 77 without ezdxf.
"""
import argparse
import glob
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
from collections import Counter, defaultdict

try:
    import ezdxf
except ImportError:  # pragma: no cover - depends on the machine
    print("ezdxf is not installed for", sys.executable)
    sys.exit(77)

TOLERANCE = 1e-3
PROBLEMS = []


def problem(sample, text):
    PROBLEMS.append(f"{sample}: {text}")


def xy(vector):
    return (vector[0], vector[1])


def close(a, b):
    return len(a) == len(b) and all(abs(x - y) <= TOLERANCE for x, y in zip(a, b))


def points_of(entity):
    kind = entity.dxftype()
    if kind == "POLYLINE":
        return [tuple(v.dxf.location) for v in entity.vertices]
    if kind == "LINE":
        return [tuple(entity.dxf.start), tuple(entity.dxf.end)]
    if kind == "SOLID":
        return [tuple(entity.dxf.get(name)) for name in ("vtx0", "vtx1", "vtx2", "vtx3")]
    if entity.dxf.hasattr("center"):
        return [tuple(entity.dxf.center)]
    if entity.dxf.hasattr("insert"):
        return [tuple(entity.dxf.insert)]
    return []


def matches(entity, want):
    kind = entity.dxftype()
    if kind != want["type"] or entity.dxf.layer != want["layer"]:
        return False
    if kind == "CIRCLE":
        return close(xy(entity.dxf.center), want["center"]) and close(
            [entity.dxf.radius], [want["radius"]])
    if kind == "LINE":
        return close(xy(entity.dxf.start), want["start"]) and close(xy(entity.dxf.end), want["end"])
    if kind == "POLYLINE":
        got = [(v.dxf.location[0], v.dxf.location[1], v.dxf.bulge) for v in entity.vertices]
        return len(got) == len(want["vertices"]) and all(
            close(g, w) for g, w in zip(got, want["vertices"]))
    if kind == "TEXT":
        return entity.dxf.text == want["text"] and (
            "insert" not in want or close(xy(entity.dxf.insert), want["insert"]))
    return False


def check(sample, expect, drawing, report):
    msp = drawing.modelspace()
    counts = defaultdict(Counter)
    for entity in msp:
        counts[entity.dxf.layer][entity.dxftype()] += 1
        for point in points_of(entity):
            if not all(math.isfinite(c) for c in point):
                problem(sample, f"{entity.dxftype()} on {entity.dxf.layer} at {point}")
    for layer, kinds in expect.get("layers", {}).items():
        got = dict(counts.get(layer, {}))
        if got != kinds:
            problem(sample, f"layer {layer}: expected {kinds}, got {got}")
    if expect.get("only_these_layers"):
        extra = sorted(set(counts) - set(expect.get("layers", {})))
        if extra:
            problem(sample, f"unexpected layers {extra}: {[dict(counts[k]) for k in extra]}")
    for want in expect.get("entities", []):
        if not any(matches(entity, want) for entity in msp):
            problem(sample, f"missing {json.dumps(want)}")
    auditor = drawing.audit()
    if auditor.has_errors:
        problem(sample, f"audit errors: {[str(e.message) for e in auditor.errors]}")
    want_diagnostics = expect.get("diagnostics", 0)
    got_diagnostics = report.get("diagnostics", [])
    if len(got_diagnostics) != want_diagnostics:
        problem(sample, f"expected {want_diagnostics} diagnostics, got {got_diagnostics}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--app", required=True, help="the build's application folder")
    parser.add_argument("--samples", required=True)
    parser.add_argument("--expect", required=True)
    args = parser.parse_args()

    files = sorted(glob.glob(os.path.join(args.expect, "*.json")))
    if not files:
        print("no expectation files in", args.expect)
        return 1
    with tempfile.TemporaryDirectory(prefix="retracer-samples-") as scratch:
        app = os.path.join(scratch, "app")
        os.makedirs(app)
        tools = os.path.join(args.samples, "Tool.Par")
        shutil.copy(tools if os.path.exists(tools) else os.path.join(args.app, "Tool.Par"), app)
        letters = os.path.abspath(os.path.join(args.app, "Letters"))
        if os.path.isdir(letters):
            os.symlink(letters, os.path.join(app, "Letters"))
        for name in files:
            sample = os.path.basename(name)
            with open(name, encoding="utf-8") as f:
                expect = json.load(f)
            dest = os.path.join(scratch, sample + ".out")
            os.makedirs(dest)
            command = [args.cli, "translate", "--app-folder", app, "--dest", dest, "--json",
                       *expect.get("args", []), os.path.join(args.samples, expect["program"])]
            run = subprocess.run(command, capture_output=True, text=True)
            if run.returncode != 0:
                problem(sample, f"exit {run.returncode}: {run.stderr.strip()}")
                continue
            report = json.loads(run.stdout)[0]
            output = os.path.join(dest, expect["output"])
            if report.get("output") != output or not os.path.exists(output):
                problem(sample, f"expected output {output}, got {report.get('output')}")
                continue
            check(sample, expect, ezdxf.readfile(output), report)
            print(f"{sample}: {expect['program']} -> {expect['output']} checked")
    for line in PROBLEMS:
        print("MISMATCH", line)
    return 1 if PROBLEMS else 0


if __name__ == "__main__":
    sys.exit(main())
