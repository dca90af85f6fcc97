// output_format.h — output formats and markup values: which formats escape by
// default and which capture bodies as markup, the markup value constructor,
// the auto-escaping policy rules (the run's starting flag and the legacy-
// escaping ban), the re-escaping of markup for another format, and the
// markup built-ins ?esc, ?no_esc and ?markup_string.
//
// Format names and spellings come from settings_values.h
// (parse_output_format_name / output_format_name) and the per-format escape
// from utility.h (escape_markup); both are re-exported by this header.
//
//   TModel m = markup_model_with("a&lt;b", std::string("a<b"), OutputFormatKind::HTML);
//   escapes_by_default(OutputFormatKind::CSS)   // true
//   captured_as_markup(OutputFormatKind::CSS)   // false
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/configurable.h"
#include "core/settings_values.h"
#include "error/template_error.h"
#include "template/t_model.h"
#include "template/utility.h"

namespace tovarn {

class Environment;

// HTML, XML, XHTML, CSS and RTF escape by default: the "default"
// auto-escaping policy turns auto-escaping on for them, and they count as
// markup formats for the legacy-escaping ban.
bool escapes_by_default(OutputFormatKind kind);

// HTML, XML, XHTML and RTF: a captured-body #assign run under one of these
// stores a markup value of that format instead of a string.
bool captured_as_markup(OutputFormatKind kind);

// A markup value: its string capability reads `markup`; `plain_text` is the
// unescaped source when known (it allows re-escaping for another format).
// Kind Markup, type "markup_output", no other capability.
//   markup_model_with("&lt;", std::string("<"), OutputFormatKind::HTML)
TModel markup_model_with(std::string markup, std::optional<std::string> plain_text, OutputFormatKind format);

// The markup value's format; nothing for any other value.
std::optional<OutputFormatKind> markup_format(const TModel& value);

// The auto-escaping flag a run starts with: policy "on" → true, "off" →
// false, "default" → escapes_by_default(settings.output_format).
bool initial_auto_escaping(const Settings& settings);

// Whether ?html, ?xml, ?web_safe (and ?rtf) are refused: the current output
// format escapes by default and the policy would turn auto-escaping on for it
// ("on" or "default"). Read from the settings, not from the run's flag, so
// #noautoesc does not lift the ban.
bool legacy_escaping_banned(const Settings& settings);

// A markup value made fit for the current output format C: unchanged when
// its format equals C or C is plainText; re-escaped from its plain text when
// it has one; otherwise the error naming `builtin_name` ("esc", "no_esc")
// and both formats.
Result<TModel> convert_markup_or_bypass(const TModel& value, Environment& env, std::string_view builtin_name);

// `x?esc`: a markup value → convert_markup_or_bypass; Null → the
// invalid-reference error "The value is null or missing"; anything else →
// its text escaped for the current format, as a markup value keeping the text.
//   (in HTML) "a<b"?esc  → markup "a&lt;b", plain text "a<b"
Result<TModel> builtin_esc(Environment& env, const TModel& target);

// `x?no_esc`: like builtin_esc, but plain values become markup as they are
// (no plain text kept).
Result<TModel> builtin_no_esc(Environment& env, const TModel& target);

// `x?markup_string`: the markup text of a markup value as a plain string;
// any other value is a type mismatch expecting "markup output".
Result<TModel> builtin_markup_string(Environment& env, const TModel& target);

}  // namespace tovarn
