// lib.cpp — the extension module `tovarn._tovarn`: TovConfiguration (a
// configuration with its in-memory template store) and TovTemplate (a parsed
// template that can be processed).
#include <Python.h>
#include <pythread.h>

#include <string>
#include <string_view>
#include <vector>

#include "cache/string_template_loader.h"
#include "python/bridge.h"
#include "python/errors.h"
#include "python/lib.h"
#include "python/py_ref.h"
#include "python/wrapper.h"
#include "template/charset.h"
#include "template/configuration.h"
#include "template/template.h"

namespace tovarn::py {

// ---- argument handling ------------------------------------------------------

// Collects `n` required arguments given by position or keyword.
bool collect_args(PyObject* args, PyObject* kwargs, const char* const* names, int n, PyObject** out,
                  const char* fname) {
  Py_ssize_t npos = PyTuple_Size(args);
  if (npos > n) {
    PyErr_Format(PyExc_TypeError, "%s() takes %d positional arguments but %zd were given", fname, n, npos);
    return false;
  }
  for (int i = 0; i < n; ++i) out[i] = i < npos ? PyTuple_GetItem(args, i) : nullptr;
  if (kwargs) {
    PyObject *key, *value;
    Py_ssize_t pos = 0;
    while (PyDict_Next(kwargs, &pos, &key, &value)) {
      int found = -1;
      for (int i = 0; i < n; ++i)
        if (PyUnicode_CompareWithASCIIString(key, names[i]) == 0) found = i;
      if (found < 0) {
        PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", fname, key);
        return false;
      }
      if (out[found]) {
        PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", fname, names[found]);
        return false;
      }
      out[found] = value;
    }
  }
  for (int i = 0; i < n; ++i)
    if (!out[i]) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s'", fname, names[i]);
      return false;
    }
  return true;
}

// The UTF-8 text of a str argument, or a TypeError naming the argument.
bool str_arg(PyObject* o, const char* name, std::string_view& out) {
  if (!PyUnicode_Check(o)) {
    PyRef tn(PyType_GetName(Py_TYPE(o)));
    PyErr_Format(PyExc_TypeError, "argument '%s': expected str, got %S", name, tn ? tn.get() : Py_None);
    return false;
  }
  Py_ssize_t n = 0;
  const char* p = PyUnicode_AsUTF8AndSize(o, &n);
  if (!p) return false;
  out = std::string_view(p, static_cast<size_t>(n));
  return true;
}

bool check_thread(unsigned long owner, const char* type_name) {
  if (PyThread_get_thread_ident() == owner) return true;
  PyErr_Format(PyExc_RuntimeError, "%s is unsendable, but sent to another thread", type_name);
  return false;
}

// ---- TovConfiguration ---------------------------------------------------------

bool bool_arg(PyObject* o, const char* name, bool& out) {
  if (!PyBool_Check(o)) {
    PyRef tn(PyType_GetName(Py_TYPE(o)));
    PyErr_Format(PyExc_TypeError, "argument '%s': expected bool, got %S", name, tn ? tn.get() : Py_None);
    return false;
  }
  out = o == Py_True;
  return true;
}

namespace {

PyObject* g_configuration_type = nullptr;
PyObject* g_template_type = nullptr;

OwnerRef& wrapper_of(ConfigurationObject* self) { return *self->wrapper; }

PyObject* configuration_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    if (PyTuple_Size(args) != 0 || (kwargs && PyDict_Size(kwargs) != 0)) {
      PyErr_SetString(PyExc_TypeError, "TovConfiguration() takes no arguments");
      return nullptr;
    }
    allocfunc alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    auto* self = reinterpret_cast<ConfigurationObject*>(alloc(type, 0));
    if (!self) return nullptr;
    Rc<Configuration> cfg = Configuration::create();
    cfg->add_ref();
    self->config = cfg.get();
    self->loader = static_cast<StringLoader*>(cfg->loader.get());
    self->wrapper =
        new OwnerRef(WrapperState::create(/*attributes_shadow_items=*/true, /*use_cache=*/false));
    self->thread = PyThread_get_thread_ident();
    self->busy = 0;
    return reinterpret_cast<PyObject*>(self);
  });
}

void configuration_dealloc(PyObject* o) {
  auto* self = reinterpret_cast<ConfigurationObject*>(o);
  if (self->config) self->config->release();
  delete self->wrapper;
  PyTypeObject* type = Py_TYPE(o);
  freefunc f = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  f(o);
  Py_DECREF(type);
}

PyObject* configuration_put_template(PyObject* o, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    auto* self = reinterpret_cast<ConfigurationObject*>(o);
    if (!check_thread(self->thread, kConfigurationName)) return nullptr;
    static const char* const names[] = {"name", "source"};
    PyObject* a[2];
    std::string_view name, source;
    if (!collect_args(args, kwargs, names, 2, a, "put_template") || !str_arg(a[0], "name", name) ||
        !str_arg(a[1], "source", source))
      return nullptr;
    Borrow b(self, true);
    if (!b.ok()) return nullptr;
    self->loader->put(name, source);
    Py_RETURN_NONE;
  });
}

PyObject* make_template_object(Rc<Template> tpl, const OwnerRef& wrapper);

PyObject* configuration_get_template(PyObject* o, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    auto* self = reinterpret_cast<ConfigurationObject*>(o);
    if (!check_thread(self->thread, kConfigurationName)) return nullptr;
    static const char* const names[] = {"name"};
    PyObject* a[1];
    std::string_view name;
    if (!collect_args(args, kwargs, names, 1, a, "get_template") || !str_arg(a[0], "name", name)) return nullptr;
    Borrow b(self, false);
    Result<Rc<Template>> tpl = self->config->get_template(name);
    if (!tpl.ok()) return raise_template_error(tpl.error());
    return make_template_object(std::move(tpl).value(), wrapper_of(self));
  });
}

PyObject* configuration_set_object_wrapper(PyObject* o, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    auto* self = reinterpret_cast<ConfigurationObject*>(o);
    if (!check_thread(self->thread, kConfigurationName)) return nullptr;
    static const char* const names[] = {"wrapper"};
    PyObject* a[1];
    if (!collect_args(args, kwargs, names, 1, a, "set_object_wrapper")) return nullptr;
    Rc<WrapperState> given = object_wrapper_state(a[0], "wrapper");
    if (!given) return nullptr;
    Borrow b(self, true);
    if (!b.ok()) return nullptr;
    WrapperState& own = *wrapper_of(self).get();
    own.set_attributes_shadow_items(given->attributes_shadow_items());
    own.set_use_cache(given->use_cache());
    Py_RETURN_NONE;
  });
}

PyObject* configuration_set_shared_variable(PyObject* o, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    auto* self = reinterpret_cast<ConfigurationObject*>(o);
    if (!check_thread(self->thread, kConfigurationName)) return nullptr;
    static const char* const names[] = {"name", "obj"};
    PyObject* a[2];
    std::string_view name;
    if (!collect_args(args, kwargs, names, 2, a, "set_shared_variable") || !str_arg(a[0], "name", name))
      return nullptr;
    Borrow b(self, true);
    if (!b.ok()) return nullptr;
    WrapContext ctx{wrapper_of(self).get(), zone_for(self->config->settings.time_zone_name)};
    std::optional<TModel> value;
    if (!wrap_or_null(ctx, a[1], value)) return nullptr;
    self->config->set_shared_variable(std::string(name), std::move(*value));
    Py_RETURN_NONE;
  });
}

PyMethodDef configuration_methods[] = {
    {"put_template", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(configuration_put_template)),
     METH_VARARGS | METH_KEYWORDS,
     "put_template($self, name, source)\n--\n\n"
     "Stores the template source under the exact name, replacing an earlier source of that name."},
    {"get_template", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(configuration_get_template)),
     METH_VARARGS | METH_KEYWORDS,
     "get_template($self, name)\n--\n\n"
     "Returns the template of that name, parsed once and cached; raises TovarnError when it is\n"
     "missing or has a syntax error."},
    {"set_object_wrapper", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(configuration_set_object_wrapper)),
     METH_VARARGS | METH_KEYWORDS,
     "set_object_wrapper($self, wrapper)\n--\n\n"
     "Copies the options of a PyObjectWrapper (attributes_shadow_items, use_cache) into the\n"
     "configuration's object wrapper."},
    {"set_shared_variable", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(configuration_set_shared_variable)),
     METH_VARARGS | METH_KEYWORDS,
     "set_shared_variable($self, name, obj)\n--\n\n"
     "Makes `obj` visible under `name` to every template loaded afterwards."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot configuration_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(configuration_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(configuration_dealloc)},
    {Py_tp_methods, nullptr},  // filled in at module init: the methods above plus the setters
    {Py_tp_getset, configuration_getset},
    {Py_tp_doc, const_cast<char*>("TovConfiguration()\n--\n\n"
                                  "Settings and an in-memory store of template sources.")},
    {0, nullptr},
};

PyType_Spec configuration_spec = {kConfigurationName, sizeof(ConfigurationObject), 0, Py_TPFLAGS_DEFAULT,
                                  configuration_slots};

// ---- TovTemplate ----------------------------------------------------------------

struct TemplateObject {
  PyObject_HEAD
  Template* tpl;  // one reference
  OwnerRef* wrapper;  // the object wrapper of the configuration that made it
  unsigned long thread;
};

PyObject* make_template_object(Rc<Template> tpl, const OwnerRef& wrapper) {
  auto* type = reinterpret_cast<PyTypeObject*>(g_template_type);
  allocfunc alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  auto* self = reinterpret_cast<TemplateObject*>(alloc(type, 0));
  if (!self) return nullptr;
  tpl->add_ref();
  self->tpl = tpl.get();
  self->wrapper = new OwnerRef(wrapper);
  self->thread = PyThread_get_thread_ident();
  return reinterpret_cast<PyObject*>(self);
}

void template_dealloc(PyObject* o) {
  auto* self = reinterpret_cast<TemplateObject*>(o);
  if (self->tpl) self->tpl->release();
  delete self->wrapper;
  PyTypeObject* type = Py_TYPE(o);
  freefunc f = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  f(o);
  Py_DECREF(type);
}

PyObject* template_process(PyObject* o, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    auto* self = reinterpret_cast<TemplateObject*>(o);
    if (!check_thread(self->thread, kTemplateName)) return nullptr;
    static const char* const names[] = {"root"};
    PyObject* a[1];
    if (!collect_args(args, kwargs, names, 1, a, "process")) return nullptr;
    // A root of None is the Null value, which the environment refuses as not a hash.
    WrapContext ctx{self->wrapper->get(), zone_for(self->tpl->configuration->settings.time_zone_name)};
    std::optional<TModel> root;
    if (!wrap_or_null(ctx, a[0], root)) return nullptr;
    std::string out;
    Status st = self->tpl->process(*root, out);
    if (!st.ok()) return raise_template_error(st.error());
    PyObject* text = PyUnicode_DecodeUTF8(out.data(), static_cast<Py_ssize_t>(out.size()), "strict");
    if (!text && PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
      PyErr_Clear();
      return raise_template_error(Error::misc("template output is not valid UTF-8: " + utf8_error_description(out)));
    }
    return text;
  });
}

PyObject* template_get_name(PyObject* o, void*) {
  auto* self = reinterpret_cast<TemplateObject*>(o);
  if (!check_thread(self->thread, kTemplateName)) return nullptr;
  const std::string& n = self->tpl->name;
  return PyUnicode_DecodeUTF8(n.data(), static_cast<Py_ssize_t>(n.size()), "replace");
}

PyMethodDef template_methods[] = {
    {"process", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(template_process)),
     METH_VARARGS | METH_KEYWORDS,
     "process($self, root)\n--\n\n"
     "Renders the template with `root` (a mapping or an object) as the data model and returns\n"
     "the output as a str; raises TovarnError on a template error."},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef template_getset[] = {
    {"name", template_get_name, nullptr, "The template's normalised name.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot template_slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(template_dealloc)},
    {Py_tp_methods, template_methods},
    {Py_tp_getset, template_getset},
    {Py_tp_doc, const_cast<char*>("A parsed template, obtained from TovConfiguration.get_template.")},
    {0, nullptr},
};

PyType_Spec template_spec = {kTemplateName, sizeof(TemplateObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION,
                             template_slots};

// ---- module -------------------------------------------------------------------------

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "tovarn._tovarn",
    "tovarn: a template engine. Store template sources in a TovConfiguration, get a TovTemplate\n"
    "from it and call process(data) to render.",
    -1, nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

}  // namespace tovarn::py

PyMODINIT_FUNC PyInit__tovarn(void) {
  using namespace tovarn::py;
  return guard([]() -> PyObject* {
    PyRef m(PyModule_Create(&module_def));
    if (!m) return nullptr;
    // One method table for the type: the store methods, then the setters.
    static std::vector<PyMethodDef> methods;
    if (methods.empty()) {
      for (PyMethodDef* m = configuration_methods; m->ml_name; ++m) methods.push_back(*m);
      for (PyMethodDef* m = configuration_setting_methods; m->ml_name; ++m) methods.push_back(*m);
      methods.push_back({nullptr, nullptr, 0, nullptr});
    }
    for (PyType_Slot* slot = configuration_slots; slot->slot; ++slot)
      if (slot->slot == Py_tp_methods) slot->pfunc = methods.data();
    g_configuration_type = PyType_FromSpec(&configuration_spec);
    if (!g_configuration_type) return nullptr;
    Py_INCREF(g_configuration_type);
    if (PyModule_AddObject(m.get(), "TovConfiguration", g_configuration_type) < 0) return nullptr;
    g_template_type = PyType_FromSpec(&template_spec);
    if (!g_template_type) return nullptr;
    Py_INCREF(g_template_type);
    if (PyModule_AddObject(m.get(), "TovTemplate", g_template_type) < 0) return nullptr;
    PyObject* wrapper_type = create_object_wrapper_type();
    if (!wrapper_type || PyModule_AddObject(m.get(), "PyObjectWrapper", wrapper_type) < 0) return nullptr;
    PyObject* adapter_type = create_model_adapter_type();
    if (!adapter_type || PyModule_AddObject(m.get(), "TemplateModelAdapter", adapter_type) < 0) return nullptr;
    PyObject* err = tovarn_error_type();
    if (!err) return nullptr;
    Py_INCREF(err);
    if (PyModule_AddObject(m.get(), "TovarnError", err) < 0) return nullptr;
    // Private test hooks of the wrapping layer (names start with "_").
    if (PyModule_AddFunctions(m.get(), wrapping_test_hooks()) < 0) return nullptr;
    return m.release();
  });
}
