import gc
import re
import sys
from contextlib import contextmanager

import pytest
from hypothesis import strategies as st

import zell_dim_1_2_3_4 as zell

DIMS = (1, 2, 3, 4)
PREFIX = "Unexpected error encountered: "


def ctor(dims, suffix=""):
    return getattr(zell, "newZell%d%s" % (dims, suffix))


@contextmanager
def raises_glue(kind, message=None):
    """Expects a native error of `kind` turned into a Python exception."""
    with pytest.raises(zell.PyGlueException) as info:
        yield info
    cls = type(info.value)
    assert (cls.__name__, cls.__module__, cls.__bases__) == (kind, "pyglue", (zell.PyGlueException,))
    assert str(info.value).startswith(PREFIX)
    if message is not None:
        assert str(info.value) == PREFIX + message


def type_error(message):
    return pytest.raises(TypeError, match="^%s$" % re.escape(message))


def refcount_after_collect(obj):
    gc.collect()
    return sys.getrefcount(obj)


def state(tree):
    return tree.anchor(), tree.depth(), tree.size()


# Drawn together by the random-operation tests: a dimension, a cell size
# (powers of two, and sizes whose multiples round) and whether the tree has
# a default.
RANDOM_TREES = dict(dims=st.sampled_from(DIMS), m=st.sampled_from([0.5, 1.0, 2.0, 0.3, 7.77]),
                    has_default=st.booleans())


def random_tree_and_model(dims, m, has_default, data):
    """A tree with a drawn anchor, and the structure model of the same tree."""
    from model import ABSENT, StructureModel
    offsets = st.sampled_from([0.0, 0.0, 0.1, 533.49, -1e6 - 0.3])  # anchors off the grid of the cells
    anchor = data.draw(st.lists(st.tuples(st.integers(-4, 4), offsets).map(lambda t: t[0] + t[1]),
                                min_size=dims, max_size=dims))
    default = object() if has_default else ABSENT
    tree = ctor(dims, "AD")(m, anchor, default) if has_default else ctor(dims, "A")(m, anchor)
    return tree, StructureModel(dims, m, anchor, default)
