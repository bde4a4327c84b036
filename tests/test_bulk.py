"""Calls on many points with numpy arrays: every layout numpy makes reads as its rows, written and read as loops of
single calls would, the arrays and payloads given back, nothing held after a refusal. Every interpreter runs the
same calls with lists and ctypes arrays (tests/compat)."""
import importlib.util
import os
import sys

import pytest

import zell_dim_1_2_3_4 as zell

np = pytest.importorskip("numpy")
hypothesis = pytest.importorskip("hypothesis")
st = hypothesis.strategies

CONVERT = "Cannot convert python object to "


def loop_write(tree, points, values, level=0):
    for p, v in zip(points, values):
        tree.createNodeByCoord(p, level).setData(v)


def layouts(array):
    """The same points in every layout numpy makes: copies of another order, item type and byte order, and views
    with other strides."""
    d = array.shape[1]
    wide = np.zeros((array.shape[0] * 3, d + 2))
    wide[::3, 1:d + 1] = array
    reversed_rows, reversed_columns = np.ascontiguousarray(array[::-1])[::-1], np.asfortranarray(array[:, ::-1])
    return [array, np.asfortranarray(array), reversed_rows, reversed_columns[:, ::-1], wide[::3, 1:d + 1],
            array.astype(">f8"), array.astype(np.float32), np.round(array).astype(np.int64),
            np.round(array).astype(np.int32)[:, ::-1][:, ::-1], (array > 2).astype(np.uint8), array > 2]


@pytest.mark.parametrize("d", [1, 2, 3, 4])
def test_every_layout_reads_as_its_rows(d):
    rng = np.random.default_rng(d)
    base = rng.uniform(-3, 9, size=(300, d))
    for array in layouts(base):
        points = array.astype(np.float64).tolist()  # the values the array holds, as single calls take them
        values = [object() for _ in points]
        ours, loop = [getattr(zell, "newZell%dD" % d)(1.0, "d") for _ in "ab"]
        loop_write(loop, points, values)
        assert ours.setDataByCoords(array, values) is None and ours.serialize() == loop.serialize(), array.dtype
        got = ours.getDataByCoords(array)
        assert all(a is b for a, b in zip(got, [loop.getNodeByCoord(p).getData() for p in points]))
        assert ours.coordsToKeys(array) == [loop.coordToKey(p) for p in points]
    tree = getattr(zell, "newZell%d" % d)(1.0)
    assert all(tree.getDataByCoords(empty) == [] for empty in layouts(np.zeros((0, d))))


def test_numpy_sequences_hold_payloads():
    tree = zell.newZell2D(1.0, None)
    objects = np.empty(3, dtype=object)
    objects[:] = [{"a": 1}, [2], "three"]
    tree.setDataByCoords(np.array([[0.5, 0.5], [1.5, 0.5], [2.5, 0.5]]), objects)
    assert [x is y for x, y in zip(tree.getDataByCoords([[0.5, 0.5], [1.5, 0.5], [2.5, 0.5]]), objects)] == [True] * 3
    tree.setDataByCoords(np.array([[0.5, 0.5]]), np.array([7]))
    assert type(tree.getDataByCoords([[0.5, 0.5]])[0]) is np.int64


def test_arrays_of_other_shapes_and_items_are_refused_and_given_back():
    tree = zell.newZell3D(1.0, "d")
    tree.createNodeByCoord([0.5] * 3).setData("kept")
    before, shape = tree.serialize(), CONVERT + "array of shape (N, 3)"
    for array, message in [(np.zeros(3), shape + ": it has shape (3,)"),
                           (np.zeros((4, 2)), shape + ": it has shape (4, 2)"),
                           (np.zeros((2, 3, 1)), shape + ": it has shape (2, 3, 1)"),
                           (np.zeros((2, 3), dtype=object), shape + " of numbers: its items have format 'O'"),
                           (np.zeros((2, 3), dtype=np.complex128), shape + " of numbers: its items have format 'Zd'"),
                           (np.zeros((2, 3), dtype=np.float16), shape + " of numbers: its items have format 'e'")]:
        for call in (lambda: tree.setDataByCoords(array, [1, 2]), lambda: tree.getDataByCoords(array),
                     lambda: tree.coordsToKeys(array)):
            with pytest.raises(TypeError) as error:
                call()
            assert str(error.value) == message
        array.resize((7,) + array.shape[1:], refcheck=False)  # no buffer of it is held any more
    for call, what in [(tree.getDataByCoords, "payloads"), (tree.coordsToKeys, "keys")]:  # one point, 2**40 times
        with pytest.raises(zell.PyGlueException, match="a result of %d %s does not fit in memory" % (2 ** 40, what)):
            call(np.broadcast_to(np.zeros(3), (2 ** 40, 3)))
    far = np.array([[0.5] * 3, [2.0 ** 70] * 3])
    with pytest.raises(zell.PyGlueException, match="point lies too far away"):
        tree.setDataByCoords(far, ["a", "b"])
    far.resize((3, 3), refcheck=False)
    assert tree.serialize() == before


def test_payloads_are_counted_once_and_given_back():
    payload, default, n = object(), object(), 1000
    start = [sys.getrefcount(payload), sys.getrefcount(default)]
    tree = zell.newZell2D(1.0, default)
    points = np.random.default_rng(0).uniform(0, 30, size=(n, 2))
    tree.setDataByCoords(points, [payload] * n)
    stored = tree.dataCount()
    assert sys.getrefcount(payload) == start[0] + stored
    got = tree.getDataByCoords(points)
    assert sys.getrefcount(payload) == start[0] + stored + n and got.count(payload) == n
    items, sparse = list(tree.items()), tree.getSparseRange([0.0, 0.0], [30.0, 30.0])
    assert len(items) == len(sparse) == stored and sys.getrefcount(payload) == start[0] + stored * 3 + n
    with pytest.raises(zell.PyGlueException):  # a refused write holds nothing
        tree.setDataByCoords([[0.5, 0.5], [-2.0 ** 80, 0.5]], [payload, payload])
    got = items = sparse = None
    tree.setDataByCoords(points[:10], ["other"] * 10)  # the payloads replaced are let go
    tree.getDataByCoords(points)
    tree = None
    assert [sys.getrefcount(payload), sys.getrefcount(default)] == start


def grid_points(d):
    coordinate = st.one_of(st.integers(-64, 64).map(lambda i: i / 4.0), st.floats(-1e6, 1e6),
                           st.sampled_from([0.0, -0.0, 2.0 ** 62, -2.0 ** 63, float("nan")]))
    return st.lists(st.lists(coordinate, min_size=d, max_size=d), max_size=300)


@hypothesis.settings(max_examples=150, deadline=None)
@hypothesis.given(st.data())
def test_random_calls_agree_with_loops(data):
    d = data.draw(st.sampled_from([1, 2, 3, 4]))
    anchor = data.draw(st.lists(st.floats(-100, 100), min_size=d, max_size=d))
    size = data.draw(st.sampled_from([1.0, 0.25, 3.3]))
    ours, loop = [getattr(zell, "newZell%dAD" % d)(size, anchor, "d") for _ in "ab"]
    for _ in range(data.draw(st.integers(1, 4))):
        points = data.draw(grid_points(d))
        array, level = np.array(points, dtype=np.float64).reshape(-1, d), data.draw(st.sampled_from([0, 1, 4, 99]))
        values = list(range(len(points)))
        op = data.draw(st.sampled_from(["set", "get", "keys"]))
        before = ours.serialize()
        try:
            want = {"set": lambda: loop_write(loop, points, values, level),
                    "get": lambda: [loop.getNodeByCoord(p, level).getData() for p in points],
                    "keys": lambda: [loop.coordToKey(p) for p in points]}[op]()
        except zell.PyGlueException as refused:
            with pytest.raises(zell.PyGlueException) as error:
                {"set": lambda: ours.setDataByCoords(array, values, level), "get": lambda: ours.getDataByCoords(array),
                 "keys": lambda: ours.coordsToKeys(array)}[op]()
            assert (type(error.value).__name__, str(error.value)) == (type(refused).__name__, str(refused))
            assert ours.serialize() == before
            loop.deserialize(before)
            continue
        got = {"set": lambda: ours.setDataByCoords(array, values, level),
               "get": lambda: ours.getDataByCoords(array, level), "keys": lambda: ours.coordsToKeys(array)}[op]()
        assert got == want and ours.serialize() == loop.serialize()
        assert list(ours.items()) == list(loop.items()) and ours.nodeCount() == loop.nodeCount()


def test_the_point_cloud_example_counts_every_point(tmp_path, monkeypatch, capsys):
    monkeypatch.syspath_prepend(os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples"))
    import point_cloud

    monkeypatch.setattr(point_cloud, "POINTS", 20000)
    cloud = point_cloud.make_cloud(np.random.default_rng(1))
    tree = point_cloud.count_cells(cloud)
    occupied = point_cloud.report(tree)
    cells = np.floor((cloud - np.array(tree.anchor())) / point_cloud.CELL).astype(np.int64)
    keys, counts = np.unique(cells, axis=0, return_counts=True)
    assert dict(occupied) == dict(zip(map(tuple, keys.tolist()), counts.tolist())) and tree.dataCount() == len(keys)
    if importlib.util.find_spec("matplotlib"):
        point_cloud.draw(tree, occupied, str(tmp_path / "cloud.png"))
        assert (tmp_path / "cloud.png").stat().st_size > 0


OUT_OF_MEMORY = """
import resource, sys
import numpy as np
import zell_dim_1_2_3_4 as zell

points = np.random.default_rng(0).integers(-2000, 2000, (400000, 3)) + 0.5
old, new = [object() for _ in range(2000)], [object() for _ in range(len(points))]
tree = zell.newZell3D(1.0, None)
for p, v in zip(points[:2000], old):
    tree.createNodeByCoord(list(p)).setData(v)
counts = [sys.getrefcount(v) for v in old + new[:5000]]
size = next(int(line.split()[1]) << 10 for line in open("/proc/self/status") if line.startswith("VmSize"))
resource.setrlimit(resource.RLIMIT_AS, (size + (48 << 20), resource.RLIM_INFINITY))
try:
    tree.setDataByCoords(points, new)
    sys.exit("no refusal")
except zell.PyGlueException as e:
    assert type(e).__name__ == "OutOfMemDefect", e
resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
assert tree.dataCount() == len(old), tree.dataCount()
assert all(tree.getNodeByCoord(list(p)).getData() is v for p, v in zip(points[:2000], old))
assert [sys.getrefcount(v) for v in old + new[:5000]] == counts
print("kept")
"""


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="limits the address space through /proc")
@pytest.mark.skipif("libasan" in os.environ.get("LD_PRELOAD", ""),
                    reason="the address sanitizer's own memory does not fit a limit on the address space")
def test_a_store_out_of_memory_halfway_changes_no_payload():
    """setDataByCoords that runs out of memory for nodes halfway puts back every payload it replaced and hands
    back every one it stored: the tree keeps only the nodes it made."""
    import subprocess

    run = subprocess.run([sys.executable, "-c", OUT_OF_MEMORY], capture_output=True, text=True)
    assert run.stdout.strip() == "kept", run.stdout + run.stderr
