"""Writes the type stubs of zell_dim_1_2_3_4 (zell_dim_1_2_3_4-stubs/__init__.pyi).

The names, their order and the parameter names come from the module's own
tables (src/python/surface/api.h and module.cpp); the types and the one-line
docs are kept here, by parameter and by method name.

    python stubs/generate.py          # rewrite the stubs
    python stubs/generate.py --check  # exit 1 when they are out of date
"""
from __future__ import print_function

import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SURFACE = os.path.join(os.path.dirname(HERE), "src", "python", "surface")
TARGET = os.path.join(HERE, "zell_dim_1_2_3_4-stubs", "__init__.pyi")

HEADER = '''\
# Type stubs of zell_dim_1_2_3_4, written by stubs/generate.py from the module's tables.
from typing import Any, Dict, Iterator, List, Sequence, SupportsFloat, SupportsIndex, SupportsInt, Tuple, Union

# An integer: int() must take it (keys, levels).
_Int = Union[SupportsInt, SupportsIndex]
# An (N, D) array of numbers: anything that lends its memory through the buffer interface (numpy arrays,
# memoryviews, ctypes arrays). The module needs no numpy, so no array type is named.
_Array = Any
'''

EXCEPTION = '''
class PyGlueException(Exception):
    """Base of every error an operation raises; its subclasses are named "pyglue.<kind>"."""
'''

# The type of every parameter, by keyword name; {coord} and {key} are the
# D-element list or tuple types of the class.
PARAMETERS = {
    "minSize": "SupportsFloat", "anchor": "{coord}", "default": "Any", "coord": "{coord}", "key": "{coord}",
    "level": "_Int", "minCornerCoords": "{coord}", "maxCornerCoords": "{coord}", "serialized": "bytes",
    "childNr": "SupportsIndex", "data": "Any", "coords": "Union[List[{coord}], Tuple[{coord}, ...], _Array]",
}
KEY_TO_COORD = "{key}"  # the only parameter named key that takes integers
SET_DATA_BY_COORDS = "Sequence[Any]"  # data: one payload per point

# Result and one-line doc of every function and method, by name.
FUNCTIONS = {
    "get_all_dimensions": ("List[int]", "The dimensions this module serves: [1, 2, 3, 4]."),
    "newZell": ("Zell{d}", "A tree of one finest cell of edge minSize at the origin, without a default."),
    "newZellA": ("Zell{d}", "A tree of one finest cell of edge minSize at anchor, without a default."),
    "newZellD": ("Zell{d}", "A tree of one finest cell at the origin whose default payload is default."),
    "newZellAD": ("Zell{d}", "A tree of one finest cell at anchor whose default payload is default."),
}
TREE = {
    "anchor": ("List[float]", "The minimum corner of the root's cube."),
    "minNodeSize": ("float", "The edge of the finest cells."),
    "depth": ("int", "The level of the root (0 for a new tree)."),
    "getClimber": ("Zell{d}Climber", "A climber on the root."),
    "dimensions": ("int", "{d}."),
    "size": ("float", "The edge of the root's cube."),
    "coordToKey": ("List[int]", "The key of the finest cell holding coord; grows the tree to it."),
    "keyToCoord": ("List[float]", "The minimum corner of the finest cell with this key; never grows."),
    "getNodeByKey": ("Zell{d}Climber", "As getNodeByCoord, the key read as a point."),
    "getNodeByCoord": ("Zell{d}Climber", "A climber on the node holding coord at level, or on the deepest one above."),
    "createNodeByKey": ("Zell{d}Climber", "As createNodeByCoord, the key read as a point."),
    "createNodeByCoord": ("Zell{d}Climber", "A climber on the node holding coord at level, made if missing."),
    "getRange": ("{grid}", "The finest cells between the two corners, nested {d} deep, outermost over axis 0."),
    "serialize": ("bytes", "The whole tree, payloads pickled, as one MessagePack value."),
    "deserialize": ("None", "Makes this tree the saved one, all or nothing."),
    "setDataByCoords": ("None", "Stores data[i] on the node of coords[i] at level, made if missing, in order."),
    "getDataByCoords": ("List[Any]", "getNodeByCoord(p, level).getData() for every point p of coords."),
    "coordsToKeys": ("List[List[int]]", "coordToKey(p) for every point p of coords, in order."),
    "getSparseRange": ("Dict[{keytuple}, Any]",
                       "The payloads of the finest cells getRange reads, by key tuple; cells without one left out."),
    "items": ("Iterator[Tuple[{keytuple}, Any]]",
              "(key, payload) for every node of level holding a payload, in walk order."),
    "nodeCount": ("int", "How many nodes the tree has."),
    "dataCount": ("int", "How many nodes hold a payload of their own."),
    "prune": ("int", "Removes every child set whose nodes hold nothing and have no children, from the bottom up;"
              " returns how many nodes went. Climbers made before, except on the root, are refused afterwards."),
}
CLIMBER = {
    "level": ("int", "The level of the node it stands on."),
    "dimensions": ("int", "{d}."),
    "size": ("float", "The edge of the node's cube."),
    "climb": ("None", "Moves to child childNr (bit i selects the upper half on axis i)."),
    "creativeClimb": ("None", "Gives the node its children if it has none, then moves to child childNr."),
    "climbClone": ("Zell{d}Climber", "A new climber on child childNr; this one stays."),
    "creativeClimbClone": ("Zell{d}Climber", "As climbClone, giving the node its children first."),
    "getData": ("Any", "The node's payload, else the tree's default, else None."),
    "setData": ("None", "Stores data (itself, not a copy) as the node's payload."),
    "extractData": ("Any", "Removes the node's payload and returns it."),
    "hasData": ("bool", "Whether the node has a payload of its own."),
    "hasChildren": ("bool", "Whether the node has its children."),
}
WHAT = {1: "A two-way tree on a line", 2: "A quad tree", 3: "An octree", 4: "A sixteen-way tree"}
EMPTY = {"TreeMethods": "Holds no tree until deserialize gives it one; trees come from the newZell{d}... functions.",
         "ClimberMethods": "Stands on no node, and its methods refuse; climbers come from a tree's methods."}


def read(name):
    with open(os.path.join(SURFACE, name)) as f:
        return f.read()


def calls(text, function):
    """The argument text of every call of `function` in `text`, parentheses balanced."""
    for start in (m.end() for m in re.finditer(r"\b%s\(" % function, text)):
        depth, end = 1, start
        while depth:
            depth += {"(": 1, ")": -1}.get(text[end], 0)
            end += 1
        yield text[start:end - 1]


def rows(source, table):
    """(name, parameter names) of each row of `table`, in order."""
    body = source[source.index("struct %s {" % table):]
    body = body[:body.index("\n};")]
    names = dict((k, stem + "{d}" + suffix) for k, stem, suffix in
                 re.findall(r'(\w+) = nameWithDigit<D>\("(\w+)", "(\w*)"\)', body))
    found = []
    for call in calls(body, "def"):
        head = re.match(r'\s*(?:"(\w+)"|(\w+)\.text)\s*,', call)
        params = re.search(r'((?:,\s*(?:"\w+"|Optional\{"\w+"\}))*)\s*$', call).group(1)
        found.append((head.group(1) or names[head.group(2)], re.findall(r'"(\w+)"', params)))
    return [row for row in found if not row[0].startswith("_")]  # pickling and copying: no stubs


def signature(params, coord, key, method):
    types = dict((p, PARAMETERS[p].format(coord=coord)) for p in params)
    if method == "keyToCoord":
        types["key"] = KEY_TO_COORD.format(key=key)
    if method == "setDataByCoords":
        types["data"] = SET_DATA_BY_COORDS
    optional = ("level",)
    text = ["self"] if method is not None else []
    text += ["%s: %s%s" % (p, types[p], " = ..." if p in optional else "") for p in params]
    return ", ".join(text)


def stubs():
    """The stubs in the order the module publishes its names."""
    api, module = read("api.h"), read("module.cpp")
    out = [HEADER]
    for name, _ in rows(module, "ModuleFunctions")[:1]:
        out.append('\ndef %s(*args: Any, **kwargs: Any) -> %s:\n    """%s"""\n' % ((name,) + FUNCTIONS[name]))
    types = {}
    for d in (1, 2, 3, 4):
        types[d] = ("Union[List[SupportsFloat], Tuple[%s]]" % ", ".join(["SupportsFloat"] * d),
                    "Union[List[_Int], Tuple[%s]]" % ", ".join(["_Int"] * d), "List[" * d + "Any" + "]" * d,
                    "Tuple[%s]" % ", ".join(["int"] * d))
        for name, params in rows(api, "Constructors"):
            result, doc = FUNCTIONS[name.replace("{d}", "")]
            out.append('\ndef %s(%s) -> %s:\n    """%s"""\n' % (
                name.format(d=d), signature(params, types[d][0], types[d][1], None), result.format(d=d), doc))
    for d in (1, 2, 3, 4):
        coord, key, grid, keytuple = types[d]
        for cls, table, docs in (("Zell{d}", "TreeMethods", TREE), ("Zell{d}Climber", "ClimberMethods", CLIMBER)):
            what = WHAT[d] + " (D = %d)." % d if table == "TreeMethods" else "A cursor on one node of a Zell%d." % d
            out.append('\nclass %s:\n    """%s"""\n' % (cls.format(d=d), what))
            out.append('    def __init__(self) -> None:\n        """%s"""\n' % EMPTY[table].format(d=d))
            for name, params in rows(api, table):
                result, doc = docs[name]
                out.append('    def %s(%s) -> %s:\n        """%s"""\n' % (
                    name, signature(params, coord, key, name), result.format(d=d, grid=grid, keytuple=keytuple),
                    doc.format(d=d)))
    out.append(EXCEPTION)
    return "".join(out)


if __name__ == "__main__":
    text = stubs()
    if "--check" in sys.argv:
        with open(TARGET) as f:
            sys.exit(0 if f.read() == text else "stubs are out of date: run python stubs/generate.py")
    if not os.path.isdir(os.path.dirname(TARGET)):
        os.makedirs(os.path.dirname(TARGET))
    with open(TARGET, "w") as f:
        f.write(text)
