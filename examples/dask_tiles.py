"""Builds one octree per tile of a point cloud on the worker processes of a
Dask cluster, sends the trees back and reads windows that cross tiles; then
does the same work in this one process and prints both times (needs
`pip install "dask[distributed]"`).

    python examples/dask_tiles.py [points] [tiles] [workers]

Each tile is a slab of the cloud along x, counted into its own octree: every
finest cell holds the number of points that fell in it. A tree travels as
its serialize() bytes, pickled.
"""
import pickle
import random
import sys
import time
from typing import TYPE_CHECKING, Any, List, Sequence

if TYPE_CHECKING:
    from distributed import Client

import zell_dim_1_2_3_4 as zell

EDGE = 64.0  # the cloud fills [0, EDGE) on every axis
CELL = 0.5   # the edge of a finest cell


def tile_tree(tile: int, tiles: int, points: int, seed: int = 1) -> zell.Zell3:
    """The octree of one slab of the cloud: its share of the points, drawn
    from their own seed, counted per finest cell."""
    rng = random.Random(seed * 1000003 + tile)
    width = EDGE / tiles
    x0 = tile * width
    tree = zell.newZell3AD(CELL, [x0, 0.0, 0.0], 0)
    for _ in range(points // tiles):
        # Points gather around a few centres, as in a scan of a few objects.
        cx, cy, cz = rng.choice(((0.3, 0.4, 0.5), (0.7, 0.6, 0.3), (0.5, 0.2, 0.8)))
        x = min(max(rng.gauss(cx * EDGE, 9.0), 0.0), EDGE - 1e-9)
        if not x0 <= x < x0 + width:
            x = x0 + rng.random() * width
        p = [x, min(max(rng.gauss(cy * EDGE, 9.0), 0.0), EDGE - 1e-9),
             min(max(rng.gauss(cz * EDGE, 9.0), 0.0), EDGE - 1e-9)]
        cell = tree.createNodeByCoord(p)
        cell.setData(cell.getData() + 1)
    return tree


def window(trees: Sequence[zell.Zell3], lo: List[float], hi: List[float]) -> List[List[List[Any]]]:
    """The finest cells between lo and hi across the tiles' trees: each tile
    answers for its slab, and the slabs follow each other along x, the
    outermost axis of a window."""
    tiles = len(trees)
    width = EDGE / tiles
    grid: List[List[List[Any]]] = []
    for tile, tree in enumerate(trees):
        x0, x1 = tile * width, (tile + 1) * width - CELL
        if hi[0] < x0 or lo[0] > x1:
            continue
        grid += tree.getRange([max(lo[0], x0)] + list(lo[1:]), [min(hi[0], x1)] + list(hi[1:]))
    return grid


def windows(trees: Sequence[zell.Zell3]) -> int:
    """A few windows that cross tiles, summed."""
    total = 0
    for i in range(8):
        lo = [EDGE * (i + 1) / 10 - 6, 20.0, 20.0]
        hi = [lo[0] + 12, 36.0, 36.0]
        total += sum(count for plane in window(trees, lo, hi) for row in plane for count in row)
    return total


def on_cluster(client: "Client", tiles: int, points: int) -> List[zell.Zell3]:
    futures = client.map(tile_tree, range(tiles), tiles=tiles, points=points)
    trees: List[zell.Zell3] = client.gather(futures)
    return trees


def main() -> None:
    points = int(sys.argv[1]) if len(sys.argv) > 1 else 2000000
    tiles = int(sys.argv[2]) if len(sys.argv) > 2 else 8
    workers = int(sys.argv[3]) if len(sys.argv) > 3 else 2
    try:
        from distributed import Client, LocalCluster
    except ImportError:
        print('Dask is not installed: pip install "dask[distributed]" to run this example')
        return

    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True) as cluster, Client(cluster) as client:
        started = time.time()
        trees = on_cluster(client, tiles, points)
        cluster_time = time.time() - started
    in_windows = windows(trees)
    shipped = sum(len(pickle.dumps(tree, pickle.HIGHEST_PROTOCOL)) for tree in trees)

    started = time.time()
    local = [tile_tree(tile, tiles, points) for tile in range(tiles)]
    local_time = time.time() - started
    assert [t.serialize() for t in local] == [t.serialize() for t in trees]
    assert windows(local) == in_windows

    print("%d points in %d tiles; %d of them in the windows across tiles" % (points, tiles, in_windows))
    print("built on %d worker processes: %.2f s; in this process: %.2f s" % (workers, cluster_time, local_time))
    print("the trees shipped back: %.1f MB pickled" % (shipped / 1e6))


if __name__ == "__main__":
    main()
