// eval.cpp — the expression evaluator: dispatch on the node kind, the loop
// that evaluates left-leaning chains without native recursion, the
// operators (arithmetic, comparison, logic), lenient evaluation, and the
// entry points of built-ins, special variables and template functions.
//
// A chain such as `a + b + c`, `a.b.c` or `f()()` is a tree that leans
// left. eval() walks down its left spine to the first operand that does not
// continue the chain, evaluates that operand, and then applies the steps on
// the way back up, each with the value computed so far. Only right-hand
// operands, arguments and nested parentheses recurse, and the parser bounds
// their nesting; a depth counter turns anything beyond kMaxEvalDepth into a
// clean error.
#include "core/eval.h"

#include <array>
#include <vector>

#include "core/arithmetic_engine.h"
#include "core/built_in.h"
#include "core/eval_util.h"
#include "core/expression/add_concat.h"
#include "core/expression/default_to.h"
#include "core/expression/dot.h"
#include "core/expression/dynamic_key_name.h"
#include "core/expression/hash_literal.h"
#include "core/expression/lambda.h"
#include "core/expression/method_call.h"
#include "core/expression/range.h"
#include "core/macro_def.h"

namespace tovarn {

namespace {

// Native recursion depth of eval() on this thread.
thread_local uint32_t t_eval_depth = 0;

struct DepthGuard {
  DepthGuard() noexcept { ++t_eval_depth; }
  ~DepthGuard() { --t_eval_depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};

// The nodes of a chain from the outermost down; short chains stay inline.
class Spine {
 public:
  void push(const Expr* e) {
    if (n_ < inline_.size()) inline_[n_] = e;
    else heap_.push_back(e);
    ++n_;
  }
  size_t size() const { return n_; }
  const Expr* operator[](size_t i) const { return i < inline_.size() ? inline_[i] : heap_[i - inline_.size()]; }

 private:
  std::array<const Expr*, 8> inline_{};
  std::vector<const Expr*> heap_;
  size_t n_ = 0;
};

// The operand through which `e` continues a chain, or null when `e` is not a
// chain step. Dot and DynamicKeyName are handled by the spine walk itself.
const Expr* chain_operand(const Expr& e) {
  if (is_binary_kind(e.kind)) return e.as<BinaryExpr>().left.get();
  switch (e.kind) {
    case ExprKind::Not:
    case ExprKind::UnaryMinus: return e.as<UnaryExpr>().operand.get();
    case ExprKind::MethodCall: return e.as<MethodCallExpr>().target.get();
    case ExprKind::DefaultToExpression: return e.as<DefaultToExpr>().target.get();
    case ExprKind::Exists: return e.as<ExistsExpr>().target.get();
    default: return nullptr;
  }
}

ArithOp arith_op(ExprKind k) {
  switch (k) {
    case ExprKind::Multiply: return ArithOp::Multiply;
    case ExprKind::Divide: return ArithOp::Divide;
    case ExprKind::Modulus: return ArithOp::Modulus;
    default: return ArithOp::Subtract;
  }
}

CompareOp compare_op(ExprKind k) {
  switch (k) {
    case ExprKind::NotEquals: return CompareOp::Ne;
    case ExprKind::GreaterThan: return CompareOp::Gt;
    case ExprKind::GreaterThanEquals: return CompareOp::Ge;
    case ExprKind::LessThan: return CompareOp::Lt;
    case ExprKind::LessThanEquals: return CompareOp::Le;
    default: return CompareOp::Eq;
  }
}

// One operand of an arithmetic operator as a number.
Result<TNumber> arith_operand(Environment& env, const TModel& v, const Expr& operand, ArithOp op, bool left) {
  if (v.is_null()) return Error::invalid_reference(expr_desc(operand));
  Result<TNumber> n = v.get_number();
  if (n.ok()) return std::move(n.value());
  return n.take_error().with_blame_at(arith_op_symbol(op), left ? "left-hand operand" : "right-hand operand",
                                      expr_desc(operand), env.current_template_name(), operand.line,
                                      operand.column);
}

Result<TModel> eval_arithmetic(Environment& env, const BinaryExpr& node, const TModel& left) {
  const ArithOp op = arith_op(node.kind);
  ASSIGN_OR_RETURN(TModel right, eval(env, *node.right));
  ASSIGN_OR_RETURN(TNumber a, arith_operand(env, left, *node.left, op, true));
  ASSIGN_OR_RETURN(TNumber b, arith_operand(env, right, *node.right, op, false));
  ASSIGN_OR_RETURN(TNumber r, arithmetic(op, a, b));
  return TModel::from_number(std::move(r));
}

Result<TModel> eval_unary_minus(Environment& env, const UnaryExpr& node, const TModel& operand) {
  if (operand.is_null()) return Error::invalid_reference(expr_desc(*node.operand));
  Result<TNumber> n = operand.get_number();
  if (!n.ok()) return blame_expression(n.take_error(), env, *node.operand);
  ASSIGN_OR_RETURN(TNumber r, negate(n.value()));
  return TModel::from_number(std::move(r));
}

// `&&` and `||`: the right operand is evaluated only when the left one does
// not decide.
Result<TModel> eval_logical(Environment& env, const BinaryExpr& node, const TModel& left) {
  ASSIGN_OR_RETURN(bool l, model_to_boolean(env, left));
  const bool is_and = node.kind == ExprKind::AndExpression;
  if (l != is_and) return TModel::from_boolean(l);
  ASSIGN_OR_RETURN(TModel right, eval(env, *node.right));
  ASSIGN_OR_RETURN(bool r, model_to_boolean(env, right));
  return TModel::from_boolean(r);
}

// Applies one chain step to the value of its chain operand.
Result<TModel> apply_step(Environment& env, const Expr& node, const TModel& left) {
  switch (node.kind) {
    case ExprKind::AddConcat: {
      ASSIGN_OR_RETURN(TModel right, eval(env, *node.as<BinaryExpr>().right));
      return concat_values(env, left, right);
    }
    case ExprKind::Subtract:
    case ExprKind::Multiply:
    case ExprKind::Divide:
    case ExprKind::Modulus: return eval_arithmetic(env, node.as<BinaryExpr>(), left);
    case ExprKind::Equals:
    case ExprKind::NotEquals:
    case ExprKind::GreaterThan:
    case ExprKind::GreaterThanEquals:
    case ExprKind::LessThan:
    case ExprKind::LessThanEquals: {
      ASSIGN_OR_RETURN(TModel right, eval(env, *node.as<BinaryExpr>().right));
      ASSIGN_OR_RETURN(bool b, compare_models(left, right, compare_op(node.kind)));
      return TModel::from_boolean(b);
    }
    case ExprKind::AndExpression:
    case ExprKind::OrExpression: return eval_logical(env, node.as<BinaryExpr>(), left);
    case ExprKind::Not: {
      ASSIGN_OR_RETURN(bool b, model_to_boolean(env, left));
      return TModel::from_boolean(!b);
    }
    case ExprKind::UnaryMinus: return eval_unary_minus(env, node.as<UnaryExpr>(), left);
    case ExprKind::Dot: return eval_dot(env, node.as<DotExpr>(), left);
    case ExprKind::DynamicKeyName: return eval_dynamic_key(env, node.as<DynamicKeyNameExpr>(), left);
    case ExprKind::MethodCall: return eval_method_call(env, node.as<MethodCallExpr>(), left);
    case ExprKind::DefaultToExpression: return eval_default_to(env, node.as<DefaultToExpr>(), left);
    case ExprKind::Exists: return eval_exists(left);
    default: break;
  }
  return Error::misc("Internal error: " + std::string(expr_kind_name(node.kind)) + " is not a chain step");
}

Result<TModel> eval_variable(Environment& env, const VariableExpr& node) { return env.get_variable(node.name); }

// The nodes that are not chain steps (and chain-ending built-in chains).
Result<TModel> eval_operand(Environment& env, const Expr& e) {
  switch (e.kind) {
    case ExprKind::StringLiteral: return e.as<StringLiteralExpr>().value;
    case ExprKind::NumberLiteral: return e.as<NumberLiteralExpr>().value;
    case ExprKind::BooleanLiteral: return e.as<BooleanLiteralExpr>().value;
    case ExprKind::InterpolatedString: return eval_interpolated_string(env, e.as<InterpolatedStringExpr>());
    case ExprKind::Variable: return eval_variable(env, e.as<VariableExpr>());
    case ExprKind::Parenthetical: return eval(env, *e.as<ParentheticalExpr>().inner);
    case ExprKind::Range: return eval_range(env, e.as<RangeExpr>());
    case ExprKind::BuiltIn: return eval_builtin(env, e.as<BuiltInExpr>());
    case ExprKind::ListLiteral: return eval_list_literal(env, e.as<ListLiteralExpr>());
    case ExprKind::HashLiteral: return eval_hash_literal(env, e.as<HashLiteralExpr>());
    case ExprKind::LocalLambdaExpression: return make_lambda_value(e.as<LambdaExpr>());
    case ExprKind::BuiltinVariable: return eval_special_variable(env, e.as<BuiltinVariableExpr>());
    case ExprKind::Dot:
    case ExprKind::DynamicKeyName: return eval_builtin_chain(env, e);
    default: break;
  }
  return Error::misc("Internal error: " + std::string(expr_kind_name(e.kind)) + " is not an operand");
}

// Collects the chain steps from `top` down into `spine` and returns the
// operand at the bottom.
const Expr& walk_spine(const Expr& top, Spine& spine) {
  const Expr* cur = &top;
  for (;;) {
    if (cur->kind == ExprKind::Dot || cur->kind == ExprKind::DynamicKeyName) {
      // A run of member accesses is checked once for a built-in chain at its
      // bottom, so long runs stay linear.
      const Expr* below = cur->kind == ExprKind::Dot ? cur : cur->as<DynamicKeyNameExpr>().target.get();
      const Expr& bottom = dot_run_bottom(*below);
      if (is_chain_builtin(bottom)) return *cur;
      spine.push(cur);
      const Expr* d = cur->kind == ExprKind::Dot ? cur->as<DotExpr>().target.get() : below;
      for (; d != &bottom; d = d->as<DotExpr>().target.get()) spine.push(d);
      cur = &bottom;
      continue;
    }
    const Expr* next = chain_operand(*cur);
    if (!next) return *cur;
    spine.push(cur);
    cur = next;
  }
}

Result<TModel> eval_chain(Environment& env, const Expr& top) {
  Spine spine;
  const Expr& bottom = walk_spine(top, spine);
  TModel acc;
  {
    Result<TModel> first = eval_operand(env, bottom);
    if (first.ok()) {
      acc = std::move(first.value());
    } else {
      // `missing!`, `missing??`, `(a.b)!`: only the step right above a plain
      // variable or parenthetical forgives its invalid reference.
      const Expr* step = spine.size() ? spine[spine.size() - 1] : nullptr;
      const bool lenient_step =
          step && (step->kind == ExprKind::DefaultToExpression || step->kind == ExprKind::Exists);
      if (!lenient_step || !forgives_missing(bottom, first.error())) return first.take_error();
      acc = TModel::null();
    }
  }
  for (size_t i = spine.size(); i-- > 0;) {
    Result<TModel> r = apply_step(env, *spine[i], acc);
    if (!r.ok()) return r.take_error();
    acc = std::move(r.value());
  }
  return acc;
}

// The name of a special variable, as its message shows it.
std::string special_variable_name(SpecialVariable which) {
  std::string_view all = special_variable_names_text();
  while (!all.empty()) {
    size_t comma = all.find(", ");
    std::string_view name = all.substr(0, comma);
    if (special_variable_by_name(name) == which) return std::string(name);
    if (comma == std::string_view::npos) break;
    all.remove_prefix(comma + 2);
  }
  return "?";
}

}  // namespace

Result<TModel> eval(Environment& env, const Expr& expr) {
  DepthGuard guard;
  if (t_eval_depth > kMaxEvalDepth)
    return Error::misc("Expression nesting is too deep to evaluate (more than " + std::to_string(kMaxEvalDepth) +
                       " levels).");
  return eval_chain(env, expr);
}

Result<TModel> eval_lenient(Environment& env, const Expr& expr) {
  Result<TModel> r = eval(env, expr);
  if (!r.ok() && forgives_missing(expr, r.error())) return TModel::null();
  return r;
}

Result<TModel> eval_builtin(Environment& env, const BuiltInExpr& node, const ExprList* args) {
  return args ? call_builtin(env, node, args) : call_builtin(env, node);
}

Result<TModel> eval_special_variable(Environment& env, const BuiltinVariableExpr& node) {
  return Error::misc("The ." + special_variable_name(node.which) + " special variable is not supported yet.");
}

Result<TModel> call_function_value(Environment& env, const MacroDef& def, const ExprList& args) {
  // Arguments are evaluated in the caller's context; a null or missing plain
  // variable is passed as Null, which binding reports by parameter name.
  CallArgValues values;
  values.positional.reserve(args.size());
  for (const ExprPtr& a : args) {
    ASSIGN_OR_RETURN(TModel v, eval_lenient(env, *a));
    values.positional.push_back(std::move(v));
  }
  return invoke_function(env, def, std::move(values));
}

}  // namespace tovarn
