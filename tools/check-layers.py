#!/usr/bin/python3
"""Checks that the product's includes run down its layers only.

    check-layers.py <source folder>

The layers, lowest first: win; core; prereq and iis (side by side, neither
includes the other); setup; ui; app. A file may include files of its own
folder and of the layers below it, never above or beside. `resources` holds
the dialog templates' ids, for ui and app only. Includes are resolved as the
compiler resolves them (first beside the including file, then from the source
folder), so a relative include ("../ui/x.h") counts like any other. Exits 1
and names every include that breaks the rule.
"""
import os
import re
import sys

ALLOWED = {
    "win": {"win"},
    "core": {"core", "win"},
    "prereq": {"prereq", "core", "win"},
    "iis": {"iis", "core", "win"},
    "setup": {"setup", "prereq", "iis", "core", "win"},
    "ui": {"ui", "setup", "prereq", "iis", "core", "win", "resources"},
    "app": {"app", "ui", "setup", "prereq", "iis", "core", "win", "resources"},
    "resources": {"resources"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)


def folder_of(path, root):
    relative = os.path.relpath(path, root)
    top = relative.split(os.sep)[0]
    return top if top in ALLOWED and not relative.startswith("..") else None


def resolve(name, including, root):
    for base in (os.path.dirname(including), root):
        candidate = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(candidate):
            return candidate
    return None  # made by the build (the package keys) or a system header


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[2].strip(), file=sys.stderr)
        return 2
    root = os.path.abspath(argv[1])
    problems = []
    for layer in ALLOWED:
        for folder, _, files in os.walk(os.path.join(root, layer)):
            for file in sorted(files):
                if not file.endswith((".h", ".cpp", ".rc")):
                    continue
                path = os.path.join(folder, file)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for match in INCLUDE.finditer(text):
                    target = resolve(match.group(1), path, root)
                    if target is None:
                        continue
                    target_layer = folder_of(target, root)
                    if target_layer is None or target_layer in ALLOWED[layer]:
                        continue
                    line = text.count("\n", 0, match.start()) + 1
                    problems.append(f"{os.path.relpath(path, root)}:{line}: {layer} includes "
                                    f"{os.path.relpath(target, root)} of {target_layer}")
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        print(f"check-layers: {len(problems)} include(s) run against the layers", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
