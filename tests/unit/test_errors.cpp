#include <gtest/gtest.h>

#include "runtime/error.h"

using namespace zell;

template <class F>
Error caught(F&& f) {
  try {
    f();
  } catch (const Error& e) {
    return e;
  }
  ADD_FAILURE() << "no error raised";
  return Error(ErrorKind::Exception, "");
}

TEST(Errors, KindsFormOneHierarchySplitIntoOrdinaryAndDefects) {
  for (ErrorKind k : {ErrorKind::ValueError, ErrorKind::KeyError, ErrorKind::IOError, ErrorKind::OSError,
                      ErrorKind::EOFError, ErrorKind::ZellExceptionNoneNode}) {
    EXPECT_TRUE(isOrdinary(k)) << kindName(k);
    EXPECT_TRUE(kindIsA(k, ErrorKind::Exception));
  }
  for (ErrorKind k : {ErrorKind::IndexDefect, ErrorKind::RangeDefect, ErrorKind::OverflowDefect,
                      ErrorKind::UnpackDefect, ErrorKind::AssertionDefect, ErrorKind::ObjectConversionDefect,
                      ErrorKind::OutOfMemDefect, ErrorKind::ArithmeticDefect, ErrorKind::FloatingPointDefect,
                      ErrorKind::DivByZeroDefect}) {
    EXPECT_FALSE(isOrdinary(k)) << kindName(k);
    EXPECT_TRUE(kindIsA(k, ErrorKind::Defect));
    EXPECT_EQ(std::string(kindName(k)).substr(std::string(kindName(k)).size() - 6), "Defect");
  }
  EXPECT_FALSE(isOrdinary(ErrorKind::Exception));
  EXPECT_STREQ(kindName(ErrorKind::ZellExceptionNoneNode), "ZellExceptionNoneNode");
}

TEST(Errors, RuntimeDefectMessages) {
  struct Case {
    Error error;
    ErrorKind kind;
    const char* message;
  } cases[] = {
      {caught([] { raiseIndex(3, 2); }), ErrorKind::IndexDefect, "index 3 not in 0 .. 2"},
      {caught([] { raiseIndex(-1, 4); }), ErrorKind::IndexDefect, "index -1 not in 0 .. 4"},
      {caught([] { raiseIndexEmpty(); }), ErrorKind::IndexDefect, "index out of bounds, the container is empty"},
      {caught([] { raiseRange(300, 0, 255); }), ErrorKind::RangeDefect, "value out of range: 300 notin 0 .. 255"},
      {caught([] { raiseRange(); }), ErrorKind::RangeDefect, "value out of range"},
      {caught([] { raiseOverflow(); }), ErrorKind::OverflowDefect, "over- or underflow"},
      {caught([] { raiseObjectConversion(); }), ErrorKind::ObjectConversionDefect, "invalid object conversion"},
      {caught([] { raiseUnpack(); }), ErrorKind::UnpackDefect, "Can't obtain a value from a `none`"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.error.kind(), c.kind);
    EXPECT_EQ(c.error.message(), c.message);
  }
  EXPECT_EQ(unhandledReport(cases[0].error), "Error: unhandled exception: index 3 not in 0 .. 2 [IndexDefect]");
}
