#include "python/surface/travel.h"

namespace zell {
namespace py {

PyRef moduleAttribute(const char* module, const char* name) {
  PyRef imported = PyRef::steal(checked(pyLib.PyImport_ImportModule(module)));
  return PyRef::steal(checked(pyLib.PyObject_GetAttrString(imported.get(), name)));
}

void stateBytes(Object* state, ByteView& out) {
  if (!isOfType(state, pyLib.PyUnicode_Type) || !pyLib.PyUnicode_AsLatin1String) return fromPy(state, out);
  out.owner = PyRef::steal(pyLib.PyUnicode_AsLatin1String(state));
  if (!out.owner) {
    passUnlessAnException();
    pyLib.PyErr_Clear();  // replaced by the error below
    raiseValue(
        "a tree's state given as text must be the latin-1 decoding of its bytes (as pickle.load(f, "
        "encoding=\"latin1\") gives for a Python 2 pickle); this text holds other characters");
  }
  fromPy(out.owner.get(), out);
}

void rememberCopy(Object* memo, Object* original, Object* copy) {
  PyRef id = PyRef::steal(checked(
      pyLib.Py_BuildValue("K", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(original)))));
  if (pyLib.PyObject_SetItem(memo, id.get(), copy) != 0) raisePythonError();
}

void refuseClimberTravel(const char* climberClass) {
  raiseTypeError(
      std::string("a ") + climberClass +
      " belongs to its tree and cannot travel alone: send or copy the tree, then take a climber from it");
  passPythonError();
}

}  // namespace py
}  // namespace zell
