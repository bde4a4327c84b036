// The doc string of every function and method, built at compile time from
// its row and its entry in a table of doc texts:
//
//   name($self, coord, level=0)
//   --
//
//   <one line on what it does>
//
//   <its parameters and what it raises>
//
// The first lines are the interpreter's text signature, which help() and
// inspect.signature read (Python 2 shows them as they are). The parameter
// names come from the row itself and an optional parameter's default from
// the operation's own type, so the signature cannot drift from what the
// binder accepts. stubs/generate.py reads the same tables of doc texts for
// the stubs' doc strings.
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>

namespace zell {
namespace py {

// One entry of a table of doc texts. In `name`, "{d}" stands for the
// dimension digit of a module function's name; in the texts, "{d}" is
// the dimension D, "{n}" the number of children 2^D and "{last}" 2^D - 1.
struct DocText {
  const char* name;
  const char* summary;  // one line
  const char* details;  // the parameters and what it raises; may be empty
};

namespace docstrings {

constexpr bool equal(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

constexpr size_t length(const char* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

// Whether the doc name `pattern` names the row `name`; a "{d}" in it takes
// one digit, which goes to `digit`.
constexpr bool names(const char* pattern, const char* name, int& digit) {
  while (*pattern) {
    if (equal(pattern, "{d}", 3) && *name >= '0' && *name <= '9') {
      digit = *name++ - '0';
      pattern += 3;
    } else if (*pattern++ != *name++) {
      return false;
    }
  }
  return *name == 0;
}

// The index of the entry of `docs` that names `name`, or N when none does.
template <size_t N>
constexpr size_t find(const DocText (&docs)[N], const char* name) {
  for (size_t i = 0; i < N; ++i) {
    int digit = 0;
    if (names(docs[i].name, name, digit)) return i;
  }
  return N;
}

template <size_t N>
constexpr int digitOf(const DocText (&docs)[N], const char* name) {
  int digit = 0;
  names(docs[find(docs, name)].name, name, digit);
  return digit;
}

// Counts what it is given, and writes it when it has somewhere to.
struct Out {
  char* data = nullptr;
  size_t size = 0;

  constexpr void put(char c) {
    if (data) data[size] = c;
    ++size;
  }
  constexpr void put(const char* s) {
    while (*s) put(*s++);
  }
  constexpr void put(unsigned value) {
    if (value >= 10) put(value / 10);
    put(static_cast<char>('0' + value % 10));
  }
};

// A text with its placeholders filled in for dimension `d`.
constexpr void putFilled(Out& out, const char* text, int d) {
  unsigned children = 1u << d;
  while (*text) {
    if (equal(text, "{d}", 3)) {
      out.put(static_cast<unsigned>(d));
      text += 3;
    } else if (equal(text, "{n}", 3)) {
      out.put(children);
      text += 3;
    } else if (equal(text, "{last}", 6)) {
      out.put(children - 1);
      text += 6;
    } else {
      out.put(*text++);
    }
  }
}

// How a parameter left out reads in a text signature: the value its
// operation gets then, which is the type's value-initialised one.
template <class V>
constexpr const char* defaultText() {
  if constexpr (std::is_same_v<V, bool>)
    return "False";
  else if constexpr (std::is_integral_v<V>)
    return "0";
  else if constexpr (std::is_floating_point_v<V>)
    return "0.0";
  else
    return nullptr;  // a default no text signature can show
}

// The defaults of an operation's parameters after the instance, if any.
template <class F, bool kMethod>
struct Defaults;
template <class R, class... A>
struct Defaults<R(A...), false> {
  static constexpr const char* texts[] = {defaultText<std::decay_t<A>>()..., nullptr};
};
template <class R, class S, class... A>
struct Defaults<R(S, A...), true> {
  static constexpr const char* texts[] = {defaultText<std::decay_t<A>>()..., nullptr};
};

// The whole doc string of a row: `row` has the name, the keyword names and
// the count of required parameters; `defaults` the default of each.
template <class Row>
constexpr void putDoc(Out& out, const Row& row, const DocText& doc, const char* const* defaults, bool method,
                      int d) {
  out.put(row.name);
  out.put(method ? "($self" : "($module");
  for (size_t i = 0; i < row.names.size(); ++i) {
    out.put(", ");
    out.put(row.names[i]);
    if (static_cast<int>(i) >= row.required) {
      out.put("=");
      out.put(defaults[i]);
    }
  }
  // A module function without parameters ignores whatever it is given.
  if (!method && row.names.size() == 0) out.put(", *args, **kwargs");
  out.put(")\n--\n\n");
  putFilled(out, doc.summary, d);
  if (*doc.details) {
    out.put("\n\n");
    putFilled(out, doc.details, d);
  }
}

template <class Row>
constexpr bool defaultsShown(const Row& row, const char* const* defaults) {
  for (size_t i = static_cast<size_t>(row.required); i < row.names.size(); ++i)
    if (!defaults[i]) return false;
  return true;
}

}  // namespace docstrings
}  // namespace py
}  // namespace zell
