// The names an interpreter library exports that the loader needs, as lists
// to expand: the unit tests make texts of them, the stand-in interpreter
// DLL of the Windows attachment test exports them.
#pragma once

// clang-format off

// Every name the loader requires, in its order.
#define ZELL_REQUIRED_NAMES(X) \
  X(_Py_BuildValue_SizeT) X(PyTuple_New) X(PyTuple_Size) X(PyTuple_GetItem) X(PyTuple_SetItem) \
  X(_Py_NoneStruct) X(PyType_Type) X(PyType_Ready) X(PyType_GenericNew) X(PyModule_AddObject) \
  X(PyList_New) X(PyList_Size) X(PyList_GetItem) X(PyList_SetItem) \
  X(PyObject_Call) X(PyObject_IsTrue) X(PyObject_GetAttrString) X(PyObject_SetAttrString) \
  X(PyObject_Dir) X(PyObject_Str) X(PyObject_GetIter) X(PyObject_GetItem) X(PyObject_SetItem) \
  X(PyObject_RichCompareBool) X(PyIter_Next) X(PyNumber_Long) X(PyLong_AsLongLong) \
  X(PyLong_AsUnsignedLongLong) X(PyFloat_AsDouble) X(PyBool_FromLong) \
  X(PyBool_Type) X(PyFloat_Type) X(PyComplex_Type) X(PyCapsule_Type) X(PyTuple_Type) X(PyList_Type) \
  X(PyUnicode_Type) X(PySuper_Type) X(PyType_IsSubtype) \
  X(PyDict_Type) X(PyDict_New) X(PyDict_Size) X(PyDict_GetItemString) X(PyDict_SetItemString) \
  X(PyDict_GetItem) X(PyDict_SetItem) X(PyDict_Keys) X(PyDict_Values) X(PyDict_Contains) \
  X(PyErr_Clear) X(PyErr_SetString) X(PyErr_Occurred) X(PyExc_TypeError) \
  X(PyCapsule_New) X(PyCapsule_GetPointer) X(PyImport_ImportModule) X(PyEval_GetBuiltins) \
  X(PyEval_GetGlobals) X(PyEval_GetLocals) X(PyCFunction_NewEx) \
  X(PyErr_Fetch) X(PyErr_NormalizeException) X(PyErr_GivenExceptionMatches) X(PyErr_NewException) \
  X(PyExc_ArithmeticError) X(PyExc_FloatingPointError) X(PyExc_OverflowError) \
  X(PyExc_ZeroDivisionError) X(PyExc_AssertionError) X(PyExc_OSError) X(PyExc_IOError) \
  X(PyExc_ValueError) X(PyExc_EOFError) X(PyExc_MemoryError) X(PyExc_IndexError) X(PyExc_KeyError) \
  X(Py_IncRef) X(Py_DecRef) X(_PyObject_GC_New) X(PyObject_GC_Del) X(PyObject_GC_Track) \
  X(PyObject_GC_UnTrack) X(PyObject_Init)

// The alternatives a 3.x library exports, and the optional names the
// module uses where present (Py_GetVersion, a function, is not among them).
#define ZELL_PYTHON3_NAMES(X) \
  X(PyBytes_Type) X(PyUnicode_FromString) X(PyComplex_AsCComplex) \
  X(PyUnicode_CompareWithASCIIString) X(PyUnicode_AsUTF8String) X(PyBytes_AsStringAndSize) \
  X(PyBytes_FromStringAndSize) X(PyModule_Create2) X(PyErr_CheckSignals) X(PyErr_Restore) \
  X(PyExc_Exception)

// clang-format on
