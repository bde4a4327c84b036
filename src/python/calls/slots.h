// The type slots shared by the module's classes: besides the method
// handlers and each class's tp_dealloc (ClassDesc::dealloc), the only
// places where the interpreter calls into the module.
#pragma once

#include "python/abi/capi.h"
#include "python/objects/instance.h"

namespace zell {
namespace py {

// tp_new: calling a class directly ignores its arguments and gives an
// instance that holds no tree.
Object* newInstanceOfType(Object* type, Object* args, Object* kwargs) noexcept;
// tp_iter of an iterator: the iterator itself.
Object* iterateSelf(Object* o) noexcept;
// tp_free: never needed (see slots.cpp).
void freeNativeObj(void* memory) noexcept;
// tp_traverse and tp_clear: what the class answers for the instance.
int traverseInstance(Object* o, Visit visit, void* arg) noexcept;
int clearInstance(Object* o) noexcept;

}  // namespace py
}  // namespace zell
