import pytest

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, ctor, type_error


@pytest.mark.parametrize("dims", DIMS)
def test_argument_count(dims):
    name = "newZell%d" % dims
    tree = ctor(dims)(1.0)
    point = [0.0] * dims
    cases = [
        (lambda: ctor(dims)(), name + "() takes exactly 1 arguments (0 given)"),
        (lambda: ctor(dims)(1.0, 2.0), name + "() takes exactly 1 arguments (2 given)"),
        # keywords count too, and the count is checked before anything is converted
        (lambda: ctor(dims)("x", minSize=1.0), name + "() takes exactly 1 arguments (2 given)"),
        (lambda: ctor(dims, "A")(1.0), name + "A() takes exactly 2 arguments (1 given)"),
        (lambda: ctor(dims, "AD")(1.0, point), name + "AD() takes exactly 3 arguments (2 given)"),
        (lambda: ctor(dims, "AD")(1.0, point, None, default=1), name + "AD() takes exactly 3 arguments (4 given)"),
        (lambda: ctor(dims, "D")(), name + "D() takes exactly 2 arguments (0 given)"),
        # the instance of a method is not counted
        (lambda: tree.coordToKey(), "coordToKey() takes exactly 1 arguments (0 given)"),
        (lambda: tree.keyToCoord(point, point), "keyToCoord() takes exactly 1 arguments (2 given)"),
    ]
    for call, message in cases:
        with type_error(message):
            call()


def test_missing_required_argument():
    cases = [
        (lambda: zell.newZell2A(1.0, minSize=2.0), "newZell2A() missing 1 required positional argument: anchor"),
        (lambda: zell.newZell2A(1.0, anchorx=[0.0, 0.0]), "newZell2A() missing 1 required positional argument: anchor"),
        (lambda: zell.newZell2(minsize=1.0), "newZell2() missing 1 required positional argument: minSize"),
        (lambda: zell.newZell3AD(minSize=1.0, default=None, Anchor=[0.0] * 3),
         "newZell3AD() missing 1 required positional argument: anchor"),
        (lambda: zell.newZell1AD(1.0, defaultx=1, anchor=[0.0]),
         "newZell1AD() missing 1 required positional argument: default"),
        (lambda: zell.newZell2(1.0).coordToKey(cord=[0.0, 0.0]),
         "coordToKey() missing 1 required positional argument: coord"),
        (lambda: zell.newZell2(1.0).keyToCoord(coord=[0, 0]),
         "keyToCoord() missing 1 required positional argument: key"),
    ]
    for call, message in cases:
        with type_error(message):
            call()


@pytest.mark.parametrize("dims", DIMS)
def test_keyword_and_positional_binding(dims):
    anchor = [float(i + 1) for i in range(dims)]
    default = object()
    trees = [
        ctor(dims, "A")(0.5, anchor),
        ctor(dims, "A")(minSize=0.5, anchor=anchor),
        ctor(dims, "A")(0.5, anchor=anchor),
        ctor(dims, "A")(anchor=anchor, minSize=0.5),
        ctor(dims, "AD")(default=default, anchor=anchor, minSize=0.5),
        ctor(dims, "AD")(0.5, anchor, default=default),
    ]
    for tree in trees:
        assert (tree.anchor(), tree.minNodeSize()) == (anchor, 0.5)
    assert ctor(dims, "D")(default=None, minSize=0.5).minNodeSize() == 0.5
    point = [a + 0.75 for a in anchor]
    assert trees[0].coordToKey(coord=point) == trees[1].coordToKey(point) == [1] * dims
    assert trees[0].keyToCoord(key=[2] * dims) == trees[1].keyToCoord([2] * dims) == [a + 1.0 for a in anchor]


def test_callables_without_parameters_ignore_arguments():
    tree = zell.newZell2(1.0)
    assert zell.get_all_dimensions() == [1, 2, 3, 4]
    assert zell.get_all_dimensions("x") == zell.get_all_dimensions(7, x=1) == [1, 2, 3, 4]
    assert tree.depth(1, 2, x=3) == 0
    assert tree.anchor(None, anchor=[1.0, 1.0]) == [0.0, 0.0]
    assert (tree.minNodeSize(1.0), tree.size(size=2), tree.dimensions("a", "b")) == (1.0, 1.0, 2)


def test_conversion_stops_at_first_bad_argument():
    cases = [
        (lambda: zell.newZell2("a"), "Cannot convert python object to float"),
        (lambda: zell.newZell2A("a", "b"), "Cannot convert python object to float"),
        (lambda: zell.newZell2A(1.0, "b"), "Cannot convert python object to array[0..1, float]"),
        (lambda: zell.newZell2AD(anchor=[0.0], minSize="a", default=None), "Cannot convert python object to float"),
        (lambda: zell.newZell2AD(anchor=[0.0], minSize=1, default=None),
         "Cannot convert python object to array[0..1, float]"),
    ]
    for call, message in cases:
        with type_error(message):
            call()
