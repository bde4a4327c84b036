"""The module beside OpenVDB's Python binding (D = 3), both under the
interpreter that the binding is built for. run.py starts this part under
Debian's /usr/bin/python3 with the module's directory on PYTHONPATH and
merges the rows it prints.

    python3 vdb.py --points N --side S --window W --repeats R
"""
import argparse
import sys

import numpy as np
import pyopenvdb as vdb
from common import Contender, dump_rows, keep_freed_memory, progress, race, random_points, row

import zell_dim_1_2_3_4 as zell


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--points", type=int, default=200000)
    ap.add_argument("--side", type=int, default=1024)
    ap.add_argument("--window", type=int, default=64)
    ap.add_argument("--repeats", type=int, default=5)
    ap.add_argument("--seed", type=int, default=3)
    args = ap.parse_args()
    keep_freed_memory()
    python = "%d.%d.%d %s" % (sys.version_info[:3] + (sys.executable,))
    rows = []

    # Point writes and reads: float points for the module, the integer
    # coordinates of the same cells for the grid (cell edge 1, anchor 0).
    points = random_points(args.points, 3, float(args.side), args.seed)
    cells = [tuple(int(x) for x in p) for p in points]
    values = [float(i) for i in range(len(points))]  # exact in float32 too

    def ours_write(tree):
        create = tree.createNodeByCoord
        for p, v in zip(points, values):
            create(p).setData(v)
        return tree

    def vdb_write(grid):
        set_on = grid.getAccessor().setValueOn
        for ijk, v in zip(cells, values):
            set_on(ijk, v)
        return grid

    progress("OpenVDB: %d point writes, D = 3" % len(points))
    best, out = race([
        Contender("ours", ours_write, lambda: zell.newZell3D(1.0, 0.0)),
        Contender("vdb", vdb_write, lambda: vdb.FloatGrid(0.0)),
    ], args.repeats)
    tree, grid = out["ours"], out["vdb"]
    rows.append(row("point writes D=3, %d pts" % len(points), best["ours"], "OpenVDB accessor setValueOn",
                    best["vdb"], python=python))

    def ours_read(_):
        get = tree.getNodeByCoord
        return [get(p).getData() for p in points]

    def vdb_read(_):
        get = grid.getAccessor().getValue
        return [get(ijk) for ijk in cells]

    progress("OpenVDB: %d point reads, D = 3" % len(points))
    best, out = race([Contender("ours", ours_read), Contender("vdb", vdb_read)], args.repeats)
    if out["ours"] != out["vdb"]:
        raise SystemExit("point reads differ between the module and OpenVDB")
    rows.append(row("point reads D=3, %d pts" % len(points), best["ours"], "OpenVDB accessor getValue",
                    best["vdb"], python=python))
    tree = grid = out = None  # let both go before the next part

    # A dense window: every cell of a W^3 cube holds a value.
    w = args.window
    dense = zell.newZell3D(1.0, 0.0)
    create = dense.createNodeByCoord
    block = np.zeros((w, w, w), dtype=np.float32)
    for i in range(w):
        for j in range(w):
            for k in range(w):
                v = float((i * w + j) * w + k)
                create([i + 0.5, j + 0.5, k + 0.5]).setData(v)
                block[i, j, k] = v
    dgrid = vdb.FloatGrid(0.0)
    dgrid.copyFromArray(block, ijk=(0, 0, 0))
    lo, hi = [0.0] * 3, [float(w - 1)] * 3

    def ours_window(_):
        return dense.getRange(lo, hi)

    def vdb_copy(_):
        array = np.empty((w, w, w), dtype=np.float32)
        dgrid.copyToArray(array, ijk=(0, 0, 0))
        return array

    def vdb_loop(_):
        get = dgrid.getAccessor().getValue
        r = range(w)
        return [[[get((i, j, k)) for k in r] for j in r] for i in r]

    progress("OpenVDB: dense %d^3 window" % w)
    best, out = race([Contender("ours", ours_window), Contender("copy", vdb_copy),
                      Contender("loop", vdb_loop)], args.repeats)
    expected = block.tolist()
    if out["ours"] != expected or out["copy"].tolist() != expected or out["loop"] != expected:
        raise SystemExit("window reads differ between the module and OpenVDB")
    label = "dense window D=3, %d^3 cells" % w
    rows.append(row(label, best["ours"], "OpenVDB copyToArray (numpy)", best["copy"], python=python,
                    note="the grid answers with a float32 array, we with nested lists of Python floats"))
    rows.append(row(label, best["ours"], "OpenVDB accessor loop", best["loop"], python=python))
    dump_rows(rows)


if __name__ == "__main__":
    main()
