"""The type stubs name exactly what the module publishes, with the module's own doc strings and signatures, and
typed programs check against them."""
import ast
import inspect
import os
import runpy
import subprocess
import sys

import pytest

import zell_dim_1_2_3_4 as zell

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STUBS = os.path.join(ROOT, "stubs", "zell_dim_1_2_3_4-stubs", "__init__.pyi")
sys.path.insert(0, os.path.join(ROOT, "tests", "typing"))
import typecheck  # noqa: E402


def published(namespace):
    """The functions and methods the module defines in a module or class namespace, in order (a class's
    __new__ is the interpreter's; the stubs' __init__ stands for it)."""
    return [name for name, value in vars(namespace).items() if name != "__new__" and
            type(value).__name__ in ("builtin_function_or_method", "method_descriptor")]


def stub_body():
    with open(STUBS) as f:
        return [n for n in ast.parse(f.read()).body
                if isinstance(n, (ast.FunctionDef, ast.ClassDef)) and not n.name.startswith("_")]


def test_stubs_are_current_and_name_everything_in_order():
    assert subprocess.call([sys.executable, os.path.join(ROOT, "stubs", "generate.py"), "--check"]) == 0
    body = stub_body()
    assert [n.name for n in body] == [n for n in vars(zell) if not n.startswith("_")]
    for cls in (n for n in body if n.name.startswith("Zell")):
        assert [d.id for d in cls.decorator_list] == ["final"]
        methods = [m for m in cls.body if isinstance(m, ast.FunctionDef) and m.name != "__init__"]
        assert [m.name for m in methods] == published(getattr(zell, cls.name))
        tree = getattr(zell, "newZell" + cls.name[4])(1.0)
        for m in methods:  # every parameter, passed by its stub name, gets past the binder
            try:
                getattr(tree.getClimber() if "Climber" in cls.name else tree, m.name)(
                    **{a.arg: 1.5 for a in m.args.args[1:]})
            except Exception as e:
                assert "argument" not in str(e), (cls.name, m.name, str(e))


def test_too_few_positional_arguments_are_refused_everywhere():
    """Every function and method with required parameters, called with fewer positional arguments than it
    requires (and no keywords), raises TypeError naming how many it takes: the stubs list the published rows,
    an optional parameter written with a default."""
    with open(STUBS) as f:
        body = ast.parse(f.read()).body
    rows = [(zell, n) for n in body if isinstance(n, ast.FunctionDef)]
    rows += [(cls.name, m) for cls in body if isinstance(cls, ast.ClassDef) and cls.name.startswith("Zell")
             for m in cls.body if isinstance(m, ast.FunctionDef) and m.name != "__init__"]
    refused = 0
    for owner, row in rows:
        params = [a.arg for a in row.args.args if a.arg != "self"]
        required = len(params) - len(row.args.defaults)
        if isinstance(owner, str):  # a method: of a tree, or of a climber on its root
            tree = getattr(zell, "newZell" + owner[4])(1.0)
            owner = tree.getClimber() if "Climber" in owner else tree
        for given in range(required):
            with pytest.raises(TypeError) as refusal:
                getattr(owner, row.name)(*[[0.5] * 4] * given)
            assert str(refusal.value) == "%s() takes exactly %d arguments (%d given)" % (row.name, len(params), given)
            refused += 1
    assert refused > 100  # the stubs were read: rows of every class in every dimension



def test_doc_strings_and_signatures_are_the_stubs():
    """help() and inspect read what the stubs say: the same doc string after the text signature, the same
    parameters with defaults where the stubs have them; functions the stubs leave out have theirs too."""
    pairs = [(getattr(zell, n.name), n) for n in stub_body() if isinstance(n, ast.FunctionDef)]
    for cls in (n for n in stub_body() if n.name.startswith("Zell")):
        pairs += [(getattr(getattr(zell, cls.name), m.name), m) for m in cls.body
                  if isinstance(m, ast.FunctionDef) and m.name != "__init__"]
    assert len(pairs) == 17 + 4 * (27 + 15)
    for runtime, stub in pairs:
        assert runtime.__doc__ == ast.get_docstring(stub), runtime
        arguments = stub.args.args[1:] if runtime.__text_signature__.startswith("($self") else stub.args.args
        defaults = [None] * (len(arguments) - len(stub.args.defaults)) + stub.args.defaults
        expected = [(a.arg, d is not None) for a, d in zip(arguments, defaults)]
        if stub.args.vararg:
            expected += [("args", False), ("kwargs", False)]
        parameters = [p for p in inspect.signature(runtime).parameters.values() if p.name != "self"]
        assert [(p.name, p.default is not p.empty) for p in parameters] == expected, runtime
        assert all(p.default in (p.empty, 0) for p in parameters), runtime
    assert inspect.signature(zell._glue_error).parameters.keys() == {"kind", "args"}
    assert zell._glue_error.__doc__.startswith("Rebuilds an error of this module")


def test_typed_programs_check_against_the_stubs():
    pytest.importorskip("mypy.api")
    runpy.run_path(typecheck.CORRECT)  # what the stubs must accept, the module takes
    problems = typecheck.check()
    assert not problems, problems
