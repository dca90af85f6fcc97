// bridge.h — the way back from template values to Python: unwrap, the date
// conversions in both directions, the datetime classes they use, and the
// Python class TemplateModelAdapter for values with no natural Python form.
#pragma once

#include <Python.h>

#include "python/py_ref.h"
#include "python/wrapper.h"
#include "template/t_model.h"

namespace tovarn::py {

// The classes of the datetime module, imported once and kept for the life of
// the process. nullptr with an ImportError pending when the import fails.
struct DateTimeClasses {
  PyObject* date;
  PyObject* time;
  PyObject* datetime;
  PyObject* timedelta;
  PyObject* timezone;
};
const DateTimeClasses* datetime_classes();

// Reads a datetime.date, datetime.time or datetime.datetime (by `kind`: Date,
// Time, DateTime) as a DateValue; local times are converted with `zone`
// (null: offset 0). Aware datetimes keep their own offset. False with a Python
// exception pending on failure.
//   date(2024, 5, 1), zone +02:00 -> instant 2024-04-30T22:00Z, offset 7200
bool date_from_python(PyObject* obj, DateKind kind, const Zone* zone, DateValue& out);

// The Python form of a date value: date, naive time, or a datetime aware of
// the value's offset (DateTime and Unknown). New reference or nullptr.
PyObject* date_to_python(const DateValue& d);

// Python form of a number: Int/Long/BigInteger -> int, Float/Double -> float,
// BigDecimal -> int when it has no fractional part, else float.
PyObject* number_to_python(const TNumber& n);

// An engine value as a Python object: the original object for wrapped Python
// values, None for Null, str, int/float, bool, date/time/datetime, a new dict
// for extended hashes, a new list for plain sequences, else a
// TemplateModelAdapter. A capability error is an engine error; a failure of
// Python itself comes back converted too.
Result<PyRef> unwrap(const Rc<WrapperState>& state, const TModel& value);

// unwrap for Python callers: a new reference, or nullptr with TovarnError
// raised for an engine error.
PyObject* unwrap_to_python(const Rc<WrapperState>& state, const TModel& value);

// ---- the Python class TemplateModelAdapter --------------------------------------

// Creates the class object (a new reference), or nullptr with an exception.
PyObject* create_model_adapter_type();

// A new adapter over a copy of `value`; nullptr with an exception pending.
PyObject* make_model_adapter(const TModel& value, Rc<WrapperState> state);

// The value an adapter holds, or nullptr when `obj` is not an adapter.
const TModel* adapter_value(PyObject* obj);

// Private test hooks of the module (names start with "_"); a null-terminated
// method table for PyModule_AddFunctions.
PyMethodDef* wrapping_test_hooks();

}  // namespace tovarn::py
