// switch_block.cpp — execution of #switch with #case (fall-through), #on (no
// fall-through) and #default, and of a stray #on, which defines a macro.
#include "core/switch_block.h"

#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"
#include "core/macro_def.h"
#include "core/value_output.h"
#include "core/visit_node.h"

namespace tovarn {

namespace {

// Whether one of the branch's values equals the switched value.
Result<bool> branch_matches(Environment& env, const CaseDef& c, const TModel& switched) {
  for (const ExprPtr& value_expr : c.values) {
    ASSIGN_OR_RETURN(TModel v, eval(env, *value_expr));
    ASSIGN_OR_RETURN(bool eq, compare_models(switched, v, CompareOp::Eq));
    if (eq) return true;
  }
  return false;
}

// The index of the first matching #case/#on branch, or the default's index
// (none when there is no default either).
Result<std::optional<size_t>> first_match(Environment& env, const SwitchBlock& s, const TModel& switched) {
  for (size_t i = 0; i < s.cases.size(); ++i) {
    if (s.cases[i].kind == CaseKind::Default) continue;
    ASSIGN_OR_RETURN(bool hit, branch_matches(env, s.cases[i], switched));
    if (hit) return std::optional<size_t>(i);
  }
  return std::optional<size_t>(s.default_index);
}

}  // namespace

ExecOutcome exec_switch(Environment& env, const Element& e) {
  const SwitchBlock& s = e.as<SwitchBlock>();
  Result<TModel> switched = eval(env, *s.value);
  if (!switched.ok()) return ExecOutcome::failed(switched.take_error());
  Result<std::optional<size_t>> start = first_match(env, s, switched.value());
  if (!start.ok()) return ExecOutcome::failed(start.take_error());
  if (!start.value()) return ExecOutcome::normal();

  // #on runs the one branch. #case falls through to the end of the switch,
  // unless nothing matched: then only the default runs.
  const size_t from = *start.value();
  const bool only_one = s.on_mode || s.cases[from].kind == CaseKind::Default;
  const size_t to = only_one ? from + 1 : s.cases.size();
  for (size_t i = from; i < to; ++i) {
    RunSignal sig = env.run(s.cases[i].body);
    switch (sig.kind) {
      case RunSignal::Kind::Done: continue;
      case RunSignal::Kind::Failed:
        // #break and #continue end the switch, not an enclosing loop.
        if (sig.error->kind() == ErrorKind::LoopControl) return ExecOutcome::normal();
        return ExecOutcome::failed(std::move(*sig.error));
      case RunSignal::Kind::Returned: return ExecOutcome::returned(std::move(sig.value));
    }
  }
  return ExecOutcome::normal();
}

ExecOutcome exec_on(Environment& env, const Element& e) {
  const OnBlock& on = e.as<OnBlock>();
  Result<std::string> name = eval_to_string(env, *on.values.front());
  if (!name.ok()) return ExecOutcome::failed(name.take_error());
  Rc<MacroDef> def = make_rc<MacroDef>();
  def->name = name.value();
  def->code = on.code;
  def->template_name = env.current_template_name();
  def->line = e.line;
  def->column = e.column;
  register_macro(*env.current_namespace(), def);
  return ExecOutcome::normal();
}

}  // namespace tovarn
