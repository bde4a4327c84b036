"""Python code inside the module's operations: finalizers, pickling hooks,
signal handlers and other threads reach the tree mid-operation."""
import gc
import os
import signal
import sys

import pytest

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, ctor, raises_glue

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "compat"))
import reentry  # noqa: E402  (the cases every interpreter runs)


@pytest.mark.parametrize("case", reentry.CASES, ids=[c.__name__ for c in reentry.CASES])
def test_reproducers(case):
    case(1.0) if case is reentry.saves_and_loads_in_two_threads else case()


def test_kept_root_must_be_kept_by_every_load():
    # Loads keep the root; growth between loads lets a later load keep another node, and
    # storage may give the node the climber stood on to a new root in the meantime.
    tree, blob = zell.newZell1D(1.0, "d"), zell.newZell1D(1.0, "x").serialize()
    on_root = tree.getClimber()
    tree.deserialize(blob)
    tree.coordToKey([1.5])
    tree.deserialize(blob)  # keeps the grown root; the first one is let go
    tree.coordToKey([3.5])  # two new roots: the pool hands back the blocks just freed
    tree.deserialize(blob)
    with raises_glue("ValueError", reentry.STALE):
        on_root.setData("lost")
    assert not tree.getClimber().hasData()
    kept = tree.getClimber()
    for _ in range(3):
        tree.deserialize(blob)
    kept.setData("kept")
    assert (kept.level(), tree.getNodeByCoord([0.5]).getData()) == (0, "kept")


class Reduce(object):
    def __init__(self, action):
        self.action = action

    def __reduce__(self):
        return self.action()


# Run when a payload is unpickled: what the test in progress put here.
ON_UNPICKLE = []


def unpickled(value):
    ON_UNPICKLE[-1]()
    return value


def test_errors_that_are_no_exceptions_pass_unchanged():
    tree = zell.newZell2(1.0)
    tree.getClimber().setData(Reduce(lambda: sys.exit(3)))
    with pytest.raises(SystemExit) as info:
        tree.serialize()
    assert info.value.code == 3

    source = zell.newZell2D(1.0, "d")
    source.getClimber().setData(Reduce(lambda: (unpickled, ("x",))))
    saved, tree = source.serialize(), zell.newZell2(1.0)
    before = tree.serialize()
    ON_UNPICKLE.append(ctrl_c)
    with pytest.raises(KeyboardInterrupt):
        tree.deserialize(saved)
    assert tree.serialize() == before

    class Interrupting(object):
        def __float__(self):
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):  # not a conversion error
        tree.coordToKey([Interrupting(), 0.5])


@pytest.fixture
def alarm():
    """Arms a one-shot SIGALRM whose handler runs `handler` while the next operation runs."""
    old = signal.getsignal(signal.SIGALRM)

    def arm(handler, delay=0.001):
        signal.signal(signal.SIGALRM, lambda *_: handler())
        signal.setitimer(signal.ITIMER_REAL, delay)

    yield arm
    signal.setitimer(signal.ITIMER_REAL, 0)
    signal.signal(signal.SIGALRM, old)


def ctrl_c():
    raise KeyboardInterrupt


def big_tree(cells, payload):
    tree = zell.newZell2D(1.0, "d")
    tree.coordToKey([4999.0, 4999.0])
    for x in range(cells):
        for y in range(cells):
            tree.createNodeByCoord([x + 0.5, y + 0.5]).setData(payload)
    return tree


def test_long_operations_answer_ctrl_c(alarm):
    # None payloads are saved and loaded without calling Python: only the module's own
    # checks for signals can stop these operations while they run.
    tree = big_tree(640, None)
    saved = tree.serialize()
    other = zell.newZell2(1.0)
    before = other.serialize()
    for operation in (lambda: tree.getRange([0.0, 0.0], [4999.0, 4999.0]), tree.serialize,
                      lambda: other.deserialize(saved)):
        alarm(ctrl_c)
        with pytest.raises(KeyboardInterrupt):
            operation()
        alarm(lambda: None, 0)
        assert other.serialize() == before and tree.serialize() == saved

    def timeout():
        raise ValueError("the program's own timeout")

    alarm(timeout)  # what a handler raises reaches the caller as it is
    with pytest.raises(ValueError, match="^the program's own timeout$"):
        other.deserialize(saved)
    assert other.serialize() == before


def test_signal_handlers_that_reload_the_tree_mid_walk(alarm):
    blob = big_tree(200, "old").serialize()
    tree, replacement = zell.newZell2(1.0), zell.newZell2D(1.0, "new")
    replacement.coordToKey([4999.0, 4999.0])
    replacement = replacement.serialize()
    for delay in (0.0005, 0.002, 0.01):
        tree.deserialize(blob)
        alarm(lambda: tree.deserialize(replacement), delay)
        grid = tree.getRange([0.0, 0.0], [1999.0, 1999.0])
        # The window of the tree before the reload or after it, never a mix.
        assert set(e for row in grid for e in row) in ({"old", "d"}, {"new"})
        tree.deserialize(blob)
        saved_before = tree.serialize()
        alarm(lambda: tree.deserialize(replacement), delay)
        assert tree.serialize() in (saved_before, replacement)


def test_references_on_the_pickle_of_none():
    # Loading recognises the pickle of None without calling Python; each node still owns one
    # reference to None (the count is visible before 3.12, where None became immortal).
    tree = ctor(3)(1.0)
    for i in range(4000):
        tree.createNodeByCoord([i % 16 + 0.5, i // 16 % 16 + 0.5, i // 256 + 0.5]).setData(None)
    saved = tree.serialize()
    gc.collect()
    count = sys.getrefcount(None)
    copies = [ctor(3)(1.0) for _ in range(3)]
    for copy in copies:
        copy.deserialize(saved)
    del copies, copy
    gc.collect()
    assert abs(sys.getrefcount(None) - count) < 100


def test_windows_beyond_memory_are_refused_before_anything_is_built():
    tree = zell.newZell3D(1.0, "d")
    cells = 2**20 * 2**20 * 2**20
    with raises_glue("OutOfMemDefect", "a window of %d cells does not fit in memory" % cells):
        tree.getRange([0.0] * 3, [2.0**20 - 1] * 3)


@pytest.mark.parametrize("dims", DIMS)
def test_conversion_takes_every_element_before_converting_any(dims):
    point = []

    class Shrinking(object):
        def __float__(self):
            del point[:]  # the list empties while it is being read
            return 2.5

    point.extend([Shrinking()] + [0.5] * (dims - 1))
    tree = ctor(dims)(1.0)
    assert tree.coordToKey(point) == [2] + [0] * (dims - 1) and point == []


def test_a_load_into_an_empty_object_meeting_another_load():
    empty, inner = zell.Zell1(), zell.newZell1D(1.0, "inner").serialize()
    ON_UNPICKLE.append(lambda: empty.deserialize(inner))
    outer = zell.newZell1(1.0)
    outer.getClimber().setData(Reduce(lambda: (unpickled, ("x",))))
    with raises_glue("ValueError", "another load gave this object a tree while this one was read"):
        empty.deserialize(outer.serialize())
    assert empty.serialize() == inner


def test_a_payload_that_removes_itself_while_it_is_pickled():
    tree = zell.newZell1D(1.0, "d")
    leaf = tree.createNodeByCoord([0.5])
    leaf.setData(Reduce(lambda: (leaf.extractData(), (str, ("p",)))[1]))
    copy = zell.newZell1(1.0)
    copy.deserialize(tree.serialize())  # the tree as the save met it
    assert copy.getNodeByCoord([0.5]).getData() == "p" and not leaf.hasData()


def test_finalizers_run_by_set_data_may_reload_the_tree():
    tree, blob = zell.newZell2D(1.0, "d"), zell.newZell2D(1.0, "x").serialize()
    leaf = tree.createNodeByCoord([3.5, 3.5])

    class Reloads(object):
        def __del__(self):
            tree.deserialize(blob)

    leaf.setData(Reloads())
    leaf.setData("replaced")  # the finalizer detaches the node mid-call
    with raises_glue("ValueError", reentry.STALE):
        leaf.getData()
    assert tree.serialize() == blob


def test_unpickling_that_reloads_the_tree_being_read():
    tree = zell.newZell1D(1.0, "d")
    blob = zell.newZell1D(1.0, "other").serialize()
    ON_UNPICKLE.append(lambda: tree.deserialize(blob))
    source = zell.newZell1D(1.0, "d")
    source.createNodeByCoord([2.5]).setData(Reduce(lambda: (unpickled, ("loaded",))))
    tree.deserialize(source.serialize())  # the outer load commits last
    assert tree.getNodeByCoord([2.5]).getData() == "loaded"
