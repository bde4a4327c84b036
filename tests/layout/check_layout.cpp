// Compiled once per installed interpreter against that interpreter's own
// headers: proves that every offset and size the module writes out in
// src/python/abi/layout.h equals what this interpreter really uses.
//
// Build (see .ci/layout.sh):
//   g++ -std=c++11 -I<interpreter include dir> -Isrc tests/layout/check_layout.cpp
// Prints every mismatch with both numbers, then one summary line; exits 1 on
// any mismatch. It needs no interpreter library: only offsetof and sizeof.
#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "python/abi/layout.h"

// The module's in-place count changes against the interpreter's own
// Py_INCREF and Py_DECREF, run on a fake object over counts around every
// boundary: a count the module changes must change as the interpreter
// changes it, a decrement the module leaves to the interpreter must be one
// that may free the object, and a count the module never touches must be
// one the interpreter never lowers. A debug build counts every change in a
// total; the module never changes its counts in place.
#if !defined(Py_REF_DEBUG) && !defined(Py_TRACE_REFS)
#define CHECK_COUNTS 1
// Outside any namespace: the interpreter's headers declare _Py_Dealloc.
static int deallocs = 0;
extern "C" void fakeDealloc(PyObject*) { ++deallocs; }
// The interpreter's Py_DECREF calls this when the count reaches zero, or,
// where it is a macro (the parentheses keep it from expanding), the type's
// tp_dealloc.
extern "C" void(_Py_Dealloc)(PyObject* o) { fakeDealloc(o); }
#endif

namespace {

using namespace zell::layout;

int checks = 0;
int failures = 0;

void expect(const char* what, size_t actual, size_t expected, bool atMost = false) {
  ++checks;
  if (atMost ? actual <= expected : actual == expected) return;
  ++failures;
  std::printf("  MISMATCH %s: interpreter %lu, module %s %lu\n", what, static_cast<unsigned long>(actual),
              atMost ? "allows at most" : "has", static_cast<unsigned long>(expected));
}

const bool kImmortals = immortals(PY_MAJOR_VERSION, PY_MINOR_VERSION);
#if defined(_Py_IMMORTAL_REFCNT) || defined(_Py_IMMORTAL_MINIMUM_REFCNT)
const size_t kHeadersHaveImmortals = 1;
#else
const size_t kHeadersHaveImmortals = 0;
#endif

#ifdef CHECK_COUNTS
int64_t countAfter(int64_t count, void (*change)(PyObject*), int* freed) {
  static PyTypeObject type;
  PyObject object;
  std::memset(&object, 0, sizeof object);
  std::memcpy(&object, &count, sizeof count);
  type.tp_dealloc = fakeDealloc;
  object.ob_type = &type;
  deallocs = 0;
  change(&object);
  *freed = deallocs;
  std::memcpy(&count, &object, sizeof count);
  return count;
}

void increment(PyObject* o) { Py_INCREF(o); }
void decrement(PyObject* o) { Py_DECREF(o); }
#endif

void checkCounts() {
#ifdef CHECK_COUNTS
  const int64_t low[] = {
      1,           2, 3, 1000, 0x7FFFFFFE, 0x7FFFFFFF, 0x80000000LL, 0xBFFFFFFFLL, 0xC0000000LL, 0xFFFFFFFELL,
      0xFFFFFFFFLL};
  // From 3.14 on the high 32 bits hold flags, on immortal and mortal objects
  // alike; before, they count like the low ones.
  const int64_t high[] = {0, (int64_t{1} << 32) | (int64_t{7} << 48)};
  for (int64_t h : high) {
    for (int64_t l : low) {
      int64_t count = h | l;
      if (!kImmortals && static_cast<int32_t>(l) < 0) continue;  // more references than memory holds
      char what[96];
      int freed;
      int64_t ours = count;
      incrementCount(ours, kImmortals);
      int64_t theirs = countAfter(count, increment, &freed);
      std::snprintf(what, sizeof what, "count %#llx incremented", static_cast<unsigned long long>(count));
      if (immortalCount(count, kImmortals)) {
        // Left alone by the module; the interpreter may raise it, but never
        // lowers it again.
        expect(what, static_cast<size_t>(ours), static_cast<size_t>(count));
        std::snprintf(what, sizeof what, "immortal count %#llx decremented",
                      static_cast<unsigned long long>(theirs));
        expect(what, static_cast<size_t>(countAfter(theirs, decrement, &freed)), static_cast<size_t>(theirs));
        expect(what, static_cast<size_t>(freed), 0);
      } else {
        expect(what, static_cast<size_t>(theirs), static_cast<size_t>(ours));
      }
      // A decrement the module makes in place is the interpreter's, and
      // never the one that frees; any other it leaves to the interpreter.
      ours = count;
      if (decrementCount(ours, kImmortals)) {
        theirs = countAfter(count, decrement, &freed);
        std::snprintf(what, sizeof what, "count %#llx decremented", static_cast<unsigned long long>(count));
        expect(what, static_cast<size_t>(theirs), static_cast<size_t>(ours));
        expect(what, static_cast<size_t>(freed), 0);
      }
    }
  }
#endif
}

}  // namespace

int main() {
  using namespace zell::layout;
  // A reference-tracing build puts two list pointers in front of every
  // object header; the module detects such a build and shifts every
  // header-relative offset by them. Other builds shift by nothing.
#if defined(Py_TRACE_REFS) && PY_VERSION_HEX < 0x030D0000
  const size_t shift = 2 * sizeof(void*);
#else
  const size_t shift = 0;
#endif
  expect("PyObject.ob_refcnt", offsetof(PyObject, ob_refcnt), shift + kObjectRefcnt);
  expect("PyObject.ob_type", offsetof(PyObject, ob_type), shift + kObjectType);
  expect("PyVarObject.ob_size", offsetof(PyVarObject, ob_size), shift + kVarSize);
  expect("PyFloatObject.ob_fval", offsetof(PyFloatObject, ob_fval), shift + kFloatValue);
  expect("PyListObject.ob_item", offsetof(PyListObject, ob_item), shift + kListItems);
  expect("PyTupleObject.ob_item", offsetof(PyTupleObject, ob_item),
         shift + tupleItems(PY_MAJOR_VERSION, PY_MINOR_VERSION));
  // Counts changed in place leave an object alone whose low 32 count bits
  // read as negative: every immortal object's do.
#ifdef _Py_IMMORTAL_REFCNT
  expect("_Py_IMMORTAL_REFCNT reads negative", static_cast<int32_t>(_Py_IMMORTAL_REFCNT) < 0, 1);
#endif
#ifdef _Py_IMMORTAL_MINIMUM_REFCNT
  expect("_Py_IMMORTAL_MINIMUM_REFCNT reads negative", static_cast<int32_t>(_Py_IMMORTAL_MINIMUM_REFCNT) < 0,
         1);
  expect("_Py_IMMORTAL_INITIAL_REFCNT reads negative", static_cast<int32_t>(_Py_IMMORTAL_INITIAL_REFCNT) < 0,
         1);
#endif
  expect("immortal objects from this version on", kHeadersHaveImmortals,
         immortals(PY_MAJOR_VERSION, PY_MINOR_VERSION));

  checkCounts();
  expect("PyTypeObject.tp_name", offsetof(PyTypeObject, tp_name), shift + kTypeName);
  expect("PyTypeObject.tp_basicsize", offsetof(PyTypeObject, tp_basicsize), shift + kTypeBasicSize);
  expect("PyTypeObject.tp_dealloc", offsetof(PyTypeObject, tp_dealloc), shift + kTypeDealloc);
  expect("PyTypeObject.tp_flags", offsetof(PyTypeObject, tp_flags), shift + kTypeFlags);
  expect("sizeof(PyTypeObject.tp_flags)", sizeof(((PyTypeObject*)0)->tp_flags), kTypeFlagsSize);
  expect("PyTypeObject.tp_traverse", offsetof(PyTypeObject, tp_traverse), shift + kTypeTraverse);
  expect("PyTypeObject.tp_clear", offsetof(PyTypeObject, tp_clear), shift + kTypeClear);
  expect("Py_TPFLAGS_HAVE_GC", Py_TPFLAGS_HAVE_GC, kTypeHasCollectorFlag);
  expect("PyTypeObject.tp_iter", offsetof(PyTypeObject, tp_iter), shift + kTypeIter);
  expect("PyTypeObject.tp_iternext", offsetof(PyTypeObject, tp_iternext), shift + kTypeIterNext);
  expect("PyTypeObject.tp_methods", offsetof(PyTypeObject, tp_methods), shift + kTypeMethods);
  expect("PyTypeObject.tp_new", offsetof(PyTypeObject, tp_new), shift + kTypeNew);
  expect("PyTypeObject.tp_free", offsetof(PyTypeObject, tp_free), shift + kTypeFree);
  expect("sizeof(PyTypeObject)", sizeof(PyTypeObject), shift + kTypeAllocSize, true);
  expect("Py_buffer.buf", offsetof(Py_buffer, buf), kBufferBuf);
  expect("Py_buffer.itemsize", offsetof(Py_buffer, itemsize), kBufferItemSize);
  expect("Py_buffer.ndim", offsetof(Py_buffer, ndim), kBufferNdim);
  expect("sizeof(Py_buffer.ndim)", sizeof(((Py_buffer*)0)->ndim), sizeof(int));
  expect("Py_buffer.format", offsetof(Py_buffer, format), kBufferFormat);
  expect("Py_buffer.shape", offsetof(Py_buffer, shape), kBufferShape);
  expect("Py_buffer.strides", offsetof(Py_buffer, strides), kBufferStrides);
  expect("Py_buffer.suboffsets", offsetof(Py_buffer, suboffsets), kBufferSuboffsets);
  expect("sizeof(Py_buffer)", sizeof(Py_buffer), kBufferRoom, true);
  expect("PyBUF_STRIDES|PyBUF_FORMAT", PyBUF_STRIDES | PyBUF_FORMAT, kBufferStridedWithFormat);
  expect("PyMethodDef.ml_name", offsetof(PyMethodDef, ml_name), kMethodName);
  expect("PyMethodDef.ml_meth", offsetof(PyMethodDef, ml_meth), kMethodHandler);
  expect("PyMethodDef.ml_flags", offsetof(PyMethodDef, ml_flags), kMethodFlags);
  expect("PyMethodDef.ml_doc", offsetof(PyMethodDef, ml_doc), kMethodDoc);
  expect("sizeof(PyMethodDef)", sizeof(PyMethodDef), kMethodDefSize);
  // Every handler is registered with flags 3: positional tuple plus keywords.
  expect("METH_VARARGS|METH_KEYWORDS", METH_VARARGS | METH_KEYWORDS, 3);
#if PY_MAJOR_VERSION >= 3
  // The module definition starts with an object header, so it shifts too.
  expect("PyModuleDef.m_name", offsetof(PyModuleDef, m_name), shift + kModuleName);
  expect("PyModuleDef.m_doc", offsetof(PyModuleDef, m_doc), shift + kModuleDoc);
  expect("PyModuleDef.m_size", offsetof(PyModuleDef, m_size), shift + kModuleSize);
  expect("PyModuleDef.m_methods", offsetof(PyModuleDef, m_methods), shift + kModuleMethods);
  expect("sizeof(PyModuleDef)", sizeof(PyModuleDef), shift + kModuleDefSize);
#endif
#ifdef Py_DEBUG
  const char* build = "debug";
#else
  const char* build = "";
#endif
  std::printf("layout %-8s %-5s %s (%d checks, %d mismatches, header shift %lu)\n", PY_VERSION, build,
              failures ? "FAIL" : "PASS", checks, failures, static_cast<unsigned long>(shift));
  return failures ? 1 : 0;
}
