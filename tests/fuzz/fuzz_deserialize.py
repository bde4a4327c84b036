"""Feeds mutated serializations to deserialize and checks that every load
either succeeds with a sound tree or fails leaving the tree exactly as it
was. Meant to run under the sanitizer build, where any memory error stops
the run.

    python tests/fuzz/fuzz_deserialize.py [cases] [seed]
"""
from __future__ import print_function

import os
import random
import sys

import zell_dim_1_2_3_4 as zell

CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
INTERESTING = [0x00, 0x01, 0x7f, 0x80, 0x90, 0x96, 0x9f, 0xa0, 0xbf, 0xc0, 0xc2, 0xc3,
               0xcb, 0xcc, 0xcd, 0xce, 0xcf, 0xd9, 0xda, 0xdb, 0xdc, 0xdd, 0xff]


def load_corpus():
    seeds = []
    for name in sorted(os.listdir(CORPUS)):
        with open(os.path.join(CORPUS, name), "rb") as f:
            seeds.append(bytearray(f.read()))
    return seeds


def mutate(rng, data, seeds):
    data = bytearray(data)
    for _ in range(rng.randint(1, 4)):
        choice = rng.randrange(7)
        at = rng.randrange(len(data) + 1)
        if choice == 0 and data:  # flip a bit
            at %= len(data)
            data[at] ^= 1 << rng.randrange(8)
        elif choice == 1 and data:  # an interesting byte
            data[at % len(data)] = rng.choice(INTERESTING)
        elif choice == 2:  # truncate
            del data[at:]
        elif choice == 3:  # insert bytes
            data[at:at] = bytearray(rng.randrange(256) for _ in range(rng.randint(1, 8)))
        elif choice == 4 and data:  # delete a run
            del data[at:at + rng.randint(1, 16)]
        elif choice == 5:  # splice in a piece of another seed
            other = rng.choice(seeds)
            start = rng.randrange(len(other))
            data[at:at] = other[start:start + rng.randint(1, 32)]
        else:  # a big number in a length field
            data[at:at] = bytearray([rng.choice([0xdb, 0xdd, 0xdc, 0xcf]), 0xff, 0xff, 0xff, 0xff])
    return bytes(data)


def fresh_tree(rng, d):
    tree = getattr(zell, "newZell%dD" % d)(1.0, "before")
    for _ in range(rng.randint(0, 3)):
        tree.createNodeByCoord([rng.uniform(-4, 4) for _ in range(d)]).setData(rng.random())
    return tree


def exercise(tree, d):
    """Touches every part of a loaded tree: it must be sound. Operations
    may refuse (a loaded tree need not have a default), never crash."""
    again = getattr(zell, "Zell%d" % d)()
    data = tree.serialize()
    again.deserialize(data)
    assert again.serialize() == data, "a loaded tree does not round-trip"
    lo = tree.anchor()
    edge = tree.minNodeSize()
    hi = [a + edge * 3 for a in lo]
    for operation in (lambda: tree.getRange(lo, hi),
                      lambda: tree.getNodeByCoord([a + edge * 0.5 for a in lo], 0).getData(),
                      lambda: tree.createNodeByCoord(hi).setData("after"),
                      lambda: tree.getRange([a - edge for a in lo], hi)):
        try:
            operation()
        except zell.PyGlueException:
            pass


def run(cases, seed):
    rng = random.Random(seed)
    seeds = load_corpus()
    loaded = refused = 0
    for case in range(cases):
        d = rng.randint(1, 4)
        if rng.random() < 0.05:
            data = bytes(bytearray(rng.randrange(256) for _ in range(rng.randint(0, 64))))
        else:
            data = mutate(rng, rng.choice(seeds), seeds)
        tree = fresh_tree(rng, d)
        before = tree.serialize()
        try:
            tree.deserialize(data)
        except zell.PyGlueException:
            refused += 1
            if tree.serialize() != before:
                raise AssertionError("case %d: a refused load changed the tree: %r" % (case, data))
            continue
        loaded += 1
        exercise(tree, d)
    print("fuzz: %d cases, %d loaded, %d refused" % (cases, loaded, refused))


if __name__ == "__main__":
    run(int(sys.argv[1]) if len(sys.argv) > 1 else 20000, int(sys.argv[2]) if len(sys.argv) > 2 else 1)
