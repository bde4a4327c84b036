#include "python/calls/errors.h"

#include <cstdio>

#include "python/calls/convert.h"

namespace zell {
namespace py {

Object* glueException = nullptr;

Object* raiseInPython(const Error& error) {
  std::string className = std::string("pyglue.") + kindName(error.kind());
  // A new class per error: the pending error holds the only reference.
  Object* type = pyLib.PyErr_NewException(className.c_str(), glueException, nullptr);
  if (!type) return nullptr;  // the interpreter's own error is pending
  std::string message = "Unexpected error encountered: " + error.message();
  pyLib.PyErr_SetString(type, message.c_str());
  decRef(type);
  return nullptr;
}

namespace {

Object* glueRestore = nullptr;  // the module function that unpickles an error

// PyGlueException.__reduce__(self): (restore, (kind, args)).
Object* reduceGlueError(Object* self, Object*, Object*) noexcept {
  try {
    std::string kind = typeName(self);
    if (kind.rfind("pyglue.", 0) == 0) kind = kind.substr(7);
    PyRef args = PyRef::steal(checked(pyLib.PyObject_GetAttrString(self, "args")));
    return checked(pyLib.Py_BuildValue("(O(sO))", glueRestore, kind.c_str(), args.get()));
  } catch (...) {
    return raiseCaught(Boundary::Operation);
  }
}

const MethodDef kReduceGlueError{
    "__reduce__", &reduceGlueError, kVarargsKeywords,
    "__reduce__($self)\n--\n\nWhat pickle rebuilds the error from: its kind and its arguments."};

}  // namespace

void makeGlueErrorsTravel(Object* restore) {
  if (!pyLib.PyDescr_NewMethod) return;
  incRef(restore);  // kept for the life of the process, as the class is
  glueRestore = restore;
  PyRef method = PyRef::steal(checked(pyLib.PyDescr_NewMethod(glueException, &kReduceGlueError)));
  if (pyLib.PyObject_SetAttrString(glueException, "__reduce__", method.get()) != 0) raisePythonError();
}

PyRef restoreGlueError(const std::string& kind, Object* args) {
  PyRef type = PyRef::borrow(glueException);
  if (kind != "PyGlueException")
    type =
        PyRef::steal(checked(pyLib.PyErr_NewException(("pyglue." + kind).c_str(), glueException, nullptr)));
  return PyRef::steal(checked(pyLib.PyObject_Call(type.get(), args, nullptr)));
}

Object* raiseTypeError(const std::string& message) {
  pyLib.PyErr_SetString(pyLib.PyExc_TypeError, message.c_str());
  return nullptr;
}

Object* raiseImportError(const std::string& message) {
  void* importError = havePyLib() ? lookupInInterpreter("PyExc_ImportError") : nullptr;
  if (importError && pyLib.PyErr_SetString)
    pyLib.PyErr_SetString(*static_cast<Object**>(importError), message.c_str());
  else
    std::fprintf(stderr, "%s\n", message.c_str());
  return nullptr;
}

Object* raiseRuntimeError(const std::string& message) {
  if (!pyLib.PyExc_RuntimeError) return raiseInPython(Error(ErrorKind::Exception, message));
  pyLib.PyErr_SetString(pyLib.PyExc_RuntimeError, message.c_str());
  return nullptr;
}

namespace {

struct ErrorRow {
  Object* PyLib::*pythonClass;
  ErrorKind kind;
};

// The last matching row wins, so subclasses follow their bases.
const ErrorRow kPythonErrors[] = {
    {&PyLib::PyExc_ArithmeticError, ErrorKind::ArithmeticDefect},
    {&PyLib::PyExc_FloatingPointError, ErrorKind::FloatingPointDefect},
    {&PyLib::PyExc_OverflowError, ErrorKind::OverflowDefect},
    {&PyLib::PyExc_ZeroDivisionError, ErrorKind::DivByZeroDefect},
    {&PyLib::PyExc_AssertionError, ErrorKind::AssertionDefect},
    {&PyLib::PyExc_OSError, ErrorKind::OSError},
    {&PyLib::PyExc_IOError, ErrorKind::IOError},
    {&PyLib::PyExc_ValueError, ErrorKind::ValueError},
    {&PyLib::PyExc_EOFError, ErrorKind::EOFError},
    {&PyLib::PyExc_MemoryError, ErrorKind::OutOfMemDefect},
    {&PyLib::PyExc_KeyError, ErrorKind::KeyError},
    {&PyLib::PyExc_IndexError, ErrorKind::IndexDefect},
};

ErrorKind kindOfPythonError(Object* type) {
  ErrorKind kind = ErrorKind::Exception;
  for (const ErrorRow& row : kPythonErrors)
    if (pyLib.PyErr_GivenExceptionMatches(type, pyLib.*row.pythonClass)) kind = row.kind;
  // On 3.x IOError is another name of OSError.
  if (kind == ErrorKind::IOError && pyLib.major == 3) kind = ErrorKind::OSError;
  return kind;
}

std::string textOfError(Object* object) {
  PyRef text = PyRef::steal(pyLib.PyObject_Str(object));
  std::string out;
  if (!text) pyLib.PyErr_Clear();
  if (!text || !readText(text.get(), out)) raise(ErrorKind::AssertionDefect, "Can not stringify exception");
  return out;
}

// A Ctrl-C or an exit requested inside an operation must reach the caller
// as itself: turned into a "pyglue" class, it would be an Exception that
// any `except Exception` swallows.
bool carriedUnchanged(Object* type) {
  return pyLib.PyErr_Restore && pyLib.PyExc_Exception &&
         !pyLib.PyErr_GivenExceptionMatches(type, pyLib.PyExc_Exception);
}

void present(const Error& error, Boundary where) {
  switch (where) {
    case Boundary::Conversion:
      if (isOrdinary(error.kind()))
        raiseTypeError(error.message());
      else
        raiseInPython(error);
      return;
    case Boundary::Operation:
      raiseInPython(error);
      return;
    case Boundary::Import:
      raiseImportError(unhandledReport(error));
      return;
  }
}

}  // namespace

CarriedPythonError CarriedPythonError::take() {
  Object *type = nullptr, *value = nullptr, *traceback = nullptr;
  pyLib.PyErr_Fetch(&type, &value, &traceback);
  if (!type) raise(ErrorKind::AssertionDefect, "no Python error is pending");
  pyLib.PyErr_NormalizeException(&type, &value, &traceback);
  CarriedPythonError error;
  error.type_ = PyRef::steal(type);
  error.value_ = PyRef::steal(value);
  error.traceback_ = PyRef::steal(traceback);
  return error;
}

void CarriedPythonError::restore() {
  pyLib.PyErr_Restore(type_.release(), value_.release(), traceback_.release());
}

void raisePythonError() {
  CarriedPythonError error = CarriedPythonError::take();
  if (carriedUnchanged(error.type())) throw error;
  std::string valueText = textOfError(error.value());
  std::string typeText = textOfError(error.type());
  raise(kindOfPythonError(error.type()), typeText + ": " + valueText);
}

void passPythonError() {
  if (!pyLib.PyErr_Restore) raisePythonError();
  throw CarriedPythonError::take();
}

void passUnlessAnException() {
  Object* type = pyLib.PyErr_Occurred();
  if (type && carriedUnchanged(type)) throw CarriedPythonError::take();
}

Object* raiseCaught(Boundary where) noexcept {
  try {
    try {
      throw;
    } catch (CarriedPythonError& carried) {
      carried.restore();
    } catch (const Error& e) {
      present(e, where);
    } catch (const std::bad_alloc&) {
      present(Error(ErrorKind::OutOfMemDefect, "out of memory"), where);
    } catch (const std::exception& e) {
      present(Error(ErrorKind::Exception, e.what()), where);
    } catch (...) {
      present(Error(ErrorKind::Exception, "unknown native error"), where);
    }
  } catch (...) {
    // Not even the report could be built: memory ran out.
    if (havePyLib()) pyLib.PyErr_SetString(pyLib.PyExc_MemoryError, "out of memory");
  }
  return nullptr;
}

}  // namespace py
}  // namespace zell
