"""A pure-Python model of a tree: its geometry (anchor, level sizes, growth,
keys), its nodes and payloads, climbers and windows. It follows the float
operations of the native tree one for one, so its answers can be compared
exactly with the module's. Python 2.7 and 3.x."""
import math
import struct
from fractions import Fraction

KEY_MAX, ABSENT = 2 ** 64 - 1, object()  # ABSENT: no payload (a stored None is a payload)
NO_VALUE, TOO_FAR = "Can't obtain a value from a `none`", "point lies too far away: the tree"


class Refused(Exception):
    """Refused(kind, message): the module must raise pyglue.<kind> with this message, the tree unchanged."""


def fma(x, y, z):
    return float(Fraction(x) * Fraction(y) + Fraction(z))  # correctly rounded


def nextbelow(x):
    n = struct.unpack("<q", struct.pack("<d", x))[0]
    return struct.unpack("<d", struct.pack("<q", n - 1 if x > 0 else n + 1))[0] if x else -5e-324


def inside(anchor, edge, p):  # plain float comparisons: a NaN component never puts a point outside
    return not any(x < a or a + edge <= x for a, x in zip(anchor, p))


class Node(object):
    data, children = ABSENT, None  # until set on the node itself


class TreeModel(object):
    def __init__(self, dims, min_size, anchor, default=ABSENT):
        self.dims, self.min_size, self.anchor = dims, float(min_size), [float(a) for a in anchor]
        self.sizes, self.root, self.default = [self.min_size], Node(), default

    def grow_to_contain(self, p):
        if any(math.isinf(x) for x in p) and not inside(self.anchor, self.sizes[-1], p):
            raise Refused("ValueError", "coordinate must be finite to grow the tree to it")
        anchor, sizes, steps = list(self.anchor), list(self.sizes), []  # planned first: a refusal changes nothing
        while not inside(anchor, sizes[-1], p):
            if len(sizes) > 64:
                raise Refused("ValueError", TOO_FAR + " would need more than 64 levels")
            steps.append(sum(1 << i for i, (a, x) in enumerate(zip(anchor, p)) if x < a))
            anchor = [a - sizes[-1] if x < a else a for a, x in zip(anchor, p)]
            sizes.append(math.ldexp(self.min_size, len(sizes)))
            if any(math.isinf(v) for v in anchor + sizes[-1:] + [a + sizes[-1] for a in anchor]):
                raise Refused("ValueError", TOO_FAR + "'s extent would not be finite")
        self.anchor, self.sizes = anchor, sizes
        for below in steps:  # the old root becomes the child on the side of the point
            self.root, old = Node(), self.root
            self.root.children = [Node() for _ in range(2 ** self.dims)]
            self.root.children[below] = old

    def coord_to_key(self, p):
        self.grow_to_contain(p)
        quotients = [(x - a) / self.min_size for a, x in zip(self.anchor, p)]
        last = min(KEY_MAX, 2 ** (len(self.sizes) - 1) - 1)
        return [min(last, KEY_MAX if q >= 2.0 ** 64 else int(q)) if q >= 0.0 else 0 for q in quotients]

    def key_to_coord(self, key):
        return [fma(float(k), self.min_size, a) for k, a in zip(key, self.anchor)]

    def climber(self):
        return ClimberModel(self, self.root, len(self.sizes) - 1)

    def walk(self, key, level, create):
        c = self.climber()
        while level < c.level and (create or c.node.children is not None):
            c.climb(sum(((k >> (c.level - 1)) & 1) << i for i, k in enumerate(key)), create)
        return c

    def range(self, lo, hi):
        """The window's grid, every cell looked up on its own by its key."""
        self.grow_to_contain(lo)
        self.grow_to_contain(hi)
        origin, last, cells = self.coord_to_key(lo), self.coord_to_key(hi), 1
        extent = [e if 0 <= e < 2 ** 63 else -1 for e in (b + 1 - a for a, b in zip(origin, last))]
        for e in extent:  # checked from the outermost axis in, as far as lists reach
            if cells and (e < 0 or cells * e >= 2 ** 64):
                raise Refused("RangeDefect", "value out of range")
            cells *= e
        if cells and self.default is ABSENT:
            raise Refused("UnpackDefect", NO_VALUE)
        # A minimum corner strictly inside its cell leaves that cell at the default.
        first = [o + (c < x) for o, c, x in zip(origin, self.key_to_coord(origin), lo)]

        def build(key):
            if len(key) < self.dims:
                return [build(key + [origin[len(key)] + k]) for k in range(extent[len(key)])]
            c = self.walk(key, 0, create=False)
            taken = c.level == 0 and all(f <= k <= b for f, k, b in zip(first, key, last))
            return c.get_data() if taken else self.default

        return build([])


class ClimberModel(object):
    def __init__(self, tree, node, level):
        self.tree, self.node, self.level = tree, node, level

    def clone(self):
        return ClimberModel(self.tree, self.node, self.level)

    def climb(self, child_nr, create=False):
        child_nr %= 256  # converted as an unsigned 8-bit integer
        if create and self.node.children is None and self.level > 0:
            self.node.children = [Node() for _ in range(2 ** self.tree.dims)]
        if child_nr >= 2 ** self.tree.dims:
            raise Refused("AssertionDefect", "zell(134, 9) `childNr < 2'u ^ D`")
        if self.level == 0:
            raise Refused("IndexDefect", "index -1 not in 0 .. %d" % (len(self.tree.sizes) - 1))
        if self.node.children is None:
            raise Refused("UnpackDefect", NO_VALUE)
        self.level, self.node = self.level - 1, self.node.children[child_nr]

    def get_data(self):  # the payload, else the default, else None
        return next(data for data in (self.node.data, self.tree.default, None) if data is not ABSENT)

    def extract_data(self):
        if self.node.data is ABSENT:
            raise Refused("ZellExceptionNoneNode", "Cant get data, since it is none")
        data, self.node.data = self.node.data, ABSENT
        return data
