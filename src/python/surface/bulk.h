// Many points per call: each method gives what a loop of single calls over
// the points gives (the same objects, the same growth, the same tree), and
// refuses before the tree changes: arguments that cannot be read first,
// then the first point that a single call would refuse. Python code runs
// only before the plan is made (reading the arguments, allocating the
// result) and after the tree is whole (releasing replaced payloads,
// building results from native values).
#pragma once

#include <string>
#include <vector>

#include "core/bulk.h"
#include "python/calls/convert.h"
#include "runtime/memory.h"

namespace zell {
namespace py {

// for p, v in zip(coords, data): t.createNodeByCoord(p, level).setData(v)
template <int D>
void setDataByCoords(Tree<D>& t, Points<D> coords, PayloadList data, uint64_t level) {
  // Arguments that do not fit each other are wrong arguments: a TypeError,
  // as the binder gives.
  if (data.items.size() != coords.size()) {
    auto counted = [](size_t n, const char* what) {
      return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    raiseTypeError("setDataByCoords() takes one payload for each point: " + counted(coords.size(), "point") +
                   " and " + counted(data.items.size(), "payload") + " given");
    passPythonError();
  }
  PointPlan<D> plan(t, coords);
  // Released once the tree is whole, after the last payload is stored.
  std::vector<Payload> replaced;
  storeAtPoints(
      t, coords, plan, level, [&](size_t i) { return static_cast<void*>(data.items[i].release()); },
      [&](size_t i, void* object) { data.items[i] = PyRef::steal(static_cast<Object*>(object)); }, replaced);
}

// [t.getNodeByCoord(p, level).getData() for p in coords]
template <int D>
PyRef getDataByCoords(Tree<D>& t, Points<D> coords, uint64_t level) {
  refuseBeyondMemory(coords.size(), sizeof(Object*), "result", "payloads");
  // Made first: the allocation may run the collector's finalizers.
  PyRef list = PyRef::steal(checked(pyLib.PyList_New(static_cast<Ssize>(coords.size()))));
  PointPlan<D> plan(t, coords);
  t.grow(plan.steps());
  Object* fallback = static_cast<Object*>(t.defaultCell->payload.get());
  if (!fallback) fallback = pyLib.None;
  // Each payload's count is changed: the objects of a batch are fetched
  // while the next batch is walked, and counted after it.
  Object* pending[kPointsInFlight];
  size_t pendingFirst = 0, pendingCount = 0;
  auto fillPending = [&] {
    for (size_t k = 0; k < pendingCount; ++k) {
      incRef(pending[k]);
      fillNewList(list.get(), static_cast<Ssize>(pendingFirst + k), pending[k]);
    }
  };
  walkToPoints<D, false>(t, coords, plan, level, [&](size_t first, size_t count, Node<D>* const* nodes) {
    fillPending();
    for (size_t k = 0; k < count; ++k) {
      void* payload = nodes[k]->data.get();
      pending[k] = payload ? static_cast<Object*>(payload) : fallback;
      __builtin_prefetch(pending[k], 1);
    }
    pendingFirst = first;
    pendingCount = count;
  });
  fillPending();
  return list;
}

// [t.coordToKey(p) for p in coords]: each key as it is at its point's turn.
template <int D>
PyRef coordsToKeys(Tree<D>& t, Points<D> coords) {
  // The list and the room for the keys come first: a call on more points
  // than memory holds (an array broadcast from one point) fails at once.
  // Each key is a list of D ints, its place in the list and in the plan.
  refuseBeyondMemory(coords.size(), 64 + 16 * D, "result", "keys");
  PyRef list = PyRef::steal(checked(pyLib.PyList_New(static_cast<Ssize>(coords.size()))));
  CollectorHidden hidden(list.get());
  std::vector<Key<D>> keys(coords.size());
  // The keys are worked out before the lists are made: whatever their
  // allocations run, the list holds what the loop would have given.
  PointPlan<D> plan(t, coords);
  typename PointPlan<D>::Turns turns(plan);
  size_t i = 0;
  for (PointBlocks<D> blocks(coords); blocks.more();) {
    size_t count;
    const Coord<D>* block = blocks.next(count);
    for (size_t k = 0; k < count; ++k, ++i) {
      turns.take(block[k]);
      keys[i] = turns.keyAtTurn(block[k]);
    }
  }
  t.grow(plan.steps());
  for (i = 0; i < keys.size(); ++i) fillNewList(list.get(), static_cast<Ssize>(i), toPy(keys[i]));
  return list;
}

}  // namespace py
}  // namespace zell
