#include "pymod/pickles.h"

#include "pymod/convert.h"
#include "pymod/modules.h"

namespace zell {
namespace py {

namespace {

PyRef attribute(Object* module, const char* name) {
  PyRef value = PyRef::steal(pyLib.PyObject_GetAttrString(module, name));
  if (!value) {
    pyLib.PyErr_Clear();
    raiseValue(std::string("No callable attribute: ") + name);
  }
  return value;
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
    : dumps_(attribute(pickleModule, "dumps")), loads_(attribute(pickleModule, "loads")) {}

PyRef PickleCodec::call(const PyRef& function, Object* argument) {
  PyRef args = PyRef::steal(checked(pyLib.PyTuple_New(1)));
  incRef(argument);
  pyLib.PyTuple_SetItem(args.get(), 0, argument);
  return PyRef::steal(checked(pyLib.PyObject_Call(function.get(), args.get(), nullptr)));
}

void PickleCodec::dump(void* object, msgpack::Writer& out) {
  Object* o = static_cast<Object*>(object);
  bool none = !o || o == pyLib.None;
  if (none && !none_.empty()) return out.string(none_);
  PyRef pickled = call(dumps_, none ? pyLib.None : o);
  std::string scratch;
  std::string_view bytes = bytesOf(pickled.get(), scratch);
  if (none) none_.assign(bytes.data(), bytes.size());
  out.string(bytes);
}

void* PickleCodec::load(std::string_view bytes) {
  if (isPickledNone(bytes) || (!none_.empty() && bytes == none_)) return newNone();
  PyRef data = PyRef::steal(
      checked(pyLib.PyBytes_FromStringAndSize(bytes.data(), static_cast<Ssize>(bytes.size()))));
  return call(loads_, data.get()).release();
}

}  // namespace py
}  // namespace zell
