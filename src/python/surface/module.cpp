// The module's entry points. The first import registers the module's
// functions and classes (after importing pickle, which carries payloads),
// then builds the module object, its classes and PyGlueException.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "python/surface/api.h"
#include "python/surface/modules.h"
#include "python/surface/registry.h"

namespace zell {
namespace py {

Object* pickleModule = nullptr;
Object* builtinDumps = nullptr;
Object* builtinLoads = nullptr;

namespace {

// The dimensions this module is built for.
constexpr const char* kBuiltDimensions = "1,2,3,4";

// Splits at commas, reads each piece as an unsigned decimal, drops repeats.
std::vector<uint64_t> parseDimensions(const char* text) {
  std::vector<uint64_t> dims;
  for (const char* p = text;; ++p) {
    char* end;
    uint64_t d = std::strtoull(p, &end, 10);
    if (std::find(dims.begin(), dims.end(), d) == dims.end()) dims.push_back(d);
    p = end;
    if (*p != ',') return dims;
  }
}

const std::vector<uint64_t>& getAllDimensions() {
  static const std::vector<uint64_t> dims = parseDimensions(kBuiltDimensions);
  return dims;
}

// Unpickles an error the module raised (see makeGlueErrorsTravel).
PyRef restoreGlueErrorOf(std::string kind, PyRef args) { return restoreGlueError(kind, args.get()); }

constexpr const char* kModuleName = "zell_dim_1_2_3_4";
constexpr const char* kModuleDoc = "";

// The module functions in the order Python sees them.
struct ModuleFunctions {
  static constexpr bool kMethods = false;
  static constexpr const auto& docs = kFunctionDocs;
  static constexpr auto rows =
      std::tuple_cat(std::make_tuple(def("get_all_dimensions", &getAllDimensions)), Constructors<1>::rows,
                     Constructors<2>::rows, Constructors<3>::rows, Constructors<4>::rows,
                     std::make_tuple(def("_glue_error", &restoreGlueErrorOf, "kind", "args")));
};
using Functions = MethodDefs<ModuleFunctions>;

// The classes in the order Python sees them.
ClassDesc* const kClasses[] = {&Classes<1>::tree,    &Classes<1>::climber, &Classes<2>::tree,
                               &Classes<2>::climber, &Classes<3>::tree,    &Classes<3>::climber,
                               &Classes<4>::tree,    &Classes<4>::climber};
constexpr size_t kClassCount = sizeof kClasses / sizeof kClasses[0];
// The iterators' classes, which the module does not name.
ClassDesc* const kIteratorClasses[] = {&Classes<1>::items, &Classes<2>::items, &Classes<3>::items,
                                       &Classes<4>::items};

// Vectorcall where the interpreter has it with keywords (3.7 on), unless
// the environment asks for the positional tuple road, which the tests then
// hold to the same results.
Convention convention() {
  if (pyLib.major != 3 || pyLib.minor < 7) return Convention::Tuple;
  const char* asked = std::getenv("ZELL_DIM_1_2_3_4_CALLS");
  return asked && std::string(asked) == "tuple" ? Convention::Tuple : Convention::Vectorcall;
}

template <int D>
void attachMethods(Convention c) {
  Classes<D>::tree.methods = MethodDefs<TreeMethods<D>>::chosen(c);
  Classes<D>::climber.methods = MethodDefs<ClimberMethods<D>>::chosen(c);
}

bool registered = false;
const MethodDef* functions = nullptr;  // the module functions, of the chosen convention

Object* importModule(const char* name) {
  attachThread();
  Object* module = pyLib.PyImport_ImportModule(name);
  if (!module) raisePythonError();
  return module;
}

// The pickler's own functions, when the interpreter has that module; the
// module stays imported for the life of the process, as pickle does.
void findBuiltinPickler() {
  Object* module = pyLib.PyImport_ImportModule("_pickle");
  if (!module) return pyLib.PyErr_Clear();
  builtinDumps = pyLib.PyObject_GetAttrString(module, "dumps");
  builtinLoads = pyLib.PyObject_GetAttrString(module, "loads");
  if (!builtinDumps || !builtinLoads) pyLib.PyErr_Clear();
}

void retainObject(void* o) { incRef(static_cast<Object*>(o)); }
void releaseObject(void* o) { decRef(static_cast<Object*>(o)); }

// Runs the program's signal handlers. The error one raises (a
// KeyboardInterrupt, a timeout of the program's own) stops the walk that
// asked and reaches the caller unchanged.
void checkInterrupts() {
  if (pyLib.PyErr_CheckSignals && pyLib.PyErr_CheckSignals() != 0) passPythonError();
}

// Runs once per process, at the first import.
void registerModule() {
  if (registered) return;
  pickleModule = importModule("pickle");
  findBuiltinPickler();
  payloadHooks = PayloadHooks{&retainObject, &releaseObject};
  interruptHook = &checkInterrupts;
  Convention calls = convention();
  functions = Functions::chosen(calls);
  attachMethods<1>(calls);
  attachMethods<2>(calls);
  attachMethods<3>(calls);
  attachMethods<4>(calls);
  registerClasses(kClasses, kClassCount);
  registered = true;
}

void addException(Object* module) {
  if (!glueException) {
    glueException = checked(pyLib.PyErr_NewException("pyglue.PyGlueException", nullptr, nullptr));
    PyRef restore = PyRef::steal(checked(pyLib.PyObject_GetAttrString(module, "_glue_error")));
    makeGlueErrorsTravel(restore.get());
  }
  incRef(glueException);  // taken over by PyModule_AddObject; one stays ours
  if (pyLib.PyModule_AddObject(module, "PyGlueException", glueException) != 0) {
    decRef(glueException);
    raisePythonError();
  }
}

void finishModule(Object* module) {
  addClasses(module, kClasses, kClassCount);
  buildClasses(kIteratorClasses, sizeof kIteratorClasses / sizeof kIteratorClasses[0]);
  addException(module);
}

// Python 3's module definition, with every field shifted by the header
// offset; it lives as long as the process.
Object* moduleDefinition() {
  static unsigned char* def = nullptr;
  if (def) return reinterpret_cast<Object*>(def);
  def = static_cast<unsigned char*>(std::calloc(1, layout::kModuleDefSize + pyLib.headerOffset));
  if (!def) throw std::bad_alloc();
  unsigned char* base = def + pyLib.headerOffset;
  Ssize count = 1, size = -1;
  std::memcpy(base + layout::kObjectRefcnt, &count, sizeof count);
  const MethodDef* methods = functions;
  std::memcpy(base + layout::kModuleName, &kModuleName, sizeof kModuleName);
  std::memcpy(base + layout::kModuleDoc, &kModuleDoc, sizeof kModuleDoc);
  std::memcpy(base + layout::kModuleSize, &size, sizeof size);
  std::memcpy(base + layout::kModuleMethods, &methods, sizeof methods);
  return reinterpret_cast<Object*>(def);
}

template <class F>
F firstExported(const char* name, const char* alternative) {
  void* address = lookupInInterpreter(name);
  if (!address) address = lookupInInterpreter(alternative);
  if (!address) raiseValue(std::string("Symbol not loaded: ") + alternative);
  return reinterpret_cast<F>(address);
}

Object* createModule3() {
  using Create = Object* (*)(Object*, int);
  auto create = firstExported<Create>("PyModule_Create2", "PyModule_Create2TraceRefs");
  Object* module = create(moduleDefinition(), 3);
  if (!module) return nullptr;
  try {
    finishModule(module);
  } catch (...) {
    decRef(module);
    throw;
  }
  return module;
}

void createModule2() {
  using Init = Object* (*)(const char*, const MethodDef*, const char*, Object*, int);
  auto init = firstExported<Init>("Py_InitModule4", "Py_InitModule4_64");
  Object* module = init(kModuleName, functions, kModuleDoc, nullptr, 1013);
  if (module) finishModule(module);  // borrowed: the interpreter owns it
}

// A failed import raises ImportError carrying the unhandled-error report,
// or writes the report on the standard error stream when no interpreter
// can be reached. An interpreter the module cannot serve is refused before
// anything is written.
template <class F>
auto enter(F&& create) noexcept -> decltype(create()) {
  try {
    findPythonDLL();
    if (pyLib.refusal) {
      raiseImportError(pyLib.refusal);
      return decltype(create())();
    }
    registerModule();
    return create();
  } catch (...) {
    raiseCaught(Boundary::Import);
  }
  return decltype(create())();
}

}  // namespace
}  // namespace py
}  // namespace zell

extern "C" __attribute__((visibility("default"))) zell::py::Object* PyInit_zell_dim_1_2_3_4() {
  return zell::py::enter([] { return zell::py::createModule3(); });
}

extern "C" __attribute__((visibility("default"))) void initzell_dim_1_2_3_4() {
  zell::py::enter([] { zell::py::createModule2(); });
}
