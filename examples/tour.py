"""A short tour of zell_dim_1_2_3_4: build a tree, let it grow, convert
between coordinates and cell keys."""
from __future__ import print_function

import zell_dim_1_2_3_4 as zell

print("dimensions built:", zell.get_all_dimensions())

# A quad tree whose finest cells are 0.5 wide, anchored at the origin.
tree = zell.newZell2(0.5)
print("new tree: anchor", tree.anchor(), "depth", tree.depth(), "size", tree.size())

# Naming a point outside the tree grows its root upward until it fits.
key = tree.coordToKey([3.2, 1.1])
print("key of (3.2, 1.1):", key, "-> depth", tree.depth(), "size", tree.size())
print("corner of that cell:", tree.keyToCoord(key))

# Growing toward lower coordinates moves the anchor, so keys shift.
print("key of (-0.7, 0.2):", tree.coordToKey([-0.7, 0.2]), "anchor now", tree.anchor())
print("key of (3.2, 1.1) now:", tree.coordToKey([3.2, 1.1]))

# Errors of an operation arrive as subclasses of PyGlueException.
try:
    zell.newZell3(0.0)
except zell.PyGlueException as error:
    print(type(error).__name__, "-", error)
