"""Writes the seed inputs of the deserialize fuzzer: one small tree per
dimension with payloads at several levels, a tree with a default, and a
one-cell tree. Run once; the files are kept in the repository."""
from __future__ import print_function

import os
import sys

import zell_dim_1_2_3_4 as zell

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def seeds():
    for d in (1, 2, 3, 4):
        make = getattr(zell, "newZell%dD" % d)
        tree = make(0.5, {"default": d})
        for i in range(3):
            point = [0.3 * i - 0.6 * k for k in range(d)]
            tree.createNodeByCoord(point).setData((i, "leaf"))
        tree.createNodeByCoord([1.7] * d, 1).setData(None)
        yield "tree%d.bin" % d, tree.serialize()
        yield "cell%d.bin" % d, getattr(zell, "newZell%d" % d)(1.0).serialize()


if __name__ == "__main__":
    if not os.path.isdir(HERE):
        os.makedirs(HERE)
    for name, data in seeds():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)
        print(name, len(data), file=sys.stderr)
