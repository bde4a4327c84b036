"""Writes the type stubs of zell_dim_1_2_3_4 (zell_dim_1_2_3_4-stubs/__init__.pyi).

The names, their order and the parameter names come from the module's own
tables (src/python/surface/api.h and module.cpp), the doc strings from the
tables of doc texts the module's own doc strings are built from
(src/python/surface/docs.h); the types are kept here, by parameter and by
method name.

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
'''

EXCEPTION = '''
class PyGlueException(Exception):
    """Base of every error an operation raises; its subclasses are named "pyglue.<kind>"."""
'''

# The type of every parameter, by keyword name.
PARAMETERS = {
    "minSize": "SupportsFloat", "anchor": "_Coord", "default": "Any", "coord": "_Coord", "key": "_Coord",
    "level": "_Int", "minCornerCoords": "_Coord", "maxCornerCoords": "_Coord", "serialized": "bytes",
    "childNr": "SupportsIndex", "data": "Any", "coords": "_Points", "state": "Union[bytes, str]",
    "memo": "Dict[int, Any]",
}
# Parameters whose type differs by method: (method, parameter) -> type.
EXCEPTIONS = {("keyToCoord", "key"): "_Key", ("setDataByCoords", "data"): "_Payloads"}

# The result of every function and method, by name; {d} is the dimension,
# {grid} the nested lists of a window, {keytuple} a key as a tuple.
FUNCTIONS = {
    "get_all_dimensions": "List[int]", "newZell{d}": "Zell{d}", "newZell{d}A": "Zell{d}",
    "newZell{d}D": "Zell{d}", "newZell{d}AD": "Zell{d}",
}
TREE = {
    "anchor": "List[float]", "minNodeSize": "float", "depth": "int", "getClimber": "Zell{d}Climber",
    "dimensions": "int", "size": "float", "coordToKey": "List[int]", "keyToCoord": "List[float]",
    "getNodeByKey": "Zell{d}Climber", "getNodeByCoord": "Zell{d}Climber", "createNodeByKey": "Zell{d}Climber",
    "createNodeByCoord": "Zell{d}Climber", "getRange": "{grid}", "serialize": "bytes", "deserialize": "None",
    "setDataByCoords": "None", "getDataByCoords": "List[Any]", "coordsToKeys": "List[List[int]]",
    "getSparseRange": "Dict[{keytuple}, Any]", "items": "Iterator[Tuple[{keytuple}, Any]]", "nodeCount": "int",
    "dataCount": "int", "prune": "int", "__reduce__": "Tuple[Callable[[float], Zell{d}], Tuple[float], bytes]",
    "__setstate__": "None", "__copy__": "Zell{d}", "__deepcopy__": "Zell{d}",
}
CLIMBER = {
    "level": "int", "dimensions": "int", "size": "float", "climb": "None", "creativeClimb": "None",
    "climbClone": "Zell{d}Climber", "creativeClimbClone": "Zell{d}Climber", "getData": "Any", "setData": "None",
    "extractData": "Any", "hasData": "bool", "hasChildren": "bool", "__reduce__": "NoReturn",
    "__copy__": "Zell{d}Climber", "__deepcopy__": "NoReturn",
}
WHAT = {1: "A two-way tree on a line", 2: "A quad tree", 3: "An octree", 4: "A sixteen-way tree"}
EMPTY = {"TreeMethods": "Holds no tree until deserialize gives it one; trees come from the newZell{d}... functions.",
         "ClimberMethods": "Stands on no node, and its methods refuse; climbers come from a tree's methods."}
OPTIONAL_DEFAULT = " = ..."  # the native default shows in the module's own text signatures


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
    """(name, parameter names, optional parameter names) of each row of `table`, in order."""
    body = source[source.index("struct %s {" % table):]
    body = body[:body.index("\n};")]
    names = dict((k, stem + "{d}" + suffix) for k, stem, suffix in
                 re.findall(r'(\w+) = nameWithDigit<D>\("(\w+)", "(\w*)"\)', body))
    found = []
    for call in calls(body, "def"):
        head = re.match(r'\s*(?:"(\w+)"|(\w+)\.text)\s*,', call)
        params = re.search(r'((?:,\s*(?:"\w+"|Optional\{"\w+"\}))*)\s*$', call).group(1)
        found.append((head.group(1) or names[head.group(2)], re.findall(r'"(\w+)"', params),
                      re.findall(r'Optional\{"(\w+)"\}', params)))
    return found


# The tokens of a table of doc texts: string literals, braces and commas.
TOKEN = re.compile(r'\s+|//[^\n]*|"((?:[^"\\\n]|\\.)*)"|([{},])|(\S)')
ESCAPES = {"n": "\n", '"': '"', "\\": "\\"}


def doc_texts(source, table):
    """{name: (summary, details)} of the table of doc texts `table`, in order."""
    start = source.index("DocText %s[] = {" % table) + len("DocText %s[] = {" % table)
    texts, fields = {}, None
    for string, mark, other in (m.groups() for m in TOKEN.finditer(source, start)):
        if other:
            raise SystemExit("%s: unexpected %r in the doc texts" % (table, other))
        if string is not None:
            fields[-1] += re.sub(r"\\(.)", lambda m: ESCAPES[m.group(1)], string)
        elif mark == "{":
            fields = [""]
        elif mark == "," and fields is not None:
            fields.append("")
        elif mark == "}":
            if fields is None:
                return texts
            name, summary, details = fields
            texts[name] = (summary, details)
            fields = None
    raise SystemExit("%s: no end" % table)


def filled(text, d):
    return text.replace("{d}", str(d)).replace("{n}", str(2 ** d)).replace("{last}", str(2 ** d - 1))


def docstring(texts, name, d, indent):
    """The doc string the module gives `name` after its text signature, as a stub writes it."""
    summary, details = (filled(text, d) for text in texts[name])
    lines = (summary + ("\n\n" + details if details else "")).split("\n")
    if len(lines) == 1:
        return '%s"""%s"""\n' % (indent, summary)
    rest = "".join(indent + line + "\n" if line else "\n" for line in lines[1:])
    return '%s"""%s\n%s%s"""\n' % (indent, lines[0], rest, indent)


def signature(name, params, optional, method):
    text = ["self"] if method else []
    text += ["%s: %s%s" % (p, EXCEPTIONS.get((name, p), PARAMETERS[p]), OPTIONAL_DEFAULT if p in optional else "")
             for p in params]
    if not method and not params:  # a module function without parameters ignores what it is given
        text += ["*args: Any", "**kwargs: Any"]
    return ", ".join(text)


def unused(texts, table_rows, table):
    names = set(name for name, _, _ in table_rows)
    extra = [name for name in texts if name not in names]
    if extra:
        raise SystemExit("%s: doc texts of no row: %s" % (table, ", ".join(extra)))


def stubs():
    """The stubs in the order the module publishes its names."""
    api, module, docs = read("api.h"), read("module.cpp"), read("docs.h")
    functions, tree, climber = (doc_texts(docs, t) for t in ("kFunctionDocs", "kTreeDocs", "kClimberDocs"))
    module_rows = rows(module, "ModuleFunctions")
    unused(functions, module_rows + rows(api, "Constructors"), "kFunctionDocs")
    out = [HEADER]
    for name, params, optional in module_rows[:1]:
        out.append('\ndef %s(%s) -> %s:\n%s' % (name, signature(name, params, optional, False), FUNCTIONS[name],
                                               docstring(functions, name, 0, "    ")))
    for d in (1, 2, 3, 4):
        for name, params, optional in rows(api, "Constructors"):
            out.append('\ndef %s(%s) -> %s:\n%s' % (name.format(d=d), signature(name, params, optional, False),
                                                   FUNCTIONS[name].format(d=d), docstring(functions, name, d, "    ")))
    for d in (1, 2, 3, 4):
        grid, keytuple = "List[" * d + "Any" + "]" * d, "Tuple[%s]" % ", ".join(["int"] * d)
        for cls, table, results, texts in (("Zell{d}", "TreeMethods", TREE, tree),
                                           ("Zell{d}Climber", "ClimberMethods", CLIMBER, climber)):
            what = WHAT[d] + " (D = %d)." % d if table == "TreeMethods" else "A cursor on one node of a Zell%d." % d
            out.append('\n@final\nclass %s:\n    """%s"""\n' % (cls.format(d=d), what))
            out.append('    def __init__(self) -> None:\n        """%s"""\n' % EMPTY[table].format(d=d))
            table_rows = rows(api, table)
            unused(texts, table_rows, table)
            for name, params, optional in table_rows:
                out.append('    def %s(%s) -> %s:\n%s' % (
                    name, signature(name, params, optional, True),
                    results[name].format(d=d, grid=grid, keytuple=keytuple), docstring(texts, name, d, "        ")))
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
