// template_error.cpp — building errors, composing their user messages and
// attaching locations and instruction traces.
#include "error/template_error.h"

namespace tovarn {

namespace {

constexpr std::string_view kDefaultInvalidRefTip =
    "If the failing expression is known to legally refer to something that's sometimes null or "
    "missing, either specify a default value like myOptionalVar!myDefault, or use "
    "<#if myOptionalVar??>when-present<#else>when-missing</#if>. (These only cover the last step "
    "of the expression; to cover the whole expression, use parenthesis: "
    "(myOptionalVar.foo)!myDefault, (myOptionalVar.foo)??";

constexpr std::string_view kNoDescription = "[No error description was available.]";

std::string location_text(const ErrorCtx& c) {
  if (!c.template_name || c.line == 0) return {};
  return "  [in template \"" + *c.template_name + "\" at line " + std::to_string(c.line) +
         ", column " + std::to_string(c.column) + "]";
}

bool has_ctx(ErrorKind k) { return k == ErrorKind::InvalidReference || k == ErrorKind::UnexpectedType; }

Error make(ErrorKind kind, std::string text) {
  auto e = std::make_unique<TemplateError>();
  e->kind = kind;
  e->text = std::move(text);
  return Error(std::move(e));
}

}  // namespace

std::string StackFrame::location() const {
  std::string s = "[in template \"" + template_name + "\"";
  if (macro) s += " in macro \"" + *macro + "\"";
  s += " at line " + std::to_string(line) + ", column " + std::to_string(column) + "]";
  return s;
}

std::string render_tvl_stack_section(const std::vector<StackFrame>& frames) {
  if (frames.empty()) return {};
  std::string s = "\n\n----\nTVL stack trace (\"~\" means nesting-related):\n";
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i > 0) s += '\n';
    const char* label = i == 0                                        ? "- Failed at: "
                        : (frames[i].nested || frames[i - 1].nested) ? "~ Reached through: "
                                                                       : "- Reached through: ";
    s += '\t';
    s += label;
    s += frames[i].description;
    s += "  ";
    s += frames[i].location();
  }
  s += "\n----";
  return s;
}

std::string a_or_an(std::string_view word) {
  bool vowel = !word.empty() && std::string_view("aeiouAEIOU").find(word[0]) != std::string_view::npos;
  return (vowel ? "an " : "a ") + std::string(word);
}

std::string expected_phrase_for(std::string_view t) {
  if (t == "string-like value")
    return "a string or something automatically convertible to string (number, date or boolean)";
  return a_or_an(t);
}

std::string TemplateError::to_user_message() const {
  switch (kind) {
    case ErrorKind::InvalidReference: {
      std::string s = "The following has evaluated to null or missing:\n==> " + text + location_text(ctx);
      s += "\n\n----\nTip: ";
      if (ctx.tip) s += *ctx.tip + "\n----\nTip: ";
      s += kDefaultInvalidRefTip;
      s += "\n----";
      s += render_tvl_stack_section(ctx.frames);
      return s;
    }
    case ErrorKind::UnexpectedType: {
      std::string s = ctx.prefix.value_or("");
      s += "Expected " + (ctx.expected_phrase ? *ctx.expected_phrase : expected_phrase_for(expected_type)) +
           ", but ";
      s += ctx.assignment_target ? "assignment target variable " + *ctx.assignment_target + " has evaluated to "
                                 : std::string("this has evaluated to ");
      s += a_or_an(actual_type);
      if (ctx.blamed_expression) s += ":\n==> " + *ctx.blamed_expression + location_text(ctx);
      else s += ".";
      if (ctx.tip) s += "\n\n----\nTip: " + *ctx.tip + "\n----";
      s += render_tvl_stack_section(ctx.frames);
      return s;
    }
    case ErrorKind::Misc:
    case ErrorKind::Python:
    case ErrorKind::Io:
      return text;
    case ErrorKind::Parse:
      return "Syntax error in template \"" + template_name + "\" in line " + std::to_string(line) + ", column " +
             std::to_string(column) + ":\n" + text;
    case ErrorKind::Stop:
      return has_message ? text : std::string(kNoDescription);
    case ErrorKind::LoopControl:
      return is_continue ? "continue is illegal outside a loop" : "break is illegal outside a loop";
    case ErrorKind::TemplateNotFound:
      return "Template not found for name \"" + template_name + "\".";
  }
  return text;
}

Error Error::misc(std::string message) { return make(ErrorKind::Misc, std::move(message)); }
Error Error::python(std::string message) { return make(ErrorKind::Python, std::move(message)); }
Error Error::io(std::string description) { return make(ErrorKind::Io, std::move(description)); }

Error Error::parse(std::string template_name, std::string message, uint32_t line, uint32_t column) {
  Error e = make(ErrorKind::Parse, std::move(message));
  e->template_name = std::move(template_name);
  e->line = line;
  e->column = column;
  return e;
}

Error Error::invalid_reference(std::string expression) {
  return make(ErrorKind::InvalidReference, std::move(expression));
}

Error Error::invalid_reference_at(std::string expression, uint32_t line, uint32_t column) {
  Error e = invalid_reference(std::move(expression));
  e->ctx.line = line;
  e->ctx.column = column;
  return e;
}

Error Error::type_mismatch(std::string expected_type, std::string actual_type) {
  Error e = make(ErrorKind::UnexpectedType, {});
  e->expected_type = std::move(expected_type);
  e->actual_type = std::move(actual_type);
  return e;
}

Error Error::stop(std::optional<std::string> message) {
  Error e = make(ErrorKind::Stop, message.value_or(""));
  e->has_message = message.has_value();
  return e;
}

Error Error::loop_control(bool is_continue) {
  Error e = make(ErrorKind::LoopControl, {});
  e->is_continue = is_continue;
  return e;
}

Error Error::not_found(std::string template_name) {
  Error e = make(ErrorKind::TemplateNotFound, {});
  e->template_name = std::move(template_name);
  return e;
}

Error Error::with_blame_at(std::string_view subject, std::string_view role, std::string expression,
                           std::string template_name, uint32_t line, uint32_t column) && {
  if (kind() == ErrorKind::UnexpectedType) {
    ErrorCtx& c = e_->ctx;
    c.prefix = "For \"" + std::string(subject) + "\" " + std::string(role) + ": ";
    c.blamed_expression = std::move(expression);
    c.template_name = std::move(template_name);
    c.line = line;
    c.column = column;
  }
  return std::move(*this);
}

Error Error::with_expected_phrase(std::string phrase) && {
  if (kind() == ErrorKind::UnexpectedType) e_->ctx.expected_phrase = std::move(phrase);
  return std::move(*this);
}

Error Error::with_tip(std::string tip) && {
  if (kind() == ErrorKind::UnexpectedType) e_->ctx.tip = std::move(tip);
  return std::move(*this);
}

Error Error::with_dot_tip() && {
  if (kind() == ErrorKind::InvalidReference)
    e_->ctx.tip = "It's the step after the last dot that caused this error, not those before it.";
  return std::move(*this);
}

Error Error::with_location(std::string_view template_name, uint32_t line, uint32_t column) && {
  if (has_ctx(kind())) {
    ErrorCtx& c = e_->ctx;
    if (c.line == 0) {
      c.line = line;
      c.column = column;
    }
    if (!c.template_name) c.template_name = std::string(template_name);
  }
  return std::move(*this);
}

Error Error::with_stack(std::vector<StackFrame> frames) && {
  if (frames.empty()) return std::move(*this);
  TemplateError& e = *e_;
  auto append_once = [&](std::string& text) {
    if (text.find("TVL stack trace") == std::string::npos) text += render_tvl_stack_section(frames);
  };
  switch (e.kind) {
    case ErrorKind::InvalidReference:
    case ErrorKind::UnexpectedType:
      if (e.ctx.frames.empty()) e.ctx.frames = std::move(frames);
      break;
    case ErrorKind::Misc:
    case ErrorKind::Python:
    case ErrorKind::Parse:
      append_once(e.text);
      break;
    case ErrorKind::Stop:
      if (e.text.find("TVL stack trace") == std::string::npos) {
        if (e.text.empty()) e.text = std::string(kNoDescription);
        e.text += render_tvl_stack_section(frames);
      }
      e.has_message = true;
      break;
    case ErrorKind::LoopControl:
    case ErrorKind::TemplateNotFound:
    case ErrorKind::Io:
      break;
  }
  return std::move(*this);
}

void attach_location(TemplateError& e, std::string_view template_name, uint32_t line, uint32_t column) {
  if (!has_ctx(e.kind)) return;
  ErrorCtx& c = e.ctx;
  if (c.line != 0 || c.template_name) return;
  if (e.kind == ErrorKind::InvalidReference && e.text.find("[in template") != std::string::npos) return;
  if (e.kind == ErrorKind::UnexpectedType && c.assignment_target) return;
  c.template_name = std::string(template_name);
  c.line = line;
  c.column = column;
}

}  // namespace tovarn
