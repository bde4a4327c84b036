// The building of the module's class objects from their descriptors, and
// their registration in the module.
#pragma once

#include <cstddef>

#include "python/objects/instance.h"

namespace zell {
namespace py {

// Makes the classes known to the instance lookup, in the order given; runs
// once, at the first import.
void registerClasses(ClassDesc* const* classes, size_t count);

// Builds every class object once; later imports reuse them.
void buildClasses(ClassDesc* const* classes, size_t count);

// Builds every class object once (later imports reuse them) and adds the
// classes to `module` in the order given.
void addClasses(Object* module, ClassDesc* const* classes, size_t count);

}  // namespace py
}  // namespace zell
