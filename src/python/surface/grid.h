// The range query's result: nested lists, one level per axis, outermost
// over axis 0, every cell first holding the tree's default. Building the
// lists may run Python code (the collector's finalizers, signal handlers),
// so the grid holds the default and every list it fills with references of
// its own.
#pragma once

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "core/range.h"
#include "python/abi/pyref.h"
#include "python/calls/errors.h"
#include "runtime/interrupts.h"
#include "runtime/memory.h"

namespace zell {
namespace py {

template <int D>
class Grid {
 public:
  // Checks the extents from the outermost axis in, as far as the lists
  // reach (an empty axis ends the checks), then allocates every list.
  Grid(const std::array<int64_t, D>& extent, PyRef fallback)
      : extent_(extent), fallback_(std::move(fallback)) {
    uint64_t cells = 1;
    for (int i = 0; i < D && cells > 0; ++i) {
      if (extent_[i] < 0) raiseRange();
      if (__builtin_mul_overflow(cells, static_cast<uint64_t>(extent_[i]), &cells)) raiseRange();
    }
    if (cells > 0) {
      if (!fallback_) raiseUnpack();
      refuseBeyondMemory(cells, sizeof(void*), "window", "cells");
      rows_.reserve(cells / static_cast<uint64_t>(extent_[D - 1]));
    }
    root_ = PyRef::steal(build(0));
  }

  // Replaces entries with new references to the objects the window walk
  // hands over (see WindowWalk): one cell, or a whole child set, whose
  // null objects leave their entries alone. The entries held the default,
  // which the grid holds too: no code runs.
  void store(const std::array<int64_t, D>& index, void* const* objects, int count) {
    if (count == 1)
      return storeCell(rows_[rowOf(index)].get(), index[D - 1], static_cast<Object*>(objects[0]));
    if (!pyLib.inPlace) return setItems(index, objects, count);
    // A set's cells c and c + kRow share a row of the result, one beside
    // the other; the row's next entries, which the walk reaches a few sets
    // on, are fetched meanwhile. What the loop reads is taken first: the
    // compiler cannot tell that the counts it writes leave them alone.
    constexpr int kRow = ChildSet<D>::kCount / 2;
    Object* fallback = fallback_.get();
    bool immortals = pyLib.immortals;
    Ssize replaced = 0;
    Object* dropped[ChildSet<D>::kCount];  // let go once every object of the set is held
    int drops = 0;
    for (int c = 0; c < kRow; ++c) {
      Object** slots = listItems(rows_[rowOf(index, c)].get()) + index[D - 1];
      __builtin_prefetch(slots + kSlotsAhead, 1);
      for (int k = 0; k < 2; ++k) {
        auto* payload = static_cast<Object*>(objects[c + k * kRow]);
        if (!payload) continue;
        layout::incrementCount(*countOf(payload), immortals);
        Object* old = std::exchange(slots[k], payload);
        if (old == fallback)
          ++replaced;
        else
          dropped[drops++] = old;
      }
    }
    replaced_ += replaced;
    for (int i = 0; i < drops; ++i) decRef(dropped[i]);
  }

  // Replaces entry `at` of the row `list` with a new reference to `payload`.
  // In place, entries are replaced in batches, each fetching its rows,
  // slots and objects before touching any: single cells of a window lie
  // scattered over memory, and waiting for them one at a time costs more
  // than the work.
  void storeCell(Object* list, int64_t at, Object* payload) {
    if (!pyLib.inPlace) {
      // Only code that dug the lists out of the collector could have changed
      // their lengths.
      incRef(payload);
      if (pyLib.PyList_SetItem(list, at, payload) != 0) raisePythonError();
      return;
    }
    // The reference is taken now: until the batch is written, the walk may
    // run code that drops the node's payload.
    incRef(payload);
    __builtin_prefetch(list);
    pending_[pendingCount_++] = Pending{list, at, payload};
    if (pendingCount_ == kBatch) flush();
  }

  // A grid given up halfway: the default's count is made right before the
  // lists let go of their items.
  ~Grid() {
    if (replaced_ && !immortal(fallback_.get())) *countOf(fallback_.get()) -= replaced_;
    for (int i = 0; i < pendingCount_; ++i) decRef(pending_[i].object);
  }

  // The whole grid, with every list known to the collector again.
  Object* release() {
    if (pyLib.inPlace) {
      flush();
      if (replaced_ && !immortal(fallback_.get())) *countOf(fallback_.get()) -= replaced_;
      replaced_ = 0;
      for (Object* list : untracked_) pyLib.PyObject_GC_Track(list);
      untracked_.clear();
    }
    return root_.release();
  }

 private:
  // A new list. Where lists are filled in place, the collector does not see
  // it until the grid is complete: it would only walk the growing grid again
  // and again, and code run by the collector cannot find it half built.
  Object* newList(int64_t size) {
    return keptFromCollector(checked(pyLib.PyList_New(static_cast<Ssize>(size))));
  }
  Object* keptFromCollector(Object* list) {
    if (pyLib.inPlace) {
      untracked_.push_back(list);
      pyLib.PyObject_GC_UnTrack(list);
    }
    return list;
  }

  struct Pending {
    Object* list;
    int64_t at;
    Object* object;
  };
  static constexpr int kBatch = 32;
  static constexpr int kSlotsAhead = 16;

  void flush() {
    Object** slots[kBatch];
    for (int i = 0; i < pendingCount_; ++i) {
      slots[i] = listItems(pending_[i].list) + pending_[i].at;
      __builtin_prefetch(slots[i], 1);
    }
    for (int i = 0; i < pendingCount_; ++i) {
      Object* old = std::exchange(*slots[i], pending_[i].object);
      if (old == fallback_.get())
        ++replaced_;  // the default's count drops once, at the end
      else
        decRef(old);
    }
    pendingCount_ = 0;
  }

  // A set stored through the interpreter's functions. Each entry replaced
  // is let go at once, which may run code that empties the set's other
  // nodes: every object of the set is held before the first is stored.
  __attribute__((noinline)) void setItems(const std::array<int64_t, D>& index, void* const* objects,
                                          int count) {
    constexpr int kRow = ChildSet<D>::kCount / 2;
    std::array<PyRef, ChildSet<D>::kCount> held;
    for (int c = 0; c < count; ++c) held[c] = PyRef::borrow(static_cast<Object*>(objects[c]));
    for (int c = 0; c < count; ++c)
      if (held[c]) {
        Object* list = rows_[rowOf(index, c % kRow)].get();
        if (pyLib.PyList_SetItem(list, index[D - 1] + c / kRow, held[c].release()) != 0) raisePythonError();
      }
  }

  // The innermost list that holds the cell at `index`, moved one step on
  // every axis whose bit `step` has.
  size_t rowOf(const std::array<int64_t, D>& index, int step = 0) const {
    size_t row = 0;
    for (int i = 0; i + 1 < D; ++i)
      row = row * static_cast<size_t>(extent_[i]) + static_cast<size_t>(index[i] + ((step >> i) & 1));
    return row;
  }

  // The lists of `axis` and below.
  Object* build(int axis) {
    if (axis == D - 1) return innermost();
    PyRef list = PyRef::steal(newList(extent_[axis]));
    for (int64_t i = 0; i < extent_[axis]; ++i) fillNewList(list.get(), i, build(axis + 1));
    return list.release();
  }

  // A row of the default: where lists are filled in place, the
  // interpreter's repetition of [default], a list the collector does not
  // see either; else each item written in turn.
  Object* innermost() {
    Object* fallback = fallback_.get();
    int64_t size = extent_[D - 1];
    poll_.step(size);
    PyRef row;
    if (size > 0 && pyLib.inPlace && pyLib.PySequence_Repeat) {  // items need a default to repeat
      if (!single_) {
        single_ = PyRef::steal(newList(1));
        incRef(fallback);
        fillNewList(single_.get(), 0, fallback);
      }
      row = PyRef::steal(checked(pyLib.PySequence_Repeat(single_.get(), static_cast<Ssize>(size))));
      keptFromCollector(row.get());
    } else {
      row = PyRef::steal(newList(size));
      for (int64_t i = 0; i < size; ++i) {
        incRef(fallback);
        fillNewList(row.get(), i, fallback);
      }
    }
    if (size > 0) rows_.push_back(row);
    return row.release();
  }

  std::array<int64_t, D> extent_;
  PyRef fallback_;  // the default object, or null
  PyRef root_;
  PyRef single_;                    // [default], repeated into rows
  std::vector<PyRef> rows_;         // innermost lists in order of their indices
  std::vector<Object*> untracked_;  // every list, until the grid is released
  Ssize replaced_ = 0;              // cells whose default gave way to a payload
  Pending pending_[kBatch];         // replacements not yet made
  int pendingCount_ = 0;
  InterruptPoll poll_;
};

// The level-0 payloads between two corners as nested lists, the default
// where a cell holds none. Building the lists runs Python code (the
// collector's finalizers, signal handlers), which may grow or load the
// tree: the window is then measured again and the lists built anew, a few
// times at most.
template <int D>
PyRef windowOf(Tree<D>& t, Coord<D> lo, Coord<D> hi) {
  for (int attempt = 1;; ++attempt) {
    Window<D> window = Window<D>::open(t, lo, hi);
    // Only growth changes the depth, and every load counts a generation. A
    // prune changes nothing the window was measured by: the walk starts from
    // the nodes there are once the lists are built.
    uint64_t loadedAt = t.loadedAt;
    int64_t depth = t.depth;
    Grid<D> grid(window.extent, PyRef::borrow(static_cast<Object*>(t.defaultCell->payload.get())));
    if (t.loadedAt != loadedAt || t.depth != depth) {
      if (attempt == 3) raiseValue("the tree kept changing while its window was being built");
      continue;
    }
    WindowWalk<D>(t, window).run(
        [&](const auto& index, void* const* objects, int count) { grid.store(index, objects, count); });
    return PyRef::steal(grid.release());
  }
}

}  // namespace py
}  // namespace zell
