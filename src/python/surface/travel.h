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

// The bytes of a state: bytes as they are, and text as latin-1 decoding
// made it of a Python 2 pickle's bytes (each character one byte).
void stateBytes(Object* state, ByteView& out);

// Loads the state into this same object, as deserialize does: a climber on
// the root follows, any other made before is refused afterwards. The state
// of an object that held no tree (nil) leaves the object holding none,
// unless climbers or iterators still use its tree.
template <int D>
void setTreeState(TreeObject<D>& self, PyRef state) {
  ByteView bytes;
  stateBytes(state.get(), bytes);
  if (msgpack::Reader(bytes.bytes).nil()) {
    if (self.tree && self.tree->refs > 1)
      raiseValue("a state without a tree cannot replace a tree that climbers or iterators still use");
    Ref<Tree<D>> dropped = std::move(self.tree);  // released last: it may run code
    return;
  }
  loadTree(self, bytes);
}

template <int D>
PyRef copyOf(TreeObject<D>& self) {
  Ref<Tree<D>> tree;
  if (self.tree)
    tree = copyTree(*self.tree, [](void* o) {
      payloadHooks.retain(o);
      return o;
    });
  return PyRef::steal(newTreeObject(Classes<D>::tree, tree));
}

// memo[id(original)] = copy, as copy.deepcopy keeps it.
void rememberCopy(Object* memo, Object* original, Object* copy);

// The copy enters the memo before its payloads are copied, as the
// interpreter's own containers do: a payload that refers to the tree then
// refers to the copy. The copy holds no tree until every payload is copied.
template <int D>
PyRef deepCopyOf(TreeObject<D>& self, PyRef memo) {
  Ref<Tree<D>> source = self.tree;
  PyRef copy = PyRef::steal(newTreeObject(Classes<D>::tree, Ref<Tree<D>>()));
  if (!source) return copy;
  PyRef deepcopy = moduleAttribute("copy", "deepcopy");
  // A payload stored on two nodes stays one object in the copy.
  if (!memo || memo.get() == pyLib.None) memo = PyRef::steal(checked(pyLib.PyDict_New()));
  rememberCopy(memo.get(), instanceOfFields(self), copy.get());
  Ref<Tree<D>> tree = copyTree(*source, [&](void* o) -> void* {
    PyRef args = PyRef::steal(checked(pyLib.Py_BuildValue("(OO)", static_cast<Object*>(o), memo.get())));
    return checked(pyLib.PyObject_Call(deepcopy.get(), args.get(), nullptr));
  });
  TreeObject<D>& fields = fieldsOf<TreeObject<D>>(headerOf(copy.get()));
  if (fields.tree) raiseValue("the deep copy was given a tree while its payloads were copied");
  fields.tree = std::move(tree);
  ownTree(fields);
  return copy;
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
