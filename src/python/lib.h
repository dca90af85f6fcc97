// lib.h — what the binding's units share about TovConfiguration: its object
// layout, argument helpers, thread binding and the in-use guard.
#pragma once

#include <Python.h>

#include <string_view>

#include "cache/string_template_loader.h"
#include "python/wrapper.h"
#include "template/configuration.h"

namespace tovarn::py {

// Collects `n` required arguments given by position or keyword into `out`;
// raises TypeError naming the function and the argument otherwise.
bool collect_args(PyObject* args, PyObject* kwargs, const char* const* names, int n, PyObject** out,
                  const char* fname);
// The UTF-8 text of a str argument, or a TypeError naming the argument.
bool str_arg(PyObject* o, const char* name, std::string_view& out);
// A bool argument, or a TypeError naming the argument.
bool bool_arg(PyObject* o, const char* name, bool& out);
// True when called on `owner`'s thread; else raises the "unsendable" RuntimeError.
bool check_thread(unsigned long owner, const char* type_name);

struct ConfigurationObject {
  PyObject_HEAD
  Configuration* config;   // owned (one reference)
  StringLoader* loader;    // the configuration's loader, shared
  unsigned long thread;
  int busy;                // > 0 while a call uses the configuration
  OwnerRef* wrapper;       // the object wrapper state, shared with its templates
};

constexpr const char* kConfigurationName = "tovarn.TovConfiguration";
constexpr const char* kTemplateName = "tovarn.TovTemplate";

// Marks the configuration in use for one call; refuses a re-entrant call that
// would modify it meanwhile.
class Borrow {
 public:
  Borrow(ConfigurationObject* self, bool mutate) : self_(self) {
    if (mutate && self->busy > 0) {
      PyErr_SetString(PyExc_RuntimeError,
                      "TovConfiguration is already in use by another call and cannot be modified now");
      ok_ = false;
      return;
    }
    ++self_->busy;
  }
  ~Borrow() {
    if (ok_) --self_->busy;
  }
  bool ok() const { return ok_; }

 private:
  ConfigurationObject* self_;
  bool ok_ = true;
};


// The setter methods and read-only attributes of TovConfiguration (lib_settings.cpp).
extern PyMethodDef configuration_setting_methods[];
extern PyGetSetDef configuration_getset[];

}  // namespace tovarn::py
