#include "python/calls/binding.h"

#include <cstring>
#include <string>
#include <vector>

namespace zell {
namespace py {

namespace {

// "<name>() <what>", which the binder reports as a TypeError; messages
// are built only on failure.
[[noreturn]] void fail(const char* name, const std::string& what) {
  raiseValue(std::string(name) + "() " + what);
}

// Whether `kwargs` has the key `name`; an error the interpreter meets
// passes unchanged.
bool hasKeyword(Object* kwargs, const char* name) {
  PyRef key = PyRef::steal(pyLib.PyUnicode_FromString(name));
  if (!key) passPythonError();
  int found = pyLib.PyDict_Contains(kwargs, key.get());
  if (found < 0) passPythonError();
  return found != 0;
}

bool keyEquals(Object* key, const char* name) {
  if (pyLib.PyUnicode_CompareWithASCIIString) {
    return isOfType(key, pyLib.PyUnicode_Type) && pyLib.PyUnicode_CompareWithASCIIString(key, name) == 0;
  }
  const char* text = pyLib.PyString_AsString(key);
  if (!text) {
    pyLib.PyErr_Clear();
    return false;
  }
  return std::strcmp(text, name) == 0;
}

std::string keyText(Object* key) {
  std::string text;
  try {
    PyRef str = PyRef::steal(pyLib.PyObject_Str(key));
    if (str && readText(str.get(), text)) return text;
  } catch (const Error&) {
  }
  pyLib.PyErr_Clear();
  return "<unprintable key>";
}

bool namesParameter(Object* key, const Params& params) {
  for (int i = 0; i < params.count; ++i)
    if (keyEquals(key, params.names[i])) return true;
  return false;
}

// Refuses the first keyword that names no parameter.
void refuseUnexpectedKeyword(Object* kwargs, const Params& params, const char* name) {
  PyRef iterator = PyRef::steal(pyLib.PyObject_GetIter(kwargs));
  if (!iterator) passPythonError();
  while (PyRef key = PyRef::steal(pyLib.PyIter_Next(iterator.get()))) {
    if (!namesParameter(key.get(), params))
      fail(name, "got an unexpected keyword argument " + keyText(key.get()));
  }
  if (pyLib.PyErr_Occurred()) passPythonError();
}

}  // namespace

void verifyArgs(Object* args, Object* kwargs, const Params& params, const char* name) {
  // A callable without parameters ignores whatever it is given.
  if (params.count == 0) return;
  Ssize positional = args ? pyLib.PyTuple_Size(args) : 0;
  Ssize keywords = kwargs ? pyLib.PyDict_Size(kwargs) : 0;
  Ssize given = positional + keywords;
  bool countOk = params.required < params.count ? given >= params.required && given <= params.count
                                                : given == params.count;
  if (!countOk)
    fail(name, "takes exactly " + std::to_string(params.count) + " arguments (" + std::to_string(given) +
                   " given)");
  if (keywords == 0) return;

  Ssize matched = 0;
  for (Ssize i = positional; i < params.count; ++i) {
    if (hasKeyword(kwargs, params.names[i]))
      ++matched;
    else if (i < params.required)
      fail(name, std::string("missing 1 required positional argument: ") + params.names[i]);
  }
  if (matched == keywords) return;

  for (Ssize i = 0; i < positional && i < params.count; ++i)
    if (hasKeyword(kwargs, params.names[i]))
      fail(name, std::string("got multiple values for argument ") + params.names[i]);
  refuseUnexpectedKeyword(kwargs, params, name);
}

bool tupleAndDict(Object* const* args, Ssize nargs, Object* kwnames, PyRef& tuple, PyRef& dict) {
  // Every argument is held before anything is allocated: an allocation may
  // run the collector, and code it runs may make the caller's array let go
  // of one.
  Ssize keywords = kwnames ? pyLib.PyTuple_Size(kwnames) : 0;
  std::vector<PyRef> held;
  held.reserve(static_cast<size_t>(nargs + keywords));
  for (Ssize i = 0; i < nargs + keywords; ++i) held.push_back(PyRef::borrow(args[i]));
  tuple = PyRef::steal(pyLib.PyTuple_New(nargs));
  if (!tuple) return false;
  for (Ssize i = 0; i < nargs; ++i) fillNewTuple(tuple.get(), i, held[static_cast<size_t>(i)].release());
  if (keywords == 0) return true;
  dict = PyRef::steal(pyLib.PyDict_New());
  if (!dict) return false;
  for (Ssize i = 0; i < keywords; ++i) {
    Object* value = held[static_cast<size_t>(nargs + i)].get();
    if (pyLib.PyDict_SetItem(dict.get(), pyLib.PyTuple_GetItem(kwnames, i), value) != 0) return false;
  }
  return true;
}

PyRef fetchArg(Object* args, Object* kwargs, int index, const char* name) {
  Object* found = nullptr;
  if (args && index < pyLib.PyTuple_Size(args)) found = pyLib.PyTuple_GetItem(args, index);
  if (!found && kwargs) found = pyLib.PyDict_GetItemString(kwargs, name);
  return PyRef::borrow(found);
}

void raiseHoldsNoTree(const ClassDesc& cls) { raiseValue(std::string(cls.name) + " holds no tree"); }

}  // namespace py
}  // namespace zell
