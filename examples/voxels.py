"""A voxel world in an octree: fill a solid ball, save the tree to a file,
load it into a fresh tree and read one slice back.

    python examples/voxels.py [world.bin]
"""
from __future__ import print_function

import os
import sys
import tempfile

import zell_dim_1_2_3_4 as zell

RADIUS = 6


def build():
    world = zell.newZell3D(1.0, ".")  # air is the default
    for x in range(-RADIUS, RADIUS + 1):
        for y in range(-RADIUS, RADIUS + 1):
            for z in range(-RADIUS, RADIUS + 1):
                if x * x + y * y + z * z <= RADIUS * RADIUS:
                    world.createNodeByCoord([x + 0.5, y + 0.5, z + 0.5]).setData("#")
    return world


def main(path):
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
    if len(sys.argv) > 1:
        main(sys.argv[1])
    else:
        folder = tempfile.mkdtemp()
        main(os.path.join(folder, "world.bin"))
