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
        anchor, sizes = list(self.anchor), list(self.sizes)
        while not _inside(anchor, sizes[-1], p):
            if len(sizes) - 1 >= MAX_DEPTH:
                raise Refused("more than 64 levels")
            s = sizes[-1]
            anchor = [a - s if x < a else a for a, x in zip(anchor, p)]
            sizes.append(self.min_size * 2.0 ** len(sizes))
            if not all(math.isfinite(v) for v in anchor + [sizes[-1]]):
                raise Refused("extent not finite")
        self.anchor, self.sizes = anchor, sizes

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
