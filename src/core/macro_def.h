// macro_def.h — the definition of a #macro or #function, its element
// payload, its value form, its registration in namespaces, and the calls:
// call_macro (`<@m/>`), invoke_function (`f()`) and the shared
// invoke_macro_common. Frames of running calls are in macro_frame.h.
//
//   register_macro(*env.current_namespace(), def);
//   ExecOutcome o = call_macro(env, *def, std::move(args), &body, &loop_vars);
//   ASSIGN_OR_RETURN(TModel v, invoke_function(env, *def, std::move(args)));
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/expression/expr.h"
#include "core/template_element.h"
#include "template/rc.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;
class Namespace;
struct ExecOutcome;
struct RunSignal;

// A weak reference to a Namespace: the namespace clears `ns` when it is
// destroyed (see Namespace::link()).
struct NamespaceLink : RefCounted {
  explicit NamespaceLink(Namespace* n) noexcept : ns(n) {}
  Namespace* ns;
};

// Arguments bound in advance to a macro or function value by ?with_args or
// ?with_args_last; a call adds them to its own arguments.
//   m?with_args([1, 2])      ->  positional [1, 2]
//   m?with_args({"a": 1})    ->  named, named_values [a=1]
struct WithArgs : RefCounted {
  bool named = false;              // which of the two lists holds the values
  std::vector<TModel> positional;  // in order
  NamedArgs named_values;          // in insertion order
  bool last = false;               // made by ?with_args_last: positional values go after the call's own
};

// One declared parameter: `a`, `b=1`, `rest...`.
struct MacroParam {
  std::string name;
  ExprPtr default_value;  // null when the parameter is required (or catch-all)
  bool catch_all = false;  // at most one, and only the last, parameter
};

// What a definition fixes at parse time: its parameters and body. Shared,
// never copied, by every MacroDef made from one #macro/#function tag.
struct MacroCode : RefCounted {
  std::vector<MacroParam> params;
  ElementList body;
};

// A #macro or #function definition. The parser makes one per tag (the
// MacroDefElement payload and Template::macros share it); registering it in
// a namespace makes a copy that shares `code` and records the namespace, and
// ?with_args makes a copy that carries the bound arguments.
//   <#macro m a b=1 rest...>  ->  name "m", params [a, b=1, rest...]
struct MacroDef : RefCounted {
  std::string name;
  bool is_function = false;
  Rc<MacroCode> code;          // parameters and body; never null
  std::string template_name;   // the template whose text defines it
  uint32_t line = 0;           // position of the #macro/#function tag
  uint32_t column = 0;
  // The namespace the definition was registered in (set by register_macro),
  // held weakly: the namespace owns its macros, not the other way round.
  Rc<NamespaceLink> defining_namespace;
  // Arguments bound by ?with_args; null for a plain definition.
  Rc<WithArgs> with_args;

  const std::vector<MacroParam>& params() const { return code->params; }
  const ElementList& body() const { return code->body; }
  // The defining namespace while it exists, else null.
  Namespace* namespace_ptr() const { return defining_namespace ? defining_namespace->ns : nullptr; }
};

// Payload of ElementKind::MacroDef.
struct MacroDefElement : ElementData {
  Rc<MacroDef> def;
};

// "#macro m a b=1": the instruction-stack text of a definition.
std::string macro_def_description(const MacroDef& def);

// The value a macro or function is when read as a variable: kind Macro, type
// "macro" (functions too), no capabilities; its internal payload is the
// MacroDef, so `value.internal_as<MacroDef>()` gives the definition back.
class MacroValue final : public ModelObject {
 public:
  explicit MacroValue(Rc<MacroDef> def) noexcept : ModelObject(ModelKind::Macro, "macro", 0), def_(std::move(def)) {}
  const Rc<MacroDef>& def() const noexcept { return def_; }
  RefCounted* internal() const noexcept override { return def_.get(); }

 private:
  Rc<MacroDef> def_;
};

// The value of a definition.
TModel macro_value(const Rc<MacroDef>& def);

// The value ?with_args makes: a copy of `def` (same code and namespace)
// carrying `args`, replacing any arguments bound before.
//   macro_value_with_args(*as_macro(m), args)
TModel macro_value_with_args(const MacroDef& def, Rc<WithArgs> args);

// The definition behind a macro or function value, else null.
const MacroDef* as_macro(const TModel& value);

// Stores a copy of `def` that records `ns` as its defining namespace in the
// namespace's macros, replacing a macro of the same name. Registering the
// definition that is already there again does nothing.
void register_macro(Namespace& ns, const Rc<MacroDef>& def);

// The evaluated arguments of a call: positional values in order, named values
// in call order. A Null value stands for an argument that was null or missing.
struct CallArgValues {
  std::vector<TModel> positional;
  NamedArgs named;
};

// The most macro/function calls that may be nested in one run.
inline constexpr size_t kMaxMacroCallDepth = 16;

// Runs a macro called as a directive (`<@m .../>`): a function fails with
// "Routine "f" is a function, not a directive. ...". `nested` is the call's
// body (null for "/>"), `loop_vars` the names after ";" (may be null).
// Normal when the body finished or executed its own #return.
ExecOutcome call_macro(Environment& env, const MacroDef& def, CallArgValues args, const ElementList* nested,
                       const std::vector<std::string>* loop_vars);

// The shared part of every macro and function call: checks the call depth,
// binds the arguments (with the definition's ?with_args values), switches to
// the macro's namespace and frame, fills defaults, runs the body (a function's
// output is thrown away) and restores the caller's state on every path. A
// #return aimed at this call is consumed: the signal becomes Done, carrying
// the returned value for functions.
RunSignal invoke_macro_common(Environment& env, const MacroDef& def, CallArgValues args, const ElementList* nested,
                              const std::vector<std::string>* loop_vars, bool is_function);

// Calls a function from an expression (`f(1, x)`): its #return value, or the
// Null value when the body ends without one.
Result<TModel> invoke_function(Environment& env, const MacroDef& def, CallArgValues args);

}  // namespace tovarn
