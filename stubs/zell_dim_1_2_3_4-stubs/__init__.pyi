# Type stubs of zell_dim_1_2_3_4, written by stubs/generate.py from the module's tables.
from typing import (
    Any,
    Callable,
    Dict,
    Iterator,
    List,
    NoReturn,
    Sequence,
    SupportsFloat,
    SupportsIndex,
    SupportsInt,
    Tuple,
    Union,
)

from typing_extensions import Buffer, Protocol, final

# A point: a list or tuple of D numbers (anything float() takes).
_Coord = Sequence[SupportsFloat]
# A key: a list or tuple of D non-negative integers.
_Key = Sequence[SupportsIndex]
# A level: a non-negative integer (anything int() takes).
_Int = Union[SupportsInt, SupportsIndex]

class _ArrayInterface(Protocol):
    """What numpy's stubs say of its arrays under every Python (they lend memory through the buffer interface,
    which numpy's stubs name only from Python 3.12 on). The module needs no numpy, so no array type is named."""
    @property
    def __array_interface__(self) -> Dict[str, Any]: ...

# N points: a list or tuple of points, or an (N, D) array of numbers lent through the buffer interface (numpy
# arrays, memoryviews, ctypes arrays).
_Points = Union[Sequence[Sequence[SupportsFloat]], Buffer, _ArrayInterface]

class _Payloads(Protocol):
    """N payloads: anything with len() and indexing by position (lists, tuples, numpy arrays)."""
    def __len__(self) -> int: ...
    def __getitem__(self, __index: int) -> Any: ...

def get_all_dimensions(*args: Any, **kwargs: Any) -> List[int]:
    """The dimensions this module serves: [1, 2, 3, 4].

    Any arguments are ignored.
    """

def newZell1(minSize: SupportsFloat) -> Zell1:
    """A Zell1 of one finest cell of edge minSize at the origin, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell1A(minSize: SupportsFloat, anchor: _Coord) -> Zell1:
    """A Zell1 of one finest cell of edge minSize at anchor, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

def newZell1D(minSize: SupportsFloat, default: Any) -> Zell1:
    """A Zell1 of one finest cell of edge minSize at the origin, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell1AD(minSize: SupportsFloat, anchor: _Coord, default: Any) -> Zell1:
    """A Zell1 of one finest cell of edge minSize at anchor, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

def newZell2(minSize: SupportsFloat) -> Zell2:
    """A Zell2 of one finest cell of edge minSize at the origin, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell2A(minSize: SupportsFloat, anchor: _Coord) -> Zell2:
    """A Zell2 of one finest cell of edge minSize at anchor, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

def newZell2D(minSize: SupportsFloat, default: Any) -> Zell2:
    """A Zell2 of one finest cell of edge minSize at the origin, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell2AD(minSize: SupportsFloat, anchor: _Coord, default: Any) -> Zell2:
    """A Zell2 of one finest cell of edge minSize at anchor, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

def newZell3(minSize: SupportsFloat) -> Zell3:
    """A Zell3 of one finest cell of edge minSize at the origin, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell3A(minSize: SupportsFloat, anchor: _Coord) -> Zell3:
    """A Zell3 of one finest cell of edge minSize at anchor, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

def newZell3D(minSize: SupportsFloat, default: Any) -> Zell3:
    """A Zell3 of one finest cell of edge minSize at the origin, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell3AD(minSize: SupportsFloat, anchor: _Coord, default: Any) -> Zell3:
    """A Zell3 of one finest cell of edge minSize at anchor, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

def newZell4(minSize: SupportsFloat) -> Zell4:
    """A Zell4 of one finest cell of edge minSize at the origin, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell4A(minSize: SupportsFloat, anchor: _Coord) -> Zell4:
    """A Zell4 of one finest cell of edge minSize at anchor, without a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

def newZell4D(minSize: SupportsFloat, default: Any) -> Zell4:
    """A Zell4 of one finest cell of edge minSize at the origin, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite.
    """

def newZell4AD(minSize: SupportsFloat, anchor: _Coord, default: Any) -> Zell4:
    """A Zell4 of one finest cell of edge minSize at anchor, with a default payload.

    minSize: the edge of the finest cells, a positive finite number.
    anchor: the minimum corner of that cell, a list or tuple of one number per axis.
    default: what a node without a payload reads as; any object, None included.
    Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive
    and finite or the anchor is not finite.
    """

@final
class Zell1:
    """A two-way tree on a line (D = 1)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell1... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube, as a list of floats, one per axis.

        Raises pyglue.ValueError when this Zell1 holds no tree.
        """
    def minNodeSize(self) -> float:
        """The edge of the finest cells.

        Raises pyglue.ValueError when this Zell1 holds no tree.
        """
    def depth(self) -> int:
        """The level of the root: 0 for a new tree, one more for each growth.

        Raises pyglue.ValueError when this Zell1 holds no tree.
        """
    def getClimber(self) -> Zell1Climber:
        """A new climber on the root.

        Raises pyglue.ValueError when this Zell1 holds no tree.
        """
    def dimensions(self) -> int:
        """1, the number of axes."""
    def size(self) -> float:
        """The edge of the root's cube.

        Raises pyglue.ValueError when this Zell1 holds no tree.
        """
    def coordToKey(self, coord: _Coord) -> List[int]:
        """The key of the finest cell holding coord, as a list of ints, one per axis; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        Raises TypeError when coord is not one number per axis, pyglue.ValueError when a coordinate is
        infinite, the point lies too far away for the tree to grow to it or this Zell1 holds no tree.
        """
    def keyToCoord(self, key: _Key) -> List[float]:
        """The minimum corner of the finest cell with this key, as a list of floats, one per axis; never grows the tree.

        key: a list or tuple of one integer per axis, each from 0 to 2**64 - 1.
        Raises TypeError when key is not such integers, pyglue.ValueError when this Zell1 holds no tree.
        """
    def getNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell1Climber:
        """As getNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as getNodeByCoord.
        """
    def getNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell1Climber:
        """A climber on the node holding coord at level, or on the deepest existing node above it; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell1 holds no tree.
        """
    def createNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell1Climber:
        """As createNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as createNodeByCoord.
        """
    def createNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell1Climber:
        """A climber on the node holding coord at level, creating the missing nodes on the way, each with its 1 siblings; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell1 holds no tree.
        """
    def getRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> List[Any]:
        """The payloads of the finest cells between the corners' cells, as lists nested 1 deep, outermost over axis 0.

        Grows the tree to both corners. A cell without a payload of its own reads as the default; payloads on
        coarser nodes are not read.
        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell1 holds no tree, pyglue.UnpackDefect when the tree has no default,
        pyglue.RangeDefect when the corners are the wrong way round, pyglue.OutOfMemDefect when the window
        cannot fit in memory.
        """
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack byte string.

        A Zell1 that holds no tree saves as one byte, the MessagePack nil.
        Raises pyglue.ValueError when a payload holds the tree itself, and the error a payload's pickling
        raised as the pyglue kind it maps to.
        """
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the one saved in serialized; a load that fails leaves the tree as it was.

        serialized: what serialize() returned, bytes (Python 2: str).
        Raises TypeError when serialized is not bytes; pyglue.ValueError, pyglue.IOError, pyglue.IndexDefect or
        pyglue.ObjectConversionDefect when it holds no saved Zell1; and the error a payload's unpickling raised
        as the pyglue kind it maps to.
        """
    def setDataByCoords(self, coords: _Points, data: _Payloads, level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, creating missing nodes, in order: createNodeByCoord(p, level).setData(v) for each pair.

        coords: N points, a list or tuple of points or an (N, 1) array of numbers (numpy, memoryview).
        data: N payloads, a list, tuple or any sequence with len() and indexing.
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read or data does not match coords one for one, and what
        createNodeByCoord raises for the first point it refuses; a refused call changes nothing.
        """
    def getDataByCoords(self, coords: _Points, level: _Int = ...) -> List[Any]:
        """The payload of the node each point reaches, as getNodeByCoord(p, level).getData() for each point: a list of N.

        coords: N points, a list or tuple of points or an (N, 1) array of numbers (numpy, memoryview).
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read, and what getNodeByCoord raises for the first point it
        refuses; a refused call changes nothing.
        """
    def coordsToKeys(self, coords: _Points) -> List[List[int]]:
        """The key of each point, as coordToKey(p) for each point in turn: a list of N keys.

        coords: N points, a list or tuple of points or an (N, 1) array of numbers (numpy, memoryview).
        Raises TypeError when coords cannot be read, and what coordToKey raises for the first point it refuses;
        a refused call changes nothing.
        """
    def getSparseRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> Dict[Tuple[int], Any]:
        """The payloads of the finest cells that getRange reads for the same corners, as a dict keyed by key tuples; cells without a payload are left out.

        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell1 holds no tree.
        """
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int], Any]]:
        """An iterator over (key tuple, payload) for each node of level that holds a payload, in walk order.

        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when level is not an integer from 0, pyglue.ValueError when this Zell1 holds no tree;
        the iterator raises RuntimeError once the tree has changed shape.
        """
    def nodeCount(self) -> int:
        """How many nodes the tree has.

        Raises pyglue.ValueError when this Zell1 holds no tree.
        """
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own.

        Raises pyglue.ValueError when this Zell1 holds no tree.
        """
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, bottom up; returns how many nodes went.

        Climbers made before a prune that removed nodes refuse from then on, except those on the root.
        Raises pyglue.ValueError while the tree is being saved, copied or read, or when this Zell1 holds no
        tree.
        """
    def __reduce__(self) -> Tuple[Callable[[float], Zell1], Tuple[float], bytes]:
        """What pickle rebuilds the tree from: newZell1(1.0), then __setstate__ with serialize()'s bytes.

        Raises as serialize.
        """
    def __setstate__(self, state: Union[bytes, str]) -> None:
        """Makes this tree the one saved in state, as deserialize does; pickle calls it.

        state: what serialize() returned, bytes, or text holding only characters below 256 (Python 2 pickles).
        Raises as deserialize, and pyglue.ValueError when state holds no tree while climbers or iterators
        still use this one.
        """
    def __copy__(self) -> Zell1:
        """A new tree with nodes of its own that hold the very same payload objects."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> Zell1:
        """A new tree whose payloads are deep copies, made through copy.deepcopy with memo.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises the error a payload's copying raised, as the pyglue kind it maps to.
        """

@final
class Zell1Climber:
    """A cursor on one node of a Zell1."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node the climber stands on, 0 for a finest cell.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def dimensions(self) -> int:
        """1, the number of axes."""
    def size(self) -> float:
        """The edge of the node's cube.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr of the node, which must have its children.

        childNr: 0 .. 1; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.IndexDefect when the node has no children,
        pyglue.AssertionDefect when childNr is outside 0 .. 1, pyglue.ValueError as level() does.
        """
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its 2 children if it has none, then moves to child childNr.

        childNr: 0 .. 1; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.AssertionDefect when it is outside 0 .. 1,
        pyglue.ValueError as level() does.
        """
    def climbClone(self, childNr: SupportsIndex) -> Zell1Climber:
        """A new climber on child childNr of the node, which must have its children; this one stays.

        childNr: 0 .. 1; bit i set takes the upper half on axis i.
        Raises as climb.
        """
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell1Climber:
        """As climbClone, giving the node its 2 children first if it has none.

        childNr: 0 .. 1; bit i set takes the upper half on axis i.
        Raises as creativeClimb.
        """
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None.

        Raises pyglue.ValueError as level() does.
        """
    def setData(self, data: Any) -> None:
        """Stores data itself, not a copy, as the node's payload.

        data: any object, None included.
        Raises pyglue.ValueError as level() does.
        """
    def extractData(self) -> Any:
        """Removes the node's payload and returns it; the node stays.

        Raises pyglue.ZellExceptionNoneNode when the node holds no payload, pyglue.ValueError as level() does.
        """
    def hasData(self) -> bool:
        """Whether the node holds a payload of its own.

        Raises pyglue.ValueError as level() does.
        """
    def hasChildren(self) -> bool:
        """Whether the node has its children.

        Raises pyglue.ValueError as level() does.
        """
    def __reduce__(self) -> NoReturn:
        """Refuses: a climber belongs to its tree and cannot travel alone; send or copy the tree.

        Raises TypeError, always.
        """
    def __copy__(self) -> Zell1Climber:
        """Another climber on the same node of the same tree."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> NoReturn:
        """Refuses, as __reduce__ does: a climber cannot be deep-copied apart from its tree.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises TypeError, always.
        """

@final
class Zell2:
    """A quad tree (D = 2)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell2... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube, as a list of floats, one per axis.

        Raises pyglue.ValueError when this Zell2 holds no tree.
        """
    def minNodeSize(self) -> float:
        """The edge of the finest cells.

        Raises pyglue.ValueError when this Zell2 holds no tree.
        """
    def depth(self) -> int:
        """The level of the root: 0 for a new tree, one more for each growth.

        Raises pyglue.ValueError when this Zell2 holds no tree.
        """
    def getClimber(self) -> Zell2Climber:
        """A new climber on the root.

        Raises pyglue.ValueError when this Zell2 holds no tree.
        """
    def dimensions(self) -> int:
        """2, the number of axes."""
    def size(self) -> float:
        """The edge of the root's cube.

        Raises pyglue.ValueError when this Zell2 holds no tree.
        """
    def coordToKey(self, coord: _Coord) -> List[int]:
        """The key of the finest cell holding coord, as a list of ints, one per axis; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        Raises TypeError when coord is not one number per axis, pyglue.ValueError when a coordinate is
        infinite, the point lies too far away for the tree to grow to it or this Zell2 holds no tree.
        """
    def keyToCoord(self, key: _Key) -> List[float]:
        """The minimum corner of the finest cell with this key, as a list of floats, one per axis; never grows the tree.

        key: a list or tuple of one integer per axis, each from 0 to 2**64 - 1.
        Raises TypeError when key is not such integers, pyglue.ValueError when this Zell2 holds no tree.
        """
    def getNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell2Climber:
        """As getNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as getNodeByCoord.
        """
    def getNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell2Climber:
        """A climber on the node holding coord at level, or on the deepest existing node above it; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell2 holds no tree.
        """
    def createNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell2Climber:
        """As createNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as createNodeByCoord.
        """
    def createNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell2Climber:
        """A climber on the node holding coord at level, creating the missing nodes on the way, each with its 3 siblings; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell2 holds no tree.
        """
    def getRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> List[List[Any]]:
        """The payloads of the finest cells between the corners' cells, as lists nested 2 deep, outermost over axis 0.

        Grows the tree to both corners. A cell without a payload of its own reads as the default; payloads on
        coarser nodes are not read.
        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell2 holds no tree, pyglue.UnpackDefect when the tree has no default,
        pyglue.RangeDefect when the corners are the wrong way round, pyglue.OutOfMemDefect when the window
        cannot fit in memory.
        """
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack byte string.

        A Zell2 that holds no tree saves as one byte, the MessagePack nil.
        Raises pyglue.ValueError when a payload holds the tree itself, and the error a payload's pickling
        raised as the pyglue kind it maps to.
        """
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the one saved in serialized; a load that fails leaves the tree as it was.

        serialized: what serialize() returned, bytes (Python 2: str).
        Raises TypeError when serialized is not bytes; pyglue.ValueError, pyglue.IOError, pyglue.IndexDefect or
        pyglue.ObjectConversionDefect when it holds no saved Zell2; and the error a payload's unpickling raised
        as the pyglue kind it maps to.
        """
    def setDataByCoords(self, coords: _Points, data: _Payloads, level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, creating missing nodes, in order: createNodeByCoord(p, level).setData(v) for each pair.

        coords: N points, a list or tuple of points or an (N, 2) array of numbers (numpy, memoryview).
        data: N payloads, a list, tuple or any sequence with len() and indexing.
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read or data does not match coords one for one, and what
        createNodeByCoord raises for the first point it refuses; a refused call changes nothing.
        """
    def getDataByCoords(self, coords: _Points, level: _Int = ...) -> List[Any]:
        """The payload of the node each point reaches, as getNodeByCoord(p, level).getData() for each point: a list of N.

        coords: N points, a list or tuple of points or an (N, 2) array of numbers (numpy, memoryview).
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read, and what getNodeByCoord raises for the first point it
        refuses; a refused call changes nothing.
        """
    def coordsToKeys(self, coords: _Points) -> List[List[int]]:
        """The key of each point, as coordToKey(p) for each point in turn: a list of N keys.

        coords: N points, a list or tuple of points or an (N, 2) array of numbers (numpy, memoryview).
        Raises TypeError when coords cannot be read, and what coordToKey raises for the first point it refuses;
        a refused call changes nothing.
        """
    def getSparseRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> Dict[Tuple[int, int], Any]:
        """The payloads of the finest cells that getRange reads for the same corners, as a dict keyed by key tuples; cells without a payload are left out.

        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell2 holds no tree.
        """
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int, int], Any]]:
        """An iterator over (key tuple, payload) for each node of level that holds a payload, in walk order.

        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when level is not an integer from 0, pyglue.ValueError when this Zell2 holds no tree;
        the iterator raises RuntimeError once the tree has changed shape.
        """
    def nodeCount(self) -> int:
        """How many nodes the tree has.

        Raises pyglue.ValueError when this Zell2 holds no tree.
        """
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own.

        Raises pyglue.ValueError when this Zell2 holds no tree.
        """
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, bottom up; returns how many nodes went.

        Climbers made before a prune that removed nodes refuse from then on, except those on the root.
        Raises pyglue.ValueError while the tree is being saved, copied or read, or when this Zell2 holds no
        tree.
        """
    def __reduce__(self) -> Tuple[Callable[[float], Zell2], Tuple[float], bytes]:
        """What pickle rebuilds the tree from: newZell2(1.0), then __setstate__ with serialize()'s bytes.

        Raises as serialize.
        """
    def __setstate__(self, state: Union[bytes, str]) -> None:
        """Makes this tree the one saved in state, as deserialize does; pickle calls it.

        state: what serialize() returned, bytes, or text holding only characters below 256 (Python 2 pickles).
        Raises as deserialize, and pyglue.ValueError when state holds no tree while climbers or iterators
        still use this one.
        """
    def __copy__(self) -> Zell2:
        """A new tree with nodes of its own that hold the very same payload objects."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> Zell2:
        """A new tree whose payloads are deep copies, made through copy.deepcopy with memo.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises the error a payload's copying raised, as the pyglue kind it maps to.
        """

@final
class Zell2Climber:
    """A cursor on one node of a Zell2."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node the climber stands on, 0 for a finest cell.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def dimensions(self) -> int:
        """2, the number of axes."""
    def size(self) -> float:
        """The edge of the node's cube.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr of the node, which must have its children.

        childNr: 0 .. 3; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.IndexDefect when the node has no children,
        pyglue.AssertionDefect when childNr is outside 0 .. 3, pyglue.ValueError as level() does.
        """
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its 4 children if it has none, then moves to child childNr.

        childNr: 0 .. 3; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.AssertionDefect when it is outside 0 .. 3,
        pyglue.ValueError as level() does.
        """
    def climbClone(self, childNr: SupportsIndex) -> Zell2Climber:
        """A new climber on child childNr of the node, which must have its children; this one stays.

        childNr: 0 .. 3; bit i set takes the upper half on axis i.
        Raises as climb.
        """
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell2Climber:
        """As climbClone, giving the node its 4 children first if it has none.

        childNr: 0 .. 3; bit i set takes the upper half on axis i.
        Raises as creativeClimb.
        """
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None.

        Raises pyglue.ValueError as level() does.
        """
    def setData(self, data: Any) -> None:
        """Stores data itself, not a copy, as the node's payload.

        data: any object, None included.
        Raises pyglue.ValueError as level() does.
        """
    def extractData(self) -> Any:
        """Removes the node's payload and returns it; the node stays.

        Raises pyglue.ZellExceptionNoneNode when the node holds no payload, pyglue.ValueError as level() does.
        """
    def hasData(self) -> bool:
        """Whether the node holds a payload of its own.

        Raises pyglue.ValueError as level() does.
        """
    def hasChildren(self) -> bool:
        """Whether the node has its children.

        Raises pyglue.ValueError as level() does.
        """
    def __reduce__(self) -> NoReturn:
        """Refuses: a climber belongs to its tree and cannot travel alone; send or copy the tree.

        Raises TypeError, always.
        """
    def __copy__(self) -> Zell2Climber:
        """Another climber on the same node of the same tree."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> NoReturn:
        """Refuses, as __reduce__ does: a climber cannot be deep-copied apart from its tree.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises TypeError, always.
        """

@final
class Zell3:
    """An octree (D = 3)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell3... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube, as a list of floats, one per axis.

        Raises pyglue.ValueError when this Zell3 holds no tree.
        """
    def minNodeSize(self) -> float:
        """The edge of the finest cells.

        Raises pyglue.ValueError when this Zell3 holds no tree.
        """
    def depth(self) -> int:
        """The level of the root: 0 for a new tree, one more for each growth.

        Raises pyglue.ValueError when this Zell3 holds no tree.
        """
    def getClimber(self) -> Zell3Climber:
        """A new climber on the root.

        Raises pyglue.ValueError when this Zell3 holds no tree.
        """
    def dimensions(self) -> int:
        """3, the number of axes."""
    def size(self) -> float:
        """The edge of the root's cube.

        Raises pyglue.ValueError when this Zell3 holds no tree.
        """
    def coordToKey(self, coord: _Coord) -> List[int]:
        """The key of the finest cell holding coord, as a list of ints, one per axis; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        Raises TypeError when coord is not one number per axis, pyglue.ValueError when a coordinate is
        infinite, the point lies too far away for the tree to grow to it or this Zell3 holds no tree.
        """
    def keyToCoord(self, key: _Key) -> List[float]:
        """The minimum corner of the finest cell with this key, as a list of floats, one per axis; never grows the tree.

        key: a list or tuple of one integer per axis, each from 0 to 2**64 - 1.
        Raises TypeError when key is not such integers, pyglue.ValueError when this Zell3 holds no tree.
        """
    def getNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell3Climber:
        """As getNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as getNodeByCoord.
        """
    def getNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell3Climber:
        """A climber on the node holding coord at level, or on the deepest existing node above it; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell3 holds no tree.
        """
    def createNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell3Climber:
        """As createNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as createNodeByCoord.
        """
    def createNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell3Climber:
        """A climber on the node holding coord at level, creating the missing nodes on the way, each with its 7 siblings; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell3 holds no tree.
        """
    def getRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> List[List[List[Any]]]:
        """The payloads of the finest cells between the corners' cells, as lists nested 3 deep, outermost over axis 0.

        Grows the tree to both corners. A cell without a payload of its own reads as the default; payloads on
        coarser nodes are not read.
        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell3 holds no tree, pyglue.UnpackDefect when the tree has no default,
        pyglue.RangeDefect when the corners are the wrong way round, pyglue.OutOfMemDefect when the window
        cannot fit in memory.
        """
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack byte string.

        A Zell3 that holds no tree saves as one byte, the MessagePack nil.
        Raises pyglue.ValueError when a payload holds the tree itself, and the error a payload's pickling
        raised as the pyglue kind it maps to.
        """
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the one saved in serialized; a load that fails leaves the tree as it was.

        serialized: what serialize() returned, bytes (Python 2: str).
        Raises TypeError when serialized is not bytes; pyglue.ValueError, pyglue.IOError, pyglue.IndexDefect or
        pyglue.ObjectConversionDefect when it holds no saved Zell3; and the error a payload's unpickling raised
        as the pyglue kind it maps to.
        """
    def setDataByCoords(self, coords: _Points, data: _Payloads, level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, creating missing nodes, in order: createNodeByCoord(p, level).setData(v) for each pair.

        coords: N points, a list or tuple of points or an (N, 3) array of numbers (numpy, memoryview).
        data: N payloads, a list, tuple or any sequence with len() and indexing.
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read or data does not match coords one for one, and what
        createNodeByCoord raises for the first point it refuses; a refused call changes nothing.
        """
    def getDataByCoords(self, coords: _Points, level: _Int = ...) -> List[Any]:
        """The payload of the node each point reaches, as getNodeByCoord(p, level).getData() for each point: a list of N.

        coords: N points, a list or tuple of points or an (N, 3) array of numbers (numpy, memoryview).
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read, and what getNodeByCoord raises for the first point it
        refuses; a refused call changes nothing.
        """
    def coordsToKeys(self, coords: _Points) -> List[List[int]]:
        """The key of each point, as coordToKey(p) for each point in turn: a list of N keys.

        coords: N points, a list or tuple of points or an (N, 3) array of numbers (numpy, memoryview).
        Raises TypeError when coords cannot be read, and what coordToKey raises for the first point it refuses;
        a refused call changes nothing.
        """
    def getSparseRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> Dict[Tuple[int, int, int], Any]:
        """The payloads of the finest cells that getRange reads for the same corners, as a dict keyed by key tuples; cells without a payload are left out.

        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell3 holds no tree.
        """
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int, int, int], Any]]:
        """An iterator over (key tuple, payload) for each node of level that holds a payload, in walk order.

        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when level is not an integer from 0, pyglue.ValueError when this Zell3 holds no tree;
        the iterator raises RuntimeError once the tree has changed shape.
        """
    def nodeCount(self) -> int:
        """How many nodes the tree has.

        Raises pyglue.ValueError when this Zell3 holds no tree.
        """
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own.

        Raises pyglue.ValueError when this Zell3 holds no tree.
        """
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, bottom up; returns how many nodes went.

        Climbers made before a prune that removed nodes refuse from then on, except those on the root.
        Raises pyglue.ValueError while the tree is being saved, copied or read, or when this Zell3 holds no
        tree.
        """
    def __reduce__(self) -> Tuple[Callable[[float], Zell3], Tuple[float], bytes]:
        """What pickle rebuilds the tree from: newZell3(1.0), then __setstate__ with serialize()'s bytes.

        Raises as serialize.
        """
    def __setstate__(self, state: Union[bytes, str]) -> None:
        """Makes this tree the one saved in state, as deserialize does; pickle calls it.

        state: what serialize() returned, bytes, or text holding only characters below 256 (Python 2 pickles).
        Raises as deserialize, and pyglue.ValueError when state holds no tree while climbers or iterators
        still use this one.
        """
    def __copy__(self) -> Zell3:
        """A new tree with nodes of its own that hold the very same payload objects."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> Zell3:
        """A new tree whose payloads are deep copies, made through copy.deepcopy with memo.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises the error a payload's copying raised, as the pyglue kind it maps to.
        """

@final
class Zell3Climber:
    """A cursor on one node of a Zell3."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node the climber stands on, 0 for a finest cell.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def dimensions(self) -> int:
        """3, the number of axes."""
    def size(self) -> float:
        """The edge of the node's cube.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr of the node, which must have its children.

        childNr: 0 .. 7; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.IndexDefect when the node has no children,
        pyglue.AssertionDefect when childNr is outside 0 .. 7, pyglue.ValueError as level() does.
        """
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its 8 children if it has none, then moves to child childNr.

        childNr: 0 .. 7; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.AssertionDefect when it is outside 0 .. 7,
        pyglue.ValueError as level() does.
        """
    def climbClone(self, childNr: SupportsIndex) -> Zell3Climber:
        """A new climber on child childNr of the node, which must have its children; this one stays.

        childNr: 0 .. 7; bit i set takes the upper half on axis i.
        Raises as climb.
        """
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell3Climber:
        """As climbClone, giving the node its 8 children first if it has none.

        childNr: 0 .. 7; bit i set takes the upper half on axis i.
        Raises as creativeClimb.
        """
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None.

        Raises pyglue.ValueError as level() does.
        """
    def setData(self, data: Any) -> None:
        """Stores data itself, not a copy, as the node's payload.

        data: any object, None included.
        Raises pyglue.ValueError as level() does.
        """
    def extractData(self) -> Any:
        """Removes the node's payload and returns it; the node stays.

        Raises pyglue.ZellExceptionNoneNode when the node holds no payload, pyglue.ValueError as level() does.
        """
    def hasData(self) -> bool:
        """Whether the node holds a payload of its own.

        Raises pyglue.ValueError as level() does.
        """
    def hasChildren(self) -> bool:
        """Whether the node has its children.

        Raises pyglue.ValueError as level() does.
        """
    def __reduce__(self) -> NoReturn:
        """Refuses: a climber belongs to its tree and cannot travel alone; send or copy the tree.

        Raises TypeError, always.
        """
    def __copy__(self) -> Zell3Climber:
        """Another climber on the same node of the same tree."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> NoReturn:
        """Refuses, as __reduce__ does: a climber cannot be deep-copied apart from its tree.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises TypeError, always.
        """

@final
class Zell4:
    """A sixteen-way tree (D = 4)."""
    def __init__(self) -> None:
        """Holds no tree until deserialize gives it one; trees come from the newZell4... functions."""
    def anchor(self) -> List[float]:
        """The minimum corner of the root's cube, as a list of floats, one per axis.

        Raises pyglue.ValueError when this Zell4 holds no tree.
        """
    def minNodeSize(self) -> float:
        """The edge of the finest cells.

        Raises pyglue.ValueError when this Zell4 holds no tree.
        """
    def depth(self) -> int:
        """The level of the root: 0 for a new tree, one more for each growth.

        Raises pyglue.ValueError when this Zell4 holds no tree.
        """
    def getClimber(self) -> Zell4Climber:
        """A new climber on the root.

        Raises pyglue.ValueError when this Zell4 holds no tree.
        """
    def dimensions(self) -> int:
        """4, the number of axes."""
    def size(self) -> float:
        """The edge of the root's cube.

        Raises pyglue.ValueError when this Zell4 holds no tree.
        """
    def coordToKey(self, coord: _Coord) -> List[int]:
        """The key of the finest cell holding coord, as a list of ints, one per axis; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        Raises TypeError when coord is not one number per axis, pyglue.ValueError when a coordinate is
        infinite, the point lies too far away for the tree to grow to it or this Zell4 holds no tree.
        """
    def keyToCoord(self, key: _Key) -> List[float]:
        """The minimum corner of the finest cell with this key, as a list of floats, one per axis; never grows the tree.

        key: a list or tuple of one integer per axis, each from 0 to 2**64 - 1.
        Raises TypeError when key is not such integers, pyglue.ValueError when this Zell4 holds no tree.
        """
    def getNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell4Climber:
        """As getNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as getNodeByCoord.
        """
    def getNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell4Climber:
        """A climber on the node holding coord at level, or on the deepest existing node above it; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell4 holds no tree.
        """
    def createNodeByKey(self, key: _Coord, level: _Int = ...) -> Zell4Climber:
        """As createNodeByCoord, with the key's numbers read as the coordinates of a point.

        key: a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises as createNodeByCoord.
        """
    def createNodeByCoord(self, coord: _Coord, level: _Int = ...) -> Zell4Climber:
        """A climber on the node holding coord at level, creating the missing nodes on the way, each with its 15 siblings; grows the tree to the point.

        coord: the point, a list or tuple of one number per axis.
        level: the level of the node, 0 for the finest cells; a level above the root gives the root.
        Raises TypeError when coord is not one number per axis or level is not an integer from 0,
        pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it
        or this Zell4 holds no tree.
        """
    def getRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> List[List[List[List[Any]]]]:
        """The payloads of the finest cells between the corners' cells, as lists nested 4 deep, outermost over axis 0.

        Grows the tree to both corners. A cell without a payload of its own reads as the default; payloads on
        coarser nodes are not read.
        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell4 holds no tree, pyglue.UnpackDefect when the tree has no default,
        pyglue.RangeDefect when the corners are the wrong way round, pyglue.OutOfMemDefect when the window
        cannot fit in memory.
        """
    def serialize(self) -> bytes:
        """The whole tree, payloads pickled, as one MessagePack byte string.

        A Zell4 that holds no tree saves as one byte, the MessagePack nil.
        Raises pyglue.ValueError when a payload holds the tree itself, and the error a payload's pickling
        raised as the pyglue kind it maps to.
        """
    def deserialize(self, serialized: bytes) -> None:
        """Makes this tree the one saved in serialized; a load that fails leaves the tree as it was.

        serialized: what serialize() returned, bytes (Python 2: str).
        Raises TypeError when serialized is not bytes; pyglue.ValueError, pyglue.IOError, pyglue.IndexDefect or
        pyglue.ObjectConversionDefect when it holds no saved Zell4; and the error a payload's unpickling raised
        as the pyglue kind it maps to.
        """
    def setDataByCoords(self, coords: _Points, data: _Payloads, level: _Int = ...) -> None:
        """Stores data[i] on the node of coords[i] at level, creating missing nodes, in order: createNodeByCoord(p, level).setData(v) for each pair.

        coords: N points, a list or tuple of points or an (N, 4) array of numbers (numpy, memoryview).
        data: N payloads, a list, tuple or any sequence with len() and indexing.
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read or data does not match coords one for one, and what
        createNodeByCoord raises for the first point it refuses; a refused call changes nothing.
        """
    def getDataByCoords(self, coords: _Points, level: _Int = ...) -> List[Any]:
        """The payload of the node each point reaches, as getNodeByCoord(p, level).getData() for each point: a list of N.

        coords: N points, a list or tuple of points or an (N, 4) array of numbers (numpy, memoryview).
        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when an argument cannot be read, and what getNodeByCoord raises for the first point it
        refuses; a refused call changes nothing.
        """
    def coordsToKeys(self, coords: _Points) -> List[List[int]]:
        """The key of each point, as coordToKey(p) for each point in turn: a list of N keys.

        coords: N points, a list or tuple of points or an (N, 4) array of numbers (numpy, memoryview).
        Raises TypeError when coords cannot be read, and what coordToKey raises for the first point it refuses;
        a refused call changes nothing.
        """
    def getSparseRange(self, minCornerCoords: _Coord, maxCornerCoords: _Coord) -> Dict[Tuple[int, int, int, int], Any]:
        """The payloads of the finest cells that getRange reads for the same corners, as a dict keyed by key tuples; cells without a payload are left out.

        minCornerCoords: the point whose cell comes first on every axis, one number per axis.
        maxCornerCoords: the point whose cell comes last on every axis, one number per axis.
        Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or
        too far away or this Zell4 holds no tree.
        """
    def items(self, level: _Int = ...) -> Iterator[Tuple[Tuple[int, int, int, int], Any]]:
        """An iterator over (key tuple, payload) for each node of level that holds a payload, in walk order.

        level: the level of the nodes, 0 for the finest cells.
        Raises TypeError when level is not an integer from 0, pyglue.ValueError when this Zell4 holds no tree;
        the iterator raises RuntimeError once the tree has changed shape.
        """
    def nodeCount(self) -> int:
        """How many nodes the tree has.

        Raises pyglue.ValueError when this Zell4 holds no tree.
        """
    def dataCount(self) -> int:
        """How many nodes hold a payload of their own.

        Raises pyglue.ValueError when this Zell4 holds no tree.
        """
    def prune(self) -> int:
        """Removes every child set whose nodes hold nothing and have no children, bottom up; returns how many nodes went.

        Climbers made before a prune that removed nodes refuse from then on, except those on the root.
        Raises pyglue.ValueError while the tree is being saved, copied or read, or when this Zell4 holds no
        tree.
        """
    def __reduce__(self) -> Tuple[Callable[[float], Zell4], Tuple[float], bytes]:
        """What pickle rebuilds the tree from: newZell4(1.0), then __setstate__ with serialize()'s bytes.

        Raises as serialize.
        """
    def __setstate__(self, state: Union[bytes, str]) -> None:
        """Makes this tree the one saved in state, as deserialize does; pickle calls it.

        state: what serialize() returned, bytes, or text holding only characters below 256 (Python 2 pickles).
        Raises as deserialize, and pyglue.ValueError when state holds no tree while climbers or iterators
        still use this one.
        """
    def __copy__(self) -> Zell4:
        """A new tree with nodes of its own that hold the very same payload objects."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> Zell4:
        """A new tree whose payloads are deep copies, made through copy.deepcopy with memo.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises the error a payload's copying raised, as the pyglue kind it maps to.
        """

@final
class Zell4Climber:
    """A cursor on one node of a Zell4."""
    def __init__(self) -> None:
        """Stands on no node, and its methods refuse; climbers come from a tree's methods."""
    def level(self) -> int:
        """The level of the node the climber stands on, 0 for a finest cell.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def dimensions(self) -> int:
        """4, the number of axes."""
    def size(self) -> float:
        """The edge of the node's cube.

        Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it
        stands on no node.
        """
    def climb(self, childNr: SupportsIndex) -> None:
        """Moves to child childNr of the node, which must have its children.

        childNr: 0 .. 15; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.IndexDefect when the node has no children,
        pyglue.AssertionDefect when childNr is outside 0 .. 15, pyglue.ValueError as level() does.
        """
    def creativeClimb(self, childNr: SupportsIndex) -> None:
        """Gives the node its 16 children if it has none, then moves to child childNr.

        childNr: 0 .. 15; bit i set takes the upper half on axis i.
        Raises TypeError when childNr is not an integer, pyglue.AssertionDefect when it is outside 0 .. 15,
        pyglue.ValueError as level() does.
        """
    def climbClone(self, childNr: SupportsIndex) -> Zell4Climber:
        """A new climber on child childNr of the node, which must have its children; this one stays.

        childNr: 0 .. 15; bit i set takes the upper half on axis i.
        Raises as climb.
        """
    def creativeClimbClone(self, childNr: SupportsIndex) -> Zell4Climber:
        """As climbClone, giving the node its 16 children first if it has none.

        childNr: 0 .. 15; bit i set takes the upper half on axis i.
        Raises as creativeClimb.
        """
    def getData(self) -> Any:
        """The node's payload, else the tree's default, else None.

        Raises pyglue.ValueError as level() does.
        """
    def setData(self, data: Any) -> None:
        """Stores data itself, not a copy, as the node's payload.

        data: any object, None included.
        Raises pyglue.ValueError as level() does.
        """
    def extractData(self) -> Any:
        """Removes the node's payload and returns it; the node stays.

        Raises pyglue.ZellExceptionNoneNode when the node holds no payload, pyglue.ValueError as level() does.
        """
    def hasData(self) -> bool:
        """Whether the node holds a payload of its own.

        Raises pyglue.ValueError as level() does.
        """
    def hasChildren(self) -> bool:
        """Whether the node has its children.

        Raises pyglue.ValueError as level() does.
        """
    def __reduce__(self) -> NoReturn:
        """Refuses: a climber belongs to its tree and cannot travel alone; send or copy the tree.

        Raises TypeError, always.
        """
    def __copy__(self) -> Zell4Climber:
        """Another climber on the same node of the same tree."""
    def __deepcopy__(self, memo: Dict[int, Any]) -> NoReturn:
        """Refuses, as __reduce__ does: a climber cannot be deep-copied apart from its tree.

        memo: the dict of copies made so far, as copy.deepcopy passes it.
        Raises TypeError, always.
        """

class PyGlueException(Exception):
    """Base of every error an operation raises; its subclasses are named "pyglue.<kind>"."""
