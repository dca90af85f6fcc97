// unified_call.cpp — execution of `<@callee args; vars>body</@callee>`:
// resolving the callee (a macro found by name, a namespace member, or any
// expression), evaluating the arguments in the caller's context, and running
// a macro, a user-defined directive or a transform.
#include "core/unified_call.h"

#include <utility>

#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"
#include "core/macro_def.h"
#include "core/macro_frame.h"
#include "template/configuration.h"

namespace tovarn {

namespace {

// What the macro search for a plain name found: a definition, or the value
// that decided the search without being a macro, or nothing.
struct NameLookup {
  Rc<MacroDef> def;
  std::optional<TModel> value;
};

NameLookup decided_by(const TModel& v) {
  NameLookup r;
  if (const MacroDef* d = as_macro(v)) r.def = Rc<MacroDef>(const_cast<MacroDef*>(d));
  else r.value = v;
  return r;
}

// The macro search order for a call by name: local scopes, the innermost
// macro frame, the current and the global namespace (variables, then
// macros), the data model (a failing lookup there is passed over) and the
// shared variables. The first place that has the name decides.
NameLookup find_macro(Environment& env, std::string_view name) {
  TModel v;
  if (env.find_local(name, v)) return decided_by(v);
  if (MacroFrame* frame = innermost_macro_frame(env))
    if (const TModel* local = frame->find_local(name)) return decided_by(*local);
  for (const Rc<Namespace>* ns : {&env.current_namespace(), &env.global_namespace()}) {
    if (std::optional<TModel> var = (*ns)->get_variable_only(name)) return decided_by(*var);
    if (Rc<MacroDef> m = (*ns)->get_macro(name)) return NameLookup{std::move(m), std::nullopt};
  }
  const TModel& data = env.data_model();
  if (data.has(Cap::Hash)) {
    Result<std::optional<TModel>> r = data->hash_get(name);
    if (r.ok() && r.value()) return decided_by(*r.value());
  }
  const auto& shared = env.main_template()->configuration->shared_variables;
  if (auto it = shared.find(name); it != shared.end()) return decided_by(it->second);
  return {};
}

// The callee of `<@ns.m>`: the member of a namespace, or of any other hash
// (a directive kept in a data-model dictionary).
Result<TModel> namespace_member(Environment& env, const UnifiedCall& call, const Element& e) {
  const CallTarget& t = call.target;
  Result<TModel> holder = env.get_variable(t.ns_name);
  if (!holder.ok())
    return holder.take_error().with_location(env.current_template_name(), e.line, e.column + 2);
  const TModel& h = holder.value();
  std::optional<TModel> member;
  if (const Namespace* ns = h.internal_as<Namespace>()) {
    member = ns->get_member(t.name);
  } else if (h.has(Cap::Hash)) {
    ASSIGN_OR_RETURN(member, h->hash_get(t.name));
  } else if (!h.is_null()) {
    return Error::type_mismatch("hash", h.type_name());
  }
  if (!member || member->is_null()) return Error::invalid_reference(t.ns_name + "." + t.name);
  return std::move(*member);
}

// Evaluates the call's arguments in the caller's context. A null or missing
// plain variable becomes the Null value, which argument binding reports with
// the parameter's name.
Result<CallArgValues> eval_args(Environment& env, const UnifiedCall& call) {
  CallArgValues out;
  for (const CallArg& a : call.args) {
    ASSIGN_OR_RETURN(TModel v, eval_lenient(env, *a.value));
    if (a.name) out.named.emplace_back(*a.name, std::move(v));
    else out.positional.push_back(std::move(v));
  }
  return out;
}

// Runs a value that is no macro: a user-defined directive or a transform.
ExecOutcome run_directive_value(Environment& env, const UnifiedCall& call, const TModel& callee) {
  const bool directive = callee.has(Cap::Directive);
  if (!directive && !callee.has(Cap::Transform))
    return ExecOutcome::failed(Error::misc("The value of " + call.target.description() +
                                           " is not a macro or user-defined directive (it's a " +
                                           callee.type_name() + ")"));
  Result<CallArgValues> args = eval_args(env, call);
  if (!args.ok()) return ExecOutcome::failed(args.take_error());
  std::vector<TModel> loop_values(call.loop_vars.size(), TModel::null());
  std::optional<ElementsBody> body;
  if (call.body) body.emplace(*call.body, call.loop_vars, loop_values);
  TemplateDirectiveBody* body_ptr = body ? &*body : nullptr;
  Status st = directive ? callee->execute(env, args.value().named, loop_values, body_ptr)
                        : callee->transform_with_body(env, args.value().named, body_ptr);
  if (body && body->returned()) return ExecOutcome::returned(std::move(body->return_value()));
  return ExecOutcome::from(std::move(st));
}

ExecOutcome run_callee(Environment& env, const UnifiedCall& call, const TModel& callee) {
  if (const MacroDef* def = as_macro(callee)) {
    Result<CallArgValues> args = eval_args(env, call);
    if (!args.ok()) return ExecOutcome::failed(args.take_error());
    return call_macro(env, *def, std::move(args.value()), call.body ? &*call.body : nullptr, &call.loop_vars);
  }
  return run_directive_value(env, call, callee);
}

}  // namespace

ExecOutcome exec_unified_call(Environment& env, const Element& e) {
  const UnifiedCall& call = e.as<UnifiedCall>();
  const CallTarget& t = call.target;
  switch (t.kind) {
    case CallTargetKind::Name: {
      NameLookup found = find_macro(env, t.name);
      if (found.def) {
        Rc<MacroDef> def = std::move(found.def);  // kept alive for the whole call
        Result<CallArgValues> args = eval_args(env, call);
        if (!args.ok()) return ExecOutcome::failed(args.take_error());
        return call_macro(env, *def, std::move(args.value()), call.body ? &*call.body : nullptr, &call.loop_vars);
      }
      if (found.value) return run_callee(env, call, *found.value);
      Result<TModel> v = env.get_variable(t.name);
      if (!v.ok())
        return ExecOutcome::failed(
            v.take_error().with_location(env.current_template_name(), e.line, e.column + 2));
      return run_callee(env, call, v.value());
    }
    case CallTargetKind::NamespaceMember: {
      Result<TModel> v = namespace_member(env, call, e);
      if (!v.ok()) return ExecOutcome::failed(v.take_error());
      return run_callee(env, call, v.value());
    }
    case CallTargetKind::Expression: {
      Result<TModel> v = eval(env, *t.expr);
      if (!v.ok()) return ExecOutcome::failed(v.take_error());
      if (v.value().is_null()) return ExecOutcome::failed(Error::invalid_reference(expr_desc(*t.expr)));
      return run_callee(env, call, v.value());
    }
  }
  return ExecOutcome::normal();
}


Status ElementsBody::render(Environment& env) {
  // The call's loop-variable names bound to the values the directive set; a
  // name the directive left unset (null) stays unbound.
  std::optional<NameBindings> vars;
  std::optional<ScopeGuard> guard;
  if (names_ && !names_->empty()) {
    vars.emplace(*names_, *values_, /*skip_null=*/true);
    guard.emplace(env, *vars);
  }
  RunSignal sig = env.run(body_);
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ok();
    case RunSignal::Kind::Failed: return std::move(*sig.error);
    case RunSignal::Kind::Returned: break;
  }
  returned_ = true;
  return_value_ = std::move(sig.value);
  return Error::misc("<#return> is illegal in this context");
}

}  // namespace tovarn
