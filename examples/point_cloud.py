"""A million-point cloud in an octree: hand all the points to the tree in one
call, count them per finest cell, store the counts in another call, read
them back sparsely and draw the occupied cells seen from above (needs numpy
and matplotlib).

    python examples/point_cloud.py [point_cloud.png]

Without a path, the picture goes to examples/output/point_cloud.png.
"""
import os
import sys
import time
from typing import Any, Callable, List, Tuple, TypeVar

import numpy as np
import numpy.typing as npt

import zell_dim_1_2_3_4 as zell

POINTS = 1000000
CELL = 0.25  # edge of the finest cells

Result = TypeVar("Result")
# A cell's key as a tuple, and how many points fell in it.
Occupied = List[Tuple[Tuple[int, int, int], int]]


def make_cloud(rng: np.random.Generator) -> npt.NDArray[np.float64]:
    """Three Gaussian blobs and a noisy ring around them, as an (N, 3) array."""
    blobs = [((-3.0, 2.0, 1.0), 0.8, 0.3), ((3.0, -1.0, 0.0), 1.2, 0.3), ((0.0, -4.0, 2.0), 0.4, 0.1)]
    parts = []
    for centre, spread, share in blobs:
        parts.append(rng.normal(centre, spread, size=(int(POINTS * share), 3)))
    ring = POINTS - sum(len(p) for p in parts)
    angle = rng.uniform(0, 2 * np.pi, ring)
    radius = 7.0 + rng.normal(0, 0.3, ring)
    parts.append(np.column_stack([radius * np.cos(angle), radius * np.sin(angle), rng.normal(0, 0.5, ring)]))
    return np.concatenate(parts)


def count_cells(cloud: npt.NDArray[np.float64]) -> zell.Zell3:
    """A tree holding, on each finest cell that points fell in, how many did.

    The tree is anchored at the cloud's lowest corner, so it only ever grows
    upward and keeps that anchor: a key names the same cell before and after
    any growth. (A tree that grows below its anchor shifts its keys, and
    coordsToKeys would then return keys of an older layout for the points
    it met before that growth.)"""
    corner = np.floor(cloud.min(axis=0) / CELL) * CELL
    tree = zell.newZell3AD(CELL, corner.tolist(), 0)  # an empty cell reads as 0 points

    # One call takes every point: the tree grows to it and gives its cell's
    # key. Most of its time is Python's: making a million small key lists,
    # which set off the garbage collector again and again.
    keys = step("coordsToKeys: a million points in one call", tree.coordsToKeys, cloud)
    cells, counts = step("numpy: points per cell", np.unique, np.array(keys), axis=0, return_counts=True)
    centres = corner + (cells + 0.5) * CELL  # storing by the centre keeps clear of rounding at cell edges
    step("setDataByCoords: one count per occupied cell", tree.setDataByCoords, centres, counts.tolist())
    return tree


def step(what: str, function: Callable[..., Result], *args: Any, **kwargs: Any) -> Result:
    """Calls function, printing how long it took."""
    start = time.perf_counter()
    result = function(*args, **kwargs)
    print("%-46s %8.1f ms" % (what, (time.perf_counter() - start) * 1e3))
    return result


def report(tree: zell.Zell3) -> Occupied:
    """Reads the counts back: every occupied cell, and the cells in one box."""
    occupied = step("items(): every occupied cell", lambda: list(tree.items()))
    print("  %d cells occupied, %d points in them; the tree has %d nodes, %d holding a count" %
          (len(occupied), sum(count for _, count in occupied), tree.nodeCount(), tree.dataCount()))
    key, most = max(occupied, key=lambda item: item[1])
    centre = [x + CELL / 2 for x in tree.keyToCoord(list(key))]
    print("  busiest cell: key %s, centre (%.3f, %.3f, %.3f), %d points" % ((key,) + tuple(centre) + (most,)))

    # A box around the small, tight blob at (0, -4, 2): only the cells that
    # hold a count come back, by key, however large the box.
    box = step("getSparseRange: the box around one blob", tree.getSparseRange, [-1.5, -5.5, 0.5], [1.5, -2.5, 3.5])
    print("  %d occupied cells in the box, %d points" % (len(box), sum(box.values())))
    return occupied


def draw(tree: zell.Zell3, occupied: Occupied, path: str) -> None:
    """Seen from above: each column of cells coloured by the points in it."""
    import matplotlib

    matplotlib.use("Agg")  # draws to a file, no screen needed
    import matplotlib.pyplot as plt
    from matplotlib.colors import LogNorm

    keys = np.array([key for key, _ in occupied])
    counts = np.array([count for _, count in occupied])
    columns = np.zeros((keys[:, 0].max() + 1, keys[:, 1].max() + 1))
    np.add.at(columns, (keys[:, 0], keys[:, 1]), counts)  # add up the cells along z
    x0, y0, _ = tree.anchor()
    extent = (x0, x0 + columns.shape[0] * CELL, y0, y0 + columns.shape[1] * CELL)

    figure, axes = plt.subplots(figsize=(8, 7))
    picture = axes.imshow(np.ma.masked_equal(columns, 0).T, origin="lower", extent=extent, norm=LogNorm(),
                          cmap="viridis", interpolation="nearest")
    axes.set_title("%d points in %d cells of edge %g, from above" % (POINTS, len(occupied), CELL))
    axes.set_xlabel("x")
    axes.set_ylabel("y")
    figure.colorbar(picture, ax=axes, label="points per column of cells")
    figure.savefig(path, dpi=100)


def output_path(name: str) -> str:
    """examples/output/name: the examples' own folder, which git ignores."""
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "output")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)


def main(path: str) -> None:
    started = time.perf_counter()
    cloud = step("numpy: a cloud of a million points", make_cloud, np.random.default_rng(7))
    tree = count_cells(cloud)
    occupied = report(tree)
    step("matplotlib: the picture", draw, tree, occupied, path)
    print("wrote %s in %.1f s" % (path, time.perf_counter() - started))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else output_path("point_cloud.png"))
