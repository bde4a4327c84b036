"""The checks and re-entry cases every interpreter runs (tests/compat), msgpack
reading what the module writes, and the examples and the README's tour run
as they stand."""
import os
import subprocess
import sys

import msgpack
import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "compat"))
import reentry  # noqa: E402
import run_compat as rc  # noqa: E402


@pytest.mark.parametrize("case", rc.CHECKS + reentry.CASES, ids=lambda case: case.__name__)
def test_case(case):
    case()


def test_msgpack_reads_what_the_module_writes():
    assert all(msgpack.unpackb(t.serialize(), raw=True) == rc.record(t) for t in map(rc.sample_tree, rc.DIMS))


def test_tour_and_readme():
    out = subprocess.check_output([sys.executable, os.path.join(ROOT, "examples", "tour.py")], universal_newlines=True)
    assert "read back: {'hits': 1}" in out and out.rstrip().endswith("`childNr < 2'u ^ D`"), out
    with open(os.path.join(ROOT, "README.md")) as f:  # the README's tour, too
        exec(compile(f.read().split("```python\n", 1)[1].split("```", 1)[0], "README.md", "exec"), {})
