"""Python code running inside the module's operations: each case below once
crashed, read freed memory or wrote a save that did not load back. Runs under
every interpreter (2.7 included) against one built module, and pytest runs
the same cases (tests/test_reentry.py).

    python reentry.py [seconds for the threaded case]
"""
from __future__ import print_function

import gc
import pickle
import sys
import threading
import time

import zell_dim_1_2_3_4 as zell

STALE = "the climber's node was replaced when the tree was loaded"


def glue_error(call, kind):
    """Runs call(), which must raise pyglue.<kind>; returns the message."""
    try:
        call()
    except zell.PyGlueException as error:
        assert type(error).__name__ == kind, (type(error).__name__, str(error))
        return str(error).split("Unexpected error encountered: ", 1)[1]
    raise AssertionError("no error from %r" % (call,))


class Slow(object):
    """Lets other threads run while it is pickled and unpickled."""

    def __init__(self, v):
        self.v = v
        time.sleep(0)

    def __reduce__(self):
        time.sleep(0)
        return (Slow, (self.v,))


def saves_and_loads_in_two_threads(seconds=2.0):
    """A load in one thread while another saves the same tree."""
    tree = zell.newZell2D(1.0, "d")
    for i in range(64):
        tree.createNodeByCoord([i % 8 + .5, i // 8 + .5]).setData(Slow(i))
    blob = tree.serialize()
    stop = time.time() + seconds
    counts = {"loads": 0, "saves": 0, "failures": []}

    def loader():
        while time.time() < stop:
            try:
                tree.deserialize(blob)
                counts["loads"] += 1
            except Exception as error:  # noqa: BLE001 (counted, then reported)
                counts["failures"].append(repr(error))

    def saver():
        while time.time() < stop:
            try:
                saved = tree.serialize()
                zell.newZell2(1.0).deserialize(saved)
                # The tree always holds what `blob` holds: every save is it.
                if saved != blob:
                    counts["failures"].append("a save differs from the tree saved")
                counts["saves"] += 1
            except Exception as error:  # noqa: BLE001
                counts["failures"].append(repr(error))

    threads = [threading.Thread(target=f) for f in (loader, saver)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not counts["failures"], counts["failures"][:3]
    assert counts["loads"] > 0 and counts["saves"] > 0, counts
    return "%(loads)d loads, %(saves)d saves" % counts


def window_while_the_collector_reloads():
    """A finalizer run during the window's allocations reloads the tree."""
    other = zell.newZell1D(1.0, "new")
    other.createNodeByCoord([1.5]).setData("one")
    other, reloaded = other.serialize(), ["new", "one", "new", "new"]
    inside = 0
    old = gc.get_threshold()
    try:
        for threshold in range(1, 9):
            default = object()
            tree = zell.newZell1D(1.0, default)

            class Bomb(object):
                def __del__(self):
                    tree.deserialize(other)

            gc.collect()
            bomb = Bomb()
            bomb.cycle = bomb
            del bomb
            gc.set_threshold(threshold)
            result = tree.getRange([0.0], [3.0])
            gc.set_threshold(*old)
            # The window of the tree before the reload or after it, never a
            # mix (3.12 on runs the collector only between bytecodes).
            assert result in ([default] * 4, reloaded), result
            inside += result == reloaded
            gc.collect()
    finally:
        gc.set_threshold(*old)
    return "reloaded inside %d of 8 windows" % inside


def save_while_pickling_grows_the_tree():
    """Pickling a payload grows the tree the save is walking."""
    tree = zell.newZell1D(1.0, "dflt")

    class Grow(object):
        def __reduce__(self):
            tree.coordToKey([-5.0])
            return (str, ("p",))

    tree.createNodeByCoord([1.5]).setData(Grow())
    tree.createNodeByCoord([0.5]).setData("at 0.5")
    same = zell.newZell1D(1.0, "dflt")
    same.createNodeByCoord([1.5]).setData("p")
    same.createNodeByCoord([0.5]).setData("at 0.5")
    copy = zell.newZell1(1.0)
    copy.deserialize(tree.serialize())
    assert copy.serialize() == same.serialize()  # the tree as it was when the save began
    assert copy.getNodeByCoord([0.5]).getData() == "at 0.5"
    assert copy.getNodeByCoord([1.5]).getData() == "p"
    assert tree.depth() == 3 and tree.anchor() == [-6.0]
    return "save taken before the growth"


def load_while_pickling_reloads_the_tree():
    """Pickling a payload loads another tree into the tree being saved."""
    tree = zell.newZell2D(1.0, "dflt")
    other = zell.newZell2D(0.5, "other")
    other.createNodeByCoord([9.0, 9.0]).setData("elsewhere")
    replacement = other.serialize()

    class Reload(object):
        def __reduce__(self):
            tree.deserialize(replacement)
            gc.collect()
            return (str, ("reloaded",))

    for i in range(16):
        tree.createNodeByCoord([i % 4 + .5, i // 4 + .5]).setData("cell %d" % i)
    tree.createNodeByCoord([0.5, 0.5]).setData(Reload())
    same = zell.newZell2D(1.0, "dflt")
    for i in range(16):
        same.createNodeByCoord([i % 4 + .5, i // 4 + .5]).setData("cell %d" % i)
    same.createNodeByCoord([0.5, 0.5]).setData("reloaded")
    copy = zell.newZell2(1.0)
    copy.deserialize(tree.serialize())
    assert copy.serialize() == same.serialize()  # the tree as it was when the save began
    assert tree.serialize() == replacement
    return "save of the tree as it was; the load took effect"


def load_while_the_first_pickle_is_made():
    """The first call a save makes into Python (the pickle of None) loads a
    deeper tree into the tree being saved."""
    tree = zell.newZell1D(1.0, "old")
    tree.getClimber().setData("old root")
    before = tree.serialize()
    deep = zell.newZell1D(1.0, "new")
    deep.createNodeByCoord([5.5]).setData("deep")
    replacement = deep.serialize()
    real = pickle.dumps

    def dumps(obj, *args):
        pickle.dumps = real
        tree.deserialize(replacement)
        return real(obj, *args)

    pickle.dumps = dumps
    try:
        saved = tree.serialize()
    finally:
        pickle.dumps = real
    assert saved in (before, replacement)  # one tree or the other, not the header of one and the nodes of the other
    return "save of a whole tree"


def climbers_across_loads_and_growth():
    """Climbers know their nodes by load generation, not by address."""
    tree = zell.newZell1D(1.0, "d")
    root = tree.getClimber()
    tree.deserialize(zell.newZell1D(1.0, "x").serialize())
    tree.coordToKey([5.5])  # the kept root is no longer the root
    assert (root.level(), root.size(), root.getData()) == (0, 1.0, "x")
    root.setData("root")
    assert tree.getNodeByCoord([0.5]).getData() == "root"

    tree = zell.newZell1D(1.0, "d")
    tree.coordToKey([1.5])
    stale = tree.getNodeByCoord([0.5])
    tree.deserialize(zell.newZell1D(1.0, "x").serialize())
    tree.coordToKey([1.5])
    tree.coordToKey([2.5])  # growth may take the freed node's place
    assert glue_error(lambda: stale.setData("oops"), "ValueError") == STALE
    assert tree.getClimber().getData() == "x" and not tree.getClimber().hasData()
    return "kept root followed, stale climber refused"


def windows_place_payloads_at_their_keys():
    """Cell sizes and anchors that are not powers of two."""
    placed = 0
    for size, anchor in [(1e-3, [533.49, -533.49]), (0.3, [0.1, 7.7]), (7.77, [-3.3, 1e6 + 0.1])]:
        tree = zell.newZell2AD(size, anchor, "D")
        lo = [anchor[0] + 0.5 * size, anchor[1] + 0.5 * size]
        hi = [anchor[0] + 40.5 * size, anchor[1] + 30.5 * size]
        tree.coordToKey(lo)
        tree.coordToKey(hi)
        origin = tree.coordToKey(lo)
        for i in range(0, 41, 3):
            for j in range(0, 31, 2):
                point = [anchor[0] + (i + 0.5) * size, anchor[1] + (j + 0.5) * size]
                tree.createNodeByCoord(point).setData(("cell", tuple(tree.coordToKey(point))))
        grid = tree.getRange(lo, hi)
        for i, row in enumerate(grid):
            for j, entry in enumerate(row):
                if entry != "D":
                    assert entry[1] == (origin[0] + i, origin[1] + j), (size, entry, i, j)
                    placed += 1
    # The minimum corner lies inside its cell: that row and column keep the default.
    assert placed == 3 * 13 * 15, placed
    return "%d payloads at their keys" % placed


def trees_that_would_not_load_back_are_refused():
    """Construction and growth refuse a root cell whose upper corner is not finite."""
    assert glue_error(lambda: zell.newZell1A(1e308, [1e308]), "ValueError") == "anchor + minSize must be finite"
    tree = zell.newZell1A(1e307, [1e308])
    saved = tree.serialize()
    message = glue_error(lambda: tree.coordToKey([1.7e308]), "ValueError")
    assert message == "point lies too far away: the tree's extent would not be finite"
    assert tree.serialize() == saved
    copy = zell.newZell1(1.0)
    copy.deserialize(saved)
    return "refused, tree unchanged"


def saves_of_another_dimension_are_refused():
    """A one-coordinate anchor does not load into a quad tree."""
    tree = zell.newZell2D(1.0, "kept")
    saved = tree.serialize()
    message = glue_error(lambda: tree.deserialize(zell.newZell1(1.0).serialize()), "ValueError")
    assert message == "cannot load the tree: the anchor has 1 coordinates, not 2"
    assert tree.serialize() == saved
    return "refused"


def full_windows_at_depth_64():
    """2^64 cells on one axis: out of range, not an empty axis."""
    tree = zell.newZell1AD(1.0, [-1024.0], "d")
    message = glue_error(lambda: tree.getRange([-1024.0], [2.0 ** 64 - 2048]), "RangeDefect")
    assert message == "value out of range" and tree.depth() == 64
    # Inverted by more than 2^63 cells: refused too, not wrapped to a few cells.
    message = glue_error(lambda: tree.getRange([2.0 ** 64 - 4096], [-1024.0]), "RangeDefect")
    assert message == "value out of range"
    return "refused"


CASES = [
    saves_and_loads_in_two_threads,
    window_while_the_collector_reloads,
    save_while_pickling_grows_the_tree,
    load_while_pickling_reloads_the_tree,
    load_while_the_first_pickle_is_made,
    climbers_across_loads_and_growth,
    windows_place_payloads_at_their_keys,
    trees_that_would_not_load_back_are_refused,
    saves_of_another_dimension_are_refused,
    full_windows_at_depth_64,
]


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 2.0
    for case in CASES:
        outcome = case(seconds) if case is saves_and_loads_in_two_threads else case()
        print("%s: %s" % (case.__name__, outcome))
    print("%d re-entry cases passed" % len(CASES))


if __name__ == "__main__":
    main()
