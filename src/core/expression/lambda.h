// lambda.h — local lambdas (`x -> x * 2`): their value form (LambdaValue),
// calling them, and the temporary local bindings that hold their parameters
// while the body runs.
//
// Local bindings are a stack of frames that live on the native stack of the
// code that binds them; variable lookup in eval() consults them before the
// environment's own scopes. A bound name hides every other variable of that
// name until the binding object is destroyed:
//
//   LocalBindings b(env, name, item);         // `name` is `item` until b goes away
//   ASSIGN_OR_RETURN(TModel r, eval(env, body));
//
//   ASSIGN_OR_RETURN(TModel f, eval(env, lambda_arg_expr));
//   const LambdaValue* l = f.internal_as<LambdaValue>();  // null: not a lambda
//   ASSIGN_OR_RETURN(TModel r, call_lambda(env, *l, {item}));
#pragma once

#include "core/environment.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/rc.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// The payload of a lambda value. It refers to its node in the template's
// expression tree, so it must not be used after that template is gone; lambda
// values are made for built-in arguments and used while the run lasts.
class LambdaValue final : public RefCounted {
 public:
  explicit LambdaValue(const LambdaExpr& node) noexcept : node_(&node) {}
  const std::vector<std::string>& params() const noexcept { return node_->params; }
  const Expr& body() const noexcept { return *node_->body; }
  const LambdaExpr& node() const noexcept { return *node_; }

 private:
  const LambdaExpr* node_;
};

// The value of a lambda expression: kind Lambda, type "lambda", no
// capabilities, internal() = its LambdaValue.
TModel make_lambda_value(const LambdaExpr& node);

// Evaluates the lambda's body with its parameters bound, in order, to `args`
// in a fresh local scope. The argument count must equal the parameter count:
//   "The lambda with 1 parameter(s) was called with 2 argument(s)."
Result<TModel> call_lambda(Environment& env, const LambdaValue& lambda, std::span<const TModel> args);

// Binds names to values for the lifetime of the object (innermost wins), as
// a local scope of the environment. `names` and `values` must outlive the
// object and have equal sizes.
//   LocalBindings b(env, name, item);   // `name` reads as `item` until b goes away
class LocalBindings final : public NameBindings {
 public:
  LocalBindings(Environment& env, std::span<const std::string> names, std::span<const TModel> values)
      : NameBindings(names, values), scopes_(env.local_scopes()) {
    scopes_.push_back(this);
  }
  // One name, as #escape placeholders need.
  LocalBindings(Environment& env, const std::string& name, const TModel& value)
      : LocalBindings(env, std::span<const std::string>(&name, 1), std::span<const TModel>(&value, 1)) {}
  // The bound name and value are referred to, not copied: temporaries would dangle.
  LocalBindings(Environment&, std::string&&, const TModel&) = delete;
  LocalBindings(Environment&, const std::string&, TModel&&) = delete;
  LocalBindings(const LocalBindings&) = delete;
  LocalBindings& operator=(const LocalBindings&) = delete;
  ~LocalBindings() override { scopes_.pop_back(); }

 private:
  std::vector<const LocalScope*>& scopes_;
};

}  // namespace tovarn
