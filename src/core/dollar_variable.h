// dollar_variable.h — the interpolation elements `${expr}` and `#{expr; mXMY}`.
#pragma once

#include <optional>

#include "core/expression/expr.h"
#include "core/template_element.h"

namespace tovarn {

// Payload of ElementKind::DollarVariable. The `#{...}` form (numerical) prints
// a number with optional fraction-digit limits.
struct DollarVariable : ElementData {
  ExprPtr expr;
  bool numerical = false;
  std::optional<int> min_fraction_digits;
  std::optional<int> max_fraction_digits;
};

}  // namespace tovarn
