// library_load.h — payload of `<#import name as ns>`.
#pragma once

#include <string>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::Import.
struct LibraryLoad : ElementData {
  ExprPtr template_name;
  std::string namespace_name;  // the variable that receives the namespace
};

}  // namespace tovarn
