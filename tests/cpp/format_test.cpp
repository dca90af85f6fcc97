// format_test.cpp — number formatting: locale separators, pattern parsing and
// its errors, format_decimal (rounding, padding, grouping, literal text), the
// named formats and the pattern cache, the computer format for numbers and
// strings in every dialect, java_float_string and remove_redundant_dot0, and
// the allocation-free path for integers with the default format.
#include "builtins/format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <string>
#include <vector>

#include "builtins/lookup.h"

// Counts heap allocations so the integer fast path can be checked.
namespace {
size_t g_allocations = 0;
}

void* operator new(size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }

namespace tovarn {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();
constexpr const char* kNnbsp = "\xE2\x80\xAF";  // U+202F

TNumber dec(const char* text) {
  std::optional<BigDecimal> d = BigDecimal::parse(text);
  EXPECT_TRUE(d.has_value()) << text;
  return TNumber::from_big_decimal(d.value_or(BigDecimal()));
}
TNumber dbl(double v) { return TNumber::from_double(v); }
TNumber flt(float v) { return TNumber::from_float(v); }
TNumber i32(int32_t v) { return TNumber::from_int(v); }
TNumber i64(int64_t v) { return TNumber::from_long(v); }
TNumber big(const char* digits) { return TNumber::from_big_integer(BigInteger(digits, 10)); }

std::string describe(const TNumber& n) { return n.to_plain_string(); }

TEST(LocaleSymbols, SeparatorsByLanguage) {
  struct Case {
    const char* locale;
    const char* decimal;
    const char* group;
  };
  const std::vector<Case> cases = {
      {"en_US", ".", ","},      {"en", ".", ","},        {"de_DE", ",", "."},
      {"de", ",", "."},         {"de_AT_x", ",", "."},   {"fr_FR", ",", kNnbsp},
      {"fr", ",", kNnbsp},      {"fr_CA", ",", kNnbsp},  {"pt_BR", ",", "."},
      {"th_TH", ",", "."},      {"vi", ",", "."},        {"bg", ",", "."},
      {"ja_JP", ".", ","},      {"nb_NO", ".", ","},     {"DE_de", ".", ","},
      {"deu_DE", ".", ","},     {"d", ".", ","},         {"", ".", ","},
      {"_de", ".", ","},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decimal_separator(c.locale), c.decimal) << c.locale;
    EXPECT_EQ(group_separator(c.locale), c.group) << c.locale;
  }
}

TEST(DecimalPattern, ParsesFields) {
  struct Case {
    const char* pattern;
    const char* prefix;
    const char* suffix;
    uint32_t min_int, min_frac, max_frac;
    bool grouping;
  };
  const std::vector<Case> cases = {
      {"#,##0.###", "", "", 1, 0, 3, true},
      {"0.00", "", "", 1, 2, 2, false},
      {"000", "", "", 3, 0, 0, false},
      {"#", "", "", 0, 0, 0, false},
      {"#.0#", "", "", 0, 1, 2, false},
      {".00", "", "", 0, 2, 2, false},
      {".", "", "", 0, 0, 0, false},
      {"##,#", "", "", 0, 0, 0, true},  // position of ',' is irrelevant
      {"$#", "$", "", 0, 0, 0, false},
      {"'#'0", "#", "", 1, 0, 0, false},
      {"'it''s' 0", "it's ", "", 1, 0, 0, false},
      {"'unclosed 0", "unclosed 0", "", 0, 0, 0, false},
      {"0 kg", "", " kg", 1, 0, 0, false},
      {"0.0 a0b", "", " ab", 1, 2, 2, false},  // digits after literal text still count
      {"0'#x'y0", "", "#xy0", 1, 0, 0, false},  // quote ends the number part
      {"percent", "percent", "", 0, 0, 0, false},
      {"a,b", "a", "b", 0, 0, 0, false},  // no digit or point: grouping off
      {"12#", "12", "", 0, 0, 0, false},  // 1-9 are literal
      {"#1#.5", "", "15", 0, 0, 0, false},
      {"#,##0;(#)", "", ";()", 1, 0, 0, true},  // no negative subpattern
      {"0.00%", "", "%", 1, 2, 2, false},
      {"0.0\xE2\x80\xB0", "", "\xE2\x80\xB0", 1, 1, 1, false},  // per-mille is literal
      {"0.###E0", "", "E", 1, 1, 4, false},  // no exponent notation
      {"\xC2\xA4#,##0.00", "\xC2\xA4", "", 1, 2, 2, true},  // currency sign is literal
  };
  for (const Case& c : cases) {
    Result<DecimalPattern> r = parse_decimal_format(c.pattern, "en_US");
    ASSERT_TRUE(r.ok()) << c.pattern;
    const DecimalPattern& p = *r;
    EXPECT_EQ(p.prefix, c.prefix) << c.pattern;
    EXPECT_EQ(p.suffix, c.suffix) << c.pattern;
    EXPECT_EQ(p.min_int, c.min_int) << c.pattern;
    EXPECT_EQ(p.min_frac, c.min_frac) << c.pattern;
    EXPECT_EQ(p.max_frac, c.max_frac) << c.pattern;
    EXPECT_EQ(p.grouping, c.grouping) << c.pattern;
  }
}

TEST(DecimalPattern, TakesSeparatorsFromLocale) {
  Result<DecimalPattern> r = parse_decimal_format("#,##0.0", "fr_FR");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r->decimal_separator, ",");
  EXPECT_EQ(r->grouping_separator, kNnbsp);
}

TEST(DecimalPattern, SecondDecimalPointIsAnError) {
  for (const char* pattern : {"0.0.0", "#.#.", "..", "0,0.0 x.0"}) {
    Result<DecimalPattern> r = parse_decimal_format(pattern, "en_US");
    ASSERT_FALSE(r.ok()) << pattern;
    EXPECT_EQ(r.error()->kind, ErrorKind::Misc);
    EXPECT_EQ(r.error()->text, std::string("Invalid number format pattern: ") + pattern);
  }
  // A point inside quotes or in the quoted suffix is literal text.
  for (const char* pattern : {"'.'0.0", "0.0'x'.0", "0.0' .'"}) {
    EXPECT_TRUE(parse_decimal_format(pattern, "en_US").ok()) << pattern;
  }
}

struct FormatCase {
  const char* format;
  const char* locale;
  TNumber number;
  std::string want;
};

void expect_formats(const std::vector<FormatCase>& cases) {
  for (const FormatCase& c : cases) {
    Result<std::string> r = format_number_with(c.format, c.locale, c.number);
    ASSERT_TRUE(r.ok()) << c.format << " " << describe(c.number);
    EXPECT_EQ(*r, c.want) << "format '" << c.format << "' locale " << c.locale << " number "
                          << describe(c.number);
  }
}

TEST(FormatNumber, DefaultFormatAcrossLocales) {
  const std::string nn = kNnbsp;
  expect_formats({
      {"number", "en_US", dbl(1234567.891), "1,234,567.891"},
      {"number", "de_DE", dbl(1234567.891), "1.234.567,891"},
      {"number", "fr_FR", dbl(1234567.891), "1" + nn + "234" + nn + "567,891"},
      {"", "en_US", dbl(1234567.891), "1,234,567.891"},
      {"number", "it_IT", i32(1234567), "1.234.567"},
      {"number", "ja_JP", dbl(0.5), "0.5"},
      {"number", "en_US", i32(0), "0"},
      {"number", "en_US", i32(999), "999"},
      {"number", "en_US", i32(-1000), "-1,000"},
      {"number", "en_US", i64(std::numeric_limits<int64_t>::min()), "-9,223,372,036,854,775,808"},
      {"number", "en_US", i32(std::numeric_limits<int32_t>::min()), "-2,147,483,648"},
      {"number", "en_US", dbl(1.23456), "1.235"},
      {"number", "en_US", dbl(1.0005), "1"},  // tie to even: 1.000
      {"number", "en_US", dbl(1e20), "100,000,000,000,000,000,000"},
      {"number", "en_US", dbl(1e-20), "0"},
      {"number", "en_US", dbl(-0.0001), "0"},  // rounds to zero: no sign
      {"number", "en_US", dec("1234.5000"), "1,234.5"},
      {"number", "de_DE", big("12345678901234567890"), "12.345.678.901.234.567.890"},
      {"number", "en_US", flt(0.1f), "0.1"},  // the float's own shortest digits
  });
}

// "number" takes shortcuts (no parse; a direct integer writer); it must agree
// with the pattern it stands for.
TEST(FormatNumber, DefaultFormatMatchesItsPattern) {
  const std::vector<TNumber> numbers = {
      i32(0),          i32(7),          i32(-999),        i32(1000),       i32(-123456),
      i32(std::numeric_limits<int32_t>::max()),           i64(std::numeric_limits<int64_t>::min()),
      i64(std::numeric_limits<int64_t>::max()),           dbl(-1234.5678), dbl(0.0005),
      dec("-9999.9995"), big("-1000000000000000000000"),  flt(1234.5f),
  };
  for (const char* locale : {"en_US", "de_DE", "fr_FR"}) {
    for (const TNumber& n : numbers) {
      Result<std::string> named = format_number_with("number", locale, n);
      Result<std::string> pattern = format_number_with(kDefaultNumberPattern, locale, n);
      ASSERT_TRUE(named.ok() && pattern.ok());
      EXPECT_EQ(*named, *pattern) << locale << " " << describe(n);
    }
  }
}

TEST(FormatNumber, RoundsHalfToEvenOnShortestText) {
  expect_formats({
      {"0", "en_US", dbl(2.5), "2"},
      {"0", "en_US", dbl(3.5), "4"},
      {"0", "en_US", dbl(-2.5), "-2"},
      {"0", "en_US", dbl(0.5), "0"},
      {"0", "en_US", dbl(1.5), "2"},
      {"0", "en_US", dbl(2.5000001), "3"},  // above the tie
      {"0.##", "en_US", dbl(0.125), "0.12"},
      {"0.##", "en_US", dbl(0.135), "0.14"},
      {"0.00", "en_US", dbl(2.675), "2.68"},  // binary value is below 2.675
      {"0.00", "en_US", dbl(1.005), "1.00"},
      {"0.00", "en_US", dbl(9.995), "10.00"},  // carry into a new digit
      {"#", "en_US", dbl(999.5), "1000"},
      {"0.##", "en_US", dbl(0.999), "1"},
      {"0.00", "en_US", dec("-0.005"), "0.00"},  // tie to even zero, sign dropped
      {"0.00", "en_US", dec("-0.015"), "-0.02"},
      {"0.00", "en_US", dec("0.0050000000000000000001"), "0.01"},
      {"0.0", "en_US", dec("0.00000000000000000000000001"), "0.0"},
      {"#,##0", "en_US", dec("12345678901234567890.5"), "12,345,678,901,234,567,890"},
      {"#,##0", "en_US", dec("12345678901234567891.5"), "12,345,678,901,234,567,892"},
      {"0.0", "en_US", flt(0.25f), "0.2"},
      {"0.0", "en_US", flt(0.35f), "0.4"},  // float digits "0.35", not 0.3499999940395355
  });
}

TEST(FormatNumber, PaddingGroupingAndLiteralText) {
  expect_formats({
      {"000", "en_US", i32(-5), "-005"},
      {"#,##0", "en_US", i32(-1234), "-1,234"},
      {"0.00", "en_US", i32(5), "5.00"},
      {"#.###", "en_US", dbl(5.1), "5.1"},
      {"#.##", "en_US", dbl(0.5), "0.5"},
      {"#.##", "en_US", dbl(0.0), "0"},
      {"#", "en_US", i32(0), "0"},
      {".##", "en_US", dbl(0.25), "0.25"},
      {".00", "en_US", i32(5), "5.00"},
      {"0000.0", "en_US", i32(12), "0012.0"},
      {"#,##0000000", "en_US", i32(5), "0,000,005"},  // padding zeros are grouped too
      {"#,###", "en_US", i32(1234), "1,234"},
      {"#,###", "en_US", i32(123), "123"},
      {"0.00", "de_DE", dbl(1234.5), "1234,50"},  // no ',' in the pattern: no grouping
      {"#,##0.00", "tr_TR", dbl(1234.5), "1.234,50"},
      {"#,##0.00", "xx", dbl(-1234.5), "-1,234.50"},
      {"0.0#", "en_US", dec("3.100"), "3.1"},
      {"0.0#", "en_US", dec("3"), "3.0"},
      {"#,##0", "en_US", TNumber::from_big_decimal(BigDecimal(BigInteger(12), -3)), "12,000"},
      {"#", "en_US", TNumber::from_big_decimal(BigDecimal(BigInteger(0), -3)), "0"},
      {"#,##0.00", "en_US", big("-123456789012345678901234567890"),
       "-123,456,789,012,345,678,901,234,567,890.00"},
      {"$#", "en_US", i32(-5), "$-5"},
      {"$#", "en_US", dbl(2.5), "$2"},
      {"'#'0", "en_US", i32(7), "#7"},
      {"0 kg", "en_US", dbl(1.25), "1 kg"},
      {"percent", "en_US", i32(12), "percent12"},
      {"currency", "en_US", dbl(1.75), "currency2"},
      {"#,##0;(#)", "en_US", i32(-5), "-5;()"},
      {"0.00%", "en_US", dbl(0.5), "0.50%"},
      {"0.###E0", "en_US", dbl(1234.5), "1234.5E"},
      {"0.00", "en_US", dbl(kNaN), "NaN"},
      {"$#", "en_US", dbl(-kInf), "$-\xE2\x88\x9E"},
      {"#", "en_US", flt(kInfF), "\xE2\x88\x9E"},
  });
}

TEST(FormatNumber, InvalidPatternFallsBackToPlainText) {
  expect_formats({
      {"0.0.0", "en_US", dbl(1.5), "1.5"},
      {"0.0.0", "en_US", dbl(1e20), "100000000000000000000"},
      {"..", "de_DE", dec("1.50"), "1.50"},
      {"#.#.#", "en_US", i32(-3), "-3"},
  });
}

TEST(FormatNumber, ComputerFormatName) {
  expect_formats({
      {"c", "de_DE", dbl(1e7), "10000000"},
      {"computer", "de_DE", dbl(0.5), "0.5"},
      {"c", "fr_FR", i32(-1234), "-1234"},
      {"c", "en_US", dbl(kInf), "Infinity"},  // always the JavaScript-or-JSON dialect
  });
}

TEST(FormatNumber, CustomFormatNamesFail) {
  struct Case {
    const char* format;
    const char* name;  // as quoted in the message
  };
  const std::vector<Case> cases = {
      {"@money", "\"money\""},
      {"@money_short", "\"money\""},
      {"@money extra", "\"money\""},
      {"@Z", "\"Z\""},
      {"@a\"b\\c", "\"a\\\"b\\\\c\""},
  };
  for (const Case& c : cases) {
    std::string out = "kept";
    Status st = format_number_with(c.format, "en_US", i32(1), out);
    ASSERT_FALSE(st.ok()) << c.format;
    EXPECT_EQ(st.error()->kind, ErrorKind::Misc);
    EXPECT_EQ(st.error()->text, std::string("No custom number format was defined with name ") + c.name);
    EXPECT_EQ(out, "kept");
  }
  // Without a letter after '@' it is an ordinary pattern.
  expect_formats({
      {"@", "en_US", i32(12), "@12"},
      {"@1x", "en_US", i32(12), "@1x12"},
      {"@_0", "en_US", i32(12), "@_12"},
  });
}

TEST(FormatNumber, CacheGivesSameResultsAcrossFormatsAndLocales) {
  const std::vector<std::pair<const char*, const char*>> keys = {
      {"#,##0.00", "en_US"}, {"#,##0.00", "de_DE"}, {"0.0.0", "en_US"}, {"0.#", "fr_FR"},
      {"000", "en_US"},      {"'x'0", "en_US"},     {"#,##0.00", "en_US"}, {"0.0.0", "en_US"},
  };
  const std::vector<TNumber> numbers = {i32(1234567), dbl(-1234.567), dec("0.05"), dbl(0.125)};
  DecimalPatternCache cache;
  // Several rounds so that entries are both hit and evicted.
  for (int round = 0; round < 3; ++round) {
    for (const auto& [format, locale] : keys) {
      for (const TNumber& n : numbers) {
        std::string cached, direct;
        ASSERT_TRUE(format_number(&cache, format, locale, n, cached).ok());
        ASSERT_TRUE(format_number_with(format, locale, n, direct).ok());
        EXPECT_EQ(cached, direct) << format << " " << locale << " " << describe(n);
      }
    }
  }
  // Locale is part of the key.
  std::string en, de;
  ASSERT_TRUE(format_number(&cache, "#,##0.0", "en_US", dbl(1234.5), en).ok());
  ASSERT_TRUE(format_number(&cache, "#,##0.0", "de_DE", dbl(1234.5), de).ok());
  EXPECT_EQ(en, "1,234.5");
  EXPECT_EQ(de, "1.234,5");
}

TEST(FormatNumber, AppendsToOutput) {
  std::string out = "x=";
  ASSERT_TRUE(format_number_with("0.0", "en_US", dbl(1.25), out).ok());
  out += ';';
  format_c_number(i32(3), CFormatKind::Json, out);
  format_c_string("s", CFormatKind::Json, out);
  EXPECT_EQ(out, "x=1.2;3\"s\"");
}

TEST(FormatNumber, IntegersWithDefaultFormatDoNotAllocate) {
  std::string out;
  out.reserve(4096);
  DecimalPatternCache cache;
  std::string warm;
  ASSERT_TRUE(format_number(&cache, "#,##0.00", "de_DE", i32(1), warm).ok());  // parsed once
  const size_t before = g_allocations;
  for (int i = 0; i < 50; ++i) {
    Status a = format_number(&cache, "number", "en_US", i32(i * 12345), out);
    Status b = format_number(&cache, "", "fr_FR", i64(-int64_t{i} * 98765432101), out);
    Status c = format_number(&cache, "#,##0.00", "de_DE", i32(i), out);
    Status d = format_number(nullptr, "c", "en_US", i64(i), out);
    EXPECT_TRUE(a.ok() && b.ok() && c.ok() && d.ok());
  }
  EXPECT_EQ(g_allocations, before);
  EXPECT_GT(out.size(), 0u);
}

TEST(CFormatKind, ParsesExactNames) {
  struct Case {
    const char* text;
    std::optional<CFormatKind::Kind> want;
  };
  const std::vector<Case> cases = {
      {"JavaScript or JSON", CFormatKind::JavaScriptOrJson},
      {"JavaScript", CFormatKind::JavaScript},
      {"JSON", CFormatKind::Json},
      {"Java", CFormatKind::Java},
      {"legacy", CFormatKind::Legacy},
      {"XS", CFormatKind::Xs},
      {"json", std::nullopt},
      {"Legacy", std::nullopt},
      {"xs", std::nullopt},
      {"javascript or json", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    std::optional<CFormatKind> k = CFormatKind::parse(c.text);
    ASSERT_EQ(k.has_value(), c.want.has_value()) << c.text;
    if (k) {
      EXPECT_EQ(CFormatKind::Kind(*k), *c.want) << c.text;
      EXPECT_EQ(k->name(), c.text);
    }
  }
}

TEST(ComputerFormat, NonFiniteSpellingsByDialect) {
  struct Case {
    CFormatKind kind;
    const char* pos_inf;
    const char* neg_inf;
    const char* nan;
    const char* f_pos_inf;
    const char* f_neg_inf;
    const char* f_nan;
  };
  const std::vector<Case> cases = {
      {CFormatKind::JavaScriptOrJson, "Infinity", "-Infinity", "NaN", "Infinity", "-Infinity", "NaN"},
      {CFormatKind::JavaScript, "Infinity", "-Infinity", "NaN", "Infinity", "-Infinity", "NaN"},
      {CFormatKind::Json, "Infinity", "-Infinity", "NaN", "Infinity", "-Infinity", "NaN"},
      {CFormatKind::Legacy, "Infinity", "-Infinity", "NaN", "Infinity", "-Infinity", "NaN"},
      {CFormatKind::Xs, "INF", "-INF", "NaN", "INF", "-INF", "NaN"},
      {CFormatKind::Java, "Double.POSITIVE_INFINITY", "Double.NEGATIVE_INFINITY", "Double.NaN",
       "Float.POSITIVE_INFINITY", "Float.NEGATIVE_INFINITY", "Float.NaN"},
  };
  for (const Case& c : cases) {
    const std::string_view k = c.kind.name();
    EXPECT_EQ(format_c_number(dbl(kInf), c.kind), c.pos_inf) << k;
    EXPECT_EQ(format_c_number(dbl(-kInf), c.kind), c.neg_inf) << k;
    EXPECT_EQ(format_c_number(dbl(kNaN), c.kind), c.nan) << k;
    EXPECT_EQ(format_c_number(flt(kInfF), c.kind), c.f_pos_inf) << k;
    EXPECT_EQ(format_c_number(flt(-kInfF), c.kind), c.f_neg_inf) << k;
    EXPECT_EQ(format_c_number(flt(kNaNF), c.kind), c.f_nan) << k;
  }
}

TEST(ComputerFormat, FiniteNumbers) {
  struct Case {
    TNumber number;
    const char* want;
  };
  const std::vector<Case> cases = {
      {i32(-42), "-42"},
      {i64(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
      {big("-123456789012345678901234567890"), "-123456789012345678901234567890"},
      {dec("1.50"), "1.50"},
      {dec("-0.000000001"), "-0.000000001"},
      {TNumber::from_big_decimal(BigDecimal(BigInteger(12), -3)), "12000"},
      {dbl(1e7), "10000000"},
      {dbl(1.5e7), "15000000"},
      {dbl(0.0001), "0.0001"},
      {dbl(1e-8), "1E-8"},
      {dbl(1e300), "1E300"},
      {dbl(-1e300), "-1E300"},
      {dbl(1.5), "1.5"},
      {dbl(-0.5), "-0.5"},
      {dbl(0.0), "0"},
      {dbl(-0.0), "0"},
      {dbl(12345.678), "12345.678"},
      {dbl(0.001), "0.001"},
      {dbl(0.00099), "0.00099"},
      {dbl(1.2345e-7), "0.00000012345"},
      {dbl(1e-7), "1E-7"},  // the plain range is open at 1e-7
      {dbl(9007199254740992.0), "9007199254740992"},
      {dbl(-9007199254740992.0), "-9007199254740992"},
      {dbl(9007199254740994.0), "9.007199254740994E15"},
      {dbl(123456789.5), "1.234567895E8"},
      {dbl(1e21), "1E21"},
      {dbl(4.9e-324), "5E-324"},  // shortest digits, not a longer legacy text
      {dbl(1.7976931348623157e308), "1.7976931348623157E308"},
      {flt(3.0f), "3"},
      {flt(0.1f), "0.1"},
      {flt(16777216.0f), "16777216"},
      {flt(16777218.0f), "1.6777218E7"},
      {flt(1e10f), "1E10"},
      {flt(0.0005f), "0.0005"},
      {flt(1.5e-8f), "1.5E-8"},
  };
  // Finite numbers read the same in every dialect.
  for (CFormatKind kind : {CFormatKind::JavaScriptOrJson, CFormatKind::JavaScript, CFormatKind::Json,
                           CFormatKind::Java, CFormatKind::Legacy, CFormatKind::Xs}) {
    for (const Case& c : cases) {
      EXPECT_EQ(format_c_number(c.number, kind), c.want) << describe(c.number) << " " << kind.name();
    }
  }
}

TEST(ComputerFormat, StringsByDialect) {
  struct Case {
    const char* text;
    CFormatKind kind;
    const char* want;
  };
  const std::vector<Case> cases = {
      {"it's \"x\"\n", CFormatKind::JavaScriptOrJson, "\"it's \\\"x\\\"\\n\""},
      {"it's \"x\"\n", CFormatKind::Json, "\"it's \\\"x\\\"\\n\""},
      {"it's \"x\"\n", CFormatKind::JavaScript, "\"it's \\\"x\\\"\\n\""},
      {"it's \"x\"\n", CFormatKind::Java, "\"it's \\\"x\\\"\\n\""},
      {"it's \"x\"\n", CFormatKind::Legacy, "it's \"x\"\n"},
      {"it's \"x\"\n", CFormatKind::Xs, "it's \"x\"\n"},
      // A backslash before a quote: the backslash stays escaped, the quote does not.
      {"a\\'b", CFormatKind::JavaScript, "\"a\\\\'b\""},
      {"''", CFormatKind::JavaScript, "\"''\""},
      {"\x01", CFormatKind::Json, "\"\\u0001\""},
      {"\x01", CFormatKind::JavaScript, "\"\\x01\""},
      {"\x01", CFormatKind::Java, "\"\\u0001\""},
      {"", CFormatKind::Json, "\"\""},
      {"", CFormatKind::Xs, ""},
      {"caf\xC3\xA9", CFormatKind::Java, "\"caf\xC3\xA9\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_c_string(c.text, c.kind), c.want) << c.text << " " << c.kind.name();
  }
}

TEST(JavaFloatString, Doubles) {
  struct Case {
    double value;
    const char* want;
  };
  const std::vector<Case> cases = {
      {5.0, "5.0"},
      {123.45, "123.45"},
      {0.00123, "0.00123"},
      {0.001, "0.001"},
      {0.000999, "9.99E-4"},
      {100.0, "100.0"},
      {9999999.0, "9999999.0"},
      {1e7, "1.0E7"},
      {1.2345e-8, "1.2345E-8"},
      {-1e300, "-1.0E300"},
      {-123.0, "-123.0"},
      {1e21, "1.0E21"},
      {4.9e-324, "5.0E-324"},  // the shortest digits that read back
      {0.1 + 0.2, "0.30000000000000004"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {kNaN, "NaN"},
      {kInf, "Infinity"},
      {-kInf, "-Infinity"},
  };
  for (const Case& c : cases) EXPECT_EQ(java_float_string(c.value), c.want) << c.want;
}

TEST(JavaFloatString, Floats) {
  struct Case {
    float value;
    const char* want;
  };
  const std::vector<Case> cases = {
      {0.1f, "0.1"},
      {3.0f, "3.0"},
      {1e10f, "1.0E10"},
      {16777216.0f, "1.6777216E7"},
      {3.4028235e38f, "3.4028235E38"},
      {1.4e-45f, "1.0E-45"},
      {-0.00125f, "-0.00125"},
      {kInfF, "Infinity"},
  };
  for (const Case& c : cases) EXPECT_EQ(java_float_string_f32(c.value), c.want) << c.want;
}

TEST(RemoveRedundantDot0, Cases) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"5.0", "5"},         {"1.0E7", "1E7"},     {"-1.0E-300", "-1E-300"}, {"1.05", "1.05"},
      {"10.0", "10"},       {"1.5E10", "1.5E10"}, {"100", "100"},           {"0.0", "0"},
      {"1.00", "1.00"},     {"", ""},             {".0", ""},               {"1.0E", "1E"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(remove_redundant_dot0(in), want) << in;
}

}  // namespace
}  // namespace tovarn
