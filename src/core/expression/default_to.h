// default_to.h — the default operator `a!b` / `a!` and the existence test
// `a??`. Both forgive an undefined variable only when the operand is a plain
// variable or a parenthesized expression: `missing!"d"` and `(a.b)!"d"` give
// "d", but in `missing.b!"d"` the error is raised inside the member access.
#pragma once

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// Whether an error of evaluating `operand` is forgiven by `!`, `??` and the
// lenient evaluation: an invalid reference of a Variable or Parenthetical.
bool forgives_missing(const Expr& operand, const Error& error);

// `a!b` with `a` already evaluated (Null when it was forgiven): `a` unless it
// is Null, else the default's value, or "" without a default.
Result<TModel> eval_default_to(Environment& env, const DefaultToExpr& node, const TModel& target);

// `a??` with `a` already evaluated: true unless it is Null.
TModel eval_exists(const TModel& target);

}  // namespace tovarn
