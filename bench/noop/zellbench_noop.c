/* The floor of the call road: a module function and a method of a tiny type
 * that do nothing, registered with METH_VARARGS | METH_KEYWORDS like every
 * callable of zell_dim_1_2_3_4. Built by bench/run.py against the running
 * interpreter's headers; only the benchmark loads it. */
#define PY_SSIZE_T_CLEAN
#include <Python.h>

static PyObject *noop_function(PyObject *self, PyObject *args, PyObject *kwargs) {
  (void)self;
  (void)args;
  (void)kwargs;
  Py_RETURN_NONE;
}

/* A new list of four ints: the floor of get_all_dimensions(). */
static PyObject *four_function(PyObject *self, PyObject *args, PyObject *kwargs) {
  (void)self;
  (void)args;
  (void)kwargs;
  PyObject *list = PyList_New(4);
  if (list == NULL) return NULL;
  for (Py_ssize_t i = 0; i < 4; ++i) PyList_SET_ITEM(list, i, PyLong_FromLong((long)i + 1));
  return list;
}

typedef struct {
  PyObject_HEAD
} NoopObject;

static PyTypeObject NoopType;

static PyObject *noop_method(PyObject *self, PyObject *args, PyObject *kwargs) {
  (void)self;
  (void)args;
  (void)kwargs;
  Py_RETURN_NONE;
}

/* The floor of a climber's calls by vectorcall: put(v) keeps nothing, get()
 * hands out a new reference to an object it holds. */
static PyObject *put_method(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames) {
  (void)self;
  (void)args;
  (void)nargs;
  (void)kwnames;
  Py_RETURN_NONE;
}

static PyObject *get_method(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames) {
  (void)args;
  (void)nargs;
  (void)kwnames;
  Py_INCREF(self);
  return self;
}

static PyMethodDef noop_type_methods[] = {
    {"noop", (PyCFunction)(void (*)(void))noop_method, METH_VARARGS | METH_KEYWORDS, "Does nothing."},
    {"put", (PyCFunction)(void (*)(void))put_method, METH_FASTCALL | METH_KEYWORDS, "Does nothing."},
    {"get", (PyCFunction)(void (*)(void))get_method, METH_FASTCALL | METH_KEYWORDS, "Returns self."},
    {NULL, NULL, 0, NULL}};

static PyTypeObject NoopType = {
    PyVarObject_HEAD_INIT(NULL, 0) "zellbench_noop.Noop", /* tp_name */
    sizeof(NoopObject),                                   /* tp_basicsize */
};

/* make(p): a new Noop, the floor of a lookup that hands out a climber. */
static PyObject *make_function(PyObject *self, PyObject *const *args, Py_ssize_t nargs, PyObject *kwnames) {
  (void)self;
  (void)args;
  (void)nargs;
  (void)kwnames;
  return PyType_GenericAlloc(&NoopType, 0);
}

static PyMethodDef noop_module_methods[] = {
    {"make", (PyCFunction)(void (*)(void))make_function, METH_FASTCALL | METH_KEYWORDS, "A new Noop."},
    {"noop", (PyCFunction)(void (*)(void))noop_function, METH_VARARGS | METH_KEYWORDS, "Does nothing."},
    {"four", (PyCFunction)(void (*)(void))four_function, METH_VARARGS | METH_KEYWORDS, "[1, 2, 3, 4]."},
    {NULL, NULL, 0, NULL}};

static struct PyModuleDef noop_module = {PyModuleDef_HEAD_INIT, "zellbench_noop", NULL, -1,
                                         noop_module_methods, NULL, NULL, NULL, NULL};

PyMODINIT_FUNC PyInit_zellbench_noop(void) {
  NoopType.tp_flags = Py_TPFLAGS_DEFAULT;
  NoopType.tp_new = PyType_GenericNew;
  NoopType.tp_methods = noop_type_methods;
  if (PyType_Ready(&NoopType) < 0) return NULL;
  PyObject *module = PyModule_Create(&noop_module);
  if (module == NULL) return NULL;
  Py_INCREF(&NoopType);
  if (PyModule_AddObject(module, "Noop", (PyObject *)&NoopType) < 0) {
    Py_DECREF(&NoopType);
    Py_DECREF(module);
    return NULL;
  }
  return module;
}
