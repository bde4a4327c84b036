"""Fills a quad tree from random points, counting the points per finest
cell, and draws the tree's cells and counts to a PNG (needs matplotlib).

    python examples/quadtree_picture.py [out.png]

Without a path, the picture goes to examples/output/quadtree.png.
"""
import os
import random
import sys
from typing import Iterator, List, Optional, Sequence, Tuple

import zell_dim_1_2_3_4 as zell


def fill(points: Sequence[Tuple[float, float]], half_width: float) -> zell.Zell2:
    """A tree whose root is the square of half_width around the origin, the
    centre of the points, with the number of points in each finest cell.
    A tree starts as one finest cell at its anchor and grows from there:
    growing up, then down once, leaves that first cell at the centre."""
    tree = zell.newZell2D(1.0, 0)
    tree.coordToKey([half_width - 0.5, half_width - 0.5])
    tree.coordToKey([-half_width + 0.5, -half_width + 0.5])
    for x, y in points:
        cell = tree.createNodeByCoord([x, y])
        cell.setData(cell.getData() + 1)  # the default 0 counts the first point
    return tree


def cells(tree: zell.Zell2) -> Iterator[Tuple[List[float], float, Optional[int]]]:
    """Yields (corner, edge, count or None) for every node, walking down from
    the root with climber clones."""
    todo = [(tree.getClimber(), tree.anchor())]
    while todo:
        climber, corner = todo.pop()
        edge = climber.size()
        yield corner, edge, climber.getData() if climber.level() == 0 else None
        if climber.hasChildren():
            half = edge / 2
            for child in range(4):
                offset = [half * (child & 1), half * ((child >> 1) & 1)]
                todo.append((climber.climbClone(child), [corner[0] + offset[0], corner[1] + offset[1]]))


def draw(tree: zell.Zell2, path: str) -> None:
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    from matplotlib.colors import Normalize
    from matplotlib.patches import Rectangle

    figure, axes = plt.subplots(figsize=(8, 7))
    most = max(count for _, _, count in cells(tree) if count is not None)
    norm, colours = Normalize(1, most), plt.get_cmap("viridis")
    for (x, y), edge, count in cells(tree):
        if count is None:  # a coarser node: its outline
            axes.add_patch(Rectangle((x, y), edge, edge, fill=False, linewidth=0.5, edgecolor="#555555"))
        elif count == 0:  # a finest cell made beside one that holds points
            axes.add_patch(Rectangle((x, y), edge, edge, facecolor="#f2f2f2", linewidth=0.2, edgecolor="#bbbbbb"))
        else:
            axes.add_patch(Rectangle((x, y), edge, edge, facecolor=colours(norm(count)), linewidth=0))
    x0, y0 = tree.anchor()
    axes.set_xlim(x0, x0 + tree.size())
    axes.set_ylim(y0, y0 + tree.size())
    axes.set_aspect("equal")
    axes.set_title("%d-level quad tree of %d points" % (tree.depth(), POINTS))
    figure.colorbar(plt.cm.ScalarMappable(norm, colours), ax=axes, label="points per finest cell")
    figure.savefig(path, dpi=100)


POINTS = 3000


def output_path(name: str) -> str:
    """examples/output/name: the examples' own folder, which git ignores."""
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "output")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)


if __name__ == "__main__":
    rng = random.Random(4)
    points = [(rng.gauss(0, 6), rng.gauss(0, 3)) for _ in range(POINTS)]
    tree = fill(points, 32)
    out = sys.argv[1] if len(sys.argv) > 1 else output_path("quadtree.png")
    try:
        draw(tree, out)
    except ImportError:
        print("matplotlib is not installed: pip install matplotlib to draw the picture")
        sys.exit(0)
    print("wrote", out, "- depth", tree.depth(), "anchor", tree.anchor())
