// The module's classes per dimension: what their instances hold, how a
// method reaches its instance, and how trees and climbers become Python
// objects.
#pragma once

#include <string>

#include "core/climber.h"
#include "core/tree.h"
#include "pymod/binding.h"
#include "pymod/instance.h"

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
  static ClassDesc tree;
  static ClassDesc climber;
};

// Class indices: Zell1 0, Zell1Climber 1, Zell2 2, ... Zell4Climber 7.
template <int D>
ClassDesc Classes<D>::tree{treeName.text, 2 * (D - 1), &makeEmptyNative<TreeObject<D>>,
                           &destroyNative<TreeObject<D>>, {}, nullptr};
template <int D>
ClassDesc Classes<D>::climber{climberName.text, 2 * (D - 1) + 1, &makeEmptyNative<ClimberObject<D>>,
                              &destroyNative<ClimberObject<D>>, {}, nullptr};

template <int D>
Object* toPy(Ref<Tree<D>> tree) {
  return newPyInstance(Classes<D>::tree, TreeObject<D>{std::move(tree)});
}

template <int D>
Object* toPy(Climber<D> climber) {
  return newPyInstance(Classes<D>::climber, ClimberObject<D>{std::move(climber)});
}

// A tree method whose operation takes the tree: the call holds a count on
// the tree, and an object that holds no tree refuses the call.
template <int D>
struct SelfAccess<Tree<D>&> {
  using Held = Ref<Tree<D>>;
  static const ClassDesc& cls() { return Classes<D>::tree; }
  static Held hold(NativeHeader* h) {
    Held tree = fieldsOf<TreeObject<D>>(h).tree;
    if (!tree) raiseValue(std::string(cls().name) + " holds no tree");
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
  static Held hold(NativeHeader* h) {
    Climber<D>& climber = get(h);
    if (!climber.tree) raiseValue(std::string(cls().name) + " holds no tree");
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
