// How a method reaches the instance it is called on, and how trees and
// climbers become new Python instances of their classes.
#pragma once

#include <string>

#include "python/calls/binding.h"
#include "python/objects/classes.h"

namespace zell {
namespace py {

template <int D>
Object* toPy(Ref<Tree<D>> tree) {
  return newTreeObject(Classes<D>::tree, std::move(tree));
}

// A climber holds the object of its tree (an empty one holds none). Made
// in line: the climber a lookup hands over stays in registers.
template <int D>
__attribute__((always_inline)) inline Object* toPy(Climber<D> climber) {
  PyRef treeObject = climber.tree ? PyRef::borrow(ownerOf(*climber.tree)) : PyRef();
  return newPyInstance<ClimberObject<D>>(Classes<D>::climber, std::move(climber), std::move(treeObject));
}

// An iteration over the payloads of one level, and the object of the tree.
template <int D>
struct Items {
  ItemWalk<D> walk;
  Object* treeObject;
};

template <int D>
Object* toPy(Items<D> items) {
  return newPyInstance<ItemsObject<D>>(Classes<D>::items, std::move(items.walk),
                                       PyRef::borrow(items.treeObject), nullptr);
}

// A tree method whose operation takes the tree: the call holds a count on
// the tree, and an object that holds no tree refuses the call.
template <int D>
struct SelfAccess<Tree<D>&> {
  using Held = Ref<Tree<D>>;
  static const ClassDesc& cls() { return Classes<D>::tree; }
  __attribute__((always_inline)) static Held hold(NativeHeader* h) {
    Held tree = fieldsOf<TreeObject<D>>(h).tree;
    if (!tree) raiseHoldsNoTree(cls());
    return tree;
  }
  static Tree<D>& get(const Held& tree) { return *tree; }
};

// A tree method that also works on an object holding no tree.
template <int D>
struct SelfAccess<TreeObject<D>&> {
  using Held = NativeHeader*;
  static const ClassDesc& cls() { return Classes<D>::tree; }
  static Held hold(NativeHeader* h) { return h; }
  static TreeObject<D>& get(Held h) { return fieldsOf<TreeObject<D>>(h); }
};

// A climber method whose operation takes the climber record: an empty
// climber refuses the call, and so does one whose node a load replaced.
template <int D>
struct SelfAccess<Climber<D>&> {
  using Held = NativeHeader*;
  static const ClassDesc& cls() { return Classes<D>::climber; }
  __attribute__((always_inline)) static Held hold(NativeHeader* h) {
    Climber<D>& climber = get(h);
    if (!climber.tree) raiseHoldsNoTree(cls());
    climber.ensureCurrent();
    return h;
  }
  static Climber<D>& get(Held h) { return fieldsOf<ClimberObject<D>>(h).climber; }
};

// A climber method that also works on an empty climber.
template <int D>
struct SelfAccess<ClimberObject<D>&> {
  using Held = NativeHeader*;
  static const ClassDesc& cls() { return Classes<D>::climber; }
  static Held hold(NativeHeader* h) { return h; }
  static ClimberObject<D>& get(Held h) { return fieldsOf<ClimberObject<D>>(h); }
};

}  // namespace py
}  // namespace zell
