#include "python/surface/pickles.h"

#include "python/calls/convert.h"
#include "python/surface/modules.h"

namespace zell {
namespace py {

namespace {

// The attribute `name` of `object`; ValueError "No callable attribute: "
// when it has none.
PyRef callableAttribute(Object* object, const char* name) {
  PyRef attribute = PyRef::steal(pyLib.PyObject_GetAttrString(object, name));
  if (!attribute) {
    pyLib.PyErr_Clear();  // replaced by the error below
    raiseValue(std::string("No callable attribute: ") + name);
  }
  return attribute;
}

// function(argument), as a new reference; the caller holds `argument`. The
// call of one argument without a tuple where the interpreter has it (3.9 on).
PyRef callWith(Object* function, Object* argument) {
  if (pyLib.PyObject_CallOneArg) return PyRef::steal(checked(pyLib.PyObject_CallOneArg(function, argument)));
  PyRef tuple = PyRef::steal(checked(pyLib.PyTuple_New(1)));
  incRef(argument);
  pyLib.PyTuple_SetItem(tuple.get(), 0, argument);
  return PyRef::steal(checked(pyLib.PyObject_Call(function, tuple.get(), nullptr)));
}

// The pickles of None of every protocol so far (protocol 4 as written
// with and without a frame): all of them load as None.
bool isPickledNone(std::string_view bytes) {
  static const std::string_view kForms[] = {
      std::string_view("N.", 2),
      std::string_view("\x80\x02N.", 4),
      std::string_view("\x80\x03N.", 4),
      std::string_view("\x80\x04N.", 4),
      std::string_view("\x80\x05N.", 4),
      std::string_view("\x80\x04\x95\x02\x00\x00\x00\x00\x00\x00\x00N.", 13),
  };
  for (std::string_view form : kForms)
    if (bytes == form) return true;
  return false;
}

// The bytes of a pickle: a bytes object is read in place, anything else
// goes through the string conversion into `scratch`.
std::string_view bytesOf(Object* pickled, std::string& scratch) {
  char* data;
  Ssize size;
  if (isOfType(pickled, pyLib.PyBytes_Type) && pyLib.PyBytes_AsStringAndSize(pickled, &data, &size) == 0)
    return std::string_view(data, static_cast<size_t>(size));
  fromPy(pickled, scratch);
  return scratch;
}

}  // namespace

PickleCodec::PickleCodec()
    : dumps_(callableAttribute(pickleModule, "dumps")), loads_(callableAttribute(pickleModule, "loads")) {}

void PickleCodec::dump(void* object, msgpack::Writer& out) {
  Object* o = static_cast<Object*>(object);
  bool none = !o || o == pyLib.None;
  if (none && !none_.empty()) return out.string(none_);
  PyRef pickled = callWith(dumps_.get(), none ? pyLib.None : o);
  std::string scratch;
  std::string_view bytes = bytesOf(pickled.get(), scratch);
  if (none) none_.assign(bytes.data(), bytes.size());
  out.string(bytes);
}

// The payload string goes to pickle.loads as bytes, also when it happens to
// be valid UTF-8 (old pickle protocols write ASCII), so that every pickle
// loads whatever interpreter wrote it.
void* PickleCodec::load(std::string_view bytes) {
  if (isPickledNone(bytes)) return newNone();
  PyRef data =
      PyRef::steal(checked(pyLib.PyBytes_FromStringAndSize(bytes.data(), static_cast<Ssize>(bytes.size()))));
  return callWith(loads_.get(), data.get()).release();
}

// A pickle of None loads without a call into Python.
bool PickleCodec::inert(std::string_view bytes) const { return isPickledNone(bytes); }

}  // namespace py
}  // namespace zell
