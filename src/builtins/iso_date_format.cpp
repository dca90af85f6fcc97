// iso_date_format.cpp — the ISO 8601 / XML Schema option parser, formatter
// and parser.
#include "builtins/iso_date_format.h"

#include <unicode/utf8.h>

#include <optional>

#include "builtins/calendar.h"

namespace tovarn {
namespace {

constexpr std::string_view kDateMismatch = "The date part didn't match the expected pattern.";

// The 0-based character position of byte `pos` in `text`.
size_t char_pos(std::string_view text, size_t pos) {
  size_t chars = 0;
  for (size_t i = 0; i < pos && i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++chars;
  }
  return chars;
}

// The whole UTF-8 character that starts at byte `pos`.
std::string_view char_at(std::string_view text, size_t pos) {
  int32_t i = static_cast<int32_t>(pos);
  UChar32 c;
  U8_NEXT(text.data(), i, static_cast<int32_t>(text.size()), c);
  (void)c;
  return text.substr(pos, static_cast<size_t>(i) - pos);
}

std::string at_pos(std::string_view format, size_t pos) {
  return " (at char pos. " + std::to_string(char_pos(format, pos)) + ").";
}

// A non-negative decimal field of at most nine digits; anything else fails
// with "The {name} part is a malformed integer.".
Result<int32_t> parse_field(std::string_view text, std::string_view name) {
  if (text.empty() || text.size() > 9) {
    return Error::misc("The " + std::string(name) + " part is a malformed integer.");
  }
  int32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return Error::misc("The " + std::string(name) + " part is a malformed integer.");
    v = v * 10 + (c - '0');
  }
  return v;
}

Status check_range(int32_t v, std::string_view name, int32_t min, int32_t max) {
  if (v < min) {
    return Error::misc("The " + std::string(name) + " part must be at least " + std::to_string(min) + ".");
  }
  if (v > max) {
    return Error::misc("The " + std::string(name) + " part can't be more than " + std::to_string(max) + ".");
  }
  return ok();
}

// Splits `text` at every `sep`.
template <size_t N>
size_t split(std::string_view text, char sep, std::string_view (&parts)[N]) {
  size_t n = 0;
  while (true) {
    const size_t at = text.find(sep);
    if (n == N) return N + 1;  // too many parts
    parts[n++] = text.substr(0, at);
    if (at == std::string_view::npos) return n;
    text.remove_prefix(at + 1);
  }
}

// Reads the date part ("[+-]YYYY-MM-DD" or "YYYYMMDD") into days since 1970.
Result<int64_t> parse_date_part(std::string_view text, bool xs) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::string_view parts[3];
  if (text.find('-') == std::string_view::npos) {
    if (xs || negative || text.size() != 8) return Error::misc(std::string(kDateMismatch));
    parts[0] = text.substr(0, 4);
    parts[1] = text.substr(4, 2);
    parts[2] = text.substr(6, 2);
  } else if (split(text, '-', parts) != 3 || parts[1].size() != 2 || parts[2].size() != 2) {
    return Error::misc(std::string(kDateMismatch));
  }
  ASSIGN_OR_RETURN(int64_t year, parse_field(parts[0], "year"));
  ASSIGN_OR_RETURN(int32_t month, parse_field(parts[1], "month"));
  ASSIGN_OR_RETURN(int32_t day, parse_field(parts[2], "day-of-month"));
  TRY(check_range(month, "month", 1, 12));
  TRY(check_range(day, "day-of-month", 1, 31));
  if (negative) year = -year;
  if (xs) {
    if (year == 0) return Error::misc("Year 0 is not allowed in XML schema dates. BC 1 is -1, AD 1 is 1.");
    if (year < 0) ++year;  // XS has no year 0: -1 is 1 BC, astronomical year 0
  }
  if (day > days_in_month(year, month)) return Error::misc("Date calculation faliure.");
  return days_from_civil(year, month, day);
}

struct TimeOfDay {
  int64_t seconds = 0;  // may be 86400 for 24:00:00
  int32_t nanos = 0;
};

// Reads the time part: hh, hh:mm, hh:mm:ss[.f], or the basic forms without ":".
Result<TimeOfDay> parse_time_part(std::string_view text, bool xs) {
  std::optional<std::string_view> fraction;
  if (const size_t dot = text.find_first_of(".,"); dot != std::string_view::npos) {
    if (xs && text[dot] == ',') return Error::misc(std::string(kDateMismatch));
    fraction = text.substr(dot + 1);
    text = text.substr(0, dot);
  }
  std::string_view parts[3];
  size_t n = 0;
  if (text.find(':') != std::string_view::npos) {
    n = split(text, ':', parts);
    if (n > 3) return Error::misc(std::string(kDateMismatch));
  } else {
    if (xs || text.empty() || text.size() > 6 || text.size() % 2 != 0) {
      return Error::misc(std::string(kDateMismatch));
    }
    for (; n * 2 < text.size(); ++n) parts[n] = text.substr(n * 2, 2);
  }
  for (size_t i = 0; i < n; ++i) {
    if (parts[i].size() != 2) return Error::misc(std::string(kDateMismatch));
  }
  if ((xs && n != 3) || (fraction && n != 3)) return Error::misc(std::string(kDateMismatch));

  ASSIGN_OR_RETURN(int32_t hour, parse_field(parts[0], "hour-of-day"));
  int32_t minute = 0, second = 0, nanos = 0;
  if (n > 1) {
    ASSIGN_OR_RETURN(minute, parse_field(parts[1], "minute"));
  }
  if (n > 2) {
    ASSIGN_OR_RETURN(second, parse_field(parts[2], "second"));
  }
  if (fraction) {
    if (fraction->empty()) return Error::misc("The partial-seconds part is a malformed integer.");
    int32_t scale = 100'000'000;
    for (char c : *fraction) {
      if (c < '0' || c > '9') return Error::misc("The partial-seconds part is a malformed integer.");
      nanos += (c - '0') * scale;  // digits beyond nanoseconds are dropped
      scale /= 10;
    }
  }
  if (hour > 24) return Error::misc("The hour-of-day part can't be more than 24.");
  if (minute > 59) return Error::misc("The minute part can't be more than 59.");
  if (second > 60) return Error::misc("The second part can't be more than 60.");
  if (hour == 24 && (minute != 0 || second != 0 || nanos != 0)) {
    return Error::misc("Hour 24 is only allowed in the case of midnight.");
  }
  // A leap second (60) runs into the next minute.
  return TimeOfDay{hour * 3600LL + minute * 60LL + second, nanos};
}

// Splits "time[offset]" at the offset, which starts at "Z", "+" or "-".
void split_offset(std::string_view text, std::string_view& main, std::optional<std::string_view>& offset) {
  const size_t at = text.find_first_of("Z+-");
  main = text.substr(0, at);
  if (at != std::string_view::npos) offset = text.substr(at);
}

// Splits an XS date "YYYY-MM-DD[offset]" at its offset: "Z" or a signed
// "hh:mm" that ends the text.
void split_date_offset(std::string_view text, std::string_view& main, std::optional<std::string_view>& offset) {
  main = text;
  if (!text.empty() && text.back() == 'Z') {
    main = text.substr(0, text.size() - 1);
    offset = text.substr(text.size() - 1);
  } else if (text.size() > 6 && (text[text.size() - 6] == '+' || text[text.size() - 6] == '-') &&
             text[text.size() - 3] == ':') {
    main = text.substr(0, text.size() - 6);
    offset = text.substr(text.size() - 6);
  }
}

}  // namespace

bool is_iso_like(std::string_view format) noexcept {
  return format.starts_with("iso") || format.starts_with("xs");
}

Result<IsoFormat> parse_iso_params(std::string_view format) {
  IsoFormat result;
  size_t pos = 0;
  if (format.starts_with("xs")) {
    result.xs = true;
    pos = 2;
  } else if (format.starts_with("iso")) {
    pos = 3;
  } else {
    return Error::misc("Not an ISO 8601 or XML Schema date format: \"" + std::string(format) + "\"");
  }
  IsoOptions& o = result.options;
  bool accuracy_set = false, zone_set = false, utc_set = false, separated = false;
  while (pos < format.size()) {
    const char c = format[pos];
    if (c == ' ' || c == '_') {
      separated = true;
      ++pos;
      continue;
    }
    const char next = pos + 1 < format.size() ? format[pos + 1] : '\0';
    enum class Group { Accuracy, Zone, Utc } group = Group::Accuracy;
    size_t len = 1;
    IsoAccuracy accuracy = IsoAccuracy::Seconds;
    IsoZoneVisibility zone = IsoZoneVisibility::Default;
    IsoUtcUse utc = IsoUtcUse::None;
    switch (c) {
      case 'h': accuracy = IsoAccuracy::Hours; break;
      case 'm':
        if (next == 's') {
          accuracy = IsoAccuracy::Millis;
          len = 2;
        } else {
          accuracy = IsoAccuracy::Minutes;
        }
        break;
      case 's': accuracy = IsoAccuracy::Seconds; break;
      case 'n':
        if (next != 'z') return Error::misc("\"n\" must be followed by \"z\"" + at_pos(format, pos));
        group = Group::Zone;
        zone = IsoZoneVisibility::Never;
        len = 2;
        break;
      case 'f':
        if (next == 'z') {
          group = Group::Zone;
          zone = IsoZoneVisibility::Always;
        } else if (next == 'u') {
          group = Group::Utc;
          utc = IsoUtcUse::ForceUtc;
        } else {
          return Error::misc("\"f\" must be followed by \"z\"" + at_pos(format, pos));
        }
        len = 2;
        break;
      case 'u':
        group = Group::Utc;
        utc = IsoUtcUse::Utc;
        break;
      default:
        return Error::misc("Unexpected character, \"" + std::string(char_at(format, pos)) +
                           "\". Expected the beginning of one of: h, m, s, ms, nz, fz, u" + at_pos(format, pos));
    }
    if (!separated) {
      return Error::misc("Missing space or \"_\" before \"" + std::string(format.substr(pos, len)) + "\"" +
                         at_pos(format, pos));
    }
    switch (group) {
      case Group::Accuracy:
        if (accuracy_set) {
          return Error::misc("Character \"" + std::string(1, c) +
                             "\" is unexpected as accuracy was already specified earlier" + at_pos(format, pos));
        }
        if (result.xs && (accuracy == IsoAccuracy::Hours || accuracy == IsoAccuracy::Minutes)) {
          return Error::misc("Less than seconds accuracy isn't allowed by the XML Schema format");
        }
        accuracy_set = true;
        o.accuracy = accuracy;
        break;
      case Group::Zone:
        if (zone_set) {
          return Error::misc("Character \"" + std::string(1, c) +
                             "\" is unexpected as zone offset visibility was already specified earlier." +
                             at_pos(format, pos));
        }
        zone_set = true;
        o.zone = zone;
        break;
      case Group::Utc:
        if (utc_set) return Error::misc("The UTC usage option was already set earlier.");
        utc_set = true;
        o.utc = utc;
        break;
    }
    separated = false;
    pos += len;
  }
  return result;
}

Status format_iso_like_with_tz(const DateValue& date, const IsoOptions& options, bool xs, const TzSetting& tz,
                               std::string& out) {
  const DateKind kind = date.kind == DateKind::Unknown ? DateKind::DateTime : date.kind;
  const bool has_date = kind != DateKind::Time;
  const bool has_time = kind != DateKind::Date;
  const bool show_offset = options.zone == IsoZoneVisibility::Always ||
                           (options.zone == IsoZoneVisibility::Default && kind == DateKind::DateTime);
  if (show_offset && !has_time && !xs) {
    return Error::misc("ISO 8601:2004 doesn't specify any formats where the offset is shown but the time isn't.");
  }
  const int32_t offset = options.utc != IsoUtcUse::None ? 0 : zone_offset_at(tz, date.epoch_seconds);
  const LocalDateTime t = to_local(date.epoch_seconds, date.nanos, offset);

  if (has_date) {
    const int64_t year = xs && t.year <= 0 ? t.year - 1 : t.year;
    if (year >= 0) {
      append_zero_padded(out, static_cast<uint64_t>(year), 4);
    } else {
      out += '-';
      append_zero_padded(out, static_cast<uint64_t>(-year), 1);
    }
    out += '-';
    append_zero_padded(out, static_cast<uint64_t>(t.month), 2);
    out += '-';
    append_zero_padded(out, static_cast<uint64_t>(t.day), 2);
  }
  if (has_date && has_time) out += 'T';
  if (has_time) {
    append_zero_padded(out, static_cast<uint64_t>(t.hour), 2);
    if (options.accuracy >= IsoAccuracy::Minutes) {
      out += ':';
      append_zero_padded(out, static_cast<uint64_t>(t.minute), 2);
    }
    if (options.accuracy >= IsoAccuracy::Seconds) {
      out += ':';
      append_zero_padded(out, static_cast<uint64_t>(t.second), 2);
    }
    const uint32_t millis = static_cast<uint32_t>(t.nanos / 1'000'000);
    if (options.accuracy == IsoAccuracy::Millis) {
      out += '.';
      append_zero_padded(out, millis, 3);
    } else if (options.accuracy == IsoAccuracy::MillisIfPresent && millis != 0) {
      out += '.';
      uint32_t v = millis, width = 3;
      for (; v % 10 == 0; v /= 10) --width;
      append_zero_padded(out, v, width);
    }
  }
  if (show_offset) {
    if (offset == 0) {
      out += 'Z';
    } else {
      append_offset(out, offset, ":");
    }
  }
  return ok();
}

Result<std::string> format_iso_like_with_tz(const DateValue& date, const IsoOptions& options, bool xs,
                                            const TzSetting& tz) {
  std::string out;
  TRY(format_iso_like_with_tz(date, options, xs, tz, out));
  return out;
}

Result<int32_t> parse_offset(std::string_view text, bool xs) {
  if (text == "Z") return 0;
  const bool form_ok = text.size() >= 3 && (text[0] == '+' || text[0] == '-') &&
                       (xs ? text.size() == 6 && text[3] == ':'
                           : text.size() == 3 || (text.size() == 5 && text[3] != ':') ||
                                 (text.size() == 6 && text[3] == ':'));
  if (!form_ok) return Error::misc("The time zone offset is malformed.");
  ASSIGN_OR_RETURN(int32_t hours, parse_field(text.substr(1, 2), "offset-hours"));
  int32_t minutes = 0;
  if (text.size() > 3) {
    ASSIGN_OR_RETURN(minutes, parse_field(text.substr(text.size() - 2), "offset-minutes"));
  }
  if (hours > 23) return Error::misc("The offset-hours part must be at least 0 and can't be more than 23.");
  if (minutes > 59) return Error::misc("The offset-minutes part must be at least 0 and can't be more than 59.");
  const int32_t seconds = hours * 3600 + minutes * 60;
  return text[0] == '-' ? -seconds : seconds;
}

Result<DateValue> parse_iso_like(std::string_view text, DateKind kind, bool xs, const IsoOptions& options,
                                 const TzSetting& tz) {
  if (kind == DateKind::Unknown) kind = DateKind::DateTime;
  std::string_view date_text, time_text;
  std::optional<std::string_view> offset_text;
  switch (kind) {
    case DateKind::Date:
      if (xs) {
        split_date_offset(text, date_text, offset_text);
      } else {
        date_text = text;
      }
      break;
    case DateKind::Time:
      split_offset(text, time_text, offset_text);
      break;
    default: {
      const size_t t = text.find('T');
      if (t == std::string_view::npos) return Error::misc(std::string(kDateMismatch));
      date_text = text.substr(0, t);
      split_offset(text.substr(t + 1), time_text, offset_text);
      break;
    }
  }

  int64_t local = 0;
  int32_t nanos = 0;
  if (kind != DateKind::Time) {
    ASSIGN_OR_RETURN(int64_t days, parse_date_part(date_text, xs));
    local = days * 86400;
  }
  if (kind != DateKind::Date) {
    ASSIGN_OR_RETURN(TimeOfDay tod, parse_time_part(time_text, xs));
    local += tod.seconds;
    nanos = tod.nanos;
  }
  int32_t offset = 0;
  if (offset_text) {
    ASSIGN_OR_RETURN(offset, parse_offset(*offset_text, xs));
  } else if (options.utc == IsoUtcUse::None) {
    offset = zone_offset_for_local(tz, local);
  }
  DateValue d;
  d.epoch_seconds = local - offset;
  d.nanos = nanos;
  d.offset_seconds = offset;
  d.kind = kind;
  return d;
}

}  // namespace tovarn
