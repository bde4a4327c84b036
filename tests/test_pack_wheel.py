"""The wheel that .ci/pack_wheel.py assembles: what pip and an index read."""

import base64
import hashlib
import importlib.util
import os
import sys
import zipfile

import pytest

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TAG = "cp27.cp313-none-manylinux_2_17_x86_64.manylinux2014_x86_64"

pytestmark = pytest.mark.skipif(sys.version_info < (3, 11), reason="pack_wheel.py reads pyproject.toml with tomllib")


@pytest.fixture(scope="module")
def pack_wheel():
    found = importlib.util.spec_from_file_location("pack_wheel", os.path.join(ROOT, ".ci", "pack_wheel.py"))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


@pytest.fixture
def wheel(pack_wheel, tmp_path):
    module = tmp_path / "zell_dim_1_2_3_4.so"
    module.write_bytes(b"\x7fELF not really")
    path = pack_wheel.pack(str(module), TAG, str(tmp_path / "out"))
    with zipfile.ZipFile(path) as archive:
        yield path, {name: archive.read(name) for name in archive.namelist()}


def test_name_says_version_and_every_tag(wheel):
    assert os.path.basename(wheel[0]) == "zell_dim_1_2_3_4-0.1.0-%s.whl" % TAG


def test_module_and_stubs_at_the_top(wheel):
    files = wheel[1]
    assert files["zell_dim_1_2_3_4.so"] == b"\x7fELF not really"
    stubs = os.path.join(ROOT, "stubs", "zell_dim_1_2_3_4-stubs", "__init__.pyi")
    with open(stubs, "rb") as f:
        assert files["zell_dim_1_2_3_4-stubs/__init__.pyi"] == f.read()


def test_wheel_file_names_each_tag(wheel):
    lines = wheel[1]["zell_dim_1_2_3_4-0.1.0.dist-info/WHEEL"].decode().splitlines()
    assert "Root-Is-Purelib: false" in lines
    assert [line for line in lines if line.startswith("Tag: ")] == [
        "Tag: cp27-none-manylinux_2_17_x86_64", "Tag: cp27-none-manylinux2014_x86_64",
        "Tag: cp313-none-manylinux_2_17_x86_64", "Tag: cp313-none-manylinux2014_x86_64"]


def test_metadata_from_pyproject(wheel):
    head, _, body = wheel[1]["zell_dim_1_2_3_4-0.1.0.dist-info/METADATA"].decode().partition("\n\n")
    lines = head.split("\n")
    assert {"Name: zell_dim_1_2_3_4", "Version: 0.1.0", "License: MIT", "Description-Content-Type: text/markdown",
            "Requires-Python: >=2.7, !=3.0.*, !=3.1.*, !=3.2.*, !=3.3.*, !=3.4.*, !=3.5.*, <3.16",
            "Classifier: Typing :: Typed", "Classifier: Programming Language :: Python :: 2.7",
            'Requires-Dist: pytest; extra == "test"'} <= set(lines)
    assert [line for line in lines if line.startswith("Keywords: ")][0].startswith("Keywords: quadtree,octree,")
    with open(os.path.join(ROOT, "DESCRIPTION.md")) as f:  # an index shows the user's guide, not the developers'
        assert body == f.read()
    with open(os.path.join(ROOT, "LICENSE"), "rb") as f:
        assert wheel[1]["zell_dim_1_2_3_4-0.1.0.dist-info/licenses/LICENSE"] == f.read()


def test_record_hashes_every_other_file(wheel):
    files = wheel[1]
    record = files.pop("zell_dim_1_2_3_4-0.1.0.dist-info/RECORD").decode().splitlines()
    assert record[-1] == "zell_dim_1_2_3_4-0.1.0.dist-info/RECORD,,"
    listed = {}
    for line in record[:-1]:
        name, digest, size = line.split(",")
        listed[name] = (digest, int(size))
    expected = {name: ("sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode(),
                       len(data)) for name, data in files.items()}
    assert listed == expected


@pytest.mark.parametrize("tag", ["cp27-manylinux2014_x86_64", "cp27-none-", "cp27-none-linux x86_64"])
def test_malformed_tag_refused(pack_wheel, tmp_path, tag):
    module = tmp_path / "zell_dim_1_2_3_4.so"
    module.write_bytes(b"")
    with pytest.raises(pack_wheel.PackError, match="PYTHONS-ABIS-PLATFORMS"):
        pack_wheel.pack(str(module), tag, str(tmp_path))


def test_module_of_another_name_refused(pack_wheel, tmp_path):
    module = tmp_path / "other.so"
    module.write_bytes(b"")
    with pytest.raises(pack_wheel.PackError, match="would not import"):
        pack_wheel.pack(str(module), TAG, str(tmp_path))


def test_sdist_rules_take_what_a_build_needs_and_no_more():
    found = importlib.util.spec_from_file_location("sdist_files", os.path.join(ROOT, ".ci", "sdist_files.py"))
    sdist_files = importlib.util.module_from_spec(found)
    found.loader.exec_module(sdist_files)
    want = sdist_files.expected()
    assert {"PKG-INFO", "pyproject.toml", "CMakeLists.txt", "LICENSE", "DESCRIPTION.md", "README.md",
            "src/python/surface/module.cpp", "stubs/zell_dim_1_2_3_4-stubs/__init__.pyi", "examples/tour.py"} <= want
    assert not [path for path in want if path.split("/")[0] in (".ci", "bench", "tests", "cmake", "build")]
    include, exclude = sdist_files.rules()
    for path in ("examples/output/quadtree.png", "src/__pycache__/x.pyc", "src/core/tree.h~.pyc", "quadtree.png"):
        assert not sdist_files.included(path, include, exclude), path
