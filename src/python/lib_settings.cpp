// lib_settings.cpp — the setter methods and read-only attributes of
// TovConfiguration: validation and storage go to the engine's settings
// vocabulary; this file only converts arguments.
#include <Python.h>

#include <string>

#include "core/settings_values.h"
#include "python/errors.h"
#include "python/lib.h"
#include "python/py_ref.h"

namespace tovarn::py {

namespace {

ConfigurationObject* self_of(PyObject* o) { return reinterpret_cast<ConfigurationObject*>(o); }

// Common start of a modifying method: thread check, one argument, in-use guard.
template <class F>
PyObject* setter(PyObject* o, PyObject* args, PyObject* kwargs, const char* fname, const char* arg, F&& apply) {
  return guard([&]() -> PyObject* {
    ConfigurationObject* self = self_of(o);
    if (!check_thread(self->thread, kConfigurationName)) return nullptr;
    const char* const names[] = {arg};
    PyObject* value;
    if (!collect_args(args, kwargs, names, 1, &value, fname)) return nullptr;
    Borrow b(self, true);
    if (!b.ok()) return nullptr;
    if (!apply(*self->config, value)) return nullptr;
    Py_RETURN_NONE;
  });
}

// A setter whose str argument the settings vocabulary validates and stores.
template <const char* Name, const char* Arg>
PyObject* string_setter(PyObject* o, PyObject* args, PyObject* kwargs) {
  return setter(o, args, kwargs, Name, Arg, [](Configuration& cfg, PyObject* value) {
    std::string_view text;
    if (!str_arg(value, Arg, text)) return false;
    if (auto refusal = apply_setter(cfg.settings, Name, text)) {
      PyErr_SetString(PyExc_ValueError, refusal->c_str());
      return false;
    }
    return true;
  });
}

// A setter of one boolean field.
template <const char* Name, const char* Arg, bool Settings::*Field>
PyObject* bool_setter(PyObject* o, PyObject* args, PyObject* kwargs) {
  return setter(o, args, kwargs, Name, Arg, [](Configuration& cfg, PyObject* value) {
    bool flag;
    if (!bool_arg(value, Arg, flag)) return false;
    cfg.settings.*Field = flag;
    return true;
  });
}

PyObject* set_lazy_auto_imports(PyObject* o, PyObject* args, PyObject* kwargs) {
  return setter(o, args, kwargs, "set_lazy_auto_imports", "lazy", [](Configuration& cfg, PyObject* value) {
    if (value == Py_None) {
      cfg.settings.lazy_auto_imports.reset();
      return true;
    }
    bool flag;
    if (!bool_arg(value, "lazy", flag)) return false;
    cfg.settings.lazy_auto_imports = flag;
    return true;
  });
}

PyObject* set_delay(PyObject* o, PyObject* args, PyObject* kwargs) {
  return setter(o, args, kwargs, "set_delay", "delay", [](Configuration& cfg, PyObject* value) {
    if (!PyLong_Check(value) || PyBool_Check(value)) {
      PyErr_SetString(PyExc_TypeError, "argument 'delay': expected int");
      return false;
    }
    unsigned long long d = PyLong_AsUnsignedLongLong(value);
    if (PyErr_Occurred()) {
      PyErr_Clear();
      PyErr_SetString(PyExc_OverflowError, "argument 'delay': expected a non-negative int below 2**64");
      return false;
    }
    cfg.settings.update_delay = d;
    return true;
  });
}

PyObject* set_auto_import(PyObject* o, PyObject* args, PyObject* kwargs) {
  return guard([&]() -> PyObject* {
    ConfigurationObject* self = self_of(o);
    if (!check_thread(self->thread, kConfigurationName)) return nullptr;
    static const char* const names[] = {"namespace_var_name", "template_name"};
    PyObject* a[2];
    std::string_view ns, name;
    if (!collect_args(args, kwargs, names, 2, a, "set_auto_import") || !str_arg(a[0], names[0], ns) ||
        !str_arg(a[1], names[1], name))
      return nullptr;
    Borrow b(self, true);
    if (!b.ok()) return nullptr;
    self->config->add_auto_import(std::string(ns), std::string(name));
    Py_RETURN_NONE;
  });
}

PyObject* set_auto_include(PyObject* o, PyObject* args, PyObject* kwargs) {
  return setter(o, args, kwargs, "set_auto_include", "template_name", [](Configuration& cfg, PyObject* value) {
    std::string_view name;
    if (!str_arg(value, "template_name", name)) return false;
    cfg.add_auto_include(std::string(name));
    return true;
  });
}

template <std::string Settings::*Field>
PyObject* get_text(PyObject* o, void*) {
  ConfigurationObject* self = self_of(o);
  if (!check_thread(self->thread, kConfigurationName)) return nullptr;
  const std::string& v = self->config->settings.*Field;
  return PyUnicode_DecodeUTF8(v.data(), static_cast<Py_ssize_t>(v.size()), "replace");
}

#define NAME(id, text) constexpr char id[] = text;
NAME(kSetLocale, "set_locale") NAME(kSetTimeZone, "set_time_zone") NAME(kSetNumberFormat, "set_number_format")
NAME(kSetDateFormat, "set_date_format") NAME(kSetTimeFormat, "set_time_format")
NAME(kSetDateTimeFormat, "set_date_time_format") NAME(kSetBooleanFormat, "set_boolean_format")
NAME(kSetCFormat, "set_c_format") NAME(kSetOutputFormat, "set_output_format")
NAME(kSetAutoEscaping, "set_auto_escaping") NAME(kSetHandler, "set_template_exception_handler")
NAME(kSetLookupStrategy, "set_lookup_strategy") NAME(kSetInputEncoding, "set_input_encoding")
NAME(kSetOutputEncoding, "set_output_encoding") NAME(kSetUrlCharset, "set_url_escaping_charset")
NAME(kSetStrictSyntax, "set_strict_syntax") NAME(kSetWhitespace, "set_whitespace_stripping")
NAME(kSetClassic, "set_classic_compatible") NAME(kSetLocalized, "set_localized_lookup")
NAME(kSetLazyImports, "set_lazy_imports") NAME(kSetFallback, "set_fallback_on_null_loop_variable")
NAME(kLocale, "locale") NAME(kTz, "tz") NAME(kFmt, "fmt") NAME(kName, "name") NAME(kPolicy, "policy")
NAME(kHandler, "handler") NAME(kEncoding, "encoding") NAME(kCharset, "charset") NAME(kStrict, "strict")
NAME(kStrip, "strip") NAME(kCompat, "compat") NAME(kLocalized, "localized") NAME(kLazy, "lazy")
NAME(kFallback, "fallback")
#undef NAME

#define STRING_SETTER(name, arg, doc)                                                             \
  {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(string_setter<name, arg>)), \
   METH_VARARGS | METH_KEYWORDS, doc}
#define BOOL_SETTER(name, arg, field, doc)                                                                \
  {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(bool_setter<name, arg, &Settings::field>)), \
   METH_VARARGS | METH_KEYWORDS, doc}
#define PLAIN(name, fn, doc) \
  {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn)), METH_VARARGS | METH_KEYWORDS, doc}

}  // namespace

PyMethodDef configuration_setting_methods[] = {
    STRING_SETTER(kSetLocale, kLocale, "set_locale($self, locale)\n--\n\nSets the locale used by formatting, e.g. \"de_DE\"."),
    STRING_SETTER(kSetTimeZone, kTz,
                  "set_time_zone($self, tz)\n--\n\nSets the time zone: \"UTC\", \"GMT+02:00\" or an IANA zone name."),
    STRING_SETTER(kSetNumberFormat, kFmt, "set_number_format($self, fmt)\n--\n\nSets the default number format."),
    STRING_SETTER(kSetDateFormat, kFmt, "set_date_format($self, fmt)\n--\n\nSets the default date format."),
    STRING_SETTER(kSetTimeFormat, kFmt, "set_time_format($self, fmt)\n--\n\nSets the default time format."),
    STRING_SETTER(kSetDateTimeFormat, kFmt,
                  "set_date_time_format($self, fmt)\n--\n\nSets the default date-time format."),
    STRING_SETTER(kSetBooleanFormat, kFmt,
                  "set_boolean_format($self, fmt)\n--\n\nSets how booleans print, e.g. \"yes,no\" or \"c\"."),
    STRING_SETTER(kSetCFormat, kName,
                  "set_c_format($self, name)\n--\n\nSets the computer format: \"JavaScript or JSON\", \"JavaScript\", "
                  "\"JSON\", \"Java\", \"legacy\" or \"XS\"."),
    STRING_SETTER(kSetOutputFormat, kName,
                  "set_output_format($self, name)\n--\n\nSets the default output format, e.g. \"HTML\"."),
    STRING_SETTER(kSetAutoEscaping, kPolicy,
                  "set_auto_escaping($self, policy)\n--\n\nSets the auto-escaping policy: \"on\", \"off\" or \"default\"."),
    STRING_SETTER(kSetHandler, kHandler,
                  "set_template_exception_handler($self, handler)\n--\n\n\"rethrow\", \"debug\", \"html_debug\" or "
                  "\"ignore\"."),
    STRING_SETTER(kSetLookupStrategy, kName,
                  "set_lookup_strategy($self, name)\n--\n\nOnly \"default\" is known."),
    STRING_SETTER(kSetInputEncoding, kEncoding,
                  "set_input_encoding($self, encoding)\n--\n\nSets the encoding template sources are read with."),
    STRING_SETTER(kSetOutputEncoding, kEncoding,
                  "set_output_encoding($self, encoding)\n--\n\nSets the encoding of the output."),
    STRING_SETTER(kSetUrlCharset, kCharset,
                  "set_url_escaping_charset($self, charset)\n--\n\nSets the charset of URL escaping."),
    BOOL_SETTER(kSetStrictSyntax, kStrict, strict_syntax,
                "set_strict_syntax($self, strict)\n--\n\nWhen off, legacy tags without # are recognised."),
    BOOL_SETTER(kSetWhitespace, kStrip, whitespace_stripping,
                "set_whitespace_stripping($self, strip)\n--\n\nTurns parse-time white-space stripping on or off."),
    BOOL_SETTER(kSetClassic, kCompat, classic_compatible,
                "set_classic_compatible($self, compat)\n--\n\nTurns classic-compatible rendering on or off."),
    BOOL_SETTER(kSetLocalized, kLocalized, localized_lookup,
                "set_localized_lookup($self, localized)\n--\n\nTurns localized template lookup on or off."),
    BOOL_SETTER(kSetLazyImports, kLazy, lazy_imports,
                "set_lazy_imports($self, lazy)\n--\n\nMakes #import lazy."),
    BOOL_SETTER(kSetFallback, kFallback, fallback_on_null_loop_variable,
                "set_fallback_on_null_loop_variable($self, fallback)\n--\n\nLoop-variable lookup fallback."),
    PLAIN("set_lazy_auto_imports", set_lazy_auto_imports,
          "set_lazy_auto_imports($self, lazy)\n--\n\nTrue, False, or None to follow set_lazy_imports."),
    PLAIN("set_delay", set_delay, "set_delay($self, delay)\n--\n\nStores the update delay (a non-negative int)."),
    PLAIN("set_auto_import", set_auto_import,
          "set_auto_import($self, namespace_var_name, template_name)\n--\n\n"
          "Imports the template into the namespace variable at the start of every run."),
    PLAIN("set_auto_include", set_auto_include,
          "set_auto_include($self, template_name)\n--\n\nIncludes the template at the start of every run."),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef configuration_getset[] = {
    {"locale", get_text<&Settings::locale>, nullptr, "The locale setting.", nullptr},
    {"number_format", get_text<&Settings::number_format>, nullptr, "The number_format setting.", nullptr},
    {"output_encoding", get_text<&Settings::output_encoding>, nullptr, "The output_encoding setting.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace tovarn::py
