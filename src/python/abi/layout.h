// The interpreter's data layouts that this module relies on, written out
// here because the module includes no interpreter header. Every offset is
// counted from the start of the object as the interpreter sees it, before
// adding the object-header offset of a reference-tracing build. A checker
// compiled against each interpreter's own headers proves them (tests/layout).
// Kept valid C++11 so that the checker can include it beside old headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zell {
namespace layout {

// Object header: reference count, then type.
const size_t kObjectRefcnt = 0;
const size_t kObjectType = 8;
// Variable-size object: the item count follows the header.
const size_t kVarSize = 16;

// A float's value, a list's item array (ob_item) and a tuple's items, which
// the tuple holds itself; from 3.14 on a tuple caches its hash before them.
const size_t kFloatValue = 16;
const size_t kListItems = 24;
const size_t kTupleItems = 24;
const size_t kTupleItemsAfterHash = 32;
inline size_t tupleItems(int major, int minor) {
  return major == 3 && minor >= 14 ? kTupleItemsAfterHash : kTupleItems;
}

// From 3.12 on some objects are immortal (immortalCount).
inline bool immortals(int major, int minor) { return major == 3 && minor >= 12; }

// Reference counts changed in place, where the layout check proves them
// equal to the interpreter's own changes. From 3.12 on, an object whose low
// 32 count bits read as negative is immortal and its count never changes;
// from 3.14 on only those 32 bits count references, the high ones holding
// flags.
inline bool immortalCount(int64_t count, bool immortals) {
  return immortals && static_cast<int32_t>(count) < 0;
}
inline void incrementCount(int64_t& count, bool immortals) {
  if (!immortalCount(count, immortals)) ++count;
}
// False, leaving the count alone, when the reference may be the object's
// last: only the interpreter may then give it back and free the object. The
// low 32 bits decide on every version: above 1 the whole count is too, and
// the decrement borrows nothing from the high ones.
inline bool decrementCount(int64_t& count, bool immortals) {
  if (immortalCount(count, immortals)) return true;
  if (static_cast<uint32_t>(count) <= 1) return false;
  --count;
  return true;
}

// Type object slots that the module fills.
const size_t kTypeName = 24;       // tp_name
const size_t kTypeBasicSize = 32;  // tp_basicsize
const size_t kTypeDealloc = 48;    // tp_dealloc
const size_t kTypeFlags = 168;     // tp_flags (8 bytes; 4 and padding on Windows)
const size_t kTypeFlagsSize = 8;
const size_t kTypeTraverse = 184;  // tp_traverse
const size_t kTypeClear = 192;     // tp_clear
// The flag of a class whose instances the cyclic collector tracks
// (Py_TPFLAGS_HAVE_GC), the same bit on every version.
const uint64_t kTypeHasCollectorFlag = uint64_t(1) << 14;
const size_t kTypeIter = 216;      // tp_iter
const size_t kTypeIterNext = 224;  // tp_iternext
const size_t kTypeMethods = 232;   // tp_methods
const size_t kTypeNew = 312;       // tp_new
const size_t kTypeFree = 320;      // tp_free
// Bytes allocated for a type object: more than any interpreter's
// PyTypeObject (416 bytes at most so far).
const size_t kTypeAllocSize = 512;

// A buffer's description (Py_buffer), which is no object: no header
// offset applies. Room for it: more than any interpreter's (96 bytes at
// most so far).
const size_t kBufferBuf = 0;
const size_t kBufferItemSize = 24;
const size_t kBufferNdim = 36;  // int
const size_t kBufferFormat = 40;
const size_t kBufferShape = 48;
const size_t kBufferStrides = 56;
const size_t kBufferSuboffsets = 64;
const size_t kBufferRoom = 128;
// Flags of a request for a buffer of any strides, with its format
// (PyBUF_STRIDES | PyBUF_FORMAT): no indirect buffers.
const int kBufferStridedWithFormat = 0x1C;

// Method definition: name, handler, flags (int), doc.
const size_t kMethodName = 0;
const size_t kMethodHandler = 8;
const size_t kMethodFlags = 16;
const size_t kMethodDoc = 24;
const size_t kMethodDefSize = 32;

// Module definition (Python 3 only): base, then name, doc, size, methods.
const size_t kModuleName = 40;
const size_t kModuleDoc = 48;
const size_t kModuleSize = 56;
const size_t kModuleMethods = 64;
const size_t kModuleDefSize = 104;

}  // namespace layout
}  // namespace zell
