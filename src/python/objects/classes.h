// The module's classes per dimension: their names, their descriptors and
// what their instances hold.
#pragma once

#include <memory>
#include <string>

#include "core/climber.h"
#include "core/contents.h"
#include "core/references.h"
#include "core/tree.h"
#include "python/abi/pyref.h"
#include "python/objects/instance.h"

namespace zell {
namespace py {

// A tree and its Python object belong to each other: the object holds the
// tree, and the tree knows the object as its owner. What else Python can
// reach that holds the tree (climbers, iterators) holds the object too, so
// that the collector, asking each object what it holds, finds every payload
// exactly once: through the tree's object.
template <int D>
struct TreeObject {
  Ref<Tree<D>> tree;  // null in an object made by calling the class
};

template <int D>
struct ClimberObject {
  Climber<D> climber;  // empty in an object made by calling the class
  PyRef treeObject;    // the object that holds climber.tree
};

class KeyInts;  // the call road's cache of key ints (calls/convert.h)

// The iterator items() returns.
template <int D>
struct ItemsObject {
  ItemWalk<D> walk;
  PyRef treeObject;               // the object that holds the tree walked
  std::unique_ptr<KeyInts> ints;  // made at the first item
};

// Names built at compile time: a stem, the dimension digit, a suffix.
template <size_t N>
struct FixedName {
  char text[N];
};

template <int D, size_t A, size_t B>
constexpr FixedName<A + B> nameWithDigit(const char (&stem)[A], const char (&suffix)[B]) {
  FixedName<A + B> out{};
  size_t n = 0;
  for (size_t i = 0; i + 1 < A; ++i) out.text[n++] = stem[i];
  out.text[n++] = static_cast<char>('0' + D);
  for (size_t i = 0; i + 1 < B; ++i) out.text[n++] = suffix[i];
  out.text[n] = 0;
  return out;
}

template <class Fields>
Object* makeEmptyInstance(const ClassDesc& cls) {
  return newPyInstance<Fields>(cls);
}

// The object that holds `tree`: every tree Python can reach has one.
[[noreturn]] void raiseTreeWithoutObject();
template <int D>
Object* ownerOf(const Tree<D>& tree) {
  if (!tree.owner) raiseTreeWithoutObject();
  return static_cast<Object*>(tree.owner);
}

// A new tree object holding `tree` (which may be null), as its owner.
template <int D>
Object* newTreeObject(const ClassDesc& cls, Ref<Tree<D>> tree) {
  Tree<D>* held = tree.get();
  Object* o = newPyInstance<TreeObject<D>>(cls, std::move(tree));
  if (held) held->owner = o;
  return o;
}

// An object that has just been given a tree becomes its owner.
template <int D>
void ownTree(TreeObject<D>& self) {
  if (self.tree) self.tree->owner = instanceOfFields(self);
}

// The collector's questions, per class. A tree object holds the payloads
// and the default of its tree; clearing it releases them, which breaks any
// cycle through the tree. A climber or an iterator holds its tree's object.
template <int D>
int traverseTree(NativeHeader* h, Visit visit, void* arg) {
  const Ref<Tree<D>>& tree = fieldsOf<TreeObject<D>>(h).tree;
  if (!tree) return 0;
  return visitPayloads(*tree, [&](void* object) { return visit(static_cast<Object*>(object), arg); });
}
template <int D>
void clearTree(NativeHeader* h) {
  // Held: the releases may run code that drops the object's last reference.
  Ref<Tree<D>> tree = fieldsOf<TreeObject<D>>(h).tree;
  if (tree) releasePayloads(*tree);
}
template <class Fields>
int traverseTreeObject(NativeHeader* h, Visit visit, void* arg) {
  Object* treeObject = fieldsOf<Fields>(h).treeObject.get();
  return treeObject ? visit(treeObject, arg) : 0;
}

// The tree stops naming the object as its owner when the object goes.
template <int D>
void deallocTreeObject(Object* o) noexcept {
  const Ref<Tree<D>>& tree = fieldsOf<TreeObject<D>>(headerOf(o)).tree;
  if (tree && tree->owner == o) tree->owner = nullptr;
  deallocNative<TreeObject<D>>(o);
}

template <int D>
struct Classes {
  static constexpr auto treeName = nameWithDigit<D>("Zell", "");
  static constexpr auto climberName = nameWithDigit<D>("Zell", "Climber");
  static constexpr auto itemsName = nameWithDigit<D>("Zell", "ItemIterator");
  static ClassDesc tree;
  static ClassDesc climber;
  static ClassDesc items;  // defined beside its next step (surface/contents.h)
};

template <int D>
ClassDesc Classes<D>::tree{
    treeName.text, &makeEmptyInstance<TreeObject<D>>, &deallocTreeObject<D>, nullptr,      nullptr,
    nullptr,       instanceSize<TreeObject<D>>(),     &traverseTree<D>,      &clearTree<D>};
template <int D>
ClassDesc Classes<D>::climber{climberName.text,
                              &makeEmptyInstance<ClimberObject<D>>,
                              &deallocNative<ClimberObject<D>>,
                              nullptr,
                              nullptr,
                              nullptr,
                              instanceSize<ClimberObject<D>>(),
                              &traverseTreeObject<ClimberObject<D>>};

}  // namespace py
}  // namespace zell
