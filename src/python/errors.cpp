// errors.cpp — TovarnError and Python exception conversion.
#include "python/errors.h"

#include <string>

#include "python/py_ref.h"

namespace tovarn::py {

namespace {

PyObject* g_error_type = nullptr;

// The object's str() as UTF-8, or empty when that fails.
std::string str_of(PyObject* o) {
  if (!o) return {};
  PyRef s(PyObject_Str(o));
  if (!s) {
    PyErr_Clear();
    return {};
  }
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(s.get(), &n);
  if (!p) {
    PyErr_Clear();
    return {};
  }
  return std::string(p, static_cast<size_t>(n));
}

// The traceback as traceback.format_tb renders it, or empty.
std::string render_traceback(PyObject* tb) {
  if (!tb || tb == Py_None) return {};
  PyRef mod(PyImport_ImportModule("traceback"));
  if (!mod) {
    PyErr_Clear();
    return {};
  }
  PyRef lines(PyObject_CallMethod(mod.get(), "format_tb", "O", tb));
  if (!lines) {
    PyErr_Clear();
    return {};
  }
  PyRef empty(PyUnicode_FromString(""));
  PyRef joined(empty ? PyUnicode_Join(empty.get(), lines.get()) : nullptr);
  if (!joined) {
    PyErr_Clear();
    return {};
  }
  std::string text = str_of(joined.get());
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

}  // namespace

PyObject* tovarn_error_type() {
  if (!g_error_type) g_error_type = PyErr_NewException("tovarn.TovarnError", PyExc_RuntimeError, nullptr);
  return g_error_type;
}

PyObject* raise_template_error(const Error& e) {
  PyObject* type = tovarn_error_type();
  if (!type) return nullptr;
  std::string msg = e.to_user_message();
  PyRef text(PyUnicode_DecodeUTF8(msg.data(), static_cast<Py_ssize_t>(msg.size()), "replace"));
  if (text) PyErr_SetObject(type, text.get());
  return nullptr;
}

Error error_from_python_exception() {
  PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  PyRef t(type), v(value), trace(tb);

  std::string name = "Exception";
  if (t) {
    PyRef n(PyObject_GetAttrString(t.get(), "__name__"));
    if (n && PyUnicode_Check(n.get())) name = str_of(n.get());
    else PyErr_Clear();
  }
  std::string message = name + ": " + str_of(v.get());
  std::string rendered = render_traceback(trace.get());
  if (!rendered.empty()) message += "\n" + rendered;
  return Error::python(std::move(message));
}

}  // namespace tovarn::py
