// wrapper.cpp — the wrapper state, the wrap rules (Python object -> template
// value) and the Python class PyObjectWrapper.
#include "python/wrapper.h"

#include <pythread.h>

#include <new>

#include "python/bridge.h"
#include "python/errors.h"
#include "python/lib.h"
#include "python/models.h"

namespace tovarn::py {

namespace {

// Interned key strings kept per wrapper state; past this many the set starts over.
constexpr size_t kMaxInternedKeys = 4096;

}  // namespace

// ---- WrapperState ---------------------------------------------------------------

Rc<WrapperState> WrapperState::create(bool attributes_shadow_items, bool use_cache) {
  return Rc<WrapperState>(new WrapperState(attributes_shadow_items, use_cache));
}

WrapperState::~WrapperState() = default;

std::optional<TModel> WrapperState::cached(PyObject* obj) {
  std::lock_guard<std::mutex> lock(mu_);
  auto it = identity_.find(obj);
  if (it == identity_.end()) return std::nullopt;
  return it->second.value;
}

void WrapperState::remember(PyObject* obj, const TModel& value) {
  std::lock_guard<std::mutex> lock(mu_);
  identity_.try_emplace(obj, CacheEntry{PyRef::borrow(obj), value});
}

PyRef WrapperState::key_string(std::string_view key) {
  {
    std::lock_guard<std::mutex> lock(mu_);
    auto it = keys_.find(key);
    if (it != keys_.end()) return it->second;
  }
  PyObject* s = PyUnicode_FromStringAndSize(key.data(), static_cast<Py_ssize_t>(key.size()));
  if (!s) return PyRef();
  PyUnicode_InternInPlace(&s);
  PyRef str(s);
  // Old entries are dropped outside the lock: releasing a str is a call into Python.
  decltype(keys_) dropped;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (keys_.size() >= kMaxInternedKeys) dropped.swap(keys_);
    keys_.try_emplace(std::string(key), str);
  }
  return str;
}

void WrapperState::release_owner() {
  if (owners_.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  // No owner left: empty the identity cache (outside the lock, as releasing
  // values releases Python objects).
  decltype(identity_) dropped;
  {
    std::lock_guard<std::mutex> lock(mu_);
    dropped.swap(identity_);
  }
}

Rc<Zone> zone_for(std::string_view time_zone) {
  std::optional<TzSetting> tz = parse_tz_setting(time_zone);
  if (!tz) return Rc<Zone>();
  return make_rc<Zone>(std::move(*tz));
}

// ---- wrap ---------------------------------------------------------------------------

namespace {

TModel live(const WrapContext& ctx, PyObject* obj, HostKind host) {
  return TModel(new PyObjectModel(obj, host, ctx));
}

// Builds the value of a non-None object by the wrap rules; nullopt with a
// Python exception pending on failure. The cheap type-flag tests come first;
// the datetime classes are consulted only for objects none of them matched
// (a dict, list, tuple, str or number can never be a date).
std::optional<TModel> build(const WrapContext& ctx, PyObject* obj) {
  if (obj == Py_True || obj == Py_False) return TModel::from_boolean(obj == Py_True);
  unsigned long flags = PyType_GetFlags(Py_TYPE(obj));
  if ((flags & Py_TPFLAGS_LONG_SUBCLASS) || PyFloat_Check(obj)) return live(ctx, obj, HostKind::Number);
  if (flags & Py_TPFLAGS_UNICODE_SUBCLASS) {
    Py_ssize_t n = 0;
    const char* p = PyUnicode_AsUTF8AndSize(obj, &n);
    if (!p) return std::nullopt;
    return TModel(new PyStrModel(obj, std::string_view(p, static_cast<size_t>(n))));
  }
  if (flags & Py_TPFLAGS_DICT_SUBCLASS) return live(ctx, obj, HostKind::Mapping);
  if (flags & (Py_TPFLAGS_LIST_SUBCLASS | Py_TPFLAGS_TUPLE_SUBCLASS)) return live(ctx, obj, HostKind::Sequence);
  // An engine value that went out to Python comes back as itself.
  if (const TModel* held = adapter_value(obj)) return *held;

  const DateTimeClasses* dt = datetime_classes();
  if (!dt) return std::nullopt;
  int is_date = PyObject_IsInstance(obj, dt->date);
  if (is_date < 0) return std::nullopt;
  int is_datetime = is_date ? PyObject_IsInstance(obj, dt->datetime) : 0;  // datetime is a date
  int is_time = is_date ? 0 : PyObject_IsInstance(obj, dt->time);
  if (is_datetime < 0 || is_time < 0) return std::nullopt;
  if (is_date || is_time) {
    DateKind kind = is_datetime ? DateKind::DateTime : is_date ? DateKind::Date : DateKind::Time;
    DateValue d;
    if (!date_from_python(obj, kind, ctx.zone.get(), d)) return std::nullopt;
    return TModel::from_date(d);
  }
  return live(ctx, obj, HostKind::Other);
}

}  // namespace

bool wrap(const WrapContext& ctx, PyObject* obj, std::optional<TModel>& out) {
  if (obj == Py_None) {
    out.reset();
    return true;
  }
  WrapperState& state = *ctx.state;
  const bool caching = state.use_cache();
  if (caching) {
    if (std::optional<TModel> hit = state.cached(obj)) {
      out = std::move(hit);
      return true;
    }
  }
  std::optional<TModel> v = build(ctx, obj);
  if (!v) return false;
  if (caching) state.remember(obj, *v);
  out = std::move(v);
  return true;
}

bool wrap_or_null(const WrapContext& ctx, PyObject* obj, std::optional<TModel>& out) {
  if (!wrap(ctx, obj, out)) return false;
  if (!out) out = TModel::null();
  return true;
}

Result<std::optional<TModel>> wrap_nested(const WrapContext& ctx, PyObject* obj) {
  std::optional<TModel> v;
  if (!wrap(ctx, obj, v)) return error_from_python_exception();
  return v;
}

Result<TModel> wrap_nested_or_null(const WrapContext& ctx, PyObject* obj) {
  std::optional<TModel> v;
  if (!wrap_or_null(ctx, obj, v)) return error_from_python_exception();
  return std::move(*v);
}

// ---- PyObjectWrapper ---------------------------------------------------------------

namespace {

constexpr const char* kWrapperName = "tovarn.PyObjectWrapper";

PyObject* g_wrapper_type = nullptr;

struct WrapperObject {
  PyObject_HEAD
  OwnerRef* state;
  unsigned long thread;
};

// The type's __name__ of `obj`, for messages.
std::string type_name_of(PyObject* obj) {
  PyRef n(PyType_GetName(Py_TYPE(obj)));
  if (!n) {
    PyErr_Clear();
    return "object";
  }
  Py_ssize_t len = 0;
  const char* p = PyUnicode_AsUTF8AndSize(n.get(), &len);
  if (!p) {
    PyErr_Clear();
    return "object";
  }
  return std::string(p, static_cast<size_t>(len));
}

// PyObjectWrapper(attributes_shadow_items=True, use_cache=False)
PyObject* wrapper_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    static const char* const names[] = {"attributes_shadow_items", "use_cache"};
    PyObject* given[2] = {nullptr, nullptr};
    Py_ssize_t npos = PyTuple_Size(args);
    if (npos > 2) {
      PyErr_Format(PyExc_TypeError, "PyObjectWrapper() takes at most 2 arguments (%zd given)", npos);
      return nullptr;
    }
    for (Py_ssize_t i = 0; i < npos; ++i) given[i] = PyTuple_GetItem(args, i);
    if (kwargs) {
      PyObject *key, *value;
      Py_ssize_t pos = 0;
      while (PyDict_Next(kwargs, &pos, &key, &value)) {
        int found = -1;
        for (int i = 0; i < 2; ++i)
          if (PyUnicode_CompareWithASCIIString(key, names[i]) == 0) found = i;
        if (found < 0) {
          PyErr_Format(PyExc_TypeError, "PyObjectWrapper() got an unexpected keyword argument '%U'", key);
          return nullptr;
        }
        if (given[found]) {
          PyErr_Format(PyExc_TypeError, "PyObjectWrapper() got multiple values for argument '%s'", names[found]);
          return nullptr;
        }
        given[found] = value;
      }
    }
    bool flags[2] = {true, false};
    for (int i = 0; i < 2; ++i)
      if (given[i] && !bool_arg(given[i], names[i], flags[i])) return nullptr;

    allocfunc alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    auto* self = reinterpret_cast<WrapperObject*>(alloc(type, 0));
    if (!self) return nullptr;
    self->state = new OwnerRef(WrapperState::create(flags[0], flags[1]));
    self->thread = PyThread_get_thread_ident();
    return reinterpret_cast<PyObject*>(self);
  });
}

void wrapper_dealloc(PyObject* o) {
  auto* self = reinterpret_cast<WrapperObject*>(o);
  delete self->state;
  PyTypeObject* type = Py_TYPE(o);
  freefunc f = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  f(o);
  Py_DECREF(type);
}

// The getters and setters of the two flags; `closure` selects the flag.
enum Flag : intptr_t { kShadow = 0, kUseCache = 1 };

PyObject* wrapper_get_flag(PyObject* o, void* closure) {
  auto* self = reinterpret_cast<WrapperObject*>(o);
  if (!check_thread(self->thread, kWrapperName)) return nullptr;
  WrapperState& s = *self->state->get();
  bool on = reinterpret_cast<intptr_t>(closure) == kShadow ? s.attributes_shadow_items() : s.use_cache();
  return PyBool_FromLong(on);
}

int wrapper_set_flag(PyObject* o, PyObject* value, void* closure) {
  auto* self = reinterpret_cast<WrapperObject*>(o);
  if (!check_thread(self->thread, kWrapperName)) return -1;
  const bool shadow = reinterpret_cast<intptr_t>(closure) == kShadow;
  const char* name = shadow ? "attributes_shadow_items" : "use_cache";
  if (!value) {
    PyErr_Format(PyExc_TypeError, "can't delete attribute '%s'", name);
    return -1;
  }
  bool on = false;
  if (!bool_arg(value, name, on)) return -1;
  WrapperState& s = *self->state->get();
  if (shadow) s.set_attributes_shadow_items(on);
  else s.set_use_cache(on);
  return 0;
}

PyGetSetDef wrapper_getset[] = {
    {"attributes_shadow_items", wrapper_get_flag, wrapper_set_flag,
     "When true, attributes are looked up before items on objects that are not mappings.",
     reinterpret_cast<void*>(kShadow)},
    {"use_cache", wrapper_get_flag, wrapper_set_flag,
     "When true, wrapping the same object again returns the value built the first time.",
     reinterpret_cast<void*>(kUseCache)},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot wrapper_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(wrapper_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(wrapper_dealloc)},
    {Py_tp_getset, wrapper_getset},
    {Py_tp_doc, const_cast<char*>("PyObjectWrapper(attributes_shadow_items=True, use_cache=False)\n--\n\n"
                                  "Options for turning Python objects into template values; hand it to\n"
                                  "TovConfiguration.set_object_wrapper.")},
    {0, nullptr},
};

PyType_Spec wrapper_spec = {kWrapperName, sizeof(WrapperObject), 0, Py_TPFLAGS_DEFAULT, wrapper_slots};

}  // namespace

PyObject* create_object_wrapper_type() {
  if (!g_wrapper_type) {
    g_wrapper_type = PyType_FromSpec(&wrapper_spec);
    if (!g_wrapper_type) return nullptr;
  }
  Py_INCREF(g_wrapper_type);
  return g_wrapper_type;
}

Rc<WrapperState> object_wrapper_state(PyObject* obj, const char* arg) {
  if (!g_wrapper_type || !PyObject_TypeCheck(obj, reinterpret_cast<PyTypeObject*>(g_wrapper_type))) {
    PyErr_Format(PyExc_TypeError, "argument '%s': expected PyObjectWrapper, got %s", arg,
                 type_name_of(obj).c_str());
    return Rc<WrapperState>();
  }
  auto* self = reinterpret_cast<WrapperObject*>(obj);
  if (!check_thread(self->thread, kWrapperName)) return Rc<WrapperState>();
  return self->state->get();
}

}  // namespace tovarn::py
