"""The type stubs describe exactly what the module publishes, and a typed
user program checks against them."""
import ast
import os
import subprocess
import sys

import pytest

import zell_dim_1_2_3_4 as zell

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STUBS = os.path.join(ROOT, "stubs", "zell_dim_1_2_3_4-stubs", "__init__.pyi")


def stub_tree():
    with open(STUBS) as f:
        return ast.parse(f.read())


def published(obj):
    return [name for name in vars(obj) if not name.startswith("_")]


def test_stubs_are_generated_from_the_current_template():
    assert subprocess.call([sys.executable, os.path.join(ROOT, "stubs", "generate.py"), "--check"]) == 0


def test_stubs_name_every_function_class_and_method_in_order():
    tree = stub_tree()
    functions = [n.name for n in tree.body if isinstance(n, ast.FunctionDef)]
    classes = {n.name: n for n in tree.body if isinstance(n, ast.ClassDef)}
    module_functions = [n for n in published(zell) if callable(getattr(zell, n)) and not isinstance(getattr(zell, n), type)]
    assert functions == module_functions
    assert sorted(classes) == sorted(n for n in published(zell) if isinstance(getattr(zell, n), type))
    for name, node in classes.items():
        if name == "PyGlueException":
            continue
        methods = [m.name for m in node.body if isinstance(m, ast.FunctionDef) and not m.name.startswith("_")]
        assert methods == published(getattr(zell, name)), name


BINDING_ERRORS = ("takes exactly", "missing 1 required", "multiple values", "unexpected keyword")


def stub_callables():
    """(name, target, parameter names) for every stub function and method
    that takes parameters; the target is a fresh object to call it on."""
    for node in stub_tree().body:
        if isinstance(node, ast.FunctionDef):
            yield node.name, lambda name=node.name: getattr(zell, name), [a.arg for a in node.args.args]
        elif isinstance(node, ast.ClassDef) and node.name.startswith("Zell"):
            d = int(node.name[4])
            for m in node.body:
                if isinstance(m, ast.FunctionDef) and not m.name.startswith("_"):
                    def target(cls=node.name, d=d, name=m.name):
                        tree = getattr(zell, "newZell%d" % d)(1.0)
                        return getattr(tree.getClimber() if cls.endswith("Climber") else tree, name)
                    yield node.name + "." + m.name, target, [a.arg for a in m.args.args[1:]]


def test_stub_parameter_names_are_the_keyword_names():
    # Every parameter of the stubs, passed by its stub name, gets past the
    # binder (the values may then be refused by conversion or the operation).
    checked = 0
    for name, target, params in stub_callables():
        if not params:
            continue
        try:
            target()(**{p: 1.5 for p in params})
        except Exception as e:
            assert not any(text in str(e) for text in BINDING_ERRORS), (name, params, str(e))
        checked += 1
    assert checked == 16 + 4 * (8 + 5)  # the constructors; per D 8 tree and 5 climber methods


def test_an_installed_module_carries_its_stubs():
    here = os.path.dirname(os.path.realpath(zell.__file__))
    if os.path.basename(here) not in ("site-packages", "dist-packages"):
        pytest.skip("the module under test is not an installed one")
    assert os.path.isfile(os.path.join(here, "zell_dim_1_2_3_4-stubs", "__init__.pyi"))


def test_a_typed_program_checks_against_the_stubs(tmp_path, monkeypatch):
    mypy = pytest.importorskip("mypy.api")
    # The stubs as they stand in the source tree, whatever is installed.
    (tmp_path / "zell_dim_1_2_3_4.pyi").write_text(open(STUBS).read())
    program = tmp_path / "typed.py"
    program.write_text(
        "import zell_dim_1_2_3_4 as zell\n"
        "tree = zell.newZell3D(0.5, 0)\n"
        "climber: zell.Zell3Climber = tree.createNodeByCoord([1.0, 2.0, 3.0])\n"
        "climber.setData({'a': 1})\n"
        "depth: int = tree.depth()\n"
        "grid = tree.getRange([0.0, 0.0, 0.0], [1.0, 1.0, 1.0])\n"
        "first = grid[0][0][0]\n"
        "wrong: str = tree.size()\n")
    monkeypatch.setenv("MYPYPATH", str(tmp_path))
    out, _, status = mypy.run([str(program), "--no-incremental", "--cache-dir", str(tmp_path / "cache")])
    assert status == 1, out
    assert out.count("error:") == 1 and 'variable has type "str"' in out, out
