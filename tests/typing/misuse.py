"""Misuses that `mypy --strict` must flag against the stubs, each on the line marked "refused", and nothing else
(tests/typing/typecheck.py). Most are refused at run time too; a float key, a level as text and arguments to a
class pass there only by leniency, and the rest are wrong types."""
from typing import List

import zell_dim_1_2_3_4 as zell

tree = zell.newZell2D(0.5, 0)
octree = zell.newZell3D(1.0, 0)
climber = tree.getClimber()
tree.coordToKey("12")  # refused: a string is no point
tree.coordToKey([1.0, "2"])  # refused: a coordinate must be a number
tree.coordToKey(3.0)  # refused: a point is a list or tuple
tree.keyToCoord([1.5, 2.0])  # refused: keys are integers
tree.getNodeByCoord([1.0, 2.0], level="1")  # refused: a level is an integer
climber.climb(1.5)  # refused: a child number is an integer
tree.deserialize("saved")  # refused: a save is bytes
tree.coordsToKeys([1.0, 2.0])  # refused: many points are a list of points, not one flat list
tree.setDataByCoords([[0.0, 0.0]], 5)  # refused: the payloads come as a sequence
name: str = tree.size()  # refused: size() is a float
keys: List[str] = tree.coordToKey([1.0, 2.0])  # refused: a key holds ints
plane = octree.getRange([0, 0, 0], [1, 1, 1])[0]
total = plane[0] + 1  # refused: an octree's window is three lists deep, plane[0] is a row
tree.getSparseRange([0, 0], [1, 1])[[0, 0]]  # refused: the dict is keyed by tuples
tree.items()[0]  # refused: items() is an iterator
zell.Zell3(0.5)  # refused: the class takes no arguments; trees come from newZell3...
zell.newZell2A(1.0, 5)  # refused: an anchor is a point
wrong: zell.Zell3Climber = tree.getClimber()  # refused: a quad tree's climber is a Zell2Climber


class Mine(zell.Zell2):  # refused: the classes cannot be subclassed
    pass
