"""Random operations on shared trees from several threads, with payloads
whose pickling, unpickling and finalizers call back into the same trees.

    python reentry_stress.py [seconds] [threads] [seed]

Every save must load back to the very bytes it was (the payloads pickle
stably), and nothing may fail but the refusals the module documents. Prints
the counts and exits non-zero on any failure. Run it on the sanitizer build
with PYTHONMALLOC=malloc so that a use of freed memory is reported.
"""
import ctypes
import gc
import random
import sys
import threading
import time

import zell_dim_1_2_3_4 as zell

# Refusals the module documents for changes it cannot make safe; then climbers whose node a load
# replaced, and the object made by calling the class before anything is loaded into it.
REFUSALS = ("the tree kept changing while its window was being built",
            "another load gave this object a tree while this one was read",
            "prune() cannot run while the tree is being saved, copied or read")
STALE = ("the climber's node was replaced when the tree was loaded", "Zell2 holds no tree",
         "tree changed shape during iteration", "the climber's node may have been removed when the tree was pruned",
         "the climber's node was replaced when the tree was loaded, or removed when it was pruned")
local, failures, trees, blobs, climbers = threading.local(), [], [], [], []
counts = dict.fromkeys(["operations", "refusals", "stale or empty", "failures"], 0)


class Hook(object):
    """A payload that acts on the shared trees when made, pickled or collected."""

    def __init__(self, value):
        self.value = value
        act(hook=True)

    def __reduce__(self):
        act(hook=True)
        return (Hook, (self.value,))

    def __del__(self):
        act(hook=True)


class Payloads(object):
    """A sequence of payloads that acts on the shared trees as it is read."""

    def __init__(self, n):
        self.n = n

    def __len__(self):
        return self.n

    def __getitem__(self, i):
        if i >= self.n:
            raise IndexError(i)
        act(hook=True)
        return Hook(i) if i % 3 else i


def many(rng, p):
    """Points around p, as a list or as a buffer (a ctypes array)."""
    points = [[x + rng.uniform(-6.0, 6.0) for x in p] for _ in range(rng.randrange(40))]
    return rng.choice([lambda: points, lambda: (ctypes.c_double * 2 * len(points))(*map(tuple, points))])()


def write_many(tree, coords, level):
    tree.setDataByCoords(coords, Payloads(len(coords)), level)


def save(tree):
    blob = tree.serialize()
    copy = zell.Zell2()
    copy.deserialize(blob)  # an object that holds no tree writes nil, and loading nil leaves the copy empty
    assert copy.serialize() == blob, "a save did not load back to itself"
    blobs[:] = blobs[-7:] + [blob]


def operation(rng):
    tree, p, c = rng.choice(trees), [rng.uniform(-40.0, 40.0) for _ in range(2)], rng.choice(climbers or [None])
    rng.choice([
        lambda: tree.createNodeByCoord(p, rng.choice([0, 0, 1])).setData(rng.choice([Hook, int])(rng.randrange(1000))),
        lambda: tree.getNodeByCoord(p).getData(), lambda: tree.coordToKey(p), lambda: save(tree),
        lambda: tree.getRange(p, [x + rng.uniform(0.0, 12.0) for x in p]),
        lambda: blobs and tree.deserialize(rng.choice(blobs)), lambda: rng.random() < 0.1 and gc.collect(),
        lambda: climbers.append(tree.getNodeByCoord(p)) or climbers.__delitem__(slice(0, -16)),
        lambda: write_many(tree, many(rng, p), rng.choice([0, 0, 1])),
        lambda: tree.getDataByCoords(many(rng, p)), lambda: tree.coordsToKeys(many(rng, p)),
        lambda: tree.getSparseRange(p, [x + rng.uniform(0.0, 30.0) for x in p]),
        lambda: [tree.nodeCount(), tree.dataCount()] + [item for item in tree.items(rng.choice([0, 0, 1]))],
        lambda: (tree.getNodeByCoord(p).hasData() and tree.getNodeByCoord(p).extractData(), tree.prune()),
        lambda: c and rng.choice([c.getData, c.hasChildren, lambda: c.setData(Hook(1)),
                                  lambda: c.hasData() and c.extractData(),
                                  lambda: c.level() > 0 and c.creativeClimbClone(rng.randrange(4))])()])()


def act(hook=False):
    """One random operation; from a payload's hook (at most two deep, now and then) it may let another
    thread in first."""
    if hook and (getattr(local, "depth", 0) >= 2 or random.random() > 0.05 or not trees):
        return
    time.sleep(0) if hook and random.random() < 0.3 else None
    local.depth = getattr(local, "depth", 0) + 1
    try:
        operation(random.Random(random.random()))
        counts["operations"] += 1
    except Exception as error:  # every error but the documented refusals is a failure
        message = isinstance(error, (zell.PyGlueException, RuntimeError)) and str(error).split("encountered: ", 1)[-1]
        kind = "stale or empty" if message in STALE else "refusals" if message in REFUSALS else "failures"
        counts[kind] += 1
        failures.extend([repr(error)] * (kind == "failures"))
    finally:
        local.depth -= 1


def run(stop_at):
    while time.time() < stop_at:
        act()


if __name__ == "__main__":
    seconds, threads = float((sys.argv[1:] or [10])[0]), int((sys.argv[2:] or [3])[0])
    random.seed(int((sys.argv[3:] or [1])[0]))
    trees.extend([zell.newZell2D(1.0, "d0"), zell.newZell2AD(0.3, [0.1, -7.7], Hook(0)), zell.Zell2()])
    getattr(sys, "setswitchinterval", lambda _: None)(1e-5)  # switch threads as often as the interpreter allows
    workers = [threading.Thread(target=run, args=(time.time() + seconds,)) for _ in range(threads)]
    for worker in workers + workers:  # start all, then wait for all
        worker.join() if worker.ident else worker.start()
    del trees[:], blobs[:], climbers[:]  # finalizers run after the run has ended find no trees
    gc.collect()
    print("re-entry stress, %d threads, %.0f s: %s" % (threads, seconds, ", ".join(
        "%s %d" % item for item in sorted(counts.items()))) + "".join("\n  failure: " + text for text in failures[:5]))
    sys.exit(counts["failures"] > 0 or counts["operations"] < 100 or counts["refusals"] * 20 > counts["operations"])
