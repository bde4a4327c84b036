"""Checks that hold under every CPython from 2.7 to 3.15. This script runs
them under each interpreter against one built module (found through
PYTHONPATH); the pytest suite imports it and runs the same checks. Plain
Python 2.7 and 3.x without third-party packages: the random operations
against tests/model.py draw from a seeded `random`.

    python run_compat.py [random cases]
    python run_compat.py write DIR | read DIR    # trees saved under one interpreter, loaded under all
"""
from __future__ import print_function

import copy
import ctypes
import gc
import math
import os
import pickle
import random
import struct
import sys
import traceback
import weakref
from functools import reduce

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import zell_dim_1_2_3_4 as z  # noqa: E402
from model import ABSENT, KEY_MAX, TOO_FAR, Refused, TreeModel, nextbelow  # noqa: E402

DIMS, PREFIX, NONE, nan, inf = (1, 2, 3, 4), "Unexpected error encountered: ", pickle.dumps(None), float("nan"), 1e999
# inf: 1e999 overflows to infinity. NONE: this interpreter's pickle of None, written for nodes without payload.
STALE, CONVERT = "the climber's node was replaced when the tree was loaded", "Cannot convert python object to "
PRUNED = "the climber's node may have been removed when the tree was pruned"
BOTH = "the climber's node was replaced when the tree was loaded, or removed when it was pruned"
LOOKUPS = ("getNodeByKey", "getNodeByCoord", "createNodeByKey", "createNodeByCoord")
# The climber's methods but dimensions, those with one parameter third to seventh.
CLIMBER = ("level", "size", "climb", "creativeClimb", "climbClone", "creativeClimbClone", "setData",
           "getData", "extractData", "hasData", "hasChildren")
PAYLOADS = [None, 0, -7, 2 ** 70, 1.5, inf, "x" * 40, u"\xfcn\xefcode", b"\x00\xff", bytearray(b"ab"),
            (1, [2.0, {"k": set([3])}]), "y" * 300]


ctor = lambda d, suffix="": getattr(z, "newZell%d%s" % (d, suffix))  # noqa: E731


def fails(call, kind, message=None):
    """call() must raise `kind`: an exception class, or the name (or a tuple of names) of pyglue kinds, whose
    classes are no built-in ones and whose messages are prefixed. A message "...x" ends with x. Returns the error."""
    try:
        call()
    except BaseException as e:
        cls, text = type(e), str(e)
        if not isinstance(kind, type):
            assert cls.__name__ in (kind if isinstance(kind, tuple) else (kind,)) and text.startswith(PREFIX) and (
                cls.__module__, cls.__bases__, e.args) == ("pyglue", (z.PyGlueException,), (text,)), (cls, text)
            # pyglue.ValueError is no built-in ValueError.
            text, cls = text[len(PREFIX):], kind if not isinstance(e, ValueError) else None
        assert cls is kind and (message in (None, text) or message[:3] == "..." and text.endswith(message[3:])), (
            cls, text, message)
        return e
    raise AssertionError("no error, expected %s %s" % (kind, message))


def every_method(obj, names, message):
    args = dict.fromkeys(LOOKUPS + ("coordToKey", "keyToCoord"), [[0] * obj.dimensions()])
    args.update(dict.fromkeys(CLIMBER[2:7], [0]), getRange=[[0] * obj.dimensions()] * 2)
    for name in names:
        fails(lambda: getattr(obj, name)(*args.get(name, [])), "ValueError", message)


# Reduce(action) pickles by calling `action`: it returns what rebuilds the object, or raises.
Reduce = type("Reduce", (object,), {"__init__": lambda self, action: setattr(self, "action", action),
                                    "__reduce__": lambda self: self.action()})


def throw(error):
    raise error


def check_calls():
    index, T = type("Index", (object,), {"__index__": lambda self: 3, "__float__": lambda self: 3.0}), TypeError
    for d in DIMS:
        t, p, name, leaf = ctor(d)(1.0), [0.5] * d, "newZell%d" % d, ctor(d)(1.0).getClimber()
        coords, keys = [CONVERT + "array[0..%d, %s]" % (d - 1, k) for k in ("float", "uint")]
        for call, kind, message in [
            (lambda: ctor(d)("x", minSize=1.0), T, name + "() takes exactly 1 arguments (2 given)"),
            (lambda: ctor(d, "A")(1.0, minSize=2.0), T, name + "A() missing 1 required positional argument: anchor"),
            (lambda: t.getNodeByKey(p, 1, 2), T, "getNodeByKey() takes exactly 2 arguments (3 given)"),
            (lambda: t.createNodeByCoord(p, coord=p), T, "createNodeByCoord() got multiple values for argument coord"),
            (lambda: t.getNodeByCoord(p, lvl=1), T, "getNodeByCoord() got an unexpected keyword argument lvl"),
            (lambda: t.deserialize(5), T, "Can't convert python obj of type 'int' to string"),
            (lambda: t.getNodeByCoord(p, -1), T, CONVERT + "uint"), (lambda: leaf.climb("a"), T, CONVERT + "uint8"),
            (lambda: ctor(d, "A")(anchor=iter(p), minSize=1), T, coords), (lambda: t.keyToCoord(p + [0]), T, keys),
            (lambda: type("Derived", (type(t),), {}), T, None),
            (lambda: ctor(d, "D")(-0.0, 1), "ValueError", "minSize must be positive and finite"),
            (lambda: ctor(d, "A")(1.0, p[1:] + [-inf]), "ValueError", "anchor must be finite")]:
            fails(call, kind, message)
        t.coordToKey([3.5] * d)
        for a in (tuple(p), type("L", (list,), {})(p)):  # sequences, levels and key elements as int() takes them
            assert [ctor(d, "AD")(default=0, anchor=a, minSize=index()).anchor(), t.getNodeByCoord(a, "1").level(),
                    t.createNodeByKey(level=1.5, key=a).level()] == [p, 1, 1]
        assert [t.anchor(), t.coordToKey(coord=[2.0 ** 40] * d), t.keyToCoord(type(a)([1.9, True, " 1 ", 1][:d]))] == [
            [0.0] * d, [2 ** 40] * d, [1.0] * d]
        every_method(type(t)(1, x=2), ("anchor", "minNodeSize", "depth", "size", "getClimber", "coordToKey",
                                       "keyToCoord", "getRange") + LOOKUPS, "Zell%d holds no tree" % d)
        every_method(type(leaf)(), CLIMBER, "Zell%dClimber holds no tree" % d)
    # Just below the root's upper edge the quotient rounds up to 2**depth: the key is the last cell's.
    assert z.newZell1A(4.727729983325405, [-24.07695533525444]).coordToKey([-5.166035401952819]) == [3]
    fails(lambda: z.newZell3D(1.0, "d").getRange([0.0] * 3, [2.0 ** 20 - 1] * 3), "OutOfMemDefect",
          "a window of %d cells does not fit in memory" % 2 ** 60)
    assert (z.get_all_dimensions(7, x=1), z.PyGlueException.__bases__) == ([1, 2, 3, 4], (Exception,))
    point = [None, 0.5]  # the conversion takes every element before converting any
    point[0] = type("Shrinking", (object,), {"__float__": lambda self: (point.__delitem__(slice(None)), 2.5)[1]})()
    assert z.newZell2(1.0).coordToKey(point) == [2, 0] and point == []
    point[:] = [type("Interrupting", (object,), {"__float__": lambda self: throw(KeyboardInterrupt())})(), 0.5]
    fails(lambda: z.newZell2(1.0).coordToKey(point), KeyboardInterrupt)  # Ctrl-C is no conversion error


def check_points_emptied_while_read():
    """A point whose element empties its list while it is converted, the other elements numbers made at run time
    that only the list holds: every element is held for the conversion, so each call answers as for the point as it
    was. The emptying element comes first, last or (D = 3) between; a variant empties the list of points instead."""
    emptying = type("Emptying", (object,), {
        "__float__": lambda self: (self.target.__delitem__(slice(None)), 2.5)[1],
        "__int__": lambda self: (self.target.__delitem__(slice(None)), 2)[1]})
    emptying.__index__ = emptying.__long__ = emptying.__int__  # __long__: int() of 2.7
    fresh_float, fresh_int = lambda: float("0.3"), lambda: int("1000")  # new objects, held by the list alone

    def tree(d):
        t = ctor(d, "D")(1.0, "d")
        t.setDataByCoords([[0.3] * d, [2.5] + [0.3] * (d - 1)], "ab")
        return t

    calls = [lambda t, p: t.coordToKey(p), lambda t, p: t.getNodeByCoord(p).getData(),
             lambda t, p: t.createNodeByCoord(p, 0).setData("c"), lambda t, p: t.getNodeByKey(p, 1).level(),
             lambda t, p: t.createNodeByKey(p, 1).level(), lambda t, p: t.getRange(p, [3.5] * len(p)),
             lambda t, p: t.getSparseRange([0.0] * len(p), p), lambda t, p: t.getDataByCoords([p]),
             lambda t, p: t.setDataByCoords([p, [4.5] * len(p)], "sz"), lambda t, p: t.coordsToKeys([p]),
             lambda t, p: ctor(len(p), "A")(1.0, p).anchor()]
    for d, at in [(2, 0), (2, 1), (3, 0), (3, 1), (3, 2)]:
        plain = [2.5 if i == at else 0.3 for i in range(d)]
        for call in calls:
            point = [fresh_float() for _ in range(d)]
            point[at] = emptying()
            point[at].target = point
            t, expected = tree(d), tree(d)
            assert (call(t, point), t.serialize()) == (call(expected, plain), expected.serialize()) and point == []
        point = [fresh_int() for _ in range(d)]
        point[at] = emptying()
        point[at].target = point
        assert tree(d).keyToCoord(point) == [2.0 if i == at else 1000.0 for i in range(d)] and point == []
        points = [[fresh_float() for _ in range(d)], [fresh_float() for _ in range(d)]]
        points[0][at] = emptying()
        points[0][at].target = points  # a for loop over the points would stop after the first, too
        assert tree(d).coordsToKeys(points) == [tree(d).coordToKey(plain)] and points == []


def check_references():
    payload, default, anchor = [1], object(), [1.0, 2.0]
    counts = lambda: [sys.getrefcount(o) for o in (payload, default, anchor)]  # noqa: E731
    start, t = counts(), z.newZell2AD(1.0, anchor, default)
    c = t.createNodeByCoord([1.5, 2.5])
    for _ in range(20):  # refused calls hold on to nothing; every getData hands out a reference of its own
        fails(lambda: z.newZell2AD(1.0, [payload, 1.0], z.Zell2(payload, x=default)), TypeError)
        c.setData(payload)
        assert c.getData() is payload and t.getNodeByCoord([1.5, 2.5]).getData() is payload
        z.newZell2(1.0).deserialize(t.serialize())
    grid = t.getRange([1.0, 2.0], [2.0, 3.0])
    assert counts() == [start[0] + 2, start[1] + 4, start[2]]  # the tree and the grid hold what they have
    # Python errors met inside an operation reach the caller by the fixed table of kinds.
    for error, kind in [(KeyError("boom"), "KeyError"), (TypeError("boom"), "Exception"), (SystemExit(3), SystemExit),
                        (ZeroDivisionError("z"), "DivByZeroDefect"), (ArithmeticError("a"), "ArithmeticDefect"),
                        (FloatingPointError("f"), "FloatingPointDefect"), (OverflowError("o"), "OverflowDefect"),
                        (AssertionError("n"), "AssertionDefect"), (EOFError("e"), "EOFError"),
                        (IOError("io"), "OSError" if sys.version_info[0] == 3 else "IOError"),
                        (MemoryError("m"), "OutOfMemDefect"), (IndexError("i"), "IndexDefect"),
                        (UnicodeDecodeError("utf-8", b"\xff", 0, 1, "bad"), "ValueError")]:
        before, bad = t.serialize(), Reduce(lambda: throw(type(error)(*error.args)))
        unheld = sys.getrefcount(bad)  # however many the caller's frame holds on this interpreter
        c.setData(bad)  # a save that fails leaves the tree and the references; errors that are no exceptions pass
        assert all(str(fails(o.serialize, kind)).endswith(str(error)) for o in (t, z.newZell2D(1.0, bad)))
        gc.collect()
        assert (sys.getrefcount(bad) - unheld, c.setData(payload), t.serialize()) == (1, None, before)
        assert sys.getrefcount(bad) == unheld
    assert grid and c.extractData() is payload and t.getNodeByCoord([1.5, 2.5]).setData(payload) is None
    t = grid = None
    gc.collect()
    assert c.getData() is payload and counts() == [start[0] + 1, start[1] + 1, start[2]]  # the climber keeps the tree
    # A replaced payload is let go once its successor is in place: its finalizer finds the successor.
    found = []

    class Replaced(object):
        def __del__(self):
            found.append(c.getData())

    successor = object()
    c.setData(Replaced())
    c.setData(successor)
    assert found == [successor]
    c = None
    gc.collect()
    assert counts() == start
    t = z.newZell2D(1.0, default)  # a window stores its payloads in batches; every cell holds a reference
    for i in range(70):
        t.createNodeByCoord([i % 10 + 0.5, i // 10 + 0.5]).setData(payload)
    grid = t.getRange([0.0, 0.0], [9.0, 9.0])
    assert grid == [[payload if 10 * y + x < 70 else default for y in range(10)] for x in range(10)]
    assert counts() == [start[0] + 140, start[1] + 31, start[2]]
    t = grid = None
    assert counts() == start
    # Loading recognises the pickle of None without calling Python; each node still owns a reference
    # to None (the count is visible before 3.12, where None became immortal).
    t, before = z.newZell4(1.0), sys.getrefcount(None)
    t.createNodeByCoord([1e12] * 4).setData(None)
    assert [z.newZell4(1.0).deserialize(t.serialize()) for _ in "abc"] == [None] * 3
    assert abs(sys.getrefcount(None) - before) < 100


def sample_tree(d, default=ABSENT):
    anchor = [-1.0, 0.25, 3.0, -2.5][:d]
    tree = ctor(d, "A")(0.5, anchor) if default is ABSENT else ctor(d, "AD")(0.5, anchor, default)
    for i, obj in enumerate(PAYLOADS):
        tree.createNodeByCoord([a + 0.7 * i for a in anchor], i % 3).setData(obj)
    return tree


def pack(v):
    """MessagePack of None, booleans, small ints, floats, byte strings (as the str family) and lists."""
    if v is None or v is True or v is False:
        return {None: b"\xc0", True: b"\xc3", False: b"\xc2"}[v]
    if isinstance(v, float):
        return b"\xcb" + struct.pack(">d", v)
    if isinstance(v, list):
        return bytes(bytearray([0x90 + len(v)]) if len(v) < 16 else b"\xdc" + struct.pack(">H", len(v))) + b"".join(
            map(pack, v))
    if isinstance(v, bytes):
        n = len(v)
        return bytes(bytearray([0xa0 + n]) if n < 32 else b"\xd9" + bytearray([n]) if n < 256 else b"\xda" +
                     struct.pack(">H", n) if n < 65536 else b"\xdb" + struct.pack(">I", n)) + v
    return bytes(bytearray([v]))


def record(tree, default=ABSENT):
    """What serialize writes for `tree`, read through its API, as values for pack."""
    def node(c):
        kids = [node(c.climbClone(i)) for i in range(n)] if c.hasChildren() else [None] * n
        return [[pickle.dumps(c.getData()) if c.hasData() else NONE, c.hasData()], [kids, c.hasChildren()]]

    n = 2 ** tree.dimensions()
    return [tree.anchor(), tree.minNodeSize(), node(tree.getClimber()), tree.depth(),
            [tree.minNodeSize() * 2.0 ** k for k in range(tree.depth() + 1)],
            [NONE, False] if default is ABSENT else [pickle.dumps(default), True]]


def check_saves_and_loads():
    f0, f1 = b"\xcb" + struct.pack(">d", 0.0), b"\xcb" + struct.pack(">d", 1.0)  # one cell, edge 1, at 0
    assert z.newZell1(1.0).serialize() == (b"\x96\x91" + f0 + f1 + b"\x92\x92" + pack(NONE) + b"\xc2\x92\x92\xc0\xc0"
                                           b"\xc2\x00\x91" + f1 + b"\x92" + pack(NONE) + b"\xc2")
    for d, default in [(d, default) for d in DIMS for default in (ABSENT, None, {"d": [1.5]})]:
        tree, empty = sample_tree(d, default), getattr(z, "Zell%d" % d)()  # one holds no tree: it writes nil
        root = tree.getClimber()
        root.setData("root")
        data, rec = tree.serialize(), record(tree, default)
        assert data == pack(rec) and empty.serialize() == b"\xc0" and empty.deserialize(b"\xc0") is None
        for target in (ctor(d)(3.0), empty, tree):
            assert target.deserialize(serialized=data + b"\x00\xc1 trailing") is None and target.serialize() == data
            assert record(target, default) == rec
        assert root.extractData() == "root" and root.getData() == (None if default is ABSENT else default)
        assert (default is None or root.getData() is not default) and root.level() == tree.depth()


def walked(tree):
    """(level, holds a payload, payload) of every node, in the order of a walk in depth with climbers."""
    def walk(c):
        found = [(c.level(), c.hasData(), c.getData())]
        for nr in range(2 ** tree.dimensions()) if c.hasChildren() else ():
            found += walk(c.climbClone(nr))
        return found

    return walk(tree.getClimber())


def check_leaves_holding_none():
    """Neighbouring leaves holding None, among leaves without payload and leaves with others, load back cell by
    cell: the loader, which makes leaves saved alike from their bytes alone, tells the two apart. With a default of
    None too, where only hasData() does."""
    row = [None, None, ABSENT, None, None, None, ABSENT, ABSENT, 7, None, ABSENT, None, None, "x", None, None]
    for d, default in [(d, default) for d in DIMS for default in (ABSENT, None)]:
        tree = ctor(d)(1.0) if default is ABSENT else ctor(d, "D")(1.0, default)
        cell = lambda i: [i + 0.5] + [0.5] * (d - 1)  # noqa: E731  along axis 0; the other cells hold nothing
        for i, value in enumerate(row):
            node = tree.createNodeByCoord(cell(i))
            if value is not ABSENT:
                node.setData(value)
        loaded = ctor(d)(3.0)
        loaded.deserialize(tree.serialize())
        read = [(loaded.getNodeByCoord(cell(i)).hasData(), loaded.getNodeByCoord(cell(i)).getData())
                for i in range(len(row))]
        assert read == [(v is not ABSENT, None if v is ABSENT else v) for v in row], (d, read)  # either default
        assert walked(loaded) == walked(tree) and loaded.dataCount() == tree.dataCount() == 12


def changed(d, *changes):
    """The record of a saved depth-1 tree; given (path, value) changes, the changed record packed."""
    tree = ctor(d, "AD")(0.25, [1.5] * d, 42)
    tree.createNodeByCoord([1.8] * d).setData([1, 2.5, "y" * 40])
    rec = record(tree, 42)
    for path, value in changes:
        reduce(lambda part, i: part[i], path[:-1], rec)[path[-1]] = value
    return pack(rec) if changes else rec


def check_failed_loads():
    for d in DIMS:
        rec, n = changed(d), 2 ** d
        data, leaf = pack(rec), [[NONE, False], [[None] * n, False]]
        cases = [(b"", "ObjectConversionDefect", "openarray"),
                 (b"\x97" + data[1:] + b"\xc0", "AssertionDefect", "...object/tuple len mismatch"),
                 (changed(d, ((5, 0), pickle.dumps(Reduce(lambda: (int, ("x",)))))), "ValueError", None),
                 (changed(d, ((0,), [0.0] * (d + 1))), "IndexDefect", "index %d not in 0 .. %d" % (d, d - 1))]
        cases += [(changed(d, *c), "ValueError", "cannot load the tree: " + what) for what, c in [
            ("minNodeSize is not positive and finite", [((1,), nan)]), ("the anchor is not finite", [((0, -1), inf)]),
            ("depth is above 64", [((3,), 65)]), ("sizes does not hold depth + 1 entries", [((4,), [0.25])]),
            ("sizes are not the doublings of minNodeSize", [((4, 1), 0.75)]), ("the root is missing", [((2,), None)]),
            ("the default payload is missing", [((5,), None)]),
            ("a node lies below level 0", [((3,), 0), ((4,), [.25])]),
            ("a node marked as having children lacks some of them", [((2, 1, 0, 0), None)]),
            ("a node marked as having no children holds some", [((2, 1, 0, 1, 1, 0), [leaf] * n)])]]
        # 65 node levels load (the deepest tree there is); one more is refused while reading.
        deep = ctor(d)(1.0)
        deep.createNodeByCoord([2.0 ** 63] * d, 0).setData("bottom")
        rec = record(deep)
        node = rec[2]
        while node[1][1]:
            node = max(node[1][0], key=lambda k: k[1][1])
        node[1] = [[leaf] * n, True]
        cases += [(pack(rec), "ValueError", "serialized tree nests deeper than 65 levels")] + [
            (data[:cut], ("IOError", "ObjectConversionDefect"), None) for cut in range(len(data))]
        tree, empty = sample_tree(d, "dflt"), getattr(z, "Zell%d" % d)()
        root, held = tree.getClimber(), tree.getNodeByCoord([-1.0, 0.25, 3.0, -2.5][:d])
        state = lambda: (tree.serialize(), root.level(), held.getData(), held.hasData(), empty.serialize())  # noqa: E731
        before = state()
        for bad, kind, message in cases:
            fails(lambda: tree.deserialize(bad), kind, message)
            fails(lambda: empty.deserialize(bad), kind)
            assert state() == before
        assert tree.deserialize(deep.serialize()) is None and tree.getNodeByCoord([2.0 ** 63] * d).getData() == "bottom"


def check_leaf_records():
    """Leaves' records are read in one step when they come in the usual bytes: every kind of payload the module
    pickles itself, one that pickle does, pickles of 31, 32, 255 and 256 bytes (the string header's edges), beside
    leaves holding None and leaves holding nothing. A leaf's record bent or cut short is refused as before, leaving
    the tree as it was, and an absent payload's pickle is loaded all the same."""
    def sized(make, size):  # make(n) whose pickle takes `size` bytes, if there is one
        return [make(n) for n in range(size) if len(pickle.dumps(make(n))) == size][:1]

    values = [None, True, False, 0, 255, 65536, -2 ** 31, 2 ** 31, 1.5, -0.0, u"", u"\xe9t\xe9", b"", b"\x00\xff",
              (1, "t"), Int(5)]
    for size in (31, 32, 255, 256):
        values += sized(lambda n: u"x" * n, size) + sized(lambda n: b"y" * n, size)
    typed = lambda v: (type(v), repr(v))  # noqa: E731
    for d in DIMS:
        tree, loaded, n = ctor(d, "D")(1.0, "dflt"), ctor(d)(3.0), 2 ** d
        cell = lambda i: [i + 0.5] + [0.5] * (d - 1)  # noqa: E731
        for i, v in enumerate(values):
            tree.createNodeByCoord(cell(2 * i)).setData(v)
            tree.createNodeByCoord(cell(2 * i + 1))
        data = tree.serialize()
        assert loaded.deserialize(data) is None and loaded.serialize() == data and walked(loaded) == walked(tree)
        assert [typed(loaded.getNodeByCoord(cell(2 * i)).getData()) for i in range(len(values))] == list(
            map(typed, values))
        tail = b"\x92" + pack([None] * n) + b"\xc2"
        leaf = b"\x92\x92" + pack(pickle.dumps(u"\xe9t\xe9")) + b"\xc3" + tail
        at, cells = data.find(leaf), lambda t: [t.getNodeByCoord(cell(i)).hasData() for i in range(2 * len(values))]
        flag = at + len(leaf) - len(tail) - 1
        bent = lambda at, by, data=data: data[:at] + by + data[at + 1:]  # noqa: E731
        cases = [(bent(flag, b"\xc0"), "ObjectConversionDefect", "bool"),
                 (bent(flag + len(tail), b"\xc3"), "ValueError",
                  "cannot load the tree: a node marked as having children lacks some of them"),
                 (bent(at + 2, struct.pack("B", bytearray(data)[at + 2] + 1)), "ObjectConversionDefect", "bool"),
                 (data.replace(leaf, leaf[:-len(tail) - 1] + b"\xc2" + tail).replace(
                     pack(pickle.dumps(u"\xe9t\xe9")), pack(pickle.dumps(Reduce(lambda: (int, ("x",)))))),
                  "ValueError", None)]
        cases += [(data[:cut], ("IOError", "ObjectConversionDefect"), None) for cut in range(at, at + len(leaf))]
        before = loaded.serialize()
        for bad, kind, message in cases:
            fails(lambda: loaded.deserialize(bad), kind, message)
            assert loaded.serialize() == before
        absent = data.replace(leaf, leaf[:-len(tail) - 1] + b"\xc2" + tail)  # the pickle is read, not kept
        assert loaded.deserialize(absent) is None and cells(loaded) == [
            i % 2 == 0 and values[i // 2] != u"\xe9t\xe9" for i in range(2 * len(values))]


def same(c, cm, deep=False):
    """The climber answers like the model's; deep: so does every node below."""
    assert (c.level(), c.size(), c.hasData(), c.hasChildren(), c.getData() is cm.get_data()) == (
        cm.level, cm.tree.sizes[cm.level], cm.node.data is not ABSENT, cm.node.children is not None, True)
    for nr in range(2 ** c.dimensions()) if deep and c.hasChildren() else ():
        child = cm.clone()
        child.climb(nr)
        same(c.climbClone(nr), child, deep)


def expect(native, modelled):
    """Runs both sides; an error the model raises must be raised as it is. Returns both answers."""
    try:
        want = modelled()
    except Refused as refused:
        return fails(native, *refused.args) and (None, None)
    return native(), want


def random_operations(rng, steps=25):
    """A random tree, and random operations on it side by side with the model."""
    d = rng.choice(DIMS)
    m = rng.choice([0.5, 1.0, 2.0, 0.3, 7.77, 0.1, rng.choice([1e-300, 1e300, 5e-324, rng.uniform(1e-6, 1e6)])])
    anchor = [rng.randint(-4, 4) + rng.choice([0, 0, 0.1, 533.49, -1e6 - .3, rng.uniform(-1e6, 1e6)]) for _ in DIMS[:d]]
    default = rng.choice([ABSENT, None, ["default"]])
    tree = ctor(d, "A")(m, anchor) if default is ABSENT else ctor(d, "AD")(m, anchor, default)
    model = TreeModel(d, m, anchor, default)
    pairs, exact = [(tree.getClimber(), model.climber())], lambda v: [repr(float(x)) for x in v]
    grid = lambda: [rng.randint(-48, 48) * m / 4 for _ in range(d)]  # noqa: E731  (quarter cells around 0)

    # Points mostly on the grid; else at the root's corners, just below its upper edge, 2**64 cells away, or anywhere.
    def point():
        return grid() if rng.randint(0, 5) else [rng.choice([
            a, a + model.sizes[-1], nextbelow(a + model.sizes[-1]), rng.uniform(-1e30, 1e30), rng.choice([nan, -0.0]),
            a + rng.choice([-m, m]) * 2.0 ** rng.randint(62, 65), rng.choice([inf, -inf])]) for a in model.anchor]

    for step in range(steps):
        op, obj = rng.choice("walk walk grow key climb climb set set extract range".split()), [step]
        useful = {"climb": lambda cm: cm.level > 0, "extract": lambda cm: cm.node.data is not ABSENT}.get(op)
        c, cm = rng.choice([p for p in pairs if useful and useful(p[1])] or pairs)
        if op == "walk":
            p, level, create = point(), rng.choice([0, 0, 1, 2, 5, KEY_MAX]), rng.choice([False, True])  # KEY_MAX: root
            method = getattr(tree, ("createNodeBy" if create else "getNodeBy") + rng.choice(["Key", "Coord"]))
            got, want = expect(lambda: method(p, level), lambda: model.walk(model.coord_to_key(p), level, create))
            pairs += [(got, want)] if got else []
        elif op == "climb":
            nr = rng.choice([0, 2 ** d - 1, rng.randint(0, 2 ** d), 256, rng.choice([255, -1])])
            create, clone = rng.randint(0, 2), rng.randint(0, 1)
            name, target = ["climb", "creativeClimb"][create > 0] + ["", "Clone"][clone], cm.clone() if clone else cm
            got, _ = expect(lambda: getattr(c, name)(nr), lambda: target.climb(nr, create))
            pairs += [(got, target)] if clone and got else []
        else:
            key = [rng.randint(0, rng.choice([1000, KEY_MAX if m < 1e280 else 1000])) for _ in DIMS[:d]]
            p, lo = point(), grid()
            obj = rng.choice([None, obj])
            hi = [x + rng.randint(-6, [16, 12, 6, 4][d - 1]) * m / 4 for x in lo]
            got, want = expect(*{"grow": (lambda: tree.coordToKey(p), lambda: model.coord_to_key(p)),
                                 "key": (lambda: exact(tree.keyToCoord(key)), lambda: exact(model.key_to_coord(key))),
                                 "set": (lambda: c.setData(obj), lambda: setattr(cm.node, "data", obj)),
                                 "extract": (c.extractData, cm.extract_data),
                                 "range": (lambda: tree.getRange(lo, hi), lambda: model.range(lo, hi))}[op])
            assert got == want and (op != "extract" or got is want), (got, want)
        assert (exact(tree.anchor()), tree.depth(), tree.size()) == (exact(model.anchor), len(model.sizes) - 1,
                                                                   model.sizes[-1])
        for c, cm in pairs:
            same(c, cm)
    same(tree.getClimber(), model.climber(), deep=True)


def check_sparse_windows(seed=0):
    """Sparse windows, walked a level at a time, against the model cell by cell, with cells on every side."""
    rng = random.Random(seed)
    for d, side in zip(DIMS, (30000, 150, 28, 13)):
        tree, model = ctor(d, "AD")(1.0, [0.0] * d, "d"), TreeModel(d, 1.0, [0.0] * d, "d")
        for i in range(int(side ** d * 0.02)):
            key = [rng.randint(0, side + 2) for _ in range(d)]
            tree.createNodeByKey(key).setData(i)
            model.walk(model.coord_to_key([float(k) for k in key]), 0, True).node.data = i
        lo, hi = [1.5] * d, [side - 0.5] * d  # the origin's cell is left out, and the cells beyond the last
        assert tree.getRange(lo, hi) == model.range(lo, hi), d


def cells_set(grid, origin, default):
    """The cells of a window's nested lists that hold something other than the default, by key."""
    cells = {}

    def gather(part, index):
        if len(index) == len(origin):
            return part is not default and cells.setdefault(tuple(o + i for o, i in zip(origin, index)), part)
        [gather(sub, index + [i]) for i, sub in enumerate(part)]

    gather(grid, [])
    return cells


def check_dense_windows():
    """Windows over full child sets, with holes, whose edges cut the sets at every offset on every axis (and the
    bands the walk takes them in: slices of over 1365 cells make bands of two rows on the outermost axis, in every
    dimension, unaligned; a line of 4200 cells, two bands), against the model cell by cell; the sparse windows of
    the same corners; and the references the cells hold."""
    for d, sides in zip(DIMS, ([4200], [7, 1500], [7, 40, 40], [7, 12, 12, 12])):
        default, shared = object(), [d]
        tree, model = ctor(d, "AD")(1.0, [0.0] * d, default), TreeModel(d, 1.0, [0.0] * d, default)
        keys = reduce(lambda keys, side: [k + [i] for k in keys for i in range(side)], sides, [[]])
        for n, key in enumerate(keys):
            payload = None if n % 11 == 5 else shared if n % 3 else n * 10  # None is a payload too
            if n % 7 != 3:  # else a hole: the cell keeps the default
                tree.createNodeByKey(key).setData(payload)
                model.walk(model.coord_to_key([float(k) for k in key]), 0, True).node.data = payload
        start = [sys.getrefcount(shared), sys.getrefcount(default)]
        whole = tree.getRange([0.0] * d, [s - 1.0 for s in sides])
        held = [sys.getrefcount(shared) - start[0], sys.getrefcount(default) - start[1]]
        cells = reduce(lambda parts, _: [c for part in parts for c in part], range(d), [whole])
        assert held == [sum(c is shared for c in cells), sum(c is default for c in cells)] and held[1], d  # one a cell
        whole = cells = None
        assert [sys.getrefcount(shared), sys.getrefcount(default)] == start, d
        for case in range(16):
            lo = [(case + 3 * i) % 4 + (0.5 if (case >> 2) + i & 2 else 0.0) for i in range(d)]  # x.5: cell left out
            hi = [s - 1 - (case + i) % 3 - (0.5 if case % 5 == i else 0.0) for i, s in enumerate(sides)]
            grid, sparse = tree.getRange(lo, hi), tree.getSparseRange(lo, hi)
            assert grid == model.range(lo, hi), (d, lo, hi)
            cells = cells_set(grid, tree.coordToKey(lo), default)
            assert sorted(sparse) == sorted(cells) and all(sparse[k] is cells[k] for k in cells), (d, lo, hi)


def check_random(cases=200):
    for seed in range(int(cases)):
        random_operations(random.Random(seed))


def saved_trees(action, folder):
    """Each interpreter writes one tree per dimension, then each reads what all of them wrote: a reader that
    cannot unpickle the writer's pickle protocol must refuse the load and keep its tree unchanged."""
    for d in DIMS:
        tree, view = ctor(d, "D")(0.5, (1, "default")), lambda t: (t.getRange([-4.0] * d, [4.0] * d), t.anchor())
        for i, payload in enumerate([None, 0, 7, -3, 2 ** 40, 1.5, (1, 2), (None, (3.25,))]):  # pickled alike by all
            tree.createNodeByCoord([0.5 * i - 1.25 * k for k in range(d)]).setData(payload)
        if action == "write":
            protocol = getattr(pickle, "DEFAULT_PROTOCOL", 0)  # 2.7 writes protocol 0
            build = sys.version.split()[0] + ("d" if hasattr(sys, "gettotalrefcount") else "")
            with open(os.path.join(folder, "%s-p%d-d%d.bin" % (build, protocol, d)), "wb") as f:
                f.write(tree.serialize())
            with open(os.path.join(folder, "%s-p%d-d%d.pickle" % (build, pickle.HIGHEST_PROTOCOL, d)), "wb") as f:
                pickle.dump(tree, f, pickle.HIGHEST_PROTOCOL)  # the tree itself, pickled
        pickles = [n for n in sorted(os.listdir(folder)) if n.endswith("-d%d.pickle" % d)] if action == "read" else []
        for name in pickles:  # a pickle of 2.7 holds byte strings: 3.x reads them as latin-1 text
            from_2, protocol = name[0] == "2", int(name.split("-")[1][1:])
            latin = {"encoding": "latin1"} if from_2 and sys.version_info[0] == 3 else {}
            if protocol <= pickle.HIGHEST_PROTOCOL:
                assert view(pickle.load(open(os.path.join(folder, name), "rb"), **latin)) == view(tree), name
        for name in [n for n in sorted(os.listdir(folder)) if n.endswith("-d%d.bin" % d)] if action == "read" else ():
            target, data = ctor(d)(2.0), open(os.path.join(folder, name), "rb").read()
            if int(name.split("-")[1][1:]) <= pickle.HIGHEST_PROTOCOL:
                assert target.deserialize(data) is None and view(target) == view(tree), name
            else:
                fails(lambda: target.deserialize(data), ("Exception", "ValueError"))
                assert target.serialize() == ctor(d)(2.0).serialize(), name


class Int(int):  # pickled by its class's name: never taken for an exact int
    pass


SCALARS = [True, False, 0, 255, 256, 65535, 65536, -1, 2 ** 31 - 1, -2 ** 31, 2 ** 31, -2 ** 31 - 1, 2 ** 64, 0.0,
           -0.0, nan, -inf, 5e-324, struct.unpack(">d", b"\x7f\xf8\x00\x00\x00\x00\x01\x23")[0], Int(5), "K"]


def check_scalar_pickles():
    """The module pickles booleans, ints and floats itself while pickle's functions are the interpreter's own:
    to the bytes, values and types pickle gives, refusing what pickle refuses; replaced functions see them all."""
    bits = lambda v: (type(v), struct.pack(">d", v) if isinstance(v, float) else v)  # noqa: E731
    tree, loaded, dumps, loads, seen = z.newZell1(1.0), z.newZell1(1.0), pickle.dumps, pickle.loads, []
    for i, v in enumerate(SCALARS):
        tree.createNodeByCoord([i + 0.5]).setData(v)
    data = tree.serialize()
    values = lambda t: [bits(t.getNodeByCoord([i + 0.5]).getData()) for i in range(len(SCALARS))]  # noqa: E731
    assert data == pack(record(tree)) and loaded.deserialize(data) is None
    first = values(loaded)
    assert first == [bits(loads(dumps(v))) for v in SCALARS]
    pickle.dumps, pickle.loads = lambda o: seen.append(o) or dumps(o), lambda b: seen.append(b) or loads(b)
    try:
        assert tree.serialize() == data and [bits(v) for v in seen if v is not None] == list(map(bits, SCALARS))
        del seen[:]
        assert loaded.deserialize(data) is None and len(seen) == len(SCALARS) and values(loaded) == first
    finally:
        pickle.dumps, pickle.loads = dumps, loads
    top, forms = pickle.HIGHEST_PROTOCOL, []
    for v in SCALARS[:-2]:
        forms += [dumps(v, p) for p in range(2, top + 1)] + [getattr(pickle, "_dumps", dumps)(v, top)]
        p4 = dumps(v, 4) if top >= 4 else dumps(v, 2)
        forms += [b"\x80" + struct.pack("B", top + 1) + p4[2:], p4 + b".", p4[:-1]]  # beyond the highest, too long, cut
        forms += [p4[:3] + n + p4[4:] for n in (b"\x01", b"\x7f")]  # a frame too short or too long
    rec = record(tree)
    for form in forms:
        rec[2][0] = [form, True]
        outcomes = []
        for load in (loads, lambda form: loaded.deserialize(pack(rec)) or loaded.getClimber().getData()):
            try:
                outcomes.append(bits(load(form)))
            except Exception:
                outcomes.append("refused")
        assert outcomes[0] == outcomes[1], (form, outcomes)


class Text(type(u"")):  # pickled by its class's name: never taken for exact text
    pass


def check_text_pickles(cases=150):
    """Text and byte strings are pickled and unpickled by the module, while pickle's functions are the
    interpreter's own, to the very bytes and objects pickle gives: at the lengths where the form changes (256
    bytes, the 64 KiB frame limit), for text UTF-8 cannot hold as it is (lone surrogates) and over random
    strings. Forms the pickler does not write load as pickle loads them, or are refused as it refuses them."""
    rng = random.Random(11)
    letters = [u"a", u"\xe9", u"\u20ac", u"\U0001f600", u"\x00", u"\n", u"'", u"\\"]
    letters += [u"\udc80", u"\ud800"] if sys.version_info[0] == 3 else []
    texts = [u"", u"x" * 255, u"x" * 256, u"\xe9" * 128, u"\xe9" * 127 + u"x", u"y" * 65535, u"y" * 65536,
             u"\u20ac" * 21845, u"\u20ac" * 21845 + u"x", Text(u"t")]
    texts += [u"".join(rng.choice(letters) for _ in range(rng.randrange(30))) for _ in range(cases)]
    blobs = [b"", b"\x00" * 255, b"\xff" * 256, b"z" * 65535, b"z" * 65536, bytearray(b"ab")]
    blobs += [bytes(bytearray(rng.randrange(256) for _ in range(rng.randrange(300)))) for _ in range(cases // 3)]
    values = texts + blobs
    tree, loaded = z.newZell1(1.0), z.newZell1(1.0)
    for i, v in enumerate(values):
        tree.createNodeByCoord([i + 0.5]).setData(v)
    data = tree.serialize()
    assert data == pack(record(tree)) and loaded.deserialize(data) is None
    typed = lambda v: (type(v), v)  # noqa: E731
    assert [typed(loaded.getNodeByCoord([i + 0.5]).getData()) for i in range(len(values))] == list(map(typed, values))
    top, forms = pickle.HIGHEST_PROTOCOL, []
    for v in [u"abc", u"\xe9" * 300, b"ab", b"q" * 70000]:
        forms += [pickle.dumps(v, p) for p in range(2, top + 1)]
        p = pickle.dumps(v, top)
        forms += [p[:-1], p + b".", p[:-2] + b"q\x01.", p[:2] + p[11:] if p[2:3] == b"\x95" else p[:2] + b"\x95" +
                  struct.pack("<Q", len(p) - 2) + p[2:]]  # cut, too long, another memo, framed the other way
    forms += [b"\x80\x04\x95\x05\x00\x00\x00\x00\x00\x00\x00\x8c\x01\xff\x94.", b"\x80\x03X\x01\x00\x00\x00\xffq\x00.",
              b"\x80\x04\x95\x00\x00\x00\x00\x00\x00\x00\x00"]  # no UTF-8; a frame of nothing
    rec = record(tree)
    for form in forms:
        rec[2][0] = [form, True]
        outcomes = []
        for load in (pickle.loads, lambda form: loaded.deserialize(pack(rec)) or loaded.getClimber().getData()):
            try:
                outcomes.append(typed(load(form)))
            except Exception:
                outcomes.append("refused")
        assert outcomes[0] == outcomes[1], (form[:40], outcomes[0][:1], outcomes[1][:1])


def as_table(points, d, item=ctypes.c_double):
    """The points as a ctypes array of shape (N, d), which lends a buffer as a numpy array does (every interpreter)."""
    row = item * d
    return (row * len(points))(*[row(*p) for p in points])


def bulk_call(tree, op, coords, values, level):
    return {"set": lambda: tree.setDataByCoords(coords, values, level), "keys": lambda: tree.coordsToKeys(coords),
            "get": lambda: tree.getDataByCoords(coords, level)}[op]()


def loop_call(tree, op, points, values, level):
    return {"set": lambda: [tree.createNodeByCoord(p, level).setData(v) for p, v in zip(points, values)] and None
            or None,
            "keys": lambda: [tree.coordToKey(p) for p in points],
            "get": lambda: [tree.getNodeByCoord(p, level).getData() for p in points]}[op]()


def check_bulk(cases=80):
    """Calls on many points give what loops of single calls give: the same objects, keys as each point's turn gave
    them, the same growth and the same tree, byte for byte. A refusal is the first refusing single call's, and leaves
    the tree as it was. Points come as lists, tuples and buffers of float64 (either byte order), float32 and int64."""
    forms = [list, tuple, as_table, lambda p, d: as_table(p, d, ctypes.c_double.__ctype_be__),
             lambda p, d: as_table(p, d, ctypes.c_float), lambda p, d: as_table(p, d, ctypes.c_int64)]
    for seed in range(int(cases)):
        rng = random.Random(seed)
        d, m = DIMS[seed % 4], rng.choice([1.0, 0.3, 7.77, 1e-3, 2.0 ** -30])
        anchor, default = [rng.choice([0.0, -2.5, 0.1, rng.uniform(-1e3, 1e3)]) for _ in range(d)], rng.choice([
            ABSENT, None, "d"])
        trees = [ctor(d, "A")(m, anchor) if default is ABSENT else ctor(d, "AD")(m, anchor, default) for _ in "ab"]

        def point(a, size):  # mostly near the tree; else at its corners and edges, far away, NaN or infinite
            return [rng.choice([x + rng.randint(-40, 40) * m / 2] * 5 + [x, nextbelow(x + size), rng.choice([
                nan, -0.0, inf, -inf, x + rng.choice([-m, m]) * 2.0 ** rng.randint(20, 66)])]) for x in a]

        for _ in range(5):
            form, op, level = rng.randrange(len(forms)), rng.choice(["set", "get", "keys"]), rng.choice([0, 1, 3, 70])
            n = rng.choice([0, 1, 7, 60, 400, 2500])
            points = [point(trees[0].anchor(), trees[0].size()) if rng.random() < 4.0 / (n + 30) else [
                x + rng.randint(-8, 200) * m for x in anchor] for _ in range(n)]
            if form == 5:  # integers: only finite points, as ints
                finite = [p for p in points if not any(math.isinf(x) or x != x for x in p)]
                points = [[int(max(-2 ** 62, min(2 ** 62, x))) for x in p] for p in finite]
            coords = forms[form](points, d) if form > 1 else list(map(forms[form], points))
            points = [list(map(float, p)) for p in coords]  # as the buffer holds them
            values, before = [rng.choice([[i], None, i]) for i in range(len(points))], trees[1].serialize()
            try:
                want = loop_call(trees[0], op, points, values, level)
            except z.PyGlueException as refused:
                kind, message = type(refused).__name__, str(refused)[len(PREFIX):]
                fails(lambda: bulk_call(trees[1], op, coords, values, level), kind, message)
                assert trees[1].serialize() == before
                trees[0] = copy.copy(trees[1])  # the same payload objects, for the next comparison
                continue
            got = bulk_call(trees[1], op, coords, values, level)
            assert got == want and all(a is b for a, b in zip(got or (), want or ())) if op == "get" else got == want
            assert trees[0].serialize() == trees[1].serialize(), (seed, op, form)


def check_bulk_arguments():
    """Arguments a call on many points refuses, before anything changes: the single calls' messages where one
    applies, TypeErrors for what cannot be read, a ValueError for lengths that differ."""
    shape = CONVERT + "array of shape (N, 2)"
    for bad, message in [(5, CONVERT + "list of points or array of shape (N, 2)"), (iter([[0.5, 0.5]]), None),
                         ([[0.5, 0.5], [0.5]], CONVERT + "array[0..1, float]"), ([[0.5, "x"]], CONVERT + "float"),
                         ([(0.5, 0.5), 3], CONVERT + "array[0..1, float]"),
                         (as_table([[1.0, 2.0, 3.0]], 3), shape + ": it has shape (1, 3)"),
                         ((ctypes.c_double * 4)(), shape + ": it has shape (4,)"),
                         ((ctypes.c_char * 2 * 3)(), shape + " of numbers: its items have format '<c'"),
                         (bytearray(b"abcd"), shape + ": it has shape (4,)")]:
        tree = z.newZell2D(1.0, "d")
        tree.createNodeByCoord([0.5, 0.5]).setData("kept")
        before = tree.serialize()
        for call in (lambda: tree.setDataByCoords(bad, [1, 2]), lambda: tree.getDataByCoords(coords=bad),
                     lambda: tree.coordsToKeys(bad)):
            fails(call, TypeError, message)
        assert tree.serialize() == before
    tree, far = z.newZell1D(1.0, "d"), [[0.5], [2.0 ** 70], [3.5]]
    before = tree.serialize()
    unequal = "setDataByCoords() takes one payload for each point: 1 point and 2 payloads given"
    lying = type("Lying", (object,), {"__len__": lambda self: sys.maxsize, "__getitem__": lambda self, i: i})()
    for call, kind, message in [
            (lambda: tree.setDataByCoords([[0.5]], [1, 2]), TypeError, unequal),
            (lambda: tree.setDataByCoords([[0.5]], lying), TypeError, CONVERT + "sequence of payloads"),
            (lambda: tree.setDataByCoords([[0.5]], 7), TypeError, CONVERT + "sequence of payloads"),
            (lambda: tree.setDataByCoords([[0.5]], {0: 1}), TypeError, CONVERT + "sequence of payloads"),
            (lambda: tree.getDataByCoords([[0.5]], -1), TypeError, CONVERT + "uint"),
            (lambda: tree.setDataByCoords([[0.5]], [1], level="x"), TypeError, CONVERT + "uint"),
            (lambda: tree.setDataByCoords(far, "abc"), "ValueError", TOO_FAR + " would need more than 64 levels"),
            (lambda: tree.coordsToKeys([[0.5], [-inf]]), "ValueError",
             "coordinate must be finite to grow the tree to it"),
            (lambda: tree.getDataByCoords([[1e300], [-1e300]]), "ValueError", TOO_FAR + " would need more than 64 "
             "levels")]:
        fails(call, kind, message)
        assert tree.serialize() == before
    # Any sequence with len() and indexing holds payloads; a string is one of its characters each.
    seq = type("Seq", (object,), {"__len__": lambda self: 2, "__getitem__": lambda self, i: [7, 8][i]})()
    assert tree.setDataByCoords(((0.5,), (1.5,)), seq) is None and tree.setDataByCoords([[2.5], [3.5]], "xy") is None
    assert tree.getDataByCoords(as_table([[0.5], [1.5], [2.5], [3.5], [4.5]], 1)) == [7, 8, "x", "y", "d"]


def held(tree, level):
    """(key tuple, payload) of every node at `level` holding a payload, in the order of a walk in depth, and the
    counts of all nodes and of payloads: found with climbers."""
    found, counts = [], [0, 0]

    def walk(c, key):
        counts[0], counts[1] = counts[0] + 1, counts[1] + c.hasData()
        if c.level() == level and c.hasData():
            found.append((tuple(key), c.getData()))
        for nr in range(2 ** tree.dimensions()) if c.hasChildren() else ():
            walk(c.climbClone(nr), [k + ((nr >> i) & 1) * 2 ** (c.level() - 1) for i, k in enumerate(key)])

    walk(tree.getClimber(), [0] * tree.dimensions())
    return found, counts


def check_contents(cases=30):
    """items() and the counts against walks with climbers, on every level; sparse windows against getRange."""
    for seed in range(int(cases)):
        rng = random.Random(seed)
        d, default = DIMS[seed % 4], object()
        tree, side = ctor(d, "AD")(0.5, [rng.uniform(-3, 3) for _ in range(d)], default), [64, 24, 10, 6][d - 1]
        for level in (0, 0, 1, 3):
            points = [[rng.uniform(-side, side) for _ in range(d)] for _ in range(rng.randint(0, 5 * side))]
            tree.setDataByCoords(points, [object() for _ in points], level)
        tree.getNodeByCoord([0.0] * d).setData("at the top")
        for level in range(tree.depth() + 2):
            items, counts = held(tree, level)
            got = list(tree.items(level=level))
            assert [k for k, _ in got] == [k for k, _ in items] and all(a[1] is b[1] for a, b in zip(got, items))
        assert [tree.nodeCount(), tree.dataCount()] == counts
        lo = [rng.uniform(-side, side) for _ in range(d)]
        hi = [x + rng.uniform(-0.5, [40, 12, 5, 3][d - 1]) for x in lo]
        grid, sparse = tree.getRange(lo, hi), tree.getSparseRange(lo, hi)
        cells = cells_set(grid, tree.coordToKey(lo), default)
        assert sorted(sparse) == sorted(cells) and all(sparse[k] is cells[k] for k in cells), (seed, lo, hi)
    tree = z.newZell2(1.0)  # without a default, and for any window
    tree.setDataByCoords([[0.5, 0.5], [2.0 ** 40, 3.5]], "ab")
    sparse = tree.getSparseRange([-1.0, -1.0], [2.0 ** 41, 2.0 ** 41])  # grows the tree first, as getRange would
    assert sparse == dict((tuple(tree.coordToKey(p)), v) for p, v in [([0.5, 0.5], "a"), ([2.0 ** 40, 3.5], "b")])
    assert tree.getSparseRange([3.0, 3.0], [-5.0, 0.0]) == {}


def check_iteration():
    """An iterator over items goes on through payloads set and removed meanwhile, refuses to go on once the tree has
    changed shape, holds its tree, and neither copies nor pickles."""
    for change in (lambda t: t.createNodeByCoord([0.5, 6.5]), lambda t: t.setDataByCoords([[2.5, 5.5]], "n"),
                   lambda t: t.coordToKey([-1.0, 0.5]), lambda t: t.deserialize(t.serialize())):
        tree = z.newZell2D(1.0, "d")
        tree.setDataByCoords([[x + 0.5, 0.5] for x in range(8)], range(8))
        it = tree.items()
        assert next(it) == ((0, 0), 0) and tree.getNodeByCoord([3.5, 0.5]).extractData() == 3
        tree.getNodeByCoord([5.5, 0.5]).setData("new")
        tree.getNodeByCoord([6.5, 0.5]).setData("new too")  # on existing nodes: no change of shape
        assert [next(it), next(it), next(it), next(it)] == [((1, 0), 1), ((2, 0), 2), ((4, 0), 4), ((5, 0), "new")]
        change(tree)
        fails(lambda: next(it), RuntimeError, "tree changed shape during iteration")
        assert list(it) == []
    tree = z.newZell3(1.0)
    tree.createNodeByCoord([5.5] * 3, 1).setData("x")
    it, level0, top = tree.items(1), tree.items(), tree.items(level=tree.depth())
    tree = None
    gc.collect()
    assert (list(it), list(level0), list(top), list(z.newZell1(1.0).items(5))) == ([((4, 4, 4), "x")], [], [], [])
    for refused in (lambda: type(it)(), lambda: copy.copy(it), lambda: pickle.dumps(it)):
        fails(refused, TypeError)


def pruned_below(c):
    """(nodes below c that a prune keeps, whether c or any node below it holds a payload), found with climbers:
    a child set stays when a node in it or below it holds a payload."""
    below = [pruned_below(c.climbClone(nr)) for nr in range(2 ** c.dimensions())] if c.hasChildren() else []
    if any(payload for _, payload in below):
        return len(below) + sum(n for n, _ in below), True
    return 0, c.hasData()


def check_prune(cases=24):
    """prune() against what the payloads alone keep: the count a walk with climbers predicts, and the tree that the
    same growth and the kept payloads alone make, pruned too. A second prune removes nothing. Climbers made before
    a prune that removed nodes are refused but on the root; iterators stop; payloads keep their counts."""
    for seed in range(int(cases)):
        rng = random.Random(seed)
        d, side = DIMS[seed % 4], [64, 24, 10, 6][seed % 4]
        anchor = [rng.uniform(-3, 3) for _ in range(d)]
        tree, same, payload = ctor(d, "AD")(0.5, anchor, "d"), ctor(d, "AD")(0.5, anchor, "d"), object()
        for _ in range(rng.randint(0, 4 * side)):
            point = [rng.uniform(-side, side) for _ in range(d)]
            tree.createNodeByCoord(point, rng.choice((0, 0, 0, 1, 2))).setData(payload)
            same.coordToKey(point)  # the same growth, and nothing else
        kept = []
        for level in range(tree.depth() + 1):
            for key, _ in tree.items(level):
                corner = [x + 0.25 for x in tree.keyToCoord(list(key))]
                if rng.random() < 0.7:
                    tree.getNodeByCoord(corner, level).extractData()
                else:
                    kept.append((corner, level))
                    same.createNodeByCoord(corner, level).setData(payload)
        held_before = [list(tree.items(level)) for level in range(tree.depth() + 1)]
        count_before = sys.getrefcount(payload)
        root, expected = tree.getClimber(), 1 + pruned_below(tree.getClimber())[0]
        climbers = [tree.getNodeByCoord(corner, level) for corner, level in kept[:3]]
        before, it = tree.nodeCount(), tree.items()
        removed = tree.prune()
        assert (tree.nodeCount(), before - removed, tree.dataCount()) == (expected, expected, len(kept)), seed
        assert [list(tree.items(level)) for level in range(tree.depth() + 1)] == held_before
        assert sys.getrefcount(payload) == count_before
        same.prune()
        saved = tree.serialize()
        assert same.serialize() == saved and (tree.prune(), tree.serialize()) == (0, saved), seed
        assert (root.level(), root.getData()) == (tree.depth(), "d" if not tree.getClimber().hasData() else payload)
        if removed:
            for stale in climbers:  # surviving nodes too: a climber cannot tell them from removed ones
                fails(stale.getData, "ValueError", PRUNED)
            fails(lambda: next(it), RuntimeError, "tree changed shape during iteration")
        climbers, it = [tree.getNodeByCoord(corner, level) for corner, level in kept], tree.items()
        assert tree.prune() == 0 and [c.getData() for c in climbers] == [payload] * len(kept)  # nothing removed
        assert list(it) == held_before[0]
    tree = z.newZell2D(1.0, "d")  # a climber on a removed node, one on a node made again at its place
    tree.createNodeByCoord([5.5, 5.5]).setData("x")
    gone = tree.getNodeByCoord([5.5, 5.5])
    gone.extractData()
    assert (tree.nodeCount(), tree.prune(), tree.nodeCount(), tree.getClimber().hasChildren()) == (21, 20, 1, False)
    tree.createNodeByCoord([5.5, 5.5]).setData("again")
    for call in (gone.getData, lambda: gone.setData(1), gone.hasChildren, lambda: gone.climb(0)):
        fails(call, "ValueError", PRUNED)
    copy_of = z.Zell2()
    copy_of.deserialize(tree.serialize())
    assert copy_of.serialize() == tree.serialize() and copy_of.getNodeByCoord([5.5, 5.5]).getData() == "again"
    for far in (-3.5, -7.5, -11.5, -27.5):  # a former root pruned away, its block reused by the next root
        tree = z.newZell1D(1.0, "d")
        first = tree.getClimber()
        tree.coordToKey([3.5])
        assert tree.prune() > 0
        tree.coordToKey([far])
        tree.createNodeByCoord([far + 1.0]).setData(1)
        tree.getNodeByCoord([far + 1.0]).extractData()
        assert tree.prune() > 0
        fails(first.getData, "ValueError", PRUNED)
    # Each refusal names what may have lost the node: the load, the prune, or either.
    blob = z.newZell1D(1.0, "x").serialize()
    for events, message in (("gl", STALE), ("gp", PRUNED), ("lgp", BOTH), ("gpl", BOTH)):
        tree = z.newZell1D(1.0, "d")
        first = tree.getClimber()  # on the root until the tree grows
        for event in events:
            {"l": lambda: tree.deserialize(blob), "g": lambda: tree.coordToKey([10.5]), "p": tree.prune}[event]()
        fails(first.getData, "ValueError", message)


class Held(object):  # a payload that weak references can watch
    pass


def collected(make):
    """make(payload) builds objects that refer to `payload` and returns nothing of them: after a collection the
    payload must be gone, and nothing must be left for the collector as uncollectable."""
    payload = Held()
    watch = weakref.ref(payload)
    make(payload)
    payload = None
    gc.collect()
    return watch() is None and not gc.garbage


class Logged(object):
    """A payload that notes its label in `log` when it goes, and, given a tree, writes the label into it at
    `point`."""

    def __init__(self, log, label, tree=None, point=None):
        self.log, self.label, self.tree, self.point = log, label, tree, point

    def __del__(self):
        self.log.append(self.label)
        if self.tree is not None:
            self.tree.createNodeByCoord(self.point).setData(self.label)


def release_order(climber):
    """The labels of the payloads at and below the climber's node in the order a tree lets go of them: the
    children by number, each one's subtree before its own payload; the node's own payload last."""
    order = []
    if climber.hasChildren():
        for i in range(2 ** climber.dimensions()):
            order += release_order(climber.climbClone(i))
    if climber.hasData():
        order.append(climber.getData().label)
    return order


def check_release_order(cases=16):
    """A tree lets go of its payloads in release_order, when it goes and when a load replaces its nodes, also
    with former roots inside child sets (growth both ways) and payloads above level 0. Payloads that write
    into the tree being loaded while they go leave it as the same writes made after the load would."""
    rng = random.Random(5)
    for case in range(cases):
        d, log = DIMS[case % 4], []
        tree, loaded, points = ctor(d)(1.0), ctor(d)(1.0), {}
        writes, made = case % 4 == 2, []  # loads only: a tree going cannot be written
        for label in range(rng.randrange(1, 400)):
            points[label] = [rng.uniform(-60, 60) for _ in range(d)]
            payload = Logged(log, label, None, points[label])
            made.append(weakref.ref(payload))
            tree.createNodeByCoord(points[label], rng.choice([0, 0, 0, 1, 2, 5])).setData(payload)
        expected, payload = release_order(tree.getClimber()), None
        for kept in filter(None, (ref() for ref in made)):
            kept.tree = tree if writes else None
        kept = None
        del log[:]
        if case % 2:
            tree = None
        else:
            tree.deserialize(loaded.serialize())
        assert log == expected, (d, case)
        if writes:
            for label in expected:
                loaded.createNodeByCoord(points[label]).setData(label)
            assert tree.serialize() == loaded.serialize() and tree.nodeCount() == loaded.nodeCount(), (d, case)


def check_collection():
    """Trees, climbers and iterators take part in cyclic collection: a cycle through a tree's payloads or its
    default is collected; one that something outside still reaches is not."""
    for d in DIMS:
        point = [2.5] * d
        assert gc.is_tracked(ctor(d)(1.0)) and gc.is_tracked(ctor(d)(1.0).getClimber())
        empty = getattr(z, "Zell%dClimber" % d)()  # objects made by calling a class hold nothing, nor do copies
        assert [gc.is_tracked(o) for o in (empty, copy.copy(empty), getattr(z, "Zell%d" % d)())] == [True] * 3

        def through_default(p):
            holder = [p]
            holder.append(ctor(d, "D")(1.0, holder))

        cases = [lambda p: ctor(d)(1.0).getClimber().setData(p) or None,  # no cycle at all
                 lambda p: [t.getClimber().setData([t, p]) for t in [ctor(d)(1.0)]] and None,
                 lambda p: [t.createNodeByCoord(point, 0).setData({"c": t.getClimber(), "p": p})
                            for t in [ctor(d)(1.0)]] and None,
                 lambda p: [t.createNodeByCoord(point).setData([t.items(), p]) for t in [ctor(d)(1.0)]] and None,
                 lambda p: [t.getClimber().setData(copy.copy(t)) or t.getClimber().setData([t, p])
                            for t in [ctor(d)(1.0)]] and None,
                 through_default]
        for i, case in enumerate(cases):
            assert collected(case), (d, i)
        kept, payload = ctor(d)(1.0).getClimber(), Held()  # a climber kept outside keeps its tree and payloads
        watch = weakref.ref(payload)
        kept.setData([kept, payload])
        payload = None
        gc.collect()
        assert watch() is kept.getData()[1] and watch() is not None
        kept = None
        gc.collect()
        assert watch() is None
    # A finalizer in a cycle through a tree runs before the cycle is broken: it finds the tree whole.
    seen = []

    class Looks(object):
        def __del__(self):
            seen.append(self.tree.getClimber().getData())

    tree, looks = z.newZell1(1.0), Looks()
    looks.tree = tree
    tree.getClimber().setData(looks)
    tree = looks = None
    gc.collect()
    assert [type(o) for o in seen] == [Looks] or sys.version_info[0] == 2  # 2.7 keeps such cycles in gc.garbage
    del gc.garbage[:]


def check_copies_and_states():
    """A deep copy maps the tree to its copy inside its payloads; a tree that holds itself cannot be saved and
    says so briefly; __setstate__ loads in place (a root climber follows, others are refused); a state given as
    latin-1 text (a Python 2 pickle read by Python 3) loads."""
    for d in DIMS:
        tree = ctor(d)(1.0)
        tree.createNodeByCoord([3.5] * d).setData([tree, "x"])
        cp = copy.deepcopy(tree)
        assert cp is not tree and cp.getNodeByCoord([3.5] * d).getData()[0] is cp
        pair = (tree,)
        tree.getClimber().setData(pair)
        pair_copy = copy.deepcopy(pair)
        assert pair_copy[0].getClimber().getData() is pair_copy and pair_copy[0] is not tree
        for save in (tree.serialize, lambda: pickle.dumps(tree)):
            fails(save, "ValueError", "a tree cannot be saved inside its own save: one of its payloads holds the tree")
        tree.getNodeByCoord([3.5] * d).extractData()

        def swallow():  # a refusal that a payload's pickling caught is not what a later error reports
            try:
                tree.serialize()
            except Exception:
                pass
            return (int, (1,))

        tree.getClimber().setData([Reduce(swallow), Reduce(lambda: throw(KeyError("own")))])
        fails(tree.serialize, "KeyError", "...'own'")
        saves = []  # a payload whose pickling saves its tree a few times over is no tree that holds itself
        again = lambda: (len(saves) < 3 and (saves.append(1), tree.serialize()), (int, (1,)))[1]  # noqa: E731
        tree.getClimber().setData(Reduce(again))
        assert len(tree.serialize()) > 0 and len(saves) == 3
        tree.getClimber().extractData()
        root, inner, other = tree.getClimber(), tree.createNodeByCoord([0.5] * d, 0), ctor(d)(1.0)
        other.createNodeByCoord([-5.5] * d).setData("s")
        tree.__setstate__(other.serialize())
        assert (tree.serialize(), root.level(), root.hasChildren()) == (other.serialize(), other.depth(), True)
        fails(inner.getData, "ValueError", STALE)
        assert pickle.loads(pickle.dumps(tree)).serialize() == tree.serialize()
        text = other.serialize().decode("latin-1")
        again = ctor(d)(1.0)
        again.__setstate__(text)
        assert again.serialize() == other.serialize()
        fails(lambda: again.__setstate__(u"\u20ac"), "ValueError", "...this text holds other characters")
        assert again.serialize() == other.serialize()
        empty = z.Zell2() if d == 2 else ctor(d)(1.0)  # the state of an object holding no tree empties it
        held = empty.getClimber() if d != 2 else None
        if held is not None:
            fails(lambda: empty.__setstate__(b"\xc0"), "ValueError", "...climbers or iterators still use")
            held = None
        empty.__setstate__(b"\xc0")
        assert empty.serialize() == b"\xc0"


def check_doc_strings():
    """Every function and method carries a doc string behind its text signature: from Python 3.4 on, help() and
    inspect read the signature and show the rest; Python 2 shows it all as it is."""
    import inspect

    owners = [z, z.PyGlueException] + [getattr(z, "Zell%d%s" % (d, kind)) for d in DIMS for kind in ("", "Climber")]
    seen = 0
    for owner in owners:
        for name in sorted(vars(owner)):
            value = getattr(owner, name)
            if name == "__new__" or type(value).__name__ not in ("builtin_function_or_method", "method_descriptor"):
                continue
            seen += 1
            doc, head = value.__doc__, "($module" if owner is z else "($self"
            if sys.version_info < (3, 4):
                assert doc.startswith(name + head) and ")\n--\n\n" in doc and doc.split("\n--\n\n")[1], name
                continue
            assert value.__text_signature__.startswith(head) and doc and not doc.startswith(name + "("), name
            assert not any(p.default not in (p.empty, 0) for p in inspect.signature(value).parameters.values()), name
    assert seen == 18 + 1 + 4 * (27 + 15), seen
    if sys.version_info >= (3, 4):
        empty = inspect.Parameter.empty
        parameters = inspect.signature(z.Zell2.getNodeByCoord).parameters.values()
        assert [(p.name, p.default) for p in parameters] == [("self", empty), ("coord", empty), ("level", 0)]



def call_shapes():
    """Every module function and method called in many shapes (positional counts from none to four, each known
    keyword alone and after a positional argument, an unknown one, one given twice), each on fresh objects: one
    line per call with what came of it."""
    values = dict(coord=[0.5], key=[1], anchor=[0.5], minCornerCoords=[0.0], maxCornerCoords=[1.0], level=0,
                  minSize=1.0, default="d", data="x", childNr=0, memo={}, coords=[[0.5]], kind="ValueError",
                  args=("m",), serialized=None, state=None)
    lines = []

    def outcome(call):
        try:
            return "-> " + type(call()).__name__
        except BaseException as e:  # noqa: B902
            return "!! %s %s" % (type(e).__name__, e)

    for d in DIMS:
        fresh = {"tree": lambda: ctor(d)(1.0), "climber": lambda: ctor(d)(1.0).getClimber()}
        blob = ctor(d)(1.0).serialize()
        vals = dict(values, coord=[0.5] * d, key=[1] * d, anchor=[0.5] * d, minCornerCoords=[0.0] * d,
                    maxCornerCoords=[1.0] * d, coords=[[0.5] * d], serialized=blob, state=blob)
        positional = [[0.5] * d, 0, "x", [0.5] * d]
        targets = [("z." + n, lambda n=n: getattr(z, n)) for n in sorted(dir(z)) if n.startswith("newZell%d" % d)]
        for kind, make in sorted(fresh.items()):
            names = sorted(n for n in dir(make()) if not n.startswith("_") or n in
                           ("__reduce__", "__setstate__", "__copy__", "__deepcopy__"))
            targets += [(kind + "." + n, lambda n=n, make=make: getattr(make(), n)) for n in names
                        if callable(getattr(make(), n)) and type(getattr(make(), n)).__name__.startswith("builtin")]
        for label, get in targets:
            for count in range(5):
                lines.append("%d %s %d: %s" % (d, label, count, outcome(lambda: get()(*positional[:count]))))
            for name, value in sorted(vals.items()):
                lines.append("%d %s %s=: %s" % (d, label, name, outcome(lambda: get()(**{name: value}))))
                after = outcome(lambda: get()(positional[0], **{name: value}))
                lines.append("%d %s 1,%s=: %s" % (d, label, name, after))
            lines.append("%d %s x=: %s" % (d, label, outcome(lambda: get()(x=1))))
    lines.append("z.get_all_dimensions: %s" % outcome(lambda: z.get_all_dimensions(1, 2, y=3)))
    return lines


def check_call_roads():
    """Calls bind alike on both roads: the positional tuple road and, from 3.7 on, the vectorcall one. This
    interpreter's road and the tuple road (chosen by the environment at import, in a second process) give the
    same result, error and message for every call shape."""
    import subprocess
    env = dict(os.environ, ZELL_DIM_1_2_3_4_CALLS="tuple")
    ours = call_shapes()
    assert len(ours) > 1000
    if sys.version_info[:2] >= (3, 7):  # the descriptor's method definition names the road: vectorcall here
        descriptor = type(z.newZell1(1.0)).__dict__["coordToKey"]
        definition = ctypes.c_void_p.from_address(id(descriptor) + 5 * ctypes.sizeof(ctypes.c_void_p)).value
        assert ctypes.c_int.from_address(definition + 2 * ctypes.sizeof(ctypes.c_void_p)).value == 0x82
    try:
        other = subprocess.Popen([sys.executable, os.path.abspath(__file__), "shapes"], env=env,
                                 stdout=subprocess.PIPE)
    except OSError:  # an interpreter run by an emulator that cannot start another: the native runs compare
        return
    theirs = other.communicate()[0].decode("utf-8").splitlines()
    assert other.returncode == 0, other.returncode
    differ = [(a, b) for a, b in zip(ours, theirs) if a != b]
    assert not differ and len(ours) == len(theirs), differ[:3]


CHECKS = [check_calls, check_points_emptied_while_read, check_references, check_saves_and_loads,
          check_leaves_holding_none, check_leaf_records, check_failed_loads, check_random,
          check_sparse_windows, check_dense_windows, check_scalar_pickles, check_bulk, check_bulk_arguments,
          check_contents, check_iteration, check_prune, check_release_order, check_collection,
          check_copies_and_states, check_text_pickles, check_call_roads, check_doc_strings]

if __name__ == "__main__":
    if sys.argv[1:2] == ["shapes"]:
        sys.stdout.write("\n".join(call_shapes()) + "\n")
        sys.exit(0)
    failed, checks = [], [saved_trees] if sys.argv[1:2] in (["write"], ["read"]) else CHECKS
    for check in checks:
        try:
            check(*sys.argv[1:3] if check in (saved_trees, check_random) else [])
        except Exception:
            failed.append("FAIL %s\n%s" % (check.__name__, traceback.format_exc()))
    print("\n".join(failed + ["Python %s: %d checks, %d failed" % (sys.version.split()[0], len(checks), len(failed))]))
    sys.exit(1 if failed else 0)
