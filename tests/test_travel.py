"""Trees travel: pickles of every protocol, copies, worker processes, Dask."""
import copy
import multiprocessing
import os
import pickle
import sys

import pytest

import zell_dim_1_2_3_4 as zell

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "examples"))


def sample(dims):
    shared = [1, {"two": 2}]
    tree = getattr(zell, "newZell%dAD" % dims)(0.5, [-1.5] * dims, {"default": shared})
    for i, payload in enumerate([shared, shared, None, "text", 3.5]):
        tree.createNodeByCoord([0.7 * i] * dims, i % 2).setData(payload)
    return tree, shared


@pytest.mark.parametrize("dims", [1, 2, 3, 4])
def test_pickles_and_copies(dims):
    tree, shared = sample(dims)
    for loaded in [pickle.loads(pickle.dumps(tree, protocol)) for protocol in range(2, pickle.HIGHEST_PROTOCOL + 1)]:
        assert type(loaded) is type(tree) and loaded.serialize() == tree.serialize()
    for travel in (lambda t: pickle.loads(pickle.dumps(t)), copy.copy, copy.deepcopy):
        assert travel(type(tree)()).serialize() == b"\xc0"  # no tree, and still none
    shallow, deep = copy.copy(tree), copy.deepcopy(tree)
    assert shallow.serialize() == deep.serialize() == tree.serialize()
    shallow.getNodeByCoord([0.0] * dims, 0).setData("changed")  # nodes of its own, the same payloads
    assert tree.getNodeByCoord([0.0] * dims, 0).getData() is shared is shallow.getClimber().getData()["default"]
    first, second = deep.getNodeByCoord([0.0] * dims, 0).getData(), deep.getNodeByCoord([0.7] * dims, 1).getData()
    assert first == shared and first is not shared and first is second is deep.getClimber().getData()["default"]
    reload = type("Reload", (object,), {"__deepcopy__": lambda self, memo: tree.deserialize(saved) or "copied"})
    saved, expected = sample(dims)[0].serialize(), copy.copy(tree)
    expected.getClimber().setData("copied")
    tree.getClimber().setData(reload())  # reloaded while copied: the copy is the tree as the copy met it
    assert copy.deepcopy(tree).serialize() == expected.serialize() and tree.serialize() == saved
    climber = tree.getClimber().climbClone(0)
    assert copy.copy(climber).level() == climber.level()
    for travel in (pickle.dumps, copy.deepcopy):
        with pytest.raises(TypeError, match="Zell%dClimber belongs to its tree" % dims):
            travel(climber)


def grown(tree):
    tree.createNodeByCoord([5.5] * 3).setData("grown in a worker")
    return tree


def test_worker_processes_send_trees_and_errors_back():
    trees = [sample(3)[0] for _ in range(3)]
    with multiprocessing.get_context("spawn").Pool(2) as pool:
        back = pool.map_async(grown, trees).get(60)  # a tree that fails to load in a worker would hang map
        with pytest.raises(zell.PyGlueException) as info:
            pool.apply_async(trees[0].getRange, ([float("nan")] * 3, [1.0] * 3)).get(60)
    assert [t.serialize() for t in back] == [grown(t).serialize() for t in trees]
    for error in (info.value, pickle.loads(pickle.dumps(info.value))):
        assert (type(error).__name__, type(error).__module__) == ("ValueError", "pyglue")
        assert str(error) == "Unexpected error encountered: window corners must not be NaN"


def test_tiles_built_on_a_dask_cluster():
    distributed = pytest.importorskip("distributed")
    import dask_tiles

    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster:
        with distributed.Client(cluster, timeout=60) as client:
            trees = dask_tiles.on_cluster(client, 4, 4000)
            assert client.submit(len, client.scatter(trees)).result(timeout=60) == 4
    local = [dask_tiles.tile_tree(tile, 4, 4000) for tile in range(4)]
    assert [t.serialize() for t in trees] == [t.serialize() for t in local]
    assert dask_tiles.windows(trees) == dask_tiles.windows(local) > 0
