# Type stubs of zell_dim_1_2_3_4, written by stubs/generate.py from the module's tables.
from typing import Any, Dict, Iterator, List, Sequence, SupportsFloat, SupportsIndex, SupportsInt, Tuple, Union

# An integer: int() must take it (keys, levels).
_Int = Union[SupportsInt, SupportsIndex]
# An (N, D) array of numbers: anything that lends its memory through the buffer interface (numpy arrays,
# memoryviews, ctypes arrays). The module needs no numpy, so no array type is named.
_Array = Any

def get_all_dimensions(*args: Any, **kwargs: Any) -> List[int]:
    """The dimensions this module serves: [1, 2, 3, 4]."""

def newZell1(minSize: SupportsFloat) -> Zell1:
    """A tree of one finest cell of edge minSize at the origin, without a default."""

def newZell1A(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat]]) -> Zell1:
    """A tree of one finest cell of edge minSize at anchor, without a default."""

def newZell1D(minSize: SupportsFloat, default: Any) -> Zell1:
    """A tree of one finest cell at the origin whose default payload is default."""

def newZell1AD(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat]], default: Any) -> Zell1:
    """A tree of one finest cell at anchor whose default payload is default."""

def newZell2(minSize: SupportsFloat) -> Zell2:
    """A tree of one finest cell of edge minSize at the origin, without a default."""

def newZell2A(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]]) -> Zell2:
    """A tree of one finest cell of edge minSize at anchor, without a default."""

def newZell2D(minSize: SupportsFloat, default: Any) -> Zell2:
    """A tree of one finest cell at the origin whose default payload is default."""

def newZell2AD(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], default: Any) -> Zell2:
    """A tree of one finest cell at anchor whose default payload is default."""

def newZell3(minSize: SupportsFloat) -> Zell3:
    """A tree of one finest cell of edge minSize at the origin, without a default."""

def newZell3A(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]]) -> Zell3:
    """A tree of one finest cell of edge minSize at anchor, without a default."""

def newZell3D(minSize: SupportsFloat, default: Any) -> Zell3:
    """A tree of one finest cell at the origin whose default payload is default."""

def newZell3AD(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], default: Any) -> Zell3:
    """A tree of one finest cell at anchor whose default payload is default."""

def newZell4(minSize: SupportsFloat) -> Zell4:
    """A tree of one finest cell of edge minSize at the origin, without a default."""

def newZell4A(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]]) -> Zell4:
    """A tree of one finest cell of edge minSize at anchor, without a default."""

def newZell4D(minSize: SupportsFloat, default: Any) -> Zell4:
    """A tree of one finest cell at the origin whose default payload is default."""

def newZell4AD(minSize: SupportsFloat, anchor: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], default: Any) -> Zell4:
    """A tree of one finest cell at anchor whose default payload is default."""

class Zell1:
    """A two-way tree on a line (D = 1)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell1... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube."""
    def minNodeSize(self) -> float:
        """The edge of the finest cells."""
    def depth(self) -> int:
        """The level of the root (0 for a new tree)."""
    def getClimber(self) -> Zell1Climber:
        """A climber on the root."""
    def dimensions(self) -> int:
        """1."""
    def size(self) -> float:
        """The edge of the root's cube."""
    def coordToKey(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat]]) -> List[int]:
        """The key of the finest cell holding coord; grows the tree to it."""
    def keyToCoord(self, key: Union[List[_Int], Tuple[_Int]]) -> List[float]:
        """The minimum corner of the finest cell with this key; never grows."""
    def getNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat]], level: _Int = ...) -> Zell1Climber:
        """As getNodeByCoord, the key read as a point."""
    def getNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat]], level: _Int = ...) -> Zell1Climber:
        """A climber on the node holding coord at level, or on the deepest one above."""
    def createNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat]], level: _Int = ...) -> Zell1Climber:
        """As createNodeByCoord, the key read as a point."""
    def createNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat]], level: _Int = ...) -> Zell1Climber:
        """A climber on the node holding coord at level, made if missing."""
    def getRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat]]) -> List[Any]:
        """The finest cells between the two corners, nested 1 deep, outermost over axis 0."""
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack value."""
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the saved one, all or nothing."""
    def setDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat]], ...], _Array], data: Sequence[Any], level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, made if missing, in order."""
    def getDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat]], ...], _Array], level: _Int = ...) -> List[Any]:
        """getNodeByCoord(p, level).getData() for every point p of coords."""
    def coordsToKeys(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat]], ...], _Array]) -> List[List[int]]:
        """coordToKey(p) for every point p of coords, in order."""
    def getSparseRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat]]) -> Dict[Tuple[int], Any]:
        """The payloads of the finest cells getRange reads, by key tuple; cells without one left out."""
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int], Any]]:
        """(key, payload) for every node of level holding a payload, in walk order."""
    def nodeCount(self) -> int:
        """How many nodes the tree has."""
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own."""
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, from the bottom up; returns how many nodes went. Climbers made before, except on the root, are refused afterwards."""

class Zell1Climber:
    """A cursor on one node of a Zell1."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node it stands on."""
    def dimensions(self) -> int:
        """1."""
    def size(self) -> float:
        """The edge of the node's cube."""
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr (bit i selects the upper half on axis i)."""
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its children if it has none, then moves to child childNr."""
    def climbClone(self, childNr: SupportsIndex) -> Zell1Climber:
        """A new climber on child childNr; this one stays."""
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell1Climber:
        """As climbClone, giving the node its children first."""
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None."""
    def setData(self, data: Any) -> None:
        """Stores data (itself, not a copy) as the node's payload."""
    def extractData(self) -> Any:
        """Removes the node's payload and returns it."""
    def hasData(self) -> bool:
        """Whether the node has a payload of its own."""
    def hasChildren(self) -> bool:
        """Whether the node has its children."""

class Zell2:
    """A quad tree (D = 2)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell2... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube."""
    def minNodeSize(self) -> float:
        """The edge of the finest cells."""
    def depth(self) -> int:
        """The level of the root (0 for a new tree)."""
    def getClimber(self) -> Zell2Climber:
        """A climber on the root."""
    def dimensions(self) -> int:
        """2."""
    def size(self) -> float:
        """The edge of the root's cube."""
    def coordToKey(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]]) -> List[int]:
        """The key of the finest cell holding coord; grows the tree to it."""
    def keyToCoord(self, key: Union[List[_Int], Tuple[_Int, _Int]]) -> List[float]:
        """The minimum corner of the finest cell with this key; never grows."""
    def getNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell2Climber:
        """As getNodeByCoord, the key read as a point."""
    def getNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell2Climber:
        """A climber on the node holding coord at level, or on the deepest one above."""
    def createNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell2Climber:
        """As createNodeByCoord, the key read as a point."""
    def createNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell2Climber:
        """A climber on the node holding coord at level, made if missing."""
    def getRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]]) -> List[List[Any]]:
        """The finest cells between the two corners, nested 2 deep, outermost over axis 0."""
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack value."""
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the saved one, all or nothing."""
    def setDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], ...], _Array], data: Sequence[Any], level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, made if missing, in order."""
    def getDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], ...], _Array], level: _Int = ...) -> List[Any]:
        """getNodeByCoord(p, level).getData() for every point p of coords."""
    def coordsToKeys(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], ...], _Array]) -> List[List[int]]:
        """coordToKey(p) for every point p of coords, in order."""
    def getSparseRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat]]) -> Dict[Tuple[int, int], Any]:
        """The payloads of the finest cells getRange reads, by key tuple; cells without one left out."""
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int, int], Any]]:
        """(key, payload) for every node of level holding a payload, in walk order."""
    def nodeCount(self) -> int:
        """How many nodes the tree has."""
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own."""
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, from the bottom up; returns how many nodes went. Climbers made before, except on the root, are refused afterwards."""

class Zell2Climber:
    """A cursor on one node of a Zell2."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node it stands on."""
    def dimensions(self) -> int:
        """2."""
    def size(self) -> float:
        """The edge of the node's cube."""
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr (bit i selects the upper half on axis i)."""
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its children if it has none, then moves to child childNr."""
    def climbClone(self, childNr: SupportsIndex) -> Zell2Climber:
        """A new climber on child childNr; this one stays."""
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell2Climber:
        """As climbClone, giving the node its children first."""
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None."""
    def setData(self, data: Any) -> None:
        """Stores data (itself, not a copy) as the node's payload."""
    def extractData(self) -> Any:
        """Removes the node's payload and returns it."""
    def hasData(self) -> bool:
        """Whether the node has a payload of its own."""
    def hasChildren(self) -> bool:
        """Whether the node has its children."""

class Zell3:
    """An octree (D = 3)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell3... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube."""
    def minNodeSize(self) -> float:
        """The edge of the finest cells."""
    def depth(self) -> int:
        """The level of the root (0 for a new tree)."""
    def getClimber(self) -> Zell3Climber:
        """A climber on the root."""
    def dimensions(self) -> int:
        """3."""
    def size(self) -> float:
        """The edge of the root's cube."""
    def coordToKey(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]]) -> List[int]:
        """The key of the finest cell holding coord; grows the tree to it."""
    def keyToCoord(self, key: Union[List[_Int], Tuple[_Int, _Int, _Int]]) -> List[float]:
        """The minimum corner of the finest cell with this key; never grows."""
    def getNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell3Climber:
        """As getNodeByCoord, the key read as a point."""
    def getNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell3Climber:
        """A climber on the node holding coord at level, or on the deepest one above."""
    def createNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell3Climber:
        """As createNodeByCoord, the key read as a point."""
    def createNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell3Climber:
        """A climber on the node holding coord at level, made if missing."""
    def getRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]]) -> List[List[List[Any]]]:
        """The finest cells between the two corners, nested 3 deep, outermost over axis 0."""
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack value."""
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the saved one, all or nothing."""
    def setDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], ...], _Array], data: Sequence[Any], level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, made if missing, in order."""
    def getDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], ...], _Array], level: _Int = ...) -> List[Any]:
        """getNodeByCoord(p, level).getData() for every point p of coords."""
    def coordsToKeys(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], ...], _Array]) -> List[List[int]]:
        """coordToKey(p) for every point p of coords, in order."""
    def getSparseRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat]]) -> Dict[Tuple[int, int, int], Any]:
        """The payloads of the finest cells getRange reads, by key tuple; cells without one left out."""
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int, int, int], Any]]:
        """(key, payload) for every node of level holding a payload, in walk order."""
    def nodeCount(self) -> int:
        """How many nodes the tree has."""
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own."""
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, from the bottom up; returns how many nodes went. Climbers made before, except on the root, are refused afterwards."""

class Zell3Climber:
    """A cursor on one node of a Zell3."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node it stands on."""
    def dimensions(self) -> int:
        """3."""
    def size(self) -> float:
        """The edge of the node's cube."""
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr (bit i selects the upper half on axis i)."""
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its children if it has none, then moves to child childNr."""
    def climbClone(self, childNr: SupportsIndex) -> Zell3Climber:
        """A new climber on child childNr; this one stays."""
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell3Climber:
        """As climbClone, giving the node its children first."""
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None."""
    def setData(self, data: Any) -> None:
        """Stores data (itself, not a copy) as the node's payload."""
    def extractData(self) -> Any:
        """Removes the node's payload and returns it."""
    def hasData(self) -> bool:
        """Whether the node has a payload of its own."""
    def hasChildren(self) -> bool:
        """Whether the node has its children."""

class Zell4:
    """A sixteen-way tree (D = 4)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell4... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube."""
    def minNodeSize(self) -> float:
        """The edge of the finest cells."""
    def depth(self) -> int:
        """The level of the root (0 for a new tree)."""
    def getClimber(self) -> Zell4Climber:
        """A climber on the root."""
    def dimensions(self) -> int:
        """4."""
    def size(self) -> float:
        """The edge of the root's cube."""
    def coordToKey(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]]) -> List[int]:
        """The key of the finest cell holding coord; grows the tree to it."""
    def keyToCoord(self, key: Union[List[_Int], Tuple[_Int, _Int, _Int, _Int]]) -> List[float]:
        """The minimum corner of the finest cell with this key; never grows."""
    def getNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell4Climber:
        """As getNodeByCoord, the key read as a point."""
    def getNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell4Climber:
        """A climber on the node holding coord at level, or on the deepest one above."""
    def createNodeByKey(self, key: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell4Climber:
        """As createNodeByCoord, the key read as a point."""
    def createNodeByCoord(self, coord: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], level: _Int = ...) -> Zell4Climber:
        """A climber on the node holding coord at level, made if missing."""
    def getRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]]) -> List[List[List[List[Any]]]]:
        """The finest cells between the two corners, nested 4 deep, outermost over axis 0."""
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack value."""
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the saved one, all or nothing."""
    def setDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], ...], _Array], data: Sequence[Any], level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, made if missing, in order."""
    def getDataByCoords(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], ...], _Array], level: _Int = ...) -> List[Any]:
        """getNodeByCoord(p, level).getData() for every point p of coords."""
    def coordsToKeys(self, coords: Union[List[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]]], Tuple[Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], ...], _Array]) -> List[List[int]]:
        """coordToKey(p) for every point p of coords, in order."""
    def getSparseRange(self, minCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]], maxCornerCoords: Union[List[SupportsFloat], Tuple[SupportsFloat, SupportsFloat, SupportsFloat, SupportsFloat]]) -> Dict[Tuple[int, int, int, int], Any]:
        """The payloads of the finest cells getRange reads, by key tuple; cells without one left out."""
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int, int, int, int], Any]]:
        """(key, payload) for every node of level holding a payload, in walk order."""
    def nodeCount(self) -> int:
        """How many nodes the tree has."""
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own."""
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, from the bottom up; returns how many nodes went. Climbers made before, except on the root, are refused afterwards."""

class Zell4Climber:
    """A cursor on one node of a Zell4."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node it stands on."""
    def dimensions(self) -> int:
        """4."""
    def size(self) -> float:
        """The edge of the node's cube."""
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr (bit i selects the upper half on axis i)."""
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its children if it has none, then moves to child childNr."""
    def climbClone(self, childNr: SupportsIndex) -> Zell4Climber:
        """A new climber on child childNr; this one stays."""
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell4Climber:
        """As climbClone, giving the node its children first."""
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None."""
    def setData(self, data: Any) -> None:
        """Stores data (itself, not a copy) as the node's payload."""
    def extractData(self) -> Any:
        """Removes the node's payload and returns it."""
    def hasData(self) -> bool:
        """Whether the node has a payload of its own."""
    def hasChildren(self) -> bool:
        """Whether the node has its children."""

class PyGlueException(Exception):
    """Base of every error an operation raises; its subclasses are named "pyglue.<kind>"."""
