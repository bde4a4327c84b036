import pytest

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, ctor, state, type_error

LOOKUPS = ["getNodeByKey", "getNodeByCoord", "createNodeByKey", "createNodeByCoord"]


def same_node(a, b):
    mark = object()
    a.setData(mark)
    return a.level() == b.level() and b.getData() is mark


def path(tree, *child_nrs):
    c = tree.getClimber()
    for nr in child_nrs:
        c.climb(nr)
    return c


def test_lookup_in_a_single_cell_stands_on_the_root():
    tree = zell.newZell2(1.0)
    c = tree.getNodeByCoord([0.5, 0.5])
    assert (c.level(), c.hasChildren(), tree.depth()) == (0, False, 0)
    assert same_node(c, tree.getClimber())
    assert same_node(tree.createNodeByCoord([0.0, 0.0], 5), c)


def test_read_only_lookup_stops_where_the_tree_ends():
    tree = zell.newZell2(1.0)
    c = tree.getNodeByCoord([3.5, 0.5])
    assert (state(tree), c.level(), c.hasChildren()) == (([0.0, 0.0], 2, 4.0), 1, False)
    assert same_node(c, path(tree, 1))  # corner (2, 0)
    assert same_node(tree.getNodeByCoord([2.0, 1.9], 0), c)


def test_creating_lookup_makes_one_child_set_per_level():
    tree = zell.newZell2(1.0)
    c = tree.createNodeByCoord([3.5, 0.5])
    assert (state(tree), c.level(), c.size()) == (([0.0, 0.0], 2, 4.0), 0, 1.0)
    assert same_node(c, path(tree, 1, 1))  # corner (3, 0)
    assert same_node(tree.getNodeByCoord([3.5, 0.5]), c)
    assert [path(tree, nr).hasChildren() for nr in range(4)] == [True, True, False, False]
    # levels at or above the root's give the root and create nothing
    for lookup in LOOKUPS:
        for level in (2, 5, 2**64 - 1):
            assert same_node(getattr(tree, lookup)([0.5, 3.5], level), tree.getClimber())
    assert not path(tree, 2).hasChildren()
    assert same_node(tree.getNodeByCoord([0.5, 3.5], 1), path(tree, 2))


def test_key_is_read_as_a_point():
    tree = zell.newZell2(1.0)
    tree.coordToKey([7.0, 7.0])
    c = tree.createNodeByKey([3, 5])
    assert same_node(c, tree.getNodeByCoord([3.0, 5.0]))
    assert same_node(tree.createNodeByCoord([3.9, 5.9]), c)
    halves = zell.newZell2(0.5)
    c = halves.getNodeByKey([3, 0])  # the point (3, 0): the cell with key (6, 0)
    assert (halves.depth(), c.level(), halves.coordToKey([3.0, 0.0])) == (3, 2, [6, 0])
    assert same_node(halves.createNodeByKey([3.2, 0.2]), path(halves, 1, 1, 0))


@pytest.mark.parametrize("dims", DIMS)
def test_nodes_keep_their_cubes_when_the_tree_grows_down(dims):
    tree, payload = ctor(dims)(1.0), object()
    tree.createNodeByCoord([2.5] * dims).setData(payload)
    tree.coordToKey([-9.0] * dims)
    assert tree.anchor() == [-12.0] * dims
    assert tree.getNodeByKey([2.25] * dims).getData() is payload
    assert tree.getNodeByCoord([2.0] * dims, 1).level() == 1


def test_line_grows_twice_toward_lower_values():
    tree = zell.newZell1(1.0)
    original = tree.getClimber()
    c = tree.createNodeByCoord([-3.0])
    assert (state(tree), c.level()) == (([-3.0], 2, 4.0), 0)
    assert same_node(c, path(tree, 0, 0))
    assert same_node(original, path(tree, 1, 1))
    assert [path(tree, nr).hasChildren() for nr in (0, 1)] == [True, True]


@pytest.mark.parametrize("lookup", LOOKUPS)
def test_level_binding(lookup):
    tree = zell.newZell2(1.0)
    tree.coordToKey([3.5, 3.5])
    method, name = getattr(tree, lookup), "key" if lookup.endswith("Key") else "coord"
    for call, message in [
        (lambda: method([0.0, 0.0], 1, 2), lookup + "() takes exactly 2 arguments (3 given)"),
        (lambda: method(), lookup + "() takes exactly 2 arguments (0 given)"),
        (lambda: method([0.0, 0.0], **{name: [1.0, 1.0]}), lookup + "() got multiple values for argument " + name),
        (lambda: method([0.0, 0.0], lvl=1), lookup + "() got an unexpected keyword argument lvl"),
        (lambda: method(level=1), lookup + "() missing 1 required positional argument: " + name),
        (lambda: method([0.0, 0.0], 2**64), "Cannot convert python object to uint"),
        (lambda: method([0.0, 0.0], -1), "Cannot convert python object to uint"),
        (lambda: method([0.0, 0.0], "x"), "Cannot convert python object to uint"),
    ]:
        with type_error(message):
            call()
    assert state(tree) == ([0.0, 0.0], 2, 4.0)
    for level in (1, 1.5, "1"):
        assert method([0.5, 0.5], level).level() == 1
        assert method(level=level, **{name: [0.5, 0.5]}).level() == 1
    assert method([3.5, 3.5], level=2.7).level() == 2
