// dollar_variable.cpp — executing `${expr}` and `#{expr; mNMN}`.
#include "core/dollar_variable.h"

#include "core/environment.h"
#include "core/eval.h"
#include "core/eval_util.h"
#include "core/value_output.h"

namespace tovarn {

namespace {

constexpr std::string_view kInterpolationExpectedPhrase =
    "a string or something automatically convertible to string (number, date or boolean), or \"template output\" ";

// The error for a Null value: it names the expression at its position; a
// member access also gets the tip that the last step is the one at fault.
Error null_value_error(const Environment& env, const Expr& expr) {
  Error e = Error::invalid_reference(expr_desc(expr)).with_location(env.current_template_name(), expr.line, expr.column);
  if (expr.kind == ExprKind::Dot || expr.kind == ExprKind::DynamicKeyName) e = std::move(e).with_dot_tip();
  return e;
}

// `#{x; m1M2}`: a number in the legacy fixed format.
Status print_legacy_number(Environment& env, const DollarVariable& dv, const TModel& value) {
  if (!value.has(Cap::Number)) return Error::type_mismatch("number", value.type_name());
  ASSIGN_OR_RETURN(TNumber n, value->as_number());
  // Digits, sign, separator, "NaN" and "∞" hold nothing any escaping changes.
  return env.emit(legacy_number_text(n, dv.min_fraction_digits.value_or(0), *dv.max_fraction_digits,
                                     env.settings().locale));
}

}  // namespace

ExecOutcome exec_dollar_variable(Environment& env, const Element& element) {
  const DollarVariable& dv = element.as<DollarVariable>();
  const Expr& expr = *dv.expr;
  Result<TModel> value = eval(env, expr);
  if (!value.ok()) return ExecOutcome::failed(value.take_error());
  if (dv.numerical && dv.max_fraction_digits) return ExecOutcome::from(print_legacy_number(env, dv, *value));
  if (value->is_null()) {
    if (env.settings().classic_compatible) return ExecOutcome::normal();
    return ExecOutcome::failed(null_value_error(env, expr));
  }
  Status st = print_value(env, *value);
  if (st.ok()) return ExecOutcome::normal();
  Error e = st.take_error();
  // The value itself could not become text: say what ${...} accepts and
  // point at its content.
  if (e.kind() == ErrorKind::UnexpectedType && e->expected_type == "string-like value" && !e->ctx.blamed_expression)
    e = blame_expression(std::move(e).with_expected_phrase(std::string(kInterpolationExpectedPhrase)), env, expr);
  return ExecOutcome::failed(std::move(e));
}

std::string describe_dollar_variable(const DollarVariable& dv, bool auto_escaped) {
  std::string d = dv.numerical ? "#{" : "${";
  d += expr_desc(*dv.expr);
  d += '}';
  if (auto_escaped && !dv.numerical) d += " auto-escaped";
  return d;
}

}  // namespace tovarn
