import gc
import sys

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, RANDOM_TREES, ctor, random_tree_and_model, raises_glue, state
from model import NO_VALUE, OUT_OF_RANGE, NativeError


def entries(grid, dims, lists=None):
    """The innermost entries in order; checks that every list is a list of its own."""
    lists = [] if lists is None else lists
    assert type(grid) is list and all(grid is not seen for seen in lists)
    lists.append(grid)
    if dims == 1:
        return list(grid)
    return [e for inner in grid for e in entries(inner, dims - 1, lists)]


@settings(max_examples=200, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(data=st.data(), **RANDOM_TREES)
def test_matches_cell_by_cell_lookup(dims, m, has_default, data):
    tree, model = random_tree_and_model(dims, m, has_default, data)
    points = st.lists(st.integers(-24, 24).map(lambda k: k * m / 4), min_size=dims, max_size=dims)
    for _ in range(data.draw(st.integers(0, 12))):
        p, level, payload = data.draw(points), data.draw(st.sampled_from([0, 0, 0, 1])), object()
        tree.createNodeByCoord(p, level).setData(payload)
        model.walk(p, level, create=True).node.data = payload
    span = 16 if dims <= 2 else 8
    for _ in range(data.draw(st.integers(1, 3))):
        lo = data.draw(points)
        hi = [x + data.draw(st.integers(-9, span)) * m / 4 for x in lo]
        try:
            expected = model.range(lo, hi)
        except NativeError as error:
            with raises_glue(error.kind, error.message):
                tree.getRange(lo, hi)
        else:
            got = tree.getRange(lo, hi)
            assert got == expected
            entries(got, dims)
        assert state(tree) == model.state()


@pytest.mark.parametrize("size, offset", [(1e-3, 533.49), (0.3, 0.1), (7.77, -1e6 - 0.3)])
@pytest.mark.parametrize("dims", DIMS)
def test_payloads_sit_at_their_keys(dims, size, offset):
    # Every payload names its own key: its grid index must be that key minus the origin's.
    tree = ctor(dims, "AD")(size, [offset * (i + 1) for i in range(dims)], "D")
    lo = [a + 0.5 * size for a in tree.anchor()]
    span = [40, 9, 5, 3][dims - 1]
    hi = [a + span * size for a in lo]
    tree.coordToKey(hi)
    expected = 0
    for n in range(0, (span + 1) ** dims, 2):
        cell = [n // (span + 1) ** i % (span + 1) for i in range(dims)]
        point = [a + (c + 0.25) * size for a, c in zip(lo, cell)]
        key = tree.coordToKey(point)
        tree.createNodeByCoord(point).setData(tuple(key))
        expected += all(c > 0 for c in cell)  # the minimum corner's own cell is not taken
    origin = tree.coordToKey(lo)
    placed = [(index, e) for index, e in cells(tree.getRange(lo, hi), dims) if e != "D"]
    assert len(placed) == expected
    assert all(e == tuple(o + i for o, i in zip(origin, index)) for index, e in placed)


def cells(grid, dims, prefix=()):
    """(index, entry) for every innermost entry."""
    for i, entry in enumerate(grid):
        if dims == 1:
            yield prefix + (i,), entry
        else:
            yield from cells(entry, dims - 1, prefix + (i,))


def nested(value, dims):
    for _ in range(dims):
        value = [value]
    return value


@pytest.mark.parametrize("dims", DIMS)
def test_window_examples(dims):
    d, x, y, z = object(), object(), object(), object()
    tree = ctor(dims, "D")(1.0, d)
    tree.createNodeByCoord([1.0] * dims).setData(x)
    tree.createNodeByCoord([3.0] * dims).setData(y)
    tree.createNodeByCoord([2.0] * dims, 1).setData(z)  # above level 0: never reported
    assert tree.getRange([1.0] * dims, [1.9] * dims) == nested(x, dims)
    assert tree.getRange(minCornerCoords=[3.5] * dims, maxCornerCoords=[3.5] * dims) == nested(d, dims)
    # corners on cell boundaries: the cells they touch are in, k + 1 entries per axis
    on_bounds = entries(tree.getRange([1.0] * dims, [3.0] * dims), dims)
    assert on_bounds == [x] + [d] * (3**dims - 2) + [y]
    # a minimum corner strictly inside x's cell leaves that cell out; a maximum inside y's keeps it
    assert entries(tree.getRange([1.5] * dims, [3.5] * dims), dims) == [d] * (3**dims - 1) + [y]
    assert entries(tree.getRange([0.0] * dims, [3.99] * dims), dims).count(z) == 0
    assert state(tree) == ([0.0] * dims, 2, 4.0)


@pytest.mark.parametrize("dims", DIMS)
def test_empty_and_inverted_windows(dims):
    tree = ctor(dims)(1.0)
    tree.coordToKey([3.5] * dims)
    rest = [[0.0, 3.5][i % 2] for i in range(dims - 1)]
    assert tree.getRange([2.0] + rest, [1.5] + rest[::-1]) == []  # extent 0 needs no default
    for hi in (0.5, 0.0, -7.0):
        with raises_glue("RangeDefect", OUT_OF_RANGE):
            tree.getRange([2.0] + rest, [hi] + rest)
    with raises_glue("UnpackDefect", NO_VALUE):
        tree.getRange([0.5] * dims, [0.5] * dims)
    if dims > 1:
        assert tree.getRange([0.0, 2.0] + rest[1:], [2.0, 1.0] + rest[1:]) == [[], [], []]
        with raises_glue("RangeDefect", OUT_OF_RANGE):
            tree.getRange([0.0, 2.0] + rest[1:], [2.0, 0.9] + rest[1:])
    assert state(tree) == ([-12.0] + [0.0] * (dims - 1), 4, 16.0)


@pytest.mark.parametrize("dims", DIMS)
def test_root_without_children(dims):
    d, x = object(), object()
    tree = ctor(dims, "D")(1.0, d)
    assert tree.getRange([0.25] * dims, [0.75] * dims) == nested(d, dims)
    tree.getClimber().setData(x)
    assert tree.getRange([0.0] * dims, [0.5] * dims) == nested(x, dims)
    assert tree.getRange([0.5] * dims, [0.5] * dims) == nested(d, dims)
    bare = ctor(dims)(1.0)
    bare.getClimber().setData(x)
    with raises_glue("UnpackDefect", NO_VALUE):
        bare.getRange([0.0] * dims, [0.0] * dims)


def test_reference_counts_and_windows_too_large():
    d, x, y = object(), object(), object()
    counts = lambda: [sys.getrefcount(o) for o in (d, x, y)]  # noqa: E731
    start = counts()
    tree = zell.newZell3D(1.0, d)
    tree.createNodeByCoord([1.0, 0.0, 0.0]).setData(x)
    tree.createNodeByCoord([3.0, 3.0, 3.0], 1).setData(y)
    held = counts()
    assert held == [n + 1 for n in start]
    result = tree.getRange([0.0] * 3, [3.0] * 3)
    flat = entries(result, 3)
    assert [flat.count(o) for o in (d, x, y)] == [63, 1, 0]
    del flat, result
    assert counts() == held
    for lo, hi in [([0.0, 0.0, 3.0], [3.0, 3.0, 1.0]), ([3.0] * 3, [0.0, 3.0, 3.0]), ([0.0] * 3, [2.0**22] * 3)]:
        with raises_glue("RangeDefect", OUT_OF_RANGE):  # an inverted axis; 2**66 cells
            tree.getRange(lo, hi)
        assert counts() == held
    with pytest.raises(zell.PyGlueException):  # 2**60 cells cannot be built
        tree.getRange([0.0] * 3, [2.0**20 - 1] * 3)
    assert counts() == held
    del tree
    gc.collect()
    assert counts() == start
