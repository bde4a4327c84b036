// The module's entry points. The first import registers the module's
// functions and classes (after importing os, pickle and the built-ins
// module), then builds the module object, its classes and PyGlueException.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pymod/api.h"
#include "pymod/modules.h"

namespace zell {
namespace py {

Object* osModule = nullptr;
Object* pickleModule = nullptr;
Object* builtinsModule = nullptr;

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
constexpr auto getAllDimensionsCall = callable("get_all_dimensions", &getAllDimensions);

ModuleDesc moduleDesc{"zell_dim_1_2_3_4", "", {}, {}};
bool registered = false;

Object* importModule(const char* name) {
  attachThread();
  Object* module = pyLib.PyImport_ImportModule(name);
  if (!module) raisePythonError();
  return module;
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
  osModule = importModule("os");
  pickleModule = importModule("pickle");
  builtinsModule = importModule(pyLib.major == 3 ? "builtins" : "__builtin__");
  payloadHooks = PayloadHooks{&retainObject, &releaseObject};
  interruptHook = &checkInterrupts;
  curModuleDef = &moduleDesc;
  addFunction(getAllDimensionsCall.name, &functionHandler<getAllDimensionsCall>);
  Api<1>::registerAll();
  Api<2>::registerAll();
  Api<3>::registerAll();
  Api<4>::registerAll();
  moduleDesc.functions.push_back(MethodDef{nullptr, nullptr, 0, nullptr});
  registered = true;
}

void addException(Object* module) {
  if (!glueException) glueException = checked(pyLib.PyErr_NewException("pyglue.PyGlueException", nullptr, nullptr));
  incRef(glueException);  // taken over by PyModule_AddObject; one stays ours
  if (pyLib.PyModule_AddObject(module, "PyGlueException", glueException) != 0) {
    decRef(glueException);
    raisePythonError();
  }
}

void finishModule(Object* module) {
  addClasses(module);
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
  std::memcpy(base + layout::kModuleName, &moduleDesc.name, sizeof moduleDesc.name);
  std::memcpy(base + layout::kModuleDoc, &moduleDesc.doc, sizeof moduleDesc.doc);
  std::memcpy(base + layout::kModuleSize, &size, sizeof size);
  MethodDef* methods = moduleDesc.functions.data();
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
  using Init = Object* (*)(const char*, MethodDef*, const char*, Object*, int);
  auto init = firstExported<Init>("Py_InitModule4", "Py_InitModule4_64");
  Object* module = init(moduleDesc.name, moduleDesc.functions.data(), moduleDesc.doc, nullptr, 1013);
  if (module) finishModule(module);  // borrowed: the interpreter owns it
}

// A failed import raises ImportError carrying the unhandled-error report,
// or writes the report on the standard error stream when no interpreter
// can be reached.
template <class F>
auto enter(F&& create) noexcept -> decltype(create()) {
  try {
    findPythonDLL();
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
