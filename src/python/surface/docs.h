// What help() says of each function and method: one entry per Python name
// of the tables in api.h and module.cpp, with one line on what it does, then
// its parameters and what it raises. The text signature in front is built
// from the row itself (python/calls/docstrings.h), which also says what the
// placeholders {d}, {n} and {last} stand for. stubs/generate.py reads these
// tables for the stubs' doc strings, so write each text as adjacent string
// literals with no escape but \n, \" and \\.
#pragma once

#include "python/calls/docstrings.h"

namespace zell {
namespace py {

// clang-format off
inline constexpr DocText kFunctionDocs[] = {
    {"get_all_dimensions", "The dimensions this module serves: [1, 2, 3, 4].",
     "Any arguments are ignored."},
    {"newZell{d}", "A Zell{d} of one finest cell of edge minSize at the origin, without a default payload.",
     "minSize: the edge of the finest cells, a positive finite number.\n"
     "Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite."},
    {"newZell{d}A", "A Zell{d} of one finest cell of edge minSize at anchor, without a default payload.",
     "minSize: the edge of the finest cells, a positive finite number.\n"
     "anchor: the minimum corner of that cell, a list or tuple of one number per axis.\n"
     "Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive\n"
     "and finite or the anchor is not finite."},
    {"newZell{d}D", "A Zell{d} of one finest cell of edge minSize at the origin, with a default payload.",
     "minSize: the edge of the finest cells, a positive finite number.\n"
     "default: what a node without a payload reads as; any object, None included.\n"
     "Raises TypeError when minSize is not a number, pyglue.ValueError when it is not positive and finite."},
    {"newZell{d}AD", "A Zell{d} of one finest cell of edge minSize at anchor, with a default payload.",
     "minSize: the edge of the finest cells, a positive finite number.\n"
     "anchor: the minimum corner of that cell, a list or tuple of one number per axis.\n"
     "default: what a node without a payload reads as; any object, None included.\n"
     "Raises TypeError when an argument is not of its kind, pyglue.ValueError when minSize is not positive\n"
     "and finite or the anchor is not finite."},
    {"_glue_error", "Rebuilds an error of this module that was pickled; pickle calls it.",
     "kind: the kind the error's class is named after, pyglue.<kind>.\n"
     "args: the error's arguments."},
};

inline constexpr DocText kTreeDocs[] = {
    {"anchor", "The minimum corner of the root's cube, as a list of floats, one per axis.",
     "Raises pyglue.ValueError when this Zell{d} holds no tree."},
    {"minNodeSize", "The edge of the finest cells.",
     "Raises pyglue.ValueError when this Zell{d} holds no tree."},
    {"depth", "The level of the root: 0 for a new tree, one more for each growth.",
     "Raises pyglue.ValueError when this Zell{d} holds no tree."},
    {"getClimber", "A new climber on the root.",
     "Raises pyglue.ValueError when this Zell{d} holds no tree."},
    {"dimensions", "{d}, the number of axes.",
     ""},
    {"size", "The edge of the root's cube.",
     "Raises pyglue.ValueError when this Zell{d} holds no tree."},
    {"coordToKey", "The key of the finest cell holding coord, as a list of ints, one per axis; grows the tree to "
                   "the point.",
     "coord: the point, a list or tuple of one number per axis.\n"
     "Raises TypeError when coord is not one number per axis, pyglue.ValueError when a coordinate is\n"
     "infinite, the point lies too far away for the tree to grow to it or this Zell{d} holds no tree."},
    {"keyToCoord", "The minimum corner of the finest cell with this key, as a list of floats, one per axis; never "
                   "grows the tree.",
     "key: a list or tuple of one integer per axis, each from 0 to 2**64 - 1.\n"
     "Raises TypeError when key is not such integers, pyglue.ValueError when this Zell{d} holds no tree."},
    {"getNodeByKey", "As getNodeByCoord, with the key's numbers read as the coordinates of a point.",
     "key: a list or tuple of one number per axis.\n"
     "level: the level of the node, 0 for the finest cells; a level above the root gives the root.\n"
     "Raises as getNodeByCoord."},
    {"getNodeByCoord", "A climber on the node holding coord at level, or on the deepest existing node above it; grows "
                       "the tree to the point.",
     "coord: the point, a list or tuple of one number per axis.\n"
     "level: the level of the node, 0 for the finest cells; a level above the root gives the root.\n"
     "Raises TypeError when coord is not one number per axis or level is not an integer from 0,\n"
     "pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it\n"
     "or this Zell{d} holds no tree."},
    {"createNodeByKey", "As createNodeByCoord, with the key's numbers read as the coordinates of a point.",
     "key: a list or tuple of one number per axis.\n"
     "level: the level of the node, 0 for the finest cells; a level above the root gives the root.\n"
     "Raises as createNodeByCoord."},
    {"createNodeByCoord", "A climber on the node holding coord at level, creating the missing nodes on the way, each "
                          "with its {last} siblings; grows the tree to the point.",
     "coord: the point, a list or tuple of one number per axis.\n"
     "level: the level of the node, 0 for the finest cells; a level above the root gives the root.\n"
     "Raises TypeError when coord is not one number per axis or level is not an integer from 0,\n"
     "pyglue.ValueError when a coordinate is infinite, the point lies too far away for the tree to grow to it\n"
     "or this Zell{d} holds no tree."},
    {"getRange", "The payloads of the finest cells between the corners' cells, as lists nested {d} deep, outermost "
                 "over axis 0.",
     "Grows the tree to both corners. A cell without a payload of its own reads as the default; payloads on\n"
     "coarser nodes are not read.\n"
     "minCornerCoords: the point whose cell comes first on every axis, one number per axis.\n"
     "maxCornerCoords: the point whose cell comes last on every axis, one number per axis.\n"
     "Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or\n"
     "too far away or this Zell{d} holds no tree, pyglue.UnpackDefect when the tree has no default,\n"
     "pyglue.RangeDefect when the corners are the wrong way round, pyglue.OutOfMemDefect when the window\n"
     "cannot fit in memory."},
    {"serialize", "The whole tree, payloads pickled, as one MessagePack byte string.",
     "A Zell{d} that holds no tree saves as one byte, the MessagePack nil.\n"
     "Raises pyglue.ValueError when a payload holds the tree itself, and the error a payload's pickling\n"
     "raised as the pyglue kind it maps to."},
    {"deserialize", "Makes this tree the one saved in serialized; a load that fails leaves the tree as it was.",
     "serialized: what serialize() returned, bytes (Python 2: str).\n"
     "Raises TypeError when serialized is not bytes; pyglue.ValueError, pyglue.IOError, pyglue.IndexDefect or\n"
     "pyglue.ObjectConversionDefect when it holds no saved Zell{d}; and the error a payload's unpickling raised\n"
     "as the pyglue kind it maps to."},
    {"setDataByCoords", "Stores data[i] on the node of coords[i] at level, creating missing nodes, in order: "
                        "createNodeByCoord(p, level).setData(v) for each pair.",
     "coords: N points, a list or tuple of points or an (N, {d}) array of numbers (numpy, memoryview).\n"
     "data: N payloads, a list, tuple or any sequence with len() and indexing.\n"
     "level: the level of the nodes, 0 for the finest cells.\n"
     "Raises TypeError when an argument cannot be read or data does not match coords one for one, and what\n"
     "createNodeByCoord raises for the first point it refuses; a refused call changes nothing."},
    {"getDataByCoords", "The payload of the node each point reaches, as getNodeByCoord(p, level).getData() for each "
                        "point: a list of N.",
     "coords: N points, a list or tuple of points or an (N, {d}) array of numbers (numpy, memoryview).\n"
     "level: the level of the nodes, 0 for the finest cells.\n"
     "Raises TypeError when an argument cannot be read, and what getNodeByCoord raises for the first point it\n"
     "refuses; a refused call changes nothing."},
    {"coordsToKeys", "The key of each point, as coordToKey(p) for each point in turn: a list of N keys.",
     "coords: N points, a list or tuple of points or an (N, {d}) array of numbers (numpy, memoryview).\n"
     "Raises TypeError when coords cannot be read, and what coordToKey raises for the first point it refuses;\n"
     "a refused call changes nothing."},
    {"getSparseRange", "The payloads of the finest cells that getRange reads for the same corners, as a dict keyed "
                       "by key tuples; cells without a payload are left out.",
     "minCornerCoords: the point whose cell comes first on every axis, one number per axis.\n"
     "maxCornerCoords: the point whose cell comes last on every axis, one number per axis.\n"
     "Raises TypeError when a corner is not one number per axis, pyglue.ValueError when a corner is NaN or\n"
     "too far away or this Zell{d} holds no tree."},
    {"items", "An iterator over (key tuple, payload) for each node of level that holds a payload, in walk order.",
     "level: the level of the nodes, 0 for the finest cells.\n"
     "Raises TypeError when level is not an integer from 0, pyglue.ValueError when this Zell{d} holds no tree;\n"
     "the iterator raises RuntimeError once the tree has changed shape."},
    {"nodeCount", "How many nodes the tree has.",
     "Raises pyglue.ValueError when this Zell{d} holds no tree."},
    {"dataCount", "How many nodes hold a payload of their own.",
     "Raises pyglue.ValueError when this Zell{d} holds no tree."},
    {"prune", "Removes every child set whose nodes hold nothing and have no children, bottom up; returns how many "
              "nodes went.",
     "Climbers made before a prune that removed nodes refuse from then on, except those on the root.\n"
     "Raises pyglue.ValueError while the tree is being saved, copied or read, or when this Zell{d} holds no\n"
     "tree."},
    {"__reduce__", "What pickle rebuilds the tree from: newZell{d}(1.0), then __setstate__ with serialize()'s bytes.",
     "Raises as serialize."},
    {"__setstate__", "Makes this tree the one saved in state, as deserialize does; pickle calls it.",
     "state: what serialize() returned, bytes, or text holding only characters below 256 (Python 2 pickles).\n"
     "Raises as deserialize, and pyglue.ValueError when state holds no tree while climbers or iterators\n"
     "still use this one."},
    {"__copy__", "A new tree with nodes of its own that hold the very same payload objects.",
     ""},
    {"__deepcopy__", "A new tree whose payloads are deep copies, made through copy.deepcopy with memo.",
     "memo: the dict of copies made so far, as copy.deepcopy passes it.\n"
     "Raises the error a payload's copying raised, as the pyglue kind it maps to."},
};

inline constexpr DocText kClimberDocs[] = {
    {"level", "The level of the node the climber stands on, 0 for a finest cell.",
     "Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it\n"
     "stands on no node."},
    {"dimensions", "{d}, the number of axes.",
     ""},
    {"size", "The edge of the node's cube.",
     "Raises pyglue.ValueError when the climber's node was replaced by a load or removed by a prune, or it\n"
     "stands on no node."},
    {"climb", "Moves to child childNr of the node, which must have its children.",
     "childNr: 0 .. {last}; bit i set takes the upper half on axis i.\n"
     "Raises TypeError when childNr is not an integer, pyglue.IndexDefect when the node has no children,\n"
     "pyglue.AssertionDefect when childNr is outside 0 .. {last}, pyglue.ValueError as level() does."},
    {"creativeClimb", "Gives the node its {n} children if it has none, then moves to child childNr.",
     "childNr: 0 .. {last}; bit i set takes the upper half on axis i.\n"
     "Raises TypeError when childNr is not an integer, pyglue.AssertionDefect when it is outside 0 .. {last},\n"
     "pyglue.ValueError as level() does."},
    {"climbClone", "A new climber on child childNr of the node, which must have its children; this one stays.",
     "childNr: 0 .. {last}; bit i set takes the upper half on axis i.\n"
     "Raises as climb."},
    {"creativeClimbClone", "As climbClone, giving the node its {n} children first if it has none.",
     "childNr: 0 .. {last}; bit i set takes the upper half on axis i.\n"
     "Raises as creativeClimb."},
    {"getData", "The node's payload, else the tree's default, else None.",
     "Raises pyglue.ValueError as level() does."},
    {"setData", "Stores data itself, not a copy, as the node's payload.",
     "data: any object, None included.\n"
     "Raises pyglue.ValueError as level() does."},
    {"extractData", "Removes the node's payload and returns it; the node stays.",
     "Raises pyglue.ZellExceptionNoneNode when the node holds no payload, pyglue.ValueError as level() does."},
    {"hasData", "Whether the node holds a payload of its own.",
     "Raises pyglue.ValueError as level() does."},
    {"hasChildren", "Whether the node has its children.",
     "Raises pyglue.ValueError as level() does."},
    {"__reduce__", "Refuses: a climber belongs to its tree and cannot travel alone; send or copy the tree.",
     "Raises TypeError, always."},
    {"__copy__", "Another climber on the same node of the same tree.",
     ""},
    {"__deepcopy__", "Refuses, as __reduce__ does: a climber cannot be deep-copied apart from its tree.",
     "memo: the dict of copies made so far, as copy.deepcopy passes it.\n"
     "Raises TypeError, always."},
};
// clang-format on

}  // namespace py
}  // namespace zell
