// pyLib: the table of the running interpreter's entry points. The module
// links no interpreter library; it finds the interpreter among the objects
// loaded in the process and resolves every entry point by name, so one built
// file serves every interpreter version.
#pragma once

#include <cstring>

#include "python/abi/capi.h"
#include "python/abi/layout.h"

namespace zell {
namespace py {

// How the module changes reference counts: through the interpreter's
// functions, in place, or in place leaving immortal objects alone.
enum class CountWay : unsigned char { ByCalls, InPlace, InPlaceSparingImmortals };

struct PyLib {
  void* handle = nullptr;
  int major = 0, minor = 0, patch = 0;
  // 16 on a reference-tracing build, whose objects carry two link words in
  // front of the reference count; 0 otherwise.
  size_t headerOffset = 0;

  // values and tuples
  Object* (*Py_BuildValue)(const char* format, ...);  // the size_t variant
  Object* (*PyTuple_New)(Ssize);
  Ssize (*PyTuple_Size)(Object*);
  Object* (*PyTuple_GetItem)(Object*, Ssize);
  int (*PyTuple_SetItem)(Object*, Ssize, Object*);
  Object* None;
  // types and modules
  Object* PyType_Type;
  int (*PyType_Ready)(Object*);
  void* PyType_GenericNew;
  int (*PyModule_AddObject)(Object*, const char*, Object*);
  // lists
  Object* (*PyList_New)(Ssize);
  Ssize (*PyList_Size)(Object*);
  Object* (*PyList_GetItem)(Object*, Ssize);
  int (*PyList_SetItem)(Object*, Ssize, Object*);
  // objects
  Object* (*PyObject_Call)(Object*, Object*, Object*);
  int (*PyObject_IsTrue)(Object*);
  Object* (*PyObject_GetAttrString)(Object*, const char*);
  int (*PyObject_SetAttrString)(Object*, const char*, Object*);
  Object* (*PyObject_Dir)(Object*);
  Object* (*PyObject_Str)(Object*);
  Object* (*PyObject_GetIter)(Object*);
  Object* (*PyObject_GetItem)(Object*, Object*);
  int (*PyObject_SetItem)(Object*, Object*, Object*);
  int (*PyObject_RichCompareBool)(Object*, Object*, int);
  int (*PyObject_GetBuffer)(Object*, void* view, int flags);  // optional
  void (*PyBuffer_Release)(void* view);                       // optional
  // iteration and numbers
  Object* (*PyIter_Next)(Object*);
  Object* (*PyNumber_Long)(Object*);
  long long (*PyLong_AsLongLong)(Object*);
  unsigned long long (*PyLong_AsUnsignedLongLong)(Object*);
  double (*PyFloat_AsDouble)(Object*);
  Object* (*PyBool_FromLong)(long);
  // type objects
  Object* PyBool_Type;
  Object* PyFloat_Type;
  Object* PyComplex_Type;
  Object* PyCapsule_Type;
  Object* PyTuple_Type;
  Object* PyList_Type;
  Object* PyUnicode_Type;
  Object* PySuper_Type;
  Object* PyBytes_Type;                          // or PyString_Type
  Object* (*PyUnicode_FromString)(const char*);  // or PyString_FromString
  int (*PyType_IsSubtype)(Object*, Object*);
  void* PyComplex_AsCComplex;
  void* PyComplex_RealAsDouble;  // only without PyComplex_AsCComplex
  void* PyComplex_ImagAsDouble;  // only without PyComplex_AsCComplex
  int (*PyUnicode_CompareWithASCIIString)(Object*, const char*);
  char* (*PyString_AsString)(Object*);  // only without the comparison above
  Object* (*PyUnicode_AsUTF8String)(Object*);
  int (*PyBytes_AsStringAndSize)(Object*, char**, Ssize*);   // or PyString_...
  Object* (*PyBytes_FromStringAndSize)(const char*, Ssize);  // or PyString_...
  // dictionaries
  Object* PyDict_Type;
  Object* (*PyDict_New)();
  Ssize (*PyDict_Size)(Object*);
  Object* (*PyDict_GetItemString)(Object*, const char*);
  int (*PyDict_SetItemString)(Object*, const char*, Object*);
  Object* (*PyDict_GetItem)(Object*, Object*);
  int (*PyDict_SetItem)(Object*, Object*, Object*);
  Object* (*PyDict_Keys)(Object*);
  Object* (*PyDict_Values)(Object*);
  int (*PyDict_Contains)(Object*, Object*);
  // errors
  void (*PyErr_Clear)();
  void (*PyErr_SetString)(Object*, const char*);
  Object* (*PyErr_Occurred)();
  Object* PyExc_TypeError;
  // capsules, import and evaluation
  void* PyCapsule_New;
  void* PyCapsule_GetPointer;
  Object* (*PyImport_ImportModule)(const char*);
  void* PyEval_GetBuiltins;
  void* PyEval_GetGlobals;
  void* PyEval_GetLocals;
  void* PyCFunction_NewEx;
  // error inspection
  void (*PyErr_Fetch)(Object**, Object**, Object**);
  void (*PyErr_NormalizeException)(Object**, Object**, Object**);
  int (*PyErr_GivenExceptionMatches)(Object*, Object*);
  Object* (*PyErr_NewException)(const char*, Object*, Object*);
  // exception classes
  Object* PyExc_ArithmeticError;
  Object* PyExc_FloatingPointError;
  Object* PyExc_OverflowError;
  Object* PyExc_ZeroDivisionError;
  Object* PyExc_AssertionError;
  Object* PyExc_OSError;
  Object* PyExc_IOError;
  Object* PyExc_ValueError;
  Object* PyExc_EOFError;
  Object* PyExc_MemoryError;
  Object* PyExc_IndexError;
  Object* PyExc_KeyError;
  // reference counting, through the interpreter so that immortal objects
  // and debug builds are handled by it
  void (*Py_IncRef)(Object*);
  void (*Py_DecRef)(Object*);
  // instances that the cyclic collector tracks, and the start of a new
  // object's life as the interpreter keeps it (counted by a debug build)
  Object* (*_PyObject_GC_New)(Object* type);
  void (*PyObject_GC_Del)(void*);
  void (*PyObject_GC_Track)(void*);
  void (*PyObject_GC_UnTrack)(void*);
  Object* (*PyObject_Init)(Object*, Object* type);
  // optional: direct result constructors
  Object* (*PyFloat_FromDouble)(double);
  Object* (*PyLong_FromLongLong)(long long);
  Object* (*PyLong_FromUnsignedLongLong)(unsigned long long);
  // optional: interrupts, and errors that pass through native code unchanged
  int (*PyErr_CheckSignals)();
  void (*PyErr_Restore)(Object*, Object*, Object*);
  Object* PyExc_Exception;
  // optional: a method of the module's exception class (errors that travel)
  Object* (*PyDescr_NewMethod)(Object*, const MethodDef*);
  // optional: the cheapest call of one argument (3.9 on)
  Object* (*PyObject_CallOneArg)(Object*, Object*);
  // optional: rows of one repeated item, made as the interpreter's own
  // list repetition makes them
  Object* (*PySequence_Repeat)(Object*, Ssize);
  // optional: exact ints read without an error on overflow
  Object* PyLong_Type;
  long long (*PyLong_AsLongLongAndOverflow)(Object*, int*);
  // optional: sequences of the user's read by index, and the error of an
  // iteration whose tree changed under it
  Object* (*_PyDict_NewPresized)(Ssize);
  Ssize (*PyObject_Size)(Object*);
  Object* (*PySequence_GetItem)(Object*, Ssize);
  Object* PyExc_RuntimeError;
  // optional: a state given as text by a Python 2 pickle read as latin-1
  Object* (*PyUnicode_AsLatin1String)(Object*);
  // optional: text payloads pickled and unpickled natively (3.3 on)
  const char* (*PyUnicode_AsUTF8AndSize)(Object*, Ssize*);
  Object* (*PyUnicode_DecodeUTF8)(const char*, Ssize, const char* errors);

  // Counts changed in place and lists and tuples filled in place, on the
  // interpreters whose layouts the layout check proves: not a debug build
  // (its total count must see every change), not reference tracing, not a
  // version after 3.15. Elsewhere Py_IncRef, Py_DecRef and the setters.
  bool inPlace = false;
  // From 3.12 on: objects whose low 32 count bits read as negative are
  // immortal (layout::immortalCount).
  bool immortals = false;
  // The two above as one choice, read by every count change: one test on
  // the common path instead of two.
  CountWay countWay = CountWay::ByCalls;
  // Where a tuple's items start.
  size_t tupleItems = layout::kTupleItems;
  // Why the module cannot run under this interpreter, or null: a
  // free-threaded build, or an object header of a layout the module does
  // not recognise. The import is refused before anything is written.
  const char* refusal = nullptr;
};

// Resolves one exported name; null when the library does not export it.
using SymbolLookup = void* (*)(void* context, const char* name);

// Reads the version and builds the table from a lookup. Pure: raises
// ValueError "Symbol not loaded: <name>" for the first missing required
// name, and the version errors of readVersion.
PyLib loadPyLib(SymbolLookup lookup, void* context);

// Reads "major.minor.patch" from the start of Py_GetVersion(); missing
// fields stay 0.
void readVersion(SymbolLookup lookup, void* context, PyLib& lib);

// The process-wide table; valid once havePyLib() is true.
extern PyLib pyLib;
bool havePyLib();

// Makes sure pyLib exists, taking the first library loaded in the process
// that exports PyModule_AddObject (attach.h). ValueError "Could not find
// libpython" ("Could not find pythonXX.dll" on Windows) when none does.
void findPythonDLL();

// Attaches the calling thread (once per thread): makes sure pyLib exists and
// checks that the interpreter is a 2.x or 3.x.
void attachThread();

// Resolves a name outside the table, from the interpreter's library.
void* lookupInInterpreter(const char* name);

// Object header access, shifted by the header offset.
inline Object* typeOf(Object* o) {
  Object* type;
  std::memcpy(&type, reinterpret_cast<char*>(o) + pyLib.headerOffset + layout::kObjectType, sizeof type);
  return type;
}
// The same where pyLib.inPlace holds, which proves the header unshifted.
inline Object* typeInPlace(Object* o) {
  Object* type;
  std::memcpy(&type, reinterpret_cast<char*>(o) + layout::kObjectType, sizeof type);
  return type;
}
// An object's reference count, where pyLib.inPlace allows reaching it.
inline int64_t* countOf(Object* o) { return reinterpret_cast<int64_t*>(o); }
inline bool immortal(Object* o) { return layout::immortalCount(*countOf(o), pyLib.immortals); }

// The counts of the way in place without immortals are laid out as the
// straight road: on the interpreters with immortals the test costs the same
// either way, and the calls of a debug build are the rare way.
__attribute__((always_inline)) inline void incRef(Object* o) {
  CountWay way = pyLib.countWay;
  if (__builtin_expect(way == CountWay::InPlace, 1)) return layout::incrementCount(*countOf(o), false);
  if (way == CountWay::ByCalls) return pyLib.Py_IncRef(o);
  layout::incrementCount(*countOf(o), true);
}
// The last reference is given back through the interpreter, which then
// deallocates the object.
__attribute__((always_inline)) inline void decRef(Object* o) {
  CountWay way = pyLib.countWay;
  bool kept = __builtin_expect(way == CountWay::InPlace, 1) ? layout::decrementCount(*countOf(o), false)
              : way == CountWay::InPlaceSparingImmortals    ? layout::decrementCount(*countOf(o), true)
                                                            : false;
  if (!kept) pyLib.Py_DecRef(o);
}
__attribute__((always_inline)) inline void decRefIfAny(Object* o) {
  if (o) decRef(o);
}

// A list's items in place (pyLib.inPlace only).
inline Object** listItems(Object* list) {
  Object** items;
  std::memcpy(&items, reinterpret_cast<char*>(list) + layout::kListItems, sizeof items);
  return items;
}
inline Ssize varSize(Object* list) {
  Ssize size;
  std::memcpy(&size, reinterpret_cast<char*>(list) + layout::kVarSize, sizeof size);
  return size;
}
// The items of an exact list or tuple read in place, or false for any
// other object or where pyLib.inPlace does not allow it.
struct ItemsView {
  Object* const* items;
  Ssize size;
};
__attribute__((always_inline)) inline bool viewItems(Object* o, ItemsView& view) {
  if (!pyLib.inPlace) return false;
  Object* type = typeInPlace(o);
  if (type == pyLib.PyTuple_Type)
    view.items = reinterpret_cast<Object* const*>(reinterpret_cast<char*>(o) + pyLib.tupleItems);
  else if (type == pyLib.PyList_Type)
    view.items = listItems(o);
  else
    return false;
  view.size = varSize(o);
  return true;
}
// The value of an exact float, read in place (pyLib.inPlace only).
inline double floatValue(Object* o) {
  double value;
  std::memcpy(&value, reinterpret_cast<char*>(o) + layout::kFloatValue, sizeof value);
  return value;
}
// Item i of a list just made, which holds no item yet, takes over `item`.
inline void fillNewList(Object* list, Ssize i, Object* item) {
  if (pyLib.inPlace)
    listItems(list)[i] = item;
  else
    pyLib.PyList_SetItem(list, i, item);
}
// Item i of a tuple just made, which holds no item yet, takes over `item`.
inline void fillNewTuple(Object* tuple, Ssize i, Object* item) {
  if (pyLib.inPlace)
    reinterpret_cast<Object**>(reinterpret_cast<char*>(tuple) + pyLib.tupleItems)[i] = item;
  else
    pyLib.PyTuple_SetItem(tuple, i, item);
}
__attribute__((always_inline)) inline Object* newNone() {
  incRef(pyLib.None);
  return pyLib.None;
}
// The type's own name (tp_name), e.g. "int".
inline const char* typeName(Object* o) {
  const char* name;
  std::memcpy(&name, reinterpret_cast<char*>(typeOf(o)) + pyLib.headerOffset + layout::kTypeName,
              sizeof name);
  return name;
}
// Instance check against a built-in type, subtypes included.
inline bool isOfType(Object* o, Object* type) {
  Object* t = typeOf(o);
  return t == type || pyLib.PyType_IsSubtype(t, type);
}

}  // namespace py
}  // namespace zell
