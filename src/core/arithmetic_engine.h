// arithmetic_engine.h — the template language's number arithmetic: the
// decimal engine (BigDecimalEngine) behind + - * / %, unary minus, the
// narrowing of integral results to Int/Long/BigInteger, and the numeric
// ordering used by comparisons.
//
// Every operation behaves as if both operands were exact decimals: sums and
// differences are exact, products keep at most 12 fraction digits, quotients
// get at least 12 (both rounded half up), and a result without a fractional
// part comes back as the smallest integer kind that holds it. Integer
// operands (Int, Long, and scale-0 decimals that fit in 64 bits) take a fast
// path with the same results that never touches GMP unless the result needs it.
//
//   ASSIGN_OR_RETURN(TNumber r, arithmetic(ArithOp::Divide, a, b));
//   // Int 10 / Int 4 -> BigDecimal 2.500000000000; Int 6 / Int 2 -> Int 3
#pragma once

#include <cstdint>
#include <string_view>

#include "error/template_error.h"
#include "template/t_number.h"

namespace tovarn {

// The binary arithmetic operators. The first four carry the operator codes of
// the arithmetic expression node; Add is reached through "+" on two numbers
// and the "+=" family of assignments.
enum class ArithOp : uint8_t { Subtract = 0, Multiply = 1, Divide = 2, Modulus = 3, Add = 4 };

// The operator's symbol as messages show it: "-", "*", "/", "%", "+".
std::string_view arith_op_symbol(ArithOp op);

// The decimal engine. Its scales are fixed for every operation.
class BigDecimalEngine {
 public:
  // Least number of fraction digits of a quotient.
  static constexpr int64_t min_scale = 12;
  // Most fraction digits a product keeps.
  static constexpr int64_t max_scale = 12;

  // a + b, exact.                   Int 1 + BigDecimal 0.5 -> BigDecimal 1.5
  static Result<TNumber> add(const TNumber& a, const TNumber& b);
  // a - b, exact.                   Long 2^31 - Int 1      -> Int 2147483647
  static Result<TNumber> sub(const TNumber& a, const TNumber& b);
  // a × b, rounded half up to 12 fraction digits when it has more.
  //                                 1.5 * 1.5 -> BigDecimal 2.25; 3 * 0.1 -> 0.3
  static Result<TNumber> mul(const TNumber& a, const TNumber& b);
  // a ÷ b at scale max(scale a, scale b, 12), rounded half up.
  //                                 2 / 3 -> BigDecimal 0.666666666667; 6 / 2 -> Int 3
  // Fails with "Arithmetic operation failed: / by zero".
  static Result<TNumber> div(const TNumber& a, const TNumber& b);
  // Remainder of the operands truncated to 64-bit integers (see to_long_value),
  // with the sign of the dividend, always a Long.   -7 % 3 -> Long -1; 7.9 % 2 -> Long 1
  static Result<TNumber> mod_op(const TNumber& a, const TNumber& b);
};

// Applies `op` to the two numbers; the entry point for expression nodes.
//   arithmetic(ArithOp::Subtract, TNumber::from_int(5), TNumber::from_int(7))  -> Int -2
Result<TNumber> arithmetic(ArithOp op, const TNumber& a, const TNumber& b);

// Unary minus: the operand as an exact decimal with its sign inverted, then
// narrowed. NaN and infinite floats fail like to_big_decimal.
//   negate(TNumber::from_long(2147483648))  -> Int -2147483648
//   negate(BigDecimal 1.0)                  -> Int -1
Result<TNumber> negate(const TNumber& n);

// Numeric ordering (-1, 0, +1) of two numbers of any kinds: signs first (NaN
// counts as zero), then the values exactly; an infinite float is beyond every
// finite number of its sign.
//   compare_numbers(Int 1, BigDecimal 1.0)  -> 0
int compare_numbers(const TNumber& a, const TNumber& b);

// The engine's exact decimal conversion. Unlike TNumber::as_big_decimal it
// refuses NaN and infinities:
//   "It's impossible to convert a NaN value (Double NaN) to BigDecimal."
//   "It's impossible to convert an infinite value (Float -inf) to BigDecimal."
Result<BigDecimal> to_big_decimal(const TNumber& n);

// A decimal result in its smallest form: a value without a fractional part
// becomes Int, Long or BigInteger; anything else stays a BigDecimal with its
// scale.   2.000 -> Int 2; 2.50 -> BigDecimal 2.50; 1E+3 (scale -3) -> Int 1000
TNumber optimize_number_representation(BigDecimal d);

// The smallest integer kind that holds v: Int, then Long, then BigInteger.
inline TNumber number_from_bigint(const BigInteger& v) { return TNumber::from_integer(v); }

// The operand of "%" as a 64-bit integer: Int/Long as they are, BigInteger
// when it fits, floats truncated toward zero and saturated (NaN is 0),
// BigDecimal truncated toward zero when it fits. Otherwise fails with
// "Can't calculate modulus: operand {} can't be represented as long".
Result<int64_t> to_long_value(const TNumber& n);

// Reference path: the same operations computed only through decimals, with no
// integer fast path. Tests cross-check the fast path against these.
Result<TNumber> decimal_arithmetic(ArithOp op, const TNumber& a, const TNumber& b);
Result<TNumber> decimal_negate(const TNumber& n);

}  // namespace tovarn
