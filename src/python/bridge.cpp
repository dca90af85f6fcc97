// bridge.cpp — template values back to Python (unwrap), the date conversions
// in both directions, the class TemplateModelAdapter, and the module's
// private test hooks.
#include "python/bridge.h"

#include <pythread.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <typeinfo>

#include "core/environment.h"
#include "python/errors.h"
#include "python/lib.h"
#include "python/models.h"
#include "template/configuration.h"
#include "template/simple_hash.h"
#include "template/template.h"

namespace tovarn::py {

namespace {

Error py_error() { return error_from_python_exception(); }

// A new reference as a Result: nullptr becomes the pending Python exception.
Result<PyRef> checked(PyObject* p) {
  if (!p) return py_error();
  return PyRef(p);
}

int64_t floor_div(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t days_from_civil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = floor_div(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  const int64_t era = floor_div(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y = yoe + era * 400 + (m <= 2);
}

bool int_attr(PyObject* obj, const char* name, int64_t& out) {
  PyRef v(PyObject_GetAttrString(obj, name));
  if (!v) return false;
  long long n = PyLong_AsLongLong(v.get());
  if (n == -1 && PyErr_Occurred()) return false;
  out = n;
  return true;
}

// The total of a timedelta in microseconds.
bool timedelta_micros(PyObject* td, int64_t& out) {
  int64_t days = 0, seconds = 0, micros = 0;
  if (!int_attr(td, "days", days) || !int_attr(td, "seconds", seconds) || !int_attr(td, "microseconds", micros))
    return false;
  out = (days * 86400 + seconds) * 1000000 + micros;
  return true;
}

void set_instant(DateValue& out, int64_t micros) {
  out.epoch_seconds = floor_div(micros, 1000000);
  out.nanos = static_cast<int32_t>((micros - out.epoch_seconds * 1000000) * 1000);
}

}  // namespace

// ---- datetime classes and dates ------------------------------------------------------

const DateTimeClasses* datetime_classes() {
  static DateTimeClasses classes{};
  static bool ready = false;
  if (ready) return &classes;
  PyRef mod(PyImport_ImportModule("datetime"));
  if (!mod) return nullptr;
  PyObject** slots[] = {&classes.date, &classes.time, &classes.datetime, &classes.timedelta, &classes.timezone};
  const char* names[] = {"date", "time", "datetime", "timedelta", "timezone"};
  for (int i = 0; i < 5; ++i) {
    PyObject* c = PyObject_GetAttrString(mod.get(), names[i]);
    if (!c) return nullptr;
    Py_XDECREF(*slots[i]);  // a half-finished earlier attempt
    *slots[i] = c;          // kept for the life of the process
  }
  ready = true;
  return &classes;
}

bool date_from_python(PyObject* obj, DateKind kind, const Zone* zone, DateValue& out) {
  int64_t y = 1970, mo = 1, d = 1, h = 0, mi = 0, s = 0, us = 0;
  if (kind != DateKind::Time &&
      (!int_attr(obj, "year", y) || !int_attr(obj, "month", mo) || !int_attr(obj, "day", d)))
    return false;
  if (kind != DateKind::Date && (!int_attr(obj, "hour", h) || !int_attr(obj, "minute", mi) ||
                                 !int_attr(obj, "second", s) || !int_attr(obj, "microsecond", us)))
    return false;
  const int64_t local = days_from_civil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
  out.kind = kind;

  if (kind == DateKind::DateTime) {
    // An aware datetime keeps its own offset; utcoffset() returning None
    // makes it naive. Python itself refuses offsets of a day or more.
    PyRef tzinfo(PyObject_GetAttrString(obj, "tzinfo"));
    if (!tzinfo) return false;
    if (tzinfo.get() != Py_None) {
      PyRef off(PyObject_CallMethod(obj, "utcoffset", nullptr));
      if (!off) return false;
      int64_t off_us = 0;
      if (off.get() != Py_None) {
        if (!timedelta_micros(off.get(), off_us)) return false;
        if (off_us > -86400LL * 1000000 && off_us < 86400LL * 1000000) {
          set_instant(out, local * 1000000 + us - off_us);
          out.offset_seconds = static_cast<int32_t>(off_us / 1000000);
          return true;
        }
      }
    }
  }
  // Local time: the zone's offset at the moment equal to that local time read as UTC.
  const int32_t zone_offset = zone ? tz_offset_seconds_at(zone->tz, static_cast<double>(local) * 1000.0) : 0;
  set_instant(out, (local - zone_offset) * 1000000 + us);
  out.offset_seconds = zone_offset;
  return true;
}

PyObject* date_to_python(const DateValue& d) {
  const DateTimeClasses* dt = datetime_classes();
  if (!dt) return nullptr;
  const int64_t local = d.epoch_seconds + d.offset_seconds;
  const int64_t days = floor_div(local, 86400);
  const int64_t sod = local - days * 86400;
  int64_t y = 0, m = 0, day = 0;
  civil_from_days(days, y, m, day);
  const long long h = sod / 3600, mi = sod / 60 % 60, s = sod % 60, us = d.nanos / 1000;
  switch (d.kind) {
    case DateKind::Date:
      return PyObject_CallFunction(dt->date, "LLL", static_cast<long long>(y), static_cast<long long>(m),
                                   static_cast<long long>(day));
    case DateKind::Time:
      return PyObject_CallFunction(dt->time, "LLLL", h, mi, s, us);
    case DateKind::DateTime:
    case DateKind::Unknown:
      break;
  }
  PyRef delta(PyObject_CallFunction(dt->timedelta, "ii", 0, static_cast<int>(d.offset_seconds)));
  if (!delta) return nullptr;
  PyRef tz(PyObject_CallFunctionObjArgs(dt->timezone, delta.get(), nullptr));
  if (!tz) return nullptr;
  return PyObject_CallFunction(dt->datetime, "LLLLLLLO", static_cast<long long>(y), static_cast<long long>(m),
                               static_cast<long long>(day), h, mi, s, us, tz.get());
}

// ---- numbers ---------------------------------------------------------------------------

namespace {

PyObject* int_from_big(const BigInteger& v) {
  std::string text = v.get_str(10);
  return PyLong_FromString(text.c_str(), nullptr, 10);
}

// The integer value of a decimal without a fractional part, else nothing.
std::optional<BigInteger> whole_value(const BigDecimal& d) {
  if (d.scale() <= 0) {
    BigInteger factor;
    mpz_ui_pow_ui(factor.get_mpz_t(), 10, static_cast<unsigned long>(-d.scale()));
    return BigInteger(d.unscaled() * factor);
  }
  if (d.sign() == 0) return BigInteger(0);
  // More fractional digits than digits at all: cannot divide evenly.
  if (static_cast<uint64_t>(d.scale()) > mpz_sizeinbase(d.unscaled().get_mpz_t(), 10)) return std::nullopt;
  BigInteger divisor;
  mpz_ui_pow_ui(divisor.get_mpz_t(), 10, static_cast<unsigned long>(d.scale()));
  if (!mpz_divisible_p(d.unscaled().get_mpz_t(), divisor.get_mpz_t())) return std::nullopt;
  return BigInteger(d.unscaled() / divisor);
}

}  // namespace

PyObject* number_to_python(const TNumber& n) {
  switch (n.kind()) {
    case NumberKind::Int: return PyLong_FromLong(n.int_value());
    case NumberKind::Long: return PyLong_FromLongLong(n.long_value());
    case NumberKind::BigInteger: return int_from_big(n.big_integer());
    case NumberKind::Float: return PyFloat_FromDouble(n.float_value());
    case NumberKind::Double: return PyFloat_FromDouble(n.double_value());
    case NumberKind::BigDecimal: break;
  }
  if (std::optional<BigInteger> whole = whole_value(n.big_decimal())) return int_from_big(*whole);
  std::string text = n.big_decimal().to_string();
  PyRef s(PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
  PyObject* f = s ? PyFloat_FromString(s.get()) : nullptr;
  if (f) return f;
  PyErr_Clear();
  return PyFloat_FromDouble(std::numeric_limits<double>::quiet_NaN());
}

// ---- unwrap ------------------------------------------------------------------------------

namespace {

Result<PyRef> unwrap_hash(const Rc<WrapperState>& state, const TModel& value) {
  ASSIGN_OR_RETURN(std::vector<std::string> keys, value->hash_keys());
  ASSIGN_OR_RETURN(PyRef dict, checked(PyDict_New()));
  for (const std::string& key : keys) {
    ASSIGN_OR_RETURN(std::optional<TModel> v, value->hash_get(key));
    if (!v) continue;
    ASSIGN_OR_RETURN(PyRef item, unwrap(state, *v));
    ASSIGN_OR_RETURN(PyRef k, checked(PyUnicode_DecodeUTF8(key.data(), static_cast<Py_ssize_t>(key.size()), "replace")));
    if (PyDict_SetItem(dict.get(), k.get(), item.get()) < 0) return py_error();
  }
  return dict;
}

Result<PyRef> unwrap_sequence(const Rc<WrapperState>& state, const TModel& value) {
  ASSIGN_OR_RETURN(uint64_t n, value->seq_size());
  ASSIGN_OR_RETURN(PyRef list, checked(PyList_New(0)));
  for (uint64_t i = 0; i < n; ++i) {
    ASSIGN_OR_RETURN(TModel v, value->seq_get(i));
    ASSIGN_OR_RETURN(PyRef item, unwrap(state, v));
    if (PyList_Append(list.get(), item.get()) < 0) return py_error();
  }
  return list;
}

}  // namespace

Result<PyRef> unwrap(const Rc<WrapperState>& state, const TModel& value) {
  if (PyObjectModel* m = value.internal_as<PyObjectModel>()) return PyRef::borrow(m->object());
  if (value.is_null()) return PyRef::borrow(Py_None);
  ModelObject* obj = value.get();
  // A wrapped str comes back as itself: same text, no copy.
  if (typeid(*obj) == typeid(PyStrModel)) {
    PyObject* s = static_cast<PyStrModel*>(obj)->object();
    if (PyUnicode_CheckExact(s)) return PyRef::borrow(s);
  }
  if (value.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(TextRef text, value.get_scalar());
    return checked(PyUnicode_DecodeUTF8(text.view().data(), static_cast<Py_ssize_t>(text.size()), "replace"));
  }
  if (value.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber n, value.get_number());
    return checked(number_to_python(n));
  }
  if (value.has(Cap::Boolean)) {
    ASSIGN_OR_RETURN(bool b, value.get_boolean());
    return PyRef::borrow(b ? Py_True : Py_False);
  }
  if (value.has(Cap::Date)) {
    ASSIGN_OR_RETURN(DateValue d, value.get_date());
    return checked(date_to_python(d));
  }
  if (value.has(Cap::HashEx)) return unwrap_hash(state, value);
  if (value.has(Cap::Sequence) && !value.has(Cap::Hash)) return unwrap_sequence(state, value);
  return checked(make_model_adapter(value, state));
}

PyObject* unwrap_to_python(const Rc<WrapperState>& state, const TModel& value) {
  Result<PyRef> r = unwrap(state, value);
  if (!r.ok()) return raise_template_error(r.error());
  return std::move(r).value().release();
}

// ---- TemplateModelAdapter ------------------------------------------------------------------

namespace {

constexpr const char* kAdapterName = "tovarn.TemplateModelAdapter";

PyObject* g_adapter_type = nullptr;

struct AdapterData {
  TModel value;
  Rc<WrapperState> state;
};

struct AdapterObject {
  PyObject_HEAD
  AdapterData* data;
  unsigned long thread;
};

AdapterObject* as_adapter(PyObject* o) { return reinterpret_cast<AdapterObject*>(o); }

bool adapter_thread_ok(PyObject* o) { return check_thread(as_adapter(o)->thread, kAdapterName); }

void adapter_dealloc(PyObject* o) {
  delete as_adapter(o)->data;
  PyTypeObject* type = Py_TYPE(o);
  freefunc f = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  f(o);
  Py_DECREF(type);
}

// len(): sequence size, else extended-hash size, else 0.
Result<uint64_t> model_length(const TModel& v) {
  if (v.has(Cap::Sequence)) return v->seq_size();
  if (v.has(Cap::HashEx)) return v->hash_size();
  return uint64_t{0};
}

// bool(): the boolean, else a non-empty sequence, else a non-empty hash, else False.
Result<bool> model_truth(const TModel& v) {
  if (v.has(Cap::Boolean)) return v->as_boolean();
  if (v.has(Cap::Sequence)) {
    ASSIGN_OR_RETURN(uint64_t n, v->seq_size());
    return n != 0;
  }
  if (v.has(Cap::Hash)) {
    ASSIGN_OR_RETURN(bool empty, v->hash_is_empty());
    return !empty;
  }
  return false;
}

Py_ssize_t adapter_len(PyObject* o) {
  if (!adapter_thread_ok(o)) return -1;
  Result<uint64_t> n = model_length(as_adapter(o)->data->value);
  if (!n.ok()) {
    raise_template_error(n.error());
    return -1;
  }
  return static_cast<Py_ssize_t>(std::min<uint64_t>(*n, PY_SSIZE_T_MAX));
}

int adapter_bool(PyObject* o) {
  if (!adapter_thread_ok(o)) return -1;
  Result<bool> truth = model_truth(as_adapter(o)->data->value);
  if (!truth.ok()) {
    raise_template_error(truth.error());
    return -1;
  }
  return *truth ? 1 : 0;
}

PyObject* adapter_getitem(PyObject* o, PyObject* key) {
  return guard([&]() -> PyObject* {
    if (!adapter_thread_ok(o)) return nullptr;
    const AdapterData& a = *as_adapter(o)->data;
    const TModel& v = a.value;
    if (PyLong_Check(key) && !PyBool_Check(key)) {
      int overflow = 0;
      long long signed_index = PyLong_AsLongLongAndOverflow(key, &overflow);
      if (signed_index == -1 && PyErr_Occurred()) return nullptr;
      if (signed_index < 0 || overflow < 0) {
        PyErr_Format(PyExc_TypeError, "index must be non-negative, got %S", key);
        return nullptr;
      }
      if (!v.has(Cap::Sequence)) {
        PyErr_Format(PyExc_TypeError, "item lookup on non-sequence model (%s)", v.type_name());
        return nullptr;
      }
      unsigned long long index = PyLong_AsUnsignedLongLong(key);
      if (index == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
      Result<TModel> item = v->seq_get(index);
      if (!item.ok()) return raise_template_error(item.error());
      return unwrap_to_python(a.state, *item);
    }
    std::optional<std::string> text = lenient_str(key);
    if (!text) return nullptr;
    if (!v.has(Cap::Hash)) {
      PyErr_Format(PyExc_TypeError, "item lookup on non-hash model (%s)", v.type_name());
      return nullptr;
    }
    Result<std::optional<TModel>> item = v->hash_get(*text);
    if (!item.ok()) return raise_template_error(item.error());
    if (!*item) Py_RETURN_NONE;
    return unwrap_to_python(a.state, **item);
  });
}

// Runs a method value in a throwaway environment: a default configuration, an
// empty template named "python-call" and a Null data model.
Result<TModel> call_in_fresh_environment(const TModel& fn, std::vector<TModel>& args) {
  Rc<Template> tpl = make_rc<Template>();
  tpl->name = "python-call";
  tpl->configuration = Configuration::create();
  Environment env(tpl, TModel::null());
  return fn->call(env, args);
}

// Wraps each positional argument (None is the Null value); nullopt with a
// Python exception pending on failure.
std::optional<std::vector<TModel>> wrap_arguments(const WrapContext& ctx, PyObject* args, Py_ssize_t first) {
  std::vector<TModel> out;
  Py_ssize_t n = PyTuple_Size(args);
  for (Py_ssize_t i = first; i < n; ++i) {
    std::optional<TModel> v;
    if (!wrap_or_null(ctx, PyTuple_GetItem(args, i), v)) return std::nullopt;
    out.push_back(std::move(*v));
  }
  return out;
}

PyObject* adapter_call(PyObject* o, PyObject* args, PyObject* /*kwargs: accepted and ignored*/) {
  return guard([&]() -> PyObject* {
    if (!adapter_thread_ok(o)) return nullptr;
    const AdapterData& a = *as_adapter(o)->data;
    if (!a.value.has(Cap::Method)) {
      PyErr_Format(PyExc_TypeError, "call of non-method model (%s)", a.value.type_name());
      return nullptr;
    }
    std::optional<std::vector<TModel>> call_args = wrap_arguments(WrapContext{a.state, Rc<Zone>()}, args, 0);
    if (!call_args) return nullptr;
    Result<TModel> r = call_in_fresh_environment(a.value, *call_args);
    if (!r.ok()) return raise_template_error(r.error());
    return unwrap_to_python(a.state, *r);
  });
}

PyObject* adapter_template_model(PyObject* o, void*) {
  if (!adapter_thread_ok(o)) return nullptr;
  return PyUnicode_FromString(as_adapter(o)->data->value.type_name());
}

PyGetSetDef adapter_getset[] = {
    {"template_model", adapter_template_model, nullptr, "The type name of the template value held.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot adapter_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(adapter_dealloc)},
    {Py_mp_length, reinterpret_cast<void*>(adapter_len)},
    {Py_mp_subscript, reinterpret_cast<void*>(adapter_getitem)},
    {Py_nb_bool, reinterpret_cast<void*>(adapter_bool)},
    {Py_tp_call, reinterpret_cast<void*>(adapter_call)},
    {Py_tp_getset, adapter_getset},
    {Py_tp_doc, const_cast<char*>("A template value with no natural Python form (an engine hash, a macro,\n"
                                  "a function): supports len(), truth testing, item access and calls.")},
    {0, nullptr},
};

PyType_Spec adapter_spec = {kAdapterName, sizeof(AdapterObject), 0,
                            Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, adapter_slots};

}  // namespace

PyObject* create_model_adapter_type() {
  if (!g_adapter_type) {
    g_adapter_type = PyType_FromSpec(&adapter_spec);
    if (!g_adapter_type) return nullptr;
  }
  Py_INCREF(g_adapter_type);
  return g_adapter_type;
}

PyObject* make_model_adapter(const TModel& value, Rc<WrapperState> state) {
  if (!g_adapter_type) {
    PyErr_SetString(PyExc_SystemError, "TemplateModelAdapter is not initialised");
    return nullptr;
  }
  auto* type = reinterpret_cast<PyTypeObject*>(g_adapter_type);
  allocfunc alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  auto* self = reinterpret_cast<AdapterObject*>(alloc(type, 0));
  if (!self) return nullptr;
  self->data = new AdapterData{value, std::move(state)};
  self->thread = PyThread_get_thread_ident();
  return reinterpret_cast<PyObject*>(self);
}

const TModel* adapter_value(PyObject* obj) {
  if (!g_adapter_type || Py_TYPE(obj) != reinterpret_cast<PyTypeObject*>(g_adapter_type)) return nullptr;
  return &as_adapter(obj)->data->value;
}

// ---- test hooks ------------------------------------------------------------------------------
// Private entry points for the Python test-suite: they reach the wrapping
// layer directly, without templates. Not part of the public interface.

namespace {

const char* kind_name(ModelKind k) {
  switch (k) {
    case ModelKind::Null: return "Null";
    case ModelKind::String: return "String";
    case ModelKind::Number: return "Number";
    case ModelKind::Boolean: return "Boolean";
    case ModelKind::Date: return "Date";
    case ModelKind::Sequence: return "Sequence";
    case ModelKind::Hash: return "Hash";
    case ModelKind::Method: return "Method";
    case ModelKind::Directive: return "Directive";
    case ModelKind::Markup: return "Markup";
    case ModelKind::PythonObject: return "PythonObject";
    case ModelKind::Macro: return "Macro";
    case ModelKind::Lambda: return "Lambda";
  }
  return "?";
}

const char* date_kind_name(DateKind k) {
  switch (k) {
    case DateKind::Date: return "Date";
    case DateKind::Time: return "Time";
    case DateKind::DateTime: return "DateTime";
    case DateKind::Unknown: return "Unknown";
  }
  return "?";
}

// The keyword options every hook takes: wrapper= (a PyObjectWrapper whose
// state is used; default a fresh state with the configuration defaults) and
// time_zone= (a zone text; default none).
bool hook_context(PyObject* kwargs, WrapContext& ctx) {
  ctx.state = WrapperState::create(true, false);
  if (!kwargs) return true;
  if (PyObject* w = PyDict_GetItemString(kwargs, "wrapper")) {
    ctx.state = object_wrapper_state(w, "wrapper");
    if (!ctx.state) return false;
  }
  if (PyObject* tz = PyDict_GetItemString(kwargs, "time_zone")) {
    Py_ssize_t n = 0;
    const char* p = PyUnicode_AsUTF8AndSize(tz, &n);
    if (!p) return false;
    ctx.zone = zone_for(std::string_view(p, static_cast<size_t>(n)));
    if (!ctx.zone) {
      PyErr_SetString(PyExc_ValueError, "unknown time zone");
      return false;
    }
  }
  return true;
}

PyObject* arg(PyObject* args, Py_ssize_t i) {
  if (PyTuple_Size(args) <= i) {
    PyErr_SetString(PyExc_TypeError, "missing argument");
    return nullptr;
  }
  return PyTuple_GetItem(args, i);
}

// The value of args[0] (None: the Null value) under the hook's options.
std::optional<TModel> hook_value(PyObject* args, PyObject* kwargs, WrapContext& ctx) {
  PyObject* obj = arg(args, 0);
  if (!obj || !hook_context(kwargs, ctx)) return std::nullopt;
  std::optional<TModel> v;
  if (!wrap_or_null(ctx, obj, v)) return std::nullopt;
  return v;
}

template <class T>
bool take(Result<T>& r) {
  if (r.ok()) return true;
  raise_template_error(r.error());
  return false;
}

// _wrap_info(obj) -> (type_name, kind, sorted capability names), or None
// when obj wraps to no value.
PyObject* hook_wrap_info(PyObject*, PyObject* args, PyObject* kwargs) {
  WrapContext ctx;
  PyObject* obj = arg(args, 0);
  if (!obj || !hook_context(kwargs, ctx)) return nullptr;
  std::optional<TModel> v;
  if (!wrap(ctx, obj, v)) return nullptr;
  if (!v) Py_RETURN_NONE;
  static const std::pair<uint16_t, const char*> kCaps[] = {
      {Cap::Boolean, "boolean"},       {Cap::Collection, "collection"}, {Cap::Date, "date"},
      {Cap::Directive, "directive"},   {Cap::Hash, "hash"},             {Cap::HashEx, "hash_ex"},
      {Cap::Method, "method"},         {Cap::Number, "number"},         {Cap::Range, "range"},
      {Cap::Scalar, "scalar"},         {Cap::Sequence, "sequence"},     {Cap::Transform, "transform"},
  };
  PyRef caps(PyList_New(0));
  if (!caps) return nullptr;
  for (const auto& [bit, name] : kCaps)
    if (v->has(bit) && PyList_Append(caps.get(), PyRef(PyUnicode_FromString(name)).get()) < 0) return nullptr;
  return Py_BuildValue("(ssO)", v->type_name(), kind_name(v->kind()), caps.get());
}

// _roundtrip(obj) -> unwrap(wrap(obj)).
PyObject* hook_roundtrip(PyObject*, PyObject* args, PyObject* kwargs) {
  WrapContext ctx;
  std::optional<TModel> v = hook_value(args, kwargs, ctx);
  if (!v) return nullptr;
  return unwrap_to_python(ctx.state, *v);
}

// _read(obj, what): what is "string" (text), "number" ((kind, plain text)),
// "boolean", "date" ((epoch seconds, nanos, offset seconds, kind)) or "size".
PyObject* hook_read(PyObject*, PyObject* args, PyObject* kwargs) {
  WrapContext ctx;
  std::optional<TModel> v = hook_value(args, kwargs, ctx);
  PyObject* what_obj = v ? arg(args, 1) : nullptr;
  if (!what_obj) return nullptr;
  std::optional<std::string> what = lenient_str(what_obj);
  if (!what) return nullptr;
  if (*what == "string") {
    Result<TextRef> r = v->get_scalar();
    if (!take(r)) return nullptr;
    return PyUnicode_DecodeUTF8(r->view().data(), static_cast<Py_ssize_t>(r->size()), "strict");
  }
  if (*what == "number") {
    Result<TNumber> r = v->get_number();
    if (!take(r)) return nullptr;
    return Py_BuildValue("(ss)", number_kind_name(r->kind()).data(), r->to_plain_string().c_str());
  }
  if (*what == "boolean") {
    Result<bool> r = v->get_boolean();
    if (!take(r)) return nullptr;
    return PyBool_FromLong(*r);
  }
  if (*what == "date") {
    Result<DateValue> r = v->get_date();
    if (!take(r)) return nullptr;
    return Py_BuildValue("(Liis)", static_cast<long long>(r->epoch_seconds), r->nanos, r->offset_seconds,
                         date_kind_name(r->kind));
  }
  if (*what == "size") {
    Result<uint64_t> r = model_length(*v);
    if (!take(r)) return nullptr;
    return PyLong_FromUnsignedLongLong(*r);
  }
  PyErr_SetString(PyExc_ValueError, "unknown capability to read");
  return nullptr;
}

// _lookup(obj, key) -> hash_get(key) unwrapped; None for no value.
PyObject* hook_lookup(PyObject*, PyObject* args, PyObject* kwargs) {
  WrapContext ctx;
  std::optional<TModel> v = hook_value(args, kwargs, ctx);
  PyObject* key = v ? arg(args, 1) : nullptr;
  if (!key) return nullptr;
  std::optional<std::string> k = lenient_str(key);
  if (!k) return nullptr;
  Result<std::optional<TModel>> r = (*v)->hash_get(*k);
  if (!take(r)) return nullptr;
  if (!*r) Py_RETURN_NONE;
  return unwrap_to_python(ctx.state, **r);
}

// _keys(obj) -> the extended hash's keys.
PyObject* hook_keys(PyObject*, PyObject* args, PyObject* kwargs) {
  WrapContext ctx;
  std::optional<TModel> v = hook_value(args, kwargs, ctx);
  if (!v) return nullptr;
  Result<std::vector<std::string>> r = (*v)->hash_keys();
  if (!take(r)) return nullptr;
  PyRef list(PyList_New(0));
  if (!list) return nullptr;
  for (const std::string& k : *r) {
    PyRef s(PyUnicode_DecodeUTF8(k.data(), static_cast<Py_ssize_t>(k.size()), "strict"));
    if (!s || PyList_Append(list.get(), s.get()) < 0) return nullptr;
  }
  return list.release();
}

// _iterate(obj) -> the collection's items, unwrapped.
PyObject* hook_iterate(PyObject*, PyObject* args, PyObject* kwargs) {
  WrapContext ctx;
  std::optional<TModel> v = hook_value(args, kwargs, ctx);
  if (!v) return nullptr;
  Result<std::unique_ptr<ModelIterator>> it = (*v)->iterator();
  if (!take(it)) return nullptr;
  PyRef list(PyList_New(0));
  if (!list) return nullptr;
  for (;;) {
    Result<std::optional<TModel>> item = (*it)->next();
    if (!take(item)) return nullptr;
    if (!*item) break;
    PyRef p(unwrap_to_python(ctx.state, **item));
    if (!p || PyList_Append(list.get(), p.get()) < 0) return nullptr;
  }
  return list.release();
}

// _call(fn, *args) -> the method capability of wrap(fn) called with the
// wrapped args in a fresh environment, unwrapped.
PyObject* hook_call(PyObject*, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    WrapContext ctx;
    std::optional<TModel> fn = hook_value(args, kwargs, ctx);
    if (!fn) return nullptr;
    std::optional<std::vector<TModel>> call_args = wrap_arguments(ctx, args, 1);
    if (!call_args) return nullptr;
    Result<TModel> r = call_in_fresh_environment(*fn, *call_args);
    if (!take(r)) return nullptr;
    return unwrap_to_python(ctx.state, *r);
  });
}

// _same_wrap(obj, key=None) -> whether two wraps of obj (or two lookups of
// key in one wrap of obj) give the very same value object.
PyObject* hook_same_wrap(PyObject*, PyObject* args, PyObject* kwargs) {
  WrapContext ctx;
  std::optional<TModel> a = hook_value(args, kwargs, ctx);
  if (!a) return nullptr;
  PyObject* key = kwargs ? PyDict_GetItemString(kwargs, "key") : nullptr;
  if (!key) {
    std::optional<TModel> b;
    if (!wrap_or_null(ctx, arg(args, 0), b)) return nullptr;
    return PyBool_FromLong(a->same_object(*b));
  }
  std::optional<std::string> k = lenient_str(key);
  if (!k) return nullptr;
  Result<std::optional<TModel>> first = (*a)->hash_get(*k);
  if (!take(first)) return nullptr;
  Result<std::optional<TModel>> second = (*a)->hash_get(*k);
  if (!take(second)) return nullptr;
  return PyBool_FromLong(*first && *second && (*first)->same_object(**second));
}

// _adapter(obj, native=True) -> a TemplateModelAdapter over wrap(obj). With
// native, a dict becomes an engine hash and a list an engine sequence (their
// items wrapped), so the adapter sees engine containers.
PyObject* hook_adapter(PyObject*, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    WrapContext ctx;
    PyObject* obj = arg(args, 0);
    if (!obj || !hook_context(kwargs, ctx)) return nullptr;
    PyObject* native_flag = kwargs ? PyDict_GetItemString(kwargs, "native") : nullptr;
    const bool native = !native_flag || PyObject_IsTrue(native_flag) == 1;
    std::optional<TModel> v;
    if (native && PyDict_Check(obj)) {
      OrderedHash map;
      PyObject *key, *item;
      Py_ssize_t pos = 0;
      while (PyDict_Next(obj, &pos, &key, &item)) {
        std::optional<std::string> k = lenient_str(key);
        std::optional<TModel> w;
        if (!k || !wrap_or_null(ctx, item, w)) return nullptr;
        map.put(std::move(*k), std::move(*w));
      }
      v = TModel::from_hash(std::move(map));
    } else if (native && PyList_Check(obj)) {
      PyRef tuple(PyList_AsTuple(obj));
      if (!tuple) return nullptr;
      std::optional<std::vector<TModel>> items = wrap_arguments(ctx, tuple.get(), 0);
      if (!items) return nullptr;
      v = TModel::from_sequence(std::move(*items));
    } else if (!wrap_or_null(ctx, obj, v)) {
      return nullptr;
    }
    return make_model_adapter(*v, ctx.state);
  });
}

// _decimal(text) -> an adapter holding the BigDecimal of that text.
PyObject* hook_decimal(PyObject*, PyObject* args, PyObject* kwargs) {
  PyObject* text = arg(args, 0);
  if (!text) return nullptr;
  std::optional<std::string> t = lenient_str(text);
  if (!t) return nullptr;
  std::optional<BigDecimal> d = BigDecimal::parse(*t);
  if (!d) {
    PyErr_SetString(PyExc_ValueError, "not a decimal");
    return nullptr;
  }
  return make_model_adapter(TModel::from_number(TNumber::from_big_decimal(std::move(*d))),
                            WrapperState::create(true, false));
}

template <PyObject* (*F)(PyObject*, PyObject*, PyObject*)>
PyCFunction hook() {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(F));
}

constexpr int kHookFlags = METH_VARARGS | METH_KEYWORDS;

PyMethodDef test_hooks[] = {
    {"_wrap_info", hook<hook_wrap_info>(), kHookFlags, "Test hook: (type_name, kind, capabilities) of wrap(obj)."},
    {"_roundtrip", hook<hook_roundtrip>(), kHookFlags, "Test hook: unwrap(wrap(obj))."},
    {"_read", hook<hook_read>(), kHookFlags, "Test hook: read one capability of wrap(obj)."},
    {"_lookup", hook<hook_lookup>(), kHookFlags, "Test hook: hash lookup in wrap(obj)."},
    {"_keys", hook<hook_keys>(), kHookFlags, "Test hook: keys of wrap(obj)."},
    {"_iterate", hook<hook_iterate>(), kHookFlags, "Test hook: the items the collection of wrap(obj) yields."},
    {"_call", hook<hook_call>(), kHookFlags, "Test hook: call wrap(fn) with wrapped arguments."},
    {"_same_wrap", hook<hook_same_wrap>(), kHookFlags, "Test hook: whether wrapping twice gives one value."},
    {"_adapter", hook<hook_adapter>(), kHookFlags, "Test hook: a TemplateModelAdapter over wrap(obj)."},
    {"_decimal", hook<hook_decimal>(), kHookFlags, "Test hook: an adapter over a BigDecimal."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace

PyMethodDef* wrapping_test_hooks() { return test_hooks; }

}  // namespace tovarn::py
