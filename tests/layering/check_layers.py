#!/usr/bin/env python3
"""Fails when a source file includes a folder above its own layer.

Each folder of src/ may include only the folders listed for it: the pure layer at the bottom,
the procedures above it, the window and the headless program on top. norvale-cli's own files
may not include the chart or the window: only norvale-plot draws.
"""
import pathlib
import re
import sys

PURE = {"text", "records", "output", "settings"}
PROCEDURES = {"link", "download", "handheld", "live", "dialer", "archive"}

ALLOWED = {
    "text": {"text"},
    "output": {"output", "text"},
    "records": {"records", "output", "text"},
    "settings": {"settings", "output", "text"},
    "chart": {"chart", "output", "records", "text"},
    "link": {"link", "text"},
    "download": {"download", "link", "output", "records", "text"},
    "handheld": {"handheld", "download", "link", "output", "records", "text"},
    "live": {"live", "link", "records", "text"},
    "dialer": {"dialer", "link", "text"},
    "archive": {"archive", "output", "records", "text"},
    "version": {"version"},
    "app": PURE | PROCEDURES | {"app", "chart", "version"},
    "cli": PURE | PROCEDURES | {"cli", "version"},
}
# The two files of norvale-plot, which links the chart.
DRAWS = {"src/cli/plot_main.cpp", "src/cli/commands/plot.cpp"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.MULTILINE)


def faults(root):
    for path in sorted((root / "src").rglob("*")):
        if path.suffix not in (".h", ".cpp"):
            continue
        relative = path.relative_to(root).as_posix()
        folder = relative.split("/")[1]
        allowed = ALLOWED.get(folder)
        if allowed is None:
            yield f"{relative}: folder {folder}/ has no place in the layers"
            continue
        if relative in DRAWS:
            allowed = allowed | {"chart"}
        for included in INCLUDE.findall(path.read_text(encoding="utf-8")):
            if included not in allowed:
                yield f"{relative}: includes {included}/, above or beside {folder}/"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    found = list(faults(root))
    for fault in found:
        print(fault)
    if not (root / "src").is_dir():
        print(f"no src/ under {root}")
        return 1
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
