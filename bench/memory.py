"""Resident memory of one tree, measured alone in a fresh process.

    python memory.py KIND SIDE

KIND is `ours` (the module), `pytree` (the pure-Python tree) or `dict` (a
dict keyed by cell-key tuples), or `prune`: a tree before and after prune()
(see pruned()), or `cube` (virtual and resident memory of a D = 3 tree, see
cube()) or `limit` (how many nodes fit in SIDE MiB of address space, see
limited()). Every level-0 cell of the SIDE x SIDE square
at the origin (D = 2, cell edge 1) gets a node holding the same payload
object, so payloads cost nothing here. Prints one JSON object: resident
bytes before and after, and the node counts they are divided by.
"""
import gc
import json
import random
import sys

from common import rss_bytes


def node_count(side, dims=2):
    """Nodes of a tree grown from the origin cell with every cell of the
    square created: the root plus a complete child set under every ancestor
    of a created cell."""
    count, level, cells = 1, 1, side
    while cells > 1:
        cells = -(-cells // 2)  # ancestors per axis, one level up
        count += (1 << dims) * cells ** dims
        level += 1
    return count


def level0_count(side, dims=2):
    return (1 << dims) * (-(-side // 2)) ** dims


def moved_on(zell, side, keep=0.1, seed=5):
    """The tree of a simulation whose objects moved on: every cell of the SIDE x SIDE square held an object
    once, a random `keep` of them still do."""
    tree, rng = zell.newZell2(1.0), random.Random(seed)
    for i in range(side):  # a row at a time: what Python makes on the way stays small
        row = [[i + 0.5, j + 0.5] for j in range(side)]
        tree.setDataByCoords(row, [1] * side)
        for cell in row:
            if rng.random() >= keep:
                tree.getNodeByCoord(cell).extractData()
    return tree


def pruned(side):
    """Resident bytes of a moved-on tree before prune(), after it, and after as many nodes as it removed are made
    again elsewhere: the removed nodes' memory goes to the tree's free lists and is taken from there."""
    import zell_dim_1_2_3_4 as zell

    gc.collect()
    start = rss_bytes()
    tree = moved_on(zell, side)
    gc.collect()
    nodes, built = tree.nodeCount(), rss_bytes()
    removed = tree.prune()
    after = rss_bytes()
    i = 0
    while tree.nodeCount() < nodes:  # rows of a second square beside the first, until the tree is as big again
        tree.setDataByCoords([[side + i + 0.5, j + 0.5] for j in range(side)], [1] * side)
        i += 1
    print(json.dumps({"kind": "prune", "side": side, "start": start, "built": built, "pruned": after,
                      "refilled": rss_bytes(), "nodes": nodes, "removed": removed}))


def virtual_bytes():
    """The process's virtual size and its peak (VmSize, VmPeak; Linux), in bytes."""
    sizes = {}
    with open("/proc/self/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmSize", "VmPeak"):
                sizes[key] = int(value.split()[0]) * 1024
    return sizes["VmSize"], sizes["VmPeak"]


def create_cube_rows(tree, side, rows):
    """Creates the level-0 cells of the first `rows` rows (x, y) of the SIDE^3 cube at the origin, one call a
    cell."""
    create = tree.createNodeByCoord
    for row in range(rows):
        x, y = row // side + 0.5, row % side + 0.5
        for k in range(side):
            create([x, y, k + 0.5])


def cube(side):
    """Virtual and resident bytes of a D = 3 tree with every level-0 cell of the SIDE^3 cube created: what the
    address space grows by (which a `ulimit -v` bounds) beside what is touched."""
    import zell_dim_1_2_3_4 as zell

    gc.collect()
    size, _ = virtual_bytes()
    resident = rss_bytes()
    tree = zell.newZell3(1.0)
    create_cube_rows(tree, side, side * side)
    gc.collect()
    after, peak = virtual_bytes()
    print(json.dumps({"kind": "cube", "side": side, "vm_before": size, "vm_after": after, "vm_peak": peak,
                      "before": resident, "after": rss_bytes(), "nodes": tree.nodeCount()}))


def limited(megabytes):
    """Nodes a D = 3 tree reaches when the address space may grow by MEGABYTES MiB (a `ulimit -v` of what the
    process has plus that): cells of a large cube are created until memory runs out."""
    import resource

    import zell_dim_1_2_3_4 as zell

    tree = zell.newZell3(1.0)
    side = 1024
    gc.collect()
    size, _ = virtual_bytes()
    limit = size + (megabytes << 20)
    resource.setrlimit(resource.RLIMIT_AS, (limit, resource.getrlimit(resource.RLIMIT_AS)[1]))
    try:
        create_cube_rows(tree, side, side * side)
        raise SystemExit("%d MiB held the whole %d^3 cube" % (megabytes, side))
    except Exception as e:  # the module's OutOfMemDefect, or a MemoryError from the interpreter
        if not isinstance(e, MemoryError) and type(e).__name__ != "OutOfMemDefect":
            raise
    nodes = tree.nodeCount()
    resource.setrlimit(resource.RLIMIT_AS, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
    print(json.dumps({"kind": "limit", "megabytes": megabytes, "nodes": nodes}))


def main():
    kind, side = sys.argv[1], int(sys.argv[2])
    if kind == "prune":
        return pruned(side)
    if kind == "cube":
        return cube(side)
    if kind == "limit":
        return limited(side)
    payload = object()
    if kind == "ours":
        import zell_dim_1_2_3_4 as zell

        tree = zell.newZell2(1.0)
        create = tree.createNodeByCoord
    elif kind == "pytree":
        from pytree import PyTree

        tree = PyTree(2, 1.0)
        create = tree.createNodeByCoord
    elif kind == "dict":
        tree = {}
    else:
        raise SystemExit("unknown kind %r" % kind)
    gc.collect()
    before = rss_bytes()
    if kind == "dict":
        for i in range(side):
            for j in range(side):
                tree[(i, j)] = payload
    else:
        for i in range(side):
            x = i + 0.5
            for j in range(side):
                create([x, j + 0.5]).setData(payload)
    gc.collect()
    after = rss_bytes()
    nodes = side * side if kind == "dict" else node_count(side)
    if kind == "pytree" and tree.countNodes() != nodes:
        raise SystemExit("node count %d, expected %d" % (tree.countNodes(), nodes))
    if kind == "ours" and tree.depth() != (side - 1).bit_length():
        raise SystemExit("depth %d, expected %d" % (tree.depth(), (side - 1).bit_length()))
    level0 = side * side if kind == "dict" else level0_count(side)
    print(json.dumps({"kind": kind, "side": side, "before": before, "after": after,
                      "nodes": nodes, "level0": level0}))


if __name__ == "__main__":
    main()
