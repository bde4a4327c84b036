// The Python surface of one dimension: the native operation behind every
// module function and method, their parameters, and the registration list.
// Written once over D and instantiated for D = 1 .. 4.
#pragma once

#include "pymod/binding.h"
#include "pymod/objects.h"
#include "pymod/registry.h"

namespace zell {
namespace py {

// Parameter lists, by keyword name.
constexpr const char* kMinSize[] = {"minSize"};
constexpr const char* kMinSizeAnchor[] = {"minSize", "anchor"};
constexpr const char* kMinSizeDefault[] = {"minSize", "default"};
constexpr const char* kMinSizeAnchorDefault[] = {"minSize", "anchor", "default"};
constexpr const char* kCoord[] = {"coord"};
constexpr const char* kKey[] = {"key"};

template <class Op>
constexpr Callable<Op> callable(const char* name, Op op, Params p = kNoParams) {
  return Callable<Op>{name, op, p};
}

template <int D>
struct TreeOps {
  static Ref<Tree<D>> newZell(double minSize) { return Tree<D>::create(minSize, Coord<D>{}, nullptr); }
  static Ref<Tree<D>> newZellA(double minSize, Coord<D> anchor) {
    return Tree<D>::create(minSize, anchor, nullptr);
  }
  static Ref<Tree<D>> newZellD(double minSize, PyRef deflt) {
    return Tree<D>::create(minSize, Coord<D>{}, deflt.get());
  }
  static Ref<Tree<D>> newZellAD(double minSize, Coord<D> anchor, PyRef deflt) {
    return Tree<D>::create(minSize, anchor, deflt.get());
  }
  static Coord<D> anchor(Tree<D>& t) { return t.anchor; }
  static double minNodeSize(Tree<D>& t) { return t.minNodeSize; }
  static uint64_t depth(Tree<D>& t) { return static_cast<uint64_t>(t.depth); }
  static int64_t dimensions(TreeObject<D>&) { return D; }
  static double size(Tree<D>& t) { return t.size(); }
  static Key<D> coordToKey(Tree<D>& t, Coord<D> p) { return t.coordToKey(p); }
  static Coord<D> keyToCoord(Tree<D>& t, Key<D> k) { return t.keyToCoord(k); }
};

template <int D>
struct Api {
  using T = TreeOps<D>;
  static constexpr auto nNew = nameWithDigit<D>("newZell", "");
  static constexpr auto nNewA = nameWithDigit<D>("newZell", "A");
  static constexpr auto nNewD = nameWithDigit<D>("newZell", "D");
  static constexpr auto nNewAD = nameWithDigit<D>("newZell", "AD");

  static constexpr auto newZell = callable(nNew.text, &T::newZell, params(kMinSize));
  static constexpr auto newZellA = callable(nNewA.text, &T::newZellA, params(kMinSizeAnchor));
  static constexpr auto newZellD = callable(nNewD.text, &T::newZellD, params(kMinSizeDefault));
  static constexpr auto newZellAD = callable(nNewAD.text, &T::newZellAD, params(kMinSizeAnchorDefault));

  static constexpr auto anchor = callable("anchor", &T::anchor);
  static constexpr auto minNodeSize = callable("minNodeSize", &T::minNodeSize);
  static constexpr auto depth = callable("depth", &T::depth);
  static constexpr auto dimensions = callable("dimensions", &T::dimensions);
  static constexpr auto size = callable("size", &T::size);
  static constexpr auto coordToKey = callable("coordToKey", &T::coordToKey, params(kCoord));
  static constexpr auto keyToCoord = callable("keyToCoord", &T::keyToCoord, params(kKey));

  // Registration order: the constructors, the first tree methods, the
  // climber methods, the remaining tree methods.
  static void registerAll() {
    ClassDesc& tree = Classes<D>::tree;
    ClassDesc& climber = Classes<D>::climber;
    addFunction(newZell.name, &functionHandler<newZell>);
    addFunction(newZellA.name, &functionHandler<newZellA>);
    addFunction(newZellD.name, &functionHandler<newZellD>);
    addFunction(newZellAD.name, &functionHandler<newZellAD>);
    addMethod(tree, anchor.name, &methodHandler<anchor>);
    addMethod(tree, minNodeSize.name, &methodHandler<minNodeSize>);
    addMethod(tree, depth.name, &methodHandler<depth>);
    addMethod(tree, dimensions.name, &methodHandler<dimensions>);
    addMethod(tree, size.name, &methodHandler<size>);
    declareClass(climber);
    addMethod(tree, coordToKey.name, &methodHandler<coordToKey>);
    addMethod(tree, keyToCoord.name, &methodHandler<keyToCoord>);
  }
};

}  // namespace py
}  // namespace zell
