"""Speed and memory of zell_dim_1_2_3_4 beside the alternatives a user would
pick, all measured in this one run on the same interpreter (the OpenVDB rows
on Debian's /usr/bin/python3, which its binding is built for).

    python bench/run.py            # the full suite, a few minutes
    python bench/run.py --quick    # smaller workloads, fewer repeats

Prints one table and writes it as JSON (bench/results.json by default).
Every time is the best of several runs, taken in turns with the
alternatives. The module is imported normally; when it is not installed,
the development build in build/dev is used.
"""
from __future__ import print_function

import argparse
import copy
import gc
import json
import os
import pickle
import random
import shutil
import subprocess
import sys
import tempfile
import time
import timeit

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
sys.path.insert(0, HERE)

import pytree  # noqa: E402
from common import (  # noqa: E402
    Contender,
    fmt_value,
    keep_freed_memory,
    last_level_cache_bytes,
    perf,
    progress,
    race,
    random_points,
    read_rows,
    row,
    table,
)
from pytree import PyTree  # noqa: E402

DEBIAN_PYTHON = "/usr/bin/python3"

FULL = dict(points=200000, side=1024.0, window=1000, block=(50, 50, 40), mixed_side=100, memory_side=1000,
            repeats=5, slow_repeats=3, calls=1000000, call_repeats=7,
            vdb_points=200000, vdb_window=64, agreement_seeds=3, prune_side=866, cube_side=160,
            limit_megabytes=256, collect_payloads=1000000,
            instruction_loops=(10000, 30000))
QUICK = dict(points=20000, side=1024.0, window=200, block=(20, 20, 10), mixed_side=30, memory_side=300,
             repeats=2, slow_repeats=2, calls=100000, call_repeats=3,
             vdb_points=20000, vdb_window=24, agreement_seeds=1, prune_side=200, cube_side=64,
             limit_megabytes=64, collect_payloads=100000,
             instruction_loops=(2000, 6000))

# Targets, as bounds on ours/alternative (or on our own figure).
FASTER_20 = dict(max_ratio=1 / 20.0, target="<= 0.050 (20x faster)")
FASTER_10 = dict(max_ratio=1 / 10.0, target="<= 0.100 (10x faster)")
FASTER_6 = dict(max_ratio=1 / 6.0, target="<= 0.167 (6x faster)")
FASTER_5 = dict(max_ratio=1 / 5.0, target="<= 0.200 (5x faster)")
FASTER = dict(max_ratio=1.0, target="<= 1 (faster)")
COPY_13 = dict(max_ratio=1.3, target="<= 1.3 (within 1.3x of copying)")
WITHIN_4 = dict(max_ratio=4.0, target="<= 4 (within 4x)")
FLOOR_3 = dict(max_ratio=3.0, target="<= 3 (within 3x of floor)")
FLOOR_CALL = dict(max_ratio=1.5, target="<= 1.5 (within 1.5x of floor)")
PICKLE_ONLY = dict(max_ratio=1.1, target="<= 1.1 (structure <= 10% of pickling)")
UNPICKLE_ONLY = dict(max_ratio=1.2, target="<= 1.2 (structure <= 20% of unpickling)")
BYTES_32 = dict(max_ours=32.0, target="ours <= 32 B/node")
AS_TOUCHED = dict(max_ratio=1.1, target="<= 1.1 (address space as touched)")


def import_module():
    try:
        import zell_dim_1_2_3_4 as zell
    except ImportError:
        dev = os.path.join(REPO, "build", "dev")
        if not os.path.exists(os.path.join(dev, "zell_dim_1_2_3_4.so")):
            raise SystemExit("zell_dim_1_2_3_4 is neither installed nor built: run `pip install %s` or "
                             "`cmake -S %s -B %s -G Ninja && ninja -C %s`" % (REPO, REPO, dev, dev)) from None
        sys.path.insert(0, dev)
        import zell_dim_1_2_3_4 as zell
    return zell


# Agreement -------------------------------------------------------------------


def check_agreement(zell, seeds):
    progress("agreement of the pure-Python tree with the module, D = 1..4")
    for dims in (1, 2, 3, 4):
        for seed in range(seeds):
            pytree.check_agreement(zell, dims, seed)


def same(what, *results):
    for other in results[1:]:
        if other != results[0]:
            raise SystemExit("results differ: " + what)


# Point writes and reads ------------------------------------------------------

# The dict alternative inlines the key computation, as the fastest code a
# user could write would. The anchor stays at the origin (all points are
# above it), so its keys are the tree's keys.


def dict_write_2(d, points, values):
    a, s = 0.0, 1.0
    for (x, y), v in zip(points, values):
        d[(int((x - a) / s), int((y - a) / s))] = v
    return d


def dict_write_3(d, points, values):
    a, s = 0.0, 1.0
    for (x, y, z), v in zip(points, values):
        d[(int((x - a) / s), int((y - a) / s), int((z - a) / s))] = v
    return d


def dict_read_2(d, points, default):
    a, s, get = 0.0, 1.0, d.get
    return [get((int((x - a) / s), int((y - a) / s)), default) for x, y in points]


def dict_read_3(d, points, default):
    a, s, get = 0.0, 1.0, d.get
    return [get((int((x - a) / s), int((y - a) / s), int((z - a) / s)), default) for x, y, z in points]


def tree_write(tree, points, values):
    create = tree.createNodeByCoord
    for p, v in zip(points, values):
        create(p).setData(v)
    return tree


def tree_read(tree, points):
    get = tree.getNodeByCoord
    return [get(p).getData() for p in points]


def bench_points(zell, cfg, dims, rows, np=None):
    n = cfg["points"]
    points = random_points(n, dims, cfg["side"], seed=dims)
    values = list(range(n))
    new_ours = getattr(zell, "newZell%d" % dims)
    dict_write = dict_write_2 if dims == 2 else dict_write_3
    dict_read = dict_read_2 if dims == 2 else dict_read_3

    progress("point writes, D = %d, %d points" % (dims, n))
    best, out = race([
        Contender("ours", lambda t: tree_write(t, points, values), lambda: new_ours(1.0)),
        Contender("pytree", lambda t: tree_write(t, points, values), lambda: PyTree(dims, 1.0),
                  cfg["slow_repeats"]),
        Contender("dict", lambda d: dict_write(d, points, values), dict),
    ], cfg["repeats"])
    ours, mine, cells = out["ours"], out["pytree"], out["dict"]
    same("tree geometry after the writes", (ours.anchor(), ours.depth()), (mine.anchor(), mine.depth()))
    for p in points[:200]:
        same("keys of %r" % p, ours.coordToKey(p), mine.coordToKey(p), list(dict_write(
            {}, [p], [0]).popitem()[0]))
    label = "point writes D=%d, %d pts" % (dims, n)
    rows.append(row(label, best["ours"], "pure-Python tree", best["pytree"], **FASTER_20))
    rows.append(row(label, best["ours"], "dict of key tuples", best["dict"], **FASTER))

    progress("point reads, D = %d, %d points" % (dims, n))
    best, out = race([
        Contender("ours", lambda _: tree_read(ours, points)),
        Contender("pytree", lambda _: tree_read(mine, points), repeats=cfg["slow_repeats"]),
        Contender("dict", lambda _: dict_read(cells, points, None)),
    ], cfg["repeats"])
    same("point reads D=%d" % dims, out["ours"], out["pytree"], out["dict"])
    label = "point reads D=%d, %d pts" % (dims, n)
    rows.append(row(label, best["ours"], "pure-Python tree", best["pytree"], **FASTER_20))
    rows.append(row(label, best["ours"], "dict of key tuples", best["dict"], **FASTER))
    if np is not None:
        bench_bulk_points(zell, cfg, dims, points, values, ours, np, rows)
    bench_cached_points(zell, cfg, dims, points, rows)


# Many points per call --------------------------------------------------------
#
# The same points as one (N, D) float64 array handed over in one call, beside
# the loops of single calls above: what a user whose points are in numpy
# gains by not looping in Python. The reads go to the tree the point writes
# built; the writes go into a fresh tree, like the loop's.

BULK_READ_TARGETS = {2: FASTER_10, 3: FASTER_6}

# A node is two words, its payload and its children (src/core/node.h), and
# child sets hold nothing but their nodes: nodes times this is about the
# memory a walk through the tree can touch.
NODE_BYTES = 16

# Not measured by this bench: the figures of a standalone model of the node
# layout, which tell what memory alone costs a descent. They hold for a tree
# far larger than the last-level cache; a tree that fits in it can beat them.
DESCENT_FLOOR = ("measured outside this bench on a standalone model of the node layout: one descent on a tree "
                 "far larger than the last-level cache takes about 190 ns alone, 40 to 80 ns a point with 16 to "
                 "32 descents in flight; a tree that fits in that cache can do better")


def import_numpy():
    """numpy, which the bulk rows need for their arrays; None, with the rows left out, without it."""
    try:
        import numpy
    except ImportError:
        print("bulk point rows left out: numpy is not importable")
        return None
    return numpy


def bench_bulk_points(zell, cfg, dims, points, values, tree, np, rows):
    n, array = len(points), np.array(points, dtype=np.float64)
    new_ours = getattr(zell, "newZell%d" % dims)

    progress("bulk point reads, D = %d, %d points in one array" % (dims, n))
    best, out = race([
        Contender("bulk", lambda _: tree.getDataByCoords(array)),
        Contender("loop", lambda _: tree_read(tree, points)),
    ], cfg["repeats"])
    same("bulk reads D=%d" % dims, out["bulk"], out["loop"])
    label = "getDataByCoords D=%d, %d pts (array)" % (dims, n)
    rows.append(row(label, best["bulk"], "loop of getNodeByCoord(p).getData()", best["loop"],
                    **BULK_READ_TARGETS[dims]))
    rows.append(per_point_row(label, best["bulk"] / n, tree))

    progress("bulk point writes, D = %d, %d points in one array" % (dims, n))
    best, out = race([
        Contender("bulk", lambda t: (t.setDataByCoords(array, values), t)[1], lambda: new_ours(1.0)),
        Contender("loop", lambda t: tree_write(t, points, values), lambda: new_ours(1.0)),
    ], cfg["repeats"])
    same("trees written in bulk and by the loop D=%d" % dims, out["bulk"].serialize(), out["loop"].serialize())
    rows.append(row("setDataByCoords D=%d, %d pts (array)" % (dims, n), best["bulk"],
                    "loop of createNodeByCoord(p).setData(v)", best["loop"], **FASTER_5))


def per_point_row(label, seconds, tree):
    """Our bulk read per point (the whole call, the list of results included) beside the floor of a descent,
    with the tree's size and the cache's, which tell whether that floor applies."""
    sizes = "tree %.0f MiB" % (tree.nodeCount() * NODE_BYTES / 2.0 ** 20)
    cache = last_level_cache_bytes()
    if cache:
        sizes += ", last-level cache %.0f MiB" % (cache / 2.0 ** 20)
    return row("%s, per point (%s)" % (label, sizes), seconds * 1e9, "descent floor (not run here)", None,
               unit="ns/point", note=DESCENT_FLOOR)


# The same writes and reads on a tree of a few points, over and over: its
# nodes stay in the cache, so the time is that of the calls and the walk
# alone, without the waits on memory that a large tree's random accesses
# meet. Shown beside the rows above, they tell the two costs apart; they
# have no target.
CACHED_POINTS = 1000


def bench_cached_points(zell, cfg, dims, points, rows):
    few = points[:CACHED_POINTS]
    cycled = (few * (len(points) // len(few) + 1))[:len(points)]
    values = list(range(len(cycled)))
    new_ours = getattr(zell, "newZell%d" % dims)
    label = "point %%s D=%d, %d pts over %d (in cache)" % (dims, len(cycled), len(few))

    progress("point writes and reads D = %d, %d points over %d (tree in cache)" % (dims, len(cycled), len(few)))
    best, out = race([
        Contender("ours", lambda t: tree_write(t, cycled, values), lambda: new_ours(1.0)),
        Contender("pytree", lambda t: tree_write(t, cycled, values), lambda: PyTree(dims, 1.0),
                  cfg["slow_repeats"]),
    ], cfg["repeats"])
    rows.append(row(label % "writes", best["ours"], "pure-Python tree", best["pytree"]))

    ours, mine = out["ours"], out["pytree"]
    best, out = race([
        Contender("ours", lambda _: tree_read(ours, cycled)),
        Contender("pytree", lambda _: tree_read(mine, cycled), repeats=cfg["slow_repeats"]),
    ], cfg["repeats"])
    same("point reads in cache D=%d" % dims, out["ours"], out["pytree"])
    rows.append(row(label % "reads", best["ours"], "pure-Python tree", best["pytree"]))


# Range query -----------------------------------------------------------------


def bench_range(zell, cfg, kind, rows):
    w = cfg["window"]
    rng = random.Random(7)
    if kind == "sparse":
        chosen = sorted(rng.sample(range(w * w), max(1, w * w // 100)))
    else:
        chosen = range(w * w)
    ours, mine, cells = zell.newZell2D(1.0, None), PyTree(2, 1.0, default=None), {}
    progress("range query, %s %dx%d window: building the trees" % (kind, w, w))
    for n in chosen:
        i, j = divmod(n, w)
        p = [i + 0.5, j + 0.5]
        ours.createNodeByCoord(p).setData(n)
        mine.createNodeByCoord(p).setData(n)
        cells[(i, j)] = n
    lo, hi = [0.0, 0.0], [w - 1.0, w - 1.0]
    ours.getRange(lo, hi)  # any growth happens here, before timing
    mine.getRange(lo, hi)

    def dict_range(_):
        a, s, get = 0.0, 1.0, cells.get
        i0, j0 = int((lo[0] - a) / s), int((lo[1] - a) / s)
        i1, j1 = int((hi[0] - a) / s), int((hi[1] - a) / s)
        return [[get((i, j), None) for j in range(j0, j1 + 1)] for i in range(i0, i1 + 1)]

    def floor(_):
        fill = None
        return [[fill] * w for _ in range(w)]

    expected = mine.getRange(lo, hi)

    def payload_floor(_):
        return [r[:] for r in expected]

    progress("range query, %s %dx%d window" % (kind, w, w))
    best, out = race([
        Contender("ours", lambda _: ours.getRange(lo, hi)),
        Contender("pytree", lambda _: mine.getRange(lo, hi), repeats=cfg["slow_repeats"]),
        Contender("dict", dict_range),
        Contender("floor", floor),
        Contender("payload floor", payload_floor),
    ], cfg["repeats"])
    same("getRange, %s" % kind, out["ours"], out["pytree"], out["dict"], out["payload floor"])
    label = "getRange D=2 %dx%d, %s (%d set)" % (w, w, kind, len(chosen))
    rows.append(row(label, best["ours"], "pure-Python tree", best["pytree"]))
    rows.append(row(label, best["ours"], "dict comprehension", best["dict"], **FASTER_10))
    # A sparse window is mostly the default: its floor is the lists of it. A
    # dense one holds a payload in every cell: its floor is copying rows of them.
    floor_target, copy_target = (FLOOR_3, {}) if kind == "sparse" else ({}, COPY_13)
    rows.append(row(label, best["ours"], "floor [[d]*m for _ in range(n)]", best["floor"], **floor_target))
    rows.append(row(label, best["ours"], "copies of the result's rows", best["payload floor"], **copy_target,
                    note="the lists holding the very payload objects: [r[:] for r in rows]"))
    if kind == "sparse":
        bench_sparse_range(cfg, ours, cells, lo, hi, rows)
        bench_items(cfg, ours, cells, rows)


# A sparse tree read as a dict of the cells that hold a payload, instead of
# as nested lists that are mostly the default.


def bench_sparse_range(cfg, tree, cells, lo, hi, rows):
    # The anchor is the origin and cells are 1 wide: a corner's key is its floor.
    i0, j0, i1, j1 = int(lo[0]), int(lo[1]), int(hi[0]), int(hi[1])

    def dict_filter(_):
        return {k: v for k, v in cells.items() if i0 <= k[0] <= i1 and j0 <= k[1] <= j1}

    # The same filter making a new key tuple per cell, as getSparseRange
    # must: what its result costs to build, beside its walk of the tree.
    def new_keys(_):
        return {(i, j): v for (i, j), v in cells.items() if i0 <= i <= i1 and j0 <= j <= j1}

    progress("sparse window, %d cells set" % len(cells))
    best, out = race([
        Contender("ours", lambda _: tree.getSparseRange(lo, hi)),
        Contender("dict", dict_filter),
        Contender("new keys", new_keys),
        Contender("getRange", lambda _: tree.getRange(lo, hi)),
    ], cfg["repeats"])
    # The tree's default is None and no payload is, so the set cells of
    # getRange's lists are those that are not None.
    read = {(i0 + i, j0 + j): v for i, r in enumerate(out["getRange"]) for j, v in enumerate(r) if v is not None}
    same("getSparseRange", out["ours"], out["dict"], out["new keys"], read)
    label = "getSparseRange D=2 %dx%d (%d set)" % (i1 - i0 + 1, j1 - j0 + 1, len(cells))
    rows.append(row(label, best["ours"], "dict comprehension filtering key tuples", best["dict"], **FASTER))
    rows.append(row(label, best["ours"], "the same, making new key tuples", best["new keys"]))
    rows.append(row(label, best["ours"], "getRange of the window", best["getRange"], **FASTER_10))


def bench_items(cfg, tree, cells, rows):
    progress("items of %d cells" % len(cells))
    best, out = race([
        Contender("ours", lambda _: list(tree.items())),
        Contender("dict", lambda _: list(cells.items())),
        # What items() makes per cell, a new key tuple and a pair, made in
        # Python from the dict: the cost of the result without any walk.
        Contender("pairs", lambda _: [((i, j), v) for (i, j), v in cells.items()]),
    ], cfg["repeats"])
    same("items", sorted(out["ours"]), sorted(out["dict"]), sorted(out["pairs"]))
    label = "list(items()) D=2, %d cells" % len(cells)
    rows.append(row(label, best["ours"], "list(d.items()) of key tuples", best["dict"], **WITHIN_4))
    rows.append(row(label, best["ours"], "[((i, j), v) for (i, j), v in d.items()]", best["pairs"]))


# Serialization ---------------------------------------------------------------


def bench_serialize(zell, cfg, rows):
    bx, by, bz = cfg["block"]
    ours, mine = zell.newZell3D(1.0, None), PyTree(3, 1.0, default=None)
    payloads = []
    for i in range(bx):
        for j in range(by):
            for k in range(bz):
                p = [i + 0.5, j + 0.5, k + 0.5]
                a, b = ours.createNodeByCoord(p), mine.createNodeByCoord(p)
                if (i + j + k) % 2 == 0:  # half the cells hold a small payload
                    v = len(payloads)
                    a.setData(v)
                    b.setData(v)
                    payloads.append(v)
    nodes = mine.countNodes()
    level0 = bx * by * bz
    lo, hi = [0.0] * 3, [bx - 1.0, by - 1.0, bz - 1.0]
    whole = mine.getRange(lo, hi)
    same("the trees to save", ours.getRange(lo, hi), whole)
    dumps, loads = pickle.dumps, pickle.loads

    progress("serialize, D = 3, %d level-0 nodes (%d nodes)" % (level0, nodes))
    best, out = race([
        Contender("ours", lambda _: ours.serialize()),
        Contender("pytree", lambda _: dumps(mine)),
        Contender("floor", lambda _: list(map(dumps, payloads))),
    ], cfg["repeats"])
    ours_bytes, mine_bytes = out["ours"], out["pytree"]
    label = "serialize D=3, %d level-0 nodes" % level0
    rows.append(row(label, best["ours"], "pickle.dumps of pure-Python tree", best["pytree"]))
    rows.append(row(label, best["ours"], "pickle.dumps per payload only", best["floor"], **PICKLE_ONLY))
    rows.append(row("serialized size D=3, %d nodes" % nodes, len(ours_bytes) / float(nodes),
                    "pickle of pure-Python tree", len(mine_bytes) / float(nodes), unit="B/node"))

    pickled = out["floor"]
    progress("deserialize, D = 3")
    best, out = race([
        Contender("ours", lambda t: (t.deserialize(ours_bytes), t)[1], lambda: zell.newZell3(1.0)),
        Contender("pytree", lambda _: loads(mine_bytes)),
        Contender("floor", lambda _: list(map(loads, pickled))),
    ], cfg["repeats"])
    same("trees after loading", out["ours"].getRange(lo, hi), out["pytree"].getRange(lo, hi), whole)
    label = "deserialize D=3, %d level-0 nodes" % level0
    rows.append(row(label, best["ours"], "pickle.loads of pure-Python tree", best["pytree"]))
    rows.append(row(label, best["ours"], "pickle.loads per payload only", best["floor"], **UNPICKLE_ONLY))

    bench_pickled_payloads(zell, cfg, rows)
    bench_mixed_payloads(zell, cfg, rows)

    progress("copies, D = 3")
    best, out = race([
        Contender("copy", lambda _: copy.copy(ours)),
        Contender("deepcopy", lambda _: copy.deepcopy(ours)),
        Contender("bytes", lambda t: (t.deserialize(ours.serialize()), t)[1], lambda: zell.newZell3(1.0)),
    ], cfg["repeats"])
    same("copies", ours_bytes, *[out[name].serialize() for name in ("copy", "deepcopy", "bytes")])
    for name, how in (("copy", "copy.copy"), ("deepcopy", "copy.deepcopy")):
        rows.append(row("%s D=3, %d level-0 nodes" % (how, level0), best[name], "deserialize(serialize())",
                        best["bytes"]))


def bench_pickled_payloads(zell, cfg, rows):
    """The same tree with short strings for payloads: the module pickles booleans, small ints and floats
    itself, strings go through pickle.dumps and pickle.loads, so these rows show what the structure costs
    beside the calls it makes."""
    bx, by, bz = cfg["block"]
    ours, payloads = zell.newZell3D(1.0, None), []
    for i in range(bx):
        for j in range(by):
            for k in range(bz):
                c = ours.createNodeByCoord([i + 0.5, j + 0.5, k + 0.5])
                if (i + j + k) % 2 == 0:
                    payloads.append("p%d" % len(payloads))
                    c.setData(payloads[-1])
    progress("serialize and deserialize, string payloads")
    save, load = race_beside_pickle(zell, cfg, ours, payloads, "string payloads")
    label = "serialize D=3, %d level-0 nodes, str payloads" % (bx * by * bz)
    rows.append(row(label, save["ours"], "pickle.dumps per payload only", save["floor"]))
    rows.append(row(label.replace("serialize", "deserialize"), load["ours"], "pickle.loads per payload only",
                    load["floor"]))


def race_beside_pickle(zell, cfg, tree, payloads, what):
    """Best times of saving the D = 3 tree and of loading it into a new one, each beside pickling or
    unpickling its payloads alone; the loaded tree is checked to save the same bytes."""
    best, out = race([
        Contender("ours", lambda _: tree.serialize()),
        Contender("floor", lambda _: list(map(pickle.dumps, payloads))),
    ], cfg["repeats"])
    saved, pickled, save = out["ours"], out["floor"], best
    best, out = race([
        Contender("ours", lambda t: (t.deserialize(saved), t)[1], lambda: zell.newZell3(1.0)),
        Contender("floor", lambda _: list(map(pickle.loads, pickled))),
    ], cfg["repeats"])
    same("%s after loading" % what, out["ours"].serialize(), saved)
    return save, best


# The mixed rows' times on the commit before the save and load were made faster
# (97f3d43), measured on the bench machine with the full workload (best of six
# runs taken in turns with the faster module): their target is 1.5x faster.
MIXED_BEFORE = {"serialize": 0.170, "deserialize": 0.0895}
MIXED_NOTE = ("payloads drawn with random.Random(7): None 20 %, ints in [-1000, 1000) 25 %, floats 20 %, "
              "'s<n>' strings 25 %, (n, 't') tuples 10 % (pickled through pickle); before: {} s at 97f3d43")


def mixed_payload(rng, i):
    r = rng.random()
    if r < 0.20:
        return None
    if r < 0.45:
        return rng.randrange(-1000, 1000)
    if r < 0.65:
        return rng.random()
    if r < 0.90:
        return "s%d" % i
    return (i, "t")


def bench_mixed_payloads(zell, cfg, rows):
    """A dense cube of level-0 cells, each holding a payload of a fixed mix: most are pickled by the module
    itself, the tuples by pickle."""
    side, rng = cfg["mixed_side"], random.Random(7)
    ours, payloads = zell.newZell3D(1.0, None), []
    for i in range(side):
        for j in range(side):
            for k in range(side):
                payloads.append(mixed_payload(rng, len(payloads)))
                ours.createNodeByCoord([i + 0.5, j + 0.5, k + 0.5]).setData(payloads[-1])
    label = "%s D=3, %d level-0 cells, mixed payloads" % ("%s", side ** 3)
    progress("serialize and deserialize, %d cells, mixed payloads" % side ** 3)
    save, load = race_beside_pickle(zell, cfg, ours, payloads, "mixed payloads")
    full = side == FULL["mixed_side"]  # the figures before are of the full workload
    rows.append(mixed_row(label, "serialize", save, "pickle.dumps per payload only", full))
    rows.append(mixed_row(label, "deserialize", load, "pickle.loads per payload only", full))


def mixed_row(label, what, best, alternative, full):
    before = MIXED_BEFORE[what]
    target = dict(max_ours=before / 1.5, target="ours <= %.3f s (1.5x faster than before)" % (before / 1.5))
    return row(label % what, best["ours"], alternative, best["floor"], note=MIXED_NOTE.format(before),
               **(target if full else {}))


# The call road ---------------------------------------------------------------


def build_noop():
    """Compiles bench/noop against this interpreter's headers into
    bench/build/ and imports it; None (with the reason printed) when it
    cannot be built here."""
    import sysconfig

    source = os.path.join(HERE, "noop", "zellbench_noop.c")
    include = sysconfig.get_paths()["include"]
    suffix = sysconfig.get_config_var("EXT_SUFFIX") or ".so"
    out_dir = os.path.join(HERE, "build", "noop-%d%d" % sys.version_info[:2])
    target = os.path.join(out_dir, "zellbench_noop" + suffix)
    if not os.path.exists(os.path.join(include, "Python.h")):
        print("call-road floor skipped: no Python.h for this interpreter in " + include)
        return None
    compiler = os.environ.get("CC") or shutil.which("gcc") or shutil.which("cc")
    if not compiler:
        print("call-road floor skipped: no C compiler")
        return None
    if not os.path.exists(out_dir):
        os.makedirs(out_dir)
    cmd = [compiler, "-O2", "-shared", "-fPIC", "-I" + include, source, "-o", target]
    done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True)
    if done.returncode != 0:
        print("call-road floor skipped: building it failed:\n" + done.stdout)
        return None
    sys.path.insert(0, out_dir)
    import zellbench_noop

    return zellbench_noop


def per_call(functions, calls, repeats):
    """Best seconds per call of each zero-argument callable, timed in turns."""
    timers = dict((name, timeit.Timer("f()", globals={"f": f})) for name, f in functions.items())
    best = dict((name, float("inf")) for name in functions)
    for _ in range(repeats):
        for name, timer in timers.items():
            best[name] = min(best[name], timer.timeit(calls) / calls)
    return best


def bench_calls(zell, cfg, rows):
    noop = build_noop()
    if noop is None:
        return
    progress("call road, %d calls per timing" % cfg["calls"])
    tree = zell.newZell2D(1.0, None)
    climber = tree.getClimber()
    climber.setData(1)
    floor_object = noop.Noop()
    best = per_call({
        "depth": tree.depth,
        "getData": climber.getData,
        "dims": zell.get_all_dimensions,
        "method": floor_object.noop,
        "function": noop.noop,
        "four": noop.four,
    }, cfg["calls"], cfg["call_repeats"])
    rows.append(row("call t.depth()", best["depth"], "no-op C method", best["method"], **FLOOR_CALL))
    rows.append(row("call c.getData()", best["getData"], "no-op C method", best["method"], **FLOOR_CALL))
    rows.append(row("call get_all_dimensions()", best["dims"], "C function making [1, 2, 3, 4]", best["four"],
                    **FLOOR_CALL))


def callgrind_count(workload, count, path):
    """Instructions callgrind counts for bench/instructions.py WORKLOAD COUNT, with the address space laid out
    alike in every run (setarch -R) and the hash seed fixed, so that two runs differ only by the loop."""
    command = ["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", sys.executable,
               os.path.join(HERE, "instructions.py"), workload, str(count)]
    if shutil.which("setarch"):
        command = ["setarch", "-R"] + command
    env = dict(child_env(path), PYTHONHASHSEED="0")
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, universal_newlines=True,
                          env=env)
    found = [line for line in done.stdout.splitlines() if "Collected :" in line]
    if done.returncode != 0 or not found:
        raise RuntimeError("callgrind failed on %s:\n%s" % (workload, done.stdout[-2000:]))
    return int(found[-1].split(":")[-1])


def bench_instructions(zell, cfg, rows):
    """Instructions per operation on a tree in cache (callgrind; steadier than time on a shared machine): a
    write and a read through a climber, beside a floor of the same shape by vectorcall (a no-op function that
    makes an object, then a no-op method of it). The difference of two loop lengths cancels start-up."""
    noop = build_noop()
    if noop is None or not shutil.which("valgrind"):
        print("instruction rows skipped: " + ("no valgrind" if noop else "no no-op module"))
        return
    path = os.pathsep.join([os.path.dirname(os.path.abspath(zell.__file__)), os.path.dirname(noop.__file__)])
    low, high = cfg["instruction_loops"]
    per_op = {}
    for workload in ("write", "write_floor", "read", "read_floor"):
        progress("callgrind: %s, %d and %d loops" % (workload, low, high))
        per_op[workload] = (callgrind_count(workload, high, path) - callgrind_count(workload, low, path)) / float(
            high - low)
    rows.append(row("instructions, t.createNodeByCoord(p).setData(v)", per_op["write"],
                    "make(p).put(v), no-op by vectorcall", per_op["write_floor"], unit="instr",
                    max_ratio=1.3, target="<= 1.3"))
    rows.append(row("instructions, t.getNodeByCoord(p).getData()", per_op["read"],
                    "make(p).get(), no-op by vectorcall", per_op["read_floor"], unit="instr",
                    max_ratio=1.25, target="<= 1.25"))


# Memory ----------------------------------------------------------------------


def child_env(extra_path):
    env = dict(os.environ)
    env["PYTHONPATH"] = os.pathsep.join([p for p in [extra_path, env.get("PYTHONPATH")] if p])
    return env


def memory_child(zell, kind, size):
    """What `memory.py KIND SIZE` measured in a fresh process, as a dict."""
    done = subprocess.run([sys.executable, os.path.join(HERE, "memory.py"), kind, str(size)],
                          stdout=subprocess.PIPE, universal_newlines=True,
                          env=child_env(os.path.dirname(os.path.abspath(zell.__file__))), check=True)
    return json.loads(done.stdout.strip().splitlines()[-1])


def bench_memory(zell, cfg, rows):
    side = cfg["memory_side"]
    results = {}
    for kind in ("ours", "pytree", "dict"):
        progress("memory, %s, %dx%d level-0 cells, in a fresh process" % (kind, side, side))
        results[kind] = memory_child(zell, kind, side)

    def per(kind, what):
        r = results[kind]
        return (r["after"] - r["before"]) / float(r[what])

    nodes = results["ours"]["nodes"]
    rows.append(row("memory D=2, per node (%d nodes)" % nodes, per("ours", "nodes"), "pure-Python tree",
                    per("pytree", "nodes"), unit="B/node", **BYTES_32))
    cells = results["ours"]["level0"]
    label = "memory D=2, per level-0 cell (%d cells)" % cells
    rows.append(row(label, per("ours", "level0"), "pure-Python tree", per("pytree", "level0"), unit="B/node"))
    rows.append(row(label, per("ours", "level0"), "dict of key tuples", per("dict", "level0"),
                    unit="B/node"))
    bench_address_space(zell, cfg, rows)


def bench_address_space(zell, cfg, rows):
    """Address space beside resident memory for a D = 3 tree, and how many nodes fit under a `ulimit -v`: what
    a limit on virtual memory lets a tree hold."""
    side = cfg["cube_side"]
    progress("address space, D = 3, %d^3 level-0 cells, in a fresh process" % side)
    r = memory_child(zell, "cube", side)
    nodes = r["nodes"]
    rows.append(row("address space D=3, per node (%d nodes)" % nodes, (r["vm_after"] - r["vm_before"]) / float(nodes),
                    "resident memory per node", (r["after"] - r["before"]) / float(nodes), unit="B/node",
                    **AS_TOUCHED))
    megabytes = cfg["limit_megabytes"]
    progress("nodes under a %d MiB limit on the address space, in a fresh process" % megabytes)
    nodes = memory_child(zell, "limit", megabytes)["nodes"]
    rows.append(row("address space per node, %d nodes fit in %d MiB (ulimit -v)" % (nodes, megabytes),
                    (megabytes << 20) / float(nodes), "a node's 16 bytes", 16.0, unit="B/node", **AS_TOUCHED))


# Pruning ---------------------------------------------------------------------


def bench_prune(zell, cfg, rows):
    """prune() of trees whose objects moved on (90% of the cells that held one hold nothing): its time per node
    at two sizes (linear: the same), beside one walk over the nodes; a save after it beside one before; and the
    resident memory, in a fresh process."""
    from memory import moved_on

    per_node = {}
    for side in (cfg["prune_side"] // 2, cfg["prune_side"]):
        tree = moved_on(zell, side)
        nodes = tree.nodeCount()
        progress("prune, D = 2, %d nodes, 90%% of the cells empty" % nodes)
        best, out = race([
            Contender("ours", lambda t: t.prune(), lambda: copy.copy(tree)),
            Contender("walk", lambda t: t.nodeCount(), lambda: copy.copy(tree)),
        ], cfg["repeats"])
        per_node[side] = best["ours"] / nodes
        removed = out["ours"]
        label = "prune() D=2, %d nodes (%d removed)" % (nodes, removed)
        rows.append(row(label, best["ours"], "nodeCount(): one walk over the same nodes", best["walk"]))
    small, large = sorted(per_node)
    rows.append(row("prune() per node, %dx%d cells" % (large, large), per_node[large],
                    "per node, %dx%d cells" % (small, small), per_node[small],
                    note="a ratio near 1: time linear in the nodes"))
    kept = copy.copy(tree)
    kept.prune()
    progress("serialize after prune, D = 2")
    best, out = race([
        Contender("before", lambda _: tree.serialize()),
        Contender("after", lambda _: kept.serialize()),
    ], cfg["repeats"])
    rows.append(row("serialize() after prune(), %d of %d nodes left" % (kept.nodeCount(), tree.nodeCount()),
                    best["after"], "serialize() before it", best["before"]))

    progress("memory of prune, %dx%d cells, in a fresh process" % (large, large))
    r = memory_child(zell, "prune", large)
    nodes, left = r["nodes"], r["nodes"] - r["removed"]
    label = "resident memory, prune() of %d nodes (%d left)" % (nodes, left)
    rows.append(row(label, (r["pruned"] - r["start"]) / float(left), "before prune(), per node",
                    (r["built"] - r["start"]) / float(nodes), unit="B/node",
                    note="resident memory stays with the tree's free lists: per node left it grows"))
    grown = (r["refilled"] - r["pruned"]) / float(r["removed"])
    rows.append(row("growth after prune() back to %d nodes" % nodes, grown, "a tree's memory per node",
                    (r["built"] - r["start"]) / float(nodes), unit="B/node",
                    note="new nodes come from the free lists: resident memory grows by next to nothing"))


# The cyclic collector -----------------------------------------------------------


def bench_collect(zell, cfg, rows):
    """A full collection while a tree holds a million payloads, beside one while a second list holds the same
    objects (a first list holds them in both runs): the collector asks the tree for each payload as it asks the
    list for each item. The payloads are lists, which the collector tracks, one per level-0 cell of a D = 3
    tree."""
    count = cfg["collect_payloads"]
    side = int(round(count ** (1.0 / 3)))
    cells = [(x + 0.5, y + 0.5, z + 0.5) for x in range(side) for y in range(side) for z in range(side)]
    payloads = [[i] for i in range(len(cells))]
    progress("gc.collect() beside a tree of %d payloads, D = 3" % len(payloads))
    gc.collect()  # the cells, tuples of floats, leave the collector's lists
    held = {}

    def with_tree():
        held.clear()
        held["tree"] = zell.newZell3(1.0)
        held["tree"].setDataByCoords(cells, payloads)

    def with_list():
        held.clear()
        held["list"] = list(payloads)

    collect = lambda _: gc.collect()  # noqa: E731
    best, _ = race([Contender("tree", collect, with_tree), Contender("list", collect, with_list)], cfg["repeats"])
    held.clear()
    rows.append(row("gc.collect(), a tree of %d payloads alive" % len(payloads), best["tree"],
                    "gc.collect(), a list of the same objects alive", best["list"],
                    note="the payloads themselves are visited alike; the rest is the walk over the nodes"))


# OpenVDB ---------------------------------------------------------------------


def vdb_importable():
    done = subprocess.run([DEBIAN_PYTHON, "-c", "import pyopenvdb, numpy"], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, universal_newlines=True)
    return done.returncode == 0


def install_vdb():
    if not shutil.which("apt-get") or os.geteuid() != 0:
        return "apt-get is not available to this user"
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    install = ["apt-get", "install", "-y", "-q", "python3-openvdb"]
    for attempt in range(2):
        progress("installing python3-openvdb with apt-get")
        try:
            done = subprocess.run(install, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  universal_newlines=True, env=env, timeout=300)
        except subprocess.TimeoutExpired:
            return "apt-get install timed out"
        if done.returncode == 0:
            return None
        if attempt == 0:  # the package lists may be missing or old
            subprocess.run(["apt-get", "update", "-q"], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           env=env, timeout=300)
    return "apt-get install python3-openvdb failed: " + done.stdout.strip().splitlines()[-1]


def bench_vdb(zell, cfg, rows, may_install):
    if not os.path.exists(DEBIAN_PYTHON):
        print("OpenVDB rows left out: %s does not exist" % DEBIAN_PYTHON)
        return
    if not vdb_importable():
        if not may_install:
            print("OpenVDB rows left out: python3-openvdb is not installed (a full run installs it)")
            return
        problem = install_vdb()
        if problem or not vdb_importable():
            print("OpenVDB rows left out: python3-openvdb cannot be installed here (%s)" %
                  (problem or "its module does not import"))
            return
    # Only the module's file goes on that interpreter's path: the directory
    # it lives in may hold packages built for this interpreter.
    staging = tempfile.mkdtemp(prefix="zell-bench-")
    try:
        shutil.copy(zell.__file__, staging)
        progress("OpenVDB part under %s" % DEBIAN_PYTHON)
        cmd = [DEBIAN_PYTHON, os.path.join(HERE, "vdb.py"), "--points", str(cfg["vdb_points"]),
               "--window", str(cfg["vdb_window"]), "--repeats", str(cfg["repeats"])]
        done = subprocess.run(cmd, stdout=subprocess.PIPE, universal_newlines=True,
                              env=child_env(staging))
        if done.returncode != 0:
            print("OpenVDB rows left out: the part under %s failed (exit %d)" % (DEBIAN_PYTHON, done.returncode))
            return
        rows.extend(read_rows(done.stdout))
    finally:
        shutil.rmtree(staging, ignore_errors=True)


# Main ------------------------------------------------------------------------

PARTS = ("points", "range", "serialize", "calls", "instructions", "memory", "prune", "collect", "vdb")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="small workloads and few repeats: a smoke run")
    ap.add_argument("--json", default=os.path.join(HERE, "results.json"), help="where to write the rows")
    ap.add_argument("--no-install", action="store_true", help="do not install python3-openvdb when missing")
    ap.add_argument("--only", action="append", choices=PARTS, metavar="PART",
                    help="run only this part (may be repeated): " + ", ".join(PARTS))
    args = ap.parse_args()
    parts = args.only or PARTS
    cfg = QUICK if args.quick else FULL
    started = perf()
    warm = keep_freed_memory()
    zell = import_module()
    python = "%d.%d.%d %s" % (sys.version_info[:3] + (sys.executable,))
    print("zell_dim_1_2_3_4 bench (%s mode): module %s, Python %s" %
          ("quick" if args.quick else "full", os.path.realpath(zell.__file__), python))
    sys.stdout.flush()

    check_agreement(zell, cfg["agreement_seeds"])
    rows = []
    if "points" in parts:
        np = import_numpy()
        for dims in (2, 3):
            bench_points(zell, cfg, dims, rows, np)
    if "range" in parts:
        for kind in ("sparse", "dense"):
            bench_range(zell, cfg, kind, rows)
    if "serialize" in parts:
        bench_serialize(zell, cfg, rows)
    if "calls" in parts:
        bench_calls(zell, cfg, rows)
    if "instructions" in parts:
        bench_instructions(zell, cfg, rows)
    if "memory" in parts:
        bench_memory(zell, cfg, rows)
    if "prune" in parts:
        bench_prune(zell, cfg, rows)
    if "collect" in parts:
        bench_collect(zell, cfg, rows)
    if "vdb" in parts:
        bench_vdb(zell, cfg, rows, may_install=not (args.quick or args.no_install))

    print()
    print(table(rows))
    print()
    print("ours/alt is our time (or bytes) over the alternative's: below 1 the module does better.")
    print("Times are the best of %d runs (the pure-Python tree: %d), taken in turns; calls: best of %d "
          "timings of %d calls. OpenVDB rows run under %s." %
          (cfg["repeats"], cfg["slow_repeats"], cfg["call_repeats"], cfg["calls"], DEBIAN_PYTHON))
    print("The collector is off while a run is timed, and freed memory stays with the allocator for the "
          "next run.")
    if not warm:
        print("The allocator could not be told to keep freed memory: times include page faults unevenly.")
    notes = []
    for r in rows:
        if r.get("note") and (r["alternative"], r["note"]) not in notes:
            notes.append((r["alternative"], r["note"]))
    for alternative, note in notes:
        print("%s: %s." % (alternative, note))
    judged = [r for r in rows if r["met"] is not None]
    print("targets met: %d of %d" % (sum(1 for r in judged if r["met"]), len(judged)))
    for r in judged:
        if r["met"]:
            continue
        if r["max_ratio"] is not None:
            print("  missed: %s vs %s: ours/alt %.3f, target %s" %
                  (r["workload"], r["alternative"], r["ratio"], r["target"]))
        else:
            print("  missed: %s: %s, target %s" % (r["workload"], fmt_value(r["ours"], r["unit"]), r["target"]))
    elapsed = perf() - started
    with open(args.json, "w") as f:
        json.dump({"mode": "quick" if args.quick else "full", "python": python, "warm_allocator": warm,
                   "module": os.path.realpath(zell.__file__),
                   "date": time.strftime("%Y-%m-%dT%H:%M:%S%z"), "elapsed_s": elapsed,
                   "config": dict((k, list(v) if isinstance(v, tuple) else v) for k, v in cfg.items()),
                   "rows": rows}, f, indent=1)
    print("wrote %s in %.0f s" % (os.path.relpath(args.json), elapsed))


if __name__ == "__main__":
    main()
