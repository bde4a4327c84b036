import gc
import sys

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, RANDOM_TREES, ctor, random_tree_and_model, raises_glue, state, type_error
from model import ABSENT, CHILD_NR, NO_VALUE, NativeError

NONE_NODE = "Cant get data, since it is none"
CLIMBER_METHODS = ["level", "dimensions", "size", "climb", "creativeClimb", "climbClone", "creativeClimbClone",
                   "getData", "setData", "extractData", "hasData", "hasChildren"]


def index_message(depth):
    return "index -1 not in 0 .. %d" % depth


def climbs(c):
    return [c.climb, c.creativeClimb, c.climbClone, c.creativeClimbClone]


@pytest.mark.parametrize("dims", DIMS)
def test_climber_on_a_single_cell(dims):
    cls = getattr(zell, "Zell%dClimber" % dims)
    assert [m for m in vars(cls) if not m.startswith("__")] == CLIMBER_METHODS
    tree = ctor(dims)(0.5)
    c = tree.getClimber()
    assert type(c) is cls
    assert (c.level(), c.dimensions(), c.size(), c.hasChildren(), c.hasData(), c.getData()) == (0, dims, 0.5,
                                                                                             False, False, None)
    # the child number is checked first, then the level; level 0 never gets children
    for nr, kind, message in [(0, "IndexDefect", index_message(0)), (2**dims - 1, "IndexDefect", index_message(0)),
                              (256, "IndexDefect", index_message(0)), (2**dims, "AssertionDefect", CHILD_NR),
                              (-1, "AssertionDefect", CHILD_NR), (256 + 2**dims, "AssertionDefect", CHILD_NR)]:
        for method in climbs(c):
            with raises_glue(kind, message):
                method(nr)
    for method in climbs(c):
        for bad in ("a", None, [1]):
            with type_error("Cannot convert python object to uint8"):
                method(bad)
    with type_error("climb() takes exactly 1 arguments (0 given)"):
        c.climb()
    assert (c.level(), c.hasChildren(), tree.depth()) == (0, False, 0)


@pytest.mark.parametrize("dims", DIMS)
def test_failed_climbs_leave_the_climber_as_it_was(dims):
    tree, top, bad = ctor(dims)(1.0), 2**dims - 1, 2**dims
    tree.coordToKey([3.5] * dims)  # depth 2: only the root and its child 0 have children
    c, kept = tree.getClimber(), tree.getClimber().climbClone(top)
    c.climb(childNr=top)  # level 1, corner 2 on every axis, no children
    mark = object()
    c.setData(mark)
    assert tree.getNodeByCoord([2.0] * dims, 1).getData() is mark

    def unchanged(children):
        assert (c.level(), c.size(), c.getData() is mark, c.hasChildren()) == (1, 2.0, True, children)

    for call, kind, message in [(lambda: c.climb(0), "UnpackDefect", NO_VALUE),
                                (lambda: c.climbClone(top), "UnpackDefect", NO_VALUE),
                                (lambda: c.climb(bad), "AssertionDefect", CHILD_NR),
                                (lambda: c.climbClone(255), "AssertionDefect", CHILD_NR)]:
        with raises_glue(kind, message):
            call()
        unchanged(False)
    # a bad child number still leaves the full child set behind
    with raises_glue("AssertionDefect", CHILD_NR):
        c.creativeClimb(bad)
    unchanged(True)
    assert kept.hasChildren()
    with raises_glue("AssertionDefect", CHILD_NR):
        c.creativeClimbClone(-1)
    unchanged(True)
    # child nr sets bit i of the corner on axis i; 256 + nr is nr
    for nr in range(2**dims):
        child, payload = c.climbClone(256 + nr), object()
        assert (child.level(), child.size(), child.hasData(), child.hasChildren()) == (0, 1.0, False, False)
        child.setData(payload)
        corner = [2.0 + ((nr >> i) & 1) for i in range(dims)]
        assert tree.getNodeByCoord(corner, 0).getData() is payload is c.climbClone(nr).getData()
        with raises_glue("IndexDefect", index_message(2)):
            child.creativeClimb(0)
        assert not child.hasChildren() and child.getData() is payload
    unchanged(True)


@pytest.mark.parametrize("has_default", [False, True])
def test_payloads_and_reference_counts(has_default):
    payload, other, default = [1], {"other": 1}, object()
    counts = lambda: [sys.getrefcount(o) for o in (payload, other, default)]  # noqa: E731
    start = counts()
    tree = zell.newZell3D(1.0, default) if has_default else zell.newZell3(1.0)
    tree.coordToKey([1.5] * 3)
    a, b = tree.createNodeByCoord([0.5] * 3), tree.getNodeByCoord([0.5] * 3)
    fallback = default if has_default else None
    held = 2 if has_default else 0  # the tree's default cell and `fallback`
    # pytest keeps the operands of a failing assert alive: counts are taken on their own
    assert counts() == [start[0], start[1], start[2] + held]
    assert a.getData() is fallback and not a.hasData()
    for _ in range(2):
        with raises_glue("ZellExceptionNoneNode", NONE_NODE):
            a.extractData()
    assert (a.getData() is fallback, a.hasData(), b.getData() is fallback) == (True, False, True)
    a.setData(payload)
    payload.append(2)  # stored as itself, not a copy
    assert counts()[0] == start[0] + 1
    assert b.getData() is payload and b.hasData()
    a.setData(payload)
    b.setData(other)
    assert counts()[:2] == [start[0], start[1] + 1]
    assert a.getData() is other
    b.setData(None)
    assert (a.hasData(), a.getData()) == (True, None)
    b.setData(payload)
    assert a.extractData() is payload and not b.hasData()
    assert counts()[0] == start[0]
    with raises_glue("ZellExceptionNoneNode", NONE_NODE):
        b.extractData()
    b.setData(other)
    for call, kind in [(lambda: a.climb(0), "IndexDefect"), (lambda: a.creativeClimbClone(9), "AssertionDefect")]:
        with raises_glue(kind):
            call()
    assert counts() == [start[0], start[1] + 1, start[2] + held]
    del a, b, tree, fallback
    gc.collect()
    assert counts() == start


@pytest.mark.parametrize("dims", DIMS)
def test_climbers_outlive_tree_and_growth(dims):
    top, mark, payload = 2**dims - 1, object(), object()
    start = sys.getrefcount(payload)
    tree = ctor(dims)(1.0)
    old = tree.getClimber()
    old.setData(mark)
    tree.coordToKey([-2.5] * dims)  # two steps down: the old root ends at index top twice
    assert (old.level(), old.size(), old.getData() is mark, state(tree)) == (0, 1.0, True, ([-3.0] * dims, 2, 4.0))
    assert tree.getClimber().climbClone(top).climbClone(top).getData() is mark
    c = tree.getClimber()
    del tree
    gc.collect()
    c.creativeClimb(0)
    c.creativeClimb(top)  # creates the child set of a fresh level-1 node
    c.setData(payload)
    assert sys.getrefcount(payload) == start + 1
    assert c.level() == 0 and c.getData() is payload
    assert old.getData() is mark
    del c
    gc.collect()
    assert sys.getrefcount(payload) == start + 1  # still held by the tree that `old` keeps alive
    del old
    gc.collect()
    assert sys.getrefcount(payload) == start


@pytest.mark.parametrize("dims", DIMS)
def test_climber_made_by_calling_the_class(dims):
    c = getattr(zell, "Zell%dClimber" % dims)()
    assert c.dimensions() == dims
    for name in CLIMBER_METHODS:
        if name != "dimensions":
            args = [] if name in ("level", "size", "getData", "extractData", "hasData", "hasChildren") else [0]
            with raises_glue("ValueError", "Zell%dClimber holds no tree" % dims):
                getattr(c, name)(*args)


# Random operations against the node model ----------------------------------

def expect(native, modelled):
    """Runs both sides; a modelled native error must be raised exactly."""
    try:
        expected = modelled()
    except NativeError as error:
        with raises_glue(error.kind, error.message):
            native()
        return None, None
    return native(), expected


def assert_same(c, m):
    assert (c.level(), c.size(), c.hasData(), c.hasChildren()) == (m.level, m.size, m.node.data is not ABSENT,
                                                                   m.node.children is not None)
    assert c.getData() is m.get_data()


def assert_same_subtree(c, m):
    assert_same(c, m)
    if m.node.children is not None:
        for nr in range(len(m.node.children)):
            child = m.clone()
            child.climb(nr)
            assert_same_subtree(c.climbClone(nr), child)


@settings(max_examples=150, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(data=st.data(), **RANDOM_TREES)
def test_matches_structure_model(dims, m, has_default, data):
    tree, model = random_tree_and_model(dims, m, has_default, data)
    pairs = [(tree.getClimber(), model.climber())]
    coord = st.integers(-48, 48).map(lambda k: k * m / 4)
    points = st.lists(coord, min_size=dims, max_size=dims)
    child_nrs = st.one_of(st.integers(0, 2**dims - 1), st.sampled_from([2**dims, 255, 256, 257]))
    levels, span = st.sampled_from([0, 0, 1, 2, 5, 2**64 - 1]), 16 if dims <= 2 else 8
    for _ in range(data.draw(st.integers(1, 25))):
        op = data.draw(st.sampled_from(["walk", "walk", "grow", "root", "climb", "climb", "set", "extract", "range"]))
        c, cm = pairs[data.draw(st.integers(0, len(pairs) - 1))]
        if op == "walk":
            p, level, create = data.draw(points), data.draw(levels), data.draw(st.booleans())
            by = data.draw(st.sampled_from(["Key", "Coord"]))
            method = getattr(tree, ("createNodeBy" if create else "getNodeBy") + by)
            pairs.append((method(p, level), model.walk(p, level, create)))
        elif op == "grow":
            p = data.draw(points)
            assert tree.coordToKey(p) == model.coord_to_key(p)
        elif op == "root":
            pairs.append((tree.getClimber(), model.climber()))
        elif op == "climb":
            nr, create, clone = data.draw(child_nrs), data.draw(st.booleans()), data.draw(st.booleans())
            name = ("creativeClimb" if create else "climb") + ("Clone" if clone else "")
            target = cm.clone() if clone else cm
            got, _ = expect(lambda: getattr(c, name)(nr), lambda: target.climb(nr, create))
            if clone and got is not None:
                pairs.append((got, target))
        elif op == "set":
            obj = data.draw(st.sampled_from([None, object()]))
            c.setData(obj)
            cm.node.data = obj
        elif op == "extract":
            got, expected = expect(c.extractData, cm.extract_data)
            assert got is expected
        else:
            lo = data.draw(points)
            hi = [x + data.draw(st.integers(-6, span)) * m / 4 for x in lo]
            got, expected = expect(lambda: tree.getRange(lo, hi), lambda: model.range(lo, hi))
            assert got == expected
        assert state(tree) == model.state()
        for c, cm in pairs:
            assert_same(c, cm)
    assert_same_subtree(tree.getClimber(), model.climber())
