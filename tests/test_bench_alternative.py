"""The benchmark's pure-Python tree (bench/pytree.py) answers like the module.

bench/run.py times the module against that tree, so the tree must do the
same work with the same results: growth, keys, node walks, payloads, range
queries and a save and load, on small random workloads in every dimension.
"""
import os
import sys
import types

import pytest

import zell_dim_1_2_3_4 as zell

PYTREE = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "bench", "pytree.py")


def _load_pytree():
    """bench/ is no package: the file is run as the module bench_pytree,
    registered so that its trees pickle their classes by name."""
    module = types.ModuleType("bench_pytree")
    module.__file__ = PYTREE
    sys.modules[module.__name__] = module
    with open(PYTREE) as f:
        exec(compile(f.read(), PYTREE, "exec"), module.__dict__)
    return module


pytree = _load_pytree()


@pytest.mark.parametrize("seed", [0, 1, 2])
@pytest.mark.parametrize("dims", [1, 2, 3, 4])
def test_random_workload_agrees(dims, seed):
    nodes = pytree.check_agreement(zell, dims, seed=seed, steps=300)
    assert nodes > 1


def test_a_difference_is_caught():
    """The check is not vacuous: a tree that reads key bits in the wrong
    order is refused."""

    class Swapped(pytree.PyTree):
        __slots__ = ()

        def keyOf(self, p):
            return super(Swapped, self).keyOf(p)[::-1]

    original = pytree.PyTree
    pytree.PyTree = Swapped
    try:
        with pytest.raises(pytree.Disagreement):
            pytree.check_agreement(zell, 2, seed=0, steps=300)
    finally:
        pytree.PyTree = original


def test_range_window_rules():
    """The closed-box rule at both corners, the default elsewhere, and
    payloads above level 0 never read."""
    ours, mine = zell.newZell2D(1.0, "d"), pytree.PyTree(2, 1.0, default="d")
    for tree in (ours, mine):
        tree.createNodeByCoord([0.5, 0.5]).setData("first")
        tree.createNodeByCoord([3.5, 2.5]).setData("last")
        tree.createNodeByCoord([2.5, 2.5], 1).setData("above")
    for lo, hi in (([0.0, 0.0], [3.0, 2.0]), ([0.25, 0.0], [3.9, 2.9]), ([1.0, 1.0], [1.0, 1.0])):
        assert mine.getRange(lo, hi) == ours.getRange(lo, hi)
    assert mine.getRange([0.0, 0.0], [3.0, 2.0])[0][0] == "first"
    assert mine.getRange([0.25, 0.0], [3.9, 2.9])[0][0] == "d"


def test_save_and_load_keeps_payloads_and_absence():
    mine = pytree.PyTree(3, 0.5, [1.0, -2.0, 0.5], default=7)
    mine.createNodeByCoord([1.2, -1.1, 0.9]).setData(None)
    mine.createNodeByCoord([3.0, 4.0, 5.0]).setData((1, "x"))
    loaded = pytree.PyTree(3, 1.0)
    loaded.deserialize(mine.serialize())
    assert loaded.anchor() == mine.anchor() and loaded.depth() == mine.depth()
    assert loaded.countNodes() == mine.countNodes()
    a = loaded.getNodeByCoord([1.2, -1.1, 0.9])
    assert a.hasData() and a.getData() is None
    assert loaded.getNodeByCoord([3.0, 4.0, 5.0]).getData() == (1, "x")
    b = loaded.getNodeByCoord([1.9, -1.9, 0.6])
    assert not b.hasData() and b.getData() == 7
