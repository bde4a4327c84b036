"""A pure-Python model of a tree's geometry: anchor, level sizes, growth and keys.

It follows the float operations of the native tree one for one, so its
results can be compared bit for bit with the module's.
"""
import math
from fractions import Fraction

MAX_DEPTH = 64
KEY_MAX = 2**64 - 1


class Refused(Exception):
    """The tree must refuse the point and stay exactly as it was."""


def _fma(x, y, z):
    if hasattr(math, "fma"):
        return math.fma(x, y, z)
    exact = Fraction(x) * Fraction(y) + Fraction(z)
    try:
        return float(exact)  # correctly rounded
    except OverflowError:
        return math.inf if exact > 0 else -math.inf


def _inside(anchor, edge, p):
    # Plain float comparisons: a NaN component never puts a point outside.
    return not any(x < a or a + edge <= x for a, x in zip(anchor, p))


class TreeModel:
    def __init__(self, dims, min_size, anchor=None):
        self.dims = dims
        self.min_size = float(min_size)
        self.anchor = [float(a) for a in (anchor or [0.0] * dims)]
        self.sizes = [self.min_size]

    @property
    def depth(self):
        return len(self.sizes) - 1

    @property
    def size(self):
        return self.sizes[-1]

    def state(self):
        return list(self.anchor), self.depth, self.size

    def grow_to_contain(self, p):
        if _inside(self.anchor, self.size, p):
            return
        if any(math.isinf(x) for x in p):
            raise Refused("infinite coordinate")
        # Plan on copies first: a refused point leaves the model untouched.
        anchor, sizes, steps = list(self.anchor), list(self.sizes), []
        while not _inside(anchor, sizes[-1], p):
            if len(sizes) - 1 >= MAX_DEPTH:
                raise Refused("more than 64 levels")
            s = sizes[-1]
            steps.append(sum(1 << i for i, (a, x) in enumerate(zip(anchor, p)) if x < a))
            anchor = [a - s if x < a else a for a, x in zip(anchor, p)]
            sizes.append(self.min_size * 2.0 ** len(sizes))
            if not all(math.isfinite(v) for v in anchor + [sizes[-1]] + [a + sizes[-1] for a in anchor]):
                raise Refused("extent not finite")
        self.anchor, self.sizes = anchor, sizes
        self._grown(steps)

    def _grown(self, steps):
        """Called after a growth, with the below-bits of every step in order."""

    def coord_to_key(self, p):
        self.grow_to_contain(p)
        last = KEY_MAX if self.depth >= 64 else 2**self.depth - 1
        key = []
        for a, x in zip(self.anchor, p):
            q = (x - a) / self.min_size
            if not q >= 0.0:
                k = 0
            elif q >= 2.0**64:
                k = KEY_MAX
            else:
                k = int(q)
            key.append(min(k, last))
        return key

    def key_to_coord(self, key):
        return [_fma(float(k), self.min_size, a) for k, a in zip(key, self.anchor)]


# Nodes, climbers and the range query ----------------------------------------

ABSENT = object()  # no payload; a stored None is a payload
CHILD_NR = "zell(134, 9) `childNr < 2'u ^ D`"
NO_VALUE = "Can't obtain a value from a `none`"
OUT_OF_RANGE = "value out of range"


class NativeError(Exception):
    """The module must raise pyglue.<kind> with this message."""

    def __init__(self, kind, message):
        Exception.__init__(self, kind, message)
        self.kind, self.message = kind, message


class Node:
    def __init__(self):
        self.data, self.children = ABSENT, None


class ClimberModel:
    def __init__(self, tree, node, level, corner):
        self.tree, self.node, self.level, self.corner = tree, node, level, corner

    def clone(self):
        return ClimberModel(self.tree, self.node, self.level, list(self.corner))

    @property
    def size(self):
        return self.tree.sizes[self.level]

    def climb(self, child_nr, create=False):
        child_nr %= 256  # converted as an unsigned 8-bit integer
        if create and self.node.children is None and self.level > 0:
            self.node.children = [Node() for _ in range(2**self.tree.dims)]
        if child_nr >= 2**self.tree.dims:
            raise NativeError("AssertionDefect", CHILD_NR)
        if self.level == 0:
            raise NativeError("IndexDefect", "index -1 not in 0 .. %d" % self.tree.depth)
        if self.node.children is None:
            raise NativeError("UnpackDefect", NO_VALUE)
        s = self.tree.sizes[self.level - 1]
        self.corner = [c + ((child_nr >> i) & 1) * s for i, c in enumerate(self.corner)]
        self.level -= 1
        self.node = self.node.children[child_nr]

    def get_data(self):
        data = self.node.data if self.node.data is not ABSENT else self.tree.default
        return None if data is ABSENT else data

    def extract_data(self):
        if self.node.data is ABSENT:
            raise NativeError("ZellExceptionNoneNode", "Cant get data, since it is none")
        data, self.node.data = self.node.data, ABSENT
        return data


class StructureModel(TreeModel):
    """The tree's nodes and payloads on top of its geometry."""

    def __init__(self, dims, min_size, anchor=None, default=ABSENT):
        TreeModel.__init__(self, dims, min_size, anchor)
        self.root, self.default = Node(), default

    def _grown(self, steps):
        for below in steps:  # the old root goes where the point lies below the anchor
            root = Node()
            root.children = [Node() for _ in range(2**self.dims)]
            root.children[below] = self.root
            self.root = root

    def climber(self):
        return ClimberModel(self, self.root, self.depth, list(self.anchor))

    def walk(self, p, level, create):
        return self.walk_key(self.coord_to_key(p), level, create)

    def walk_key(self, key, level, create):
        c = self.climber()
        while level < c.level and (create or c.node.children is not None):
            c.climb(sum(((k >> (c.level - 1)) & 1) << i for i, k in enumerate(key)), create)
        return c

    def range(self, lo, hi):
        """The window's grid, found by looking up every cell on its own by its key."""
        self.grow_to_contain(lo)
        self.grow_to_contain(hi)
        origin, last = self.coord_to_key(lo), self.coord_to_key(hi)
        extent, cells = [_cell_count(o, l) for o, l in zip(origin, last)], 1
        for e in extent:  # checked from the outermost axis in, as far as lists reach
            if cells and (e < 0 or cells * e >= 2**64):
                raise NativeError("RangeDefect", OUT_OF_RANGE)
            cells *= e
        if cells and self.default is ABSENT:
            raise NativeError("UnpackDefect", NO_VALUE)
        # A minimum corner strictly inside its cell leaves that cell at the default.
        first = [o + (c < x) for o, c, x in zip(origin, self.key_to_coord(origin), lo)]

        def build(key):
            if len(key) < self.dims:
                return [build(key + [origin[len(key)] + k]) for k in range(extent[len(key)])]
            c = self.walk_key(key, 0, create=False)
            taken = c.level == 0 and all(f <= k <= l for f, k, l in zip(first, key, last))
            return c.get_data() if taken else self.default

        return build([])


def _cell_count(origin, last):
    """Cells from origin to last as the grid checks them: an inverted window, or 2^63 cells
    or more, count as negative."""
    count = last + 1 - origin
    return count if 0 <= count < 2**63 else -1
