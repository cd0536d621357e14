#!/usr/bin/env python3
"""Checks that the folders under src/ include each other in one direction only.

Each folder has a rank; a file may include headers of its own folder and of folders with a lower
rank. A folder missing from the table is an error too, so a new folder is placed on purpose.

    check_layers.py SRC_DIR      check a source tree (exit 1 and one line per fault)
    check_layers.py --self-test  check that the checker finds an upward include
"""

import re
import sys
import tempfile
from pathlib import Path

# From the bottom up. Folders of equal rank must not include each other.
LAYERS = {
    "base": 0,
    "settings": 1,
    "drawing": 2,
    "variables": 3,
    "translate": 4,
    "labels": 5,
    "worklist": 6,
    "job": 7,
    "view": 8,
    "cli": 9,
    "app": 9,
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}


def faults_in(src: Path) -> list[str]:
    faults = []
    for file in sorted(src.rglob("*")):
        if file.suffix not in SOURCE_SUFFIXES or not file.is_file():
            continue
        rel = file.relative_to(src)
        if len(rel.parts) < 2:
            continue  # files at the top of src/ belong to no layer
        folder = rel.parts[0]
        if folder not in LAYERS:
            faults.append(f"{rel}: folder '{folder}' has no place in the layer table")
            continue
        text = file.read_text(encoding="utf-8", errors="replace")
        for number, line in enumerate(text.splitlines(), start=1):
            match = INCLUDE.match(line)
            if not match or "/" not in match.group(1):
                continue  # a header beside the file, or a generated file
            target = match.group(1).split("/")[0]
            if target == folder or target not in LAYERS and not (src / target).is_dir():
                continue  # own folder, or a header from outside the source tree
            if target not in LAYERS:
                faults.append(f"{rel}:{number}: includes '{target}/', which has no layer")
            elif LAYERS[target] >= LAYERS[folder]:
                faults.append(
                    f"{rel}:{number}: '{folder}/' includes '{match.group(1)}' from a layer "
                    f"not below it")
    return faults


def self_test() -> int:
    cases = [
        # (files, how many faults expected)
        ({"base/a.h": "", "job/b.cpp": '#include "base/a.h"\n#include "job/c.h"\n',
          "job/c.h": ""}, 0),
        ({"base/a.h": '#include "translate/t.h"\n', "translate/t.h": ""}, 1),
        ({"cli/m.cpp": '#include "app/w.h"\n', "app/w.h": ""}, 1),
        ({"drawing/d.cpp": '  #  include "labels/l.h"\n#include <vector>\n',
          "labels/l.h": ""}, 1),
        ({"misc/x.h": "", "job/j.h": '#include "misc/x.h"\n'}, 2),
        ({"app/w.cpp": '#include "w.moc"\n#include "QtCore/qglobal.h"\n'}, 0),
    ]
    failed = 0
    for index, (files, expected) in enumerate(cases):
        with tempfile.TemporaryDirectory() as tmp:
            root = Path(tmp)
            for name, text in files.items():
                (root / name).parent.mkdir(parents=True, exist_ok=True)
                (root / name).write_text(text)
            found = faults_in(root)
            if len(found) != expected:
                failed += 1
                print(f"case {index}: expected {expected} faults, found {found}")
    print("self-test", "failed" if failed else "passed")
    return 1 if failed else 0


def main(argv: list[str]) -> int:
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 2:
        print(__doc__)
        return 2
    faults = faults_in(Path(argv[1]))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
