// dot.cpp — member access and the `?string.short` style built-in chains.
#include "core/expression/dot.h"

#include <vector>

#include "core/environment.h"
#include "core/eval.h"
#include "core/eval_util.h"

namespace tovarn {

namespace {

ExprPtr string_arg(std::string text, const Expr& at) {
  auto lit = make_expr<StringLiteralExpr>(ExprKind::StringLiteral, at.line, at.column);
  lit->value = TModel::from_scalar(text);
  lit->text = std::move(text);
  return ExprPtr(lit.release());
}

}  // namespace

Result<TModel> eval_dot(Environment& env, const DotExpr& node, const TModel& target) {
  if (target.is_null()) {
    if (env.settings().classic_compatible) return TModel::null();
    return Error::invalid_reference(expr_desc(*node.target));
  }
  if (const Namespace* ns = target.internal_as<Namespace>()) {
    std::optional<TModel> v = ns->get_member(node.name);
    return v ? std::move(*v) : TModel::null();
  }
  if (!target.has(Cap::Hash))
    return blame_expression(Error::type_mismatch("hash", target.type_name()), env, *node.target);
  ASSIGN_OR_RETURN(std::optional<TModel> v, target->hash_get(node.name));
  return v ? std::move(*v) : TModel::null();
}

bool is_chain_builtin(const Expr& e) {
  if (e.kind != ExprKind::BuiltIn) return false;
  const auto& b = e.as<BuiltInExpr>();
  if (b.args) return false;
  return b.name == "date" || b.name == "time" || b.name == "datetime" || b.name == "string";
}

const Expr& dot_run_bottom(const Expr& e) {
  const Expr* cur = &e;
  while (cur->kind == ExprKind::Dot) cur = cur->as<DotExpr>().target.get();
  return *cur;
}

bool is_builtin_chain(const Expr& node) {
  if (node.kind == ExprKind::Dot) return is_chain_builtin(dot_run_bottom(node));
  if (node.kind == ExprKind::DynamicKeyName)
    return is_chain_builtin(dot_run_bottom(*node.as<DynamicKeyNameExpr>().target));
  return false;
}

Result<TModel> eval_builtin_chain(Environment& env, const Expr& node) {
  std::vector<const DotExpr*> dots;  // outermost first
  const Expr* cur = &node;
  std::optional<std::string> key;
  if (node.kind == ExprKind::DynamicKeyName) {
    const auto& k = node.as<DynamicKeyNameExpr>();
    ASSIGN_OR_RETURN(TModel kv, eval(env, *k.key));
    if (!kv.has(Cap::Scalar))
      return blame_expression(Error::type_mismatch("string", kv.type_name()), env, *k.key);
    ASSIGN_OR_RETURN(TextRef t, kv->as_string());
    key = std::move(t).into_string();
    cur = k.target.get();
  }
  for (; cur->kind == ExprKind::Dot; cur = cur->as<DotExpr>().target.get()) dots.push_back(&cur->as<DotExpr>());
  ExprList args;
  args.reserve(dots.size() + (key ? 1 : 0));
  for (auto it = dots.rbegin(); it != dots.rend(); ++it) args.push_back(string_arg((*it)->name, **it));
  if (key) args.push_back(string_arg(std::move(*key), node));
  return eval_builtin(env, cur->as<BuiltInExpr>(), &args);
}

}  // namespace tovarn
