// value_output.h — turning values into output text: the conversion every
// string context uses (model_to_string), the #escape/#noescape stack and the
// escaping applied when a value is printed (apply_escape, print_value), the
// boolean_format setting, and the choice of date formatter.
//
//   ASSIGN_OR_RETURN(std::string s, model_to_string(env, value));   // "1,234" for Int 1234
//   TRY(print_value(env, value));     // what ${value} writes, escaped as the state says
//
// The appending forms write into a caller's buffer so that printing needs no
// temporary string for plain text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;
struct Expr;

// One entry of the escape stack, pushed by #escape or #noescape for the
// extent of its body. The name and expression belong to the element tree,
// which outlives the entry.
struct EscapeState {
  enum class Kind : uint8_t {
    NoEscape,    // #noescape: suspends the next enclosing #escape
    HtmlEscape,  // #escape x as x?html (or x?xhtml)
    XmlEscape,   // #escape x as x?xml
    ExprEscape,  // any other #escape: `expr` with `var_name` bound to the value
  };
  Kind kind = Kind::NoEscape;
  const std::string* var_name = nullptr;  // ExprEscape
  const Expr* expr = nullptr;             // ExprEscape

  static EscapeState no_escape() { return {}; }
  // Classifies `#escape var as expr`: `var?html`, `var?xhtml` and `var?xml`
  // (no argument list) take the fast kinds, everything else is ExprEscape.
  static EscapeState for_escape(const std::string& var_name, const Expr& expr);
};

// The environment's escape stack, innermost entry last.
using EscapeStack = std::vector<EscapeState>;

// Converts a value to text as string contexts do: Null (classic_compatible
// only) → ""; a string (a markup value gives its markup) → itself; a number
// by the number_format setting and locale; a boolean by boolean_format
// (classic_compatible: "true" / ""); a date by the setting of its kind.
// Anything else is a type mismatch expecting "string-like value".
Status append_model_string(Environment& env, const TModel& value, std::string& out);
Result<std::string> model_to_string(Environment& env, const TModel& value);

// eval(), then model_to_string(); a Null result is the invalid-reference
// error naming `expr`.
Result<std::string> eval_to_string(Environment& env, const Expr& expr);

// The text `${value}` writes, escaped by the escape stack, the markup rules
// and the auto-escaping flag of the environment. Appends to `out`.
Status apply_escape(Environment& env, const TModel& value, std::string& out);
Result<std::string> apply_escape(Environment& env, const TModel& value);

// apply_escape() written to the environment's output. A plain string with
// nothing to escape is written in one append.
Status print_value(Environment& env, const TModel& value);

// The text of a boolean by the boolean_format setting: "c" → "true"/"false";
// "yes,no" → "yes"/"no" (split at the first comma); the legacy default
// "true,false" only when `legacy_allowed`, else the long "Can't convert
// boolean to string automatically" error; a text without a comma fails.
Result<std::string> boolean_format(const Environment& env, bool flag, bool legacy_allowed);

// The (true, false) texts of boolean_format for ?string on booleans: nothing
// for the legacy default and for a setting without a comma.
std::optional<std::pair<std::string, std::string>> boolean_format_strings(const Environment& env);

// Formats a date by a date_format/time_format/datetime_format text or a
// ?string pattern: "@name" custom formats (never defined), "xs..." and
// "iso..." styles, else named styles or a date pattern in the locale and
// time zone of the environment. Appends to `out`.
Status format_date_value(Environment& env, const DateValue& date, std::string_view pattern, std::string& out);

// `#{value; mNMN}`: the number rounded half-even to `max_fraction_digits`,
// trailing fraction zeros removed down to `min_fraction_digits`, plain
// notation, a decimal comma for the languages that write one; NaN → "NaN",
// infinities → "∞".
//   legacy_number_text(Double 2.5, 0, 0, "en_US") == "2"
//   legacy_number_text(Double 1.2, 2, 2, "de_DE") == "1,20"
std::string legacy_number_text(const TNumber& number, int min_fraction_digits, int max_fraction_digits,
                               std::string_view locale);

}  // namespace tovarn
