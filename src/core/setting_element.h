// setting_element.h — payload of `<#setting name=value>`.
#pragma once

#include <string>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::Setting. `name` is the canonical snake_case key
// (`numberFormat` is stored as "number_format"); the parser admits only the
// names a template may change at run time.
struct Setting : ElementData {
  std::string name;
  ExprPtr value;
};

}  // namespace tovarn
