// The module's classes per dimension: their names, their descriptors and
// what their instances hold.
#pragma once

#include <memory>
#include <string>

#include "core/climber.h"
#include "core/contents.h"
#include "core/tree.h"
#include "python/objects/instance.h"

namespace zell {
namespace py {

template <int D>
struct TreeObject {
  Ref<Tree<D>> tree;  // null in an object made by calling the class
};

template <int D>
struct ClimberObject {
  Climber<D> climber;  // empty in an object made by calling the class
};

class KeyInts;  // the call road's cache of key ints (calls/convert.h)

// The iterator items() returns.
template <int D>
struct ItemsObject {
  ItemWalk<D> walk;
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
NativeHeader* makeEmptyNative(const ClassDesc& cls) {
  return newNative(cls, Fields{});
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
ClassDesc Classes<D>::tree{treeName.text, &makeEmptyNative<TreeObject<D>>, &destroyNative<TreeObject<D>>};
template <int D>
ClassDesc Classes<D>::climber{climberName.text, &makeEmptyNative<ClimberObject<D>>,
                              &destroyNative<ClimberObject<D>>};

}  // namespace py
}  // namespace zell
