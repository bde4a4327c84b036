// The Python surface of one dimension: the native operation behind every
// module function and method, their parameters, and the registration list.
// Written once over D and instantiated for D = 1 .. 4.
#pragma once

#include "core/range.h"
#include "pymod/binding.h"
#include "persist/tree_io.h"
#include "pymod/grid.h"
#include "pymod/pickles.h"
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
constexpr const char* kCoordLevel[] = {"coord", "level"};
constexpr const char* kKeyLevel[] = {"key", "level"};
constexpr const char* kChildNr[] = {"childNr"};
constexpr const char* kData[] = {"data"};
constexpr const char* kCorners[] = {"minCornerCoords", "maxCornerCoords"};
constexpr const char* kSerialized[] = {"serialized"};

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
  static Climber<D> getClimber(Tree<D>& t) { return Climber<D>::atRoot(t); }
  // The key of the ...ByKey methods is read as D floats and used as a point.
  static Climber<D> getNode(Tree<D>& t, Coord<D> p, uint64_t level) { return Climber<D>::getNodeByCoord(t, p, level); }
  static Climber<D> createNode(Tree<D>& t, Coord<D> p, uint64_t level) {
    return Climber<D>::createNodeByCoord(t, p, level);
  }
  // The level-0 payloads between two corners as nested lists, the default
  // where a cell holds none. Building the lists runs Python code (the
  // collector's finalizers, signal handlers), which may grow or load the
  // tree: the window is then measured again and the lists built anew, a few
  // times at most.
  static PyRef getRange(Tree<D>& t, Coord<D> lo, Coord<D> hi) {
    for (int attempt = 1;; ++attempt) {
      Window<D> window = Window<D>::open(t, lo, hi);
      // Only growth changes the depth, and every load counts a generation.
      uint64_t generation = t.generation;
      int64_t depth = t.depth;
      Grid<D> grid(window.extent, PyRef::borrow(static_cast<Object*>(t.defaultCell->payload.get())));
      if (t.generation != generation || t.depth != depth) {
        if (attempt == 3) raiseValue("the tree kept changing while its window was being built");
        continue;
      }
      WindowWalk<D>(t, window).run([&](const auto& index, void* data) { grid.store(index, data); });
      return PyRef::steal(grid.release());
    }
  }

  // The whole tree, payloads pickled, as one MessagePack value; an object
  // that holds no tree writes nil.
  static std::string serialize(TreeObject<D>& self) {
    Ref<Tree<D>> tree = self.tree;
    PickleCodec codec;
    return TreeWriter<D>(codec).write(tree.get());
  }
  // Loads into this same object, all or nothing.
  static void deserialize(TreeObject<D>& self, ByteView serialized) {
    PickleCodec codec;
    TreeReader<D>(serialized.bytes, codec).load(self.tree);
  }
};

template <int D>
struct ClimberOps {
  using C = Climber<D>;
  static int64_t level(C& c) { return c.level; }
  static int64_t dimensions(ClimberObject<D>&) { return D; }
  static double size(C& c) { return c.size(); }
  static void climb(C& c, uint8_t childNr) { c.climb(childNr); }
  static void creativeClimb(C& c, uint8_t childNr) { c.creativeClimb(childNr); }
  static C climbClone(C& c, uint8_t childNr) { return c.climbClone(childNr); }
  static C creativeClimbClone(C& c, uint8_t childNr) { return c.creativeClimbClone(childNr); }
  // No payload and no default reads as None.
  static PyRef getData(C& c) { return PyRef::borrow(static_cast<Object*>(c.dataOrDefault())); }
  static void setData(C& c, PyRef data) { c.setData(data.get()); }
  static PyRef extractData(C& c) { return PyRef::steal(static_cast<Object*>(c.extractData())); }
  static bool hasData(C& c) { return c.hasData(); }
  static bool hasChildren(C& c) { return c.hasChildren(); }
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
  static constexpr auto getClimber = callable("getClimber", &T::getClimber);
  static constexpr auto getNodeByKey = callable("getNodeByKey", &T::getNode, params(kKeyLevel, 1));
  static constexpr auto getNodeByCoord = callable("getNodeByCoord", &T::getNode, params(kCoordLevel, 1));
  static constexpr auto createNodeByKey = callable("createNodeByKey", &T::createNode, params(kKeyLevel, 1));
  static constexpr auto createNodeByCoord =
      callable("createNodeByCoord", &T::createNode, params(kCoordLevel, 1));
  static constexpr auto getRange = callable("getRange", &T::getRange, params(kCorners));
  static constexpr auto serialize = callable("serialize", &T::serialize);
  static constexpr auto deserialize = callable("deserialize", &T::deserialize, params(kSerialized));

  using K = ClimberOps<D>;
  static constexpr auto cLevel = callable("level", &K::level);
  static constexpr auto cDimensions = callable("dimensions", &K::dimensions);
  static constexpr auto cSize = callable("size", &K::size);
  static constexpr auto climb = callable("climb", &K::climb, params(kChildNr));
  static constexpr auto creativeClimb = callable("creativeClimb", &K::creativeClimb, params(kChildNr));
  static constexpr auto climbClone = callable("climbClone", &K::climbClone, params(kChildNr));
  static constexpr auto creativeClimbClone =
      callable("creativeClimbClone", &K::creativeClimbClone, params(kChildNr));
  static constexpr auto getData = callable("getData", &K::getData);
  static constexpr auto setData = callable("setData", &K::setData, params(kData));
  static constexpr auto extractData = callable("extractData", &K::extractData);
  static constexpr auto hasData = callable("hasData", &K::hasData);
  static constexpr auto hasChildren = callable("hasChildren", &K::hasChildren);

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
    addMethod(tree, getClimber.name, &methodHandler<getClimber>);
    addMethod(tree, dimensions.name, &methodHandler<dimensions>);
    addMethod(tree, size.name, &methodHandler<size>);
    addMethod(climber, cLevel.name, &methodHandler<cLevel>);
    addMethod(climber, cDimensions.name, &methodHandler<cDimensions>);
    addMethod(climber, cSize.name, &methodHandler<cSize>);
    addMethod(climber, climb.name, &methodHandler<climb>);
    addMethod(climber, creativeClimb.name, &methodHandler<creativeClimb>);
    addMethod(climber, climbClone.name, &methodHandler<climbClone>);
    addMethod(climber, creativeClimbClone.name, &methodHandler<creativeClimbClone>);
    addMethod(climber, getData.name, &methodHandler<getData>);
    addMethod(climber, setData.name, &methodHandler<setData>);
    addMethod(climber, extractData.name, &methodHandler<extractData>);
    addMethod(climber, hasData.name, &methodHandler<hasData>);
    addMethod(climber, hasChildren.name, &methodHandler<hasChildren>);
    addMethod(tree, coordToKey.name, &methodHandler<coordToKey>);
    addMethod(tree, keyToCoord.name, &methodHandler<keyToCoord>);
    addMethod(tree, getNodeByKey.name, &methodHandler<getNodeByKey>);
    addMethod(tree, getNodeByCoord.name, &methodHandler<getNodeByCoord>);
    addMethod(tree, createNodeByKey.name, &methodHandler<createNodeByKey>);
    addMethod(tree, createNodeByCoord.name, &methodHandler<createNodeByCoord>);
    addMethod(tree, getRange.name, &methodHandler<getRange>);
    addMethod(tree, serialize.name, &methodHandler<serialize>);
    addMethod(tree, deserialize.name, &methodHandler<deserialize>);
  }
};

}  // namespace py
}  // namespace zell
