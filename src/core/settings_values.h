// settings_values.h — the spellings each setting accepts: time zones, output
// format names, c_format names, auto-escaping policies, exception-handler
// names, boolean texts, camelCase setting keys, and the validation shared by
// the Python setters and the `#setting` directive. Pure functions; the only
// outside service used is ICU's time-zone database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "error/template_error.h"

namespace tovarn {

// Declared in core/configurable.h, which includes this header for TzSetting;
// the opaque declarations keep the two headers free of an include cycle.
struct Settings;
enum class AutoEscapingPolicy : uint8_t;
enum class OutputFormatKind : uint8_t;

// A parsed time-zone setting: UTC, a fixed offset, or an IANA zone.
// `name` is its canonical name (see java_time_zone_id), what the settings
// report as the time-zone name. The default is the fixed offset 0.
struct TzSetting {
  enum class Kind : uint8_t { Utc, Fixed, Named };
  Kind kind = Kind::Fixed;
  int32_t offset_seconds = 0;  // Fixed only: seconds east of UTC
  std::string name = "GMT+00:00";

  bool operator==(const TzSetting&) const = default;
};

// Parses a time-zone text after trimming white space: "Z", "UTC", "GMT" (any
// letter case) are UTC; "GMT+h", "GMT-hh:mm", "GMT+hhmm" (hours below 24,
// minutes below 60) are fixed offsets; anything else must be an IANA zone
// name. No value when invalid.
//   parse_tz_setting("gmt+2")         // Fixed, 7200 s, name "GMT+02:00"
//   parse_tz_setting("Europe/Paris")  // Named, name "Europe/Paris"
//   parse_tz_setting("Mars/Base")     // nullopt
std::optional<TzSetting> parse_tz_setting(std::string_view text);

// The canonical name of a time-zone text (the text is not validated):
//   "z" → "UTC", "gmt" → "GMT", "gmt+1" → "GMT+01:00", "GMT-0530" → "GMT-05:30";
//   any other text is returned trimmed, letter case unchanged.
std::string java_time_zone_id(std::string_view text);

// The offset from UTC, in seconds, that `tz` has at the instant `utc_millis`
// (milliseconds since 1970-01-01T00:00Z).
int32_t tz_offset_seconds_at(const TzSetting& tz, double utc_millis);

// Stores a parsed time zone into a settings record (its canonical name, and
// the parsed value once the record holds one).
void set_time_zone(Settings& s, const TzSetting& tz);

// Output-format names: exact spellings only ("HTML" and "html", not "Html").
//   parse_output_format_name("JS")                    // JavaScript
//   output_format_name(OutputFormatKind::PlainText)   // "plainText"
std::optional<OutputFormatKind> parse_output_format_name(std::string_view name);
std::string_view output_format_name(OutputFormatKind kind);

// One of "JavaScript or JSON", "JavaScript", "JSON", "Java", "legacy", "XS" (exact).
bool is_c_format_name(std::string_view name);

// "on", "off", "default" in any letter case.
std::optional<AutoEscapingPolicy> parse_auto_escaping_policy(std::string_view text);

// "rethrow", "debug", "html_debug", "ignore" in any letter case.
bool is_exception_handler_name(std::string_view name);

// The snake_case key of a setting name: the known camelCase forms are
// converted ("timeZone" → "time_zone"), every other name returned unchanged.
std::string canonical_setting_key(std::string_view name);

// "true"/"yes"/"y" and "false"/"no"/"n" (exact); else "Invalid boolean value: " + text.
Result<bool> parse_bool_setting(std::string_view text);

// The string case of a yes/no parameter (#include's options):
// "t"/"y"/"yes"/"true" and "f"/"n"/"no"/"false"; else the "Value must be
// boolean (...)" error quoting the text.
Result<bool> get_yes_no_text(std::string_view text);

// Validates the string argument of a TovConfiguration setter, by method name
// ("set_time_zone", "set_c_format", ...). Returns the ValueError message when
// the value is refused; no value when it is accepted or the setter has no
// validation.
//   validate_setter("set_c_format", "json")  // "Unknown C format: json"
std::optional<std::string> validate_setter(std::string_view setter, std::string_view value);

// Validates and stores the string argument of a TovConfiguration setter
// (set_locale, set_time_zone, set_output_format, set_input_encoding, ...).
// Returns the ValueError message and leaves `s` unchanged when refused.
// An unknown setter name, or one whose argument is not a string, is refused
// with "Unknown setter: " + setter.
std::optional<std::string> apply_setter(Settings& s, std::string_view setter, std::string_view value);

// Why `<#setting name=...>` is refused, or no value when the name is allowed:
// the names that only parse time may change get the "recognized, but ..."
// message, unknown names the "Unknown setting name: ..." message listing the
// allowed names. camelCase names are converted first.
//   setting_name_error("numberFormat")  // nullopt
//   setting_name_error("strictSyntax")  // "The setting name is recognized, but ..."
std::optional<std::string> setting_name_error(std::string_view name);

// The run-time part of `<#setting name=value>`: `text` is the value already
// turned into text, `name` a setting name (camelCase is converted). Stores
// into `s`; on failure `s` is unchanged and the error is a general one.
// `run_start_tz` is what time_zone="default" restores.
//   apply_setting_text(s, tz0, "boolean_format", "yes,no")  // ok
//   apply_setting_text(s, tz0, "boolean_format", "yes")     // error
Status apply_setting_text(Settings& s, const TzSetting& run_start_tz, std::string_view name,
                          std::string_view text);

}  // namespace tovarn
