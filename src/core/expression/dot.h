// dot.h — member access `target.name`, and the built-in chains in which the
// names after `?date`, `?time`, `?datetime` or `?string` are arguments
// (`x?string.short` means `x?string("short")`; `x?string["short"]` too).
#pragma once

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// The member `node.name` of an already evaluated target: Null targets fail
// (or give Null under classic_compatible), namespaces and hashes are looked
// up (a missing key gives Null), anything else is a type mismatch.
Result<TModel> eval_dot(Environment& env, const DotExpr& node, const TModel& target);

// Whether `e` is a built-in that takes the names of following `.name`
// steps as arguments: ?date, ?time, ?datetime or ?string without arguments.
bool is_chain_builtin(const Expr& e);

// Follows Dot targets down from `e` to the first node that is not a Dot.
const Expr& dot_run_bottom(const Expr& e);

// Whether `node` (a Dot or DynamicKeyName) ends a built-in chain.
bool is_builtin_chain(const Expr& node);

// Evaluates a Dot or DynamicKeyName that ends a built-in chain.
Result<TModel> eval_builtin_chain(Environment& env, const Expr& node);

}  // namespace tovarn
