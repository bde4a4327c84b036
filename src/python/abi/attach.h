// Where the interpreter's library is found: the one part of the module that
// knows the platform's loader. Each platform has its own file
// (attach_linux.cpp, attach_windows.cpp, attach_macos.cpp; the build picks
// one), and every other file reaches the interpreter through pylib.h.
//
// The library is only ever taken from among those the process has already
// loaded, because the interpreter that imports the module has loaded it:
// nothing is searched for on PATH, in the current directory or beside the
// executable, and no other library is loaded (a search could load a library
// planted in one of those places).
#pragma once

namespace zell {
namespace py {
namespace attach {

// The first library loaded in the process, in the loader's order, that
// exports `name`; null when none does. It stays loaded for the life of the
// process.
void* findExporter(const char* name);

// The address of `name` exported by `library`; null when it exports none.
void* lookup(void* library, const char* name);

// The message of the ValueError raised when no loaded library exports the
// interpreter's entry points.
extern const char* const kNoInterpreter;

}  // namespace attach
}  // namespace py
}  // namespace zell
