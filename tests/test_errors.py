import gc
import weakref

import pytest

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, PREFIX, ctor, raises_glue

TREE_METHODS = ["anchor", "minNodeSize", "depth", "dimensions", "size", "coordToKey", "keyToCoord"]


def test_module_surface():
    assert zell.__doc__ == ""
    names = [n for n in vars(zell) if not n.startswith("__")]
    constructors = ["newZell%d%s" % (d, s) for d in DIMS for s in ("", "A", "D", "AD")]
    classes = ["Zell%d%s" % (d, s) for d in DIMS for s in ("", "Climber")]
    assert names == ["get_all_dimensions"] + constructors + classes + ["PyGlueException"]
    for name in ["get_all_dimensions"] + constructors:
        assert getattr(zell, name).__doc__ is None
    for name in classes:
        cls = getattr(zell, name)
        assert (cls.__name__, cls.__doc__, cls.__module__) == (name, None, "builtins")
    base = zell.PyGlueException
    assert (base.__name__, base.__module__, base.__bases__) == ("PyGlueException", "pyglue", (Exception,))


@pytest.mark.parametrize("dims", DIMS)
def test_tree_class(dims):
    cls = getattr(zell, "Zell%d" % dims)
    tree = ctor(dims)(1.0)
    assert type(tree) is cls and type(tree).__name__ == "Zell%d" % dims
    assert tree.__doc__ is None and all(getattr(cls, m).__doc__ is None for m in TREE_METHODS)
    methods = [m for m in vars(cls) if not m.startswith("__")]
    assert [m for m in methods if m in TREE_METHODS] == TREE_METHODS
    for base in (cls, getattr(zell, "Zell%dClimber" % dims)):
        with pytest.raises(TypeError, match="not an acceptable base type"):
            type("Derived", (base,), {})


def test_tree_as_class_attribute_reads_back_as_itself():
    tree = zell.newZell1(1.0)

    class Holder:
        t = tree

    assert Holder.t is tree and Holder().t is tree
    assert Holder().t.coordToKey([2.5]) == [2] and tree.depth() == 2


def test_dropping_trees():
    trees = [ctor(d, s)(1.0, *([[0.0] * d] if s == "A" else [])) for d in DIMS for s in ("", "A")]
    keep = trees[3]
    keep.coordToKey([100.0, 100.0])
    del trees
    gc.collect()
    assert (keep.depth(), keep.anchor(), keep.coordToKey([99.5, 0.5])) == (7, [0.0, 0.0], [99, 0])
    made = [getattr(zell, "Zell%d%s" % (d, s))(1, x=2) for d in DIMS for s in ("", "Climber")]
    del made, keep
    gc.collect()


def glue_errors():
    """Calls that fail in the native operation, each with its exact message."""
    return [
        (lambda: zell.newZell2(0.0), "minSize must be positive and finite"),
        (lambda: zell.newZell3A(1.0, [0.0, float("nan"), 0.0]), "anchor must be finite"),
        (lambda: zell.Zell4().depth(), "Zell4 holds no tree"),
        (lambda: zell.newZell1(1.0).coordToKey([float("inf")]), None),
        (lambda: zell.newZell2(1.0).coordToKey([2.0**70, 0.0]), None),
    ]


def test_native_errors_become_new_glue_classes():
    seen = []
    for call, message in glue_errors() * 2:
        with raises_glue("ValueError", message) as info:
            call()
        error = info.value
        assert isinstance(error, Exception) and not isinstance(error, ValueError)
        assert len(error.args) == 1 and error.args[0] == str(error) and str(error).startswith(PREFIX)
        assert type(error) is not zell.PyGlueException
        seen.append(type(error))
    assert len(set(map(id, seen))) == len(seen)
    # after an error the next call starts from a clean state
    assert zell.newZell2(1.0).coordToKey([0.5, 0.5]) == [0, 0]


def test_error_class_lives_only_as_long_as_the_error():
    refs = []
    for call, _ in glue_errors():
        try:
            call()
        except zell.PyGlueException as error:
            refs.append(weakref.ref(type(error)))
    gc.collect()
    assert [r() for r in refs] == [None] * len(refs)
