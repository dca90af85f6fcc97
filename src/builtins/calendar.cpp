// calendar.cpp — proleptic Gregorian day arithmetic and the zone-offset
// queries behind the date formatters, with a small per-thread cache of ICU
// zone objects so that formatting many dates does not rebuild the zone.
#include "builtins/calendar.h"

#include <unicode/basictz.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <array>
#include <memory>
#include <string>

namespace tovarn {

bool is_leap_year(int64_t year) noexcept {
  return floor_mod(year, 4) == 0 && (floor_mod(year, 100) != 0 || floor_mod(year, 400) == 0);
}

int32_t days_in_month(int64_t year, int32_t month) noexcept {
  static constexpr std::array<int32_t, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// Days-from-civil over 400-year eras, with the year starting in March so that
// the leap day is the last day of the shifted year.
int64_t days_from_civil(int64_t year, int32_t month, int32_t day) noexcept {
  const int64_t y = year - (month <= 2 ? 1 : 0);
  const int64_t era = floor_div(y, 400);
  const int64_t yoe = y - era * 400;                                  // 0 .. 399
  const int64_t mp = (month + 9) % 12;                                // March = 0
  const int64_t doy = (153 * mp + 2) / 5 + day - 1;                   // 0 .. 365
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;          // 0 .. 146096
  return era * 146097 + doe - 719468;
}

CivilDate civil_from_days(int64_t days) noexcept {
  const int64_t z = days + 719468;
  const int64_t era = floor_div(z, 146097);
  const int64_t doe = z - era * 146097;                                       // 0 .. 146096
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // 0 .. 399
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // 0 .. 365
  const int64_t mp = (5 * doy + 2) / 153;                                     // 0 .. 11
  CivilDate c;
  c.day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  c.year = yoe + era * 400 + (c.month <= 2 ? 1 : 0);
  return c;
}

int32_t iso_weekday(int64_t days) noexcept {
  // 1970-01-01 was a Thursday (4).
  return static_cast<int32_t>(floor_mod(days + 3, 7)) + 1;
}

LocalDateTime to_local(int64_t epoch_seconds, int32_t nanos, int32_t offset_seconds) noexcept {
  const int64_t local = epoch_seconds + offset_seconds;
  const int64_t days = floor_div(local, 86400);
  const int64_t sod = local - days * 86400;
  const CivilDate c = civil_from_days(days);
  LocalDateTime t;
  t.year = c.year;
  t.month = c.month;
  t.day = c.day;
  t.hour = static_cast<int32_t>(sod / 3600);
  t.minute = static_cast<int32_t>(sod / 60 % 60);
  t.second = static_cast<int32_t>(sod % 60);
  t.nanos = nanos;
  t.weekday = iso_weekday(days);
  return t;
}

void append_zero_padded(std::string& out, uint64_t value, uint32_t width) {
  char digits[20];
  uint32_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (width > n) out.append(width - n, '0');
  while (n > 0) out += digits[--n];
}

void append_offset(std::string& out, int32_t offset_seconds, std::string_view separator) {
  out += offset_seconds < 0 ? '-' : '+';
  const int64_t minutes = (offset_seconds < 0 ? -int64_t{offset_seconds} : int64_t{offset_seconds}) / 60;
  append_zero_padded(out, static_cast<uint64_t>(minutes / 60), 2);
  out += separator;
  append_zero_padded(out, static_cast<uint64_t>(minutes % 60), 2);
}

namespace {

// The ICU zone for an IANA name, kept per thread: a template usually shows
// all its dates in one zone, and building an ICU zone costs far more than
// querying it. A few entries cover templates that switch zones.
const icu::TimeZone& cached_zone(const std::string& name) {
  struct Entry {
    std::string name;
    std::unique_ptr<icu::TimeZone> zone;
  };
  static constexpr size_t kEntries = 4;
  thread_local std::array<Entry, kEntries> entries;
  thread_local size_t next = 0;
  for (Entry& e : entries) {
    if (e.zone && e.name == name) return *e.zone;
  }
  Entry& e = entries[next];
  next = (next + 1) % kEntries;
  e.name = name;
  e.zone.reset(icu::TimeZone::createTimeZone(
      icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())))));
  return *e.zone;
}

}  // namespace

int32_t zone_offset_at(const TzSetting& tz, int64_t epoch_seconds) {
  if (tz.kind != TzSetting::Kind::Named) return tz_offset_seconds_at(tz, 0.0);
  UErrorCode status = U_ZERO_ERROR;
  int32_t raw = 0, dst = 0;
  cached_zone(tz.name).getOffset(static_cast<double>(epoch_seconds) * 1000.0, false, raw, dst, status);
  return U_SUCCESS(status) ? (raw + dst) / 1000 : 0;
}

int32_t zone_offset_for_local(const TzSetting& tz, int64_t local_seconds) {
  if (tz.kind != TzSetting::Kind::Named) return tz_offset_seconds_at(tz, 0.0);
  const icu::TimeZone& zone = cached_zone(tz.name);
  const double local_millis = static_cast<double>(local_seconds) * 1000.0;
  UErrorCode status = U_ZERO_ERROR;
  int32_t raw = 0, dst = 0;
  if (const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(&zone)) {
    basic->getOffsetFromLocal(local_millis, UCAL_TZ_LOCAL_FORMER, UCAL_TZ_LOCAL_FORMER, raw, dst, status);
  } else {
    zone.getOffset(local_millis, true, raw, dst, status);
  }
  return U_SUCCESS(status) ? (raw + dst) / 1000 : 0;
}

}  // namespace tovarn
