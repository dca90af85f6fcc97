// errors.h — TovarnError and the conversions between Python exceptions and
// engine errors.
#pragma once

#include <Python.h>

#include "error/template_error.h"

namespace tovarn::py {

// The TovarnError type (created on first use; a new reference is not returned).
PyObject* tovarn_error_type();

// Raises TovarnError carrying the error's user message; returns nullptr.
PyObject* raise_template_error(const Error& e);

// Takes the pending Python exception and turns it into an engine error of the
// Python kind: "{type name}: {text}" and, when there is a traceback, a
// newline and the rendered traceback. Clears the exception.
Error error_from_python_exception();

// Runs `f` and maps std::bad_alloc to MemoryError; returns nullptr on that.
template <class F>
PyObject* guard(F&& f) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (...) {
    PyErr_SetString(PyExc_SystemError, "tovarn: unexpected internal failure");
    return nullptr;
  }
}

}  // namespace tovarn::py
