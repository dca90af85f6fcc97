// t_number_test.cpp — TNumber conversions on every representation,
// BigDecimal text parsing/printing/comparison, payload copying, and the
// Int/Long fast addition.
#include "core/arithmetic_engine.h"
#include "template/t_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tovarn {
namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TNumber dec(const char* text) {
  std::optional<BigDecimal> d = BigDecimal::parse(text);
  EXPECT_TRUE(d.has_value()) << text;
  return TNumber::from_big_decimal(d.value_or(BigDecimal()));
}

TNumber big(const char* digits) { return TNumber::from_big_integer(BigInteger(digits, 10)); }

TEST(TNumber, AsI64) {
  struct Case {
    const char* name;
    TNumber n;
    std::optional<int64_t> want;
  };
  std::vector<Case> cases = {
      {"int", TNumber::from_int(-7), -7},
      {"int max", TNumber::from_int(std::numeric_limits<int32_t>::max()), 2147483647},
      {"long max", TNumber::from_long(kMax), kMax},
      {"long min", TNumber::from_long(kMin), kMin},
      {"bigint max", big("9223372036854775807"), kMax},
      {"bigint min", big("-9223372036854775808"), kMin},
      {"bigint over", big("9223372036854775808"), std::nullopt},
      {"bigint under", big("-9223372036854775809"), std::nullopt},
      {"float 3", TNumber::from_float(3.0f), 3},
      {"float 2.5", TNumber::from_float(2.5f), std::nullopt},
      {"float 1e30", TNumber::from_float(1e30f), kMax},
      {"double 3.0", TNumber::from_double(3.0), 3},
      {"double -3.0", TNumber::from_double(-3.0), -3},
      {"double 3.5", TNumber::from_double(3.5), std::nullopt},
      {"double -0.5", TNumber::from_double(-0.5), std::nullopt},
      {"double 1e30", TNumber::from_double(1e30), kMax},
      {"double -1e30", TNumber::from_double(-1e30), kMin},
      {"double 2^63", TNumber::from_double(9223372036854775808.0), kMax},
      {"double -2^63", TNumber::from_double(-9223372036854775808.0), kMin},
      {"double 2^53", TNumber::from_double(9007199254740992.0), 9007199254740992},
      {"double -0", TNumber::from_double(-0.0), 0},
      {"double nan", TNumber::from_double(kNaN), std::nullopt},
      {"double inf", TNumber::from_double(kInf), std::nullopt},
      {"double -inf", TNumber::from_double(-kInf), std::nullopt},
      {"float nan", TNumber::from_float(std::numeric_limits<float>::quiet_NaN()), std::nullopt},
      {"decimal 100", dec("100"), 100},
      {"decimal -42", dec("-42"), -42},
      {"decimal 100.0", dec("100.0"), std::nullopt},
      {"decimal 0.0", dec("0.0"), std::nullopt},
      {"decimal 1E+2", dec("1E+2"), 100},
      {"decimal 0E+5", dec("0E+5"), 0},
      {"decimal long max", dec("9223372036854775807"), kMax},
      {"decimal over", dec("9223372036854775808"), std::nullopt},
      {"decimal 1e19", dec("1e19"), std::nullopt},
      {"decimal 9e18", dec("9e18"), 9000000000000000000},
      {"decimal 1e40", dec("1e40"), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(c.n.as_i64(), c.want) << c.name;
}

TEST(TNumber, AsF64) {
  struct Case {
    const char* name;
    TNumber n;
    double want;
  };
  std::vector<Case> cases = {
      {"int", TNumber::from_int(-3), -3.0},
      {"long 2^53+1 rounds", TNumber::from_long(9007199254740993), 9007199254740992.0},
      {"float widened", TNumber::from_float(0.1f), static_cast<double>(0.1f)},
      {"double", TNumber::from_double(0.1), 0.1},
      {"bigint 2^64", big("18446744073709551616"), 18446744073709551616.0},
      {"bigint huge", big(("1" + std::string(400, '0')).c_str()), kInf},
      {"bigint -huge", big(("-1" + std::string(400, '0')).c_str()), -kInf},
      {"decimal 0.1", dec("0.1"), 0.1},
      {"decimal 123.456", dec("123.456"), 123.456},
      {"decimal -2.5", dec("-2.5"), -2.5},
      {"decimal 1E+3", dec("1E+3"), 1000.0},
      {"decimal 0.000", dec("0.000"), 0.0},
      {"decimal tiny", dec("1e-400"), 0.0},
      {"decimal -huge", dec("-1e400"), -kInf},
      {"decimal long digits", dec("12345678901234567890.5"), 12345678901234567890.5},
  };
  for (const Case& c : cases) {
    std::optional<double> got = c.n.as_f64();
    ASSERT_TRUE(got.has_value()) << c.name;
    EXPECT_EQ(*got, c.want) << c.name;
  }
  std::optional<double> nan = TNumber::from_double(kNaN).as_f64();
  ASSERT_TRUE(nan.has_value());
  EXPECT_TRUE(std::isnan(*nan));
}

TEST(TNumber, AsBigDecimal) {
  struct Case {
    const char* name;
    TNumber n;
    const char* unscaled;
    int64_t scale;
  };
  std::vector<Case> cases = {
      {"int", TNumber::from_int(-5), "-5", 0},
      {"long", TNumber::from_long(kMin), "-9223372036854775808", 0},
      {"bigint", big("123456789012345678901234567890"), "123456789012345678901234567890", 0},
      {"double 0.1", TNumber::from_double(0.1), "1", 1},
      {"float 0.1", TNumber::from_float(0.1f), "1", 1},
      {"double 1e20", TNumber::from_double(1e20), "100000000000000000000", 0},
      {"double -2.5", TNumber::from_double(-2.5), "-25", 1},
      {"double 3.0", TNumber::from_double(3.0), "3", 0},
      {"double 1.5e-7", TNumber::from_double(1.5e-7), "15", 8},
      {"double nan", TNumber::from_double(kNaN), "0", 0},
      {"double inf", TNumber::from_double(kInf), "0", 0},
      {"float -inf", TNumber::from_float(-std::numeric_limits<float>::infinity()), "0", 0},
      {"decimal keeps scale", dec("1.50"), "150", 2},
  };
  for (const Case& c : cases) {
    BigDecimal d = c.n.as_big_decimal();
    EXPECT_EQ(d.unscaled().get_str(), c.unscaled) << c.name;
    EXPECT_EQ(d.scale(), c.scale) << c.name;
  }
  // The float 0.1 converts to exactly the decimal 0.1 a literal would give.
  EXPECT_EQ(TNumber::from_double(0.1).as_big_decimal(), *BigDecimal::parse("0.1"));
}

TEST(TNumber, ToPlainString) {
  struct Case {
    const char* name;
    TNumber n;
    const char* want;
  };
  std::vector<Case> cases = {
      {"int", TNumber::from_int(-5), "-5"},
      {"long", TNumber::from_long(kMax), "9223372036854775807"},
      {"bigint", big("-100000000000000000000000000000"), "-100000000000000000000000000000"},
      {"float 0.1", TNumber::from_float(0.1f), "0.1"},
      {"float 1", TNumber::from_float(1.0f), "1"},
      {"double 1", TNumber::from_double(1.0), "1"},
      {"double 0.5", TNumber::from_double(0.5), "0.5"},
      {"double -0.5", TNumber::from_double(-0.5), "-0.5"},
      {"double 1e20", TNumber::from_double(1e20), "100000000000000000000"},
      {"double 1.5e-7", TNumber::from_double(1.5e-7), "0.00000015"},
      {"double 0.1+0.2", TNumber::from_double(0.1 + 0.2), "0.30000000000000004"},
      {"double nan", TNumber::from_double(kNaN), "NaN"},
      {"double inf", TNumber::from_double(kInf), "inf"},
      {"double -inf", TNumber::from_double(-kInf), "-inf"},
      {"decimal 1.50", dec("1.50"), "1.50"},
      {"decimal -0.001", dec("-0.001"), "-0.001"},
      {"decimal -.5", dec("-.5"), "-0.5"},
      {"decimal 0.00", dec("0.00"), "0.00"},
      {"decimal 1e2", dec("1e2"), "100"},
      {"decimal 12.5e-3", dec("12.5e-3"), "0.0125"},
      {"decimal 123.45", dec("123.45"), "123.45"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.n.to_plain_string(), c.want) << c.name;
}

TEST(BigDecimal, Parse) {
  struct Case {
    const char* text;
    bool valid;
    const char* unscaled;
    int64_t scale;
  };
  std::vector<Case> cases = {
      {"1.50", true, "150", 2},     {"+7", true, "7", 0},         {"-0.25", true, "-25", 2},
      {".5", true, "5", 1},         {"5.", true, "5", 0},         {"1e3", true, "1", -3},
      {"1.5E-2", true, "15", 3},    {"0007", true, "7", 0},       {"", false, "", 0},
      {"+", false, "", 0},          {".", false, "", 0},          {"-.", false, "", 0},
      {"1e", false, "", 0},         {"1e+", false, "", 0},        {"abc", false, "", 0},
      {"1.2.3", false, "", 0},      {" 1", false, "", 0},         {"1 ", false, "", 0},
      {"1e5x", false, "", 0},       {"--1", false, "", 0},        {"e5", false, "", 0},
      {"1e99999999999999999999", false, "", 0},
  };
  for (const Case& c : cases) {
    std::optional<BigDecimal> d = BigDecimal::parse(c.text);
    ASSERT_EQ(d.has_value(), c.valid) << c.text;
    if (!d) continue;
    EXPECT_EQ(d->unscaled().get_str(), c.unscaled) << c.text;
    EXPECT_EQ(d->scale(), c.scale) << c.text;
  }
}

TEST(BigDecimal, Compare) {
  struct Case {
    const char* a;
    const char* b;
    int want;
  };
  std::vector<Case> cases = {
      {"1.0", "1.00", 0}, {"1e2", "100", 0},   {"0.1", "0.2", -1}, {"-1", "0.5", -1},
      {"2", "1.999", 1},  {"-2", "-1.5", -1},  {"0", "-0.0", 0},   {"0.00", "0.01", -1},
      {"99", "1e2", -1},  {"100.1", "1e2", 1}, {"-99", "-1e2", 1}, {"9.99", "10", -1},
      // Far-apart scales are ordered without expanding the digits.
      {"1e-999999999", "1", -1}, {"-1e999999999", "-1", -1}, {"1e999999999", "1e999999998", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BigDecimal::parse(c.a)->compare(*BigDecimal::parse(c.b)), c.want) << c.a << " vs " << c.b;
    EXPECT_EQ(BigDecimal::parse(c.b)->compare(*BigDecimal::parse(c.a)), -c.want) << c.b << " vs " << c.a;
  }
}

// Copies own their digits: changing or destroying one never affects the other.
TEST(TNumber, BigPayloadCopiesAreIndependent) {
  TNumber a = dec("12345678901234567890.123");
  TNumber b = a;
  EXPECT_NE(&a.big_decimal(), &b.big_decimal());
  EXPECT_EQ(b.to_plain_string(), "12345678901234567890.123");
  TNumber c = big("99999999999999999999999");
  c = a;  // replaces a big integer by a big decimal
  EXPECT_EQ(c.kind(), NumberKind::BigDecimal);
  a = TNumber::from_int(1);  // releases a's digits
  EXPECT_EQ(b.to_plain_string(), "12345678901234567890.123");
  EXPECT_EQ(c.to_plain_string(), "12345678901234567890.123");
  TNumber d = std::move(c);
  EXPECT_EQ(d.to_plain_string(), "12345678901234567890.123");
  TNumber& alias = d;
  d = alias;  // self-assignment keeps the value
  EXPECT_EQ(d.to_plain_string(), "12345678901234567890.123");
  std::vector<TNumber> v(3, b);
  v.push_back(big("1"));
  v.erase(v.begin());
  EXPECT_EQ(v[0].to_plain_string(), "12345678901234567890.123");
}

TEST(TNumber, FromInteger) {
  EXPECT_EQ(TNumber::from_integer(BigInteger(5)).kind(), NumberKind::Int);
  EXPECT_EQ(TNumber::from_integer(BigInteger("2147483648", 10)).kind(), NumberKind::Long);
  EXPECT_EQ(TNumber::from_integer(BigInteger("-2147483648", 10)).kind(), NumberKind::Int);
  EXPECT_EQ(TNumber::from_integer(BigInteger("9223372036854775808", 10)).kind(), NumberKind::BigInteger);
}

TEST(TNumber, AddIntFast) {
  struct Case {
    const char* name;
    TNumber a, b;
    NumberKind kind;
    const char* text;
  };
  constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();
  std::vector<Case> cases = {
      {"small", TNumber::from_int(2), TNumber::from_int(3), NumberKind::Int, "5"},
      {"int overflow", TNumber::from_int(kIntMax), TNumber::from_int(1), NumberKind::Long, "2147483648"},
      {"int underflow", TNumber::from_int(kIntMin), TNumber::from_int(-1), NumberKind::Long, "-2147483649"},
      {"long shrinks", TNumber::from_long(5000000000), TNumber::from_long(-4999999999), NumberKind::Int, "1"},
      {"long overflow", TNumber::from_long(kMax), TNumber::from_int(1), NumberKind::BigInteger,
       "9223372036854775808"},
      {"long underflow", TNumber::from_long(kMin), TNumber::from_long(-1), NumberKind::BigInteger,
       "-9223372036854775809"},
  };
  for (const Case& c : cases) {
    Result<TNumber> r = arithmetic(ArithOp::Add, c.a, c.b);
    ASSERT_TRUE(r.ok()) << c.name;
    EXPECT_EQ(r->kind(), c.kind) << c.name;
    EXPECT_EQ(r->to_plain_string(), c.text) << c.name;
  }
}

}  // namespace
}  // namespace tovarn
