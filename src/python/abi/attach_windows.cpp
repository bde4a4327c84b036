// Windows: the process module list, from GetCurrentProcess and
// K32EnumProcessModules, in the order the loader gives it (the executable
// first). python.exe has loaded its pythonXY.dll before any extension
// module, so the interpreter is always among them.
//
// K32EnumProcessModules and GetProcAddress are imported from kernel32.dll,
// which every process has loaded, so the module needs no DLL that Windows
// does not ship.
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>

#include <algorithm>

#include "python/abi/attach.h"

namespace zell {
namespace py {
namespace attach {

namespace {

// An interpreter's process holds a few dozen modules; a longer list is cut
// here and its later modules are not looked at.
constexpr DWORD kModuleTableSize = 1024;

}  // namespace

const char* const kNoInterpreter = "Could not find pythonXX.dll";

void* findExporter(const char* name) {
  HMODULE modules[kModuleTableSize];
  DWORD bytes = 0;
  if (!K32EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return nullptr;
  // `bytes` is what the whole list needs, which can exceed the table.
  DWORD count = std::min<DWORD>(bytes / sizeof(HMODULE), kModuleTableSize);
  for (DWORD i = 0; i < count; ++i)
    if (GetProcAddress(modules[i], name)) return modules[i];
  return nullptr;
}

void* lookup(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

}  // namespace attach
}  // namespace py
}  // namespace zell
