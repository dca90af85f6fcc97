// format.h — number formatting: the decimal pattern language (DecimalPattern,
// parse_decimal_format, format_decimal), the named number formats, the
// per-environment pattern cache, and the computer ("c") format for numbers
// and strings in its six dialects.
//
// Every formatter appends to a caller's std::string; the returning overloads
// are conveniences for tests and cold paths.
//
//   std::string out;
//   format_number_with("#,##0.00", "de_DE", TNumber::from_double(1234.5), out);
//   // out == "1.234,50"
//   format_c_number(TNumber::from_double(1e-8), CFormatKind::Json, out);
//   // appends "1E-8"
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "error/template_error.h"
#include "template/t_number.h"

namespace tovarn {

// ---- Decimal patterns ----

// A parsed number pattern such as "#,##0.###" or "'#'000 kg". Immutable once
// built. Grouping, when on, always groups by three.
struct DecimalPattern {
  std::string prefix;                // literal text before the number
  std::string suffix;                // literal text after the number
  uint32_t min_int = 0;              // '0's before the decimal point
  uint32_t min_frac = 0;             // '0's after the decimal point
  uint32_t max_frac = 0;             // '#'s and '0's after the decimal point
  std::string_view decimal_separator = ".";  // from the locale (static text)
  std::string_view grouping_separator = ",";  // from the locale (static text)
  bool grouping = false;             // a ',' occurred in the number part
};

// The pattern the "number" format (and the empty format) stands for.
inline constexpr std::string_view kDefaultNumberPattern = "#,##0.###";

// Parses `pattern` with the separators of `locale`. Fails only on a second
// decimal point: "Invalid number format pattern: " + pattern.
//   parse_decimal_format("0.00 %", "en_US")  -> min_int 1, min/max_frac 2, suffix " %"
//   parse_decimal_format("0.0.0", "en_US")   -> error
Result<DecimalPattern> parse_decimal_format(std::string_view pattern, std::string_view locale);

// Writes `number` with `pattern`: integers exactly, everything else rounded
// half-to-even to max_frac digits on its shortest decimal text, never with
// an exponent. A float NaN is written "NaN" and an infinity "∞" or "-∞"
// (between prefix and suffix). Cannot fail.
//   format_decimal(<"0.##">, Double 0.125)  -> "0.12"
//   format_decimal(<"$#">, Int -5)          -> "$-5"
void format_decimal(const DecimalPattern& pattern, const TNumber& number, std::string& out);
std::string format_decimal(const DecimalPattern& pattern, const TNumber& number);

// ---- Named formats and the per-environment cache ----

// Parsed patterns of one processing run, keyed by (format text, locale text).
// An Environment owns one; it holds a few recent entries so that alternating
// between the configured format and a ?string("...") pattern does not reparse.
// Not shared between runs or threads.
class DecimalPatternCache {
 public:
  // The pattern for `format` in `locale`, parsed on a miss. Nothing when the
  // pattern is invalid (the failure is remembered too).
  const DecimalPattern* get(std::string_view format, std::string_view locale);

 private:
  struct Entry {
    std::string format;
    std::string locale;
    std::optional<DecimalPattern> pattern;  // nothing: invalid pattern
    bool used = false;
  };
  static constexpr size_t kEntries = 4;
  std::array<Entry, kEntries> entries_;
  size_t next_ = 0;  // slot replaced on the next miss (round robin)
};

// Formats `number` by the format text `format` in `locale`:
//   "" and "number"   the pattern "#,##0.###";
//   "c", "computer"   format_c_number with CFormatKind::JavaScriptOrJson;
//   "@name..."        fails: "No custom number format was defined with name \"name\"";
//   anything else     a pattern; an invalid one writes to_plain_string instead.
// `cache` may be null (the pattern is then parsed for this call only). Int and
// Long with the default format take a path that allocates nothing but `out`.
//   format_number(&cache, "number", "en_US", Int 1234567, out)  // "1,234,567"
//   format_number(&cache, "percent", "en_US", Int 12, out)      // "percent12"
Status format_number(DecimalPatternCache* cache, std::string_view format, std::string_view locale,
                     const TNumber& number, std::string& out);

// format_number without a cache.
//   format_number_with("0.00", "fr_FR", Double 2.675)  -> "2,68"
Status format_number_with(std::string_view format, std::string_view locale, const TNumber& number,
                          std::string& out);
Result<std::string> format_number_with(std::string_view format, std::string_view locale,
                                       const TNumber& number);

// ---- Computer format ----

// The dialect of the computer format, named by the c_format setting.
//   CFormatKind::parse("JSON") -> CFormatKind::Json;  CFormatKind::parse("json") -> nothing
class CFormatKind {
 public:
  enum Kind : uint8_t { JavaScriptOrJson, JavaScript, Json, Java, Legacy, Xs };
  constexpr CFormatKind(Kind k) : k_(k) {}
  constexpr operator Kind() const { return k_; }

  // The kind for a c_format setting text (exact spelling), else nothing.
  static std::optional<CFormatKind> parse(std::string_view text);
  // The setting text of this kind ("JavaScript or JSON", "XS", ...).
  std::string_view name() const;

 private:
  Kind k_;
};

// The computer format of a number: integers and decimals as plain digits;
// floats without a redundant ".0", in exponent form outside the plain range,
// with the dialect's spelling of NaN and the infinities.
//   Double 1e7 -> "10000000";  1e-8 -> "1E-8";  +inf -> "Infinity" (JSON), "INF" (XS)
void format_c_number(const TNumber& number, CFormatKind kind, std::string& out);
std::string format_c_number(const TNumber& number, CFormatKind kind);

// The computer format of a string: a quoted JSON, JavaScript or Java string
// literal by dialect; legacy and XS give the text unchanged.
//   format_c_string("it's \"x\"", CFormatKind::JavaScript) == "\"it's \\\"x\\\"\""
void format_c_string(std::string_view text, CFormatKind kind, std::string& out);
std::string format_c_string(std::string_view text, CFormatKind kind);

// ---- Float texts ----

// The shortest round-trip digits of a float, plain between 0.001 and 10^7
// (always with a fraction digit), else one digit, ".", digits, "E", exponent.
// Zero is "0.0", NaN "NaN", infinities "Infinity" / "-Infinity".
//   java_float_string(5.0) == "5.0";  java_float_string(1e7) == "1.0E7"
//   java_float_string(-1.2345e-8) == "-1.2345E-8"
std::string java_float_string(double value);
std::string java_float_string_f32(float value);

// Removes a ".0" that ends the text or stands just before the "E".
//   remove_redundant_dot0("5.0") == "5";  remove_redundant_dot0("1.0E7") == "1E7"
//   remove_redundant_dot0("1.05") == "1.05"
std::string remove_redundant_dot0(std::string_view text);

}  // namespace tovarn
