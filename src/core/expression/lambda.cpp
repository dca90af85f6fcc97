// lambda.cpp — lambda values, calling them, and the local-binding frames.
#include "core/expression/lambda.h"

#include "core/eval.h"

namespace tovarn {

namespace {

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

}  // namespace tovarn
