// macro_def.h — the definition of a #macro or #function, and its value form.
#pragma once

#include <string>

#include "core/template_element.h"
#include "template/rc.h"
#include "template/t_model.h"

namespace tovarn {

struct MacroDef : RefCounted {
  std::string name;
  bool is_function = false;
};

// The value a macro or function is when read as a variable (type "macro").
TModel macro_value(const Rc<MacroDef>& def);

}  // namespace tovarn
