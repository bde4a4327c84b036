#include "python/surface/travel.h"

namespace zell {
namespace py {

PyRef moduleAttribute(const char* module, const char* name) {
  PyRef imported = PyRef::steal(checked(pyLib.PyImport_ImportModule(module)));
  return PyRef::steal(checked(pyLib.PyObject_GetAttrString(imported.get(), name)));
}

void refuseClimberTravel(const char* climberClass) {
  raiseTypeError(
      std::string("a ") + climberClass +
      " belongs to its tree and cannot travel alone: send or copy the tree, then take a climber from it");
  passPythonError();
}

}  // namespace py
}  // namespace zell
