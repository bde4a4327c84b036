"""A voxel world in an octree: fill a solid ball, save the tree to a file,
load it into a fresh tree and read one slice back.

    python examples/voxels.py [world.bin]

Without a path, the tree goes to examples/output/world.bin.
"""
import os
import sys

import zell_dim_1_2_3_4 as zell

RADIUS = 6


def build() -> zell.Zell3:
    world = zell.newZell3D(1.0, ".")  # air is the default
    for x in range(-RADIUS, RADIUS + 1):
        for y in range(-RADIUS, RADIUS + 1):
            for z in range(-RADIUS, RADIUS + 1):
                if x * x + y * y + z * z <= RADIUS * RADIUS:
                    world.createNodeByCoord([x + 0.5, y + 0.5, z + 0.5]).setData("#")
    return world


def output_path(name: str) -> str:
    """examples/output/name: the examples' own folder, which git ignores."""
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "output")
    os.makedirs(folder, exist_ok=True)
    return os.path.join(folder, name)


def main(path: str) -> None:
    world = build()
    with open(path, "wb") as f:
        f.write(world.serialize())
    loaded = zell.newZell3(1.0)
    with open(path, "rb") as f:
        loaded.deserialize(f.read())
    print("saved %d bytes to %s; depth %d, anchor %s" % (os.path.getsize(path), path, loaded.depth(), loaded.anchor()))
    # The slice z = 0: a window one cell thick, outermost axis x.
    grid = loaded.getRange([-RADIUS, -RADIUS, 0.0], [RADIUS, RADIUS, 0.0])
    for y in range(len(grid[0]) - 1, -1, -1):
        print(" ".join(grid[x][y][0] for x in range(len(grid))))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else output_path("world.bin"))
