// What a tree holds, asked from Python: its counts, the payloads in a
// window as a dict, and an iterator over the payloads of one level.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "core/contents.h"
#include "core/range.h"
#include "python/calls/instances.h"

namespace zell {
namespace py {

template <int D>
uint64_t nodeCountOf(Tree<D>& t) {
  return countNodes(t).nodes;
}

template <int D>
uint64_t dataCountOf(Tree<D>& t) {
  return countNodes(t).payloads;
}

// {tuple(key): payload} for the level-0 cells of the window getRange reads
// that hold a payload. Nothing is made per cell that holds none, so any
// window is taken, and no default is needed. The walk holds each payload
// it meets; the dict is built once the walk is over.
template <int D>
PyRef sparseWindowOf(Tree<D>& t, Coord<D> lo, Coord<D> hi) {
  Window<D> window = Window<D>::open(t, lo, hi);
  std::vector<std::pair<Key<D>, PyRef>> found;
  auto store = [&](const std::array<int64_t, D>& index, void* const* objects, int count) {
    Key<D> key = window.origin;
    for (int i = 0; i < D; ++i) key[i] += static_cast<uint64_t>(index[i]);
    for (int c = 0; c < count; ++c)
      if (objects[c])
        found.emplace_back(childKey<D>(key, c, 1), PyRef::borrow(static_cast<Object*>(objects[c])));
  };
  WindowWalk<D>(t, window).run(store, false);
  PyRef dict = PyRef::steal(checked(pyLib._PyDict_NewPresized
                                        ? pyLib._PyDict_NewPresized(static_cast<Ssize>(found.size()))
                                        : pyLib.PyDict_New()));
  std::unique_ptr<KeyInts> ints(new KeyInts());
  for (auto& cell : found) {
    PyRef key = PyRef::steal(keyTuple<D>(cell.first, *ints));
    if (pyLib.PyDict_SetItem(dict.get(), key.get(), cell.second.get()) != 0) raisePythonError();
  }
  return dict;
}

template <int D>
Items<D> itemsOf(Tree<D>& t, uint64_t level) {
  return Items<D>{ItemWalk<D>(t, level), ownerOf(t)};
}

// The iterator's next step: (key tuple, payload), the end, or the built-in
// RuntimeError once the tree has changed shape.
template <int D>
Object* nextItem(Object* self) noexcept {
  try {
    InstanceRef instance(headerOf(self));  // held while building the item runs code
    ItemsObject<D>& items = fieldsOf<ItemsObject<D>>(instance.get());
    Key<D> key;
    Payload payload;
    switch (items.walk.next(key, payload)) {
      case ItemWalk<D>::Step::End:
        return nullptr;
      case ItemWalk<D>::Step::ShapeChanged:
        return raiseRuntimeError("tree changed shape during iteration");
      case ItemWalk<D>::Step::Item:
        break;
    }
    PyRef object = PyRef::steal(static_cast<Object*>(payload.take()));
    if (!items.ints) items.ints.reset(new KeyInts());
    PyRef keyObject = PyRef::steal(keyTuple<D>(key, *items.ints));
    Object* item = checked(pyLib.PyTuple_New(2));
    fillNewTuple(item, 0, keyObject.release());
    fillNewTuple(item, 1, object.release());
    return item;
  } catch (...) {
    return raiseCaught(Boundary::Operation);
  }
}

template <int D>
ClassDesc Classes<D>::items{
    itemsName.text, nullptr,      &deallocNative<ItemsObject<D>>, nullptr,
    nullptr,        &nextItem<D>, instanceSize<ItemsObject<D>>(), &traverseTreeObject<ItemsObject<D>>};

}  // namespace py
}  // namespace zell
