"""Checks programs against the type stubs with `mypy --strict`: the correct ones (correct.py, and the examples
when they are named) must pass, and misuse.py must be flagged on each line marked "# refused" and nowhere else.
The stubs checked are the repository's (stubs/), whatever is installed.

    python tests/typing/typecheck.py [PROGRAM ...]    # needs mypy; PROGRAMs are checked beside correct.py
"""
import os
import re
import shutil
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
STUBS = os.path.join(ROOT, "stubs", "zell_dim_1_2_3_4-stubs", "__init__.pyi")
CORRECT, MISUSE = os.path.join(HERE, "correct.py"), os.path.join(HERE, "misuse.py")


def mypy_errors(paths):
    """mypy --strict's report on `paths` against the repository's stubs, and {(file, line)} of its errors."""
    from mypy import api

    work = tempfile.mkdtemp()
    try:
        shutil.copy(STUBS, os.path.join(work, "zell_dim_1_2_3_4.pyi"))
        previous = os.environ.get("MYPYPATH")
        os.environ["MYPYPATH"] = work
        try:
            out, err, _ = api.run(["--strict", "--no-incremental", "--cache-dir", os.path.join(work, "cache"),
                                   "--config-file", os.path.join(ROOT, "pyproject.toml")] + list(paths))
        finally:
            if previous is None:
                del os.environ["MYPYPATH"]
            else:
                os.environ["MYPYPATH"] = previous
    finally:
        shutil.rmtree(work)
    found = set()
    for line in out.splitlines():
        match = re.match(r"(.+?):(\d+): error:", line)
        if match:
            found.add((os.path.realpath(match.group(1)), int(match.group(2))))
    return out + err, found


def marked(path):
    """{(file, line)} of the lines of `path` marked as refused."""
    with open(path) as f:
        return set((os.path.realpath(path), number) for number, line in enumerate(f, 1) if "# refused" in line)


def check(programs=()):
    """Problems found, as text; empty when every check passed."""
    problems = []
    report, found = mypy_errors([CORRECT] + list(programs))
    if found:
        problems.append("correct programs flagged:\n" + report)
    report, found = mypy_errors([MISUSE])
    want = marked(MISUSE)
    if found != want:
        problems.append("misuse.py: not flagged on lines %s, flagged on unmarked lines %s:\n%s" % (
            sorted(line for _, line in want - found), sorted(line for _, line in found - want), report))
    return "\n".join(problems)


if __name__ == "__main__":
    problems = check(sys.argv[1:])
    print(problems or "mypy --strict: correct programs pass, every misuse flagged (%d)" % len(marked(MISUSE)))
    sys.exit(1 if problems else 0)
