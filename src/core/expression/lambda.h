// lambda.h — local lambdas (`x -> x * 2`): their value form (LambdaValue),
// calling them, and the temporary local bindings that hold their parameters
// while the body runs.
//
// Local bindings are a stack of frames that live on the native stack of the
// code that binds them; variable lookup in eval() consults them before the
// environment's own scopes. A bound name hides every other variable of that
// name until the binding object is destroyed:
//
//   LocalBindings b(env, "x", item);          // x is `item` until b goes away
//   ASSIGN_OR_RETURN(TModel r, eval(env, body));
//
//   ASSIGN_OR_RETURN(TModel f, eval(env, lambda_arg_expr));
//   const LambdaValue* l = f.internal_as<LambdaValue>();  // null: not a lambda
//   ASSIGN_OR_RETURN(TModel r, call_lambda(env, *l, {item}));
#pragma once

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

// Binds names to values for the lifetime of the object (innermost wins).
// `names` and `values` must outlive the object and have equal sizes.
class LocalBindings {
 public:
  LocalBindings(const Environment& env, std::span<const std::string> names, std::span<const TModel> values) noexcept;
  // One name, as #escape placeholders need.
  LocalBindings(const Environment& env, const std::string& name, const TModel& value) noexcept
      : LocalBindings(env, std::span<const std::string>(&name, 1), std::span<const TModel>(&value, 1)) {}
  // The bound name and value are referred to, not copied: temporaries would dangle.
  LocalBindings(const Environment&, std::string&&, const TModel&) = delete;
  LocalBindings(const Environment&, const std::string&, TModel&&) = delete;
  LocalBindings(const LocalBindings&) = delete;
  LocalBindings& operator=(const LocalBindings&) = delete;
  ~LocalBindings();

 private:
  friend const TModel* find_local_binding(const Environment& env, std::string_view name) noexcept;
  friend class LocalBindingsBarrier;
  const Environment* env_;
  std::span<const std::string> names_;
  std::span<const TModel> values_;
  LocalBindings* outer_;
};

// Hides every binding made so far until destroyed: a macro or function body
// called from a lambda must not see the lambda's parameters.
class LocalBindingsBarrier {
 public:
  LocalBindingsBarrier() noexcept;
  LocalBindingsBarrier(const LocalBindingsBarrier&) = delete;
  LocalBindingsBarrier& operator=(const LocalBindingsBarrier&) = delete;
  ~LocalBindingsBarrier();

 private:
  LocalBindings* saved_;
};

// The innermost binding of `name` made for `env`, or null.
const TModel* find_local_binding(const Environment& env, std::string_view name) noexcept;

}  // namespace tovarn
