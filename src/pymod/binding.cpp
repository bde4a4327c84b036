#include "pymod/binding.h"

#include <cstring>
#include <string>

namespace zell {
namespace py {

namespace {

// Sets TypeError "<name>() <what>"; messages are built only on failure.
bool fail(const char* name, const std::string& what) {
  raiseTypeError(std::string(name) + "() " + what);
  return false;
}

// 1 when `kwargs` has the key `name`, 0 when not, -1 with a Python error.
int hasKeyword(Object* kwargs, const char* name) {
  PyRef key = PyRef::steal(pyLib.PyUnicode_FromString(name));
  if (!key) return -1;
  return pyLib.PyDict_Contains(kwargs, key.get());
}

bool keyEquals(Object* key, const char* name) {
  if (pyLib.PyUnicode_CompareWithASCIIString) {
    return isOfType(key, pyLib.PyUnicode_Type) &&
           pyLib.PyUnicode_CompareWithASCIIString(key, name) == 0;
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

// The first keyword that names no parameter; false with a TypeError set.
bool refuseUnexpectedKeyword(Object* kwargs, const Params& params, const char* name) {
  PyRef iterator = PyRef::steal(pyLib.PyObject_GetIter(kwargs));
  if (!iterator) return false;
  while (PyRef key = PyRef::steal(pyLib.PyIter_Next(iterator.get()))) {
    if (!namesParameter(key.get(), params))
      return fail(name, "got an unexpected keyword argument " + keyText(key.get()));
  }
  return !pyLib.PyErr_Occurred();
}

}  // namespace

bool verifyArgs(Object* args, Object* kwargs, const Params& params, const char* name) {
  // A callable without parameters ignores whatever it is given.
  if (params.count == 0) return true;
  Ssize positional = args ? pyLib.PyTuple_Size(args) : 0;
  Ssize keywords = kwargs ? pyLib.PyDict_Size(kwargs) : 0;
  Ssize given = positional + keywords;
  bool countOk = params.required < params.count
                     ? given >= params.required && given <= params.count
                     : given == params.count;
  if (!countOk)
    return fail(name, "takes exactly " + std::to_string(params.count) + " arguments (" +
                          std::to_string(given) + " given)");
  if (keywords == 0) return true;

  Ssize matched = 0;
  for (Ssize i = positional; i < params.count; ++i) {
    int found = hasKeyword(kwargs, params.names[i]);
    if (found < 0) return false;
    if (found) ++matched;
    else if (i < params.required)
      return fail(name, std::string("missing 1 required positional argument: ") + params.names[i]);
  }
  if (matched == keywords) return true;

  for (Ssize i = 0; i < positional && i < params.count; ++i) {
    int found = hasKeyword(kwargs, params.names[i]);
    if (found < 0) return false;
    if (found) return fail(name, std::string("got multiple values for argument ") + params.names[i]);
  }
  return refuseUnexpectedKeyword(kwargs, params, name);
}

Object* fetchArg(Object* args, Object* kwargs, int index, const char* name) {
  Object* found = nullptr;
  if (args && index < pyLib.PyTuple_Size(args)) found = pyLib.PyTuple_GetItem(args, index);
  if (!found && kwargs) found = pyLib.PyDict_GetItemString(kwargs, name);
  return found;
}

}  // namespace py
}  // namespace zell
