// Errors across the boundary, both ways: a native error that escapes an
// operation becomes a Python exception of a class "pyglue.<kind>" derived
// from PyGlueException; a Python error met while the module calls into
// Python becomes a native error by a fixed table.
#pragma once

#include <string>

#include "python/abi/pyref.h"
#include "runtime/error.h"

namespace zell {
namespace py {

// The module's exception class, "pyglue.PyGlueException"; one reference is
// kept for the life of the process.
extern Object* glueException;

// Sets a new "pyglue.<kind>" exception with the message "Unexpected error
// encountered: <message>"; returns null for the handler to return.
Object* raiseInPython(const Error& error);

// Errors that travel: pickling an instance of PyGlueException or of one of
// its "pyglue.<kind>" classes gives (restore, (kind, args)), `restore` being
// the module function that unpickling calls; it makes a new "pyglue.<kind>"
// class, as a raise does, and its instance with the same arguments.
void makeGlueErrorsTravel(Object* restore);
PyRef restoreGlueError(const std::string& kind, Object* args);

// Sets TypeError with `message`; returns null.
Object* raiseTypeError(const std::string& message);
// Sets ImportError with `message`, or writes it on the standard error
// stream when no interpreter can be reached; returns null.
Object* raiseImportError(const std::string& message);
// Sets the built-in RuntimeError with `message`; returns null.
Object* raiseRuntimeError(const std::string& message);

// A Python error that travels through native code as it is: taken from the
// interpreter where it was met, made the pending error again where the call
// returns to Python.
class CarriedPythonError {
 public:
  // Takes the pending Python error (normalized).
  static CarriedPythonError take();
  void restore();
  Object* type() const { return type_.get(); }
  Object* value() const { return value_.get(); }

 private:
  PyRef type_, value_, traceback_;
};

// Takes the pending Python error and raises it as a native error by the
// fixed table. Errors that are not Exceptions (KeyboardInterrupt,
// SystemExit, GeneratorExit) are carried unchanged instead.
[[noreturn]] void raisePythonError();

// Raises the pending Python error unchanged, whatever its class.
[[noreturn]] void passPythonError();

// Raises the pending Python error unchanged when it is not an Exception,
// so that code which clears the errors it expects never swallows a Ctrl-C.
void passUnlessAnException();

// Where a C++ exception meets the interpreter.
enum class Boundary {
  Conversion,  // binding and converting arguments: ordinary errors are TypeErrors
  Operation,   // running an operation and converting its result
  Import,      // the module's entry point: an ImportError with the unhandled-error report
};

// The one place where C++ exceptions become Python errors. Call it only
// inside a catch block: the exception being handled becomes the pending
// Python error as `where` says. Returns null for the handler to return.
Object* raiseCaught(Boundary where) noexcept;

// Returns `result`, or raises the pending Python error when it is null.
inline Object* checked(Object* result) {
  if (!result) raisePythonError();
  return result;
}

}  // namespace py
}  // namespace zell
