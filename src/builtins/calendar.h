// calendar.h — civil-date arithmetic for the date formatters: the proleptic
// Gregorian calendar over 64-bit day numbers, local date-times broken down
// into fields, and the zone offsets of a time-zone setting in both directions
// (UTC instant → offset, and local wall time → offset), with IANA zones
// served by ICU.
//
//   CivilDate c = civil_from_days(19787);               // 2024-03-05
//   int64_t days = days_from_civil(2024, 3, 5);         // 19787
//   LocalDateTime t = to_local(1709647629, 120000000, 3600);
//   // t.year 2024, t.month 3, t.day 5, t.hour 15, t.minute 7, t.second 9, t.nanos 120000000
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings_values.h"

namespace tovarn {

// Floor division and its non-negative remainder, for instants before 1970.
constexpr int64_t floor_div(int64_t a, int64_t b) noexcept {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}
constexpr int64_t floor_mod(int64_t a, int64_t b) noexcept { return a - floor_div(a, b) * b; }

// A date of the proleptic Gregorian calendar; `year` is astronomical
// (0 is 1 BC, -1 is 2 BC).
struct CivilDate {
  int64_t year = 1970;
  int32_t month = 1;  // 1 .. 12
  int32_t day = 1;    // 1 .. 31
};

bool is_leap_year(int64_t year) noexcept;

// Days in `month` (1 .. 12) of `year`; 0 for a month out of range.
int32_t days_in_month(int64_t year, int32_t month) noexcept;

// Days since 1970-01-01 of a civil date (the fields are not validated).
int64_t days_from_civil(int64_t year, int32_t month, int32_t day) noexcept;

// The civil date `days` days after 1970-01-01.
CivilDate civil_from_days(int64_t days) noexcept;

// Day of week of a day number: 1 = Monday … 7 = Sunday.
int32_t iso_weekday(int64_t days) noexcept;

// A wall-clock date-time broken down into its fields.
struct LocalDateTime {
  int64_t year = 1970;
  int32_t month = 1;
  int32_t day = 1;
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t nanos = 0;
  int32_t weekday = 4;  // 1 = Monday … 7 = Sunday
};

// The wall-clock fields of the UTC instant (`epoch_seconds`, `nanos`) seen
// at `offset_seconds` east of UTC.
LocalDateTime to_local(int64_t epoch_seconds, int32_t nanos, int32_t offset_seconds) noexcept;

// Seconds east of UTC that `tz` has at the UTC instant `epoch_seconds`.
// Daylight saving is included for IANA zones.
int32_t zone_offset_at(const TzSetting& tz, int64_t epoch_seconds);

// Seconds east of UTC that `tz` has at the wall time `local_seconds` (seconds
// since 1970-01-01T00:00 local). A wall time skipped by a forward transition
// is read with the offset before it (so 02:30 on a spring-forward night reads
// as 03:30 summer time); a repeated one takes the earlier of its two offsets.
int32_t zone_offset_for_local(const TzSetting& tz, int64_t local_seconds);

// Appends the decimal digits of |value|, left-padded with zeros to `width`
// (no sign is written).
//   append_zero_padded(out, 7, 3)  // "007"
void append_zero_padded(std::string& out, uint64_t value, uint32_t width);

// Appends an offset as sign, two hour digits, `separator` and two minute
// digits: 3600 → "+01:00" (separator ":"), -19800 → "-0530" (separator "").
void append_offset(std::string& out, int32_t offset_seconds, std::string_view separator);

}  // namespace tovarn
