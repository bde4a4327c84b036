#include "python/calls/convert.h"

#include <climits>

#include "runtime/memory.h"

namespace zell {
namespace py {

bool viewText(Object* object, PyRef& owner, std::string_view& out) {
  if (isOfType(object, pyLib.PyUnicode_Type)) {
    owner = PyRef::steal(pyLib.PyUnicode_AsUTF8String(object));
    if (!owner) {
      pyLib.PyErr_Clear();
      raiseValue("Can't convert python obj to string");
    }
  } else if (isOfType(object, pyLib.PyBytes_Type)) {
    owner = PyRef::borrow(object);
  } else {
    return false;
  }
  char* data = nullptr;
  Ssize size = 0;
  if (pyLib.PyBytes_AsStringAndSize(owner.get(), &data, &size) != 0) {
    pyLib.PyErr_Clear();
    raiseValue("Can't convert python obj to string");
  }
  out = std::string_view(data, static_cast<size_t>(size));
  return true;
}

bool readText(Object* object, std::string& out) {
  PyRef owner;
  std::string_view view;
  if (!viewText(object, owner, view)) return false;
  out.assign(view.data(), view.size());
  return true;
}

void raiseConversionError(const std::string& typeName) {
  raiseValue("Cannot convert python object to " + typeName);
}

namespace {

// True (and the interpreter's error cleared) when `failed` signals a
// pending Python error. A KeyboardInterrupt or SystemExit raised by the
// object's own conversion code is no conversion error: it passes unchanged.
bool clearedError(bool failed) {
  if (!failed || !pyLib.PyErr_Occurred()) return false;
  passUnlessAnException();
  pyLib.PyErr_Clear();
  return true;
}

[[noreturn]] void refuseAsString(Object* o) {
  raiseValue(std::string("Can't convert python obj of type '") + typeName(o) + "' to string");
}

}  // namespace

void fromPy(Object* o, double& out) {
  if (pyLib.inPlace && typeOf(o) == pyLib.PyFloat_Type) {  // a float itself: its value, read in place
    out = floatValue(o);
    return;
  }
  double x = pyLib.PyFloat_AsDouble(o);
  if (clearedError(x == -1.0)) raiseConversionError("float");
  out = x;
}

void fromPy(Object* o, uint64_t& out) {
  PyRef number = PyRef::steal(pyLib.PyNumber_Long(o));
  if (!number) {
    if (clearedError(true)) raiseConversionError("uint");
    raise(ErrorKind::AssertionDefect, "int() conversion failed without an error");
  }
  unsigned long long v = pyLib.PyLong_AsUnsignedLongLong(number.get());
  if (clearedError(v == ULLONG_MAX)) raiseConversionError("uint");
  out = v;
}

void fromPy(Object* o, uint8_t& out) {
  long long v = pyLib.PyLong_AsLongLong(o);
  if (clearedError(v == -1)) raiseConversionError("uint8");
  out = static_cast<uint8_t>(v);  // the low 8 bits; callers check the range
}

void fromPy(Object* o, std::string& out) {
  if (!readText(o, out)) refuseAsString(o);
}

void fromPy(Object* o, ByteView& out) {
  if (!viewText(o, out.owner, out.bytes)) refuseAsString(o);
}

bool listOrTuple(Object* o, ListOrTuple& access) {
  if (isOfType(o, pyLib.PyList_Type))
    access = ListOrTuple{pyLib.PyList_Size, pyLib.PyList_GetItem};
  else if (isOfType(o, pyLib.PyTuple_Type))
    access = ListOrTuple{pyLib.PyTuple_Size, pyLib.PyTuple_GetItem};
  else
    return false;
  return true;
}

void fromPy(Object* o, PayloadList& out) {
  ListOrTuple access;
  if (listOrTuple(o, access)) {
    Ssize size = access.size(o);
    out.items.reserve(static_cast<size_t>(size));
    for (Ssize i = 0; i < size; ++i) out.items.push_back(PyRef::borrow(access.item(o, i)));
    return;
  }
  auto refuse = [] { raiseConversionError("sequence of payloads"); };
  if (!pyLib.PyObject_Size || !pyLib.PySequence_GetItem) refuse();
  Ssize size = pyLib.PyObject_Size(o);
  if (size < 0) {
    clearedError(true);
    refuse();
  }
  // A length that memory cannot hold is no sequence's.
  if (!fitsInMemory(static_cast<uint64_t>(size), sizeof(PyRef))) refuse();
  out.items.reserve(static_cast<size_t>(size));
  for (Ssize i = 0; i < size; ++i) {
    PyRef item = PyRef::steal(pyLib.PySequence_GetItem(o, i));
    if (!item) {
      clearedError(true);
      refuse();
    }
    out.items.push_back(std::move(item));
  }
}

// Numbers are built directly where the interpreter exports the constructor
// (every supported one does), as Py_BuildValue would build them.
Object* toPy(double value) {
  if (pyLib.PyFloat_FromDouble) return checked(pyLib.PyFloat_FromDouble(value));
  return checked(pyLib.Py_BuildValue("d", value));
}
Object* toPy(uint64_t value) {
  unsigned long long v = value;
  if (pyLib.PyLong_FromUnsignedLongLong) return checked(pyLib.PyLong_FromUnsignedLongLong(v));
  return checked(pyLib.Py_BuildValue("K", v));
}
Object* toPy(int64_t value) {
  long long v = value;
  if (pyLib.PyLong_FromLongLong) return checked(pyLib.PyLong_FromLongLong(v));
  return checked(pyLib.Py_BuildValue("L", v));
}
Object* toPy(bool value) { return checked(pyLib.PyBool_FromLong(value)); }
Object* toPy(const std::string& bytes) { return textOrBytes(bytes); }

Object* textOrBytes(std::string_view bytes) {
  if (bytes.size() > static_cast<size_t>(INT32_MAX))
    raiseRange(static_cast<int64_t>(bytes.size()), 0, INT32_MAX);
  Ssize size = static_cast<Ssize>(bytes.size());
  if (Object* text = pyLib.Py_BuildValue("s#", bytes.data(), size)) return text;
  pyLib.PyErr_Clear();
  if (Object* raw = pyLib.Py_BuildValue("y#", bytes.data(), size)) return raw;
  pyLib.PyErr_Clear();
  raise(ErrorKind::AssertionDefect, "could not build a string of the result");
}

Object* toPy(const std::vector<uint64_t>& values) {
  PyRef list = PyRef::steal(checked(pyLib.PyList_New(static_cast<Ssize>(values.size()))));
  for (size_t i = 0; i < values.size(); ++i) fillNewList(list.get(), static_cast<Ssize>(i), toPy(values[i]));
  return list.release();
}

}  // namespace py
}  // namespace zell
