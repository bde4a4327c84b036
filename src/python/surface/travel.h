// Trees that travel: pickling (to other processes and machines) and copies.
// A tree pickles as (newZell<D>, (1.0,), its serialization): unpickling
// makes a placeholder tree and __setstate__ gives the object the saved tree
// instead, so that nothing but the class's own functions is named in the
// pickle. copy.copy and copy.deepcopy copy the nodes natively: the payloads
// are the same objects in a shallow copy, their deep copies (sharing the
// memo) in a deep one. A climber belongs to its tree: it copies, but it
// neither pickles nor deep-copies.
#pragma once

#include <string>

#include "core/copy.h"
#include "python/calls/instances.h"
#include "python/surface/pickles.h"

namespace zell {
namespace py {

// The attribute `name` of the module named `module`, imported if needed.
PyRef moduleAttribute(const char* module, const char* name);

template <int D>
PyRef reduceTree(TreeObject<D>& self) {
  static constexpr auto constructor = nameWithDigit<D>("newZell", "");
  PyRef rebuild = moduleAttribute("zell_dim_1_2_3_4", constructor.text);
  PyRef state = PyRef::steal(toPy(saveTree(self)));
  return PyRef::steal(checked(pyLib.Py_BuildValue("(O(d)O)", rebuild.get(), 1.0, state.get())));
}

// The object takes the tree the state holds, or holds none when it is nil.
template <int D>
void setTreeState(TreeObject<D>& self, ByteView state) {
  Ref<Tree<D>> tree;
  PickleCodec codec;
  TreeReader<D>(state.bytes, codec).load(tree);
  self.tree = tree;
}

template <int D>
PyRef copyOf(TreeObject<D>& self) {
  Ref<Tree<D>> tree;
  if (self.tree)
    tree = copyTree(*self.tree, [](void* o) {
      payloadHooks.retain(o);
      return o;
    });
  return PyRef::steal(newPyInstance(Classes<D>::tree, TreeObject<D>{tree}));
}

template <int D>
PyRef deepCopyOf(TreeObject<D>& self, PyRef memo) {
  Ref<Tree<D>> tree;
  if (self.tree) {
    PyRef deepcopy = moduleAttribute("copy", "deepcopy");
    // A payload stored on two nodes stays one object in the copy.
    if (!memo || memo.get() == pyLib.None) memo = PyRef::steal(checked(pyLib.PyDict_New()));
    tree = copyTree(*self.tree, [&](void* o) -> void* {
      PyRef args = PyRef::steal(checked(pyLib.Py_BuildValue("(OO)", static_cast<Object*>(o), memo.get())));
      return checked(pyLib.PyObject_Call(deepcopy.get(), args.get(), nullptr));
    });
  }
  return PyRef::steal(newPyInstance(Classes<D>::tree, TreeObject<D>{tree}));
}

// A climber neither pickles nor deep-copies: it stands on a node of its
// tree, and a copy of that tree has other nodes.
[[noreturn]] void refuseClimberTravel(const char* climberClass);

template <int D>
PyRef refuseToTravel(ClimberObject<D>&) {
  refuseClimberTravel(Classes<D>::climberName.text);
}
template <int D>
PyRef refuseToDeepCopy(ClimberObject<D>&, PyRef) {
  refuseClimberTravel(Classes<D>::climberName.text);
}

}  // namespace py
}  // namespace zell
