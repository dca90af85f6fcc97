// iso_date_format.h — the ISO 8601 and XML Schema (XS) date formats: the
// option syntax of the "iso ..." / "xs ..." format texts, formatting a date
// value in a time zone, and parsing ISO / XS texts back into date values.
//
//   ASSIGN_OR_RETURN(IsoFormat f, parse_iso_params("iso m nz"));
//   // f.xs == false, f.options.accuracy == IsoAccuracy::Minutes,
//   // f.options.zone == IsoZoneVisibility::Never
//   std::string out;
//   TRY(format_iso_like_with_tz(date, f.options, f.xs, tz, out));  // "2024-03-05T14:07"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings_values.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

// How much of the time of day is written.
enum class IsoAccuracy : uint8_t {
  Hours,            // "14"
  Minutes,          // "14:07"
  Seconds,          // "14:07:09"
  MillisIfPresent,  // "14:07:09.12" ("14:07:09" when the milliseconds are 0); the default
  Millis,           // "14:07:09.120"
};

// Whether the zone offset is written.
enum class IsoZoneVisibility : uint8_t {
  Default,  // for date-time values only
  Never,    // option "nz"
  Always,   // option "fz"
};

// Whether the value is shown in UTC instead of the given time zone.
enum class IsoUtcUse : uint8_t { None, Utc /* "u" */, ForceUtc /* "fu" */ };

struct IsoOptions {
  IsoAccuracy accuracy = IsoAccuracy::MillisIfPresent;
  IsoZoneVisibility zone = IsoZoneVisibility::Default;
  IsoUtcUse utc = IsoUtcUse::None;
};

// A parsed "iso ..." or "xs ..." format text.
struct IsoFormat {
  bool xs = false;
  IsoOptions options;
};

// True when a date format text selects the ISO or XS family: it begins with
// "iso" or "xs".
//   is_iso_like("iso_m") == true;  is_iso_like("yyyy") == false
bool is_iso_like(std::string_view format) noexcept;

// Parses a whole format text "iso" or "xs" followed by options, each preceded
// by a space or "_": accuracy "h", "m", "s", "ms"; zone offset "nz", "fz";
// UTC use "u", "fu". Positions in messages are 0-based in `format`.
//   parse_iso_params("xs ms_nz")  // XS, Millis, Never
//   parse_iso_params("isom")      // error: Missing space or "_" before "m" (at char pos. 3).
//   parse_iso_params("xs h")      // error: Less than seconds accuracy isn't allowed ...
Result<IsoFormat> parse_iso_params(std::string_view format);

// Appends `date` as ISO 8601 (or XS when `xs`) text, shown in `tz` (or in UTC
// when the options ask for it). Date values get the date part, time values
// the time part, date-time and unknown values both, joined by "T".
//   1970-01-01T00:00:00.5Z in UTC, default options  -> "1970-01-01T00:00:00.5Z"
//   a date-only value with IsoZoneVisibility::Always -> error (ISO), "1970-01-01Z" (XS)
Status format_iso_like_with_tz(const DateValue& date, const IsoOptions& options, bool xs,
                               const TzSetting& tz, std::string& out);
Result<std::string> format_iso_like_with_tz(const DateValue& date, const IsoOptions& options, bool xs,
                                            const TzSetting& tz);

// Parses an ISO 8601 (or XS) text of the given kind (Date, Time, or DateTime;
// Unknown reads a date-time). Accepted forms:
//   date       [+-]YYYY-MM-DD (year of 1 or more digits), or YYYYMMDD; XS: an
//              optional offset may follow the day
//   time       hh, hh:mm, hh:mm:ss, hh:mm:ss.fff (or "," before the fraction),
//              or the basic hhmm / hhmmss forms; XS: hh:mm:ss[.fff] only;
//              an optional offset follows
//   date-time  date "T" time
//   offset     "Z", +hh, +hhmm, +hh:mm (XS: "Z" or +hh:mm)
// A text without an offset is wall time in `tz` (in UTC when options.utc is
// set). The result has the zone offset used and the asked kind.
//   parse_iso_like("2024-03-05T14:07:09.5+01:00", DateKind::DateTime, false, {}, tz)
//   // epoch_seconds 1709644029, nanos 500000000, offset_seconds 3600
Result<DateValue> parse_iso_like(std::string_view text, DateKind kind, bool xs, const IsoOptions& options,
                                 const TzSetting& tz);

// Parses a zone offset: "Z" is 0; else a sign, two hour digits (0 .. 23) and
// optionally two minute digits (0 .. 59), with or without ":" between. When
// `xs` the ":" form is required. Returns seconds east of UTC.
//   parse_offset("+05:30", false) == 19800;  parse_offset("-08", false) == -28800
Result<int32_t> parse_offset(std::string_view text, bool xs = false);

}  // namespace tovarn
