"""Correct uses that `mypy --strict` must accept against the stubs (tests/typing/typecheck.py): each line here is
something the module takes at run time."""
import copy
import ctypes
import pickle
from typing import Any, Dict, Iterator, List, Tuple

import numpy as np

import zell_dim_1_2_3_4 as zell

tree = zell.newZell2D(0.5, 0)
point: List[float] = [3.2, 1.1]
key: List[int] = tree.coordToKey(point)
corner: List[float] = tree.keyToCoord(tree.coordToKey(point))  # a key list goes back in as it came out
tree.coordToKey((1.0, 2.5))
tree.coordToKey((1, True))
tree.coordToKey([1, 2])
pair: Tuple[float, float] = (1.0, 2.0)
climber: zell.Zell2Climber = tree.getNodeByCoord(pair, level=1)
tree.createNodeByKey(key, 0).setData({"hits": 1})
tree.getClimber().creativeClimbClone(3).hasChildren()
grid: List[List[Any]] = tree.getRange([0.0, 0.0], (1.0, 1.0))
held: Dict[Tuple[int, int], Any] = tree.getSparseRange(point, point)
walk: Iterator[Tuple[Tuple[int, int], Any]] = tree.items(level=0)
keys: List[List[int]] = tree.coordsToKeys([(0.5, 0.5), [1.5, 2.5]])
tree.setDataByCoords(((0.5, 0.5), (1.5, 2.5)), ["a", "b"], level=0)
values: List[Any] = tree.getDataByCoords([point])
table = (ctypes.c_double * 2 * 3)()  # three points lent through the buffer interface
tree.coordsToKeys(table)
tree.coordsToKeys(memoryview(b"\x00" * 32).cast("d", (2, 2)))
cloud = np.zeros((3, 2))  # numpy arrays of points, and of payloads
tree.setDataByCoords(cloud.astype(np.float32), np.array([1, "b", None], dtype=object), level=np.int64(0))
picked: List[Any] = tree.getDataByCoords(cloud[::2])
tree.getNodeByCoord([np.float64(1.0), np.int32(2)])
octree: zell.Zell3 = zell.newZell3AD(1.0, [0, 0, 0], None)
cube: List[List[List[Any]]] = octree.getRange([0, 0, 0], [1, 1, 1])
again: zell.Zell2 = pickle.loads(pickle.dumps(tree))
shallow: zell.Zell2 = copy.copy(tree)
deep: zell.Zell2 = copy.deepcopy(tree)
other: zell.Zell2Climber = copy.copy(climber)
saved: bytes = tree.serialize()
empty = zell.Zell2()
empty.deserialize(saved)
counts: int = tree.nodeCount() + tree.dataCount() + tree.prune() + tree.depth()
dimensions: List[int] = zell.get_all_dimensions()
try:
    tree.getClimber().climb(0)
except zell.PyGlueException as error:
    kind: str = type(error).__name__
