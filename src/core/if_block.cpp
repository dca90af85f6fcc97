// if_block.cpp — execution of #if / #elseif / #else: the branches are tried
// in order within one element, and the chosen body is handed back to the run
// loop (Inline) so that neither long #elseif chains nor the body deepen the
// native stack.
#include "core/if_block.h"

#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"

namespace tovarn {

namespace {

// The truth of one branch condition. Errors get the condition's location; a
// value that is not a boolean is blamed on the condition.
Result<bool> condition_holds(Environment& env, const Expr& cond) {
  const std::string& tpl = env.current_template_name();
  Result<TModel> v = eval(env, cond);
  if (!v.ok()) return v.take_error().with_location(tpl, cond.line, cond.column);
  Result<bool> b = model_to_boolean(env, v.value());
  if (b.ok()) return b;
  Error e = b.take_error();
  if (e.kind() == ErrorKind::UnexpectedType && !v->has(Cap::Boolean))
    return std::move(e).with_blame_at("#if", "condition", expr_desc(cond), tpl, cond.line, cond.column);
  return std::move(e).with_location(tpl, cond.line, cond.column);
}

}  // namespace

ExecOutcome exec_if(Environment& env, const Element& e) {
  const IfBlock& block = e.as<IfBlock>();
  for (const IfBranch& branch : block.branches) {
    Result<bool> holds = condition_holds(env, *branch.condition);
    if (!holds.ok()) return ExecOutcome::failed(holds.take_error());
    if (holds.value()) return ExecOutcome::inline_list(branch.body);
  }
  return block.else_body ? ExecOutcome::inline_list(*block.else_body) : ExecOutcome::normal();
}

}  // namespace tovarn
