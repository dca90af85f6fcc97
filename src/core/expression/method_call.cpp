// method_call.cpp — calling methods and functions from expressions.
#include "core/expression/method_call.h"

#include <vector>

#include "core/environment.h"
#include "core/eval.h"
#include "core/macro_def.h"

namespace tovarn {

Result<TModel> eval_method_call(Environment& env, const MethodCallExpr& node, const TModel& callee) {
  if (const MacroDef* def = callee.internal_as<MacroDef>()) {
    if (!def->is_function) return Error::misc("A macro cannot be called in an expression. (Functions can be.)");
    return call_function_value(env, *def, node.args);
  }
  if (!callee.has(Cap::Method))
    return Error::misc("The value of " + expr_desc(*node.target) + " is not a method or function (it's a " +
                       callee.type_name() + ")");
  std::vector<TModel> args;
  args.reserve(node.args.size());
  for (const ExprPtr& a : node.args) {
    Result<TModel> v = eval(env, *a);
    if (v.ok()) {
      args.push_back(std::move(v.value()));
    } else if (v.error().kind() == ErrorKind::InvalidReference) {
      args.push_back(TModel::null());
    } else {
      return v.take_error();
    }
  }
  return callee->call(env, args);
}

}  // namespace tovarn
