"""The type stubs name exactly what the module publishes, and a typed program
checks against them."""
import ast
import os
import subprocess
import sys

import pytest

import zell_dim_1_2_3_4 as zell

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
STUBS = os.path.join(ROOT, "stubs", "zell_dim_1_2_3_4-stubs", "__init__.pyi")


def test_stubs_are_current_and_name_everything_in_order():
    assert subprocess.call([sys.executable, os.path.join(ROOT, "stubs", "generate.py"), "--check"]) == 0
    with open(STUBS) as f:
        body = [n for n in ast.parse(f.read()).body if isinstance(n, (ast.FunctionDef, ast.ClassDef))]
    assert [n.name for n in body] == [n for n in vars(zell) if not n.startswith("_")]
    for cls in (n for n in body if n.name.startswith("Zell")):
        methods = [m for m in cls.body if isinstance(m, ast.FunctionDef) and m.name != "__init__"]
        assert [m.name for m in methods] == [n for n in vars(getattr(zell, cls.name)) if not n.startswith("_")]
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


def test_a_typed_program_checks_against_the_stubs(tmp_path, monkeypatch):
    mypy = pytest.importorskip("mypy.api")
    (tmp_path / "zell_dim_1_2_3_4.pyi").write_text(open(STUBS).read())
    (tmp_path / "typed.py").write_text(
        "import zell_dim_1_2_3_4 as zell\n"
        "tree = zell.newZell3D(0.5, 0)\n"
        "climber: zell.Zell3Climber = tree.createNodeByCoord((1.0, 2, 3.0), level=1)\n"
        "first = tree.getRange([0.0, 0.0, 0.0], [1.0, 1.0, 1.0])[0][0][0]\n"
        "wrong: str = tree.size()\n"  # each line from here on is refused
        "tree.coordToKey((1.0, 2.0))\n"
        "tree.getNodeByCoord([1.0, 2.0, 3.0], level='1')\n"
        "zell.Zell3(0.5)\n")
    monkeypatch.setenv("MYPYPATH", str(tmp_path))
    out, _, _ = mypy.run([str(tmp_path / "typed.py"), "--no-incremental", "--cache-dir", str(tmp_path / "c")])
    assert [int(line.split(":")[1]) for line in out.splitlines() if "error:" in line] == [5, 6, 7, 8], out
