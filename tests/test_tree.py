import math

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, ctor, raises_glue, state
from model import Refused, TreeModel

nan, inf = math.nan, math.inf


@pytest.mark.parametrize("dims", DIMS)
def test_new_trees(dims):
    zeros, anchor = [0.0] * dims, [5.0 - i for i in range(dims)]
    trees = [
        (ctor(dims)(1.0), zeros, 1.0),
        (ctor(dims, "D")(0.5, None), zeros, 0.5),
        (ctor(dims, "A")(2.0, anchor), anchor, 2.0),
        (ctor(dims, "AD")(0.25, tuple(anchor), object()), anchor, 0.25),
    ]
    for tree, expected_anchor, size in trees:
        assert type(tree) is getattr(zell, "Zell%d" % dims)
        assert tree.anchor() == expected_anchor
        assert (tree.minNodeSize(), tree.depth(), tree.size(), tree.dimensions()) == (size, 0, size, dims)


UPPER_EDGE = 0.7438421186671211  # with minSize 0.7, (p - anchor) / 0.7 rounds up to 4.0


@pytest.mark.parametrize(
    "min_size, anchor, calls, anchor_after, depth_after",
    [
        (1.0, None, [("coordToKey", [0.5, 0.5], [0, 0])], [0.0, 0.0], 0),
        (1.0, None, [("coordToKey", [3.5, 0.5], [3, 0])], [0.0, 0.0], 2),
        # downward growth moves the anchor and shifts earlier keys
        (1.0, None, [("coordToKey", [-0.5, 0.5], [0, 0]), ("coordToKey", [0.5, 0.5], [1, 0])], [-1.0, 0.0], 1),
        (1.0, None, [("coordToKey", [-0.5, 1.5], [0, 1])], [-1.0, 0.0], 1),
        (0.5, None, [("coordToKey", [1.2, 0.0], [2, 0])], [0.0, 0.0], 2),
        (1.0, None, [("keyToCoord", [3, 0], [3.0, 0.0]), ("keyToCoord", [1000, 0], [1000.0, 0.0])], [0.0, 0.0], 0),
        (0.25, [10.0, 20.0], [("keyToCoord", [4, 8], [11.0, 22.0]), ("coordToKey", [11.1, 22.2], [4, 8])],
         [10.0, 20.0], 4),
        # the anchor itself is inside, anchor + size is outside
        (1.0, [2.0, 3.0], [("coordToKey", [2.0, 3.0], [0, 0])], [2.0, 3.0], 0),
        (1.0, [2.0, 3.0], [("coordToKey", [3.0, 3.0], [1, 0])], [2.0, 3.0], 1),
        # NaN components never grow the tree and map to 0
        (1.0, None, [("coordToKey", [nan, 0.5], [0, 0])], [0.0, 0.0], 0),
        (1.0, None, [("coordToKey", [nan, -5.0], [0, 2])], [0.0, -7.0], 3),
        # a point just below the upper edge keeps the last cell instead of wrapping to 0
        (0.7, [UPPER_EDGE, 0.0], [("coordToKey", [3.5438421186671207, 0.5], [3, 0])], [UPPER_EDGE, 0.0], 2),
        (0.3, [-0.22537401331860207, 0.0], [("coordToKey", [0.0746259866813979, 0.0], [0, 0])],
         [-0.22537401331860207, 0.0], 0),
    ],
)
def test_growth_and_keys_examples(min_size, anchor, calls, anchor_after, depth_after):
    tree = zell.newZell2A(min_size, anchor) if anchor else zell.newZell2(min_size)
    for method, arg, expected in calls:
        assert getattr(tree, method)(arg) == expected
    assert (tree.anchor(), tree.depth(), tree.size()) == (anchor_after, depth_after, min_size * 2**depth_after)


def test_sizes_are_exact_doublings():
    tree = zell.newZell1(0.1)
    for x, size in [(0.15, 0.2), (0.35, 0.4), (0.75, 0.8)]:
        tree.coordToKey([x])
        assert tree.size() == size
    assert tree.depth() == 3


@pytest.mark.parametrize("dims", DIMS)
def test_bad_min_size_or_anchor_refused(dims):
    good = [0.0] * dims
    for bad in (0.0, -0.0, -1.0, nan, inf, -inf):
        for make in (lambda: ctor(dims)(bad), lambda: ctor(dims, "D")(bad, 1),
                     lambda: ctor(dims, "A")(bad, good), lambda: ctor(dims, "AD")(bad, good, 1)):
            with raises_glue("ValueError", "minSize must be positive and finite"):
                make()
    for bad in (nan, inf, -inf):
        anchor = good[:-1] + [bad]
        for make in (lambda: ctor(dims, "A")(1.0, anchor), lambda: ctor(dims, "AD")(1.0, anchor, None)):
            with raises_glue("ValueError", "anchor must be finite"):
                make()
    assert ctor(dims)(5e-324).size() == 5e-324


@pytest.mark.parametrize("dims", DIMS)
def test_refused_points_leave_tree_unchanged(dims):
    tree = ctor(dims)(1.0)
    assert tree.coordToKey([2.0**63] * dims) == [2**63] * dims
    assert tree.depth() == 64
    assert tree.coordToKey([nextbelow(2.0**64)] * dims) == [2**64 - 2048] * dims
    deep_before = state(tree)
    small = ctor(dims, "A")(1.0, [0.5] * dims)
    small.coordToKey([-3.0] * dims)
    small_before, key_before = state(small), small.coordToKey([0.7] * dims)
    for bad in (inf, -inf, 2.0**65, -2.0**65, 1e300, -1e300):
        point = [0.5] * (dims - 1) + [bad]
        for t, before in ((tree, deep_before), (small, small_before)):
            with raises_glue("ValueError"):
                t.coordToKey(point)
            assert state(t) == before
    assert small.coordToKey([0.7] * dims) == key_before
    huge = ctor(dims)(1e307)  # the root edge would overflow before reaching the point
    with raises_glue("ValueError"):
        huge.coordToKey([1.7e308] * dims)
    assert state(huge) == ([0.0] * dims, 0, 1e307)


def nextbelow(x):
    return math.nextafter(x, -inf)


@pytest.mark.parametrize("dims", DIMS)
def test_instance_made_by_calling_the_class_holds_no_tree(dims):
    cls = getattr(zell, "Zell%d" % dims)
    empty = cls(1, 2, x=3)
    assert type(empty) is cls and empty.dimensions() == dims
    message = "Zell%d holds no tree" % dims
    point = [0.0] * dims
    for call in (empty.anchor, empty.minNodeSize, empty.depth, empty.size,
                 lambda: empty.coordToKey(point), lambda: empty.keyToCoord([0] * dims)):
        with raises_glue("ValueError", message):
            call()
    getattr(zell, "Zell%dClimber" % dims)()


# Random operations against the model --------------------------------------

min_sizes = st.one_of(
    st.builds(lambda m, e: m * 2.0**e, st.integers(1, 7), st.integers(-20, 20)),
    st.floats(1e-6, 1e6),
    st.sampled_from([0.1, 0.3, 0.7, 1e-300, 1e300, 5e-324]),
)
anchors = st.one_of(st.integers(-1000, 1000).map(float), st.floats(-1e6, 1e6))
coords = st.one_of(
    st.floats(-100, 100), st.integers(-2**20, 2**20).map(float), st.floats(-1e30, 1e30),
    st.floats(allow_nan=False), st.sampled_from([nan, inf, -inf, -0.0]),
)
keys = st.one_of(st.integers(0, 1000), st.integers(0, 2**64 - 1))


def exact(values):
    return [repr(float(v)) for v in values]


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(dims=st.sampled_from(DIMS), min_size=min_sizes, data=st.data())
def test_matches_model(dims, min_size, data):
    anchor = data.draw(st.lists(anchors, min_size=dims, max_size=dims))
    tree, model = ctor(dims, "A")(min_size, anchor), TreeModel(dims, min_size, anchor)
    for _ in range(data.draw(st.integers(1, 12))):
        kind = data.draw(st.sampled_from(["coord", "edge", "key"]))
        if kind == "key":
            key = data.draw(st.lists(keys, min_size=dims, max_size=dims))
            assert exact(tree.keyToCoord(key)) == exact(model.key_to_coord(key))
        else:
            if kind == "coord":
                point = data.draw(st.lists(coords, min_size=dims, max_size=dims))
            else:  # the anchor, the upper edge, just below it, or about 2**64 cells away
                top = [a + model.size for a in model.anchor]
                choices = [model.anchor, top, [nextbelow(x) for x in top]]
                choices += [[a + sign * model.min_size * 2.0**e for a in model.anchor]
                            for e in (62, 63, 64, 65) for sign in (1, -1)]
                point = [data.draw(st.sampled_from(choices))[i] for i in range(dims)]
            try:
                expected = model.coord_to_key(point)
            except Refused:
                with raises_glue("ValueError"):
                    tree.coordToKey(point)
            else:
                assert tree.coordToKey(point) == expected
        assert exact(tree.anchor()) == exact(model.anchor)
        assert (tree.depth(), tree.size(), tree.minNodeSize()) == (model.depth, model.size, model.min_size)
