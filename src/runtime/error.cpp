#include "runtime/error.h"

namespace zell {
namespace {

struct KindRow {
  const char* name;
  ErrorKind parent;
};

constexpr KindRow kKinds[] = {
#define ZELL_KIND_ROW(kind, parent) {#kind, ErrorKind::parent},
    ZELL_ERROR_KINDS(ZELL_KIND_ROW)
#undef ZELL_KIND_ROW
};

const KindRow& row(ErrorKind kind) { return kKinds[static_cast<int>(kind)]; }

}  // namespace

const char* kindName(ErrorKind kind) { return row(kind).name; }
ErrorKind parentKind(ErrorKind kind) { return row(kind).parent; }

bool kindIsA(ErrorKind kind, ErrorKind ancestor) {
  for (;;) {
    if (kind == ancestor) return true;
    if (kind == ErrorKind::Exception) return false;
    kind = parentKind(kind);
  }
}

void raise(ErrorKind kind, std::string message) { throw Error(kind, std::move(message)); }

void raiseIndex(int64_t index, int64_t last) {
  raise(ErrorKind::IndexDefect, "index " + std::to_string(index) + " not in 0 .. " + std::to_string(last));
}

void raiseRange(int64_t value, int64_t low, int64_t high) {
  raise(ErrorKind::RangeDefect, "value out of range: " + std::to_string(value) + " notin " +
                                    std::to_string(low) + " .. " + std::to_string(high));
}

void raiseRange() { raise(ErrorKind::RangeDefect, "value out of range"); }
void raiseObjectConversion() { raise(ErrorKind::ObjectConversionDefect, "invalid object conversion"); }
void raiseUnpack() { raise(ErrorKind::UnpackDefect, "Can't obtain a value from a `none`"); }

std::string unhandledReport(const Error& error) {
  return "Error: unhandled exception: " + error.message() + " [" + kindName(error.kind()) + "]";
}

}  // namespace zell
