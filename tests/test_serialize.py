import gc
import math
import pickle
import struct
import sys

import msgpack
import pytest

import zell_dim_1_2_3_4 as zell
from conftest import DIMS, PREFIX, ctor, raises_glue, refcount_after_collect, type_error
from model import ABSENT

NONE_PICKLE = pickle.dumps(None)
P = msgpack.packb(NONE_PICKLE, use_bin_type=False)  # the str-family string holding it
STALE = "the climber's node was replaced when the tree was loaded"
ANCHOR = [-1.0, 0.25, 3.0, -2.5]
_inner = [1]
SHARED = [_inner, _inner, {"again": _inner}]
PAYLOADS = [None, 0, -7, 2**70, 1.5, math.inf, "text", "\xfcn\xefcode", b"\x00\xff", bytearray(b"ab"),
            (1, [2.0, {"k": {3}}]), SHARED]


class Tracked:
    """Counts its live instances, including those that pickle.loads makes."""
    live = 0

    def __new__(cls, *args):
        Tracked.live += 1
        return object.__new__(cls)

    def __del__(self):
        Tracked.live -= 1


class Reduce:
    """Pickles as `how` says: an error to raise, or the (callable, arguments) that rebuild it."""

    def __init__(self, how):
        self.how = how

    def __reduce__(self):
        if isinstance(self.how, BaseException):
            raise self.how
        return self.how


def pack(value, bin_type=False):
    return msgpack.packb(value, use_bin_type=bin_type)


def f64(x):
    return b"\xcb" + struct.pack(">d", x)


def single_cell_bytes(dims, root=P + b"\xc2", default=P + b"\xc2"):
    children = b"\xdc\x00\x10" if dims == 4 else bytes([0x90 + 2**dims])
    return (b"\x96" + bytes([0x90 + dims]) + f64(0.0) * dims + f64(1.0) + b"\x92\x92" + root + b"\x92" + children +
            b"\xc0" * 2**dims + b"\xc2" + b"\x00\x91" + f64(1.0) + b"\x92" + default)


def payload(obj=ABSENT, has=None, pickled=None):
    if pickled is None:
        pickled = NONE_PICKLE if obj is ABSENT else pickle.dumps(obj)
    return [pickled, obj is not ABSENT if has is None else has]


def node(dims, data=ABSENT, children=None, has_children=None, **kw):
    has_children = children is not None if has_children is None else has_children
    return [payload(data, **kw), [children or [None] * 2**dims, has_children]]


def record(dims, **over):
    """A depth-1 tree as MessagePack-ready values; `over` replaces fields (a callable is given D)."""
    kids = [node(dims, [1, 2.5, "y" * 40]), node(dims, pickled=pickle.dumps("dropped"), has=False)]
    fields = dict(anchor=[1.5] * dims, min_size=0.25, root=node(dims, "root", kids + [node(dims)] * (2**dims - 2)),
                  depth=1, sizes=None, default=payload(42))
    fields.update((k, v(dims) if callable(v) else v) for k, v in over.items())
    if fields["sizes"] is None:
        fields["sizes"] = [fields["min_size"] * 2.0**level for level in range(fields["depth"] + 1)]
    return [fields[k] for k in ("anchor", "min_size", "root", "depth", "sizes", "default")]


def packed_fields(dims, **over):
    return [pack(field) for field in record(dims, **over)]


def sample_tree(dims, default=ABSENT):
    anchor = ANCHOR[:dims]
    tree = ctor(dims, "A")(0.5, anchor) if default is ABSENT else ctor(dims, "AD")(0.5, anchor, default)
    for i, obj in enumerate(PAYLOADS):
        tree.createNodeByCoord([a + 0.7 * i for a in anchor], i % 3).setData(obj)
    return tree


def walk(c):
    """(has payload, payload, children) of a node and below, read through the climber."""
    kids = [walk(c.climbClone(i)) for i in range(2**c.dimensions())] if c.hasChildren() else None
    return c.hasData(), c.getData() if c.hasData() else None, kids


def from_record(rec):
    """The same shape, read from what msgpack decoded."""
    (pickled, has), (children, has_children) = rec
    assert has or pickled == NONE_PICKLE
    assert all(k is not None for k in children) if has_children else children == [None] * len(children)
    return has, pickle.loads(pickled) if has else None, [from_record(k) for k in children] if has_children else None


def payloads(shape):
    has, data, kids = shape
    return ([data] if has else []) + [p for k in kids or [] for p in payloads(k)]


@pytest.mark.parametrize("dims", DIMS)
def test_exact_bytes_of_a_single_cell(dims):
    tree = ctor(dims)(1.0)
    data = tree.serialize()
    assert type(data) is bytes and data == single_cell_bytes(dims)
    if dims == 1:
        assert data == (bytes.fromhex("96 91 cb 0000000000000000 cb 3ff0000000000000 92 92") + P +
                        bytes.fromhex("c2 92 92 c0 c0 c2 00 91 cb 3ff0000000000000 92") + P + b"\xc2")
    # a stored None differs from no payload only in `has`
    assert ctor(dims, "D")(1.0, None).serialize() == single_cell_bytes(dims, default=P + b"\xc3")
    tree.getClimber().setData(None)
    assert tree.serialize() == single_cell_bytes(dims, root=P + b"\xc3")
    for text, header in [("x" * 10, b""), ("x" * 40, b"\xd9"), ("x" * 300, b"\xda\x01")]:
        pickled = pickle.dumps(text)  # fixstr, str8 and str16 headers
        tree.getClimber().setData(text)
        header = (header + bytes([len(pickled) % 256])) if header else bytes([0xa0 + len(pickled)])
        assert tree.serialize() == single_cell_bytes(dims, root=header + pickled + b"\xc3")


@pytest.mark.parametrize("default", [ABSENT, None, {"d": [1.5]}], ids=["absent", "None", "dict"])
@pytest.mark.parametrize("dims", DIMS)
def test_round_trip(dims, default):
    tree = sample_tree(dims, default)
    tree.getClimber().setData("root")
    data, shape = tree.serialize(), walk(tree.getClimber())
    anchor, min_size, root, depth, sizes, written_default = msgpack.unpackb(data, raw=True)
    assert (anchor, min_size, depth, written_default) == (ANCHOR[:dims], 0.5, 4, payload(default))
    assert sizes == [0.5 * 2**level for level in range(depth + 1)] and from_record(root) == shape
    empty = getattr(zell, "Zell%d" % dims)()  # holds no tree: writes nil, and loading nil keeps it so
    assert empty.serialize() == b"\xc0" and empty.deserialize(b"\xc0") is None
    with raises_glue("ValueError", "Zell%d holds no tree" % dims):
        empty.getClimber()
    for target in (ctor(dims)(3.0), empty, tree):
        assert target.deserialize(data) is None
        assert target.serialize() == data
        assert (target.anchor(), target.minNodeSize(), target.depth()) == (ANCHOR[:dims], 0.5, 4)
        assert walk(target.getClimber()) == shape
        for old, new in zip(payloads(shape), payloads(walk(target.getClimber()))):
            assert not isinstance(old, (list, dict, tuple, bytearray)) or new is not old
            if old is SHARED:
                assert new[0] is new[1] is new[2]["again"] is not _inner
        root = target.getClimber()
        assert root.extractData() == "root" and root.climbClone(0).level() == 3
        assert root.getData() == (None if default is ABSENT else default)
        assert default is None or root.getData() is not default
    tree.deserialize(serialized=data + b"\x00\xc1 trailing bytes")
    assert tree.serialize() == data
    with type_error("Can't convert python obj of type 'int' to string"):
        tree.deserialize(5)


@pytest.mark.parametrize("dims", DIMS)
def test_loads_what_msgpack_writes(dims):
    rec = record(dims)
    tree = ctor(dims)(1.0)
    tree.deserialize(pack(rec))
    assert (tree.anchor(), tree.minNodeSize(), tree.depth(), tree.size()) == ([1.5] * dims, 0.25, 1, 0.5)
    root = tree.getClimber()
    assert (root.getData(), root.climbClone(0).getData(), root.hasChildren()) == ("root", [1, 2.5, "y" * 40], True)
    dropped = root.climbClone(1)  # carried an object, but `has` is false
    assert (dropped.hasData(), dropped.getData()) == (False, 42)
    rec[2][1][0][1][0][0] = NONE_PICKLE  # written back without its object
    assert msgpack.unpackb(tree.serialize(), raw=True) == rec


NONE_FORMS = [b"N.", b"\x80\x02N.", b"\x80\x03N.", b"\x80\x04N.", b"\x80\x05N.",
              b"\x80\x04\x95\x02\x00\x00\x00\x00\x00\x00\x00N."]


@pytest.mark.parametrize("pickled, expected", [(f, None) for f in NONE_FORMS] + [
    (b"I7\n.", 7), (pickle.dumps("abc", 0), "abc"), (pickle.dumps([1, "x"], 0), [1, "x"])])
def test_payload_pickles_of_every_protocol(pickled, expected, monkeypatch):
    tree, data = zell.newZell2(1.0), pack(record(2, root=lambda d: node(d, pickled=pickled, has=True),
                                                 default=payload(None)))
    calls = []  # the module looks pickle's functions up on every call
    for name in ("loads", "dumps"):
        monkeypatch.setattr(pickle, name, lambda obj, real=getattr(pickle, name): calls.append(obj) or real(obj))
    tree.deserialize(data)
    root = tree.getClimber()
    assert (root.hasData(), root.getData()) == (True, expected)
    assert calls == ([] if expected is None else [pickled])  # every pickle of None is known without asking
    data = tree.serialize()  # None pickled once, whatever the number of nodes
    assert calls.count(None) == 1 and len(calls) == (1 if expected is None else 3)
    if expected is None:  # written back as this interpreter's pickle of None
        assert msgpack.unpackb(data, raw=True)[2][0] == [NONE_PICKLE, True]


LOAD_FAILURES = [  # bytes for D, error kind, message ("..." marks a suffix)
    (lambda d: b"", "ObjectConversionDefect", "openarray"),
    (lambda d: "", "ObjectConversionDefect", "openarray"),  # a str is read as its UTF-8
    (lambda d: ctor(d + 1)(1.0).serialize() if d < 4 else b"\x96" + pack([0.0] * 5), "IndexDefect",
     "index {d} not in 0 .. {last}"),  # one coordinate too many
    (lambda d: b"\x97" + b"".join(packed_fields(d)) + b"\xc0", "AssertionDefect", "...object/tuple len mismatch"),
    (lambda d: b"\x86" + b"".join(packed_fields(d)), "AssertionDefect", "...object/tuple len mismatch"),
    (lambda d: pack(record(d), bin_type=True), "ObjectConversionDefect", "string"),
    (lambda d: b"".join([b"\x96"] + packed_fields(d)[:2]) + b"\x92\x92\xdb\xff\xff\xff\xff" + b"x" * 64,
     "IOError", "string len mismatch"),
    (lambda d: b"".join([b"\x96"] + packed_fields(d)[:4]) + b"\xdd\xff\xff\xff\xff" + f64(1.0) * 8,
     "IOError", "cannot read from stream"),
    (lambda d: pack(record(d, root=lambda d: node(d, pickled=b"\xff", has=True))),
     "Exception", "<class '_pickle.UnpicklingError'>: invalid load key, '\\xff'."),
    (lambda d: pack(record(d, default=payload(Reduce((int, ("x",)))))), "ValueError",
     "<class 'ValueError'>: invalid literal for int() with base 10: 'x'"),
]
INVALID = [  # changed fields, what is wrong
    (dict(min_size=0.0), "minNodeSize is not positive and finite"),
    (dict(min_size=-1.0), "minNodeSize is not positive and finite"),
    (dict(min_size=math.inf), "minNodeSize is not positive and finite"),
    (dict(min_size=math.nan), "minNodeSize is not positive and finite"),
    (dict(anchor=lambda d: [0.0] * (d - 1) + [math.inf]), "the anchor is not finite"),
    (dict(anchor=lambda d: [math.nan] * d), "the anchor is not finite"),
    (dict(depth=65), "depth is above 64"),
    (dict(sizes=[0.25]), "sizes does not hold depth + 1 entries"),
    (dict(sizes=[0.25, 0.75]), "sizes are not the doublings of minNodeSize"),
    (dict(root=None), "the root is missing"),
    (dict(default=None), "the default payload is missing"),
    (dict(root=lambda d: node(d, children=[None] + [node(d)] * (2**d - 1))),
     "a node marked as having children lacks some of them"),
    (dict(root=lambda d: node(d, children=[node(d)] + [None] * (2**d - 1), has_children=False)),
     "a node marked as having no children holds some"),
    (dict(depth=0, root=lambda d: node(d, children=[node(d)] * 2**d)), "a node lies below level 0"),
]
LOAD_FAILURES += [(lambda d, over=over: pack(record(d, **over)), "ValueError", "cannot load the tree: " + what)
                  for over, what in INVALID]


@pytest.mark.parametrize("make, kind, message", LOAD_FAILURES, ids=[m for _, _, m in LOAD_FAILURES])
@pytest.mark.parametrize("dims", DIMS)
def test_failed_loads_change_nothing(dims, make, kind, message):
    tree = sample_tree(dims, default="dflt")
    root, leaf = tree.getClimber(), tree.getNodeByCoord(ANCHOR[:dims], 0)
    before, held = tree.serialize(), leaf.getData()
    with raises_glue(kind) as info:
        tree.deserialize(make(dims))
    message = message.format(d=dims, last=dims - 1)
    text = str(info.value)
    assert text.endswith(message[3:]) if message.startswith("...") else text == PREFIX + message
    assert tree.serialize() == before
    assert (root.level(), leaf.level(), leaf.getData() is held, root.climbClone(0).hasChildren()) == (4, 0, True, True)
    empty = getattr(zell, "Zell%d" % dims)()
    with raises_glue(kind):
        empty.deserialize(make(dims))
    assert empty.serialize() == b"\xc0"


@pytest.mark.parametrize("dims", [1, 2])
def test_every_truncation_fails_cleanly(dims):
    data, tree = sample_tree(dims, default="dflt").serialize(), sample_tree(dims)
    before, seen = tree.serialize(), set()
    for cut in range(len(data)):
        with pytest.raises(zell.PyGlueException) as info:
            tree.deserialize(data[:cut])
        seen.add((type(info.value).__name__, str(info.value)[len(PREFIX):]))
        assert tree.serialize() == before
    assert {k for k, _ in seen} == {"IOError", "ObjectConversionDefect"}
    assert {m for k, m in seen if k == "IOError"} == {"string len mismatch", "cannot read from stream"}


@pytest.mark.parametrize("dims", DIMS)
def test_nesting_is_bounded(dims):
    tree = ctor(dims)(1.0)
    tree.createNodeByCoord([2.0**63] * dims, 0).setData("bottom")
    data = tree.serialize()
    copy = ctor(dims)(1.0)
    copy.deserialize(data)  # 65 node levels: the deepest tree there is
    assert (copy.depth(), copy.serialize(), copy.getNodeByCoord([2.0**63] * dims, 0).getData()) == (64, data, "bottom")
    rec = msgpack.unpackb(data, raw=True)
    n = rec[2][1][0][2**dims - 1]  # the upper corner child of the root, then child 0 all the way down
    while n[1][1]:
        n = n[1][0][0]
    assert n[0] == payload("bottom")
    n[1] = [[node(dims)] * 2**dims, True]  # one level more
    with raises_glue("ValueError", "serialized tree nests deeper than 65 levels"):
        copy.deserialize(pack(rec))
    assert copy.serialize() == data


UNPICKLABLE = lambda x: x  # noqa: E731  (found by name, so pickling refuses it)
BAD_PAYLOADS = [
    (lambda: UNPICKLABLE, "Exception", r"<class '_pickle\.PicklingError'>: Can't pickle "),
    (lambda: Reduce(MemoryError("no room")), "OutOfMemDefect", "<class 'MemoryError'>: no room$"),
    (lambda: Reduce(ValueError("refused")), "ValueError", "<class 'ValueError'>: refused$"),
]


@pytest.mark.parametrize("make, kind, pattern", BAD_PAYLOADS)
@pytest.mark.parametrize("dims", DIMS)
def test_failed_serialize(dims, make, kind, pattern):
    tree = sample_tree(dims)
    leaf = tree.createNodeByCoord([a + 7.9 for a in ANCHOR[:dims]], 0)  # a new cell
    before, shape, bad = tree.serialize(), walk(tree.getClimber()), make()
    leaf.setData(bad)
    count = refcount_after_collect(bad)
    for owner in (tree, ctor(dims, "D")(1.0, bad)):
        with raises_glue(kind) as info:
            owner.serialize()
        assert info.match("^" + PREFIX + pattern)
    del owner, info
    assert refcount_after_collect(bad) == count and leaf.extractData() is bad
    assert walk(tree.getClimber()) == shape and tree.serialize() == before


@pytest.mark.parametrize("dims", DIMS)
def test_climbers_across_loads(dims):
    tree = ctor(dims, "D")(1.0, "old default")
    tree.coordToKey([3.5] * dims)
    root, inner = tree.getClimber(), tree.getNodeByCoord([0.5] * dims, 1)
    leaf = tree.createNodeByCoord([0.5] * dims, 0)
    leaf.setData("kept")
    source = ctor(dims, "D")(1.0, "new default")
    source.coordToKey([7.5] * dims)
    source.getClimber().setData("new root")
    tree.deserialize(source.serialize())
    assert (root.level(), root.size(), root.getData(), root.climbClone(0).level()) == (3, 8.0, "new root", 2)
    for stale in (inner, leaf):
        assert stale.dimensions() == dims
        calls = [stale.level, stale.size, stale.getData, stale.extractData, stale.hasData, stale.hasChildren]
        for call in calls + [lambda m=m: m(0) for m in (stale.setData, stale.climb, stale.creativeClimb,
                                                        stale.climbClone, stale.creativeClimbClone)]:
            with raises_glue("ValueError", STALE):
                call()
    assert root.extractData() == "new root" and root.getData() == "new default"  # the same default cell
    root.setData("new root")
    assert tree.serialize() == source.serialize()
    tree.deserialize(b"\xc0")  # nil: nothing changes
    assert tree.serialize() == source.serialize() and root.level() == 3


@pytest.mark.parametrize("dims", DIMS)
def test_reference_counts_balance(dims):
    gc.collect()
    start, obj = Tracked.live, Tracked()
    tree = ctor(dims, "D")(1.0, obj)
    tree.createNodeByCoord([1.5] * dims, 0).setData(obj)
    count = sys.getrefcount(obj)
    for _ in range(3):
        data = tree.serialize()
    assert sys.getrefcount(obj) == count
    copy = ctor(dims)(1.0)
    data_count = sys.getrefcount(data)
    for _ in range(2):  # a second load releases what the first one made
        copy.deserialize(data)
        assert Tracked.live == start + 3
    rec = msgpack.unpackb(data, raw=True)
    rec[5] = [pickle.dumps(Tracked()), False]  # loaded, then dropped
    copy.deserialize(pack(rec))
    assert Tracked.live == start + 2
    for bad in (pack(rec)[:-1], pack(rec[:5] + [None]), pack(rec[:5] + [payload(pickled=b"garbage")])):
        with pytest.raises(zell.PyGlueException):
            copy.deserialize(bad)
        gc.collect()
        assert Tracked.live == start + 2
    assert sys.getrefcount(data) == data_count and copy.getClimber().getData() is None
    del copy, tree
    gc.collect()
    assert (Tracked.live, sys.getrefcount(obj)) == (start + 1, count - 2)
