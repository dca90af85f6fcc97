// macro_frame.h — the frame of one running macro or function call: its local
// variables (bound parameters and #local values) and what #nested needs to
// run the call's nested content in the caller's context.
//
// Frames live on the native stack of the call that made them; the
// environment's macro_frames() stack holds nothing but MacroFrames, innermost
// last, and get_variable() searches the innermost one.
//
//   if (MacroFrame* f = innermost_macro_frame(env)) { const TModel* v = f->find_local("x"); ... }
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/environment.h"
#include "core/macro_def.h"

namespace tovarn {

class MacroFrame final : public LocalScope {
 public:
  using Local = std::pair<std::string, TModel>;

  // Records the caller's state (local scopes, namespace, macro name and
  // executing template name) as it is now.
  MacroFrame(Environment& env, Rc<MacroDef> def, const ElementList* nested,
             const std::vector<std::string>* loop_vars);

  // The definition being executed.
  const MacroDef& def() const { return *def_; }

  // Local variables, in the order they were first set.
  const TModel* find_local(std::string_view name) const;
  void set_local(std::string name, TModel value);
  const std::vector<Local>& locals() const { return locals_; }
  bool lookup(std::string_view name, const Environment& env, TModel& out) const override;

  // The call's nested content (null for `<@m/>`) and its loop-variable names.
  const ElementList* nested() const { return nested_; }
  const std::vector<std::string>& loop_vars() const;

  // The caller's state, restored while the nested content runs.
  const std::vector<const LocalScope*>& caller_scopes() const { return caller_scopes_; }
  const Rc<Namespace>& caller_namespace() const { return caller_namespace_; }
  const std::string* caller_macro_name() const { return caller_macro_name_; }
  const std::string* caller_template_name() const { return caller_template_name_; }

  // The value `.args` built for this call, kept so it is built once.
  std::optional<TModel>& args_cache() { return args_cache_; }

 private:
  Rc<MacroDef> def_;
  std::vector<Local> locals_;  // few names: a linear search beats a map
  const ElementList* nested_;
  const std::vector<std::string>* loop_vars_;
  std::vector<const LocalScope*> caller_scopes_;
  Rc<Namespace> caller_namespace_;
  const std::string* caller_macro_name_;
  const std::string* caller_template_name_;
  std::optional<TModel> args_cache_;
};

// The innermost active frame, or null outside any macro or function body
// (and inside nested content called from the top level).
MacroFrame* innermost_macro_frame(Environment& env);

// `#local name = value`: stores into the innermost frame's locals; fails with
// "Not executing macro body" when there is none.
Status set_local_variable(Environment& env, std::string name, TModel value);

}  // namespace tovarn
