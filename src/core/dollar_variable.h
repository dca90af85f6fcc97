// dollar_variable.h — the interpolation elements `${expr}` and `#{expr; mXMY}`.
#pragma once

#include <optional>
#include <string>

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

class Environment;
struct ExecOutcome;

// Executes a DollarVariable element: evaluates the expression and writes the
// value, escaped as the escape stack, the output format and the
// auto-escaping flag say (`${x}`), or as a legacy-formatted number (`#{x; m1M2}`).
ExecOutcome exec_dollar_variable(Environment& env, const Element& element);

// The instruction-stack description: "${expr}" (followed by " auto-escaped"
// when escaping was in force) or "#{expr}".
std::string describe_dollar_variable(const DollarVariable& dv, bool auto_escaped);

}  // namespace tovarn
