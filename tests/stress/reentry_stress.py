"""Random operations on shared trees from several threads, with payloads
whose pickling, unpickling and finalizers call back into the same trees.

    python reentry_stress.py [seconds] [threads] [seed]

Every save must load back to the very bytes it was (the payloads pickle
stably), and nothing may fail but the refusals the module documents. Prints
the counts and exits non-zero on any failure. Run it on the sanitizer build
with PYTHONMALLOC=malloc so that a use of freed memory is reported.
"""
import gc
import random
import sys
import threading
import time

import zell_dim_1_2_3_4 as zell

# Refusals the module documents for changes it cannot make safe.
REFUSALS = (
    "the tree kept changing while its window was being built",
    "another load gave this object a tree while this one was read",
)
STALE = "the climber's node was replaced when the tree was loaded"
EMPTY = "Zell2 holds no tree"  # the object made by calling the class, before a load

local = threading.local()
counts = {"operations": 0, "refusals": 0, "stale climbers": 0, "failures": 0, "hooks": 0}
failures = []
trees = []
blobs = []
climbers = []


class Hook(object):
    """A payload that acts on the shared trees when made, pickled or collected."""

    def __init__(self, value):
        self.value = value
        act_from_hook()

    def __reduce__(self):
        act_from_hook()
        return (Hook, (self.value,))

    def __del__(self):
        act_from_hook()


def act_from_hook():
    depth = getattr(local, "depth", 0)
    if depth >= 2 or random.random() > 0.05:
        return
    counts["hooks"] += 1
    if random.random() < 0.3:
        time.sleep(0)  # let another thread in while an operation is under way
    act()


def point(rng):
    return [rng.uniform(-40.0, 40.0) for _ in range(2)]


def check_round_trip(blob):
    if blob == b"\xc0":  # an object that holds no tree yet
        return
    copy = zell.newZell2(1.0)
    copy.deserialize(blob)
    if copy.serialize() != blob:
        raise AssertionError("a save did not load back to itself")


def operation(rng):
    if not trees:  # finalizers run after the run has ended
        return
    tree = rng.choice(trees)
    kind = rng.randrange(10)
    if kind == 0:
        payload = Hook(rng.randrange(1000)) if rng.random() < 0.5 else rng.randrange(1000)
        tree.createNodeByCoord(point(rng), rng.choice([0, 0, 1])).setData(payload)
    elif kind == 1:
        tree.getNodeByCoord(point(rng)).getData()
    elif kind == 2:
        lo = point(rng)
        tree.getRange(lo, [x + rng.uniform(0.0, 12.0) for x in lo])
    elif kind == 3:
        blob = tree.serialize()
        check_round_trip(blob)
        blobs.append(blob)
        del blobs[:-8]
    elif kind == 4 and blobs:
        tree.deserialize(rng.choice(blobs))
    elif kind == 5:
        climbers.append(tree.getNodeByCoord(point(rng)))
        del climbers[:-16]
    elif kind == 6 and climbers:
        climber = rng.choice(climbers)
        rng.choice([climber.getData, climber.hasChildren, lambda: climber.setData(Hook(1)),
                    lambda: climber.creativeClimbClone(rng.randrange(4)) if climber.level() > 0 else None])()
    elif kind == 7:
        tree.coordToKey(point(rng))
    elif kind == 8 and climbers:
        climber = rng.choice(climbers)
        if climber.hasData():
            climber.extractData()
    elif kind == 9 and rng.random() < 0.1:
        gc.collect()


def act():
    local.depth = getattr(local, "depth", 0) + 1
    rng = random.Random(random.random())
    try:
        operation(rng)
        counts["operations"] += 1
    except zell.PyGlueException as error:
        message = str(error).split("Unexpected error encountered: ", 1)[-1]
        if message in (STALE, EMPTY):
            counts["stale climbers"] += message == STALE
        elif message in REFUSALS:
            counts["refusals"] += 1
        else:
            fail(error)
    except Exception as error:  # noqa: BLE001 (every other error is a failure)
        fail(error)
    finally:
        local.depth -= 1


def fail(error):
    counts["failures"] += 1
    failures.append(repr(error))


def run(seconds, stop_at):
    while time.time() < stop_at:
        act()


def main():
    seconds = float(sys.argv[1]) if len(sys.argv) > 1 else 10.0
    threads = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    random.seed(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    trees.extend([zell.newZell2D(1.0, "d0"), zell.newZell2AD(0.3, [0.1, -7.7], Hook(0)), zell.Zell2()])
    if hasattr(sys, "setswitchinterval"):  # switch threads as often as the interpreter allows
        sys.setswitchinterval(1e-5)
    stop_at = time.time() + seconds
    workers = [threading.Thread(target=run, args=(seconds, stop_at)) for _ in range(threads)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join()
    del trees[:], blobs[:], climbers[:]
    gc.collect()
    print("re-entry stress, %d threads, %.0f s: %s" % (threads, seconds, ", ".join(
        "%s %d" % item for item in sorted(counts.items()))))
    for text in failures[:5]:
        print("  failure: " + text)
    if counts["failures"] or counts["operations"] < 100 or counts["refusals"] * 20 > counts["operations"]:
        sys.exit(1)


if __name__ == "__main__":
    main()
