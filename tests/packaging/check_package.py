#!/usr/bin/env python3
"""Builds the Debian package from a finished build and checks what a user would install.

Usage: check_package.py BUILD_DIR WORK_DIR
"""
import gzip
import pathlib
import shutil
import subprocess
import sys

EXPECTED_FILES = {
    "usr/bin/norvale-cli",
    "usr/bin/norvale-download",
    "usr/lib/systemd/user/norvale-download@.service",
    "usr/lib/systemd/user/norvale-download@.timer",
    "usr/share/applications/com.norvale.Download.desktop",
    "usr/share/doc/norvale-download/examples/meter.env",
    "usr/share/icons/hicolor/scalable/apps/com.norvale.Download.svg",
    "usr/share/man/man1/norvale-cli.1.gz",
    "usr/share/man/man1/norvale-download.1.gz",
    "usr/share/metainfo/com.norvale.Download.metainfo.xml",
}
# Found by dpkg-shlibdeps from the programs, plus the window system's plugins.
REQUIRED_DEPENDS = ["libc6", "libqt6charts6", "libqt6core6", "libqt6gui6", "libqt6serialport6",
                    "libqt6svg6", "libqt6widgets6", "libstdc++6", "qt6-qpa-plugins"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*command, cwd=None):
    return subprocess.run(command, cwd=cwd, check=True, capture_output=True, text=True).stdout


def main():
    build, work = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    run("cpack", "-G", "DEB", "-B", str(work), cwd=build)
    packages = list(work.glob("norvale-download_*.deb"))
    check(len(packages) == 1, f"one package, found {packages}")
    deb = packages[0]
    architecture = run("dpkg", "--print-architecture").strip()
    check(deb.name == f"norvale-download_1.25-1_{architecture}.deb", f"file name {deb.name}")

    def field(name):
        return run("dpkg-deb", "--field", str(deb), name).strip()

    check(field("Package") == "norvale-download", "Package field")
    check(field("Version") == "1.25-1", f"Version field {field('Version')}")
    check(field("Architecture") == architecture, "Architecture field")
    check("<" in field("Maintainer") and "@" in field("Maintainer"), "Maintainer field")
    check(field("Section") == "electronics", "Section field")
    check(field("Description").startswith("download, view and save"), "Description field")
    depends = [d.split()[0] for d in field("Depends").split(", ")]
    for name in REQUIRED_DEPENDS:
        check(name in depends, f"Depends names {name}: {field('Depends')}")
    check(not any("-dev" in d or "gtest" in d for d in depends), f"no build packages: {depends}")

    listing = run("dpkg-deb", "--contents", str(deb)).splitlines()
    files = {line.split()[-1].removeprefix("./") for line in listing if not line.startswith("d")}
    check(files == EXPECTED_FILES,
          f"file list: missing {sorted(EXPECTED_FILES - files)}, extra {sorted(files - EXPECTED_FILES)}")
    for line in listing:
        owner = line.split()[1]
        check(owner == "root/root", f"owned by root: {line}")

    root = work / "root"
    run("dpkg-deb", "--extract", str(deb), str(root))
    version = run(str(root / "usr/bin/norvale-cli"), "--version")
    check(version.startswith("norvale-cli 1.25 ("), f"--version says {version!r}")
    version = run(str(root / "usr/bin/norvale-download"), "--version")
    check(version.startswith("norvale-download 1.25 ("), f"--version says {version!r}")
    service = (root / "usr/lib/systemd/user/norvale-download@.service").read_text()
    check("ExecStart=/usr/bin/norvale-cli download " in service, "the service runs /usr/bin/norvale-cli")
    for page, title in (("norvale-cli", "NORVALE-CLI"), ("norvale-download", "NORVALE-DOWNLOAD")):
        text = gzip.decompress((root / f"usr/share/man/man1/{page}.1.gz").read_bytes()).decode()
        check(f'.TH {title} "1"' in text and "--version" in text, f"manual page {page}")
    run("desktop-file-validate", str(root / "usr/share/applications/com.norvale.Download.desktop"))
    run("appstreamcli", "validate", "--no-net",
        str(root / "usr/share/metainfo/com.norvale.Download.metainfo.xml"))

    for failure in failures:
        print("FAILED:", failure)
    print(f"{deb.name}: {len(files)} files, Depends: {field('Depends')}")
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except subprocess.CalledProcessError as error:
        print("FAILED:", " ".join(error.cmd), "\n", error.stdout, error.stderr)
        sys.exit(1)
