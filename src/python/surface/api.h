// The Python surface of one dimension: one table per class and one of its
// module functions, each row a Python name, its operation and its
// parameters' keyword names, in the order Python sees them; what help()
// says of each is in docs.h. Written once over D and instantiated for
// D = 1 .. 4. stubs/generate.py reads the parameter names from these rows
// (string literals after the operation), so an operation written here
// holds no string literal.
#pragma once

#include "core/climber.h"
#include "core/prune.h"
#include "python/calls/binding.h"
#include "python/calls/instances.h"
#include "python/surface/bulk.h"
#include "python/surface/contents.h"
#include "python/surface/docs.h"
#include "python/surface/grid.h"
#include "python/surface/pickles.h"
#include "python/surface/travel.h"

namespace zell {
namespace py {

template <int D>
struct Constructors {
  static constexpr bool kMethods = false;
  static constexpr const auto& docs = kFunctionDocs;
  static constexpr auto kNew = nameWithDigit<D>("newZell", "");
  static constexpr auto kNewA = nameWithDigit<D>("newZell", "A");
  static constexpr auto kNewD = nameWithDigit<D>("newZell", "D");
  static constexpr auto kNewAD = nameWithDigit<D>("newZell", "AD");
  using T = Tree<D>;

  // clang-format off
  static constexpr auto rows = std::make_tuple(
      def(kNew.text, [](double minSize) { return T::create(minSize, Coord<D>{}, nullptr); }, "minSize"),
      def(kNewA.text, [](double minSize, Coord<D> a) { return T::create(minSize, a, nullptr); }, "minSize", "anchor"),
      def(kNewD.text, [](double minSize, PyRef d) { return T::create(minSize, Coord<D>{}, d.get()); }, "minSize", "default"),
      def(kNewAD.text, [](double minSize, Coord<D> a, PyRef d) { return T::create(minSize, a, d.get()); }, "minSize", "anchor", "default"));
  // clang-format on
};

template <int D>
struct TreeMethods {
  static constexpr bool kMethods = true;
  static constexpr int kDimension = D;
  static constexpr const auto& docs = kTreeDocs;
  using T = Tree<D>;
  using C = Climber<D>;

  // The key of the ...ByKey methods is read as D floats and used as a point.
  // clang-format off
  static constexpr auto rows = std::make_tuple(
      def("anchor", [](T& t) { return t.anchor; }),
      def("minNodeSize", [](T& t) { return t.minNodeSize; }),
      def("depth", [](T& t) { return static_cast<uint64_t>(t.depth); }),
      def("getClimber", &C::atRoot),
      def("dimensions", [](TreeObject<D>&) { return int64_t{D}; }),
      def("size", &T::size),
      def("coordToKey", &T::coordToKey, "coord"),
      def("keyToCoord", &T::keyToCoord, "key"),
      def("getNodeByKey", &C::getNodeByCoord, "key", Optional{"level"}),
      def("getNodeByCoord", &C::getNodeByCoord, "coord", Optional{"level"}),
      def("createNodeByKey", &C::createNodeByCoord, "key", Optional{"level"}),
      def("createNodeByCoord", &C::createNodeByCoord, "coord", Optional{"level"}),
      def("getRange", &windowOf<D>, "minCornerCoords", "maxCornerCoords"),
      def("serialize", &saveTree<D>),
      def("deserialize", &loadTree<D>, "serialized"),
      def("setDataByCoords", &setDataByCoords<D>, "coords", "data", Optional{"level"}),
      def("getDataByCoords", &getDataByCoords<D>, "coords", Optional{"level"}),
      def("coordsToKeys", &coordsToKeys<D>, "coords"),
      def("getSparseRange", &sparseWindowOf<D>, "minCornerCoords", "maxCornerCoords"),
      def("items", &itemsOf<D>, Optional{"level"}),
      def("nodeCount", &nodeCountOf<D>),
      def("dataCount", &dataCountOf<D>),
      def("prune", &prune<D>),
      def("__reduce__", &reduceTree<D>),
      def("__setstate__", &setTreeState<D>, "state"),
      def("__copy__", &copyOf<D>),
      def("__deepcopy__", &deepCopyOf<D>, "memo"));
  // clang-format on
};

template <int D>
struct ClimberMethods {
  static constexpr bool kMethods = true;
  static constexpr int kDimension = D;
  static constexpr const auto& docs = kClimberDocs;
  using C = Climber<D>;

  // No payload and no default reads as None.
  // clang-format off
  static constexpr auto rows = std::make_tuple(
      def("level", [](C& c) { return c.level; }),
      def("dimensions", [](ClimberObject<D>&) { return int64_t{D}; }),
      def("size", &C::size),
      def("climb", &C::climb, "childNr"),
      def("creativeClimb", &C::creativeClimb, "childNr"),
      def("climbClone", &C::climbClone, "childNr"),
      def("creativeClimbClone", &C::creativeClimbClone, "childNr"),
      def("getData", [](C& c) { return PyRef::borrow(static_cast<Object*>(c.dataOrDefault())); }),
      // The payload replaced is let go here, in line, once the new one is
      // in place: code its release runs sees a sound node.
      def("setData",
          [](C& c, PyRef data) { PyRef replaced = PyRef::steal(static_cast<Object*>(c.exchangeData(data.release()))); },
          "data"),
      def("extractData", [](C& c) { return PyRef::steal(static_cast<Object*>(c.extractData())); }),
      def("hasData", &C::hasData),
      def("hasChildren", &C::hasChildren),
      def("__reduce__", &refuseToTravel<D>),
      def("__copy__", [](ClimberObject<D>& c) { return c.climber; }),
      def("__deepcopy__", &refuseToDeepCopy<D>, "memo"));
  // clang-format on
};

}  // namespace py
}  // namespace zell
