// environment.h — one processing run of a template: output buffers, scopes
// and namespaces, the instruction stack, the effective settings, and the run
// loop that executes element lists.
//
//   Environment env(tpl, data_model);
//   std::string out;
//   Status st = env.process(out);   // out receives the encoded output on success
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "builtins/format.h"
#include "core/configurable.h"
#include "core/macro_def.h"
#include "core/template_element.h"
#include "core/value_output.h"
#include "error/template_error.h"
#include "template/rc.h"
#include "template/t_model.h"
#include "template/template.h"

namespace tovarn {

// The largest output a run may produce, per buffer.
inline constexpr size_t kMaxOutputBytes = 67108864;

// A template's variables and macros (the main namespace, the global one, and
// one per imported library).
class Namespace : public RefCounted {
 public:
  explicit Namespace(std::string name) : name_(std::move(name)) {}
  // Clears the weak link, so macros registered here see that it is gone.
  ~Namespace() override {
    if (link_) link_->ns = nullptr;
  }

  // A weak reference to this namespace (made on first use): macros keep it
  // to reach the namespace they were registered in without keeping it alive.
  const Rc<NamespaceLink>& link() {
    if (!link_) link_ = make_rc<NamespaceLink>(this);
    return link_;
  }

  const std::string& name() const { return name_; }
  // The variable of that name, else the macro as a macro value, else nothing.
  std::optional<TModel> get_member(std::string_view name) const;
  std::optional<TModel> get_variable_only(std::string_view name) const;
  Rc<MacroDef> get_macro(std::string_view name) const;
  void put_var(std::string name, TModel value) { vars_.insert_or_assign(std::move(name), std::move(value)); }
  void put_macro(std::string name, Rc<MacroDef> macro) { macros_.insert_or_assign(std::move(name), std::move(macro)); }

  const std::map<std::string, TModel, std::less<>>& vars() const { return vars_; }
  const std::map<std::string, Rc<MacroDef>, std::less<>>& macros() const { return macros_; }
  std::map<std::string, std::string>& ns_prefixes() { return ns_prefixes_; }

 private:
  std::string name_;
  std::map<std::string, TModel, std::less<>> vars_;
  std::map<std::string, Rc<MacroDef>, std::less<>> macros_;
  std::map<std::string, std::string> ns_prefixes_;
  Rc<NamespaceLink> link_;
};

class Environment;

// A scope of local names searched before the namespaces: the loop context of
// a #list/#items, or names bound for a while (lambda parameters, #nested loop
// variables, escape placeholders). Scopes live on the native stack of whoever
// pushes them (see ScopeGuard) and are searched innermost first.
class LocalScope {
 public:
  virtual ~LocalScope() = default;
  // True when this scope answers for `name`, with the value in `out`. A scope
  // may decline a name it holds (a null loop variable under the
  // fallback_on_null_loop_variable setting) so that outer scopes are asked.
  virtual bool lookup(std::string_view name, const Environment& env, TModel& out) const = 0;
};

// Names bound by position to values: lambda parameters, the loop variables
// of a call body. A name without a value (more names than values) stays
// unbound, and so does one whose value is the Null value when `skip_null` is
// set; of repeated names the last wins. The spans must outlive the scope.
class NameBindings : public LocalScope {
 public:
  NameBindings(std::span<const std::string> names, std::span<const TModel> values, bool skip_null = false)
      : names_(names), values_(values), skip_null_(skip_null) {}
  bool lookup(std::string_view name, const Environment& env, TModel& out) const override;

 private:
  std::span<const std::string> names_;
  std::span<const TModel> values_;
  bool skip_null_;
};

// What a template lookup found: a parsed template or, when no parsing was
// asked for, the raw source text.
struct LookupResult {
  Rc<Template> parsed;           // set when parsing was asked for
  std::optional<std::string> raw;  // set otherwise
};

// The answer of Environment::lookup_template: Found (the candidate name and
// its result) or Missing (the error that says why nothing usable was found,
// which callers may ignore).
struct LookupOutcome {
  std::optional<std::string> found_name;
  LookupResult result;
  std::optional<Error> missing;
  bool found() const { return found_name.has_value(); }
};

// What executing one element asks of the run loop. #break/#continue and #stop
// travel as Failed with their error kinds (LoopControl, Stop); loops and
// #attempt recognise them.
struct ExecOutcome {
  enum class Kind : uint8_t { Normal, Failed, Returned, Inline, InlineOne };
  Kind kind = Kind::Normal;
  const ElementList* list = nullptr;  // Inline
  const Element* one = nullptr;       // InlineOne
  std::optional<Error> error;         // Failed
  std::optional<TModel> value;        // Returned (functions)

  static ExecOutcome normal() { return {}; }
  static ExecOutcome failed(Error e) {
    ExecOutcome o;
    o.kind = Kind::Failed;
    o.error.emplace(std::move(e));
    return o;
  }
  static ExecOutcome from(Status st) { return st.ok() ? normal() : failed(st.take_error()); }
  static ExecOutcome returned(std::optional<TModel> v) {
    ExecOutcome o;
    o.kind = Kind::Returned;
    o.value = std::move(v);
    return o;
  }
  static ExecOutcome inline_list(const ElementList& l) {
    ExecOutcome o;
    o.kind = Kind::Inline;
    o.list = &l;
    return o;
  }
  static ExecOutcome inline_one(const Element& e) {
    ExecOutcome o;
    o.kind = Kind::InlineOne;
    o.one = &e;
    return o;
  }
};

// The result of running an element list.
struct RunSignal {
  enum class Kind : uint8_t { Done, Failed, Returned };
  Kind kind = Kind::Done;
  std::optional<Error> error;
  std::optional<TModel> value;

  static RunSignal done() { return {}; }
  bool is_done() const { return kind == Kind::Done; }
};

class Environment {
 public:
  Environment(Rc<Template> tpl, TModel data_model);
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  // Runs the main template; on success appends the encoded output to `sink`.
  Status process(std::string& sink);

  // Runs a list of elements in order (the run loop).
  RunSignal run(const ElementList& elements);
  // run() for bodies where #return is not allowed.
  Status run_elements(const ElementList& elements);

  // Appends text to the active capture buffer, else to the main output.
  Status emit(std::string_view text);
  // Runs elements with their output diverted; returns the signal and the
  // captured text (invalid UTF-8 replaced).
  std::pair<RunSignal, std::string> capture(const ElementList& elements);

  // Pushes the element's instruction frame when its kind has one; returns
  // whether it pushed.
  bool push_instruction_frame(const Element& element);
  void pop_instruction_frame();

  // Variable lookup: local scopes (innermost first), the innermost macro
  // frame's locals, the current namespace, the global namespace, the data
  // model, the shared variables.
  Result<TModel> get_variable(std::string_view name);
  // The local value of `name` from the local scopes alone, or null.
  bool find_local(std::string_view name, TModel& out) const;

  // The local-scope stack (innermost last). Macro calls swap it out so that a
  // macro body does not see its caller's loop variables.
  std::vector<const LocalScope*>& local_scopes() { return local_scopes_; }
  // The macro-frame locals stack (innermost last); only the innermost is searched.
  std::vector<const LocalScope*>& macro_frames() { return macro_frames_; }
  void set_variable(std::string name, TModel value);
  void set_global_variable(std::string name, TModel value);

  // A name written in the current template turned into a full name.
  std::string resolve_template_name(std::string_view name) const;
  // Searches the localized candidates of `name` (when the locale setting is
  // not empty), each expanded by acquisition, in order.
  Result<LookupOutcome> lookup_template(std::string_view name, bool parse, std::optional<std::string_view> encoding);

  const Settings& settings() const { return own_settings_ ? *own_settings_ : *base_settings_; }
  // The run's private copy of the settings, made on first use (#setting).
  Settings& mutable_settings();
  // The time zone the run started with (what `#setting time_zone="default"` restores).
  const TzSetting& start_time_zone() const { return start_time_zone_; }

  const Rc<Template>& main_template() const { return template_; }
  const std::string& current_template_name() const { return *current_template_name_; }
  bool auto_escaping() const { return auto_escaping_; }
  // #autoesc / #noautoesc change the flag for the extent of their body.
  void set_auto_escaping(bool on) { auto_escaping_ = on; }
  // The #escape/#noescape entries in force, innermost last.
  EscapeStack& escape_stack() { return escape_stack_; }
  // Parsed number patterns of this run (number_format, ?string patterns).
  DecimalPatternCache& decimal_patterns() { return decimal_patterns_; }
  // Installs `buffer` as the capture buffer (null: none) and returns the
  // previous one; the caller restores it. For captures of non-element bodies.
  std::string* swap_capture_buffer(std::string* buffer) { return std::exchange(capture_, buffer); }
  const TModel& data_model() const { return data_model_; }
  const Rc<Namespace>& main_namespace() const { return main_ns_; }
  const Rc<Namespace>& current_namespace() const { return current_ns_; }
  const Rc<Namespace>& global_namespace() const { return global_ns_; }
  std::string& output() { return output_; }
  // The messages of the errors whose #recover bodies are running, innermost
  // last (#attempt pushes and pops; `.error` reads the last one).
  std::vector<std::string>& recover_messages() { return recover_messages_; }

  // The frames an error is given: the failing instruction, then the flagged
  // frames below it.
  std::vector<StackFrame> trace_frames() const;

  // ---- state switched by macro/function calls and #nested (macro_def.cpp,
  // body_instruction.cpp); each swap returns the previous value for the
  // caller to restore.
  Rc<Namespace> swap_current_namespace(Rc<Namespace> ns) { return std::exchange(current_ns_, std::move(ns)); }
  // The macro whose body is running (null: none); instruction frames record it.
  const std::string* macro_name() const { return macro_name_; }
  const std::string* swap_macro_name(const std::string* name) { return std::exchange(macro_name_, name); }
  // The template whose text is running: the current template, or the
  // template that defines the running macro or nested content.
  const std::string& executing_template_name() const { return *executing_template_name_; }
  const std::string* swap_executing_template_name(const std::string* name) {
    return std::exchange(executing_template_name_, name);
  }
  // The macro-frame depth at which a #return was executed; 0 when none is
  // pending. The call at that depth consumes it.
  size_t& return_marker() { return return_marker_; }

 private:
  // One instruction-stack entry; the description is rendered only when an
  // error needs it.
  struct Frame {
    const Element* element;
    const std::string* template_name;
    const std::string* macro_name;
    bool auto_escaped;
    bool shown_in_trace;
  };

  ExecOutcome exec(const Element& element);
  Status attach_to_error(Error& e, const Element& element);
  Status finish(std::string& sink);
  Status handle_exception(Error e, std::string& sink);

  Rc<Template> template_;
  TModel data_model_;
  const Settings* base_settings_;
  std::unique_ptr<Settings> own_settings_;
  TzSetting start_time_zone_;

  std::string output_;
  std::string* capture_ = nullptr;  // the active capture buffer, when capturing

  Rc<Namespace> main_ns_;
  Rc<Namespace> current_ns_;
  Rc<Namespace> global_ns_;

  std::vector<Frame> instruction_stack_;
  std::vector<const LocalScope*> local_scopes_;
  std::vector<const LocalScope*> macro_frames_;
  const std::string* current_template_name_;
  const std::string* macro_name_ = nullptr;
  const std::string* executing_template_name_;
  size_t return_marker_ = 0;
  bool auto_escaping_ = false;
  EscapeStack escape_stack_;
  DecimalPatternCache decimal_patterns_;
  std::vector<std::string> recover_messages_;  // see recover_messages()
};

// Pushes a local scope for the guard's lifetime.
//   NamedScope scope(...);  ScopeGuard g(env, scope);
class ScopeGuard {
 public:
  ScopeGuard(Environment& env, const LocalScope& scope) : scopes_(env.local_scopes()) { scopes_.push_back(&scope); }
  ~ScopeGuard() { scopes_.pop_back(); }
  ScopeGuard(const ScopeGuard&) = delete;
  ScopeGuard& operator=(const ScopeGuard&) = delete;

 private:
  std::vector<const LocalScope*>& scopes_;
};

// Hides every local scope until destroyed: a macro or function body must not
// see its caller's loop variables or lambda parameters.
class ScopeBarrier {
 public:
  explicit ScopeBarrier(Environment& env) : scopes_(env.local_scopes()) { saved_.swap(scopes_); }
  ~ScopeBarrier() { scopes_.swap(saved_); }
  ScopeBarrier(const ScopeBarrier&) = delete;
  ScopeBarrier& operator=(const ScopeBarrier&) = delete;

 private:
  std::vector<const LocalScope*>& scopes_;
  std::vector<const LocalScope*> saved_;
};

}  // namespace tovarn
