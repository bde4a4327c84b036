"""A five-minute tour of zell_dim_1_2_3_4: build a tree, store and read
payloads, walk with a climber, read a window, save and load."""
from __future__ import print_function

import zell_dim_1_2_3_4 as zell

# A quad tree whose finest cells are 0.5 wide, anchored at the origin, with
# "empty" standing in wherever a node holds nothing.
tree = zell.newZell2D(0.5, "empty")
print("new tree: anchor", tree.anchor(), "depth", tree.depth(), "size", tree.size())

# Naming a point outside the tree grows its root upward until it fits.
key = tree.coordToKey([3.2, 1.1])
print("key of (3.2, 1.1):", key, "-> depth", tree.depth(), "size", tree.size())
print("corner of that cell:", tree.keyToCoord(key))

# createNodeByCoord returns a climber standing on the level-0 cell of the
# point, creating the nodes on the way; getNodeByCoord only looks.
tree.createNodeByCoord([3.2, 1.1]).setData({"hits": 1})
tree.createNodeByCoord([0.2, 0.2]).setData("corner")
print("read back:", tree.getNodeByCoord([3.4, 1.4]).getData())
print("a cell never written:", tree.getNodeByCoord([1.9, 3.9]).getData())

# A climber walks down from the root; child c is the upper half on axis i
# when bit i of c is set.
climber = tree.getClimber()
print("root level", climber.level(), "edge", climber.size(), "children", climber.hasChildren())
climber.climb(0)
print("lower-left quarter: level", climber.level(), "edge", climber.size())

# A window of level-0 cells as nested lists, outermost over axis 0.
for row in tree.getRange([0.0, 0.0], [1.0, 1.0]):
    print("window row:", row)

# Growing toward lower coordinates moves the anchor, so keys shift.
print("key of (-0.7, 0.2):", tree.coordToKey([-0.7, 0.2]), "anchor now", tree.anchor())

# A whole tree, payloads included, is one byte string.
saved = tree.serialize()
loaded = zell.newZell2(1.0)
loaded.deserialize(saved)
print("saved %d bytes; the copy reads" % len(saved), loaded.getNodeByCoord([3.2, 1.1]).getData())

# Errors of an operation arrive as subclasses of PyGlueException.
try:
    tree.getClimber().climb(7)
except zell.PyGlueException as error:
    print(type(error).__name__, "-", error)
