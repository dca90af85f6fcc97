// java_date_format.h — date patterns ("yyyy-MM-dd HH:mm"), the named styles
// ("short", "medium", "long", "full" and their date_time pairs), the month,
// weekday and AM/PM texts of the supported locales, formatting and parsing
// by pattern, and the entry points that pick the format family from a format
// text (style, pattern, or ISO 8601 / XML Schema).
//
//   std::string out;
//   TRY(format_date(date, "yyyy-MM-dd HH:mm", "en_US", tz, out));  // "2024-03-05 14:07"
//   TRY(format_date(date, "iso", "en_US", tz, out));               // "2024-03-05T14:07:09Z"
//   TRY(format_date(date, "long", "hu_HU", tz, out));              // "2024. március 5."
//   ASSIGN_OR_RETURN(DateValue d, parse_date("March 5, 2024", "MMMM d, yyyy", DateKind::Date, "en_US", tz));
//
// Only the language of a locale matters (the text before the first "_"):
// "hu" selects the Hungarian texts, every other language the English ones.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings_values.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

// ---- Locale texts ----

// The 12 month names, January first.
//   month_names("hu_HU", true)[2] == "márc."
const std::array<std::string_view, 12>& month_names(std::string_view locale, bool abbreviated);

// The 7 weekday names, Monday first.
//   weekday_names("en_US", false)[0] == "Monday"
const std::array<std::string_view, 7>& weekday_names(std::string_view locale, bool abbreviated);

// The AM and PM texts: "AM"/"PM", or "de"/"du" in Hungarian.
struct AmPmTexts {
  std::string_view am;
  std::string_view pm;
};
AmPmTexts am_pm_texts(std::string_view locale);

// ---- Named styles ----

enum class DateStyle : uint8_t { Short = 1, Medium = 2, Long = 3, Full = 4 };

// "short", "medium", "long", "full" (exact spelling); nothing otherwise.
std::optional<DateStyle> parse_date_style(std::string_view word);

// The locale's pattern for the date or the time part of a style.
//   date_pattern(DateStyle::Short, "en_US") == "M/d/yy"
//   time_pattern(DateStyle::Full, "hu_HU") == "H:mm:ss zzzz"
std::string_view date_pattern(DateStyle style, std::string_view locale);
std::string_view time_pattern(DateStyle style, std::string_view locale);

// The pattern a style text stands for, or nothing when `text` is not made of
// style words. The empty text is "medium". Date and time values take one
// word; date-time and unknown values one word for both parts or "date_time"
// (date style first), giving the date pattern, a space and the time pattern.
//   resolve_named_style("short_full", DateKind::DateTime, "en_US") == "M/d/yy h:mm:ss a zzzz"
//   resolve_named_style("short_full", DateKind::Date, "en_US")     == nothing
std::optional<std::string> resolve_named_style(std::string_view text, DateKind kind, std::string_view locale);

// ---- Patterns ----

// One token of a scanned pattern: literal text, or a field letter repeated
// `count` times.
struct PatternToken {
  enum class Kind : uint8_t { Literal, Field };
  Kind kind = Kind::Literal;
  char letter = 0;      // Field: one of y M d H h m s S a E z Z X G
  uint32_t count = 0;   // Field: the run length
  std::string text;     // Literal: the text, quotes resolved

  bool operator==(const PatternToken&) const = default;
};

// Splits a pattern into tokens. A run of one ASCII letter is a field; text in
// single quotes is literal ("''" is one quote, inside or outside quotes);
// every other character is literal. Letters outside the field set fail with
// "Illegal pattern character 'k'".
//   scan_pattern("d 'of' MMM")  -> [d×1, " ", "of", " ", M×3]
Result<std::vector<PatternToken>> scan_pattern(std::string_view pattern);

// Appends `date` formatted by `pattern`, shown in `tz` (the instant is
// shifted to the zone's offset at that instant). On error `out` is left as
// it was.
//   format_java("h:mm a", <00:30 UTC>, "en_US", utc, out)  // "12:30 AM"
Status format_java(std::string_view pattern, const DateValue& date, std::string_view locale, const TzSetting& tz,
                   std::string& out);
Result<std::string> format_java(std::string_view pattern, const DateValue& date, std::string_view locale,
                                const TzSetting& tz);

// Parses `text` by `pattern`. Fields the pattern lacks default to 1970-01-01
// 00:00:00.000. Without a zone field in the pattern the text is wall time in
// `tz`. The result has the kind `kind`.
//   parse_java("05/03/79", "dd/MM/yy", "en_US", utc, DateKind::Date)  // 2079-03-05
//   parse_java("13:00 PM", "H:mm a", ...)  // error: The string doesn't match ...
Result<DateValue> parse_java(std::string_view text, std::string_view pattern, std::string_view locale,
                             const TzSetting& tz, DateKind kind);

// ---- Format texts ----

// Formats `date` by a format text as the date_format, time_format and
// datetime_format settings and ?string(...) give it:
//   "@name..."        fails: no custom date formats exist;
//   "iso..." "xs..."  ISO 8601 / XML Schema with options (parse_iso_params);
//   style words       the locale's pattern for them ("" is "medium");
//   anything else     a date pattern.
// The value is shown in `tz`. An Unknown kind is treated as a date-time.
Status format_date(const DateValue& date, std::string_view format, std::string_view locale, const TzSetting& tz,
                   std::string& out);
Result<std::string> format_date(const DateValue& date, std::string_view format, std::string_view locale,
                                const TzSetting& tz);

// Parses `text` by a format text, the counterpart of format_date used by
// ?date(...), ?time(...) and ?datetime(...): ISO / XS forms, style words or a
// pattern. The result has the kind `kind`.
//   parse_date("2024-03-05", "iso", DateKind::Date, "en_US", tz)
Result<DateValue> parse_date(std::string_view text, std::string_view format, DateKind kind,
                             std::string_view locale, const TzSetting& tz);

}  // namespace tovarn
