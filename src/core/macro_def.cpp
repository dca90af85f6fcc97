// macro_def.cpp — macro and function definitions: their value form,
// registration in namespaces, macro frames, argument binding, the shared call
// path of macros and functions (invoke_macro_common) with the call-depth
// limit, and #macro / #return execution.
#include "core/macro_def.h"

#include <utility>

#include "core/environment.h"
#include "core/eval.h"
#include "core/exec.h"
#include "core/macro_frame.h"
#include "core/stop_return.h"
#include "template/simple_hash.h"

namespace tovarn {

namespace {

// A counted reference to a definition reached through a plain reference.
// Every MacroDef lives on the heap under reference counting, so taking one
// more reference is sound; the const only reflects how callers hold it.
Rc<MacroDef> share(const MacroDef& def) { return Rc<MacroDef>(const_cast<MacroDef*>(&def)); }

}  // namespace

// ---- values and registration -------------------------------------------------

TModel macro_value(const Rc<MacroDef>& def) { return TModel(new MacroValue(def)); }

TModel macro_value_with_args(const MacroDef& def, Rc<WithArgs> args) {
  auto copy = make_rc<MacroDef>(def);
  copy->with_args = std::move(args);
  return macro_value(copy);
}

const MacroDef* as_macro(const TModel& value) { return value.internal_as<MacroDef>(); }

void register_macro(Namespace& ns, const Rc<MacroDef>& def) {
  Rc<MacroDef> existing = ns.get_macro(def->name);
  if (existing && existing->code == def->code && existing->namespace_ptr() == &ns && !existing->with_args) return;
  auto copy = make_rc<MacroDef>(*def);
  copy->defining_namespace = ns.link();
  copy->with_args = nullptr;
  std::string name = copy->name;
  ns.put_macro(std::move(name), std::move(copy));
}

std::string macro_def_description(const MacroDef& def) {
  std::string s = def.is_function ? "#function " : "#macro ";
  s += def.name;
  for (const MacroParam& p : def.params()) {
    s += " " + p.name;
    if (p.default_value) s += "=" + literal_canonical(*p.default_value);
  }
  return s;
}

// ---- MacroFrame ----------------------------------------------------------------

MacroFrame::MacroFrame(Environment& env, Rc<MacroDef> def, const ElementList* nested,
                       const std::vector<std::string>* loop_vars)
    : def_(std::move(def)),
      nested_(nested),
      loop_vars_(loop_vars),
      caller_scopes_(env.local_scopes()),
      caller_namespace_(env.current_namespace()),
      caller_macro_name_(env.macro_name()),
      caller_template_name_(&env.executing_template_name()) {}

const TModel* MacroFrame::find_local(std::string_view name) const {
  for (const Local& l : locals_)
    if (l.first == name) return &l.second;
  return nullptr;
}

void MacroFrame::set_local(std::string name, TModel value) {
  for (Local& l : locals_)
    if (l.first == name) {
      l.second = std::move(value);
      return;
    }
  locals_.emplace_back(std::move(name), std::move(value));
}

bool MacroFrame::lookup(std::string_view name, const Environment&, TModel& out) const {
  const TModel* v = find_local(name);
  if (!v) return false;
  out = *v;
  return true;
}

const std::vector<std::string>& MacroFrame::loop_vars() const {
  static const std::vector<std::string> kNone;
  return loop_vars_ ? *loop_vars_ : kNone;
}

MacroFrame* innermost_macro_frame(Environment& env) {
  auto& frames = env.macro_frames();
  if (frames.empty()) return nullptr;
  // Only MacroFrames are ever pushed there (see CallContext below).
  return const_cast<MacroFrame*>(static_cast<const MacroFrame*>(frames.back()));
}

Status set_local_variable(Environment& env, std::string name, TModel value) {
  MacroFrame* frame = innermost_macro_frame(env);
  if (!frame) return Error::misc("Not executing macro body");
  frame->set_local(std::move(name), std::move(value));
  return ok();
}

// ---- argument binding ------------------------------------------------------------

namespace {

std::string_view kind_word(const MacroDef& def, bool capital) {
  if (def.is_function) return capital ? "Function" : "function";
  return capital ? "Macro" : "macro";
}

std::string routine_intro(const MacroDef& def) {
  return std::string(kind_word(def, true)) + " \"" + def.name + "\"";
}

// What binding leaves for the defaults pass: which declared (non-catch-all)
// parameters received an argument that was null or missing.
struct Binding {
  std::vector<bool> passed_null;
};

// Binds the call's arguments, with the definition's ?with_args values, into
// the frame's locals.
Result<Binding> bind_arguments(const MacroDef& def, CallArgValues& args, MacroFrame& frame) {
  const std::vector<MacroParam>& params = def.params();
  const bool has_catch_all = !params.empty() && params.back().catch_all;
  const size_t declared = params.size() - (has_catch_all ? 1 : 0);
  const WithArgs* wa = def.with_args.get();
  const bool wa_positional = wa && !wa->named && !wa->positional.empty();
  const bool call_positional = !args.positional.empty();
  const bool call_named = !args.named.empty();

  if (wa_positional && wa->last && call_named)
    return Error::misc(
        "Call can't pass parameters by name, as there's \"with args last\" in effect that specifies parameters by "
        "position.");

  std::vector<TModel> positional;
  if (wa_positional) {
    positional.reserve(wa->positional.size() + args.positional.size());
    const std::vector<TModel>& first = wa->last ? args.positional : wa->positional;
    const std::vector<TModel>& second = wa->last ? wa->positional : args.positional;
    positional.insert(positional.end(), first.begin(), first.end());
    positional.insert(positional.end(), second.begin(), second.end());
  } else {
    positional = std::move(args.positional);
  }
  if (positional.size() > declared && !has_catch_all)
    return Error::misc(routine_intro(def) + " only accepts " + std::to_string(declared) + " parameters, but got " +
                       std::to_string(positional.size()) + ".");

  std::vector<std::optional<TModel>> bound(declared);
  std::vector<bool> by_call(declared, false);  // bound by the call itself (wins over ?with_args names)
  for (size_t i = 0; i < positional.size() && i < declared; ++i) {
    bound[i] = positional[i];
    by_call[i] = true;
  }

  OrderedHash catch_named;
  auto bind_named = [&](const NamedArgs& named, bool from_call) -> Status {
    for (const auto& [name, value] : named) {
      size_t j = 0;
      while (j < declared && params[j].name != name) ++j;
      if (j < declared) {
        if (by_call[j] && !from_call) continue;
        bound[j] = value;
        by_call[j] = by_call[j] || from_call;
      } else if (has_catch_all) {
        catch_named.put(name, value);
      } else {
        std::string names;
        for (size_t k = 0; k < declared; ++k) names += (k ? ", " : "") + params[k].name;
        return Error::misc(routine_intro(def) + " has no parameter with name \"" + name +
                           "\". Valid parameter names are: " + names);
      }
    }
    return ok();
  };
  if (wa && wa->named) TRY(bind_named(wa->named_values, false));
  TRY(bind_named(args.named, true));

  const size_t surplus = positional.size() > declared ? positional.size() - declared : 0;
  if (surplus && !catch_named.empty())
    return Error::misc(routine_intro(def) +
                       " call can't have both named and positional arguments that has to go into catch-all "
                       "parameter.");

  Binding binding;
  binding.passed_null.assign(declared, false);
  for (size_t i = 0; i < declared; ++i) {
    if (!bound[i]) continue;
    // A null argument counts as not given, so a default can stand in for it.
    if (bound[i]->is_null()) binding.passed_null[i] = true;
    else frame.set_local(params[i].name, std::move(*bound[i]));
  }
  if (has_catch_all) {
    TModel rest;
    if (surplus) {
      rest = TModel::from_sequence(std::vector<TModel>(positional.begin() + declared, positional.end()));
    } else if (!catch_named.empty()) {
      rest = TModel::from_hash(std::move(catch_named));
    } else if (call_positional || (!call_named && wa && !wa->named)) {
      rest = TModel::from_sequence({});
    } else {
      rest = TModel::from_hash(OrderedHash());
    }
    frame.set_local(params.back().name, std::move(rest));
  }
  return binding;
}

// Gives the declared parameters that got no value their defaults, in order,
// inside the new frame (a default may use the parameters before it).
Status fill_defaults(Environment& env, const MacroDef& def, const Binding& binding, MacroFrame& frame) {
  const std::vector<MacroParam>& params = def.params();
  for (size_t i = 0; i < binding.passed_null.size(); ++i) {
    const MacroParam& p = params[i];
    if (frame.find_local(p.name)) continue;
    if (p.default_value) {
      Result<TModel> v = eval(env, *p.default_value);
      if (!v.ok())
        return v.take_error().with_location(def.template_name, p.default_value->line, p.default_value->column);
      frame.set_local(p.name, std::move(v.value()));
      continue;
    }
    std::string msg = "When calling " + std::string(kind_word(def, false)) + " \"" + def.name +
                      "\", required parameter \"" + p.name + "\" (parameter #" + std::to_string(i + 1) + ") ";
    if (binding.passed_null[i]) {
      msg +=
          "was specified, but had null/missing value.\n\n----\nTip: If the parameter value expression on the "
          "caller side is known to be legally null/missing, you may want to specify a default value for it with "
          "the \"!\" operator, like paramValue!defaultValue.\n----";
    } else {
      msg +=
          "was not specified.\n\n----\nTip: If the omission was deliberate, you may consider making the parameter "
          "optional in the macro by specifying a default value for it, like <#macro macroName "
          "paramName=defaultExpr>)\n----";
    }
    return Error::misc(std::move(msg));
  }
  return ok();
}

// ---- the call context --------------------------------------------------------------

// Puts the environment into the called macro's context for its lifetime:
// the frame pushed, the defining namespace current, no local scopes of the
// caller visible, the macro's name and template recorded. Restores all of it
// on every exit path.
class CallContext {
 public:
  CallContext(Environment& env, MacroFrame& frame, Namespace& ns)
      : env_(env), barrier_(env) {
    env.macro_frames().push_back(&frame);
    saved_ns_ = env.swap_current_namespace(Rc<Namespace>(&ns));
    saved_macro_ = env.swap_macro_name(&frame.def().name);
    saved_template_ = env.swap_executing_template_name(&frame.def().template_name);
  }
  ~CallContext() {
    env_.swap_executing_template_name(saved_template_);
    env_.swap_macro_name(saved_macro_);
    env_.swap_current_namespace(std::move(saved_ns_));
    env_.macro_frames().pop_back();
  }
  CallContext(const CallContext&) = delete;
  CallContext& operator=(const CallContext&) = delete;

 private:
  Environment& env_;
  ScopeBarrier barrier_;
  Rc<Namespace> saved_ns_;
  const std::string* saved_macro_;
  const std::string* saved_template_;
};

// The instruction frame of the running definition ("#macro m a b=1"), shown
// in a trace only when the failure is its own (a missing parameter, a
// failing default).
class DefinitionFrame {
 public:
  DefinitionFrame(Environment& env, const Rc<MacroDef>& def)
      : env_(env), element_(ElementKind::MacroDef, def->line, def->column) {
    auto payload = std::make_unique<MacroDefElement>();
    payload->def = def;
    element_.data = std::move(payload);
    pushed_ = env.push_instruction_frame(element_);
  }
  ~DefinitionFrame() {
    if (pushed_) env_.pop_instruction_frame();
  }
  DefinitionFrame(const DefinitionFrame&) = delete;
  DefinitionFrame& operator=(const DefinitionFrame&) = delete;

 private:
  Environment& env_;
  Element element_;
  bool pushed_;
};

// Output written while a function body runs goes here and is dropped.
class DiscardOutput {
 public:
  explicit DiscardOutput(Environment& env) : env_(env), saved_(env.swap_capture_buffer(&sink_)) {}
  ~DiscardOutput() { env_.swap_capture_buffer(saved_); }
  DiscardOutput(const DiscardOutput&) = delete;
  DiscardOutput& operator=(const DiscardOutput&) = delete;

 private:
  Environment& env_;
  std::string sink_;
  std::string* saved_;
};

RunSignal failed_signal(Error e) {
  RunSignal sig;
  sig.kind = RunSignal::Kind::Failed;
  sig.error.emplace(std::move(e));
  return sig;
}

}  // namespace

// ---- calls -------------------------------------------------------------------------

RunSignal invoke_macro_common(Environment& env, const MacroDef& def, CallArgValues args, const ElementList* nested,
                              const std::vector<std::string>* loop_vars, bool is_function) {
  if (env.macro_frames().size() >= kMaxMacroCallDepth)
    return failed_signal(Error::misc("Maximum macro/function call depth (" + std::to_string(kMaxMacroCallDepth) +
                                     ") exceeded."));
  Rc<MacroDef> held = share(def);  // the body must outlive a re-registration during the call
  MacroFrame frame(env, held, nested, loop_vars);
  Result<Binding> binding = bind_arguments(def, args, frame);
  if (!binding.ok()) return failed_signal(binding.take_error());
  Namespace* ns = def.namespace_ptr();
  if (!ns) return failed_signal(Error::misc("The macro's namespace is no longer available."));

  CallContext context(env, frame, *ns);
  const size_t depth = env.macro_frames().size();
  DefinitionFrame def_frame(env, held);
  RunSignal sig;
  Status defaults = fill_defaults(env, def, binding.value(), frame);
  if (!defaults.ok()) {
    sig = failed_signal(defaults.take_error());
  } else if (is_function) {
    DiscardOutput discard(env);
    sig = env.run(def.body());
  } else {
    sig = env.run(def.body());
  }

  switch (sig.kind) {
    case RunSignal::Kind::Failed:
      // The trace is taken while this call's frames are still on the stack.
      sig.error.emplace(std::move(*sig.error).with_stack(env.trace_frames()));
      break;
    case RunSignal::Kind::Returned:
      if (env.return_marker() == depth) {
        env.return_marker() = 0;
        sig.kind = RunSignal::Kind::Done;  // the value, if any, stays for the function's caller
      }
      break;
    case RunSignal::Kind::Done:
      break;
  }
  return sig;
}

ExecOutcome call_macro(Environment& env, const MacroDef& def, CallArgValues args, const ElementList* nested,
                       const std::vector<std::string>* loop_vars) {
  if (def.is_function)
    return ExecOutcome::failed(Error::misc("Routine \"" + def.name +
                                           "\" is a function, not a directive. Functions can only be called from "
                                           "expressions, like in ${f()}."));
  RunSignal sig = invoke_macro_common(env, def, std::move(args), nested, loop_vars, false);
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ExecOutcome::normal();
    case RunSignal::Kind::Failed: return ExecOutcome::failed(std::move(*sig.error));
    case RunSignal::Kind::Returned: break;
  }
  return ExecOutcome::returned(std::move(sig.value));
}

Result<TModel> invoke_function(Environment& env, const MacroDef& def, CallArgValues args) {
  RunSignal sig = invoke_macro_common(env, def, std::move(args), nullptr, nullptr, true);
  if (sig.kind == RunSignal::Kind::Failed) return std::move(*sig.error);
  // A body that ends without #return gives the Null value.
  return sig.value ? std::move(*sig.value) : TModel::null();
}

// ---- #macro, #return ---------------------------------------------------------------

ExecOutcome exec_macro_def(Environment& env, const Element& e) {
  // Reaching the definition (re)registers it where the text runs: an
  // included template's macros appear in the including namespace.
  register_macro(*env.current_namespace(), e.as<MacroDefElement>().def);
  return ExecOutcome::normal();
}

ExecOutcome exec_return(Environment& env, const Element& e) {
  const ReturnInstruction& r = e.as<ReturnInstruction>();
  std::optional<TModel> value;
  if (r.value) {
    Result<TModel> v = eval(env, *r.value);
    if (!v.ok()) return ExecOutcome::failed(v.take_error());
    if (v.value().is_null()) return ExecOutcome::failed(Error::invalid_reference(expr_desc(*r.value)));
    value = std::move(v.value());
  }
  env.return_marker() = env.macro_frames().size();
  return ExecOutcome::returned(std::move(value));
}

}  // namespace tovarn
