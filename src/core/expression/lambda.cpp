// lambda.cpp — lambda values, calling them, and the local-binding frames.
#include "core/expression/lambda.h"

#include "core/eval.h"

namespace tovarn {

namespace {

// The innermost binding frame of this thread. Frames live on the native
// stack of whoever binds, so the chain follows the call nesting exactly.
thread_local LocalBindings* t_innermost = nullptr;

class LambdaModel final : public ModelObject {
 public:
  explicit LambdaModel(Rc<LambdaValue> payload) noexcept
      : ModelObject(ModelKind::Lambda, "lambda", 0), payload_(std::move(payload)) {}
  RefCounted* internal() const noexcept override { return payload_.get(); }

 private:
  Rc<LambdaValue> payload_;
};

}  // namespace

TModel make_lambda_value(const LambdaExpr& node) { return TModel(new LambdaModel(make_rc<LambdaValue>(node))); }

Result<TModel> call_lambda(Environment& env, const LambdaValue& lambda, std::span<const TModel> args) {
  const std::vector<std::string>& params = lambda.params();
  if (args.size() != params.size())
    return Error::misc("The lambda with " + std::to_string(params.size()) + " parameter(s) was called with " +
                       std::to_string(args.size()) + " argument(s).");
  LocalBindings scope(env, params, args);
  return eval(env, lambda.body());
}

LocalBindings::LocalBindings(const Environment& env, std::span<const std::string> names,
                             std::span<const TModel> values) noexcept
    : env_(&env), names_(names), values_(values), outer_(t_innermost) {
  t_innermost = this;
}

LocalBindings::~LocalBindings() { t_innermost = outer_; }

LocalBindingsBarrier::LocalBindingsBarrier() noexcept : saved_(t_innermost) { t_innermost = nullptr; }

LocalBindingsBarrier::~LocalBindingsBarrier() { t_innermost = saved_; }

const TModel* find_local_binding(const Environment& env, std::string_view name) noexcept {
  for (const LocalBindings* f = t_innermost; f; f = f->outer_) {
    if (f->env_ != &env) continue;
    for (size_t i = f->names_.size(); i-- > 0;)
      if (f->names_[i] == name) return &f->values_[i];
  }
  return nullptr;
}

}  // namespace tovarn
