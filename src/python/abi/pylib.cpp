#include "python/abi/pylib.h"

#include <cstdio>
#include <string>

#include "python/abi/attach.h"
#include "runtime/error.h"

namespace zell {
namespace py {

PyLib pyLib;

namespace {

bool loaded = false;
thread_local bool attached = false;

enum class Mode : uint8_t {
  Required,  // missing: "Symbol not loaded"; skipped when an earlier
             // alternative already filled the entry
  Optional,  // missing: the entry stays empty (unless already filled)
  Unless,    // required only when the name in `unless` is not exported;
             // then it fills the entry
};

struct Row {
  const char* name;
  size_t entry;  // offset of the field in PyLib
  Mode mode;
  const char* unless;
  bool deref;  // an exported variable holding an object pointer
};

#define ENTRY(field) offsetof(PyLib, field)
#define REQ(name) {#name, ENTRY(name), Mode::Required, nullptr, false}
#define OPT(name) {#name, ENTRY(name), Mode::Optional, nullptr, false}
#define REQ_AS(name, field) {#name, ENTRY(field), Mode::Required, nullptr, false}
#define OPT_AS(name, field) {#name, ENTRY(field), Mode::Optional, nullptr, false}
#define UNLESS(name, field, other) {#name, ENTRY(field), Mode::Unless, #other, false}
#define EXC(name) {#name, ENTRY(name), Mode::Required, nullptr, true}
#define OPT_EXC(name) {#name, ENTRY(name), Mode::Optional, nullptr, true}

// Resolution order; the first missing required name stops the load.
const Row kRows[] = {
    REQ_AS(_Py_BuildValue_SizeT, Py_BuildValue),
    REQ(PyTuple_New),
    REQ(PyTuple_Size),
    REQ(PyTuple_GetItem),
    REQ(PyTuple_SetItem),
    REQ_AS(_Py_NoneStruct, None),
    REQ(PyType_Type),
    REQ(PyType_Ready),
    REQ(PyType_GenericNew),
    REQ(PyModule_AddObject),
    REQ(PyList_New),
    REQ(PyList_Size),
    REQ(PyList_GetItem),
    REQ(PyList_SetItem),
    REQ(PyObject_Call),
    REQ(PyObject_IsTrue),
    REQ(PyObject_GetAttrString),
    REQ(PyObject_SetAttrString),
    REQ(PyObject_Dir),
    REQ(PyObject_Str),
    REQ(PyObject_GetIter),
    REQ(PyObject_GetItem),
    REQ(PyObject_SetItem),
    REQ(PyObject_RichCompareBool),
    OPT(PyObject_GetBuffer),
    OPT(PyBuffer_Release),
    REQ(PyIter_Next),
    REQ(PyNumber_Long),
    REQ(PyLong_AsLongLong),
    REQ(PyLong_AsUnsignedLongLong),
    REQ(PyFloat_AsDouble),
    REQ(PyBool_FromLong),
    REQ(PyBool_Type),
    REQ(PyFloat_Type),
    REQ(PyComplex_Type),
    REQ(PyCapsule_Type),
    REQ(PyTuple_Type),
    REQ(PyList_Type),
    REQ(PyUnicode_Type),
    REQ(PySuper_Type),
    OPT(PyBytes_Type),
    REQ_AS(PyString_Type, PyBytes_Type),
    OPT(PyUnicode_FromString),
    REQ_AS(PyString_FromString, PyUnicode_FromString),
    REQ(PyType_IsSubtype),
    OPT(PyComplex_AsCComplex),
    UNLESS(PyComplex_RealAsDouble, PyComplex_RealAsDouble, PyComplex_AsCComplex),
    UNLESS(PyComplex_ImagAsDouble, PyComplex_ImagAsDouble, PyComplex_AsCComplex),
    OPT(PyUnicode_CompareWithASCIIString),
    UNLESS(PyString_AsString, PyString_AsString, PyUnicode_CompareWithASCIIString),
    OPT(PyUnicode_AsUTF8String),
    OPT_AS(PyUnicodeUCS4_AsUTF8String, PyUnicode_AsUTF8String),
    REQ_AS(PyUnicodeUCS2_AsUTF8String, PyUnicode_AsUTF8String),
    OPT(PyBytes_AsStringAndSize),
    OPT(PyBytes_FromStringAndSize),
    UNLESS(PyString_AsStringAndSize, PyBytes_AsStringAndSize, PyBytes_AsStringAndSize),
    UNLESS(PyString_FromStringAndSize, PyBytes_FromStringAndSize, PyBytes_AsStringAndSize),
    REQ(PyDict_Type),
    REQ(PyDict_New),
    REQ(PyDict_Size),
    REQ(PyDict_GetItemString),
    REQ(PyDict_SetItemString),
    REQ(PyDict_GetItem),
    REQ(PyDict_SetItem),
    REQ(PyDict_Keys),
    REQ(PyDict_Values),
    REQ(PyDict_Contains),
    REQ(PyErr_Clear),
    REQ(PyErr_SetString),
    REQ(PyErr_Occurred),
    EXC(PyExc_TypeError),
    REQ(PyCapsule_New),
    REQ(PyCapsule_GetPointer),
    REQ(PyImport_ImportModule),
    REQ(PyEval_GetBuiltins),
    REQ(PyEval_GetGlobals),
    REQ(PyEval_GetLocals),
    REQ(PyCFunction_NewEx),
    REQ(PyErr_Fetch),
    REQ(PyErr_NormalizeException),
    REQ(PyErr_GivenExceptionMatches),
    REQ(PyErr_NewException),
    EXC(PyExc_ArithmeticError),
    EXC(PyExc_FloatingPointError),
    EXC(PyExc_OverflowError),
    EXC(PyExc_ZeroDivisionError),
    EXC(PyExc_AssertionError),
    EXC(PyExc_OSError),
    EXC(PyExc_IOError),
    EXC(PyExc_ValueError),
    EXC(PyExc_EOFError),
    EXC(PyExc_MemoryError),
    EXC(PyExc_IndexError),
    EXC(PyExc_KeyError),
    REQ(Py_IncRef),
    REQ(Py_DecRef),
    REQ(_PyObject_GC_New),
    REQ(PyObject_GC_Del),
    REQ(PyObject_GC_Track),
    REQ(PyObject_GC_UnTrack),
    REQ(PyObject_Init),
    // Direct constructors of results, used when present instead of
    // Py_BuildValue, which parses its format on every call.
    OPT(PyFloat_FromDouble),
    OPT(PyLong_FromLongLong),
    OPT(PyLong_FromUnsignedLongLong),
    // Long operations answer Ctrl-C; KeyboardInterrupt, SystemExit and the
    // like reach the caller as themselves.
    OPT(PyErr_CheckSignals),
    OPT(PyErr_Restore),
    OPT_EXC(PyExc_Exception),
    // Errors raised by the module pickle, so that they cross processes.
    OPT(PyDescr_NewMethod),
    OPT(PyObject_CallOneArg),
    OPT(PySequence_Repeat),
    // Payloads of the simplest types pickled and unpickled natively.
    OPT(PyLong_Type),
    OPT(PyLong_AsLongLongAndOverflow),
    // Many points and payloads per call, and iteration.
    OPT(_PyDict_NewPresized),
    OPT(PyObject_Size),
    OPT(PySequence_GetItem),
    OPT_EXC(PyExc_RuntimeError),
    OPT(PyUnicode_AsLatin1String),
    OPT_AS(PyUnicodeUCS4_AsLatin1String, PyUnicode_AsLatin1String),
    OPT_AS(PyUnicodeUCS2_AsLatin1String, PyUnicode_AsLatin1String),
    OPT(PyUnicode_AsUTF8AndSize),
    OPT(PyUnicode_DecodeUTF8),
};

#undef ENTRY
#undef REQ
#undef OPT
#undef REQ_AS
#undef OPT_AS
#undef UNLESS
#undef EXC
#undef OPT_EXC

// The table's fields are function and object pointers of many types; they
// are read and written as bytes, never through a pointer of another type.
static_assert(sizeof(void*) == sizeof(void (*)()), "function and object pointers differ in size");
void* entryValue(const PyLib& lib, size_t entry) {
  void* value;
  std::memcpy(&value, reinterpret_cast<const char*>(&lib) + entry, sizeof value);
  return value;
}
void setEntry(PyLib& lib, size_t entry, void* value) {
  std::memcpy(reinterpret_cast<char*>(&lib) + entry, &value, sizeof value);
}

[[noreturn]] void symNotLoadedErr(const char* name) { raiseValue(std::string("Symbol not loaded: ") + name); }

void resolve(const Row& row, SymbolLookup lookup, void* context, PyLib& lib) {
  if (row.mode == Mode::Unless) {
    if (lookup(context, row.unless)) return;
  } else if (entryValue(lib, row.entry)) {
    return;  // an earlier alternative filled it
  }
  void* address = lookup(context, row.name);
  if (!address) {
    if (row.mode == Mode::Optional) return;
    symNotLoadedErr(row.name);
  }
  setEntry(lib, row.entry, row.deref ? *static_cast<void**>(address) : address);
}

// A reference-tracing build exports its module-creation functions under
// other names.
size_t headerOffsetOf(SymbolLookup lookup, void* context) {
  for (const char* name : {"PyModule_Create2", "Py_InitModule4_64", "Py_InitModule4"})
    if (lookup(context, name)) return 0;
  return 16;
}

}  // namespace

void readVersion(SymbolLookup lookup, void* context, PyLib& lib) {
  using GetVersion = const char* (*)();
  auto getVersion = reinterpret_cast<GetVersion>(lookup(context, "Py_GetVersion"));
  if (!getVersion) raiseValue("Could not determine Python version");
  const char* text = getVersion();
  lib.major = lib.minor = lib.patch = 0;
  if (std::sscanf(text, "%d.%d.%d", &lib.major, &lib.minor, &lib.patch) < 1)
    raiseValue(std::string("Could not determine Python version: ") + text);
}

namespace {

// Free-threaded builds (3.13t on) give objects another header: a thread
// id, flags and two counts come before the type.
bool freeThreaded(SymbolLookup lookup, void* context) {
  for (const char* name : {"_Py_DecRefShared", "_Py_MergeZeroLocalRefcount"})
    if (lookup(context, name)) return true;
  return false;
}

// The module writes object headers (its classes, its module definition) as
// it knows them: refcount, then type. The type of the type of every class,
// read where the module expects it, must be that type itself.
bool headerRecognised(const PyLib& lib) {
  void* typeOfType;
  std::memcpy(&typeOfType,
              reinterpret_cast<const char*>(lib.PyType_Type) + lib.headerOffset + layout::kObjectType,
              sizeof typeOfType);
  return typeOfType == lib.PyType_Type;
}

// Versions whose layouts the layout check proves, for the paths that write
// objects in place.
bool layoutProven(const PyLib& lib) {
  return lib.headerOffset == 0 && (lib.major == 2 || (lib.major == 3 && lib.minor <= 15));
}

}  // namespace

PyLib loadPyLib(SymbolLookup lookup, void* context) {
  PyLib lib{};  // every entry starts empty
  readVersion(lookup, context, lib);
  lib.headerOffset = headerOffsetOf(lookup, context);
  bool threads = freeThreaded(lookup, context);
  try {
    for (const Row& row : kRows) resolve(row, lookup, context, lib);
  } catch (const Error&) {
    // A free-threaded build is refused for what it is, whatever else it
    // lacks: the names resolved before the missing one raise the refusal.
    if (!threads) throw;
  }
  if (threads) {
    lib.refusal = "this module does not support free-threaded CPython builds yet";
    return lib;
  }
  if (!headerRecognised(lib)) {
    lib.refusal = "this module does not recognise the object layout of this interpreter";
    return lib;
  }
  bool countsEveryChange = lookup(context, "_Py_NegativeRefcount") || lookup(context, "_Py_RefTotal");
  lib.inPlace = layoutProven(lib) && !countsEveryChange;
  lib.immortals = layout::immortals(lib.major, lib.minor);
  lib.countWay = !lib.inPlace    ? CountWay::ByCalls
                 : lib.immortals ? CountWay::InPlaceSparingImmortals
                                 : CountWay::InPlace;
  lib.tupleItems = layout::tupleItems(lib.major, lib.minor);
  return lib;
}

bool havePyLib() { return loaded; }

void findPythonDLL() {
  if (loaded) return;
  // Every interpreter library exports PyModule_AddObject; no other
  // library is expected to.
  void* handle = attach::findExporter("PyModule_AddObject");
  if (!handle) raiseValue(attach::kNoInterpreter);
  pyLib = loadPyLib(attach::lookup, handle);
  pyLib.handle = handle;
  loaded = true;
}

void attachThread() {
  if (attached) return;
  findPythonDLL();
  attached = true;
  if (pyLib.major != 2 && pyLib.major != 3)
    raise(ErrorKind::AssertionDefect, "unsupported interpreter major version " + std::to_string(pyLib.major));
}

void* lookupInInterpreter(const char* name) { return attach::lookup(pyLib.handle, name); }

}  // namespace py
}  // namespace zell
