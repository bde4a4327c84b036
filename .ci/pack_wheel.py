"""Packs one built module file into a wheel, for builds that do not go
through pip (cross builds with cmake/zig-toolchain.cmake):

    python3 .ci/pack_wheel.py --module FILE --tag TAG --out DIR

TAG is a compressed tag set, PYTHONS-ABIS-PLATFORMS with each part a
dot-separated list, e.g.
cp27.cp36-none-manylinux_2_17_x86_64.manylinux2014_x86_64. The wheel holds
the module at its top level, the stub package stubs/NAME-stubs beside it,
and the metadata that pyproject.toml gives, as pip's own build writes it
(the license files in the dist-info's licenses folder). Prints the wheel's
path.
"""

import argparse
import base64
import glob
import hashlib
import os
import re
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TAG_PART = re.compile(r"^[A-Za-z0-9_]+(\.[A-Za-z0-9_]+)*$")
# Fixed entry times, so that the same inputs give the same wheel.
ZIP_TIME = (1980, 1, 1, 0, 0, 0)
README_TYPES = {".md": "text/markdown", ".rst": "text/x-rst"}
# The license files the build backend puts into every wheel it builds.
LICENSE_FILES = ("LICEN[CS]E*", "COPYING*", "NOTICE*", "AUTHORS*")


class PackError(Exception):
    pass


def load_project(root):
    """The [project] table of pyproject.toml."""
    try:
        import tomllib
    except ImportError:
        raise PackError("needs Python 3.11 or later (for tomllib), this is %s" % sys.version.split()[0]) from None
    with open(os.path.join(root, "pyproject.toml"), "rb") as f:
        project = tomllib.load(f).get("project")
    if not project:
        raise PackError("pyproject.toml has no [project] table")
    missing = [key for key in ("name", "version", "description", "readme") if key not in project]
    if missing or project.get("dynamic"):
        raise PackError("pyproject.toml [project] must give name, version, description and readme as plain values "
                        "(missing: %s; dynamic: %s)" % (", ".join(missing) or "none", project.get("dynamic", [])))
    return project


def expand_tags(tag):
    """Every python-abi-platform combination that a compressed tag set names."""
    parts = tag.split("-")
    if len(parts) != 3 or not all(TAG_PART.match(part) for part in parts):
        raise PackError("tag %r is not PYTHONS-ABIS-PLATFORMS (e.g. cp36.cp37-none-manylinux2014_x86_64)" % tag)
    pythons, abis, platforms = (part.split(".") for part in parts)
    return ["%s-%s-%s" % (p, a, plat) for p in pythons for a in abis for plat in platforms]


def readme_text(root, readme):
    path = readme if isinstance(readme, str) else readme.get("file")
    if not path:
        raise PackError("pyproject.toml readme must name a file")
    content_type = readme.get("content-type") if isinstance(readme, dict) else None
    content_type = content_type or README_TYPES.get(os.path.splitext(path)[1].lower(), "text/plain")
    with open(os.path.join(root, path), encoding="utf-8") as f:
        return f.read(), content_type


def metadata(root, project):
    """The METADATA file: core metadata 2.2 with the readme as its body."""
    lines = ["Metadata-Version: 2.2", "Name: " + project["name"], "Version: " + project["version"],
             "Summary: " + project["description"]]
    if project.get("keywords"):
        lines.append("Keywords: " + ",".join(project["keywords"]))
    license = project.get("license")
    if isinstance(license, dict) and "text" in license:
        lines.append("License: " + license["text"])
    lines += ["Classifier: " + classifier for classifier in project.get("classifiers", [])]
    if "requires-python" in project:
        lines.append("Requires-Python: " + project["requires-python"])
    for requirement in project.get("dependencies", []):
        lines.append("Requires-Dist: " + requirement)
    for extra, requirements in project.get("optional-dependencies", {}).items():
        lines.append("Provides-Extra: " + extra)
        lines += ['Requires-Dist: %s; extra == "%s"' % (requirement, extra) for requirement in requirements]
    body, content_type = readme_text(root, project["readme"])
    lines.append("Description-Content-Type: " + content_type)
    return "\n".join(lines) + "\n\n" + body


def wheel_file(tags):
    lines = ["Wheel-Version: 1.0", "Generator: pack_wheel.py", "Root-Is-Purelib: false"]
    return "\n".join(lines + ["Tag: " + tag for tag in tags]) + "\n"


def stub_files(root, name):
    """(path in the wheel, path on disk) of every file of the stub package."""
    stubs = os.path.join(root, "stubs", name + "-stubs")
    if not os.path.isdir(stubs):
        raise PackError("no stub package at " + stubs)
    found = []
    for folder, subfolders, files in os.walk(stubs):
        subfolders[:] = sorted(d for d in subfolders if d != "__pycache__")
        for file in sorted(files):
            if not file.endswith(".pyc"):
                path = os.path.join(folder, file)
                found.append((os.path.relpath(path, root + "/stubs").replace(os.sep, "/"), path))
    return found


def license_files(root):
    """(name, path on disk) of every license file at the root."""
    found = sorted(set(path for pattern in LICENSE_FILES for path in glob.glob(os.path.join(root, pattern))))
    return [(os.path.basename(path), path) for path in found if os.path.isfile(path)]


def record_line(arcname, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode("ascii")
    return "%s,sha256=%s,%d" % (arcname, digest, len(data))


def write_wheel(path, dist_info, entries):
    """entries: (name in the wheel, bytes, unix mode); RECORD is added last."""
    record = [record_line(arcname, data) for arcname, data, _ in entries]
    entries = entries + [(dist_info + "/RECORD", ("\n".join(record + [dist_info + "/RECORD,,"]) + "\n").encode(),
                          0o644)]
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as wheel:
        for arcname, data, mode in entries:
            info = zipfile.ZipInfo(arcname, ZIP_TIME)
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)


def pack(module, tag, out, root=ROOT):
    project = load_project(root)
    name = project["name"]
    if not os.path.isfile(module):
        raise PackError("module file not found: " + module)
    if os.path.basename(module).split(".")[0] != name:
        raise PackError("module file %s is not named %s.<suffix>, so it would not import as %s" % (module, name, name))
    tags = expand_tags(tag)
    wheel_name = re.sub(r"[-_.]+", "_", name)
    dist_info = "%s-%s.dist-info" % (wheel_name, project["version"])
    with open(module, "rb") as f:
        entries = [(os.path.basename(module), f.read(), 0o755)]
    for arcname, path in stub_files(root, name):
        with open(path, "rb") as f:
            entries.append((arcname, f.read(), 0o644))
    entries.append((dist_info + "/METADATA", metadata(root, project).encode("utf-8"), 0o644))
    for name, path in license_files(root):
        with open(path, "rb") as f:
            entries.append((dist_info + "/licenses/" + name, f.read(), 0o644))
    entries.append((dist_info + "/WHEEL", wheel_file(tags).encode("utf-8"), 0o644))
    os.makedirs(out, exist_ok=True)
    path = os.path.join(out, "%s-%s-%s.whl" % (wheel_name, project["version"], tag))
    write_wheel(path, dist_info, entries)
    return path


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--module", required=True, help="the built module file")
    parser.add_argument("--tag", required=True, help="compressed tag set, PYTHONS-ABIS-PLATFORMS")
    parser.add_argument("--out", required=True, help="directory for the wheel")
    args = parser.parse_args(argv)
    try:
        print(pack(args.module, args.tag, args.out))
    except (PackError, OSError) as error:
        sys.exit("pack_wheel.py: %s" % error)


if __name__ == "__main__":
    main()
