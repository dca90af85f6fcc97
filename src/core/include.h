// include.h — payload of `<#include name parse=.. encoding=.. ignore_missing=..>`.
#pragma once

#include <string>
#include <vector>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// One named #include parameter; `name` is "parse", "encoding" or "ignore_missing".
struct IncludeParam {
  std::string name;
  ExprPtr value;
};

// Payload of ElementKind::Include.
struct Include : ElementData {
  ExprPtr template_name;
  std::vector<IncludeParam> params;  // in written order
};

}  // namespace tovarn
