// Conversion of values between Python objects and native form, chosen by
// the native type. Python-to-native conversions raise ValueError with the
// conversion's message (the binder reports it as TypeError); native-to-
// Python conversions return a new reference.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "core/bulk.h"
#include "core/climber.h"
#include "core/contents.h"
#include "core/tree.h"
#include "python/abi/pyref.h"
#include "python/calls/buffers.h"
#include "python/calls/errors.h"

namespace zell {
namespace py {

[[noreturn]] void raiseConversionError(const std::string& typeName);

// Reads a str (as UTF-8) or bytes object into `out`. False for any other
// type; ValueError "Can't convert python obj to string" when encoding fails.
bool readText(Object* object, std::string& out);

// As readText, but in place: `out` views the bytes object itself or the
// UTF-8 encoding of the str, which `owner` then holds.
bool viewText(Object* object, PyRef& owner, std::string_view& out);

// Python to native.
void fromPy(Object* o, double& out);
void fromPy(Object* o, uint64_t& out);
void fromPy(Object* o, uint8_t& out);
void fromPy(Object* o, std::string& out);  // str (as UTF-8) or bytes

// A byte string read in place: a bytes object is viewed as it is, a str
// through its UTF-8 encoding; `owner` keeps the bytes alive.
struct ByteView {
  PyRef owner;
  std::string_view bytes;
};
void fromPy(Object* o, ByteView& out);
// Any object, None included.
__attribute__((always_inline)) inline void fromPy(Object* o, PyRef& out) { out = PyRef::borrow(o); }

// A list or tuple of exactly N numbers ("array[0..N-1, float]" or
// "array[0..N-1, uint]" when it is not one).
template <class T>
struct ElementName;
template <>
struct ElementName<double> {
  static constexpr const char* text = "float";
};
template <>
struct ElementName<uint64_t> {
  static constexpr const char* text = "uint";
};

// How a list or a tuple (or a subclass of either) is read by index,
// without running its code; false for any other object.
struct ListOrTuple {
  Ssize (*size)(Object*);
  Object* (*item)(Object*, Ssize);  // borrowed
};
bool listOrTuple(Object* o, ListOrTuple& access);

template <class T, size_t N>
[[noreturn]] void raiseArrayConversion() {
  raiseConversionError("array[0.." + std::to_string(N - 1) + ", " + ElementName<T>::text + "]");
}

// Exact floats run no code when read: when every item is one, their
// values are taken at once, with no reference taken.
template <size_t N>
__attribute__((always_inline)) inline bool readExactFloats(const ItemsView& view,
                                                           std::array<double, N>& out) {
  for (size_t i = 0; i < N; ++i)
    if (typeInPlace(view.items[i]) != pyLib.PyFloat_Type) return false;
  for (size_t i = 0; i < N; ++i) out[i] = floatValue(view.items[i]);
  return true;
}

template <class T, size_t N>
__attribute__((noinline)) void fromPyOneByOne(Object* o, std::array<T, N>& out) {
  ItemsView view;
  bool viewed = viewItems(o, view);
  if (viewed && view.size != static_cast<Ssize>(N)) raiseArrayConversion<T, N>();
  // Converting an element may run its own Python code (__float__,
  // __index__), which may change the list: every element is taken, with a
  // reference of its own, before the first is converted.
  std::array<PyRef, N> items;
  if (viewed) {
    for (size_t i = 0; i < N; ++i) items[i] = PyRef::borrow(view.items[i]);
  } else {
    ListOrTuple access;
    if (!listOrTuple(o, access) || access.size(o) != static_cast<Ssize>(N)) raiseArrayConversion<T, N>();
    for (size_t i = 0; i < N; ++i) items[i] = PyRef::borrow(access.item(o, static_cast<Ssize>(i)));
  }
  for (size_t i = 0; i < N; ++i) fromPy(items[i].get(), out[i]);
}

// A list or tuple of exact floats, the common point, is read in line;
// anything else element by element.
template <class T, size_t N>
__attribute__((always_inline)) inline void fromPy(Object* o, std::array<T, N>& out) {
  if constexpr (std::is_same_v<T, double>) {
    ItemsView view;
    if (viewItems(o, view) && view.size == static_cast<Ssize>(N) && readExactFloats(view, out)) return;
  }
  fromPyOneByOne(o, out);
}

// Many points, as a call on many reads them: a list or tuple of points,
// each read as a single point is, or a buffer of shape (N, D) of numbers,
// lent until the call ends and read as the call goes.
template <int D>
class Points : public PointSource<D> {
 public:
  size_t size() const override { return rows_ ? rows_->rows() : listed_.size(); }
  void read(size_t first, size_t count, Coord<D>* out) const override {
    static_assert(sizeof(Coord<D>) == D * sizeof(double), "a point is its D coordinates");
    if (rows_)
      rows_->read(first, count, out->data());
    else
      std::copy_n(listed_.begin() + static_cast<ptrdiff_t>(first), count, out);
  }

  // A point's conversion may run code that changes the list: it is read by
  // index, as a for loop reads it, each point held while it is converted.
  friend void fromPy(Object* o, Points& out) {
    ListOrTuple access;
    if (listOrTuple(o, access)) {
      out.listed_.reserve(static_cast<size_t>(access.size(o)));
      for (Ssize i = 0; i < access.size(o); ++i) {
        PyRef point = PyRef::borrow(access.item(o, i));
        out.listed_.emplace_back();
        fromPy(point.get(), out.listed_.back());
      }
    } else if (!(out.rows_ = NumberRows::borrow(o, D))) {
      raiseConversionError("list of points or array of shape (N, " + std::to_string(D) + ")");
    }
  }

 private:
  std::vector<Coord<D>> listed_;
  std::unique_ptr<NumberRows> rows_;
};

// Payloads for many points: a list, a tuple, or any sequence with len() and
// indexing, each item held. Reading a sequence of the user's runs its code.
struct PayloadList {
  std::vector<PyRef> items;
};
void fromPy(Object* o, PayloadList& out);

// Native to Python.
Object* toPy(double value);
Object* toPy(uint64_t value);
Object* toPy(int64_t value);
Object* toPy(bool value);
inline Object* toPy(PyRef object) { return object ? object.release() : newNone(); }  // null becomes None
Object* toPy(const std::string& bytes);  // str when valid UTF-8, else bytes
Object* textOrBytes(std::string_view bytes);
Object* toPy(const std::vector<uint64_t>& values);

// The ints of key components, each value made once while a result of many
// keys is built: the keys of one region share most of their components,
// and an int made again costs more than one looked up.
class KeyInts {
 public:
  // A new reference to the int `value`.
  Object* get(uint64_t value) {
    Slot& slot = slots_[value % kSlots];
    if (!slot.object || slot.value != value) {
      slot.object = PyRef::steal(toPy(value));
      slot.value = value;
    }
    incRef(slot.object.get());
    return slot.object.get();
  }

 private:
  static constexpr size_t kSlots = 1024;
  struct Slot {
    uint64_t value = 0;
    PyRef object;
  };
  Slot slots_[kSlots];
};

// A new tuple of the key's D ints.
template <int D>
Object* keyTuple(const Key<D>& key, KeyInts& ints) {
  // The ints first: once the tuple exists, nothing allocates until it is full.
  std::array<PyRef, D> items;
  for (int i = 0; i < D; ++i) items[i] = PyRef::steal(ints.get(key[i]));
  Object* tuple = checked(pyLib.PyTuple_New(D));
  for (int i = 0; i < D; ++i) fillNewTuple(tuple, i, items[i].release());
  return tuple;
}

// Trees and climbers become new instances of their classes (objects.h).
template <int D>
Object* toPy(Ref<Tree<D>> tree);
template <int D>
Object* toPy(Climber<D> climber);
template <int D>
Object* toPy(ItemWalk<D> walk);

// A new list of N items.
template <class T, size_t N>
Object* toPy(const std::array<T, N>& values) {
  PyRef list = PyRef::steal(checked(pyLib.PyList_New(static_cast<Ssize>(N))));
  for (size_t i = 0; i < N; ++i) fillNewList(list.get(), static_cast<Ssize>(i), toPy(values[i]));
  return list.release();
}

}  // namespace py
}  // namespace zell
