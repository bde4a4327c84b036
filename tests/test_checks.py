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
from run_compat import throw  # noqa: E402


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


def test_readme_test_command_installs_the_test_extra():
    """The README's test command installs what pyproject.toml's test extra names, no more and no less."""
    import re

    with open(os.path.join(ROOT, "README.md")) as f:
        command = f.read().split("## Run the tests\n", 1)[1].split("```\n", 2)[1]
    with open(os.path.join(ROOT, "pyproject.toml")) as f:
        extra = re.search(r"^test = \[(.*)\]$", f.read(), re.M).group(1)
    installed = command.split("pip install ", 1)[1].split(" && ", 1)[0].replace('"', "").split()
    assert sorted(installed) == sorted(name.strip().strip('"') for name in extra.split(","))


def test_readme_errors_are_what_the_module_raises():
    """Each message of the README's table of errors, raised by the misuse it names as its usual cause."""
    import zell_dim_1_2_3_4 as z

    with open(os.path.join(ROOT, "README.md")) as f:
        table = f.read().split("## Errors\n", 1)[1].split("\n## ", 1)[0]
    tree, plain, holder = z.newZell2D(1.0, 0), z.newZell2(1.0), z.newZell2(1.0)
    holder.getClimber().setData(type("Bad", (), {"__reduce__": lambda self: throw(RuntimeError("x"))})())
    stale, pruned = plain.createNodeByCoord([3.0, 3.0]), tree.createNodeByCoord([3.0, 3.0])
    plain.deserialize(z.newZell2(1.0).serialize())
    tree.prune()
    selfish = z.newZell2(1.0)
    selfish.getClimber().setData(selfish)
    cases = [
        (lambda: tree.coordToKey([1, 2], 3), TypeError, "coordToKey() takes exactly 1 arguments (2 given)"),
        (lambda: tree.coordToKey(point=[1, 2]), TypeError,
         "coordToKey() missing 1 required positional argument: coord"),
        (lambda: tree.coordToKey([1.0]), TypeError, "Cannot convert python object to array[0..1, float]"),
        (lambda: tree.coordToKey(["x", 1]), TypeError, "Cannot convert python object to float"),
        (lambda: tree.keyToCoord([-1, 0]), TypeError, "Cannot convert python object to uint"),
        (lambda: tree.getClimber().climb(1.5), TypeError, "Cannot convert python object to uint8"),
        (lambda: tree.coordsToKeys(memoryview(b"ab")), TypeError,
         "Cannot convert python object to array of shape (N, 2): it has shape (2,)"),
        (lambda: tree.setDataByCoords([[0, 0]], [1, 2]), TypeError,
         "setDataByCoords() takes one payload for each point: 1 point and 2 payloads given"),
        (lambda: tree.deserialize(bytearray(b"x")), TypeError,
         "Can't convert python obj of type 'bytearray' to string"),
        (lambda: tree.coordToKey([float("inf"), 0]), "ValueError", "coordinate must be finite to grow the tree to it"),
        (lambda: tree.coordToKey([1e300, 0]), "ValueError",
         "point lies too far away: the tree would need more than 64 levels"),
        (lambda: tree.getRange([float("nan"), 0], [1, 1]), "ValueError", "window corners must not be NaN"),
        (lambda: z.newZell2(0.0), "ValueError", "minSize must be positive and finite"),
        (lambda: z.newZell2A(1.0, [float("inf"), 0]), "ValueError", "anchor must be finite"),
        (lambda: z.Zell2().depth(), "ValueError", "Zell2 holds no tree"),
        (lambda: z.Zell2Climber().level(), "ValueError", "Zell2Climber holds no tree"),
        (stale.level, "ValueError", "the climber's node was replaced when the tree was loaded"),
        (pruned.level, "ValueError", "the climber's node may have been removed when the tree was pruned"),
        (selfish.serialize, "ValueError",
         "a tree cannot be saved inside its own save: one of its payloads holds the tree"),
        (lambda: tree.deserialize(b"junk"), "ObjectConversionDefect", "openarray"),
        (lambda: tree.deserialize(z.newZell2(1.0).serialize()[:-3]), "IOError", "string len mismatch"),
        (lambda: tree.deserialize(z.newZell3(1.0).serialize()), "IndexDefect", "index 2 not in 0 .. 1"),
        (lambda: plain.getRange([0, 0], [1, 1]), "UnpackDefect", "Can't obtain a value from a `none`"),
        (lambda: tree.getRange([3, 3], [1, 1]), "RangeDefect", "value out of range"),
        (lambda: z.newZell2D(1e-3, 0).getRange([0, 0], [1e6, 1e6]), "OutOfMemDefect",
         "a window of 1000000002000000001 cells does not fit in memory"),
        (lambda: z.newZell2(1.0).getClimber().climb(0), "IndexDefect", "index -1 not in 0 .. 0"),
        (lambda: tree.getClimber().creativeClimb(4), "AssertionDefect", "zell(134, 9) `childNr < 2'u ^ D`"),
        (lambda: z.newZell2(1.0).getClimber().extractData(), "ZellExceptionNoneNode",
         "Cant get data, since it is none"),
        (holder.serialize, "Exception", "<class 'RuntimeError'>: x"),
    ]
    for call, kind, message in cases:
        assert message.split(": x")[0] in table, message
        rc.fails(call, kind, message)


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
