"""Timing, rows and the table, shared by run.py and the parts it runs in
other processes (memory.py, vdb.py)."""
import ctypes
import gc
import json
import math
import os
import random
import sys
import time

perf = time.perf_counter


class Contender(object):
    """One way of doing a workload. `run(state)` does the timed work on what
    `prepare()` (untimed) returned and gives back a result to compare."""

    def __init__(self, name, run, prepare=None, repeats=None):
        self.name = name
        self.run = run
        self.prepare = prepare
        self.repeats = repeats


def race(contenders, repeats):
    """Best time of each contender over its repeats, taken in turns (one run
    of each per round) so that load from elsewhere on the machine hits all of
    them alike. The collector is off while a run is timed, as in timeit.
    Returns ({name: best seconds}, {name: result of the last run})."""
    best = dict((c.name, float("inf")) for c in contenders)
    results = {}
    rounds = max(c.repeats or repeats for c in contenders)
    for r in range(rounds):
        for c in contenders:
            if r >= (c.repeats or repeats):
                continue
            results[c.name] = None  # let the last result go before the next run
            state = c.prepare() if c.prepare else None
            gc.collect()
            gc.disable()
            try:
                start = perf()
                result = c.run(state)
                elapsed = perf() - start
            finally:
                gc.enable()
            del state
            best[c.name] = min(best[c.name], elapsed)
            results[c.name] = result
    return best, results


def keep_freed_memory():
    """Asks glibc's allocator to keep the memory that a run frees for the
    next run instead of handing it back to the system. Otherwise whether a
    run pays the kernel for fresh pages depends on what happened to lie at
    the top of the heap when the previous result was freed, which differs
    from one contender to the next. True when the allocator agreed."""
    try:
        libc = ctypes.CDLL(None)
        M_TRIM_THRESHOLD, M_MMAP_THRESHOLD = -1, -3
        return bool(libc.mallopt(M_TRIM_THRESHOLD, 1 << 30) and libc.mallopt(M_MMAP_THRESHOLD, 32 << 20))
    except (OSError, AttributeError):
        return False


def progress(message):
    sys.stderr.write(".. %s\n" % message)
    sys.stderr.flush()


def random_points(n, dims, side, seed):
    rng = random.Random(seed)
    u = rng.random
    return [[u() * side for _ in range(dims)] for _ in range(n)]


def last_level_cache_bytes():
    """The largest CPU cache Linux reports for the first CPU, in bytes; None where it reports none."""
    base = "/sys/devices/system/cpu/cpu0/cache"
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    sizes = []
    try:
        for name in os.listdir(base):
            if name.startswith("index"):
                with open(os.path.join(base, name, "size")) as f:
                    text = f.read().strip()
                sizes.append(int(text[:-1]) * units[text[-1]] if text[-1] in units else int(text))
    except (OSError, ValueError):
        return None
    return max(sizes) if sizes else None


def rss_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


# Rows ------------------------------------------------------------------------
#
# A row compares our figure with one alternative's: `ratio` is ours divided
# by theirs (time or bytes, so below 1 means we do better). A target is a
# bound on that ratio (`max_ratio`) or on our own figure (`max_ours`).


def row(workload, ours, alternative, theirs, unit="s", max_ratio=None, max_ours=None, target=None,
        python=None, note=None):
    ratio = ours / theirs if theirs else None
    met = None
    if max_ratio is not None and ratio is not None:
        met = ratio <= max_ratio
    if max_ours is not None:
        met = ours <= max_ours
    return {
        "workload": workload,
        "ours": ours,
        "alternative": alternative,
        "theirs": theirs,
        "unit": unit,
        "ratio": ratio,
        "target": target or "",
        "max_ratio": max_ratio,
        "max_ours": max_ours,
        "met": met,
        "python": python or "%d.%d.%d %s" % (sys.version_info[:3] + (sys.executable,)),
        "note": note,
    }


def fmt_value(value, unit):
    if value is None:
        return "-"
    if unit == "s":
        for scale, name in ((1.0, "s"), (1e-3, "ms"), (1e-6, "us"), (1e-9, "ns")):
            if value >= scale or name == "ns":
                shown = value / scale
                digits = 3 if shown < 10 else (2 if shown < 100 else 1)
                return "%.*f %s" % (digits, shown, name)
    if unit == "B/node":
        return "%.1f B" % value
    return "%.4g %s" % (value, unit)


def fmt_compare(ratio, unit):
    if ratio is None or ratio <= 0:
        return "-"
    better, worse = ("smaller", "larger") if unit == "B/node" else ("fewer", "more") if unit == "instr" else (
        "faster", "slower")
    if ratio <= 1.0:
        return "%.1fx %s" % (1.0 / ratio, better)
    return "%.2fx %s" % (ratio, worse)


COLUMNS = ("workload", "ours", "alternative", "theirs", "ours/alt", "ours vs alt", "target", "met")


def table(rows):
    lines = []
    cells = []
    for r in rows:
        met = {True: "yes", False: "NO", None: ""}[r["met"]]
        cells.append((r["workload"], fmt_value(r["ours"], r["unit"]), r["alternative"],
                      fmt_value(r["theirs"], r["unit"]),
                      "-" if r["ratio"] is None else "%.3f" % r["ratio"],
                      fmt_compare(r["ratio"], r["unit"]), r["target"], met))
    widths = [max(len(c[i]) for c in cells + [COLUMNS]) for i in range(len(COLUMNS))]

    def line(values):
        return " | ".join(v.ljust(w) for v, w in zip(values, widths)).rstrip()

    lines.append(line(COLUMNS))
    lines.append("-+-".join("-" * w for w in widths))
    for c in cells:
        lines.append(line(c))
    return "\n".join(lines)


def dump_rows(rows):
    """The last line a part prints: its rows for run.py to merge."""
    sys.stdout.write("ROWS " + json.dumps(rows) + "\n")


def read_rows(output):
    for line in reversed(output.splitlines()):
        if line.startswith("ROWS "):
            return json.loads(line[5:])
    raise ValueError("no rows in the part's output")


def finite(x):
    return not (math.isinf(x) or math.isnan(x))
