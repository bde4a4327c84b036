"""The same tree written in plain Python, as a user without the module would.

Nodes are `__slots__` objects holding a payload and a child list (absent, or
all 2**D children). The tree grows its root upward exactly like the module's
tree, computes keys the same way, walks from the root by key bits from high
to low, answers range queries with the same closed-box rule, and saves itself
by pickling its node structure. The benchmark times it beside the module;
`check_agreement` proves that both give the same answers first.

Runs under Python 2.7 and 3.x.
"""
import math
import pickle
import random


class ABSENT(object):
    """Marks "no payload" (a stored None is a payload). The class itself is
    the marker, so it pickles by reference and keeps its identity."""


class Node(object):
    __slots__ = ("data", "children")

    def __init__(self):
        self.data = ABSENT
        self.children = None

    def __getstate__(self):
        return (self.data, self.children)

    def __setstate__(self, state):
        self.data, self.children = state


class Climber(object):
    """Stands on one node; reads and writes its payload."""

    __slots__ = ("tree", "node", "lvl")

    def __init__(self, tree, node, lvl):
        self.tree = tree
        self.node = node
        self.lvl = lvl

    def level(self):
        return self.lvl

    def hasData(self):
        return self.node.data is not ABSENT

    def hasChildren(self):
        return self.node.children is not None

    def getData(self):
        data = self.node.data
        if data is ABSENT:
            data = self.tree.dflt
            return None if data is ABSENT else data
        return data

    def setData(self, data):
        self.node.data = data


KEY_MAX = 2 ** 64 - 1
MAX_DEPTH = 64


class PyTree(object):
    """A D-dimensional space-partition tree; levels count upward from the
    finest cells (level 0, edge minSize) to the root at level `depth`."""

    __slots__ = ("dims", "fanout", "minSize", "anchor_", "depth_", "sizes", "root", "dflt")

    def __init__(self, dims, minSize, anchor=None, default=ABSENT):
        self.dims = dims
        self.fanout = 1 << dims
        self.minSize = float(minSize)
        self.anchor_ = [0.0] * dims if anchor is None else [float(a) for a in anchor]
        self.depth_ = 0
        self.sizes = [self.minSize]
        self.root = Node()
        self.dflt = default

    def __getstate__(self):
        return (self.dims, self.minSize, self.anchor_, self.depth_, self.sizes, self.root, self.dflt)

    def __setstate__(self, state):
        self.dims, self.minSize, self.anchor_, self.depth_, self.sizes, self.root, self.dflt = state
        self.fanout = 1 << self.dims

    # Geometry ---------------------------------------------------------------

    def anchor(self):
        return list(self.anchor_)

    def depth(self):
        return self.depth_

    def size(self):
        return self.sizes[-1]

    def minNodeSize(self):
        return self.minSize

    def dimensions(self):
        return self.dims

    def _outside(self, p):
        top = self.sizes[-1]
        for x, a in zip(p, self.anchor_):
            if x < a or a + top <= x:
                return True
        return False

    def growToContain(self, p):
        if not self._outside(p):
            return
        for x in p:
            if math.isinf(x):
                raise ValueError("coordinate must be finite to grow the tree to it")
        anchor = self.anchor_
        while self._outside(p):
            if self.depth_ >= MAX_DEPTH:
                raise ValueError("point lies too far away")
            edge = self.sizes[-1]
            below = 0
            for i in range(self.dims):
                if p[i] < anchor[i]:
                    below |= 1 << i
                    anchor[i] -= edge
            children = [Node() for _ in range(self.fanout)]
            children[below] = self.root
            root = Node()
            root.children = children
            self.root = root
            self.depth_ += 1
            self.sizes.append(math.ldexp(self.minSize, self.depth_))

    def keyOf(self, p):
        """The key of `p` under the current anchor, without growth."""
        last = KEY_MAX if self.depth_ >= 64 else (1 << self.depth_) - 1
        key = []
        size = self.minSize
        for x, a in zip(p, self.anchor_):
            q = (x - a) / size
            if not q >= 0.0:  # negative or NaN
                k = 0
            elif q >= 18446744073709551616.0:
                k = KEY_MAX
            else:
                k = int(q)
            key.append(k if k <= last else last)
        return key

    def coordToKey(self, p):
        self.growToContain(p)
        return self.keyOf(p)

    def keyToCoord(self, key):
        return [k * self.minSize + a for k, a in zip(key, self.anchor_)]

    # Node addressing --------------------------------------------------------

    def getClimber(self):
        return Climber(self, self.root, self.depth_)

    def getNodeByCoord(self, p, level=0):
        return self._walk(p, level, False)

    def createNodeByCoord(self, p, level=0):
        return self._walk(p, level, True)

    def _walk(self, p, level, create):
        """Down from the root by the key bits of `p` toward `level`: stops
        where the tree ends, or gives nodes their children when `create`."""
        if self._outside(p):
            self.growToContain(p)
        key = self.keyOf(p)
        node = self.root
        lvl = self.depth_
        while lvl > level:
            children = node.children
            if children is None:
                if not create:
                    break
                children = node.children = [Node() for _ in range(self.fanout)]
            lvl -= 1
            c = 0
            bit = 1
            for k in key:
                if k >> lvl & 1:
                    c |= bit
                bit <<= 1
            node = children[c]
        return Climber(self, node, lvl)

    # Range query ------------------------------------------------------------

    def getRange(self, lo, hi):
        """Nested lists over the level-0 cells from the cell of `lo` to the
        cell of `hi`, outermost over axis 0: the payload of every level-0
        node whose corner lies in the closed box [lo, hi], else the default."""
        dims = self.dims
        self.growToContain(lo)
        self.growToContain(hi)
        origin = self.keyOf(lo)
        last = self.keyOf(hi)
        extent = [e + 1 - o for o, e in zip(origin, last)]
        cells = 1
        for e in extent:
            if cells == 0:
                break
            if e < 0:
                raise ValueError("value out of range")
            cells *= e
        if cells and self.dflt is ABSENT:
            raise ValueError("no default to fill the window with")
        fill = self.dflt

        def build(axis):
            if axis == dims - 1:
                return [fill] * extent[axis]
            return [build(axis + 1) for _ in range(extent[axis])]

        grid = build(0)
        if cells == 0:
            return grid
        # A cell counts when its corner lies in the box: the cell of `lo`
        # only when `lo` is its corner.
        first = [o if o * self.minSize + a >= x else o + 1
                 for o, a, x in zip(origin, self.anchor_, lo)]
        offsets = [[(c >> i) & 1 for i in range(dims)] for c in range(self.fanout)]

        def store(base, data):
            row = grid
            for i in range(dims - 1):
                row = row[base[i] - origin[i]]
            row[base[-1] - origin[-1]] = data

        def visit(node, lvl, base, inside):
            if lvl == 0:
                if node.data is not ABSENT:
                    store(base, node.data)
                return
            children = node.children
            if children is None:
                return
            lvl -= 1
            half = 1 << lvl
            for c in range(len(children)):
                child = [b + half * o for b, o in zip(base, offsets[c])]
                if inside:
                    visit(children[c], lvl, child, True)
                    continue
                overlaps, within = True, True
                for b, f, e in zip(child, first, last):
                    top = b + half - 1
                    if top < f or e < b:
                        overlaps = False
                        break
                    if b < f or e < top:
                        within = False
                if overlaps:
                    visit(children[c], lvl, child, within)

        top = (1 << self.depth_) - 1
        if all(f <= top for f in first):  # the root's cells meet the box
            visit(self.root, self.depth_, [0] * dims, all(f <= 0 and top <= e for f, e in zip(first, last)))
        return grid

    # Persistence ------------------------------------------------------------

    def serialize(self):
        return pickle.dumps(self)

    def deserialize(self, serialized):
        self.__setstate__(pickle.loads(serialized).__getstate__())

    def countNodes(self):
        count, stack = 0, [self.root]
        while stack:
            node = stack.pop()
            count += 1
            if node.children is not None:
                stack.extend(node.children)
        return count


# Agreement with the module ---------------------------------------------------


class Disagreement(AssertionError):
    pass


def _same(what, ours, theirs):
    if ours != theirs:
        raise Disagreement("%s: module %r, pure-Python tree %r" % (what, ours, theirs))


def check_agreement(zell, dims, seed=0, steps=400):
    """Runs one random workload on the module and on PyTree side by side and
    raises Disagreement at the first answer that differs. Coordinates are
    multiples of the cell edge where they name a tree's geometry, so both
    sides compute every corner exactly."""
    rng = random.Random(seed * 10 + dims)
    size = 0.5
    anchor = [rng.randint(-6, 6) * size for _ in range(dims)]
    ours = getattr(zell, "newZell%dAD" % dims)(size, anchor, "default")
    mine = PyTree(dims, size, anchor, "default")
    reach = 12.0 if dims < 4 else 6.0
    radius = 2.0 if dims < 4 else 1.0
    values = [None, 0, 1.5, "text", (1, 2), frozenset([3])]
    touched = []

    def point():
        return [rng.uniform(-reach, reach) for _ in range(dims)]

    def geometry(step):
        _same("anchor after step %d" % step, ours.anchor(), mine.anchor())
        _same("depth after step %d" % step, ours.depth(), mine.depth())
        _same("size after step %d" % step, ours.size(), mine.size())

    for step in range(steps):
        op = rng.random()
        p = point()
        level = rng.choice([0, 0, 0, 1, 2])
        if op < 0.45:
            value = rng.choice(values + [step, step])
            a, b = ours.createNodeByCoord(p, level), mine.createNodeByCoord(p, level)
            touched.append(p)
            _same("createNodeByCoord(%r, %d).level()" % (p, level), a.level(), b.level())
            a.setData(value)
            b.setData(value)
        elif op < 0.75:
            a, b = ours.getNodeByCoord(p, level), mine.getNodeByCoord(p, level)
            what = "getNodeByCoord(%r, %d)" % (p, level)
            _same(what + ".level()", a.level(), b.level())
            _same(what + ".getData()", a.getData(), b.getData())
            _same(what + ".hasData()", a.hasData(), b.hasData())
            _same(what + ".hasChildren()", a.hasChildren(), b.hasChildren())
        elif op < 0.85:
            _same("coordToKey(%r)" % p, ours.coordToKey(p), mine.coordToKey(p))
        else:
            lo = [x - rng.uniform(0.0, radius) for x in p]
            hi = [x + rng.uniform(0.0, radius) for x in p]
            if rng.random() < 0.5:  # a window starting on a cell corner
                key = ours.coordToKey(lo)
                _same("coordToKey(%r)" % lo, key, mine.coordToKey(lo))
                lo = ours.keyToCoord(key)
            _same("getRange(%r, %r)" % (lo, hi), ours.getRange(lo, hi), mine.getRange(lo, hi))
        geometry(step)

    # Every cell that the workload touched, before and after a save and load
    # on each side.
    lo, hi = [-reach] * dims, [reach] * dims
    whole = mine.getRange(lo, hi)
    _same("getRange over the workload's box", ours.getRange(lo, hi), whole)
    loaded = getattr(zell, "newZell%d" % dims)(1.0)
    loaded.deserialize(ours.serialize())
    reloaded = PyTree(dims, 1.0)
    reloaded.deserialize(mine.serialize())
    _same("getRange after a save and load (module)", loaded.getRange(lo, hi), whole)
    _same("getRange after a save and load (pure Python)", reloaded.getRange(lo, hi), whole)
    _same("depth after a save and load", loaded.depth(), reloaded.depth())
    for p in touched:  # a stored None stays a payload, an absent one stays absent
        a, b = loaded.getNodeByCoord(p), reloaded.getNodeByCoord(p)
        _same("node at %r after a save and load" % p, (a.hasData(), a.getData()), (b.hasData(), b.getData()))
    # The closed box at both corners, the default elsewhere, payloads above level 0 never read.
    fixed = getattr(zell, "newZell%dD" % dims)(1.0, "d"), PyTree(dims, 1.0, default="d")
    for tree in fixed:
        tree.createNodeByCoord([0.5] * dims).setData("first")
        tree.createNodeByCoord([3.5] + [2.5] * (dims - 1)).setData("last")
        tree.createNodeByCoord([2.5] * dims, 1).setData("above")
    for lo, hi in (([0.0] * dims, [3.0] + [2.0] * (dims - 1)), ([0.25] * dims, [3.9] + [2.9] * (dims - 1)),
                   ([1.0] * dims, [1.0] * dims)):
        _same("getRange(%r, %r) of a fixed tree" % (lo, hi), fixed[0].getRange(lo, hi), fixed[1].getRange(lo, hi))
    return mine.countNodes()
