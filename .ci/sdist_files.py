"""Compares an sdist's files with the repository's: it must hold exactly the
files `git ls-files` lists under the entries of pyproject.toml's
sdist.include (each a tracked file, "/NAME", or folder, "/NAME/"), less
those sdist.exclude names, and PKG-INFO. Anything else (an example's
output, a developer's scratch file, a build product) is refused, and so is
a needed file left out.

    python3 .ci/sdist_files.py SDIST
"""

import fnmatch
import os
import subprocess
import sys
import tarfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
GENERATED = {"PKG-INFO"}  # written by the build backend


def rules(root=ROOT):
    """The include and exclude entries of pyproject.toml's sdist settings."""
    import tomllib  # Python 3.11 or later, as CI's

    with open(os.path.join(root, "pyproject.toml"), "rb") as f:
        sdist = tomllib.load(f)["tool"]["scikit-build"]["sdist"]
    assert sdist.get("inclusion-mode") == "explicit", "the sdist must list what it holds"
    for entry in sdist["include"]:
        assert entry.startswith("/") and "*" not in entry, "an include entry is a tracked file or folder: " + entry
    return sdist["include"], sdist.get("exclude", [])


def included(path, include, exclude):
    """Whether `path` (relative, with slashes) falls under an include entry and no exclude entry."""
    if not any(path == entry[1:] or entry.endswith("/") and path.startswith(entry[1:]) for entry in include):
        return False
    for pattern in exclude:
        if pattern.startswith("/"):
            hit = path.startswith(pattern[1:]) if pattern.endswith("/") else path == pattern[1:]
        elif pattern.endswith("/"):
            hit = pattern[:-1] in path.split("/")[:-1]
        else:
            hit = fnmatch.fnmatch(os.path.basename(path), pattern)
        if hit:
            return False
    return True


def expected(root=ROOT):
    include, exclude = rules(root)
    tracked = subprocess.check_output(["git", "ls-files", "-z"], cwd=root).decode().split("\0")
    return set(path for path in tracked if path and included(path, include, exclude)) | GENERATED


def held(sdist):
    """The files of an sdist, without the NAME-VERSION/ folder they sit in."""
    with tarfile.open(sdist) as archive:
        names = [member.name for member in archive.getmembers() if member.isfile()]
    prefixes = set(name.split("/", 1)[0] for name in names)
    assert len(prefixes) == 1 and all("/" in name for name in names), "files outside one top folder: %s" % prefixes
    return set(name.split("/", 1)[1] for name in names)


def main(sdist):
    want, have = expected(), held(sdist)
    extra, missing = sorted(have - want), sorted(want - have)
    for path in extra:
        print("FAIL: the sdist holds %s, which the repository does not track under sdist.include" % path)
    for path in missing:
        print("FAIL: the sdist lacks %s" % path)
    if extra or missing:
        sys.exit(1)
    print("%s: its %d files are the tracked files sdist.include names, and PKG-INFO" % (
        os.path.basename(sdist), len(have)))


if __name__ == "__main__":
    main(sys.argv[1])
