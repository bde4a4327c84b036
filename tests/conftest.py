import gc
import re
import sys
from contextlib import contextmanager

import pytest

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
