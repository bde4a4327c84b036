// A stand-in for an interpreter's DLL (python311.dll and the like) for the
// Windows attachment test. It exports Py_GetVersion and every name the
// loader requires, each a variable holding the address one byte past its
// own, so that an entry tells whether the loader took the variable or read
// it, followed by its own address where an object header names its type:
// the type of types is its own type. The build makes one that withholds a name by renaming it with a
// definition on the command line
// (-DPyErr_NewException=withheld_PyErr_NewException).
#include "python_names.h"

#define EXPORT_NAME(name) \
  extern "C" __declspec(dllexport) void* name[2] = {reinterpret_cast<char*>(&name) + 1, &name};
ZELL_REQUIRED_NAMES(EXPORT_NAME)
ZELL_PYTHON3_NAMES(EXPORT_NAME)

extern "C" __declspec(dllexport) const char* Py_GetVersion() { return STANDIN_VERSION; }
