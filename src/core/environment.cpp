// environment.cpp — creating a run, the run loop, output and capture, the
// instruction stack, variable lookup and the template exception handler.
#include "core/environment.h"

#include "core/exec.h"
#include "cache/template_name_format.h"
#include "core/output_format.h"
#include "template/charset.h"
#include "template/configuration.h"

namespace tovarn {

// ---- Namespace -------------------------------------------------------------

std::optional<TModel> Namespace::get_member(std::string_view name) const {
  if (vars_.empty() && macros_.empty()) return std::nullopt;  // the common case for the global namespace
  if (auto v = get_variable_only(name)) return v;
  if (Rc<MacroDef> m = get_macro(name)) return macro_value(m);
  return std::nullopt;
}

std::optional<TModel> Namespace::get_variable_only(std::string_view name) const {
  auto it = vars_.find(name);
  if (it == vars_.end()) return std::nullopt;
  return it->second;
}

Rc<MacroDef> Namespace::get_macro(std::string_view name) const {
  auto it = macros_.find(name);
  return it == macros_.end() ? Rc<MacroDef>() : it->second;
}

// ---- Environment -----------------------------------------------------------

namespace {

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::string html_escape_for_debug(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace


Environment::Environment(Rc<Template> tpl, TModel data_model)
    : template_(std::move(tpl)),
      data_model_(std::move(data_model)),
      base_settings_(&template_->configuration->settings) {
  if (template_->own_settings) {
    own_settings_ = std::make_unique<Settings>(*base_settings_);
    template_->own_settings->apply_to(*own_settings_);
  }
  start_time_zone_ = settings().time_zone;
  output_.reserve(128);
  main_ns_ = make_rc<Namespace>(template_->name);
  main_ns_->ns_prefixes() = template_->ns_prefixes;
  for (const auto& [name, macro] : template_->macros) register_macro(*main_ns_, macro);
  current_ns_ = main_ns_;
  global_ns_ = make_rc<Namespace>(template_->name);
  current_template_name_ = &template_->name;
  executing_template_name_ = &template_->name;
  switch (settings().auto_escaping) {
    case AutoEscapingPolicy::On: auto_escaping_ = true; break;
    case AutoEscapingPolicy::Off: auto_escaping_ = false; break;
    case AutoEscapingPolicy::Default: auto_escaping_ = escapes_by_default(settings().output_format); break;
  }
}

Settings& Environment::mutable_settings() {
  if (!own_settings_) own_settings_ = std::make_unique<Settings>(*base_settings_);
  return *own_settings_;
}

Status Environment::process(std::string& sink) {
  if (!data_model_.has(Cap::Hash)) return Error::misc("The data model must be a hash");
  RunSignal sig = run(template_->root);
  switch (sig.kind) {
    case RunSignal::Kind::Failed: return handle_exception(std::move(*sig.error), sink);
    case RunSignal::Kind::Returned: return Error::misc("<#return> is illegal here (not inside a macro or function)");
    case RunSignal::Kind::Done: break;
  }
  const std::string& encoding = settings().output_encoding;
  if (encoding.empty() || iequals(encoding, "utf-8")) {  // the common case: no conversion, no copy
    if (sink.empty()) sink.swap(output_);
    else sink += output_;
    return ok();
  }
  ASSIGN_OR_RETURN(std::string encoded, encode_output(output_, encoding));
  sink += encoded;
  return ok();
}


Status Environment::handle_exception(Error e, std::string& sink) {
  const std::string& handler = settings().template_exception_handler;
  if (iequals(handler, "rethrow")) return e;
  if (iequals(handler, "ignore")) return ok();
  bool html = iequals(handler, "html_debug");
  if (html || iequals(handler, "debug")) {
    std::string msg = e.to_user_message();
    sink += "Tovarn template error (DEBUG mode; use RETHROW in production!):\n";
    sink += html ? html_escape_for_debug(msg) : msg;
    sink += "\n----\n(Java stack trace omitted)";
    return ok();
  }
  return Error::misc("Invalid template_exception_handler value: " + handler);
}

RunSignal Environment::run(const ElementList& elements) {
  std::vector<const Element*> queued;  // elements handed back by Inline, run before the next listed one
  size_t index = 0;
  for (;;) {
    const Element* el;
    bool from_list = false;
    if (!queued.empty()) {
      el = queued.back();
      queued.pop_back();
    } else if (index < elements.size()) {
      el = &elements[index];
      from_list = true;
    } else {
      return RunSignal::done();
    }
    const bool pushed = push_instruction_frame(*el);
    ExecOutcome out = exec(*el);
    switch (out.kind) {
      case ExecOutcome::Kind::Normal:
        break;
      case ExecOutcome::Kind::Inline:
        for (auto it = out.list->rbegin(); it != out.list->rend(); ++it) queued.push_back(&*it);
        break;
      case ExecOutcome::Kind::InlineOne:
        queued.push_back(out.one);
        break;
      case ExecOutcome::Kind::Failed: {
        Error e = std::move(*out.error);
        attach_location(*e, current_template_name(), el->line, el->column);
        e = std::move(e).with_stack(trace_frames());
        if (pushed) pop_instruction_frame();
        RunSignal sig;
        sig.kind = RunSignal::Kind::Failed;
        sig.error.emplace(std::move(e));
        return sig;
      }
      case ExecOutcome::Kind::Returned: {
        if (pushed) pop_instruction_frame();
        RunSignal sig;
        sig.kind = RunSignal::Kind::Returned;
        sig.value = std::move(out.value);
        return sig;
      }
    }
    if (pushed) pop_instruction_frame();
    if (from_list) ++index;
  }
}

Status Environment::run_elements(const ElementList& elements) {
  RunSignal sig = run(elements);
  switch (sig.kind) {
    case RunSignal::Kind::Done: return ok();
    case RunSignal::Kind::Failed: return std::move(*sig.error);
    case RunSignal::Kind::Returned: break;
  }
  return Error::misc("<#return> is illegal in this context");
}

Status Environment::emit(std::string_view text) {
  std::string& buf = capture_ ? *capture_ : output_;
  if (text.size() > kMaxOutputBytes - buf.size())
    return Error::misc("Template output exceeds the 67108864-byte safety limit.");
  buf.append(text);
  return ok();
}

std::pair<RunSignal, std::string> Environment::capture(const ElementList& elements) {
  std::string buffer;
  std::string* saved = std::exchange(capture_, &buffer);
  RunSignal sig = run(elements);
  capture_ = saved;
  return {std::move(sig), utf8_replace_invalid(buffer)};
}

bool Environment::push_instruction_frame(const Element& element) {
  if (!has_instruction_frame(element.kind)) return false;
  instruction_stack_.push_back(Frame{&element, current_template_name_, macro_name_,
                                     auto_escaping_ || !escape_stack_.empty(),
                                     shown_in_trace(element.kind)});
  return true;
}

void Environment::pop_instruction_frame() { instruction_stack_.pop_back(); }

std::vector<StackFrame> Environment::trace_frames() const {
  std::vector<StackFrame> frames;
  const size_t n = instruction_stack_.size();
  if (n == 0) return frames;
  auto make = [](const Frame& f) {
    StackFrame s;
    s.description = describe_element(*f.element, f.auto_escaped);
    if (s.description.size() > 40) s.description = s.description.substr(0, 37) + "...";
    s.template_name = *f.template_name;
    s.line = f.element->line;
    s.column = f.element->column;
    if (f.macro_name) s.macro = *f.macro_name;
    s.nested = f.element->kind == ElementKind::BodyInstruction;
    return s;
  };
  frames.push_back(make(instruction_stack_[n - 1]));
  for (size_t i = n - 1; i-- > 0;)
    if (instruction_stack_[i].shown_in_trace) frames.push_back(make(instruction_stack_[i]));
  return frames;
}

bool NameBindings::lookup(std::string_view name, const Environment&, TModel& out) const {
  for (size_t i = std::min(names_.size(), values_.size()); i-- > 0;)
    if (names_[i] == name && !(skip_null_ && values_[i].is_null())) {
      out = values_[i];
      return true;
    }
  return false;
}

bool Environment::find_local(std::string_view name, TModel& out) const {
  for (size_t i = local_scopes_.size(); i-- > 0;)
    if (local_scopes_[i]->lookup(name, *this, out)) return true;
  return false;
}

Result<TModel> Environment::get_variable(std::string_view name) {
  TModel v;
  if (find_local(name, v)) return v;
  if (!macro_frames_.empty() && macro_frames_.back()->lookup(name, *this, v)) return v;
  if (auto v = current_ns_->get_member(name)) return std::move(*v);
  if (auto v = global_ns_->get_member(name)) return std::move(*v);
  if (data_model_.has(Cap::Hash)) {
    ASSIGN_OR_RETURN(std::optional<TModel> v, data_model_->hash_get(name));
    if (v) return std::move(*v);
  }
  const auto& shared = template_->configuration->shared_variables;
  if (auto it = shared.find(name); it != shared.end()) return it->second;
  if (settings().classic_compatible) return TModel::null();
  return Error::invalid_reference(std::string(name));
}

void Environment::set_variable(std::string name, TModel value) { current_ns_->put_var(std::move(name), std::move(value)); }

void Environment::set_global_variable(std::string name, TModel value) {
  global_ns_->put_var(std::move(name), std::move(value));
}

std::string Environment::resolve_template_name(std::string_view name) const {
  return tovarn::resolve_template_name(current_template_name(), name);
}

Result<LookupOutcome> Environment::lookup_template(std::string_view name, bool parse,
                                                   std::optional<std::string_view> encoding) {
  const Configuration& cfg = *template_->configuration;
  std::optional<Error> remembered;
  for (const std::string& candidate : lookup_candidate_names(name, settings().locale)) {
    LookupOutcome out;
    if (parse) {
      Result<Rc<Template>> t = cfg.get_template_encoded(candidate, encoding);
      if (!t.ok()) {
        remembered.emplace(t.take_error());
        continue;
      }
      out.result.parsed = std::move(t).value();
    } else {
      ASSIGN_OR_RETURN(std::unique_ptr<TemplateSource> source, cfg.loader->find(candidate));
      if (!source) continue;
      ASSIGN_OR_RETURN(std::string text, cfg.loader->read_encoded(*source, encoding.value_or("UTF-8")));
      out.result.raw = std::move(text);
    }
    out.found_name = candidate;
    return out;
  }
  LookupOutcome missing;
  missing.missing.emplace(remembered ? std::move(*remembered) : Error::not_found(std::string(name)));
  return missing;
}

// ---- Template ----------------------------------------------------------------

Template::Template() = default;
Template::~Template() = default;

Status Template::process(const TModel& data_model, std::string& out) const {
  Environment env(Rc<Template>(const_cast<Template*>(this)), data_model);
  return env.process(out);
}

}  // namespace tovarn
