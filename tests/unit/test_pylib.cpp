// The interpreter table loaded from a fake library: which names are
// required, optional or alternatives, in which order they are resolved, how
// the version is read and how the object-header offset is chosen.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "python/abi/pylib.h"
#include "python_names.h"
#include "runtime/error.h"

using namespace zell;
using namespace zell::py;

namespace {

std::vector<std::string> words(const char* text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

#define NAME_TEXT(name) #name,
#define NAME_WORD(name) #name " "
// Every name a 3.x library exports that the loader requires, in its order.
const std::vector<std::string> kRequired = {ZELL_REQUIRED_NAMES(NAME_TEXT)};
const char* kPython3 = ZELL_PYTHON3_NAMES(NAME_WORD) "Py_GetVersion";
const char* kPython2 =
    "PyString_Type PyString_FromString PyComplex_AsCComplex PyString_AsString PyUnicodeUCS2_AsUTF8String "
    "PyString_AsStringAndSize PyString_FromStringAndSize Py_InitModule4_64 Py_GetVersion";

std::string versionText = "3.11.7 (main)";
const char* fakeGetVersion() { return versionText.c_str(); }

// Names mapped to distinct addresses; an exported exception class is a
// variable holding the class. Each object's header names the object itself
// as its type, where the module reads it with and without the two words of
// a reference-tracing build: the type of types is its own type.
struct FakeLibrary {
  std::set<std::string> names;
  std::vector<std::string> asked;
  std::map<std::string, std::unique_ptr<void*[]>> cells;
  void* exceptionClass = reinterpret_cast<void*>(0x1234);

  explicit FakeLibrary(const char* extras) : names(kRequired.begin(), kRequired.end()) {
    for (const std::string& name : words(extras)) names.insert(name);
  }
  void* address(const std::string& name) {
    if (name == "Py_GetVersion") return reinterpret_cast<void*>(&fakeGetVersion);
    if (name.rfind("PyExc_", 0) == 0) return &exceptionClass;
    std::unique_ptr<void*[]>& cell = cells[name];
    if (!cell) {
      cell.reset(new void*[4]());
      cell[1] = cell[3] = cell.get();
    }
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
      return e.message();
    }
    return "loaded";
  }
  FakeLibrary& without(const char* removed) {
    for (const std::string& name : words(removed)) names.erase(name);
    return *this;
  }
};

#define EXPECT_ENTRY(table, field, lib, name) \
  EXPECT_EQ(reinterpret_cast<void*>((table).field), (lib).address(name))

}  // namespace

TEST(PyLib, LibrariesOfBothMajorVersionsFillTheirEntries) {
  FakeLibrary three(kPython3), two(kPython2), ucs4(kPython3);
  PyLib t = three.load();
  EXPECT_EQ((std::vector<int>{t.major, t.minor, t.patch}), (std::vector<int>{3, 11, 7}));
  EXPECT_ENTRY(t, None, three, "_Py_NoneStruct");
  EXPECT_EQ(reinterpret_cast<void*>(t.PyExc_KeyError), three.exceptionClass);  // what the variable holds
  EXPECT_EQ(t.PyString_AsString, nullptr);  // not needed beside the text comparison
  versionText = "2.7.18 (default)";
  PyLib p = two.load();
  versionText = "3.11.7 (main)";
  EXPECT_ENTRY(p, PyBytes_Type, two, "PyString_Type");
  EXPECT_ENTRY(p, PyString_AsString, two, "PyString_AsString");
  EXPECT_EQ(p.PyErr_Restore, nullptr);  // optional: errors then all go through the table
  ucs4.without("PyUnicode_AsUTF8String")
      .names.insert({"PyUnicodeUCS4_AsUTF8String", "PyUnicodeUCS2_AsUTF8String"});
  EXPECT_ENTRY(ucs4.load(), PyUnicode_AsUTF8String, ucs4, "PyUnicodeUCS4_AsUTF8String");  // UCS4 first
}

TEST(PyLib, TheFirstMissingNameIsReportedAndEndsTheLoad) {
  for (const std::string& name : kRequired)
    EXPECT_EQ(FakeLibrary(kPython3).without(name.c_str()).failure(), "Symbol not loaded: " + name);
  FakeLibrary lib(kPython3);
  EXPECT_EQ(lib.without("PyList_Size PyTuple_Size").failure(), "Symbol not loaded: PyTuple_Size");
  EXPECT_EQ(lib.asked.back(), "PyTuple_Size");
  // Alternatives name their last candidate; a group needed only without
  // another name is needed then, and suffices.
  const char* cases[][2] = {{"PyBytes_Type PyString_Type", "PyString_Type"},
                            {"PyUnicode_CompareWithASCIIString", "PyString_AsString"},
                            {"PyComplex_AsCComplex", "PyComplex_RealAsDouble"}};
  for (auto& c : cases)
    EXPECT_EQ(FakeLibrary(kPython3).without(c[0]).failure(), std::string("Symbol not loaded: ") + c[1]);
  lib = FakeLibrary(kPython3);
  lib.without("PyComplex_AsCComplex").names.insert("PyComplex_RealAsDouble");
  EXPECT_EQ(lib.failure(), "Symbol not loaded: PyComplex_ImagAsDouble");
  lib.names.insert("PyComplex_ImagAsDouble");
  EXPECT_EQ(lib.failure(), "loaded");
}

TEST(PyLib, VersionAndHeaderOffset) {
  versionText = "3.13.0rc1 (main)";
  PyLib t = FakeLibrary(kPython3).load();
  EXPECT_EQ((std::vector<int>{t.major, t.minor, t.patch}), (std::vector<int>{3, 13, 0}));
  versionText = "PyPy 7.3";
  EXPECT_EQ(FakeLibrary(kPython3).failure(), "Could not determine Python version: PyPy 7.3");
  versionText = "3.11.7 (main)";
  // A reference-tracing build exports its module creators under other names.
  FakeLibrary two(kPython2), tracing(kPython3);
  EXPECT_EQ(two.load().headerOffset, 0u);
  tracing.without("PyModule_Create2").names.insert("PyModule_Create2TraceRefs");
  EXPECT_EQ(tracing.load().headerOffset, 16u);
}

TEST(PyLib, InterpretersOfAnotherObjectHeaderAreRefused) {
  PyLib t = FakeLibrary(kPython3).load();
  EXPECT_EQ(t.refusal, nullptr);
  for (const char* name : {"_Py_DecRefShared", "_Py_MergeZeroLocalRefcount"}) {
    FakeLibrary threads(kPython3);
    threads.names.insert(name);
    EXPECT_STREQ(threads.load().refusal, "this module does not support free-threaded CPython builds yet");
  }
  // A header whose type word is not where the module reads it.
  FakeLibrary foreign(kPython3);
  static_cast<void**>(foreign.address("PyType_Type"))[1] = nullptr;
  PyLib f = foreign.load();
  EXPECT_STREQ(f.refusal, "this module does not recognise the object layout of this interpreter");
  EXPECT_FALSE(f.inPlace);
}

TEST(PyLib, InPlacePathsOnlyWhereTheLayoutIsProven) {
  struct Case {
    const char* version;
    const char* extras;
    bool inPlace, immortals;
    size_t tupleItems;
  } cases[] = {
      {"2.7.18", "", true, false, 24},
      {"3.11.7", "", true, false, 24},
      {"3.11.7", "", true, false, 24},
      {"3.12.1", "", true, true, 24},
      {"3.13.0", "", true, true, 24},
      {"3.14.10", "", true, true, 32},
      {"3.15.2", "", true, true, 32},
      {"3.16.0a1", "", false, true, 32},
      {"3.15.2", "_Py_NegativeRefcount", false, true, 32},  // a debug build counts every change
  };
  for (const Case& c : cases) {
    versionText = c.version;
    FakeLibrary lib(c.version[0] == '2' ? kPython2 : kPython3);
    if (*c.extras) lib.names.insert(c.extras);
    PyLib t = lib.load();
    EXPECT_EQ(t.inPlace, c.inPlace) << c.version;
    EXPECT_EQ(t.immortals, c.immortals) << c.version;
    EXPECT_EQ(t.countWay, !c.inPlace    ? CountWay::ByCalls
                          : c.immortals ? CountWay::InPlaceSparingImmortals
                                        : CountWay::InPlace)
        << c.version;
    EXPECT_EQ(t.tupleItems, c.tupleItems) << c.version;
  }
}
