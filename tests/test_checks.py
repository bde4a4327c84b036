"""The checks and re-entry cases every interpreter runs (tests/compat), msgpack
reading what the module writes, and the examples and the README's tour run
as they stand."""
import ast
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


def literal_before_words(comment):
    """The value a comment starts with, as `[6, 2]: the cell` or `'a'` does, else None."""
    ends = [len(comment)] + [i for i in range(len(comment), 0, -1) if comment.startswith(": ", i)]
    for end in ends:
        try:
            return ast.literal_eval(comment[:end].strip())
        except (ValueError, SyntaxError):
            pass
    return None


def run_tour(path):
    """Runs the first Python block of a guide line by line; a line `expression  # value: words` must give
    that value, wherever the comment starts with one."""
    with open(os.path.join(ROOT, path)) as f:
        block = f.read().split("```python\n", 1)[1].split("```", 1)[0]
    names, statement, checked = {}, "", 0
    for number, line in enumerate(block.splitlines(), 1):
        code, _, comment = line.partition("  # ")
        statement += code + "\n"
        try:
            compiled = compile(statement, path, "exec")
        except SyntaxError:  # a statement that goes on
            continue
        expected = literal_before_words(comment)
        if expected is not None and isinstance(ast.parse(statement).body[-1], ast.Expr) and "\n" not in code:
            assert eval(code, names) == expected, (path, number, line)
            checked += 1
        else:
            exec(compiled, names)
        statement = ""
    return checked


def test_tour_and_guides():
    out = subprocess.check_output([sys.executable, os.path.join(ROOT, "examples", "tour.py")], universal_newlines=True)
    assert "read back: {'hits': 1}" in out and out.rstrip().endswith("`childNr < 2'u ^ D`"), out
    assert run_tour("README.md") >= 13 and run_tour("DESCRIPTION.md") >= 5


@pytest.mark.skipif(not hasattr(sys, "gettotalrefcount"), reason="only a debug interpreter counts every reference")
def test_total_reference_count_stays_flat():
    """Each instance starts its life as the interpreter's own objects do: a debug build's total count of
    references is where it was once 10^5 trees, climbers, iterators and empty objects have come and gone."""
    import gc

    import zell_dim_1_2_3_4 as z

    def make_and_drop(rounds):
        for _ in range(rounds):
            tree = z.newZell2(1.0)
            climber = tree.getClimber().climbClone(0) if tree.depth() else tree.getClimber()
            items, empty = tree.items(), z.Zell3Climber()
            del tree, climber, items, empty

    make_and_drop(100)  # caches of the interpreter and the module filled
    gc.collect()
    before = sys.gettotalrefcount()
    make_and_drop(25000)
    gc.collect()
    assert abs(sys.gettotalrefcount() - before) < 100
