"""Every example runs as it stands and does what it says."""
import os
import subprocess
import sys

import pytest

import zell_dim_1_2_3_4 as zell

EXAMPLES = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples")


def run(name, *args):
    env = dict(os.environ, PYTHONPATH=os.path.dirname(os.path.realpath(zell.__file__)))
    return subprocess.check_output([sys.executable, os.path.join(EXAMPLES, name)] + list(args),
                                   env=env, universal_newlines=True)


def test_tour():
    out = run("tour.py")
    assert "read back: {'hits': 1}" in out
    assert "the copy reads {'hits': 1}" in out
    assert out.rstrip().endswith("AssertionDefect - Unexpected error encountered: zell(134, 9) `childNr < 2'u ^ D`")


def test_voxels_round_trip_through_a_file(tmp_path):
    path = tmp_path / "world.bin"
    out = run("voxels.py", str(path))
    rows = [line.split() for line in out.splitlines()[1:]]
    assert len(rows) == 13 and all(len(row) == 13 for row in rows)
    assert rows[6] == ["#"] * 13  # the ball's equator on the slice through its centre
    assert rows[0].count("#") == 1 and path.stat().st_size > 0


def test_quadtree_picture(tmp_path):
    pytest.importorskip("matplotlib")
    path = tmp_path / "quadtree.png"
    out = run("quadtree_picture.py", str(path))
    assert out.startswith("wrote")
    with open(str(path), "rb") as f:
        assert f.read(8) == b"\x89PNG\r\n\x1a\n"


def test_the_readme_tour_runs_as_written():
    with open(os.path.join(os.path.dirname(EXAMPLES), "README.md")) as f:
        text = f.read()
    tour = text.split("```python\n", 1)[1].split("```", 1)[0]
    scope = {}
    exec(compile(tour, "README.md", "exec"), scope)
    assert scope["copy"].serialize() == scope["saved"]
    assert scope["tree"].getRange([2.5, 1.0], [3.5, 1.0]) == [["empty"], [{"hits": 1}], ["empty"]]
