"""One workload of the instruction rows, run N times, for callgrind to count:

    python instructions.py WORKLOAD N

bench/run.py runs it under `valgrind --tool=callgrind` at two counts and
takes the difference, so that start-up and the loop's set-up cancel out.
WORKLOAD is one of WORKLOADS; the module, and for the floors the no-op
module bench/run.py builds, are found through PYTHONPATH."""
import gc
import sys

POINTS = [[x + 0.5, y + 0.5] for x in range(4) for y in range(4)]


def tree():
    import zell_dim_1_2_3_4 as zell

    t = zell.newZell2(1.0)
    for p in POINTS:
        t.createNodeByCoord(p).setData(1)
    return t


def write(n):
    t, value = tree(), 2
    create = t.createNodeByCoord
    for i in range(n):
        create(POINTS[i & 15]).setData(value)


def read(n):
    t = tree()
    lookup = t.getNodeByCoord
    for i in range(n):
        lookup(POINTS[i & 15]).getData()


def write_floor(n):
    import zellbench_noop

    make, value = zellbench_noop.make, 2
    for i in range(n):
        make(POINTS[i & 15]).put(value)


def read_floor(n):
    import zellbench_noop

    make = zellbench_noop.make
    for i in range(n):
        make(POINTS[i & 15]).get()


WORKLOADS = {"write": write, "read": read, "write_floor": write_floor, "read_floor": read_floor}

if __name__ == "__main__":
    gc.disable()  # no collection lands in one count and not in the other
    WORKLOADS[sys.argv[1]](int(sys.argv[2]))
