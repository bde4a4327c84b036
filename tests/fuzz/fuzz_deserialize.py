"""Feeds mutated serializations to deserialize and checks that every load
either succeeds with a sound tree or fails leaving the tree exactly as it
was. The seeds are saves of small trees in every dimension, with payloads
at several levels. Meant to run under the sanitizer build, where any memory
error stops the run.

    python tests/fuzz/fuzz_deserialize.py [cases] [seed]
"""
from __future__ import print_function

import os
import random
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "compat"))
from run_compat import DIMS, ctor, sample_tree, z  # noqa: E402

INTERESTING = bytearray(b"\x00\x01\x7f\x80\x90\x96\x9f\xa0\xbf\xc0\xc2\xc3\xcb\xcc\xcd\xce\xcf\xd9\xda\xdb\xdc\xdd\xff")


def mutate(rng, data, pool):
    for _ in range(rng.randint(1, 4)):
        at, choice, other = rng.randrange(len(data) + 1), rng.randrange(7), rng.choice(pool)
        start = rng.randrange(len(other))
        if choice < 2 and data:  # flip a bit, or write an interesting byte
            data[at % len(data)] = rng.choice(INTERESTING) if choice else data[at % len(data)] ^ 1 << rng.randrange(8)
        elif choice in (2, 3):  # truncate, or delete a run
            del data[at:at + rng.randint(1, 16) if choice == 3 else None]
        else:  # insert random bytes, a piece of another seed, or a big number in a length field
            data[at:at] = [bytearray(rng.randrange(256) for _ in range(rng.randint(1, 8))), other[start:start + 32],
                           bytearray([rng.choice(bytearray(b"\xdb\xdd\xdc\xcf"))] + [255] * 4)][choice % 3]
    return bytes(data)


def run(cases, seed):
    rng, loaded = random.Random(seed), 0
    pool = [bytearray(tree.serialize()) for d in DIMS for tree in (sample_tree(d, {"default": d}), ctor(d)(1.0))]
    for case in range(cases):
        noise = bytearray(rng.randrange(256) for _ in range(rng.randint(0, 64)))  # now and then bytes of no tree at all
        d, data = rng.randint(1, 4), mutate(rng, bytearray(rng.choice(pool + [noise])), pool)
        tree = ctor(d, "D")(1.0, "before")
        tree.createNodeByCoord([rng.uniform(-4, 4) for _ in range(d)]).setData(rng.random())
        before = tree.serialize()
        try:
            tree.deserialize(data)
        except z.PyGlueException:
            assert tree.serialize() == before, "case %d: a refused load changed the tree: %r" % (case, data)
            continue
        loaded += 1  # the loaded tree must be sound: it saves and loads back, and operations may refuse, never crash
        again, lo, edge = getattr(z, "Zell%d" % d)(), tree.anchor(), tree.minNodeSize()
        again.deserialize(tree.serialize())
        assert again.serialize() == tree.serialize(), "case %d: a loaded tree does not round-trip" % case
        try:  # a loaded tree need not have a default
            tree.createNodeByCoord([a + edge * 3 for a in lo]).setData("after") or tree.getRange(
                [a - edge for a in lo], [a + edge * 3 for a in lo])
        except z.PyGlueException:
            pass
    print("fuzz: %d cases, %d loaded, %d refused" % (cases, loaded, cases - loaded))


if __name__ == "__main__":
    run(int((sys.argv[1:] or [20000])[0]), int((sys.argv[2:] or [1])[0]))
