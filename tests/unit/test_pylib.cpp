// Loading the interpreter table from a fake symbol table: which names are
// required, optional or alternatives, in which order they are resolved, how
// the version is read and how the object-header offset is chosen.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "python/abi/pylib.h"
#include "runtime/error.h"

using namespace zell;
using namespace zell::py;

namespace {

// Every name a 3.x library exports that the loader asks for.
const std::vector<std::string> kRequired = {"_Py_BuildValue_SizeT",
                                            "PyTuple_New",
                                            "PyTuple_Size",
                                            "PyTuple_GetItem",
                                            "PyTuple_SetItem",
                                            "_Py_NoneStruct",
                                            "PyType_Ready",
                                            "PyType_GenericNew",
                                            "PyModule_AddObject",
                                            "PyList_New",
                                            "PyList_Size",
                                            "PyList_GetItem",
                                            "PyList_SetItem",
                                            "PyObject_Call",
                                            "PyObject_IsTrue",
                                            "PyObject_GetAttrString",
                                            "PyObject_SetAttrString",
                                            "PyObject_Dir",
                                            "PyObject_Str",
                                            "PyObject_GetIter",
                                            "PyObject_GetItem",
                                            "PyObject_SetItem",
                                            "PyObject_RichCompareBool",
                                            "PyIter_Next",
                                            "PyNumber_Long",
                                            "PyLong_AsLongLong",
                                            "PyLong_AsUnsignedLongLong",
                                            "PyFloat_AsDouble",
                                            "PyBool_FromLong",
                                            "PyBool_Type",
                                            "PyFloat_Type",
                                            "PyComplex_Type",
                                            "PyCapsule_Type",
                                            "PyTuple_Type",
                                            "PyList_Type",
                                            "PyUnicode_Type",
                                            "PySuper_Type",
                                            "PyType_IsSubtype",
                                            "PyDict_Type",
                                            "PyDict_New",
                                            "PyDict_Size",
                                            "PyDict_GetItemString",
                                            "PyDict_SetItemString",
                                            "PyDict_GetItem",
                                            "PyDict_SetItem",
                                            "PyDict_Keys",
                                            "PyDict_Values",
                                            "PyDict_Contains",
                                            "PyErr_Clear",
                                            "PyErr_SetString",
                                            "PyErr_Occurred",
                                            "PyExc_TypeError",
                                            "PyCapsule_New",
                                            "PyCapsule_GetPointer",
                                            "PyImport_ImportModule",
                                            "PyEval_GetBuiltins",
                                            "PyEval_GetGlobals",
                                            "PyEval_GetLocals",
                                            "PyCFunction_NewEx",
                                            "PyErr_Fetch",
                                            "PyErr_NormalizeException",
                                            "PyErr_GivenExceptionMatches",
                                            "PyErr_NewException",
                                            "PyExc_ArithmeticError",
                                            "PyExc_FloatingPointError",
                                            "PyExc_OverflowError",
                                            "PyExc_ZeroDivisionError",
                                            "PyExc_AssertionError",
                                            "PyExc_OSError",
                                            "PyExc_IOError",
                                            "PyExc_ValueError",
                                            "PyExc_EOFError",
                                            "PyExc_MemoryError",
                                            "PyExc_IndexError",
                                            "PyExc_KeyError",
                                            "Py_IncRef",
                                            "Py_DecRef"};

const std::vector<std::string> kPython3Extras = {"PyBytes_Type",
                                                 "PyUnicode_FromString",
                                                 "PyComplex_AsCComplex",
                                                 "PyUnicode_CompareWithASCIIString",
                                                 "PyUnicode_AsUTF8String",
                                                 "PyBytes_AsStringAndSize",
                                                 "PyBytes_FromStringAndSize",
                                                 "PyObject_GetBuffer",
                                                 "PyBuffer_Release",
                                                 "PyModule_Create2",
                                                 "Py_GetVersion",
                                                 "PyErr_CheckSignals",
                                                 "PyErr_Restore",
                                                 "PyExc_Exception"};

const std::vector<std::string> kPython2Extras = {"PyString_Type",
                                                 "PyString_FromString",
                                                 "PyComplex_AsCComplex",
                                                 "PyString_AsString",
                                                 "PyUnicodeUCS2_AsUTF8String",
                                                 "PyString_AsStringAndSize",
                                                 "PyString_FromStringAndSize",
                                                 "Py_InitModule4_64",
                                                 "Py_GetVersion"};

std::string versionText = "3.11.7 (main)";
const char* fakeGetVersion() { return versionText.c_str(); }

// A library: names mapped to distinct addresses. Exported variables of
// exception classes point at a cell holding the "class".
struct FakeLibrary {
  std::set<std::string> names;
  std::vector<std::string> asked;
  std::map<std::string, std::unique_ptr<char>> storage;
  void* exceptionClass = reinterpret_cast<void*>(0x1234);

  FakeLibrary(const std::vector<std::string>& extras) {
    names.insert(kRequired.begin(), kRequired.end());
    names.insert(extras.begin(), extras.end());
  }
  void* address(const std::string& name) {
    if (name == "Py_GetVersion") return reinterpret_cast<void*>(&fakeGetVersion);
    if (name.rfind("PyExc_", 0) == 0) return &exceptionClass;
    auto& cell = storage[name];
    if (!cell) cell.reset(new char);
    return cell.get();
  }
  static void* lookup(void* context, const char* name) {
    auto* lib = static_cast<FakeLibrary*>(context);
    lib->asked.push_back(name);
    return lib->names.count(name) ? lib->address(name) : nullptr;
  }
  PyLib load() { return loadPyLib(&FakeLibrary::lookup, this); }
  std::string failure() {
    try {
      load();
    } catch (const Error& e) {
      EXPECT_EQ(e.kind(), ErrorKind::ValueError);
      return e.message();
    }
    return "loaded";
  }
};

}  // namespace

TEST(PyLib, LoadsAPython3LibraryWithEveryEntryFilled) {
  FakeLibrary lib(kPython3Extras);
  PyLib t = lib.load();
  EXPECT_EQ(t.major, 3);
  EXPECT_EQ(t.minor, 11);
  EXPECT_EQ(t.patch, 7);
  EXPECT_EQ(t.headerOffset, 0u);
  EXPECT_EQ(reinterpret_cast<void*>(t.PyList_New), lib.address("PyList_New"));
  EXPECT_EQ(reinterpret_cast<void*>(t.None), lib.address("_Py_NoneStruct"));
  EXPECT_EQ(reinterpret_cast<void*>(t.Py_BuildValue), lib.address("_Py_BuildValue_SizeT"));
  EXPECT_EQ(reinterpret_cast<void*>(t.PyList_Type), lib.address("PyList_Type"));  // the object itself
  EXPECT_EQ(reinterpret_cast<void*>(t.PyExc_KeyError), lib.exceptionClass);       // what the variable holds
  EXPECT_EQ(reinterpret_cast<void*>(t.PyBytes_Type), lib.address("PyBytes_Type"));
  EXPECT_EQ(t.PyString_AsString, nullptr);  // not needed beside the text comparison
  EXPECT_NE(t.Py_DecRef, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(t.PyErr_CheckSignals), lib.address("PyErr_CheckSignals"));
  EXPECT_EQ(reinterpret_cast<void*>(t.PyExc_Exception), lib.exceptionClass);
}

TEST(PyLib, LoadsAPython2LibraryThroughTheAlternatives) {
  versionText = "2.7.18 (default)";
  FakeLibrary lib(kPython2Extras);
  PyLib t = lib.load();
  versionText = "3.11.7 (main)";
  EXPECT_EQ(t.major, 2);
  EXPECT_EQ(reinterpret_cast<void*>(t.PyBytes_Type), lib.address("PyString_Type"));
  EXPECT_EQ(reinterpret_cast<void*>(t.PyUnicode_FromString), lib.address("PyString_FromString"));
  EXPECT_EQ(reinterpret_cast<void*>(t.PyUnicode_AsUTF8String), lib.address("PyUnicodeUCS2_AsUTF8String"));
  EXPECT_EQ(reinterpret_cast<void*>(t.PyBytes_AsStringAndSize), lib.address("PyString_AsStringAndSize"));
  EXPECT_EQ(reinterpret_cast<void*>(t.PyBytes_FromStringAndSize), lib.address("PyString_FromStringAndSize"));
  EXPECT_EQ(reinterpret_cast<void*>(t.PyString_AsString), lib.address("PyString_AsString"));
  EXPECT_EQ(t.PyUnicode_CompareWithASCIIString, nullptr);
  EXPECT_EQ(t.PyObject_GetBuffer, nullptr);  // optional
  EXPECT_EQ(t.PyErr_Restore, nullptr);       // optional: errors then all go through the table
  EXPECT_EQ(t.headerOffset, 0u);
}

TEST(PyLib, EveryRequiredNameIsNamedWhenMissing) {
  for (const std::string& name : kRequired) {
    FakeLibrary lib(kPython3Extras);
    lib.names.erase(name);
    EXPECT_EQ(lib.failure(), "Symbol not loaded: " + name);
  }
}

TEST(PyLib, ResolutionStopsAtTheFirstMissingName) {
  FakeLibrary lib(kPython3Extras);
  lib.names.erase("PyList_Size");
  lib.names.erase("PyTuple_Size");  // resolved earlier, so it is the one reported
  EXPECT_EQ(lib.failure(), "Symbol not loaded: PyTuple_Size");
  EXPECT_EQ(lib.asked.back(), "PyTuple_Size");  // nothing after it was looked up
  for (const std::string& asked : lib.asked) EXPECT_NE(asked, "PyList_Size");
}

TEST(PyLib, AlternativesNameTheirLastCandidateWhenAllAreMissing) {
  struct Case {
    std::vector<std::string> removed;
    std::string reported;
  } cases[] = {
      {{"PyBytes_Type", "PyString_Type"}, "PyString_Type"},
      {{"PyUnicode_FromString", "PyString_FromString"}, "PyString_FromString"},
      {{"PyUnicode_AsUTF8String"}, "PyUnicodeUCS2_AsUTF8String"},
      {{"PyComplex_AsCComplex"}, "PyComplex_RealAsDouble"},
      {{"PyUnicode_CompareWithASCIIString"}, "PyString_AsString"},
      {{"PyBytes_AsStringAndSize"}, "PyString_AsStringAndSize"},
  };
  for (const Case& c : cases) {
    FakeLibrary lib(kPython3Extras);
    for (const std::string& name : c.removed) lib.names.erase(name);
    EXPECT_EQ(lib.failure(), "Symbol not loaded: " + c.reported);
  }
}

TEST(PyLib, ConditionalGroups) {
  // Without the complex conversion both part readers are needed, and then
  // they suffice.
  FakeLibrary complexParts(kPython3Extras);
  complexParts.names.erase("PyComplex_AsCComplex");
  complexParts.names.insert("PyComplex_RealAsDouble");
  EXPECT_EQ(complexParts.failure(), "Symbol not loaded: PyComplex_ImagAsDouble");
  complexParts.names.insert("PyComplex_ImagAsDouble");
  EXPECT_EQ(complexParts.failure(), "loaded");

  // The UCS4 encoder is taken before the UCS2 one.
  FakeLibrary ucs4(kPython3Extras);
  ucs4.names.erase("PyUnicode_AsUTF8String");
  ucs4.names.insert("PyUnicodeUCS4_AsUTF8String");
  ucs4.names.insert("PyUnicodeUCS2_AsUTF8String");
  EXPECT_EQ(reinterpret_cast<void*>(ucs4.load().PyUnicode_AsUTF8String),
            ucs4.address("PyUnicodeUCS4_AsUTF8String"));

  // A 2.x library lacking the byte-string constructor is refused by name.
  FakeLibrary python2(kPython2Extras);
  python2.names.erase("PyString_FromStringAndSize");
  EXPECT_EQ(python2.failure(), "Symbol not loaded: PyString_FromStringAndSize");
}

TEST(PyLib, VersionTexts) {
  struct Case {
    const char* text;
    int major, minor, patch;
  } cases[] = {
      {"3.10.4", 3, 10, 4}, {"3", 3, 0, 0}, {"3.13.0rc1 (main, Oct  1 2024)", 3, 13, 0}, {"2.7", 2, 7, 0}};
  for (const Case& c : cases) {
    versionText = c.text;
    PyLib t = FakeLibrary(kPython3Extras).load();
    EXPECT_EQ(t.major, c.major) << c.text;
    EXPECT_EQ(t.minor, c.minor) << c.text;
    EXPECT_EQ(t.patch, c.patch) << c.text;
  }
  versionText = "PyPy 7.3";
  EXPECT_EQ(FakeLibrary(kPython3Extras).failure(), "Could not determine Python version: PyPy 7.3");
  versionText = "3.11.7 (main)";

  FakeLibrary noVersion(kPython3Extras);
  noVersion.names.erase("Py_GetVersion");
  EXPECT_EQ(noVersion.failure(), "Could not determine Python version");
}

TEST(PyLib, HeaderOffsetIsSixteenOnlyWithoutTheUsualModuleCreators) {
  for (const char* creator : {"PyModule_Create2", "Py_InitModule4_64", "Py_InitModule4"}) {
    FakeLibrary lib(kPython3Extras);
    lib.names.erase("PyModule_Create2");
    lib.names.insert(creator);
    EXPECT_EQ(lib.load().headerOffset, 0u) << creator;
  }
  FakeLibrary tracing(kPython3Extras);
  tracing.names.erase("PyModule_Create2");
  tracing.names.insert("PyModule_Create2TraceRefs");
  EXPECT_EQ(tracing.load().headerOffset, 16u);
}
