#!/usr/bin/env python3
"""Builds the Debian package from a finished build and checks what a user would install.

Usage: check_package.py BUILD_DIR WORK_DIR
"""
import gzip
import pathlib
import shutil
import subprocess
import sys

# Each package's files, beside the documentation folder's copyright and changelog.
EXPECTED_FILES = {
    "norvale-cli": {
        "usr/bin/norvale-cli",
        "usr/lib/systemd/user/norvale-download@.service",
        "usr/lib/systemd/user/norvale-download@.timer",
        "usr/share/doc/norvale-cli/examples/meter.env",
        "usr/share/man/man1/norvale-cli.1.gz",
    },
    "norvale-download": {
        "usr/bin/norvale-download",
        "usr/libexec/norvale-download/norvale-plot",
        "usr/share/applications/com.norvale.Download.desktop",
        "usr/share/icons/hicolor/scalable/apps/com.norvale.Download.svg",
        "usr/share/man/man1/norvale-download.1.gz",
        "usr/share/metainfo/com.norvale.Download.metainfo.xml",
    },
}
for package, files in EXPECTED_FILES.items():
    files |= {f"usr/share/doc/{package}/copyright", f"usr/share/doc/{package}/changelog.Debian.gz",
              f"usr/share/lintian/overrides/{package}"}
# Found by dpkg-shlibdeps from the programs, plus the plugins Qt loads (the database drivers, the
# window system) and the headless package the window depends on.
REQUIRED_DEPENDS = {
    "norvale-cli": ["libc6", "libqt6core6", "libqt6network6", "libqt6serialport6", "libqt6sql6",
                    "libqt6sql6-psql", "libqt6sql6-sqlite", "libstdc++6"],
    "norvale-download": ["libc6", "libqt6charts6", "libqt6core6", "libqt6gui6", "libqt6serialport6",
                         "libqt6svg6", "libqt6widgets6", "libstdc++6", "qt6-qpa-plugins",
                         "norvale-cli"],
}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*command, cwd=None):
    return subprocess.run(command, cwd=cwd, check=True, capture_output=True, text=True).stdout


def check_package(deb, package, architecture, root):
    def field(name):
        return run("dpkg-deb", "--field", str(deb), name).strip()

    check(field("Package") == package, f"Package field of {deb.name}")
    check(field("Version") == "1.25-1", f"Version field {field('Version')}")
    check(field("Architecture") == architecture, "Architecture field")
    check("<" in field("Maintainer") and "@" in field("Maintainer"), "Maintainer field")
    check(field("Section") == "electronics", "Section field")
    depends = [d.split()[0] for d in field("Depends").split(", ")]
    for name in REQUIRED_DEPENDS[package]:
        check(name in depends, f"{package} Depends names {name}: {field('Depends')}")
    check(not any("-dev" in d or "gtest" in d for d in depends), f"no build packages: {depends}")

    listing = run("dpkg-deb", "--contents", str(deb)).splitlines()
    files = {line.split()[-1].removeprefix("./") for line in listing if not line.startswith("d")}
    expected = EXPECTED_FILES[package]
    check(files == expected,
          f"{package} file list: missing {sorted(expected - files)}, extra {sorted(files - expected)}")
    for line in listing:
        owner = line.split()[1]
        check(owner == "root/root", f"owned by root: {line}")
    run("dpkg-deb", "--extract", str(deb), str(root))
    copyright_text = (root / f"usr/share/doc/{package}/copyright").read_text()
    check("License: Expat" in copyright_text, f"{package} copyright names the MIT (Expat) licence")
    print(f"{deb.name}: {len(files)} files, Depends: {field('Depends')}")
    return field("Depends")


def main():
    build, work = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    run("cpack", "-G", "DEB", "-B", str(work), cwd=build)
    architecture = run("dpkg", "--print-architecture").strip()
    root = work / "root"
    debs = []
    for package in EXPECTED_FILES:
        deb = work / f"{package}_1.25-1_{architecture}.deb"
        check(deb.exists(), f"package {deb.name}, found {sorted(p.name for p in work.glob('*.deb'))}")
        if deb.exists():
            debs.append(deb)
            depends = check_package(deb, package, architecture, root)
            if package == "norvale-cli":
                # A headless server installs no window libraries.
                for name in ("libqt6widgets6", "libqt6charts6", "libqt6gui6", "libqt6svg6"):
                    check(name not in depends, f"norvale-cli does not depend on {name}: {depends}")
            if package == "norvale-download":
                check("norvale-cli (= 1.25-1)" in depends, f"the window needs its own cli: {depends}")

    version = run(str(root / "usr/bin/norvale-cli"), "--version")
    check(version.startswith("norvale-cli 1.25 ("), f"--version says {version!r}")
    version = run(str(root / "usr/bin/norvale-download"), "--version")
    check(version.startswith("norvale-download 1.25 ("), f"--version says {version!r}")
    service = (root / "usr/lib/systemd/user/norvale-download@.service").read_text()
    check("ExecStart=/usr/bin/norvale-cli download " in service, "the service runs /usr/bin/norvale-cli")
    for page, title in (("norvale-cli", "NORVALE-CLI"), ("norvale-download", "NORVALE-DOWNLOAD")):
        text = gzip.decompress((root / f"usr/share/man/man1/{page}.1.gz").read_bytes()).decode()
        check(f'.TH {title} "1"' in text and "--version" in text, f"manual page {page}")
        check(".SH \"EXIT STATUS\"" in text, f"manual page {page} has an EXIT STATUS section")
    run("desktop-file-validate", str(root / "usr/share/applications/com.norvale.Download.desktop"))
    run("appstreamcli", "validate", "--no-net",
        str(root / "usr/share/metainfo/com.norvale.Download.metainfo.xml"))
    # Lintian's errors and warnings are what Debian would refuse or frown on; a missing hardening
    # flag is only an information tag.
    if shutil.which("lintian"):
        report = subprocess.run(["lintian", "--display-info", "--fail-on", "none", *map(str, debs)],
                                capture_output=True, text=True).stdout
        complaints = [line for line in report.splitlines()
                      if line[:2] in ("E:", "W:") or "hardening-" in line]
        check(not complaints, "lintian:\n" + "\n".join(complaints))
    else:
        check(False, "lintian is not installed")

    for failure in failures:
        print("FAILED:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except subprocess.CalledProcessError as error:
        print("FAILED:", " ".join(error.cmd), "\n", error.stdout, error.stderr)
        sys.exit(1)
