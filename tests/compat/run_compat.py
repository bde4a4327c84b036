# Cross-interpreter check of zell_dim_1_2_3_4: the same built module must
# behave identically under every CPython from 2.7 to 3.13. Runs with no
# third-party packages (plain script, valid Python 2.7 and 3.x); the module is
# found through PYTHONPATH. Prints each failed check and exits 1 if any failed.
#
# To cover new callables, write a function taking the module and add it to
# SECTIONS at the bottom.
from __future__ import print_function

import sys

import zell_dim_1_2_3_4 as z

DIMS = (1, 2, 3, 4)
failures = []
count = [0]
current = [""]
dim = [None]


def check(label, ok, detail=""):
    count[0] += 1
    if not ok:
        where = current[0] + (" D=%d" % dim[0] if dim[0] else "")
        if len(detail) > 400:
            detail = detail[:400] + "..."
        failures.append("%s: %s%s" % (where, label, (" -- " + detail) if detail else ""))


def dims():
    """Iterates over the dimensions, naming the current one in failures."""
    for d in DIMS:
        dim[0] = d
        yield d
    dim[0] = None


def eq(label, got, want):
    # == on purpose: Python 2 may give long where Python 3 gives int.
    check(label, got == want, "got %r, want %r" % (got, want))


def raises(label, fn, kind, message):
    """fn() must raise: kind is a builtin exception class (exact type), or a
    string naming the kind of a module error (a PyGlueException subclass
    from module 'pyglue', message prefixed as the module does)."""
    try:
        result = fn()
    except Exception as e:
        text = str(e)
        if isinstance(kind, str):
            cls = type(e)
            ok = (cls.__bases__ == (z.PyGlueException,) and cls.__name__ == kind and
                  cls.__module__ == "pyglue" and not isinstance(e, ValueError))
            want = "Unexpected error encountered: " + message
            check(label, ok and text == want,
                  "got %s.%s %r, want pyglue.%s %r" % (cls.__module__, cls.__name__, text, kind, want))
        else:
            check(label, type(e) is kind and text == message,
                  "got %s %r, want %s %r" % (type(e).__name__, text, kind.__name__, message))
        return
    check(label, False, "no exception, returned %r" % (result,))


def ctor(d, suffix=""):
    return getattr(z, "newZell%d%s" % (d, suffix))


def section_module(z):
    eq("get_all_dimensions", z.get_all_dimensions(), [1, 2, 3, 4])
    eq("get_all_dimensions ignores arguments", z.get_all_dimensions("x", y=1), [1, 2, 3, 4])
    for d in dims():
        for name in ("Zell%d" % d, "Zell%dClimber" % d):
            cls = getattr(z, name, None)
            check(name + " is a class", isinstance(cls, type), repr(cls))
            eq(name + " name", getattr(cls, "__name__", None), name)
    g = z.PyGlueException
    eq("PyGlueException", (g.__module__, g.__name__, g.__bases__), ("pyglue", "PyGlueException", (Exception,)))
    try:
        type("Sub", (z.Zell2,), {})
        check("Zell2 is not subclassable", False, "subclass was created")
    except TypeError:
        pass
    t = z.newZell2(1.0)
    holder = type("Holder", (object,), {"t": t, "c": t.getClimber()})
    check("class attributes read back as themselves", holder.t is t and holder().c is holder.__dict__["c"])
    # A second import in the same process gives a working module that
    # shares the exception class with the first.
    del sys.modules["zell_dim_1_2_3_4"]
    again = __import__("zell_dim_1_2_3_4")
    sys.modules["zell_dim_1_2_3_4"] = z
    eq("second import", (again.get_all_dimensions(), again.PyGlueException is z.PyGlueException),
       ([1, 2, 3, 4], True))
    raises("second import raises module errors", lambda: again.newZell2(0.0), "ValueError",
           "minSize must be positive and finite")


def section_constructors(z):
    for d in dims():
        origin = [0.0] * d
        anchor = [float(i + 1) for i in range(d)]
        cls = getattr(z, "Zell%d" % d)
        made = [("", (1.0,)), ("A", (1.0, anchor)), ("D", (1.0, "dflt")),
                ("AD", (1.0, tuple(anchor), None))]
        for suffix, args in made:
            name = "newZell%d%s" % (d, suffix)
            t = ctor(d, suffix)(*args)
            check(name + " class", type(t) is cls, repr(type(t)))
            eq(name + " anchor", t.anchor(), anchor if "A" in suffix else origin)
            eq(name + " minNodeSize", t.minNodeSize(), 1.0)
            eq(name + " depth", t.depth(), 0)
            eq(name + " dimensions", t.dimensions(), d)
            eq(name + " size", t.size(), 1.0)
        eq("int minSize", ctor(d)(3).minNodeSize(), 3.0)
        t, u = ctor(d, "AD")(default=7, anchor=anchor, minSize=0.5), ctor(d, "A")(2.0, anchor=anchor)
        eq("by keyword", (t.minNodeSize(), t.anchor(), u.anchor()), (0.5, anchor, anchor))
        empty = cls(1, 2, x=3)
        eq("Zell%d() dimensions" % d, empty.dimensions(), d)
        for meth, args in (("anchor", ()), ("minNodeSize", ()), ("depth", ()), ("size", ()),
                           ("coordToKey", (origin,)), ("keyToCoord", ([0] * d,))):
            raises("Zell%d().%s" % (d, meth), lambda: getattr(empty, meth)(*args),
                   "ValueError", "Zell%d holds no tree" % d)


def section_binding(z):
    for d in dims():
        anchor = [0.0] * d
        for suffix, n in (("", 1), ("A", 2), ("D", 2), ("AD", 3)):
            name = "newZell%d%s" % (d, suffix)
            raises(name + "()", lambda: ctor(d, suffix)(), TypeError,
                   "%s() takes exactly %d arguments (0 given)" % (name, n))
            raises(name + " one too many", lambda: ctor(d, suffix)(*([1.0] * (n + 1))), TypeError,
                   "%s() takes exactly %d arguments (%d given)" % (name, n, n + 1))
        raises("positional and keyword minSize", lambda: ctor(d, "A")(1.0, minSize=2.0), TypeError,
               "newZell%dA() missing 1 required positional argument: anchor" % d)
        raises("misspelt keyword", lambda: ctor(d, "A")(1.0, anchorx=anchor), TypeError,
               "newZell%dA() missing 1 required positional argument: anchor" % d)
        raises("default missing", lambda: ctor(d, "AD")(1.0, anchor, defaultx=1), TypeError,
               "newZell%dAD() missing 1 required positional argument: default" % d)
        t = ctor(d)(1.0)
        eq("no-parameter method ignores arguments", t.depth(1, 2, x=3), 0)
        raises("keyToCoord()", lambda: t.keyToCoord(), TypeError,
               "keyToCoord() takes exactly 1 arguments (0 given)")
        raises("coordToKey twice", lambda: t.coordToKey(anchor, coord=anchor), TypeError,
               "coordToKey() takes exactly 1 arguments (2 given)")
        raises("keyToCoord bad keyword", lambda: t.keyToCoord(kex=[0] * d), TypeError,
               "keyToCoord() missing 1 required positional argument: key")
        eq("keyToCoord by keyword", t.keyToCoord(key=[1] * d), [1.0] * d)


def section_conversion(z):
    float_msg = "Cannot convert python object to float"
    uint_msg = "Cannot convert python object to uint"
    for d in dims():
        coord_msg = "Cannot convert python object to array[0..%d, float]" % (d - 1)
        key_msg = "Cannot convert python object to array[0..%d, uint]" % (d - 1)
        new_a = ctor(d, "A")
        for bad in ([0.5] * (d - 1), [0.5] * (d + 1), 0.5, "ab", None, set([0.5]), {0: 0.5}):
            raises("anchor %r" % (bad,), lambda: new_a(1.0, bad), TypeError, coord_msg)
        raises("anchor with a string", lambda: new_a(1.0, [0.5] * (d - 1) + ["x"]), TypeError, float_msg)
        raises("minSize string", lambda: ctor(d)("a"), TypeError, float_msg)
        raises("minSize too big for a float", lambda: ctor(d)(10 ** 400), TypeError, float_msg)
        raises("minSize None", lambda: ctor(d, "D")(None, 1), TypeError, float_msg)
        t = ctor(d)(1.0)
        for bad in ([1] * (d + 1), [1] * (d - 1), 1, iter([1] * d)):
            raises("key %r" % (bad,), lambda: t.keyToCoord(bad), TypeError, key_msg)
        for bad in (-1, 2 ** 64, "x", None, 1.5e30):
            raises("key element %r" % (bad,), lambda: t.keyToCoord([bad] + [0] * (d - 1)), TypeError, uint_msg)
        raises("coord element", lambda: t.coordToKey([0.5] * (d - 1) + [[]]), TypeError, float_msg)
        raises("coord wrong length", lambda: t.coordToKey([0.5] * (d + 1)), TypeError, coord_msg)
        eq("tuple key", t.keyToCoord(tuple(range(d))), [float(i) for i in range(d)])
        eq("key of truncated floats and digit strings", t.keyToCoord(["3"] + [1.9] * (d - 1)),
           [3.0] + [1.0] * (d - 1))
        eq("largest key", t.keyToCoord([2 ** 64 - 1] * d), [float(2 ** 64)] * d)
        eq("nothing grew", t.depth(), 0)
        r, a = t.coordToKey([0.5] * d), t.anchor()
        check("coordToKey gives a list", type(r) is list, repr(type(r)))
        check("anchor gives a list of floats", type(a) is list and all(type(x) is float for x in a), repr(a))


def section_operation_errors(z):
    bad_size = "minSize must be positive and finite"
    for d in dims():
        for bad in (0.0, -0.0, -1.0, float("nan"), float("inf"), -float("inf")):
            raises("minSize %r" % bad, lambda: ctor(d)(bad), "ValueError", bad_size)
            raises("minSize %r with anchor" % bad, lambda: ctor(d, "AD")(bad, [0.0] * d, 1), "ValueError", bad_size)
        t = ctor(d)(1.0)
        for bad in (float("inf"), -float("inf")):
            raises("coordinate %r" % bad, lambda: t.coordToKey([0.5] * (d - 1) + [bad]), "ValueError",
                   "coordinate must be finite to grow the tree to it")
        raises("point beyond 64 levels", lambda: t.coordToKey([1e30] * d), "ValueError",
               "point lies too far away: the tree would need more than 64 levels")
        eq("refused growth leaves the tree", (t.depth(), t.anchor(), t.size()), (0, [0.0] * d, 1.0))
    errors = []
    for _ in range(2):
        try:
            z.newZell2(0.0)
        except z.PyGlueException as e:
            errors.append(type(e))
    check("each error gets its own class", len(errors) == 2 and errors[0] is not errors[1], repr(errors))


def section_keys(z):
    t = z.newZell2(1.0)
    eq("inside point", t.coordToKey([0.5, 0.5]), [0, 0])
    eq("no growth", t.depth(), 0)
    eq("grow upward", t.coordToKey([3.5, 0.5]), [3, 0])
    eq("grown depth/size/anchor", (t.depth(), t.size(), t.anchor()), (2, 4.0, [0.0, 0.0]))
    t = z.newZell2(1.0)
    eq("grow downward", t.coordToKey([-0.5, 0.5]), [0, 0])
    eq("anchor moved", (t.anchor(), t.depth(), t.size()), ([-1.0, 0.0], 1, 2.0))
    eq("keys shift after downward growth", t.coordToKey([0.5, 0.5]), [1, 0])
    t = z.newZell2(0.5)
    eq("minSize 0.5", (t.coordToKey([1.2, 0.0]), t.depth(), t.size()), ([2, 0], 2, 2.0))
    t = z.newZell2(1.0)
    eq("upper edge is outside", (t.coordToKey([1.0, 0.0]), t.depth()), ([1, 0], 1))
    eq("lower edge is inside", (z.newZell2(1.0).coordToKey([0.0, 0.0])), [0, 0])
    eq("NaN maps to 0 without growth", (t.coordToKey([float("nan"), 0.5]), t.depth()), ([0, 0], 1))
    t = z.newZell2(1.0)
    eq("far key", (t.keyToCoord([1000, 0]), t.depth()), ([1000.0, 0.0], 0))
    t = z.newZell2A(0.25, [10.0, 20.0])
    eq("anchored keyToCoord", t.keyToCoord([4, 8]), [11.0, 22.0])
    eq("anchored coordToKey", (t.coordToKey([11.1, 22.2]), t.depth(), t.size(), t.anchor()),
       ([4, 8], 4, 4.0, [10.0, 20.0]))
    t = z.newZell2(0.1)
    t.coordToKey([0.75, 0.0])
    eq("sizes are exact doublings", (t.depth(), t.size()), (3, 0.8))
    # Just below the root's upper edge the quotient rounds up to 2**depth;
    # the key is clamped into the last cell.
    t = z.newZell1A(4.727729983325405, [-24.07695533525444])
    eq("upper-edge rounding", (t.coordToKey([-5.166035401952819]), t.depth()), ([3], 2))
    t = z.newZell1A(2.0, [5.0])
    eq("one dimension", (t.anchor(), t.size(), t.coordToKey([8.0]), t.keyToCoord([1])), ([5.0], 2.0, [1], [7.0]))
    for d in dims():
        t = ctor(d)(1.0)
        p = [-0.5] + [0.5] * (d - 1)
        key = t.coordToKey(p)
        eq("D=%d round trip" % d, (key, t.keyToCoord(key)), ([0] * d, [-1.0] + [0.0] * (d - 1)))


def section_addressing(z):
    for d in dims():
        t = ctor(d)(1.0)
        eq("inside point stays on the root", (t.getNodeByCoord([0.5] * d).level(), t.depth()), (0, 0))
        c = t.createNodeByCoord([1.5] * d)
        eq("created level-0 node", (c.level(), c.size(), t.depth()), (0, 1.0, 1))
        c.setData(d)
        eq("same node by key floats", t.getNodeByKey([1.5] * d).getData(), d)
        eq("sibling has no payload", t.getNodeByCoord([0.5] * d).hasData(), False)
        eq("level above the root gives the root", t.createNodeByCoord([0.5] * d, 5).level(), 1)
    t = z.newZell2(1.0)
    eq("read walk stops where the tree ends", (t.getNodeByCoord([3.5, 0.5]).level(), t.depth()), (1, 2))
    payload = ["x"]
    t.createNodeByCoord([3.5, 0.5]).setData(payload)
    check("payload is the stored object", t.getNodeByCoord([3.5, 0.5]).getData() is payload)
    eq("level truncated from a float", t.getNodeByCoord([3.5, 0.5], 2.7).level(), 2)
    eq("level by keyword", t.getNodeByCoord(level=1, coord=[3.5, 0.5]).level(), 1)
    t.coordToKey([-5.0, -5.0])
    check("nodes keep their cells when the tree grows down", t.getNodeByCoord([3.5, 0.5]).getData() is payload)
    t = z.newZell2(0.5)
    eq("key floats are a point", (t.getNodeByKey([3, 0]).level(), t.depth()), (2, 3))
    t = z.newZell1(1.0)
    eq("one dimension grows down", (t.createNodeByCoord([-3.0]).level(), t.anchor(), t.depth()), (0, [-3.0], 2))
    raises("too many", lambda: t.getNodeByKey([0.0], 1, 2), TypeError,
           "getNodeByKey() takes exactly 2 arguments (3 given)")
    raises("twice", lambda: t.getNodeByKey([0.0], key=[1.0]), TypeError,
           "getNodeByKey() got multiple values for argument key")
    raises("unknown keyword", lambda: t.getNodeByKey([0.0], lvl=1), TypeError,
           "getNodeByKey() got an unexpected keyword argument lvl")
    for bad in (2 ** 64, -1):
        raises("level %r" % bad, lambda: t.getNodeByCoord([0.5], bad), TypeError, "Cannot convert python object to uint")


def section_climbers(z):
    assert_msg = "zell(134, 9) `childNr < 2'u ^ D`"
    for d in dims():
        n = 2 ** d
        t = ctor(d)(1.0)
        c = t.getClimber()
        check("climber class", type(c) is getattr(z, "Zell%dClimber" % d), repr(type(c)))
        eq("root climber", (c.level(), c.size(), c.hasChildren(), c.hasData(), c.dimensions(), c.getData()),
           (0, 1.0, False, False, d, None))
        raises("climb below level 0", lambda: c.climb(0), "IndexDefect", "index -1 not in 0 .. 0")
        raises("creativeClimb below level 0", lambda: c.creativeClimb(0), "IndexDefect", "index -1 not in 0 .. 0")
        eq("no children made at level 0", c.hasChildren(), False)
        t.coordToKey([2.5] * d)
        r = t.getClimber()
        eq("grown root", (r.level(), r.size(), r.hasChildren()), (2, 4.0, True))
        raises("childNr 2**D", lambda: r.climb(n), "AssertionDefect", assert_msg)
        raises("childNr -1 wraps to 255", lambda: r.climbClone(-1), "AssertionDefect", assert_msg)
        raises("childNr string", lambda: r.climb("a"), TypeError, "Cannot convert python object to uint8")
        eq("childNr 256 wraps to 0", r.climbClone(256).level(), 1)
        leaf = r.climbClone(n - 1)
        eq("clone leaves the source", (r.level(), leaf.level(), leaf.hasChildren()), (2, 1, False))
        raises("climb without children", lambda: leaf.climbClone(0), "UnpackDefect",
               "Can't obtain a value from a `none`")
        raises("creativeClimb bad childNr", lambda: leaf.creativeClimb(n), "AssertionDefect", assert_msg)
        eq("children made before the check", leaf.hasChildren(), True)
        kids = [leaf.climbClone(i) for i in range(n)]
        eq("every child is empty", [(k.level(), k.hasData(), k.hasChildren()) for k in kids], [(0, False, False)] * n)
        kids[n - 1].setData("x")
        eq("setData seen by another climber", t.getNodeByCoord([3.5] * d).getData(), "x")
        other = r.climbClone(0).creativeClimbClone(1)
        eq("creativeClimbClone shares the node", (r.climbClone(0).hasChildren(), other.level()), (True, 0))
    t = z.newZell2(1.0)
    c = t.getClimber()
    c.setData(None)
    eq("None is a payload", (c.hasData(), c.getData()), (True, None))
    box = [1]
    c.setData(box)
    check("getData returns the object itself", c.getData() is box)
    check("extractData returns it", c.extractData() is box)
    eq("extracted", (c.hasData(), c.getData()), (False, None))
    raises("extract from empty", lambda: c.extractData(), "ZellExceptionNoneNode", "Cant get data, since it is none")
    c = z.newZell2D(1.0, "d").getClimber()
    eq("default answers getData", (c.getData(), c.hasData()), ("d", False))
    raises("extract with only a default", lambda: c.extractData(), "ZellExceptionNoneNode",
           "Cant get data, since it is none")
    c = z.newZell2(1.0).getClimber()
    c.setData(5)
    eq("climber keeps its tree alive", (c.getData(), c.size()), (5, 1.0))
    raises("climb()", lambda: c.climb(), TypeError, "climb() takes exactly 1 arguments (0 given)")
    t = z.newZell2(1.0)
    t.coordToKey([1.5, 0.5])
    c = t.getClimber()
    c.climb(childNr=1)
    eq("childNr by keyword", c.level(), 0)
    empty = z.Zell2Climber(1, x=2)
    eq("Zell2Climber() dimensions", empty.dimensions(), 2)
    raises("Zell2Climber().level", lambda: empty.level(), "ValueError", "Zell2Climber holds no tree")
    raises("Zell2Climber().getData", lambda: empty.getData(), "ValueError", "Zell2Climber holds no tree")


def section_range(z):
    for d in dims():
        t = ctor(d, "D")(1.0, "d")
        grid = t.getRange([0.0] * d, [1.0] * d)
        want = "d"
        for _ in range(d):
            want = [want, want]
        eq("2 cells per axis", grid, want)
        one = t.getRange([0.0] * d, [0.5] * d)
        for _ in range(d):
            one = one[0] if type(one) is list and len(one) == 1 else None
        eq("one cell", one, "d")
    t = z.newZell2D(1.0, "d")
    t.createNodeByCoord([3.5, 0.5]).setData("x")
    t.createNodeByCoord([1.5, 1.5], 1).setData("above level 0")
    eq("payload cell", t.getRange([3.0, 0.0], [3.5, 0.5]), [["x"]])
    eq("window", t.getRange([0.0, 0.0], [3.0, 1.0]),
       [["d", "d"], ["d", "d"], ["d", "d"], ["x", "d"]])
    eq("min corner inside a cell", t.getRange([3.5, 0.5], [3.5, 0.5]), [["d"]])
    eq("max corner inside a cell", t.getRange([2.0, 0.0], [3.5, 0.5]), [["d"], ["x"]])
    eq("empty axis 0", t.getRange([5.0, 0.0], [4.0, 0.5]), [])
    raises("reversed window", lambda: t.getRange([5.0, 0.0], [3.0, 0.5]), "RangeDefect", "value out of range")
    raises("no default", lambda: z.newZell2(1.0).getRange([0.0, 0.0], [1.0, 1.0]), "UnpackDefect",
           "Can't obtain a value from a `none`")
    eq("no default, empty window", z.newZell2(1.0).getRange([5.0, 0.0], [4.0, 0.5]), [])
    t = z.newZell2D(1.0, "d")
    eq("corners grow the tree", (t.getRange([-0.5, 0.5], [2.5, 0.5]), t.anchor(), t.depth()),
       ([["d"], ["d"], ["d"], ["d"]], [-1.0, 0.0], 2))
    eq("one dimension is flat", z.newZell1D(1.0, 7).getRange([0.0], [2.0]), [7, 7, 7])
    try:
        z.newZell1D(1.0, "d").getRange([0.0], [1e15])
        check("huge window refused", False, "no exception")
    except z.PyGlueException:
        pass


class Raising(object):
    """A payload whose pickling raises the given exception."""

    def __init__(self, exc):
        self.exc = exc

    def __reduce__(self):
        raise self.exc


def glue_error(fn):
    """Kind and message of the module error fn() raises, or None."""
    try:
        fn()
    except z.PyGlueException as e:
        return type(e).__name__, str(e)
    return None


def section_serialization(z):
    import pickle

    def mp_str(b):  # a MessagePack string holding the bytes b
        head = [0xa0 | len(b)] if len(b) < 32 else [0xd9, len(b)]
        return bytes(bytearray(head)) + b

    pn = mp_str(pickle.dumps(None))
    one = b"\xcb\x3f\xf0" + b"\0" * 6
    want = (b"\x96\x91\xcb" + b"\0" * 8 + one + b"\x92\x92" + pn + b"\xc2\x92\x92\xc0\xc0\xc2" +
            b"\x00\x91" + one + b"\x92" + pn + b"\xc2")
    got = z.newZell1(1.0).serialize()
    check("bytes of a fresh one-dimensional tree", type(got) is bytes and got == want, repr(got))
    eq("empty object", z.Zell2().serialize(), b"\xc0")
    check("sixteen children need an array16 header", b"\x92\xdc\x00\x10" in z.newZell4(1.0).serialize())
    for d in dims():
        t = ctor(d, "AD")(0.5, [float(-i) for i in range(d)], {"default": d})
        t.createNodeByCoord([1.2] * d).setData([1, "two", 3.0])
        t.createNodeByCoord([-3.0] * d).setData(None)
        t.getNodeByCoord([1.2] * d, 1).setData("above")
        data = t.serialize()
        window = ([-3.0] * d, [1.5] * d)
        for label, target in (("into an empty object", getattr(z, "Zell%d" % d)()),
                              ("into another tree", ctor(d)(7.0))):
            target.deserialize(data)
            eq(label, (target.anchor(), target.minNodeSize(), target.depth(), target.size(),
                       target.getRange(*window), target.getNodeByCoord([1.2] * d, 1).getData(),
                       target.getNodeByCoord([-3.0] * d).hasData()),
               (t.anchor(), t.minNodeSize(), t.depth(), t.size(), t.getRange(*window), "above", True))
        eq("trailing bytes ignored", ctor(d)(1.0).deserialize(data + b"\x00\xff") or "ok", "ok")
        before = (t.anchor(), t.depth(), t.getRange(*window))
        eq("nil leaves the tree", (t.deserialize(b"\xc0"), (t.anchor(), t.depth(), t.getRange(*window))),
           (None, before))
        raises("empty input", lambda: t.deserialize(b""), "ObjectConversionDefect", "openarray")
        raises("not a byte string", lambda: t.deserialize(5), TypeError,
               "Can't convert python obj of type 'int' to string")
        bad = b"\x97" + data[1:] + b"\xc0"
        err = glue_error(lambda: t.deserialize(bad))
        check("seven fields refused", err is not None and err[0] == "AssertionDefect" and
              err[1].endswith("object/tuple len mismatch"), repr(err))
        if d > 1:
            raises("wider tree refused", lambda: getattr(z, "newZell%d" % (d - 1))(1.0).deserialize(data),
                   "IndexDefect", "index %d not in 0 .. %d" % (d - 1, d - 2))
        eq("failed loads leave the tree", (t.anchor(), t.depth(), t.getRange(*window)), before)
    # Errors raised while pickling map to kinds by the exception's class; an
    # IOError is an OSError on Python 3.
    io_kind = "IOError" if sys.version_info[0] == 2 else "OSError"
    for exc, kind in ((ZeroDivisionError("boom"), "DivByZeroDefect"), (KeyError("boom"), "KeyError"),
                      (IOError("boom"), io_kind), (MemoryError("boom"), "OutOfMemDefect"),
                      (UnicodeDecodeError("utf-8", b"\xff", 0, 1, "boom"), "ValueError"),
                      (TypeError("boom"), "Exception")):
        t = z.newZell2(1.0)
        t.getClimber().setData(Raising(exc))
        err = glue_error(t.serialize)
        check("pickling %s" % type(exc).__name__, err is not None and err[0] == kind and
              err[1].startswith("Unexpected error encountered: <") and err[1].endswith(">: " + str(exc)),
              "got %r, want %s" % (err, kind))


def section_references(z):
    # Only meaningful where the interpreter counts references.
    if not hasattr(sys, "getrefcount"):
        return
    payload = object()
    anchor = [1.0, 2.0]
    base, base_anchor = sys.getrefcount(payload), sys.getrefcount(anchor)
    t = z.newZell2AD(1.0, anchor, payload)
    eq("default is held", sys.getrefcount(payload), base + 1)
    eq("anchor is not kept", sys.getrefcount(anchor), base_anchor)
    del t
    eq("default released with the tree", sys.getrefcount(payload), base)
    for _ in range(200):
        z.newZell2D(1.0, payload)
        z.Zell2(payload, x=payload)
        try:
            z.newZell2AD(1.0, [payload, 1.0], payload)
        except TypeError:
            pass
        try:
            z.newZell2D(0.0, payload)
        except z.PyGlueException:
            pass
    eq("no reference leaked", sys.getrefcount(payload), base)
    t = z.newZell2D(1.0, payload)
    c = t.getClimber()
    c.setData(payload)
    eq("stored payload is held", sys.getrefcount(payload), base + 2)
    grid = t.getRange([0.0, 0.0], [1.0, 1.0])
    eq("grid entries hold references", sys.getrefcount(payload), base + 6)
    del grid
    c.extractData()
    eq("extractData hands over the reference", sys.getrefcount(payload), base + 1)
    del t
    eq("climber keeps the default alive", sys.getrefcount(payload), base + 1)
    del c
    eq("all released", sys.getrefcount(payload), base)
    t = z.newZell2D(1.0, payload)
    t.getClimber().setData(payload)
    z.Zell2().deserialize(t.serialize())
    eq("serializing keeps no reference", sys.getrefcount(payload), base + 2)


SECTIONS = [
    ("module", section_module),
    ("constructors", section_constructors),
    ("binding", section_binding),
    ("conversion", section_conversion),
    ("operation errors", section_operation_errors),
    ("keys", section_keys),
    ("addressing", section_addressing),
    ("climbers", section_climbers),
    ("range", section_range),
    ("serialization", section_serialization),
    ("references", section_references),
]


def main():
    for name, fn in SECTIONS:
        current[0] = name
        dim[0] = None
        try:
            fn(z)
        except Exception as e:
            failures.append("%s: crashed with %s: %s" % (name, type(e).__name__, e))
    for line in failures:
        print("FAIL " + line)
    print("Python %s: %d checks, %d failed" % (sys.version.split()[0], count[0], len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
