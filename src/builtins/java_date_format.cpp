// java_date_format.cpp — pattern scanning, formatting and parsing of dates by
// pattern, the named styles and locale texts, and the format-text dispatch
// shared by interpolation and the date built-ins.
#include "builtins/java_date_format.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "builtins/calendar.h"
#include "builtins/iso_date_format.h"
#include "template/utility.h"

namespace tovarn {
namespace {

// ---- Locale texts ----

constexpr std::array<std::string_view, 12> kEnMonths = {"January", "February", "March",     "April",
                                                         "May",     "June",     "July",      "August",
                                                         "September", "October", "November", "December"};
constexpr std::array<std::string_view, 12> kEnMonthsShort = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kEnWeekdays = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                          "Friday", "Saturday", "Sunday"};
constexpr std::array<std::string_view, 7> kEnWeekdaysShort = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

constexpr std::array<std::string_view, 12> kHuMonths = {
    "január", "február", "március", "április", "május", "június",
    "július", "augusztus", "szeptember", "október", "november", "december"};
constexpr std::array<std::string_view, 12> kHuMonthsShort = {"jan.", "febr.", "márc.", "ápr.",
                                                              "máj.", "jún.",  "júl.",  "aug.",
                                                              "szept.", "okt.", "nov.",  "dec."};
constexpr std::array<std::string_view, 7> kHuWeekdays = {"hétfő",  "kedd",    "szerda",  "csütörtök",
                                                          "péntek", "szombat", "vasárnap"};
constexpr std::array<std::string_view, 7> kHuWeekdaysShort = {"h", "k", "sze", "cs", "p", "szo", "v"};

// Style patterns, indexed by DateStyle - 1.
constexpr std::array<std::string_view, 4> kEnDatePatterns = {"M/d/yy", "MMM d, yyyy", "MMMM d, yyyy",
                                                              "EEEE, MMMM d, yyyy"};
constexpr std::array<std::string_view, 4> kEnTimePatterns = {"h:mm a", "h:mm:ss a", "h:mm:ss a z",
                                                              "h:mm:ss a zzzz"};
constexpr std::array<std::string_view, 4> kHuDatePatterns = {"yyyy. M. d.", "yyyy. MMM d.", "yyyy. MMMM d.",
                                                              "yyyy. MMMM d., EEEE"};
constexpr std::array<std::string_view, 4> kHuTimePatterns = {"H:mm", "H:mm:ss", "H:mm:ss z", "H:mm:ss zzzz"};

bool is_hungarian(std::string_view locale) { return locale.substr(0, locale.find('_')) == "hu"; }

// ---- Small text helpers ----

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_field_letter(char c) {
  return std::string_view("yMdHhmsSaEzZXG").find(c) != std::string_view::npos;
}

// Decodes the code point at `pos` and advances `pos` (ill-formed bytes give a negative value).
UChar32 next_cp(std::string_view s, size_t& pos) {
  int32_t i = static_cast<int32_t>(pos);
  UChar32 c;
  U8_NEXT(s.data(), i, static_cast<int32_t>(s.size()), c);
  pos = static_cast<size_t>(i);
  return c;
}

bool all_white_space(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    if (!u_isUWhiteSpace(next_cp(s, i))) return false;
  }
  return true;
}

size_t skip_white_space(std::string_view s, size_t pos) {
  while (pos < s.size()) {
    size_t next = pos;
    if (!u_isUWhiteSpace(next_cp(s, next))) break;
    pos = next;
  }
  return pos;
}

// ---- Pattern scanning ----

// A token that points into the pattern. A quoted literal still holds its
// doubled quotes; literal_text resolves them.
struct RawToken {
  PatternToken::Kind kind = PatternToken::Kind::Literal;
  char letter = 0;
  uint32_t count = 0;
  std::string_view raw;
  bool quoted = false;
};

constexpr uint32_t kMaxMillisCount = 65535;

// Reads the pattern one token at a time, so that formatting needs no token list.
class PatternScanner {
 public:
  explicit PatternScanner(std::string_view pattern) : p_(pattern) {}

  // The next token into `t`; false at the end of the pattern.
  Result<bool> next(RawToken& t) {
    if (pos_ >= p_.size()) return false;
    const char c = p_[pos_];
    t = RawToken{};
    if (c == '\'') {
      if (pos_ + 1 < p_.size() && p_[pos_ + 1] == '\'') {
        t.raw = p_.substr(pos_, 1);
        pos_ += 2;
        return true;
      }
      const size_t start = ++pos_;
      while (pos_ < p_.size()) {
        if (p_[pos_] == '\'') {
          if (pos_ + 1 < p_.size() && p_[pos_ + 1] == '\'') {
            pos_ += 2;
            continue;
          }
          break;
        }
        ++pos_;
      }
      t.raw = p_.substr(start, pos_ - start);
      t.quoted = true;
      if (pos_ < p_.size()) ++pos_;  // the closing quote; an unclosed quote runs to the end
      return true;
    }
    if (is_ascii_letter(c)) {
      if (!is_field_letter(c)) return Error::misc(std::string("Illegal pattern character '") + c + "'");
      const size_t start = pos_;
      while (pos_ < p_.size() && p_[pos_] == c) ++pos_;
      t.kind = PatternToken::Kind::Field;
      t.letter = c;
      t.count = static_cast<uint32_t>(pos_ - start);
      if (c == 'S' && t.count > kMaxMillisCount) {
        return Error::misc("Illegal pattern: more than 65535 'S' letters in a row");
      }
      return true;
    }
    const size_t start = pos_;
    while (pos_ < p_.size() && p_[pos_] != '\'' && !is_ascii_letter(p_[pos_])) ++pos_;
    t.raw = p_.substr(start, pos_ - start);
    return true;
  }

 private:
  std::string_view p_;
  size_t pos_ = 0;
};

void append_literal(const RawToken& t, std::string& out) {
  if (!t.quoted) {
    out += t.raw;
    return;
  }
  for (size_t i = 0; i < t.raw.size(); ++i) {
    out += t.raw[i];
    if (t.raw[i] == '\'') ++i;  // "''" inside quotes is one quote
  }
}

// ---- Formatting ----

struct LocaleTexts {
  const std::array<std::string_view, 12>* months;
  const std::array<std::string_view, 12>* months_short;
  const std::array<std::string_view, 7>* weekdays;
  const std::array<std::string_view, 7>* weekdays_short;
  AmPmTexts am_pm;
};

LocaleTexts locale_texts(std::string_view locale) {
  if (is_hungarian(locale)) return {&kHuMonths, &kHuMonthsShort, &kHuWeekdays, &kHuWeekdaysShort, {"de", "du"}};
  return {&kEnMonths, &kEnMonthsShort, &kEnWeekdays, &kEnWeekdaysShort, {"AM", "PM"}};
}

// The year of the era: astronomical year 0 is 1 BC.
uint64_t year_of_era(int64_t year) {
  return static_cast<uint64_t>(year <= 0 ? 1 - year : year);
}

void format_field(const RawToken& f, const LocalDateTime& t, int32_t offset, const LocaleTexts& texts,
                  std::string& out) {
  const uint32_t n = f.count;
  switch (f.letter) {
    case 'y': {
      const uint64_t year = year_of_era(t.year);
      if (n <= 2) {
        const std::string digits = std::to_string(year);
        out += std::string_view(digits).substr(digits.size() > 2 ? digits.size() - 2 : 0);
      } else {
        append_zero_padded(out, year, n == 5 ? 5 : 4);
      }
      break;
    }
    case 'M':
      if (n <= 2) {
        append_zero_padded(out, static_cast<uint64_t>(t.month), n);
      } else {
        out += (n == 3 ? *texts.months_short : *texts.months)[t.month - 1];
      }
      break;
    case 'd': append_zero_padded(out, static_cast<uint64_t>(t.day), n); break;
    case 'H': append_zero_padded(out, static_cast<uint64_t>(t.hour), n); break;
    case 'h': append_zero_padded(out, static_cast<uint64_t>(t.hour % 12 == 0 ? 12 : t.hour % 12), n); break;
    case 'm': append_zero_padded(out, static_cast<uint64_t>(t.minute), n); break;
    case 's': append_zero_padded(out, static_cast<uint64_t>(t.second), n); break;
    case 'S': {
      uint64_t millis = static_cast<uint64_t>(t.nanos / 1'000'000);
      if (n == 1) {
        while (millis != 0 && millis % 10 == 0) millis /= 10;
        append_zero_padded(out, millis, 1);
      } else {
        append_zero_padded(out, millis, n);
      }
      break;
    }
    case 'a': out += t.hour < 12 ? texts.am_pm.am : texts.am_pm.pm; break;
    case 'E': out += (n <= 3 ? *texts.weekdays_short : *texts.weekdays)[t.weekday - 1]; break;
    case 'z':
      out += "GMT";
      if (offset != 0) append_offset(out, offset, ":");
      break;
    case 'Z': append_offset(out, offset, ""); break;
    case 'X':
      if (offset == 0) {
        out += 'Z';
      } else if (n == 1) {
        const size_t start = out.size();
        append_offset(out, offset, "");
        out.resize(start + 3);  // sign and hours only
      } else {
        append_offset(out, offset, n == 2 ? "" : ":");
      }
      break;
    case 'G': out += t.year <= 0 ? "BC" : "AD"; break;
    default: break;
  }
}

// ---- Named styles ----

struct StyleParts {
  std::string_view date;  // empty when the kind has no date part
  std::string_view time;  // empty when the kind has no time part
};

// The patterns for a style text, without building the joined pattern.
std::optional<StyleParts> style_parts(std::string_view text, DateKind kind, std::string_view locale) {
  std::optional<DateStyle> first, second;
  if (text.empty()) {
    first = second = DateStyle::Medium;
  } else if (const size_t us = text.find('_'); us != std::string_view::npos) {
    if (kind == DateKind::Date || kind == DateKind::Time) return std::nullopt;
    first = parse_date_style(text.substr(0, us));
    second = parse_date_style(text.substr(us + 1));
  } else {
    first = second = parse_date_style(text);
  }
  if (!first || !second) return std::nullopt;
  StyleParts parts;
  if (kind != DateKind::Time) parts.date = date_pattern(*first, locale);
  if (kind != DateKind::Date) parts.time = time_pattern(*second, locale);
  return parts;
}

// ---- Parsing ----

// The parse state of one parse_java call.
struct ParsedFields {
  int64_t year = 1970;
  int32_t month = 1;
  int32_t day = 1;
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t millis = 0;
  std::optional<bool> pm;
  bool bc = false;
  std::optional<int32_t> offset;
};

// Field readers return true on success and false on a mismatch; errors with
// their own message come back as errors.
using Match = Result<bool>;

class FieldReader {
 public:
  explicit FieldReader(std::string_view text) : s_(text) {}

  size_t pos() const { return pos_; }
  void skip_ws() { pos_ = skip_white_space(s_, pos_); }
  bool at_end() const { return pos_ >= s_.size(); }

  // Up to `max` ASCII digits, at least one.
  bool digits(uint32_t max, int64_t& value) {
    size_t n = 0;
    value = 0;
    while (n < max && pos_ < s_.size() && is_digit(s_[pos_])) {
      value = value * 10 + (s_[pos_++] - '0');
      ++n;
    }
    return n > 0;
  }

  bool literal(std::string_view lit) {
    if (all_white_space(lit)) {
      skip_ws();
      return true;
    }
    skip_ws();
    // The text's white space is gone, so white space that opens the literal
    // cannot match; only the rest must follow exactly.
    lit = lit.substr(skip_white_space(lit, 0));
    if (s_.substr(pos_).starts_with(lit)) {
      pos_ += lit.size();
      return true;
    }
    return false;
  }

  // The first name of `names` that the text continues with, compared after
  // lower-casing both; its 0-based index, or -1.
  template <size_t N>
  int name(const std::array<std::string_view, N>& names) {
    for (size_t i = 0; i < N; ++i) {
      if (const size_t end = match_lower(names[i]); end != 0) {
        pos_ = end;
        return static_cast<int>(i);
      }
    }
    return -1;
  }

  // A two-letter ASCII word (AM/PM, AD/BC) in any letter case.
  bool word_ci(std::string_view word) {
    if (s_.size() - pos_ < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (ascii_lower(s_[pos_ + i]) != ascii_lower(word[i])) return false;
    }
    pos_ += word.size();
    return true;
  }

  // Two characters that must be digits: -1 when the text ends first, the
  // "malformed integer" `message` when they are not digits.
  Result<int32_t> two_digits(std::string_view message) {
    if (s_.size() - pos_ < 2) return -1;
    if (!is_digit(s_[pos_]) || !is_digit(s_[pos_ + 1])) return Error::misc(std::string(message));
    const int32_t v = (s_[pos_] - '0') * 10 + (s_[pos_ + 1] - '0');
    pos_ += 2;
    return v;
  }

  char peek(size_t ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0'; }
  void advance(size_t n) { pos_ += n; }
  std::string_view rest() const { return s_.substr(pos_); }

 private:
  static char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

  // The end position when the text at pos_ begins with `name` (both lower-cased), else 0.
  size_t match_lower(std::string_view name) const {
    size_t i = pos_, j = 0;
    while (j < name.size()) {
      if (i >= s_.size()) return 0;
      if (u_tolower(next_cp(s_, i)) != u_tolower(next_cp(name, j))) return 0;
    }
    return i;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

constexpr std::string_view kMalformed = "The date part is a malformed integer.";

// Offsets of a day or more are refused: they are no real zone's.
// A field of -1 (the text ended) is a mismatch too.
Match finish_offset(bool negative, int32_t hours, int32_t minutes, ParsedFields& f) {
  if (hours < 0 || minutes < 0 || hours > 23 || minutes > 59) return false;
  const int32_t seconds = hours * 3600 + minutes * 60;
  f.offset = negative ? -seconds : seconds;
  return true;
}

// `Z`: "+hhmm".
Match read_rfc822_offset(FieldReader& r, ParsedFields& f) {
  const char sign = r.peek();
  if (sign != '+' && sign != '-') return false;
  r.advance(1);
  ASSIGN_OR_RETURN(int32_t hours, r.two_digits(kMalformed));
  ASSIGN_OR_RETURN(int32_t minutes, r.two_digits(kMalformed));
  return finish_offset(sign == '-', hours, minutes, f);
}

// `z`: "GMT", "GMT+hh", "GMT+hh:mm", "GMT+hhmm", or as for `Z`.
Match read_gmt_offset(FieldReader& r, ParsedFields& f) {
  const std::string_view rest = r.rest();
  const bool gmt = rest.size() >= 3 && (rest[0] | 0x20) == 'g' && (rest[1] | 0x20) == 'm' && (rest[2] | 0x20) == 't';
  if (!gmt) return read_rfc822_offset(r, f);
  r.advance(3);
  const char sign = r.peek();
  if (sign != '+' && sign != '-') {
    f.offset = 0;
    return true;
  }
  r.advance(1);
  ASSIGN_OR_RETURN(int32_t hours, r.two_digits(kMalformed));
  int32_t minutes = 0;
  if (r.peek() == ':') {
    r.advance(1);
    ASSIGN_OR_RETURN(minutes, r.two_digits("The offset-minutes part is a malformed integer."));
  } else if (is_digit(r.peek()) && is_digit(r.peek(1))) {
    ASSIGN_OR_RETURN(minutes, r.two_digits(kMalformed));
  }
  return finish_offset(sign == '-', hours, minutes, f);
}

// `X`: "Z", or "+hh" (count 1), "+hhmm" (count 2), "+hh:mm" or "+hhmm" (count 3+).
Match read_iso_offset(FieldReader& r, uint32_t count, ParsedFields& f) {
  if (r.peek() == 'Z') {
    r.advance(1);
    f.offset = 0;
    return true;
  }
  const char sign = r.peek();
  if (sign != '+' && sign != '-') return false;
  r.advance(1);
  ASSIGN_OR_RETURN(int32_t hours, r.two_digits(kMalformed));
  int32_t minutes = 0;
  if (count >= 2) {
    if (count >= 3 && r.peek() == ':') r.advance(1);
    ASSIGN_OR_RETURN(minutes, r.two_digits(kMalformed));
  }
  return finish_offset(sign == '-', hours, minutes, f);
}

Match read_field(FieldReader& r, const RawToken& t, const LocaleTexts& texts, ParsedFields& f) {
  r.skip_ws();
  int64_t v = 0;
  switch (t.letter) {
    case 'y':
      if (t.count <= 2) {
        if (!r.digits(2, v)) return false;
        f.year = v >= 80 ? 1900 + v : 2000 + v;
      } else {
        if (!r.digits(5, v)) return false;
        f.year = v;
      }
      return true;
    case 'M':
      if (t.count >= 3) {
        const int i = r.name(t.count == 3 ? *texts.months_short : *texts.months);
        if (i < 0) return false;
        f.month = i + 1;
        return true;
      }
      if (!r.digits(2, v)) return false;
      f.month = static_cast<int32_t>(v);
      return true;
    case 'd': if (!r.digits(2, v)) return false; f.day = static_cast<int32_t>(v); return true;
    case 'H':
    case 'h': if (!r.digits(2, v)) return false; f.hour = static_cast<int32_t>(v); return true;
    case 'm': if (!r.digits(2, v)) return false; f.minute = static_cast<int32_t>(v); return true;
    case 's': if (!r.digits(2, v)) return false; f.second = static_cast<int32_t>(v); return true;
    case 'S': if (!r.digits(3, v)) return false; f.millis = static_cast<int32_t>(v); return true;
    case 'E': return r.name(t.count <= 3 ? *texts.weekdays_short : *texts.weekdays) >= 0;
    case 'a':
      if (r.word_ci(texts.am_pm.am)) {
        f.pm = false;
      } else if (r.word_ci(texts.am_pm.pm)) {
        f.pm = true;
      } else {
        return false;
      }
      return true;
    case 'G':
      if (r.word_ci("AD")) {
        f.bc = false;
      } else if (r.word_ci("BC")) {
        f.bc = true;
      } else {
        return false;
      }
      return true;
    case 'Z': return read_rfc822_offset(r, f);
    case 'z': return read_gmt_offset(r, f);
    case 'X': return read_iso_offset(r, t.count, f);
    default: return false;
  }
}

Error parse_err(std::string_view text, std::string_view pattern) {
  return Error::misc("The string doesn't match the expected date/time/date-time format. The string to parse was: \"" +
                     std::string(text) + "\". The expected format was: \"" + std::string(pattern) + "\".");
}

}  // namespace

// ---- Public: locale texts and styles ----

const std::array<std::string_view, 12>& month_names(std::string_view locale, bool abbreviated) {
  const LocaleTexts t = locale_texts(locale);
  return abbreviated ? *t.months_short : *t.months;
}

const std::array<std::string_view, 7>& weekday_names(std::string_view locale, bool abbreviated) {
  const LocaleTexts t = locale_texts(locale);
  return abbreviated ? *t.weekdays_short : *t.weekdays;
}

AmPmTexts am_pm_texts(std::string_view locale) { return locale_texts(locale).am_pm; }

std::optional<DateStyle> parse_date_style(std::string_view word) {
  if (word == "short") return DateStyle::Short;
  if (word == "medium") return DateStyle::Medium;
  if (word == "long") return DateStyle::Long;
  if (word == "full") return DateStyle::Full;
  return std::nullopt;
}

std::string_view date_pattern(DateStyle style, std::string_view locale) {
  const size_t i = static_cast<size_t>(style) - 1;
  return is_hungarian(locale) ? kHuDatePatterns[i] : kEnDatePatterns[i];
}

std::string_view time_pattern(DateStyle style, std::string_view locale) {
  const size_t i = static_cast<size_t>(style) - 1;
  return is_hungarian(locale) ? kHuTimePatterns[i] : kEnTimePatterns[i];
}

std::optional<std::string> resolve_named_style(std::string_view text, DateKind kind, std::string_view locale) {
  const std::optional<StyleParts> parts = style_parts(text, kind, locale);
  if (!parts) return std::nullopt;
  std::string pattern(parts->date);
  if (!parts->date.empty() && !parts->time.empty()) pattern += ' ';
  pattern += parts->time;
  return pattern;
}

// ---- Public: patterns ----

Result<std::vector<PatternToken>> scan_pattern(std::string_view pattern) {
  std::vector<PatternToken> tokens;
  PatternScanner scanner(pattern);
  RawToken t;
  while (true) {
    ASSIGN_OR_RETURN(bool more, scanner.next(t));
    if (!more) break;
    PatternToken token;
    token.kind = t.kind;
    token.letter = t.letter;
    token.count = t.count;
    if (t.kind == PatternToken::Kind::Literal) append_literal(t, token.text);
    tokens.push_back(std::move(token));
  }
  return tokens;
}

Status format_java(std::string_view pattern, const DateValue& date, std::string_view locale, const TzSetting& tz,
                   std::string& out) {
  const int32_t offset = zone_offset_at(tz, date.epoch_seconds);
  const LocalDateTime local = to_local(date.epoch_seconds, date.nanos, offset);
  const LocaleTexts texts = locale_texts(locale);
  const size_t start = out.size();
  PatternScanner scanner(pattern);
  RawToken t;
  while (true) {
    Result<bool> more = scanner.next(t);
    if (!more.ok()) {
      out.resize(start);
      return more.take_error();
    }
    if (!*more) return ok();
    if (t.kind == PatternToken::Kind::Literal) {
      append_literal(t, out);
    } else {
      format_field(t, local, offset, texts, out);
    }
  }
}

Result<std::string> format_java(std::string_view pattern, const DateValue& date, std::string_view locale,
                                const TzSetting& tz) {
  std::string out;
  TRY(format_java(pattern, date, locale, tz, out));
  return out;
}

Result<DateValue> parse_java(std::string_view text, std::string_view pattern, std::string_view locale,
                             const TzSetting& tz, DateKind kind) {
  const LocaleTexts texts = locale_texts(locale);
  FieldReader reader(text);
  ParsedFields f;
  PatternScanner scanner(pattern);
  RawToken t;
  std::string literal;
  while (true) {
    ASSIGN_OR_RETURN(bool more, scanner.next(t));
    if (!more) break;
    if (t.kind == PatternToken::Kind::Literal) {
      literal.clear();
      append_literal(t, literal);
      if (!reader.literal(literal)) return parse_err(text, pattern);
    } else {
      ASSIGN_OR_RETURN(bool matched, read_field(reader, t, texts, f));
      if (!matched) return parse_err(text, pattern);
    }
  }
  reader.skip_ws();
  if (!reader.at_end()) return parse_err(text, pattern);

  if (f.pm) {
    if (f.hour >= 13) return parse_err(text, pattern);
    if (*f.pm && f.hour >= 1 && f.hour <= 11) f.hour += 12;
    if (!*f.pm && f.hour == 12) f.hour = 0;
  }
  if (f.bc) f.year = 1 - f.year;
  if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > days_in_month(f.year, f.month) || f.hour > 23 ||
      f.minute > 59 || f.second > 59) {
    return Error::misc("Date calculation faliure.");
  }
  const int64_t local =
      days_from_civil(f.year, f.month, f.day) * 86400 + f.hour * 3600LL + f.minute * 60LL + f.second;
  // Without a zone in the text, the wall time is read in the zone with the
  // offset in force at that wall time, so summer and winter dates both land
  // on the right instant.
  const int32_t offset = f.offset ? *f.offset : zone_offset_for_local(tz, local);
  DateValue d;
  d.epoch_seconds = local - offset;
  d.nanos = f.millis * 1'000'000;
  d.offset_seconds = offset;
  d.kind = kind;
  return d;
}

// ---- Public: format texts ----

Status format_date(const DateValue& date, std::string_view format, std::string_view locale, const TzSetting& tz,
                   std::string& out) {
  if (format.size() >= 2 && format[0] == '@' && is_ascii_letter(format[1])) {
    const std::string_view name = format.substr(1, format.find_first_of("_ ", 1) - 1);
    std::string message = "No custom date format was defined with name \"";
    java_string_enc(name, message);
    message += '"';
    return Error::misc(std::move(message));
  }
  if (is_iso_like(format)) {
    ASSIGN_OR_RETURN(IsoFormat iso, parse_iso_params(format));
    return format_iso_like_with_tz(date, iso.options, iso.xs, tz, out);
  }
  if (const std::optional<StyleParts> parts = style_parts(format, date.kind, locale)) {
    const size_t start = out.size();
    if (!parts->date.empty()) TRY(format_java(parts->date, date, locale, tz, out));
    if (!parts->date.empty() && !parts->time.empty()) out += ' ';
    if (!parts->time.empty()) {
      Status s = format_java(parts->time, date, locale, tz, out);
      if (!s.ok()) {
        out.resize(start);
        return s;
      }
    }
    return ok();
  }
  return format_java(format, date, locale, tz, out);
}

Result<std::string> format_date(const DateValue& date, std::string_view format, std::string_view locale,
                                const TzSetting& tz) {
  std::string out;
  TRY(format_date(date, format, locale, tz, out));
  return out;
}

Result<DateValue> parse_date(std::string_view text, std::string_view format, DateKind kind,
                             std::string_view locale, const TzSetting& tz) {
  if (is_iso_like(format)) {
    ASSIGN_OR_RETURN(IsoFormat iso, parse_iso_params(format));
    return parse_iso_like(text, kind, iso.xs, iso.options, tz);
  }
  if (std::optional<std::string> pattern = resolve_named_style(format, kind, locale)) {
    return parse_java(text, *pattern, locale, tz, kind);
  }
  return parse_java(text, format, locale, tz, kind);
}

}  // namespace tovarn
