// body_instruction.cpp — execution of #nested: runs the nested content of
// the current macro call in the caller's context, with the call's loop
// variables bound to the #nested arguments.
#include "core/body_instruction.h"

#include <algorithm>
#include <utility>

#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"
#include "core/macro_frame.h"

namespace tovarn {

namespace {

// Returns the environment to the caller of the innermost macro call for its
// lifetime: that call's frame popped, and the caller's namespace, local
// scopes, macro name and executing template name back in place. Everything
// is put back as it was on every exit path.
class CallerContext {
 public:
  CallerContext(Environment& env, MacroFrame& frame) : env_(env), frame_(frame) {
    env.macro_frames().pop_back();
    saved_scopes_.swap(env.local_scopes());
    env.local_scopes() = frame.caller_scopes();
    saved_ns_ = env.swap_current_namespace(frame.caller_namespace());
    saved_macro_ = env.swap_macro_name(frame.caller_macro_name());
    saved_template_ = env.swap_executing_template_name(frame.caller_template_name());
  }
  ~CallerContext() {
    env_.swap_executing_template_name(saved_template_);
    env_.swap_macro_name(saved_macro_);
    env_.swap_current_namespace(std::move(saved_ns_));
    env_.local_scopes().swap(saved_scopes_);
    env_.macro_frames().push_back(&frame_);
  }
  CallerContext(const CallerContext&) = delete;
  CallerContext& operator=(const CallerContext&) = delete;

 private:
  Environment& env_;
  MacroFrame& frame_;
  std::vector<const LocalScope*> saved_scopes_;
  Rc<Namespace> saved_ns_;
  const std::string* saved_macro_;
  const std::string* saved_template_;
};

}  // namespace

ExecOutcome exec_body_instruction(Environment& env, const Element& e) {
  MacroFrame* frame = innermost_macro_frame(env);
  if (!frame) return ExecOutcome::failed(Error::misc("Cannot use a \"nested\" instruction outside a macro."));
  const BodyInstruction& b = e.as<BodyInstruction>();
  std::vector<TModel> values;
  values.reserve(b.args.size());
  for (const ExprPtr& arg : b.args) {
    Result<TModel> v = eval(env, *arg);
    if (!v.ok()) return ExecOutcome::failed(v.take_error());
    values.push_back(std::move(v.value()));
  }
  if (!frame->nested()) return ExecOutcome::normal();

  CallerContext caller(env, *frame);
  // The call's loop-variable names, bound by position to the #nested values.
  NameBindings vars(frame->loop_vars(), values);
  ScopeGuard bound(env, vars);
  RunSignal sig = env.run(*frame->nested());
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ExecOutcome::normal();
    case RunSignal::Kind::Failed: return ExecOutcome::failed(std::move(*sig.error));
    case RunSignal::Kind::Returned: break;
  }
  return ExecOutcome::returned(std::move(sig.value));
}

}  // namespace tovarn
