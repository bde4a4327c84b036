#include "python/surface/pickles.h"

#include <algorithm>
#include <iterator>
#include <vector>

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

// The value of a boolean, an exact int of 32 bits or an exact float; false
// for any other object, subclasses included (their pickles name their class).
bool scalarOf(Object* o, pickles::Scalar& value) {
  Object* type = typeOf(o);
  if (type == pyLib.PyLong_Type) {
    int overflow = 0;
    long long v = pyLib.PyLong_AsLongLongAndOverflow(o, &overflow);
    if (overflow || v < INT32_MIN || v > INT32_MAX) return false;
    value.kind = pickles::Scalar::Int;
    value.integer = v;
  } else if (type == pyLib.PyFloat_Type) {
    value.kind = pickles::Scalar::Float;
    value.real = pyLib.inPlace ? floatValue(o) : pyLib.PyFloat_AsDouble(o);
  } else if (type == pyLib.PyBool_Type) {
    value.kind = pickles::Scalar::Bool;
    value.integer = pyLib.PyObject_IsTrue(o);
  } else {
    return false;
  }
  return true;
}

// The bytes of an exact str (UTF-8) or bytes object that the pickler writes
// as a string under `protocol`; false for anything else, subclasses and text
// that UTF-8 cannot hold as it is (lone surrogates) included.
bool blobOf(Object* o, int protocol, pickles::Blob& kind, std::string_view& data) {
  Object* type = typeOf(o);
  const char* bytes = nullptr;
  Ssize size = 0;
  if (type == pyLib.PyUnicode_Type && pyLib.PyUnicode_AsUTF8AndSize) {
    kind = pickles::Blob::Text;
    bytes = pyLib.PyUnicode_AsUTF8AndSize(o, &size);
    if (!bytes) pyLib.PyErr_Clear();  // left to pickle, which knows what to do
  } else if (type == pyLib.PyBytes_Type) {
    kind = pickles::Blob::Bytes;
    char* start;
    if (pyLib.PyBytes_AsStringAndSize(o, &start, &size) == 0)
      bytes = start;
    else
      pyLib.PyErr_Clear();
  }
  if (!bytes || !pickles::blobWritten(protocol, kind, static_cast<size_t>(size))) return false;
  data = std::string_view(bytes, static_cast<size_t>(size));
  return true;
}

// A new reference to the str or bytes object that pickle.loads makes of
// `data`, or null (no error pending) when the text is no UTF-8 that the
// unpickler takes: pickle.loads then raises its own error.
Object* objectOf(pickles::Blob kind, std::string_view data) {
  auto size = static_cast<Ssize>(data.size());
  if (kind == pickles::Blob::Bytes) return checked(pyLib.PyBytes_FromStringAndSize(data.data(), size));
  Object* text = pyLib.PyUnicode_DecodeUTF8(data.data(), size, "surrogatepass");
  if (!text) {
    passUnlessAnException();
    pyLib.PyErr_Clear();
  }
  return text;
}

// A new reference to the object that pickle.loads makes of `value`.
Object* objectOf(const pickles::Scalar& value) {
  switch (value.kind) {
    case pickles::Scalar::None:
      return newNone();
    case pickles::Scalar::Bool:
      return checked(pyLib.PyBool_FromLong(static_cast<long>(value.integer)));
    case pickles::Scalar::Int:
      return checked(pyLib.PyLong_FromLongLong(value.integer));
    case pickles::Scalar::Float:
      return checked(pyLib.PyFloat_FromDouble(value.real));
  }
  return newNone();
}

// The highest protocol that the interpreter's own unpickler reads.
int highestProtocol() { return pyLib.major < 3 ? 2 : pyLib.minor >= 8 ? 5 : pyLib.minor >= 4 ? 4 : 3; }

}  // namespace

PickleCodec::PickleCodec()
    : dumps_(callableAttribute(pickleModule, "dumps")),
      loads_(callableAttribute(pickleModule, "loads")),
      scalarsDumped_(dumps_.get() == builtinDumps && pyLib.PyLong_Type && pyLib.PyLong_AsLongLongAndOverflow),
      scalarsLoaded_(loads_.get() == builtinLoads && pyLib.PyLong_FromLongLong && pyLib.PyFloat_FromDouble
                         ? highestProtocol()
                         : 0) {}

void PickleCodec::dump(void* object, msgpack::Writer& out) {
  Object* o = static_cast<Object*>(object);
  bool none = !o || o == pyLib.None;
  if (none && !noneString_.empty()) return out.raw(noneString_);
  pickles::Scalar scalar;
  if (!none && scalarProtocol_ && scalarOf(o, scalar)) {
    // Written in place after a one-byte string header, which every scalar
    // pickle fits.
    static_assert(pickles::kMaxPickle <= msgpack::Writer::kFixStringMax, "a scalar pickle takes a fixstr");
    char* at = out.space(1 + pickles::kMaxPickle);
    size_t size = pickles::write(scalarProtocol_, scalar, at + 1);
    at[0] = static_cast<char>(0xa0 + size);
    return out.wrote(1 + size);
  }
  pickles::Blob kind;
  std::string_view data;
  if (!none && scalarProtocol_ && blobOf(o, scalarProtocol_, kind, data)) {
    size_t size = pickles::blobSize(scalarProtocol_, kind, data.size());
    out.stringHeader(size);
    pickles::writeBlob(scalarProtocol_, kind, data, out.space(size));
    return out.wrote(size);
  }
  PyRef pickled = callWith(dumps_.get(), none ? pyLib.None : o);
  std::string scratch;
  std::string_view bytes = bytesOf(pickled.get(), scratch);
  if (none) {
    msgpack::Writer string;
    string.string(bytes);
    noneString_.assign(string.bytes().data(), string.bytes().size());
    if (scalarsDumped_) scalarProtocol_ = pickles::protocolOf(bytes);
  }
  out.string(bytes);
}

// The payload string goes to pickle.loads as bytes, also when it happens to
// be valid UTF-8 (old pickle protocols write ASCII), so that every pickle
// loads whatever interpreter wrote it.
void* PickleCodec::load(std::string_view bytes) {
  if (pickles::isNone(bytes)) return newNone();
  pickles::Scalar scalar;
  if (scalarsLoaded_ && pickles::read(bytes, scalarsLoaded_, scalar)) return objectOf(scalar);
  pickles::Blob kind;
  std::string_view inside;
  if (scalarsLoaded_ && pyLib.PyUnicode_DecodeUTF8 && pickles::readBlob(bytes, scalarsLoaded_, kind, inside))
    if (Object* object = objectOf(kind, inside)) return object;
  PyRef data =
      PyRef::steal(checked(pyLib.PyBytes_FromStringAndSize(bytes.data(), static_cast<Ssize>(bytes.size()))));
  return callWith(loads_.get(), data.get()).release();
}

namespace {
thread_local std::vector<SavingOnThisThread*> savesUnderWay;
const char* const kSaveInsideItself =
    "a tree cannot be saved inside its own save: one of its payloads holds the tree";
// A payload's pickling may save the tree it belongs to (a hook that saves
// once): that ends. Saves of one tree nested this deep on one thread are a
// payload that holds the tree itself, which would nest without end.
constexpr int kMostNestedSaves = 8;
}  // namespace

SavingOnThisThread::SavingOnThisThread(const void* tree) : tree_(tree) {
  if (!tree_) return;
  int nested = 0;
  for (SavingOnThisThread* save : savesUnderWay) nested += save->tree_ == tree_;
  if (nested >= kMostNestedSaves) raiseValue(kSaveInsideItself);
  savesUnderWay.push_back(this);
}

SavingOnThisThread::~SavingOnThisThread() {
  if (!tree_) return;
  // The latest entry is this save's, unless code that switches stacks on
  // one thread interleaved two saves: then its own is found.
  auto mine = std::find(savesUnderWay.rbegin(), savesUnderWay.rend(), this);
  if (mine != savesUnderWay.rend()) savesUnderWay.erase(std::next(mine).base());
}

// The refusal's text travels inside the errors that each enclosing pickle
// call wraps it in.
void SavingOnThisThread::reportRefusalInside(const Error& error) {
  if (error.message().find(kSaveInsideItself) != std::string::npos) raiseValue(kSaveInsideItself);
}

// A pickle of None loads without a call into Python.
bool PickleCodec::inert(std::string_view bytes) const { return pickles::isNone(bytes); }

}  // namespace py
}  // namespace zell
