// Attaches to the interpreter as the module's entry point does, in a real
// Windows process: loads the DLLs named on the command line in that order
// (as python.exe has loaded its interpreter before any extension module),
// runs findPythonDLL and prints one line, what it attached to or the error.
//
//   attach_probe python311.dll python39.dll
//   attached to python311.dll, version 3.11.4, entries from its exports
//
// With --entry MODULE it instead loads the module file and calls its
// Python 3 entry point, which reports its failure on the standard error
// stream when no interpreter is loaded.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "python/abi/pylib.h"
#include "runtime/error.h"

using namespace zell;
using namespace zell::py;

namespace {

void* exported(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(pyLib.handle), name));
}

// The table's entries are the interpreter's exports: functions and objects
// at their addresses, an exception class read from its variable.
bool entriesFromExports() {
  return reinterpret_cast<void*>(pyLib.Py_BuildValue) == exported("_Py_BuildValue_SizeT") &&
         reinterpret_cast<void*>(pyLib.PyModule_AddObject) == exported("PyModule_AddObject") &&
         pyLib.PyDict_Type == exported("PyDict_Type") &&
         reinterpret_cast<void*>(pyLib.PyExc_KeyError) == *static_cast<void**>(exported("PyExc_KeyError")) &&
         reinterpret_cast<void*>(pyLib.Py_DecRef) == exported("Py_DecRef");
}

std::string fileNameOf(void* module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(static_cast<HMODULE>(module), path, MAX_PATH);
  const char* name = std::strrchr(path, '\\');
  return name ? name + 1 : path;
}

int attach() {
  try {
    findPythonDLL();
  } catch (const Error& e) {
    std::printf("%s\n", e.message().c_str());
    return 0;
  }
  std::printf("attached to %s, version %d.%d.%d, %s\n", fileNameOf(pyLib.handle).c_str(), pyLib.major,
              pyLib.minor, pyLib.patch, entriesFromExports() ? "entries from its exports" : "WRONG ENTRIES");
  return 0;
}

int enter(const char* modulePath) {
  HMODULE module = LoadLibraryA(modulePath);
  auto entry =
      module ? reinterpret_cast<void* (*)()>(GetProcAddress(module, "PyInit_zell_dim_1_2_3_4")) : nullptr;
  if (!entry) {
    std::printf("cannot load the entry point of %s\n", modulePath);
    return 2;
  }
  // On the stream the module writes its report to, so that it follows it.
  std::fprintf(stderr, "entry point returned %s\n", entry() ? "a module" : "null");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--entry") == 0) return enter(argv[2]);
  for (int i = 1; i < argc; ++i) {
    if (!LoadLibraryA(argv[i])) {
      std::printf("cannot load %s\n", argv[i]);
      return 2;
    }
  }
  return attach();
}
