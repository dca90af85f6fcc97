// eval.h — evaluating expressions to values, and the shared operations built
// on it: truth of a value, comparison, lenient evaluation for existence tests.
//
//   ASSIGN_OR_RETURN(TModel v, eval(env, expr));
//   ASSIGN_OR_RETURN(bool b, model_to_boolean(env, v));
#pragma once

#include <cstdint>

#include "core/environment.h"
#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

struct MacroDef;

// The value of `expr`, or the error that evaluating it raised.
Result<TModel> eval(Environment& env, const Expr& expr);

// eval(), except that an invalid-reference error of a Variable or a
// Parenthetical gives the Null value.
Result<TModel> eval_lenient(Environment& env, const Expr& expr);

// The truth of a value (booleans; Null and others per the rules of the language).
Result<bool> model_to_boolean(Environment& env, const TModel& value);

// Evaluation recursing deeper than this (through nested operands, arguments,
// built-in targets, lambda bodies) fails cleanly instead of exhausting the
// native stack. Left-leaning operator and postfix chains (a+b+c..., a.b.c...,
// f()()..., !!!x) are evaluated in a loop and do not count.
inline constexpr uint32_t kMaxEvalDepth = 1000;

// Evaluates a BuiltIn node. With `args`, they replace the node's own
// argument list (`x?string.short` runs ?string with the argument "short").
Result<TModel> eval_builtin(Environment& env, const BuiltInExpr& node, const ExprList* args = nullptr);

// The value of a special variable (`.now`, `.vars`, ...).
Result<TModel> eval_special_variable(Environment& env, const BuiltinVariableExpr& node);

// Calls a template-defined function from an expression with the argument
// expressions as written.
Result<TModel> call_function_value(Environment& env, const MacroDef& def, const ExprList& args);

// Comparison operators of compare_models.
enum class CompareOp : uint8_t { Eq = 0, Ne = 1, Gt = 2, Ge = 3, Lt = 4, Le = 5 };

// Compares two values with the operator's type rules and messages.
Result<bool> compare_models(const TModel& left, const TModel& right, CompareOp op);

}  // namespace tovarn
