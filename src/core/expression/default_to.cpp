// default_to.cpp — the `!` default operator and the `??` existence test.
#include "core/expression/default_to.h"

#include "core/eval.h"

namespace tovarn {

bool forgives_missing(const Expr& operand, const Error& error) {
  return (operand.kind == ExprKind::Variable || operand.kind == ExprKind::Parenthetical) &&
         error.kind() == ErrorKind::InvalidReference;
}

Result<TModel> eval_default_to(Environment& env, const DefaultToExpr& node, const TModel& target) {
  if (!target.is_null()) return target;
  if (!node.default_value) return TModel::from_scalar("");
  return eval(env, *node.default_value);
}

TModel eval_exists(const TModel& target) { return TModel::from_boolean(!target.is_null()); }

}  // namespace tovarn
