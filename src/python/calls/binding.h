// The one road of every call from Python: bind the arguments, convert them,
// run the native operation, convert its result back, translate errors.
//
// What Python can call is written as tables, one per class (and one per
// set of module functions): an ordered list of rows made by `def`, each
// naming the Python name, the operation and its parameters' keyword names,
// and beside them `docs`, a table of doc texts with an entry for each row's
// name (docstrings.h). A table of a class gives its dimension as
// kDimension.
// An operation is a function, a member function (its object is the method's
// instance) or a lambda without captures. The handler of row I of table T
// is handler<T, I>; the registration order is the table's order.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <iterator>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "python/calls/convert.h"
#include "python/calls/docstrings.h"
#include "python/calls/errors.h"
#include "python/objects/instance.h"

namespace zell {
namespace py {

// A parameter that may be left out (it keeps its native default).
struct Optional {
  const char* name;
};

// A callable's parameters: their keyword names in order, and how many
// leading ones are required (the instance of a method is not counted).
struct Params {
  const char* const* names;
  int count;
  int required;
};

// One row of a table.
template <class Op, size_t N>
struct Def {
  const char* name;
  Op op;
  std::array<const char*, N> names;
  int required;

  constexpr Params params() const { return Params{names.data(), static_cast<int>(N), required}; }
};

constexpr const char* keywordOf(const char* name) { return name; }
constexpr const char* keywordOf(Optional p) { return p.name; }

// def("coordToKey", &Tree<D>::coordToKey, "coord"); optional parameters,
// written Optional{"level"}, come last.
template <class Op, class... P>
constexpr Def<Op, sizeof...(P)> def(const char* name, Op op, P... params) {
  return Def<Op, sizeof...(P)>{
      name, op, {keywordOf(params)...}, (0 + ... + (std::is_same_v<P, Optional> ? 0 : 1))};
}

// The parameters of an operation as one function type, R(A...): a member
// function takes its object first, a lambda is its call operator.
template <class Op, class = void>
struct FunctionOf;
template <class R, class... A>
struct FunctionOf<R (*)(A...)> {
  using type = R(A...);
};
template <class R, class C, class... A>
struct FunctionOf<R (C::*)(A...)> {
  using type = R(C&, A...);
};
template <class R, class C, class... A>
struct FunctionOf<R (C::*)(A...) const> {
  using type = R(C&, A...);
};
template <class L>
struct FunctionOf<L, std::void_t<decltype(&L::operator())>> {
  template <class M>
  struct Call;
  template <class R, class... A>
  struct Call<R (L::*)(A...) const> {
    using type = R(A...);
  };
  using type = typename Call<decltype(&L::operator())>::type;
};

// Checks argument count and keyword names; an ordinary error (reported as
// TypeError) when they do not fit.
void verifyArgs(Object* args, Object* kwargs, const Params& params, const char* name);

// The object supplied for parameter `index`, held for the call (its
// conversion may run Python code), or null.
PyRef fetchArg(Object* args, Object* kwargs, int index, const char* name);

// Binds and converts: ordinary native errors become TypeError with their
// message, anything else is reported like an error of the operation. False
// when the step failed (a Python error is set).
template <class F>
__attribute__((always_inline)) inline bool conversionPhase(F&& step) noexcept {
  try {
    step();
    return true;
  } catch (...) {
    raiseCaught(Boundary::Conversion);
    return false;
  }
}

// Runs the operation and the result conversion; every native error becomes
// a "pyglue.<kind>" exception.
template <class F>
__attribute__((always_inline)) inline Object* callPhase(F&& step) noexcept {
  try {
    return step();
  } catch (...) {
    return raiseCaught(Boundary::Operation);
  }
}

// How the instance of a method reaches its operation, chosen by the type of
// the operation's first parameter: `cls` is the class the instance must
// be, `hold` takes what the call keeps for its duration (and may refuse, as
// an error of the operation), `get` hands the operation its argument.
template <class SelfParam>
struct SelfAccess;

// "<class> holds no tree": the refusal of a tree object emptied, or of a
// climber made by calling its class.
[[noreturn]] void raiseHoldsNoTree(const ClassDesc& cls);

// The result of an operation as a new Python reference; None for void.
template <class R, class F>
__attribute__((always_inline)) inline Object* resultOf(F&& run) {
  if constexpr (std::is_void_v<R>) {
    run();
    return newNone();
  } else {
    return toPy(run());
  }
}

// The row I of table T.
template <class T, size_t I>
constexpr const auto& rowOf() {
  return std::get<I>(T::rows);
}
template <class T, size_t I>
using FunctionOfRow = typename FunctionOf<std::decay_t<decltype(rowOf<T, I>().op)>>::type;

// Checks the count and the keywords of the arguments of row I; a row
// without parameters ignores whatever it is given, and knows so without a
// call.
template <class T, size_t I>
const ItemsView* bindArgs(Object* args, Object* kwargs, ItemsView& positional) {
  constexpr const auto& row = rowOf<T, I>();
  if constexpr (row.names.size() > 0) {
    // The common call, positional arguments only and as many as the row
    // takes, is settled by reading the tuple in place.
    constexpr auto count = static_cast<Ssize>(row.names.size());
    if (!kwargs && args && viewItems(args, positional) && positional.size >= row.required &&
        positional.size <= count)
      return &positional;
    verifyArgs(args, kwargs, row.params(), row.name);
  }
  return nullptr;
}

// Converts one argument, when it was supplied.
template <class V>
void convertSupplied(const PyRef& supplied, V& value) {
  if (supplied) fromPy(supplied.get(), value);
}
// The positional arguments lie in the caller's tuple or array, which holds
// them for the whole call whatever a conversion runs: no count is taken.
// In line: for the common arguments (a point, a payload) the call would
// cost more than the conversion. A required parameter's argument is there:
// binding checked the count.
template <bool kRequired, class V>
__attribute__((always_inline)) inline void convertPositional(const ItemsView& positional, Ssize index,
                                                             V& value) {
  if (kRequired || index < positional.size) fromPy(positional.items[index], value);
}

// Converts the supplied arguments of row I in declaration order, stopping at
// the first failure; parameters not supplied keep their defaults.
// `positional`: the arguments as bindArgs read them in place, or null.
template <class T, size_t I, class Values, size_t... K>
void convertArgs([[maybe_unused]] Object* args, [[maybe_unused]] Object* kwargs,
                 [[maybe_unused]] const ItemsView* positional, [[maybe_unused]] Values& values,
                 std::index_sequence<K...>) {
  constexpr const auto& row = rowOf<T, I>();
  if (positional)
    (convertPositional<(static_cast<int>(K) < row.required)>(*positional, static_cast<Ssize>(K),
                                                             std::get<K>(values)),
     ...);
  else
    (convertSupplied(fetchArg(args, kwargs, static_cast<int>(K), row.names[K]), std::get<K>(values)), ...);
}

// The arguments a road is given: positional arguments already known to bind
// as they are, passed by value so that a handler can hand them on without a
// frame of its own; or kToBind, when `args` and `kwargs` are still to bind.
constexpr ItemsView kToBind{nullptr, -1};

template <class T, size_t I, class F = FunctionOfRow<T, I>>
struct FunctionRoad;

// A module function.
template <class T, size_t I, class R, class... A>
struct FunctionRoad<T, I, R(A...)> {
  static Object* call(Object*, Object* args, Object* kwargs, ItemsView bound) noexcept {
    std::tuple<std::decay_t<A>...> values{};
    if (!conversionPhase([&]() __attribute__((always_inline)) {
          ItemsView view;
          const ItemsView* positional = bound.size >= 0 ? &bound : bindArgs<T, I>(args, kwargs, view);
          convertArgs<T, I>(args, kwargs, positional, values, std::index_sequence_for<A...>{});
        }))
      return nullptr;
    return callPhase(
        [&] { return resultOf<R>([&] { return std::apply(rowOf<T, I>().op, std::move(values)); }); });
  }
};

template <class T, size_t I, class F = FunctionOfRow<T, I>>
struct MethodRoad;

// A method: the operation's first parameter is the instance.
template <class T, size_t I, class R, class S, class... A>
struct MethodRoad<T, I, R(S, A...)> {
  using Self = SelfAccess<std::remove_const_t<std::remove_reference_t<S>>&>;

  static Object* call(Object* self, Object* args, Object* kwargs, ItemsView bound) noexcept {
    InstanceRef instance;
    std::tuple<std::decay_t<A>...> values{};
    if (!conversionPhase([&]() __attribute__((always_inline)) {
          ItemsView view;
          const ItemsView* positional = bound.size >= 0 ? &bound : bindArgs<T, I>(args, kwargs, view);
          instance = toInstance(self, Self::cls());
          convertArgs<T, I>(args, kwargs, positional, values, std::index_sequence_for<A...>{});
        }))
      return nullptr;
    return callPhase([&]() __attribute__((always_inline)) {
      typename Self::Held held = Self::hold(instance.get());
      return resultOf<R>([&] {
        return std::apply(
            [&](auto&... v) { return std::invoke(rowOf<T, I>().op, Self::get(held), std::move(v)...); },
            values);
      });
    });
  }
};

// The road of row I of table T: a method of a class when T::kMethods, else
// a module function.
template <class T, size_t I>
using Road = std::conditional_t<T::kMethods, MethodRoad<T, I>, FunctionRoad<T, I>>;

// The handler the interpreter calls for row I of table T, positional tuple
// and keyword dictionary.
template <class T, size_t I>
Object* handler(Object* self, Object* args, Object* kwargs) noexcept {
  return Road<T, I>::call(self, args, kwargs, kToBind);
}

// Whether `count` positional arguments without keywords bind to row I as
// they are; a row without parameters ignores whatever it is given.
template <class T, size_t I>
bool bindsAsGiven(Ssize count) {
  constexpr const auto& row = rowOf<T, I>();
  return row.names.size() == 0 || (count >= row.required && count <= static_cast<Ssize>(row.names.size()));
}

// A vectorcall's arguments as the positional tuple and keyword dictionary
// of the other convention; false with a Python error when they cannot be
// made.
bool tupleAndDict(Object* const* args, Ssize nargs, Object* kwnames, PyRef& tuple, PyRef& dict);

// Positional arguments that bind as they are, two or more: the caller's
// array may let go of one while the conversion of another runs code, so
// each is held first.
template <class T, size_t I>
__attribute__((noinline)) Object* callHoldingArgs(Object* self, Object* const* args, Ssize nargs) noexcept {
  std::array<PyRef, rowOf<T, I>().names.size()> held;
  for (Ssize i = 0; i < nargs; ++i) held[static_cast<size_t>(i)] = PyRef::borrow(args[i]);
  return Road<T, I>::call(self, nullptr, nullptr, ItemsView{args, nargs});
}

// Keywords, or counts the row refuses, by the other convention's road.
template <class T, size_t I>
__attribute__((noinline)) Object* callByTupleAndDict(Object* self, Object* const* args, Ssize nargs,
                                                     Object* kwnames) noexcept {
  PyRef tuple, dict;
  if (!tupleAndDict(args, nargs, kwnames, tuple, dict)) return nullptr;
  return Road<T, I>::call(self, tuple.get(), dict.get(), kToBind);
}

// Positional arguments that bind as they are: a single argument, or any
// number given to a row that converts none, is read where it lies.
template <class T, size_t I>
__attribute__((always_inline)) inline Object* callAsGiven(Object* self, Object* const* args,
                                                          Ssize nargs) noexcept {
  if constexpr (rowOf<T, I>().names.size() > 1)
    if (nargs > 1) return callHoldingArgs<T, I>(self, args, nargs);
  return Road<T, I>::call(self, nullptr, nullptr, ItemsView{args, nargs});
}

// A vectorcall that names keywords; an empty list of names is no keyword.
template <class T, size_t I>
__attribute__((noinline)) Object* callWithKeywordNames(Object* self, Object* const* args, Ssize nargs,
                                                       Object* kwnames) noexcept {
  if (pyLib.PyTuple_Size(kwnames) == 0 && bindsAsGiven<T, I>(nargs))
    return callAsGiven<T, I>(self, args, nargs);
  return callByTupleAndDict<T, I>(self, args, nargs, kwnames);
}

// The handler the interpreter calls for row I of table T by vectorcall.
// The common call, positional arguments that bind as they are, reads them
// where the interpreter keeps them; keywords and counts the row refuses
// take the other convention's road, whose binding and messages they then
// meet unchanged. Every way out is a tail call: the handler needs no frame.
template <class T, size_t I>
Object* fastHandler(Object* self, Object* const* args, Ssize nargs, Object* kwnames) noexcept {
  if (kwnames) return callWithKeywordNames<T, I>(self, args, nargs, kwnames);
  if (!bindsAsGiven<T, I>(nargs)) return callByTupleAndDict<T, I>(self, args, nargs, kwnames);
  return callAsGiven<T, I>(self, args, nargs);
}

// The calling convention of a table's handlers.
enum class Convention { Tuple, Vectorcall };

template <class T, class = void>
struct DimensionOf {
  static constexpr int value = 0;
};
template <class T>
struct DimensionOf<T, std::void_t<decltype(T::kDimension)>> {
  static constexpr int value = T::kDimension;
};

// The doc string of row I of table T, with the life of the process.
template <class T, size_t I>
struct RowDoc {
  static constexpr const auto& row = rowOf<T, I>();
  static constexpr size_t kEntry = docstrings::find(T::docs, row.name);
  static_assert(kEntry < std::size(T::docs), "every row has an entry in its table's doc texts");
  static constexpr const DocText& doc = T::docs[kEntry];
  static constexpr const char* const* defaults =
      docstrings::Defaults<FunctionOfRow<T, I>, T::kMethods>::texts;
  static_assert(docstrings::defaultsShown(row, defaults),
                "an optional parameter's default shows in its signature");
  // A module function's digit is in its name; a class's table gives its own.
  static constexpr int kDigit = docstrings::digitOf(T::docs, row.name);
  static constexpr int kDimension = kDigit ? kDigit : DimensionOf<T>::value;

  static constexpr size_t length() {
    docstrings::Out out;
    docstrings::putDoc(out, row, doc, defaults, T::kMethods, kDimension);
    return out.size;
  }
  static constexpr std::array<char, length() + 1> build() {
    std::array<char, length() + 1> text{};
    docstrings::Out out{text.data()};
    docstrings::putDoc(out, row, doc, defaults, T::kMethods, kDimension);
    return text;
  }
  static constexpr std::array<char, length() + 1> text = build();
};

// The method definitions of table T in its order, ended by the empty entry
// the interpreter looks for: a fixed array with the life of the process.
template <class T, Convention C, size_t... I>
constexpr std::array<MethodDef, sizeof...(I) + 1> methodDefs(std::index_sequence<I...>) {
  if constexpr (C == Convention::Vectorcall)
    return {
        {MethodDef{rowOf<T, I>().name, &fastHandler<T, I>, kFastcallKeywords, RowDoc<T, I>::text.data()}...,
         MethodDef{nullptr, Handler(nullptr), 0, nullptr}}};
  else
    return {{MethodDef{rowOf<T, I>().name, &handler<T, I>, kVarargsKeywords, RowDoc<T, I>::text.data()}...,
             MethodDef{nullptr, Handler(nullptr), 0, nullptr}}};
}
template <class T, Convention C>
constexpr auto methodDefs() {
  return methodDefs<T, C>(std::make_index_sequence<std::tuple_size_v<std::decay_t<decltype(T::rows)>>>{});
}

// Both conventions' tables of T; the module chooses one at import.
template <class T>
struct MethodDefs {
  static constexpr auto tuple = methodDefs<T, Convention::Tuple>();
  static constexpr auto vectorcall = methodDefs<T, Convention::Vectorcall>();
  static const MethodDef* chosen(Convention c) {
    return c == Convention::Vectorcall ? vectorcall.data() : tuple.data();
  }
};

}  // namespace py
}  // namespace zell
