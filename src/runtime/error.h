// Native errors: every failure in the module is a raised Error carrying a
// kind and a message. Kinds form one hierarchy under Exception; ordinary
// kinds are the ones callers are expected to handle, kinds ending in
// "Defect" report a broken precondition found at run time.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zell {

// kind, parent kind
#define ZELL_ERROR_KINDS(X)               \
  X(Exception, Exception)                 \
  X(OrdinaryError, Exception)             \
  X(Defect, Exception)                    \
  X(ValueError, OrdinaryError)            \
  X(KeyError, ValueError)                 \
  X(IOError, OrdinaryError)               \
  X(OSError, OrdinaryError)               \
  X(EOFError, IOError)                    \
  X(ZellExceptionNoneNode, OrdinaryError) \
  X(IndexDefect, Defect)                  \
  X(RangeDefect, Defect)                  \
  X(ArithmeticDefect, Defect)             \
  X(OverflowDefect, ArithmeticDefect)     \
  X(DivByZeroDefect, ArithmeticDefect)    \
  X(FloatingPointDefect, Defect)          \
  X(UnpackDefect, Defect)                 \
  X(AssertionDefect, Defect)              \
  X(ObjectConversionDefect, Defect)       \
  X(OutOfMemDefect, Defect)

enum class ErrorKind : uint8_t {
#define ZELL_KIND_ENUM(kind, parent) kind,
  ZELL_ERROR_KINDS(ZELL_KIND_ENUM)
#undef ZELL_KIND_ENUM
};

const char* kindName(ErrorKind kind);
ErrorKind parentKind(ErrorKind kind);
// True when `kind` is `ancestor` or derives from it.
bool kindIsA(ErrorKind kind, ErrorKind ancestor);
inline bool isOrdinary(ErrorKind kind) { return kindIsA(kind, ErrorKind::OrdinaryError); }

class Error : public std::exception {
 public:
  Error(ErrorKind kind, std::string message) : kind_(kind), message_(std::move(message)) {}
  ErrorKind kind() const { return kind_; }
  const std::string& message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  ErrorKind kind_;
  std::string message_;
};

[[noreturn]] void raise(ErrorKind kind, std::string message);
[[noreturn]] inline void raiseValue(std::string message) { raise(ErrorKind::ValueError, std::move(message)); }

// The runtime's own defects, with their fixed messages.
[[noreturn]] void raiseIndex(int64_t index, int64_t last);  // "index 3 not in 0 .. 2"
[[noreturn]] void raiseRange(int64_t value, int64_t low, int64_t high);
[[noreturn]] void raiseRange();  // a negative length or count
[[noreturn]] void raiseObjectConversion();
[[noreturn]] void raiseUnpack();  // an absent optional value was read

// The report written for an error nobody handled:
// "Error: unhandled exception: <message> [<kind>]".
std::string unhandledReport(const Error& error);

}  // namespace zell
