// output_format.cpp — output-format properties, markup values, the
// auto-escaping policy rules and the markup built-ins.
#include "core/output_format.h"

#include "core/environment.h"
#include "core/value_output.h"

namespace tovarn {

bool escapes_by_default(OutputFormatKind kind) {
  switch (kind) {
    case OutputFormatKind::HTML:
    case OutputFormatKind::XML:
    case OutputFormatKind::XHTML:
    case OutputFormatKind::CSS:
    case OutputFormatKind::RTF:
      return true;
    default:
      return false;
  }
}

bool captured_as_markup(OutputFormatKind kind) {
  switch (kind) {
    case OutputFormatKind::HTML:
    case OutputFormatKind::XML:
    case OutputFormatKind::XHTML:
    case OutputFormatKind::RTF:
      return true;
    default:
      return false;
  }
}

TModel markup_model_with(std::string markup, std::optional<std::string> plain_text, OutputFormatKind format) {
  return TModel::from_markup(std::move(markup), std::move(plain_text), format);
}

std::optional<OutputFormatKind> markup_format(const TModel& value) {
  if (value.kind() != ModelKind::Markup) return std::nullopt;
  return value->output_format();
}

bool initial_auto_escaping(const Settings& settings) {
  switch (settings.auto_escaping) {
    case AutoEscapingPolicy::On: return true;
    case AutoEscapingPolicy::Off: return false;
    case AutoEscapingPolicy::Default: return escapes_by_default(settings.output_format);
  }
  return false;
}

bool legacy_escaping_banned(const Settings& settings) {
  return escapes_by_default(settings.output_format) && settings.auto_escaping != AutoEscapingPolicy::Off;
}

Result<TModel> convert_markup_or_bypass(const TModel& value, Environment& env, std::string_view builtin_name) {
  const OutputFormatKind current = env.settings().output_format;
  const std::optional<OutputFormatKind> own = value->output_format();
  if (!own || *own == current || current == OutputFormatKind::PlainText) return value;
  if (const std::string* plain = value->plain_text())
    return markup_model_with(escape_markup(current, *plain), *plain, current);
  std::string msg = "The left side operand of ?";
  msg += builtin_name;
  msg += " is in ";
  msg += output_format_name(*own);
  msg += " format, which differs from the current output format, ";
  msg += output_format_name(current);
  msg += ". Conversion wasn't possible.";
  return Error::misc(std::move(msg));
}

namespace {

// The shared part of ?esc and ?no_esc; `escape` tells them apart.
Result<TModel> markup_builtin(Environment& env, const TModel& target, bool escape) {
  if (target.kind() == ModelKind::Markup) return convert_markup_or_bypass(target, env, escape ? "esc" : "no_esc");
  if (target.is_null()) return Error::invalid_reference("The value is null or missing");
  ASSIGN_OR_RETURN(std::string text, model_to_string(env, target));
  const OutputFormatKind current = env.settings().output_format;
  if (!escape) return markup_model_with(std::move(text), std::nullopt, current);
  std::string markup = escape_markup(current, text);
  return markup_model_with(std::move(markup), std::move(text), current);
}

}  // namespace

Result<TModel> builtin_esc(Environment& env, const TModel& target) { return markup_builtin(env, target, true); }

Result<TModel> builtin_no_esc(Environment& env, const TModel& target) { return markup_builtin(env, target, false); }

Result<TModel> builtin_markup_string(Environment&, const TModel& target) {
  if (target.kind() != ModelKind::Markup) return Error::type_mismatch("markup output", target.type_name());
  if (!target.has(Cap::Scalar)) return Error::type_mismatch("string", target.type_name());
  ASSIGN_OR_RETURN(TextRef markup, target->as_string());
  return TModel::from_scalar(std::move(markup).into_string());
}

}  // namespace tovarn
