// method_call.h — calls in expressions, `target(a, b)`: methods (values with
// the method capability) and functions defined in templates.
#pragma once

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// Calls an already evaluated callee with the node's arguments. A method gets
// its arguments evaluated left to right, an undefined one passed as Null.
//   "A macro cannot be called in an expression. (Functions can be.)"
//   "The value of f is not a method or function (it's a string)"
Result<TModel> eval_method_call(Environment& env, const MethodCallExpr& node, const TModel& callee);

}  // namespace tovarn
