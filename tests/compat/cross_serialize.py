# Trees saved under one interpreter load under every other, payloads
# permitting: each interpreter writes one tree per dimension, then each
# reads what all of them wrote. A reader that cannot unpickle the writer's
# pickle protocol must refuse the load and keep its tree unchanged.
#   cross_serialize.py write DIR   |   cross_serialize.py read DIR
from __future__ import print_function

import os
import pickle
import platform
import sys

import zell_dim_1_2_3_4 as z

PAYLOADS = [None, 0, 7, -3, 2 ** 40, 1.5, (1, 2), (None, (3.25,))]


def build(d):
    tree = getattr(z, "newZell%dD" % d)(0.5, (1, "default"))
    for i, payload in enumerate(PAYLOADS):
        tree.createNodeByCoord([0.5 * i - 1.25 * k for k in range(d)]).setData(payload)
    return tree


def window(tree, d):
    lo = [-1.25 * 3] * d
    hi = [3.75] * d
    return tree.getRange(lo, hi), tree.anchor(), tree.depth()


def protocol():
    return getattr(pickle, "DEFAULT_PROTOCOL", 0)  # 2.7 writes protocol 0


def write(folder):
    for d in (1, 2, 3, 4):
        name = "%s-p%d-d%d.bin" % (platform.python_version(), protocol(), d)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(build(d).serialize())


def read(folder):
    failures = 0
    for name in sorted(os.listdir(folder)):
        writer, proto, dim = name[:-4].split("-")
        d = int(dim[1:])
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        target = getattr(z, "newZell%d" % d)(2.0)
        before = target.serialize()
        readable = int(proto[1:]) <= pickle.HIGHEST_PROTOCOL
        try:
            target.deserialize(data)
            loaded = True
        except z.PyGlueException as e:
            loaded, error = False, e
        if readable and not loaded:
            print("FAIL %s: %s" % (name, error))
            failures += 1
        elif readable and window(target, d) != window(build(d), d):
            print("FAIL %s: loaded tree differs" % name)
            failures += 1
        elif not readable and (loaded or target.serialize() != before):
            print("FAIL %s: unreadable payloads were not refused cleanly" % name)
            failures += 1
    print("%s read %d files, %d failed" % (platform.python_version(), len(os.listdir(folder)), failures))
    return failures


if __name__ == "__main__":
    if sys.argv[1] == "write":
        write(sys.argv[2])
    else:
        sys.exit(1 if read(sys.argv[2]) else 0)
