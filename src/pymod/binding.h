// The one road of every call from Python: bind the arguments, convert them,
// run the native operation, convert its result back, translate errors.
#pragma once

#include <cstddef>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

#include "pymod/convert.h"
#include "pymod/errors.h"
#include "pymod/instance.h"

namespace zell {
namespace py {

// A callable's parameters: their keyword names in order, and how many
// leading ones are required (the instance of a method is not counted).
struct Params {
  const char* const* names;
  int count;
  int required;
};

template <size_t N>
constexpr Params params(const char* const (&names)[N], int required = static_cast<int>(N)) {
  return Params{names, static_cast<int>(N), required};
}
constexpr Params kNoParams{nullptr, 0, 0};

// A module function or method: its Python name, parameters and native
// operation. A method's operation takes the instance first.
template <class Op>
struct Callable {
  const char* name;
  Op op;
  Params params;
};

// Checks argument count and keyword names; an ordinary error (reported as
// TypeError) when they do not fit.
void verifyArgs(Object* args, Object* kwargs, const Params& params, const char* name);

// verifyArgs for callable `C`: one without parameters accepts anything, and
// knows so without a call.
template <const auto& C>
void bind(Object* args, Object* kwargs) {
  if constexpr (C.params.count > 0) verifyArgs(args, kwargs, C.params, C.name);
}

// The object supplied for parameter `index`, held for the call (its
// conversion may run Python code), or null.
PyRef fetchArg(Object* args, Object* kwargs, int index, const char* name);

// Binds and converts: ordinary native errors become TypeError with their
// message, anything else is reported like an error of the operation. False
// when the step failed (a Python error is set).
template <class F>
bool conversionPhase(F&& step) noexcept {
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
Object* callPhase(F&& step) noexcept {
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

// The result of an operation as a new Python reference; None for void.
template <class R, class F>
Object* resultOf(F&& run) {
  if constexpr (std::is_void_v<R>) {
    run();
    return newNone();
  } else {
    return toPy(run());
  }
}

template <class Op>
struct Road;

template <class R, class... A>
struct Road<R (*)(A...)> {
  using Values = std::tuple<std::decay_t<A>...>;

  // Converts the supplied arguments in declaration order, stopping at the
  // first failure; parameters not supplied keep their defaults.
  template <const auto& C, size_t... I>
  static void convertArgs([[maybe_unused]] Object* args, [[maybe_unused]] Object* kwargs,
                          [[maybe_unused]] Values& values, std::index_sequence<I...>) {
    (convertOne(fetchArg(args, kwargs, static_cast<int>(I), C.params.names[I]), std::get<I>(values)),
     ...);
  }
  template <class T>
  static void convertOne(const PyRef& supplied, T& value) {
    if (supplied) fromPy(supplied.get(), value);
  }

  template <const auto& C>
  static Object* function(Object*, Object* args, Object* kwargs) noexcept {
    Values values{};
    if (!conversionPhase([&] {
          bind<C>(args, kwargs);
          convertArgs<C>(args, kwargs, values, std::index_sequence_for<A...>{});
        }))
      return nullptr;
    return callPhase([&] { return resultOf<R>([&] { return std::apply(C.op, std::move(values)); }); });
  }
};

// A method: the first parameter is the instance.
template <class Op>
struct MethodRoad;

template <class R, class S, class... A>
struct MethodRoad<R (*)(S, A...)> {
  using Args = Road<void (*)(A...)>;
  using Self = SelfAccess<S>;

  template <const auto& C>
  static Object* method(Object* self, Object* args, Object* kwargs) noexcept {
    InstanceRef instance;
    typename Args::Values values{};
    if (!conversionPhase([&] {
          bind<C>(args, kwargs);
          instance = toInstance(self, Self::cls());
          Args::template convertArgs<C>(args, kwargs, values, std::index_sequence_for<A...>{});
        }))
      return nullptr;
    return callPhase([&] {
      typename Self::Held held = Self::hold(instance.get());
      return resultOf<R>([&] {
        return std::apply([&](auto&... v) { return C.op(Self::get(held), std::move(v)...); }, values);
      });
    });
  }
};

// The handler the interpreter calls for module function `C`.
template <const auto& C>
Object* functionHandler(Object* self, Object* args, Object* kwargs) noexcept {
  return Road<decltype(C.op)>::template function<C>(self, args, kwargs);
}

// The handler the interpreter calls for method `C`.
template <const auto& C>
Object* methodHandler(Object* self, Object* args, Object* kwargs) noexcept {
  return MethodRoad<decltype(C.op)>::template method<C>(self, args, kwargs);
}

}  // namespace py
}  // namespace zell
