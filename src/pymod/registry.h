// The module's descriptors: its functions and classes in registration
// order, filled once before the module object exists, and the building of
// the module and its class objects from them.
#pragma once

#include <vector>

#include "pymod/instance.h"

namespace zell {
namespace py {

struct ModuleDesc {
  const char* name;
  const char* doc;
  std::vector<MethodDef> functions;
  std::vector<ClassDesc*> types;  // position = class index
};

// The descriptor being filled; registering while it is null is an internal
// error.
extern ModuleDesc* curModuleDef;

void addFunction(const char* name, Handler handler);
// Appends the class at its index the first time it is met.
void declareClass(ClassDesc& cls);
void addMethod(ClassDesc& cls, const char* name, Handler handler);

// Builds every class object once (later calls reuse them) and adds the
// classes to `module`.
void addClasses(Object* module);

}  // namespace py
}  // namespace zell
