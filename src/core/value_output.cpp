// value_output.cpp — value-to-text conversion, boolean and date formatting
// choices, the escape stack walk and printing with escaping.
#include "core/value_output.h"

#include <cmath>

#include "builtins/format.h"
#include "builtins/java_date_format.h"
#include "core/environment.h"
#include "core/eval.h"
#include "core/expression/expr.h"
#include "core/expression/lambda.h"
#include "core/output_format.h"
#include "template/utility.h"

namespace tovarn {

// ---- Escape states -------------------------------------------------------------

EscapeState EscapeState::for_escape(const std::string& var_name, const Expr& expr) {
  EscapeState st;
  st.kind = Kind::ExprEscape;
  st.var_name = &var_name;
  st.expr = &expr;
  if (expr.kind != ExprKind::BuiltIn) return st;
  const auto& b = expr.as<BuiltInExpr>();
  if (b.args || !b.target || b.target->kind != ExprKind::Variable) return st;
  if (b.target->as<VariableExpr>().name != var_name) return st;
  if (b.name == "html" || b.name == "xhtml") st.kind = Kind::HtmlEscape;
  else if (b.name == "xml") st.kind = Kind::XmlEscape;
  return st;
}

// ---- Booleans ------------------------------------------------------------------

namespace {

constexpr std::string_view kLegacyBooleanFormat = "true,false";

constexpr std::string_view kLegacyBooleanMessage =
    "Can't convert boolean to string automatically, because the \"boolean_format\" setting was "
    "\"true,false\", which is the legacy deprecated default, and we treat it as if no format was set. "
    "This is the default configuration; you should provide the format explicitly for each place where "
    "you print a boolean.\n\n----\nTip: Write something like myBool?string('yes', 'no') to specify "
    "boolean formatting in place.\n----\nTip: If you want \"true\"/\"false\" result as you are generating "
    "computer-language output (not for direct human consumption), then use \"?c\", like ${myBool?c}. "
    "(If you always generate computer-language output, then it's might be reasonable to set the "
    "\"boolean_format\" setting to \"c\" instead.)\n----\nTip: If you need the same two values on most "
    "places, the programmers can set the \"boolean_format\" setting to something like \"yes,no\". "
    "However, then it will be easy to unwillingly format booleans like that.\n----";

Error bad_boolean_format(std::string_view setting) {
  std::string msg =
      "Setting value must be a string that contains two comma-separated values for true and false, "
      "or it must be \"c\", but it was \"";
  java_string_enc(setting, msg);
  msg += "\".";
  return Error::misc(std::move(msg));
}

}  // namespace

Result<std::string> boolean_format(const Environment& env, bool flag, bool legacy_allowed) {
  const std::string& s = env.settings().boolean_format;
  if (s == "c") return std::string(flag ? "true" : "false");
  if (s == kLegacyBooleanFormat) {
    if (legacy_allowed) return std::string(flag ? "true" : "false");
    return Error::misc(std::string(kLegacyBooleanMessage));
  }
  const size_t comma = s.find(',');
  if (comma == std::string::npos) return bad_boolean_format(s);
  return flag ? s.substr(0, comma) : s.substr(comma + 1);
}

std::optional<std::pair<std::string, std::string>> boolean_format_strings(const Environment& env) {
  const std::string& s = env.settings().boolean_format;
  if (s == "c") return std::pair<std::string, std::string>("true", "false");
  if (s == kLegacyBooleanFormat) return std::nullopt;
  const size_t comma = s.find(',');
  if (comma == std::string::npos) return std::nullopt;
  return std::pair<std::string, std::string>(s.substr(0, comma), s.substr(comma + 1));
}

// ---- Dates -----------------------------------------------------------------------

namespace {

constexpr std::string_view kUnknownDateKindMessage =
    "Can't convert the date-like value to string because it isn't known if it's a date (no time part), "
    "time or date-time value.\n\n----\nTip: Use ?date, ?time, or ?datetime to tell Tovarn the exact "
    "type.\n----\nTip: If you need a particular format only once, use ?string(pattern), like "
    "?string('dd.MM.yyyy HH:mm:ss'), to specify which fields to display. \n----";

}  // namespace

Status format_date_value(Environment& env, const DateValue& date, std::string_view pattern, std::string& out) {
  const Settings& s = env.settings();
  return format_date(date, pattern, s.locale, s.time_zone, out);
}

// ---- model_to_string ---------------------------------------------------------------

namespace {

const std::string& date_format_for(const Settings& s, DateKind kind) {
  switch (kind) {
    case DateKind::Date: return s.date_format;
    case DateKind::Time: return s.time_format;
    default: return s.datetime_format;
  }
}

}  // namespace

Status append_model_string(Environment& env, const TModel& value, std::string& out) {
  const Settings& s = env.settings();
  if (value.is_null() && s.classic_compatible) return ok();
  const ModelObject& o = *value;
  if (o.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(TextRef t, o.as_string());
    out.append(t.view());
    return ok();
  }
  if (o.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber n, o.as_number());
    return format_number(&env.decimal_patterns(), s.number_format, s.locale, n, out);
  }
  if (o.has(Cap::Boolean)) {
    ASSIGN_OR_RETURN(bool b, o.as_boolean());
    if (s.classic_compatible) {
      if (b) out += "true";
      return ok();
    }
    ASSIGN_OR_RETURN(std::string text, boolean_format(env, b, false));
    out += text;
    return ok();
  }
  if (o.has(Cap::Date)) {
    ASSIGN_OR_RETURN(DateValue d, o.as_date());
    if (d.kind == DateKind::Unknown) return Error::misc(std::string(kUnknownDateKindMessage));
    return format_date_value(env, d, date_format_for(s, d.kind), out);
  }
  return Error::type_mismatch("string-like value", value.type_name());
}

Result<std::string> model_to_string(Environment& env, const TModel& value) {
  std::string out;
  TRY(append_model_string(env, value, out));
  return out;
}

Result<std::string> eval_to_string(Environment& env, const Expr& expr) {
  ASSIGN_OR_RETURN(TModel v, eval(env, expr));
  if (v.is_null()) return Error::invalid_reference(expr_desc(expr));
  return model_to_string(env, v);
}

// ---- Escaping ----------------------------------------------------------------------

namespace {

// An #escape expression with its placeholder bound to `value`.
Result<TModel> eval_escape_expression(Environment& env, const EscapeState& st, const TModel& value) {
  LocalBindings placeholder(env, *st.var_name, value);
  return eval(env, *st.expr);
}

// Applies one #escape entry to the current value.
Result<TModel> apply_escape_entry(Environment& env, const EscapeState& st, const TModel& value) {
  if (st.kind == EscapeState::Kind::ExprEscape) return eval_escape_expression(env, st, value);
  ASSIGN_OR_RETURN(std::string text, model_to_string(env, value));
  std::string escaped;
  if (st.kind == EscapeState::Kind::HtmlEscape) html_escape(text, escaped);
  else xml_escape(text, escaped);
  return TModel::from_scalar(std::move(escaped));
}

// The escape stack walked innermost first; each #noescape suspends the next
// enclosing #escape.
Result<TModel> apply_escape_stack(Environment& env, const TModel& value) {
  TModel current = value;
  int skip = 0;
  const EscapeStack& stack = env.escape_stack();
  for (size_t i = stack.size(); i-- > 0;) {
    const EscapeState& st = stack[i];
    if (st.kind == EscapeState::Kind::NoEscape) {
      ++skip;
    } else if (skip > 0) {
      --skip;
    } else {
      ASSIGN_OR_RETURN(current, apply_escape_entry(env, st, current));
    }
  }
  return current;
}

// The auto-escape of a plain text for the current format.
void auto_escape_text(OutputFormatKind format, std::string_view text, std::string& out) {
  switch (format) {
    case OutputFormatKind::HTML:
    case OutputFormatKind::XHTML: html_escape(text, out); return;
    case OutputFormatKind::XML: xml_escape(text, out); return;
    default: out.append(text); return;
  }
}

Error markup_format_mismatch(OutputFormatKind value_format, OutputFormatKind current) {
  std::string msg = "The value to print is in ";
  msg += output_format_name(value_format);
  msg += " format, which differs from the current output format, ";
  msg += output_format_name(current);
  msg += ". Format conversion wasn't possible.";
  return Error::misc(std::move(msg));
}

// Steps after the escape stack: markup checked against the current format,
// other values auto-escaped when the flag is on.
Status append_escaped(Environment& env, const TModel& value, std::string& out) {
  const OutputFormatKind current = env.settings().output_format;
  if (value.kind() == ModelKind::Markup) {
    const std::optional<OutputFormatKind> own = value->output_format();
    if (!own || *own == current || current == OutputFormatKind::PlainText)
      return append_model_string(env, value, out);
    if (const std::string* plain = value->plain_text()) {
      escape_markup(current, *plain, out);
      return ok();
    }
    return markup_format_mismatch(*own, current);
  }
  if (!env.auto_escaping()) return append_model_string(env, value, out);
  std::string text;
  TRY(append_model_string(env, value, text));
  auto_escape_text(current, text, out);
  return ok();
}

// Whether auto-escaping `text` under `format` would change it.
bool needs_auto_escape(OutputFormatKind format, std::string_view text) {
  switch (format) {
    case OutputFormatKind::HTML:
    case OutputFormatKind::XHTML:
    case OutputFormatKind::XML: return text.find_first_of("<>&\"'") != std::string_view::npos;
    default: return false;
  }
}

}  // namespace

Status apply_escape(Environment& env, const TModel& value, std::string& out) {
  if (env.escape_stack().empty()) {
    if (!env.auto_escaping()) return append_model_string(env, value, out);
    return append_escaped(env, value, out);
  }
  ASSIGN_OR_RETURN(TModel escaped, apply_escape_stack(env, value));
  return append_escaped(env, escaped, out);
}

Result<std::string> apply_escape(Environment& env, const TModel& value) {
  std::string out;
  TRY(apply_escape(env, value, out));
  return out;
}

Status print_value(Environment& env, const TModel& value) {
  // Common case: a string (or markup) with no #escape in force is written
  // straight from the value, in one append.
  if (value.has(Cap::Scalar) && env.escape_stack().empty() &&
      (value.kind() != ModelKind::Markup || !env.auto_escaping())) {
    ASSIGN_OR_RETURN(TextRef t, value->as_string());
    if (!env.auto_escaping() || !needs_auto_escape(env.settings().output_format, t.view())) return env.emit(t.view());
  }
  std::string text;  // numbers and short texts stay in the inline buffer
  TRY(apply_escape(env, value, text));
  return env.emit(text);
}

// ---- Legacy numeric interpolation -----------------------------------------------

namespace {

// Languages whose #{...} output uses a decimal comma.
bool uses_decimal_comma(std::string_view locale) {
  static constexpr std::string_view kLangs[] = {"fr", "de", "es", "tr", "it", "pt", "nl", "sv", "cs", "pl",
                                                "hu", "ro", "ru", "uk", "bg", "el", "fi", "da", "no", "sk",
                                                "sl", "hr", "lt", "lv", "et", "id", "vi", "th"};
  const std::string_view lang = locale.substr(0, locale.find('_'));
  for (std::string_view l : kLangs)
    if (l == lang) return true;
  return false;
}

// unscaled × 10^-scale rounded half-even to `digits` fraction digits.
void round_half_even(BigInteger& unscaled, int64_t& scale, int64_t digits) {
  if (scale <= digits) return;
  BigInteger divisor;
  mpz_ui_pow_ui(divisor.get_mpz_t(), 10, static_cast<unsigned long>(scale - digits));
  BigInteger q, r;
  mpz_tdiv_qr(q.get_mpz_t(), r.get_mpz_t(), unscaled.get_mpz_t(), divisor.get_mpz_t());
  r = abs(r) * 2;
  const int c = cmp(r, divisor);
  if (c > 0 || (c == 0 && mpz_odd_p(q.get_mpz_t()))) q += sgn(unscaled);
  unscaled = std::move(q);
  scale = digits;
}

}  // namespace

std::string legacy_number_text(const TNumber& number, int min_fraction_digits, int max_fraction_digits,
                               std::string_view locale) {
  if (number.kind() == NumberKind::Float || number.kind() == NumberKind::Double) {
    const double d = number.kind() == NumberKind::Float ? number.float_value() : number.double_value();
    if (d != d) return "NaN";
    if (d == HUGE_VAL || d == -HUGE_VAL) return "\u221E";
  }
  const BigDecimal dec = number.as_big_decimal();
  BigInteger unscaled = dec.unscaled();
  int64_t scale = dec.scale();
  if (scale < 0) {  // 1E+3: bring the digits to scale 0
    BigInteger factor;
    mpz_ui_pow_ui(factor.get_mpz_t(), 10, static_cast<unsigned long>(-scale));
    unscaled *= factor;
    scale = 0;
  }
  round_half_even(unscaled, scale, max_fraction_digits);
  while (scale > min_fraction_digits && mpz_divisible_ui_p(unscaled.get_mpz_t(), 10)) {
    unscaled /= 10;
    --scale;
  }
  for (; scale < min_fraction_digits; ++scale) unscaled *= 10;

  const bool negative = sgn(unscaled) < 0;
  std::string digits = BigInteger(abs(unscaled)).get_str();
  if (digits.size() <= static_cast<size_t>(scale)) digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
  std::string out;
  if (negative) out += '-';
  const size_t int_len = digits.size() - static_cast<size_t>(scale);
  out.append(digits, 0, int_len);
  if (scale > 0) {
    out += uses_decimal_comma(locale) ? ',' : '.';
    out.append(digits, int_len, std::string::npos);
  }
  return out;
}

}  // namespace tovarn
