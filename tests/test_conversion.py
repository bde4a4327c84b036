import sys

import pytest

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, ctor, raises_glue, refcount_after_collect, type_error

FLOAT_MSG = "Cannot convert python object to float"
UINT_MSG = "Cannot convert python object to uint"


class Index:
    __index__ = lambda self: 3  # noqa: E731


class Float:
    __float__ = lambda self: 2.5  # noqa: E731


class Int:
    __int__ = lambda self: 4  # noqa: E731


class Broken:
    def __float__(self):
        raise RuntimeError("no")

    __index__ = __float__


List, Tuple = type("List", (list,), {}), type("Tuple", (tuple,), {})


def test_float_arguments():
    for value, expected in [(1, 1.0), (True, 1.0), (2**60, 2.0**60), (Index(), 3.0), (Float(), 2.5), (0.1, 0.1)]:
        size = zell.newZell2(value).minNodeSize()
        assert type(size) is float and size == expected
    for value in (10**400, "1.0", None, [1.0], Int(), Broken(), object()):
        with type_error(FLOAT_MSG):
            zell.newZell2(value)
        with type_error(FLOAT_MSG):
            zell.newZell2(1.0).coordToKey([0.5, value])
    # a refused conversion leaves no pending interpreter error behind
    assert zell.newZell2(1.0).coordToKey([0.5, 0.5]) == [0, 0]


@pytest.mark.parametrize("dims", DIMS)
def test_coordinate_sequences(dims):
    values = [0.5 + i for i in range(dims)]
    tree = ctor(dims)(1.0)
    for seq in (list(values), tuple(values), List(values), Tuple(values)):
        assert ctor(dims, "A")(1.0, seq).anchor() == values
        assert tree.keyToCoord(type(seq)(range(dims))) == [float(i) for i in range(dims)]
    floats = "Cannot convert python object to array[0..%d, float]" % (dims - 1)
    uints = "Cannot convert python object to array[0..%d, uint]" % (dims - 1)
    for bad in (values[:-1], values + [0.0], iter(values), range(dims), "ab"[:dims], 0.5, None, {0: 0.5}):
        with type_error(floats):
            ctor(dims, "A")(1.0, bad)
        with type_error(floats):
            tree.coordToKey(bad)
        with type_error(uints):
            tree.keyToCoord(bad)
    with type_error(FLOAT_MSG):
        tree.coordToKey(values[:-1] + ["x"])
    with type_error(UINT_MSG):
        tree.keyToCoord([0] * (dims - 1) + ["x"])


def test_key_elements_follow_int():
    tree = zell.newZell2A(1.0, [0.0, 10.0])
    accepted = [1, 1.9, "3", " 7 ", b"3", True, Index(), Int(), 2**64 - 1, 0]
    for value in accepted:
        assert tree.keyToCoord([value, 2]) == [float(int(value)), 12.0]
    for value in (-1, -0.5 - 1, 2**64, float("nan"), float("inf"), "x", "1.5", None, Float(), Broken()):
        with type_error(UINT_MSG):
            tree.keyToCoord([0, value])
    assert tree.depth() == 0


def test_results_are_fresh_lists():
    tree = zell.newZell3A(1.0, (0.5, 1.5, 2.5))
    calls = [(tree.anchor, (), float), (tree.coordToKey, ([400.5, 900.5, 300.5],), int),
             (tree.keyToCoord, ((1000, 2000, 3000),), float), (zell.get_all_dimensions, (), int)]
    for call, args, kind in calls:
        result = call(*args)
        counts = sys.getrefcount(result), sys.getrefcount(result[0])  # a fresh list and a fresh first item
        assert type(result) is list and all(type(x) is kind for x in result)
        assert counts == (2, 2 if kind is float or result[0] > 256 else counts[1])
    tree.anchor().append(1.0)
    assert tree.anchor() is not tree.anchor() and tree.anchor() == [0.5, 1.5, 2.5]
    scalars = tree.depth(), tree.size(), tree.minNodeSize(), tree.dimensions()
    assert [type(v) for v in scalars] == [int, float, float, int]


@pytest.mark.parametrize("dims", DIMS)
def test_default_object_reference_counting(dims):
    obj = object()
    start = refcount_after_collect(obj)
    anchor = [0.0] * dims
    trees = [ctor(dims, "D")(1.0, obj), ctor(dims, "AD")(1.0, anchor, obj),
             ctor(dims, "AD")(default=obj, anchor=anchor, minSize=2.0)]
    assert refcount_after_collect(obj) == start + 3
    trees[0].coordToKey([1e6] * dims)
    del trees[1:]
    assert refcount_after_collect(obj) == start + 1
    del trees
    assert refcount_after_collect(obj) == start
    failures = [  # in the operation, in the conversion of a later argument, in binding
        lambda: ctor(dims, "AD")(0.0, anchor, obj), lambda: ctor(dims, "D")(float("nan"), obj),
        lambda: ctor(dims, "AD")(1.0, anchor[:-1] + [float("inf")], obj),
        lambda: ctor(dims, "AD")(1.0, anchor + [0.0], obj), lambda: ctor(dims, "AD")(1.0, anchor, obj, 1),
        lambda: ctor(dims, "D")(default=obj, minsize=1.0),
    ]
    for call in failures * 3:
        with pytest.raises((TypeError, zell.PyGlueException)):
            call()
    assert refcount_after_collect(obj) == start


def test_arguments_and_instance_are_not_leaked():
    tree = zell.newZell2(1.0)
    coord, key, element = [0.5, 7.5], [3, 4], Index()
    bad_coord, bad_key = [0.5, "x"], [element, -1]
    watched = [tree, coord, key, element, bad_coord, bad_key, bad_coord[1]]
    before = [refcount_after_collect(o) for o in watched]
    for _ in range(5):
        tree.coordToKey(coord)
        tree.keyToCoord(key)
        tree.keyToCoord([element, element])
        tree.coordToKey((element, 0.5))
        with pytest.raises(TypeError):
            tree.coordToKey(bad_coord)
        with pytest.raises(TypeError):
            tree.keyToCoord(bad_key)
        with raises_glue("ValueError"):
            tree.coordToKey([float("inf"), 0.5])
        tree.depth(coord, x=key)
    assert [refcount_after_collect(o) for o in watched] == before
