// format.cpp — number pattern parsing and formatting, the named number
// formats with their per-environment cache, and the computer format.
//
// Non-integers are formatted from their decimal digits (a digit string and a
// scale), so rounding is exact half-to-even on the shortest decimal text of a
// float or on a big decimal's own digits; GMP is only touched to read the
// digits of big numbers. Int and Long never leave the stack.
#include "builtins/format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "builtins/lookup.h"
#include "template/utility.h"

namespace tovarn {

namespace {

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// ---- Shortest round-trip digits ----

// A finite float as d1.d2...dn × 10^exp10 with the fewest digits that read
// back to the same value (digits has no trailing zeros, except zero's "0").
struct ShortestDigits {
  char buf[32];
  uint32_t len = 0;
  int32_t exp10 = 0;
  bool negative = false;
  std::string_view digits() const { return {buf, len}; }
};

template <class F>
ShortestDigits shortest_digits(F value) {
  char text[64];
  auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific);
  ShortestDigits d;
  const char* p = text;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; p < r.ptr && *p != 'e'; ++p) {
    if (*p != '.') d.buf[d.len++] = *p;
  }
  // Exponent text: 'e', sign, digits.
  if (p < r.ptr) {
    std::from_chars(p[1] == '+' ? p + 2 : p + 1, r.ptr, d.exp10);
  }
  return d;
}

// Appends the magnitude of v in decimal; returns the digits written.
std::string_view unsigned_digits(uint64_t v, char (&buf)[24]) {
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return {buf, static_cast<size_t>(r.ptr - buf)};
}

uint64_t magnitude(int64_t v) {
  return v < 0 ? uint64_t{0} - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
}

// Appends v with `sep` between groups of three digits: the integer path of
// the default format, which runs for most printed numbers.
void append_grouped_i64(int64_t v, std::string_view sep, std::string& out) {
  char buf[64];  // 19 digits, 6 separators of at most 4 bytes, the sign
  char* const end = buf + sizeof buf;
  char* w = end;
  uint64_t m = magnitude(v);
  for (int n = 0;; ++n) {
    if (n > 0 && n % 3 == 0) {
      w -= sep.size();
      std::copy(sep.begin(), sep.end(), w);
    }
    *--w = static_cast<char>('0' + m % 10);
    m /= 10;
    if (m == 0) break;
  }
  if (v < 0) *--w = '-';
  out.append(w, static_cast<size_t>(end - w));
}

void append_i64(int64_t v, std::string& out) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

// ---- Pattern parsing ----

// Reads quoted text starting just after an opening quote at text[i - 1]:
// appends the literal characters to `out` ("''" stands for one quote) and
// returns the index after the closing quote (or the end of the text).
size_t read_quoted(std::string_view text, size_t i, std::string& out) {
  while (i < text.size()) {
    if (text[i] == '\'') {
      if (i + 1 < text.size() && text[i + 1] == '\'') {
        out += '\'';
        i += 2;
        continue;
      }
      return i + 1;
    }
    out += text[i++];
  }
  return i;
}

// Literal text from `i` to the end of the pattern, quotes handled as in the
// prefix.
void read_literal_rest(std::string_view text, size_t i, std::string& out) {
  while (i < text.size()) {
    if (text[i] == '\'') {
      i = read_quoted(text, i + 1, out);
    } else {
      out += text[i++];
    }
  }
}

bool starts_number_part(char c) { return c == '#' || c == '0' || c == ',' || c == '.'; }

// ---- Decimal digits ----

// A non-negative decimal as digits × 10^-scale, plus the sign apart.
struct DecimalDigits {
  std::string digits;  // no leading zeros except for zero itself
  int64_t scale = 0;
  bool negative = false;
};

template <class F>
DecimalDigits float_decimal(F value) {
  ShortestDigits s = shortest_digits(value);
  DecimalDigits d;
  d.digits.assign(s.digits());
  d.scale = static_cast<int64_t>(s.len) - 1 - s.exp10;
  d.negative = s.negative;
  return d;
}

DecimalDigits big_integer_decimal(const BigInteger& v) {
  DecimalDigits d;
  d.negative = sgn(v) < 0;
  d.digits = d.negative ? BigInteger(-v).get_str() : v.get_str();
  return d;
}

DecimalDigits big_decimal_decimal(const BigDecimal& v) {
  DecimalDigits d = big_integer_decimal(v.unscaled());
  d.scale = v.scale();
  return d;
}

// Adds one unit in the last place of a non-empty digit string.
void increment_digits(std::string& digits) {
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// Rounds to at most `max_frac` fraction digits, ties to even.
void round_half_even(DecimalDigits& d, uint32_t max_frac) {
  if (d.scale <= static_cast<int64_t>(max_frac)) return;
  const uint64_t drop = static_cast<uint64_t>(d.scale - max_frac);
  const size_t n = d.digits.size();
  d.scale = max_frac;
  if (drop > n) {  // below half a unit of the last kept place
    d.digits = "0";
    return;
  }
  const size_t keep = n - static_cast<size_t>(drop);
  const char first = d.digits[keep];
  bool rest_nonzero = false;
  for (size_t i = keep + 1; i < n && !rest_nonzero; ++i) rest_nonzero = d.digits[i] != '0';
  d.digits.resize(keep);
  if (d.digits.empty()) d.digits = "0";
  const bool odd = (d.digits.back() - '0') % 2 == 1;
  if (first > '5' || (first == '5' && (rest_nonzero || odd))) increment_digits(d.digits);
}

bool all_zero(std::string_view digits) {
  return digits.find_first_not_of('0') == std::string_view::npos;
}

// Writes prefix, sign, integer digits (padded to min_int, "0" when empty,
// grouped), fraction (padded to min_frac) and suffix. `int_digits` has no
// leading zeros; `frac` has its excess trailing zeros removed already.
void write_number(const DecimalPattern& p, bool negative, std::string_view int_digits,
                  std::string_view frac, std::string& out) {
  out += p.prefix;
  if (negative) out += '-';
  // The integer part is sized first and filled in place: this runs for every
  // printed integer, and per-character appends cost a capacity check each.
  const size_t total = std::max<size_t>({int_digits.size(), p.min_int, 1});
  const size_t pad = total - int_digits.size();
  const std::string_view sep = p.grouping && total > 3 ? p.grouping_separator : std::string_view{};
  const size_t start = out.size();
  out.resize(start + total + (total - 1) / 3 * sep.size());
  char* w = out.data() + start;
  for (size_t i = 0; i < total; ++i) {
    if (!sep.empty() && i > 0 && (total - i) % 3 == 0) w = std::copy(sep.begin(), sep.end(), w);
    *w++ = i < pad ? '0' : int_digits[i - pad];
  }
  if (!frac.empty() || p.min_frac > 0) {
    out += p.decimal_separator;
    out += frac;
    if (frac.size() < p.min_frac) out.append(p.min_frac - frac.size(), '0');
  }
  out += p.suffix;
}

void format_integer(const DecimalPattern& p, int64_t v, std::string& out) {
  char buf[24];
  const uint64_t m = magnitude(v);
  write_number(p, v < 0, m == 0 ? std::string_view{} : unsigned_digits(m, buf), {}, out);
}

void format_digits(const DecimalPattern& p, DecimalDigits d, std::string& out) {
  round_half_even(d, p.max_frac);
  std::string_view digits = d.digits;
  std::string int_part;
  std::string_view frac;
  std::string frac_buf;
  const int64_t n = static_cast<int64_t>(digits.size());
  if (d.scale <= 0) {
    int_part.assign(digits);
    int_part.append(static_cast<size_t>(-d.scale), '0');
  } else if (n > d.scale) {
    int_part.assign(digits.substr(0, static_cast<size_t>(n - d.scale)));
    frac = digits.substr(static_cast<size_t>(n - d.scale));
  } else {
    frac_buf.assign(static_cast<size_t>(d.scale - n), '0');
    frac_buf.append(digits);
    frac = frac_buf;
  }
  std::string_view int_view = int_part;
  int_view.remove_prefix(std::min(int_view.find_first_not_of('0'), int_view.size()));
  while (frac.size() > p.min_frac && frac.back() == '0') frac.remove_suffix(1);
  // A value that rounds to zero has no sign (decimals have no negative zero).
  const bool negative = d.negative && !all_zero(digits);
  write_number(p, negative, int_view, frac, out);
}

// NaN and the infinities, which have no digits, between prefix and suffix.
void format_non_finite(const DecimalPattern& p, double v, std::string& out) {
  out += p.prefix;
  if (std::isnan(v)) {
    out += "NaN";
  } else {
    if (v < 0) out += '-';
    out += "\xE2\x88\x9E";  // ∞
  }
  out += p.suffix;
}

DecimalPattern default_pattern(std::string_view locale) {
  const LocaleSymbols symbols = locale_symbols(locale);
  // Must match parse_decimal_format(kDefaultNumberPattern, locale).
  DecimalPattern p;
  p.min_int = 1;
  p.max_frac = 3;
  p.grouping = true;
  p.decimal_separator = symbols.decimal_separator;
  p.grouping_separator = symbols.group_separator;
  return p;
}

// ---- Computer format ----

template <class F>
struct FloatTraits;
template <>
struct FloatTraits<double> {
  static constexpr std::string_view kJavaPosInf = "Double.POSITIVE_INFINITY";
  static constexpr std::string_view kJavaNegInf = "Double.NEGATIVE_INFINITY";
  static constexpr std::string_view kJavaNaN = "Double.NaN";
  static constexpr double kIntegralLimit = 9007199254740992.0;  // 2^53
};
template <>
struct FloatTraits<float> {
  static constexpr std::string_view kJavaPosInf = "Float.POSITIVE_INFINITY";
  static constexpr std::string_view kJavaNegInf = "Float.NEGATIVE_INFINITY";
  static constexpr std::string_view kJavaNaN = "Float.NaN";
  static constexpr double kIntegralLimit = 16777216.0;  // 2^24
};

template <class F>
void append_java_float(F value, std::string& out) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-Infinity" : "Infinity";
    return;
  }
  if (value == 0) {
    out += std::signbit(value) ? "-0.0" : "0.0";
    return;
  }
  const ShortestDigits s = shortest_digits(value);
  const std::string_view d = s.digits();
  if (s.negative) out += '-';
  if (s.exp10 >= -3 && s.exp10 < 7) {
    if (s.exp10 >= 0) {
      const size_t int_len = static_cast<size_t>(s.exp10) + 1;
      out += d.substr(0, int_len);
      if (d.size() < int_len) out.append(int_len - d.size(), '0');
      out += '.';
      out += d.size() > int_len ? d.substr(int_len) : std::string_view("0");
    } else {
      out += "0.";
      out.append(static_cast<size_t>(-s.exp10 - 1), '0');
      out += d;
    }
    return;
  }
  out += d[0];
  out += '.';
  out += d.size() > 1 ? d.substr(1) : std::string_view("0");
  out += 'E';
  append_i64(s.exp10, out);
}

template <class F>
void format_c_float(F value, CFormatKind kind, std::string& out) {
  using T = FloatTraits<F>;
  if (std::isnan(value)) {
    out += kind == CFormatKind::Java ? T::kJavaNaN : std::string_view("NaN");
    return;
  }
  if (std::isinf(value)) {
    const bool neg = value < 0;
    if (kind == CFormatKind::Java) {
      out += neg ? T::kJavaNegInf : T::kJavaPosInf;
    } else if (kind == CFormatKind::Xs) {
      out += neg ? "-INF" : "INF";
    } else {
      out += neg ? "-Infinity" : "Infinity";
    }
    return;
  }
  const double wide = static_cast<double>(value);
  const double mag = std::fabs(wide);
  if (std::trunc(wide) == wide) {
    if (mag <= T::kIntegralLimit) {
      append_i64(static_cast<int64_t>(wide), out);
      return;
    }
  } else if (mag > 1e-7 && mag < 0.001) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    out.append(buf, r.ptr);
    return;
  }
  std::string text;
  append_java_float(value, text);
  out += remove_redundant_dot0(text);
}

// Turns every escaped single quote (\') in out[from..] back into a plain
// quote, leaving the other escapes alone.
void unescape_single_quotes(std::string& out, size_t from) {
  size_t w = from;
  for (size_t r = from; r < out.size();) {
    if (out[r] == '\\' && r + 1 < out.size()) {
      if (out[r + 1] != '\'') out[w++] = '\\';
      out[w++] = out[r + 1];
      r += 2;
    } else {
      out[w++] = out[r++];
    }
  }
  out.resize(w);
}

}  // namespace

// ---- Patterns ----

Result<DecimalPattern> parse_decimal_format(std::string_view pattern, std::string_view locale) {
  const LocaleSymbols symbols = locale_symbols(locale);
  DecimalPattern p;
  p.decimal_separator = symbols.decimal_separator;
  p.grouping_separator = symbols.group_separator;

  size_t i = 0;
  const size_t n = pattern.size();
  while (i < n && !starts_number_part(pattern[i])) {
    if (pattern[i] == '\'') {
      i = read_quoted(pattern, i + 1, p.prefix);
    } else {
      p.prefix += pattern[i++];
    }
  }

  bool in_fraction = false;
  bool has_digit_or_point = false;
  for (; i < n; ++i) {
    const char c = pattern[i];
    if (c == '#' || c == '0') {
      has_digit_or_point = true;
      if (in_fraction) {
        ++p.max_frac;
        if (c == '0') ++p.min_frac;
      } else if (c == '0') {
        ++p.min_int;
      }
    } else if (c == '.') {
      if (in_fraction) {
        return Error::misc("Invalid number format pattern: " + std::string(pattern));
      }
      has_digit_or_point = true;
      in_fraction = true;
    } else if (c == ',') {
      p.grouping = true;
    } else if (c == '\'') {
      // Quoted text ends the number part: it and the rest are suffix.
      read_literal_rest(pattern, i, p.suffix);
      break;
    } else {
      p.suffix += c;
    }
  }
  if (!has_digit_or_point) p.grouping = false;
  return p;
}

void format_decimal(const DecimalPattern& pattern, const TNumber& number, std::string& out) {
  switch (number.kind()) {
    case NumberKind::Int:
    case NumberKind::Long:
      format_integer(pattern, number.long_value(), out);
      return;
    case NumberKind::BigInteger:
      format_digits(pattern, big_integer_decimal(number.big_integer()), out);
      return;
    case NumberKind::BigDecimal:
      format_digits(pattern, big_decimal_decimal(number.big_decimal()), out);
      return;
    case NumberKind::Float: {
      const float v = number.float_value();
      if (!std::isfinite(v)) return format_non_finite(pattern, v, out);
      format_digits(pattern, float_decimal(v), out);
      return;
    }
    case NumberKind::Double: {
      const double v = number.double_value();
      if (!std::isfinite(v)) return format_non_finite(pattern, v, out);
      format_digits(pattern, float_decimal(v), out);
      return;
    }
  }
}

std::string format_decimal(const DecimalPattern& pattern, const TNumber& number) {
  std::string out;
  format_decimal(pattern, number, out);
  return out;
}

// ---- Named formats ----

const DecimalPattern* DecimalPatternCache::get(std::string_view format, std::string_view locale) {
  for (const Entry& e : entries_) {
    if (e.used && e.format == format && e.locale == locale) {
      return e.pattern ? &*e.pattern : nullptr;
    }
  }
  Entry& e = entries_[next_];
  next_ = (next_ + 1) % kEntries;
  e.format.assign(format);
  e.locale.assign(locale);
  e.used = true;
  Result<DecimalPattern> parsed = parse_decimal_format(format, locale);
  if (parsed.ok()) {
    e.pattern.emplace(std::move(*parsed));
  } else {
    e.pattern.reset();
  }
  return e.pattern ? &*e.pattern : nullptr;
}

Status format_number(DecimalPatternCache* cache, std::string_view format, std::string_view locale,
                     const TNumber& number, std::string& out) {
  if (format.size() >= 2 && format[0] == '@' && is_ascii_letter(format[1])) {
    const std::string_view name = format.substr(1, format.find_first_of("_ ", 1) - 1);
    std::string message = "No custom number format was defined with name \"";
    java_string_enc(name, message);
    message += '"';
    return Error::misc(std::move(message));
  }
  if (format.empty() || format == "number") {
    // The default pattern "#,##0.###" needs no parse or cache; integers need
    // no pattern at all.
    if (number.kind() == NumberKind::Int || number.kind() == NumberKind::Long) {
      append_grouped_i64(number.long_value(), group_separator(locale), out);
    } else {
      format_decimal(default_pattern(locale), number, out);
    }
    return ok();
  }
  if (format == "c" || format == "computer") {
    format_c_number(number, CFormatKind::JavaScriptOrJson, out);
    return ok();
  }
  if (cache != nullptr) {
    if (const DecimalPattern* p = cache->get(format, locale)) {
      format_decimal(*p, number, out);
    } else {
      out += number.to_plain_string();
    }
    return ok();
  }
  Result<DecimalPattern> parsed = parse_decimal_format(format, locale);
  if (parsed.ok()) {
    format_decimal(*parsed, number, out);
  } else {
    out += number.to_plain_string();
  }
  return ok();
}

Status format_number_with(std::string_view format, std::string_view locale, const TNumber& number,
                          std::string& out) {
  return format_number(nullptr, format, locale, number, out);
}

Result<std::string> format_number_with(std::string_view format, std::string_view locale,
                                       const TNumber& number) {
  std::string out;
  TRY(format_number(nullptr, format, locale, number, out));
  return out;
}

// ---- Computer format ----

std::optional<CFormatKind> CFormatKind::parse(std::string_view text) {
  if (text == "JavaScript or JSON") return CFormatKind(JavaScriptOrJson);
  if (text == "JavaScript") return CFormatKind(JavaScript);
  if (text == "JSON") return CFormatKind(Json);
  if (text == "Java") return CFormatKind(Java);
  if (text == "legacy") return CFormatKind(Legacy);
  if (text == "XS") return CFormatKind(Xs);
  return std::nullopt;
}

std::string_view CFormatKind::name() const {
  switch (k_) {
    case JavaScriptOrJson: return "JavaScript or JSON";
    case JavaScript: return "JavaScript";
    case Json: return "JSON";
    case Java: return "Java";
    case Legacy: return "legacy";
    case Xs: return "XS";
  }
  return "";
}

void format_c_number(const TNumber& number, CFormatKind kind, std::string& out) {
  switch (number.kind()) {
    case NumberKind::Int:
    case NumberKind::Long:
      append_i64(number.long_value(), out);
      return;
    case NumberKind::BigInteger:
      out += number.big_integer().get_str();
      return;
    case NumberKind::BigDecimal:
      out += number.big_decimal().to_string();
      return;
    case NumberKind::Float:
      format_c_float(number.float_value(), kind, out);
      return;
    case NumberKind::Double:
      format_c_float(number.double_value(), kind, out);
      return;
  }
}

std::string format_c_number(const TNumber& number, CFormatKind kind) {
  std::string out;
  format_c_number(number, kind, out);
  return out;
}

void format_c_string(std::string_view text, CFormatKind kind, std::string& out) {
  switch (kind) {
    case CFormatKind::Legacy:
    case CFormatKind::Xs:
      out += text;
      return;
    case CFormatKind::JavaScript: {
      out += '"';
      const size_t from = out.size();
      js_string_enc(text, false, out);
      // Inside double quotes an apostrophe needs no escape.
      unescape_single_quotes(out, from);
      out += '"';
      return;
    }
    case CFormatKind::Java:
      out += '"';
      java_string_enc(text, out);
      out += '"';
      return;
    case CFormatKind::JavaScriptOrJson:
    case CFormatKind::Json:
      out += '"';
      js_string_enc(text, true, out);
      out += '"';
      return;
  }
}

std::string format_c_string(std::string_view text, CFormatKind kind) {
  std::string out;
  format_c_string(text, kind, out);
  return out;
}

// ---- Float texts ----

std::string java_float_string(double value) {
  std::string out;
  append_java_float(value, out);
  return out;
}

std::string java_float_string_f32(float value) {
  std::string out;
  append_java_float(value, out);
  return out;
}

std::string remove_redundant_dot0(std::string_view text) {
  std::string out(text);
  const size_t e = out.find('E');
  const size_t end = e == std::string::npos ? out.size() : e;
  if (end >= 2 && out[end - 2] == '.' && out[end - 1] == '0') out.erase(end - 2, 2);
  return out;
}

}  // namespace tovarn
