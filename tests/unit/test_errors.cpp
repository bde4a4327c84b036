#include <gtest/gtest.h>

#include "raised.h"
#include "runtime/error.h"

using namespace zell;

TEST(Errors, KindsFormOneHierarchySplitIntoOrdinaryAndDefects) {
  for (ErrorKind k : {ErrorKind::ValueError, ErrorKind::KeyError, ErrorKind::IOError, ErrorKind::OSError,
                      ErrorKind::EOFError, ErrorKind::ZellExceptionNoneNode}) {
    EXPECT_TRUE(isOrdinary(k)) << kindName(k);
    EXPECT_TRUE(kindIsA(k, ErrorKind::Exception));
  }
  for (ErrorKind k :
       {ErrorKind::IndexDefect, ErrorKind::RangeDefect, ErrorKind::OverflowDefect, ErrorKind::UnpackDefect,
        ErrorKind::AssertionDefect, ErrorKind::ObjectConversionDefect, ErrorKind::OutOfMemDefect,
        ErrorKind::ArithmeticDefect, ErrorKind::FloatingPointDefect, ErrorKind::DivByZeroDefect}) {
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
      {raised([] { raiseIndex(3, 2); }), ErrorKind::IndexDefect, "index 3 not in 0 .. 2"},
      {raised([] { raiseIndex(-1, 4); }), ErrorKind::IndexDefect, "index -1 not in 0 .. 4"},
      {raised([] { raiseRange(300, 0, 255); }), ErrorKind::RangeDefect,
       "value out of range: 300 notin 0 .. 255"},
      {raised([] { raiseRange(); }), ErrorKind::RangeDefect, "value out of range"},
      {raised([] { raiseObjectConversion(); }), ErrorKind::ObjectConversionDefect,
       "invalid object conversion"},
      {raised([] { raiseUnpack(); }), ErrorKind::UnpackDefect, "Can't obtain a value from a `none`"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.error.kind(), c.kind);
    EXPECT_EQ(c.error.message(), c.message);
  }
  EXPECT_EQ(unhandledReport(cases[0].error),
            "Error: unhandled exception: index 3 not in 0 .. 2 [IndexDefect]");
}
