// The bridge to the interpreter, run inside a real embedded interpreter:
// Python errors become native errors by the fixed table, and conversions
// clear the errors they meet.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "python/calls/convert.h"
#include "python/calls/errors.h"
#include "raised.h"

using namespace zell;
using namespace zell::py;

namespace {

// Starts the default python3's interpreter once for the whole run.
bool startInterpreter() {
  static int state = -1;
  if (state >= 0) return state == 1;
  state = 0;
  void* handle = dlopen(ZELL_TEST_LIBPYTHON, RTLD_NOW | RTLD_GLOBAL);
  if (!handle) return false;
  setenv("PYTHONHOME", ZELL_TEST_PYTHONHOME, 1);
  auto initialize = reinterpret_cast<void (*)(int)>(dlsym(handle, "Py_InitializeEx"));
  if (!initialize) return false;
  initialize(0);
  pyLib = loadPyLib([](void* h, const char* name) { return dlsym(h, name); }, handle);
  pyLib.handle = handle;
  state = 1;
  return true;
}

class InterpreterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!startInterpreter()) GTEST_SKIP() << "no interpreter library at " << ZELL_TEST_LIBPYTHON;
    builtins = PyRef::steal(pyLib.PyImport_ImportModule("builtins"));
    ASSERT_TRUE(builtins);
  }
  PyRef text(const char* s) { return PyRef::steal(pyLib.PyUnicode_FromString(s)); }
  // builtins.<function>(code, {}); an error raises as the native error of the table.
  PyRef run(const char* function, const char* code) {
    PyRef call = PyRef::steal(checked(pyLib.PyObject_GetAttrString(builtins.get(), function)));
    PyRef args = PyRef::steal(checked(pyLib.PyTuple_New(2)));
    pyLib.PyTuple_SetItem(args.get(), 0, text(code).release());
    pyLib.PyTuple_SetItem(args.get(), 1, checked(pyLib.PyDict_New()));
    return PyRef::steal(checked(pyLib.PyObject_Call(call.get(), args.get(), nullptr)));
  }
  PyRef eval(const char* code) { return run("eval", code); }
  Error errorOf(const char* statement) {
    Error e = raised([&] { run("exec", statement); }, statement);
    EXPECT_EQ(pyLib.PyErr_Occurred(), nullptr) << "the Python error was not taken";
    return e;
  }
  PyRef builtins;
};

}  // namespace

TEST_F(InterpreterTest, PythonErrorsBecomeNativeErrorsByTheirMostSpecificRow) {
  struct Case {
    const char* statement;
    ErrorKind kind;
    const char* message;
  } cases[] = {
      {"1/0", ErrorKind::DivByZeroDefect, "<class 'ZeroDivisionError'>: division by zero"},
      {"raise ArithmeticError('a')", ErrorKind::ArithmeticDefect, "<class 'ArithmeticError'>: a"},
      {"raise FloatingPointError('f')", ErrorKind::FloatingPointDefect, nullptr},
      {"raise OverflowError('o')", ErrorKind::OverflowDefect, nullptr},
      {"assert False, 'no'", ErrorKind::AssertionDefect, "<class 'AssertionError'>: no"},
      {"raise IOError('io')", ErrorKind::OSError, "<class 'OSError'>: io"},  // one class on 3.x
      {"raise FileNotFoundError('gone')", ErrorKind::OSError, nullptr},
      {"b'\\xff'.decode('utf-8')", ErrorKind::ValueError, nullptr},  // a subclass of ValueError
      {"raise EOFError('e')", ErrorKind::EOFError, nullptr},
      {"raise MemoryError('m')", ErrorKind::OutOfMemDefect, nullptr},
      {"{}['k']", ErrorKind::KeyError, "<class 'KeyError'>: 'k'"},
      {"[][1]", ErrorKind::IndexDefect, "<class 'IndexError'>: list index out of range"},
      {"len(5)", ErrorKind::Exception, "<class 'TypeError'>: object of type 'int' has no len()"},
      {"class Mute(Exception):\n def __str__(self): raise RuntimeError()\nraise Mute()",
       ErrorKind::AssertionDefect, "Can not stringify exception"},
  };
  for (const Case& c : cases) {
    Error e = errorOf(c.statement);
    EXPECT_EQ(e.kind(), c.kind) << c.statement << ": " << kindName(e.kind());
    EXPECT_EQ(e.message(), c.message ? c.message : e.message());
  }
}

TEST_F(InterpreterTest, ConversionsClearTheErrorsTheyMeet) {
  auto message = [](auto&& convert) {
    Error e = raised(convert, "converted");
    EXPECT_EQ(pyLib.PyErr_Occurred(), nullptr);
    return e.message();
  };
  double d;
  uint64_t u;
  uint8_t b;
  std::string s;
  EXPECT_EQ(message([&] { fromPy(text("x").get(), d); }), "Cannot convert python object to float");
  EXPECT_EQ(message([&] { fromPy(eval("2**64").get(), u); }), "Cannot convert python object to uint");
  EXPECT_EQ(message([&] { fromPy(eval("2**64").get(), b); }), "Cannot convert python object to uint8");
  EXPECT_EQ(message([&] { fromPy(eval("'\\udcff'").get(), s); }), "Can't convert python obj to string");
  fromPy(eval("2**64 - 1").get(), u);  // the largest key is not mistaken for an error
  fromPy(eval("-1").get(), b);
  EXPECT_EQ(u, UINT64_MAX);
  EXPECT_EQ(b, 255);
  PyRef bytes = PyRef::steal(toPy(std::string("\x92\x00\xff", 3)));  // text only when valid UTF-8
  EXPECT_EQ(typeOf(bytes.get()), pyLib.PyBytes_Type);
  EXPECT_EQ(typeOf(PyRef::steal(toPy(std::string("h\xc3\xa9"))).get()), pyLib.PyUnicode_Type);
}
