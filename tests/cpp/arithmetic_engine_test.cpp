// arithmetic_engine_test.cpp — the decimal engine's results (kinds, scales,
// rounding, narrowing, error messages) for every operator and operand mix,
// unary minus, numeric comparison, and a generated cross-check of the 64-bit
// fast path against the pure decimal path.
#include "core/arithmetic_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace tovarn {
namespace {

constexpr int32_t kI32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t kI32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kI64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kI64Min = std::numeric_limits<int64_t>::min();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();
constexpr float kNaNF = std::numeric_limits<float>::quiet_NaN();

const char* const kDivByZero = "error:Arithmetic operation failed: / by zero";

TNumber I(int32_t v) { return TNumber::from_int(v); }
TNumber L(int64_t v) { return TNumber::from_long(v); }
TNumber D(double v) { return TNumber::from_double(v); }
TNumber F(float v) { return TNumber::from_float(v); }
TNumber big(const char* digits) { return TNumber::from_big_integer(BigInteger(digits, 10)); }
TNumber dec(const char* text) {
  std::optional<BigDecimal> d = BigDecimal::parse(text);
  EXPECT_TRUE(d.has_value()) << text;
  return TNumber::from_big_decimal(d.value_or(BigDecimal()));
}

// "Kind:text" for a number (the text shows a BigDecimal's scale), or
// "error:message" for a failure, so results compare as one string.
std::string describe(const TNumber& n) { return std::string(number_kind_name(n.kind())) + ":" + n.to_plain_string(); }
std::string describe(Result<TNumber> r) {
  if (!r.ok()) return "error:" + r.error()->text;
  return describe(r.value());
}

struct OpCase {
  ArithOp op;
  TNumber a, b;
  std::string want;
};

TEST(ArithmeticEngine, AddAndSubtract) {
  std::vector<OpCase> cases = {
      {ArithOp::Add, dec("0.1"), dec("0.2"), "BigDecimal:0.3"},
      {ArithOp::Add, D(0.1), D(0.2), "BigDecimal:0.3"},
      {ArithOp::Add, F(0.1f), I(0), "BigDecimal:0.1"},
      {ArithOp::Add, D(0.5), F(0.25f), "BigDecimal:0.75"},
      {ArithOp::Add, I(1), dec("0.5"), "BigDecimal:1.5"},
      {ArithOp::Add, dec("1.000"), dec("2.5"), "BigDecimal:3.500"},
      {ArithOp::Add, dec("1.50"), dec("1.50"), "Int:3"},
      {ArithOp::Add, dec("1e3"), I(1), "Int:1001"},
      {ArithOp::Add, D(-0.0), I(0), "Int:0"},
      {ArithOp::Add, D(1e20), I(0), "BigInteger:100000000000000000000"},
      {ArithOp::Add, I(kI32Max), I(1), "Long:2147483648"},
      {ArithOp::Add, dec("2147483647"), dec("1"), "Long:2147483648"},
      {ArithOp::Add, L(kI64Max), I(1), "BigInteger:9223372036854775808"},
      {ArithOp::Add, L(kI64Min), L(kI64Min), "BigInteger:-18446744073709551616"},
      {ArithOp::Add, big("9223372036854775808"), I(-1), "Long:9223372036854775807"},
      {ArithOp::Add, big("18446744073709551616"), big("-18446744073709551616"), "Int:0"},
      {ArithOp::Subtract, L(2147483648), I(1), "Int:2147483647"},
      {ArithOp::Subtract, I(kI32Min), I(1), "Long:-2147483649"},
      {ArithOp::Subtract, L(kI64Min), I(1), "BigInteger:-9223372036854775809"},
      {ArithOp::Subtract, I(0), L(kI64Min), "BigInteger:9223372036854775808"},
      {ArithOp::Subtract, dec("0.3"), dec("0.1"), "BigDecimal:0.2"},
      {ArithOp::Subtract, dec("1.5"), D(0.5), "Int:1"},
      {ArithOp::Subtract, D(kNaN), I(1), "error:It's impossible to convert a NaN value (Double NaN) to BigDecimal."},
      {ArithOp::Add, F(kNaNF), I(1), "error:It's impossible to convert a NaN value (Float NaN) to BigDecimal."},
      {ArithOp::Subtract, I(1), D(-kInf),
       "error:It's impossible to convert an infinite value (Double -inf) to BigDecimal."},
      {ArithOp::Add, F(kInfF), I(1), "error:It's impossible to convert an infinite value (Float inf) to BigDecimal."},
      // The left operand's conversion error wins.
      {ArithOp::Add, D(kNaN), D(kInf), "error:It's impossible to convert a NaN value (Double NaN) to BigDecimal."},
  };
  for (const OpCase& c : cases)
    EXPECT_EQ(describe(arithmetic(c.op, c.a, c.b)), c.want)
        << describe(c.a) << " " << arith_op_symbol(c.op) << " " << describe(c.b);
}

TEST(ArithmeticEngine, MultiplyScalesAndRounding) {
  std::vector<OpCase> cases = {
      {ArithOp::Multiply, I(3), dec("0.1"), "BigDecimal:0.3"},
      {ArithOp::Multiply, D(0.1), D(3), "BigDecimal:0.3"},
      {ArithOp::Multiply, dec("1.5"), dec("1.5"), "BigDecimal:2.25"},
      {ArithOp::Multiply, dec("2.5"), I(2), "Int:5"},
      {ArithOp::Multiply, dec("1e-20"), dec("1e20"), "Int:1"},
      {ArithOp::Multiply, dec("1e5"), dec("1e5"), "Long:10000000000"},
      // Exactly 12 fraction digits are kept unrounded.
      {ArithOp::Multiply, dec("0.000001"), dec("0.000003"), "BigDecimal:0.000000000003"},
      // 13 digits: rounded half up, ties away from zero.
      {ArithOp::Multiply, dec("0.000001"), dec("0.0000015"), "BigDecimal:0.000000000002"},
      {ArithOp::Multiply, dec("-0.000001"), dec("0.0000015"), "BigDecimal:-0.000000000002"},
      {ArithOp::Multiply, dec("0.000001"), dec("0.0000014"), "BigDecimal:0.000000000001"},
      {ArithOp::Multiply, dec("1.5e-11"), dec("0.1"), "BigDecimal:0.000000000002"},
      {ArithOp::Multiply, dec("0.0000001"), dec("0.0000001"), "Int:0"},
      {ArithOp::Multiply, dec("0.000001"), dec("0.0000004"), "Int:0"},
      {ArithOp::Multiply, dec("1e-3000"), dec("1e-3000"), "Int:0"},
      {ArithOp::Multiply, dec("0.9999999999999"), I(1), "Int:1"},
      {ArithOp::Multiply, I(65536), I(65536), "Long:4294967296"},
      {ArithOp::Multiply, I(kI32Min), I(-1), "Long:2147483648"},
      {ArithOp::Multiply, L(kI64Max), I(2), "BigInteger:18446744073709551614"},
      {ArithOp::Multiply, L(kI64Min), I(-1), "BigInteger:9223372036854775808"},
      {ArithOp::Multiply, D(kInf), I(2), "error:It's impossible to convert an infinite value (Double inf) to BigDecimal."},
  };
  for (const OpCase& c : cases)
    EXPECT_EQ(describe(arithmetic(c.op, c.a, c.b)), c.want)
        << describe(c.a) << " " << arith_op_symbol(c.op) << " " << describe(c.b);
}

TEST(ArithmeticEngine, DivideScalesAndRounding) {
  std::vector<OpCase> cases = {
      {ArithOp::Divide, I(7), I(2), "BigDecimal:3.500000000000"},
      {ArithOp::Divide, I(6), I(2), "Int:3"},
      {ArithOp::Divide, I(10), I(4), "BigDecimal:2.500000000000"},
      {ArithOp::Divide, I(1), I(3), "BigDecimal:0.333333333333"},
      {ArithOp::Divide, I(2), I(3), "BigDecimal:0.666666666667"},
      {ArithOp::Divide, I(-2), I(3), "BigDecimal:-0.666666666667"},
      {ArithOp::Divide, I(2), I(-3), "BigDecimal:-0.666666666667"},
      {ArithOp::Divide, dec("1"), dec("8"), "BigDecimal:0.125000000000"},
      {ArithOp::Divide, D(7.5), D(2.5), "Int:3"},
      {ArithOp::Divide, dec("1.5"), dec("0.5"), "Int:3"},
      // The larger operand scale beats the minimum of 12.
      {ArithOp::Divide, dec("1.0000000000000"), I(3), "BigDecimal:0.3333333333333"},
      {ArithOp::Divide, I(1), dec("0.0000000000003"), "BigDecimal:3333333333333.3333333333333"},
      // Ties at the 12th digit round away from zero.
      {ArithOp::Divide, I(5), dec("1e13"), "BigDecimal:0.000000000001"},
      {ArithOp::Divide, I(-5), dec("1e13"), "BigDecimal:-0.000000000001"},
      {ArithOp::Divide, I(4), dec("1e13"), "Int:0"},
      {ArithOp::Divide, I(1), L(2000000000000), "BigDecimal:0.000000000001"},
      {ArithOp::Divide, I(-3), L(2000000000000), "BigDecimal:-0.000000000002"},
      {ArithOp::Divide, I(1), L(2000000000001), "Int:0"},
      {ArithOp::Divide, I(1), dec("1e30"), "Int:0"},
      {ArithOp::Divide, I(1), dec("1e999999999999"), "Int:0"},
      // Rounding can land on a whole number.
      {ArithOp::Divide, L(999999999999999), L(1000000000000001), "Int:1"},
      {ArithOp::Divide, L(kI64Max), L(kI64Max - 1), "Int:1"},
      {ArithOp::Divide, L(kI64Min), I(-1), "BigInteger:9223372036854775808"},
      {ArithOp::Divide, I(kI32Min), I(-1), "Long:2147483648"},
      {ArithOp::Divide, L(kI64Min), I(3), "BigDecimal:-3074457345618258602.666666666667"},
      {ArithOp::Divide, big("18446744073709551616"), I(2), "BigInteger:9223372036854775808"},
      {ArithOp::Divide, I(5), I(0), kDivByZero},
      {ArithOp::Divide, dec("1.5"), dec("0.00"), kDivByZero},
      {ArithOp::Divide, D(1), D(-0.0), kDivByZero},
      // Conversions come before the zero check.
      {ArithOp::Divide, D(kNaN), I(0), "error:It's impossible to convert a NaN value (Double NaN) to BigDecimal."},
  };
  for (const OpCase& c : cases)
    EXPECT_EQ(describe(arithmetic(c.op, c.a, c.b)), c.want)
        << describe(c.a) << " " << arith_op_symbol(c.op) << " " << describe(c.b);
}

TEST(ArithmeticEngine, Modulus) {
  std::vector<OpCase> cases = {
      {ArithOp::Modulus, I(7), I(3), "Long:1"},
      {ArithOp::Modulus, I(-7), I(3), "Long:-1"},
      {ArithOp::Modulus, I(7), I(-3), "Long:1"},
      {ArithOp::Modulus, I(6), I(3), "Long:0"},
      {ArithOp::Modulus, dec("7.9"), I(2), "Long:1"},
      {ArithOp::Modulus, dec("-7.9"), I(2), "Long:-1"},
      {ArithOp::Modulus, F(7.9f), D(2.7), "Long:1"},
      {ArithOp::Modulus, dec("0.5"), I(3), "Long:0"},
      {ArithOp::Modulus, dec("1e-99999999999"), I(3), "Long:0"},
      {ArithOp::Modulus, dec("1e2"), I(7), "Long:2"},
      {ArithOp::Modulus, D(kNaN), I(2), "Long:0"},
      {ArithOp::Modulus, D(-1e30), I(10), "Long:-8"},
      {ArithOp::Modulus, D(kInf), I(10), "Long:7"},
      {ArithOp::Modulus, big("9223372036854775807"), I(10), "Long:7"},
      {ArithOp::Modulus, L(kI64Min), I(-1), "Long:0"},
      {ArithOp::Modulus, L(kI64Min), L(kI64Max), "Long:-1"},
      {ArithOp::Modulus, I(5), I(0), kDivByZero},
      {ArithOp::Modulus, I(5), dec("0.5"), kDivByZero},
      {ArithOp::Modulus, I(5), D(kNaN), kDivByZero},
      {ArithOp::Modulus, dec("1e30"), I(7),
       "error:Can't calculate modulus: operand 1000000000000000000000000000000 can't be represented as long"},
      {ArithOp::Modulus, I(7), big("9223372036854775808"),
       "error:Can't calculate modulus: operand 9223372036854775808 can't be represented as long"},
      {ArithOp::Modulus, dec("-9223372036854775809.5"), I(0),
       "error:Can't calculate modulus: operand -9223372036854775809.5 can't be represented as long"},
  };
  for (const OpCase& c : cases)
    EXPECT_EQ(describe(arithmetic(c.op, c.a, c.b)), c.want)
        << describe(c.a) << " " << arith_op_symbol(c.op) << " " << describe(c.b);
}

TEST(ArithmeticEngine, EngineMethodsMatchOperatorCodes) {
  const TNumber a = dec("7.25"), b = I(2);
  EXPECT_EQ(describe(BigDecimalEngine::add(a, b)), describe(arithmetic(ArithOp::Add, a, b)));
  EXPECT_EQ(describe(BigDecimalEngine::sub(a, b)), "BigDecimal:5.25");
  EXPECT_EQ(describe(BigDecimalEngine::mul(a, b)), "BigDecimal:14.50");
  EXPECT_EQ(describe(BigDecimalEngine::div(a, b)), "BigDecimal:3.625000000000");
  EXPECT_EQ(describe(BigDecimalEngine::mod_op(a, b)), "Long:1");
  EXPECT_EQ(BigDecimalEngine::min_scale, 12);
  EXPECT_EQ(BigDecimalEngine::max_scale, 12);

  struct SymbolCase {
    ArithOp op;
    int code;
    std::string_view symbol;
  };
  std::vector<SymbolCase> symbols = {{ArithOp::Subtract, 0, "-"}, {ArithOp::Multiply, 1, "*"},
                                     {ArithOp::Divide, 2, "/"},   {ArithOp::Modulus, 3, "%"},
                                     {ArithOp::Add, 4, "+"}};
  for (const SymbolCase& s : symbols) {
    EXPECT_EQ(static_cast<int>(s.op), s.code);
    EXPECT_EQ(arith_op_symbol(s.op), s.symbol);
  }
}

TEST(ArithmeticEngine, Negate) {
  struct Case {
    TNumber n;
    std::string want;
  };
  std::vector<Case> cases = {
      {I(0), "Int:0"},
      {I(5), "Int:-5"},
      {L(2147483648), "Int:-2147483648"},
      {dec("2147483648"), "Int:-2147483648"},
      {I(kI32Min), "Long:2147483648"},
      {L(kI64Min), "BigInteger:9223372036854775808"},
      {big("9223372036854775808"), "Long:-9223372036854775808"},
      {dec("1.0"), "Int:-1"},
      {dec("0.50"), "BigDecimal:-0.50"},
      {dec("-1e3"), "Int:1000"},
      {D(-0.0), "Int:0"},
      {D(0.1), "BigDecimal:-0.1"},
      {F(-2.5f), "BigDecimal:2.5"},
      {D(kNaN), "error:It's impossible to convert a NaN value (Double NaN) to BigDecimal."},
      {F(-kInfF), "error:It's impossible to convert an infinite value (Float -inf) to BigDecimal."},
  };
  for (const Case& c : cases) EXPECT_EQ(describe(negate(c.n)), c.want) << describe(c.n);
}

TEST(ArithmeticEngine, CompareNumbers) {
  struct Case {
    TNumber a, b;
    int want;
  };
  std::vector<Case> cases = {
      {I(1), dec("1.0"), 0},
      {dec("2.50"), dec("2.5"), 0},
      {D(0.1), dec("0.1"), 0},
      {D(1e20), big("100000000000000000000"), 0},
      {L(3), I(2), 1},
      {I(-3), L(kI64Min), 1},
      {dec("-2"), I(1), -1},
      {big("18446744073709551616"), big("18446744073709551617"), -1},
      {big("-9223372036854775809"), L(kI64Min), -1},
      {F(0.5f), D(0.25), 1},
      {D(0.1), F(0.1f), -1},  // floats compare as doubles: 0.1f widens above 0.1
      {D(-0.0), I(0), 0},
      {D(kNaN), I(0), 0},  // NaN counts as zero
      {D(kNaN), D(kNaN), 0},
      {D(kNaN), I(1), -1},
      {D(kNaN), dec("-0.5"), 1},
      {D(kInf), F(kInfF), 0},
      {D(kInf), D(1e308), 1},
      // Infinities lie beyond every exact number of their sign.
      {D(kInf), dec("1e400"), 1},
      {D(-kInf), dec("-1e400"), -1},
      {F(kInfF), L(kI64Max), 1},
      {D(-kInf), I(1), -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compare_numbers(c.a, c.b), c.want) << describe(c.a) << " vs " << describe(c.b);
    EXPECT_EQ(compare_numbers(c.b, c.a), -c.want) << describe(c.b) << " vs " << describe(c.a);
  }
}

TEST(ArithmeticEngine, ToBigDecimalAndOptimize) {
  struct ConvCase {
    TNumber n;
    std::string want;  // standard text of the decimal
    int64_t scale;
  };
  std::vector<ConvCase> conversions = {
      {D(0.1), "0.1", 1},        {F(0.1f), "0.1", 1},   {D(-0.0), "0", 0},
      {D(1e20), "100000000000000000000", 0},             {L(kI64Min), "-9223372036854775808", 0},
      {dec("1.50"), "1.50", 2},  {big("-18446744073709551616"), "-18446744073709551616", 0},
  };
  for (const ConvCase& c : conversions) {
    Result<BigDecimal> d = to_big_decimal(c.n);
    ASSERT_TRUE(d.ok()) << describe(c.n);
    EXPECT_EQ(d->to_string(), c.want);
    EXPECT_EQ(d->scale(), c.scale) << c.want;
  }

  struct OptCase {
    const char* unscaled;
    int64_t scale;
    std::string want;
  };
  std::vector<OptCase> optimized = {
      {"2000", 3, "Int:2"},
      {"250", 2, "BigDecimal:2.50"},
      {"1", -3, "Int:1000"},
      {"0", 5, "Int:0"},
      {"0", -40, "Int:0"},
      {"5", -20, "BigInteger:500000000000000000000"},
      {"-2147483648000", 3, "Int:-2147483648"},
      {"21474836480", 1, "Long:2147483648"},
      {"92233720368547758070", 1, "Long:9223372036854775807"},
      {"10000000000000000000000000", 25, "Int:1"},
      {"10000000000000000000000001", 25, "BigDecimal:1.0000000000000000000000001"},
      {"7", 30, "BigDecimal:0.000000000000000000000000000007"},
  };
  for (const OptCase& c : optimized)
    EXPECT_EQ(describe(optimize_number_representation(BigDecimal(BigInteger(c.unscaled, 10), c.scale))), c.want)
        << c.unscaled << "e-" << c.scale;
}

TEST(ArithmeticEngine, ToLongValue) {
  struct Case {
    TNumber n;
    std::optional<int64_t> want;
  };
  std::vector<Case> cases = {
      {I(-7), -7},
      {L(kI64Min), kI64Min},
      {D(-7.9), -7},
      {D(1e300), kI64Max},
      {F(-kInfF), kI64Min},
      {D(kNaN), 0},
      {dec("-7.9"), -7},
      {dec("9223372036854775807.9"), kI64Max},
      {dec("9223372036854775808"), std::nullopt},
      {dec("1e19"), std::nullopt},
      {dec("1e18"), 1000000000000000000},
      {big("-9223372036854775808"), kI64Min},
      {big("-9223372036854775809"), std::nullopt},
  };
  for (const Case& c : cases) {
    Result<int64_t> r = to_long_value(c.n);
    if (c.want) {
      ASSERT_TRUE(r.ok()) << describe(c.n);
      EXPECT_EQ(*r, *c.want) << describe(c.n);
    } else {
      ASSERT_FALSE(r.ok()) << describe(c.n);
      EXPECT_EQ(r.error()->text,
                "Can't calculate modulus: operand " + c.n.to_plain_string() + " can't be represented as long");
    }
  }
}

// Operands the fast path takes, in every representation it accepts.
TNumber as_kind(int64_t v, int which) {
  switch (which % 3) {
    case 0:
      if (v >= kI32Min && v <= kI32Max) return I(static_cast<int32_t>(v));
      return L(v);
    case 1:
      return L(v);
    default:
      return TNumber::from_big_decimal(BigDecimal::from_i64(v));
  }
}

// Values spread over every magnitude, boundaries included.
std::vector<int64_t> operand_values(std::mt19937_64& rng, size_t random_count) {
  std::vector<int64_t> values = {0,
                                 1,
                                 -1,
                                 2,
                                 -2,
                                 3,
                                 7,
                                 -7,
                                 10,
                                 1000000000000,
                                 -1000000000000,
                                 999999999999999,
                                 1000000000000001,
                                 2000000000000,
                                 -6000000000000,
                                 kI32Max,
                                 kI32Min,
                                 int64_t{kI32Max} + 1,
                                 int64_t{kI32Min} - 1,
                                 int64_t{1} << 32,
                                 kI64Max,
                                 kI64Min,
                                 kI64Max - 1,
                                 kI64Min + 1,
                                 kI64Max / 2,
                                 kI64Min / 2};
  for (size_t i = 0; i < random_count; ++i) {
    int shift = static_cast<int>(rng() % 64);
    values.push_back(static_cast<int64_t>(rng()) >> shift);
  }
  return values;
}

TEST(ArithmeticEngine, FastPathMatchesDecimalEngine) {
  std::mt19937_64 rng(20240611);
  const std::vector<int64_t> values = operand_values(rng, 40);
  const ArithOp ops[] = {ArithOp::Add, ArithOp::Subtract, ArithOp::Multiply, ArithOp::Divide, ArithOp::Modulus};
  size_t checked = 0;
  auto check = [&](int64_t x, int64_t y, int kinds) {
    const TNumber a = as_kind(x, kinds), b = as_kind(y, kinds / 3);
    for (ArithOp op : ops) {
      ASSERT_EQ(describe(arithmetic(op, a, b)), describe(decimal_arithmetic(op, a, b)))
          << describe(a) << " " << arith_op_symbol(op) << " " << describe(b);
      ++checked;
    }
    ASSERT_EQ(describe(negate(a)), describe(decimal_negate(a))) << "-" << describe(a);
  };
  // Every pair of the boundary and sampled values, with varied representations.
  for (size_t i = 0; i < values.size(); ++i)
    for (size_t j = 0; j < values.size(); ++j) check(values[i], values[j], static_cast<int>((i + j) % 9));
  // Random pairs, including small divisors so that quotients are often inexact.
  for (int k = 0; k < 20000; ++k) {
    int64_t x = static_cast<int64_t>(rng()) >> (rng() % 64);
    int64_t y = (k % 2 == 0) ? static_cast<int64_t>(rng() % 2001) - 1000 : static_cast<int64_t>(rng()) >> (rng() % 64);
    check(x, y, static_cast<int>(rng() % 9));
  }
  EXPECT_GT(checked, 100000u);
}

}  // namespace
}  // namespace tovarn
