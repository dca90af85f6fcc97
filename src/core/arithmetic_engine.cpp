// arithmetic_engine.cpp — the decimal engine (exact sums, products rounded to
// 12 fraction digits, quotients to at least 12, truncating modulus), the
// narrowing of integral results, unary minus, numeric comparison, and the
// 64-bit integer fast path that reproduces the decimal results without GMP.
#include "core/arithmetic_engine.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace tovarn {

namespace {

constexpr int64_t kI64Max = std::numeric_limits<int64_t>::max();
constexpr int64_t kI64Min = std::numeric_limits<int64_t>::min();
constexpr uint64_t kPow10Cached = 19;  // 10^19 still fits in unsigned 64 bits
constexpr uint64_t kPow10[kPow10Cached + 1] = {
    1ULL,
    10ULL,
    100ULL,
    1000ULL,
    10000ULL,
    100000ULL,
    1000000ULL,
    10000000ULL,
    100000000ULL,
    1000000000ULL,
    10000000000ULL,
    100000000000ULL,
    1000000000000ULL,
    10000000000000ULL,
    100000000000000ULL,
    1000000000000000ULL,
    10000000000000000ULL,
    100000000000000000ULL,
    1000000000000000000ULL,
    10000000000000000000ULL,
};

Error division_by_zero() { return Error::misc("Arithmetic operation failed: / by zero"); }
Error scale_overflow() { return Error::misc("Arithmetic operation failed: scale overflow"); }

// ---- big-number helpers ----

BigInteger pow10(uint64_t n) {
  BigInteger r;
  if (n <= kPow10Cached) mpz_set_ui(r.get_mpz_t(), kPow10[n]);
  else mpz_ui_pow_ui(r.get_mpz_t(), 10, n);
  return r;
}

void mul_pow10(BigInteger& v, uint64_t n) {
  if (n == 0) return;
  if (n <= kPow10Cached) mpz_mul_ui(v.get_mpz_t(), v.get_mpz_t(), kPow10[n]);
  else v *= pow10(n);
}

// An upper bound of the number of decimal digits of |v| (exact or one more).
uint64_t digits_upper(const BigInteger& v) { return mpz_sizeinbase(v.get_mpz_t(), 10); }

// num / den rounded to the nearest integer, ties away from zero; den != 0.
BigInteger div_half_up(const BigInteger& num, const BigInteger& den) {
  BigInteger q, r;
  mpz_tdiv_qr(q.get_mpz_t(), r.get_mpz_t(), num.get_mpz_t(), den.get_mpz_t());
  if (sgn(r) == 0) return q;
  mpz_abs(r.get_mpz_t(), r.get_mpz_t());
  mpz_mul_2exp(r.get_mpz_t(), r.get_mpz_t(), 1);
  if (mpz_cmpabs(r.get_mpz_t(), den.get_mpz_t()) >= 0) {
    if ((sgn(num) < 0) != (sgn(den) < 0)) --q;
    else ++q;
  }
  return q;
}

BigInteger from_i128(__int128 v) {
  bool negative = v < 0;
  unsigned __int128 m = negative ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
  BigInteger r(static_cast<unsigned long>(m >> 64));
  r <<= 64;
  r += static_cast<unsigned long>(m);
  if (negative) r = -r;
  return r;
}

bool fits_i64(__int128 v) { return v >= kI64Min && v <= kI64Max; }

// ---- the 64-bit fast path ----

// The operand as a 64-bit integer when it is an integral value the decimal
// engine would treat at scale 0: Int, Long, a BigInteger that fits, and a
// scale-0 BigDecimal that fits (integer literals are such decimals).
inline bool small_integer(const TNumber& n, int64_t& out) {
  switch (n.kind()) {
    case NumberKind::Int:
      out = n.int_value();
      return true;
    case NumberKind::Long:
      out = n.long_value();
      return true;
    case NumberKind::BigInteger:
      if (!mpz_fits_slong_p(n.big_integer().get_mpz_t())) return false;
      out = n.big_integer().get_si();
      return true;
    case NumberKind::BigDecimal: {
      const BigDecimal& d = n.big_decimal();
      if (d.scale() != 0 || !mpz_fits_slong_p(d.unscaled().get_mpz_t())) return false;
      out = d.unscaled().get_si();
      return true;
    }
    default:
      return false;
  }
}

// The smallest of Int and Long that holds v.
inline TNumber narrow(int64_t v) {
  if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
    return TNumber::from_int(static_cast<int32_t>(v));
  return TNumber::from_long(v);
}

inline BigInteger big(int64_t v) { return BigInteger(static_cast<long>(v)); }

// x / y for y ∉ {0, -1} that does not divide x: the quotient at scale 12,
// rounded half up. 128 bits hold |x| × 10^12 (< 2^103) exactly.
TNumber fast_inexact_quotient(int64_t x, int64_t y) {
  constexpr __int128 kScaleFactor = 1000000000000;  // 10^min_scale
  __int128 n = static_cast<__int128>(x) * kScaleFactor;
  __int128 q = n / y;
  __int128 r = n % y;
  __int128 ar = r < 0 ? -r : r;
  __int128 ay = y < 0 ? -static_cast<__int128>(y) : static_cast<__int128>(y);
  if (2 * ar >= ay) q += ((n < 0) != (y < 0)) ? -1 : 1;
  // Rounding can reach a whole number (0.9999999999996 -> 1.000000000000).
  if (q % kScaleFactor == 0) return narrow(static_cast<int64_t>(q / kScaleFactor));
  return TNumber::from_big_decimal(BigDecimal(from_i128(q), BigDecimalEngine::min_scale));
}

Result<TNumber> fast_arithmetic(ArithOp op, int64_t x, int64_t y) {
  int64_t r;
  switch (op) {
    case ArithOp::Add:
      if (__builtin_add_overflow(x, y, &r)) return TNumber::from_big_integer(big(x) + big(y));
      return narrow(r);
    case ArithOp::Subtract:
      if (__builtin_sub_overflow(x, y, &r)) return TNumber::from_big_integer(big(x) - big(y));
      return narrow(r);
    case ArithOp::Multiply:
      if (__builtin_mul_overflow(x, y, &r)) return TNumber::from_big_integer(big(x) * big(y));
      return narrow(r);
    case ArithOp::Divide:
      if (y == 0) return division_by_zero();
      if (y == -1) {
        if (x == kI64Min) return TNumber::from_big_integer(-big(x));
        return narrow(-x);
      }
      if (x % y == 0) return narrow(x / y);
      return fast_inexact_quotient(x, y);
    case ArithOp::Modulus:
      if (y == 0) return division_by_zero();
      // -2^63 % -1 overflows the machine remainder; the value is 0.
      return TNumber::from_long(y == -1 ? 0 : x % y);
  }
  return division_by_zero();  // not reached: every operator is handled above
}

// ---- the decimal path ----

Result<TNumber> decimal_add(const BigDecimal& a, const BigDecimal& b, bool subtract) {
  int64_t scale = std::max(a.scale(), b.scale());
  BigInteger x = a.unscaled();
  BigInteger y = b.unscaled();
  // The differences are non-negative and below 2^64, so unsigned wrap-around is exact.
  mul_pow10(x, static_cast<uint64_t>(scale) - static_cast<uint64_t>(a.scale()));
  mul_pow10(y, static_cast<uint64_t>(scale) - static_cast<uint64_t>(b.scale()));
  if (subtract) x -= y;
  else x += y;
  return optimize_number_representation(BigDecimal(std::move(x), scale));
}

Result<TNumber> decimal_mul(const BigDecimal& a, const BigDecimal& b) {
  __int128 scale = static_cast<__int128>(a.scale()) + b.scale();
  BigInteger product = a.unscaled() * b.unscaled();
  if (scale > BigDecimalEngine::max_scale) {
    __int128 drop = scale - BigDecimalEngine::max_scale;
    // Fewer digits than are dropped: the value is below 0.1 units, so it rounds to 0.
    if (static_cast<__int128>(digits_upper(product)) < drop) return TNumber::from_int(0);
    product = div_half_up(product, pow10(static_cast<uint64_t>(drop)));
    scale = BigDecimalEngine::max_scale;
  }
  if (!fits_i64(scale)) return scale_overflow();
  return optimize_number_representation(BigDecimal(std::move(product), static_cast<int64_t>(scale)));
}

Result<TNumber> decimal_div(const BigDecimal& a, const BigDecimal& b) {
  if (b.sign() == 0) return division_by_zero();
  int64_t scale = std::max({a.scale(), b.scale(), BigDecimalEngine::min_scale});
  // a / b × 10^scale = ua × 10^(scale − sa + sb) / ub.
  __int128 shift = static_cast<__int128>(scale) - a.scale() + b.scale();
  BigInteger num = a.unscaled();
  BigInteger den = b.unscaled();
  if (shift >= 0) {
    if (!fits_i64(shift)) return scale_overflow();
    mul_pow10(num, static_cast<uint64_t>(shift));
  } else {
    __int128 k = -shift;
    // |quotient| < 10^(digits(ua) − digits(ub) + 1 − k) ≤ 0.1 rounds to zero.
    __int128 ua_digits = digits_upper(num);
    __int128 ub_digits_min = static_cast<__int128>(digits_upper(den)) - 1;
    if (k >= ua_digits - ub_digits_min + 2) return TNumber::from_int(0);
    mul_pow10(den, static_cast<uint64_t>(k));
  }
  return optimize_number_representation(BigDecimal(div_half_up(num, den), scale));
}

Result<TNumber> generic_mod(const TNumber& a, const TNumber& b) {
  ASSIGN_OR_RETURN(int64_t x, to_long_value(a));
  ASSIGN_OR_RETURN(int64_t y, to_long_value(b));
  if (y == 0) return division_by_zero();
  return TNumber::from_long(y == -1 ? 0 : x % y);
}

template <class F>
int64_t trunc_saturate(F v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<F>(9.223372036854775807e18)) return kI64Max;
  if (v <= static_cast<F>(-9.223372036854775808e18)) return kI64Min;
  return static_cast<int64_t>(v);
}

// The integer part of a decimal (toward zero) when it fits in 64 bits.
std::optional<int64_t> decimal_integer_part(const BigDecimal& d) {
  if (d.sign() == 0) return int64_t{0};
  BigInteger v;
  if (d.scale() > 0) {
    // |unscaled| < 10^scale: no integer digits at all.
    if (digits_upper(d.unscaled()) <= static_cast<uint64_t>(d.scale())) return int64_t{0};
    mpz_tdiv_q(v.get_mpz_t(), d.unscaled().get_mpz_t(), pow10(static_cast<uint64_t>(d.scale())).get_mpz_t());
  } else {
    // A non-zero value times 10^20 or more never fits.
    if (d.scale() < -19) return std::nullopt;
    v = d.unscaled();
    mul_pow10(v, static_cast<uint64_t>(-d.scale()));
  }
  if (!mpz_fits_slong_p(v.get_mpz_t())) return std::nullopt;
  return static_cast<int64_t>(v.get_si());
}

int sign_of(const TNumber& n) {
  switch (n.kind()) {
    case NumberKind::Int:
    case NumberKind::Long:
      return (n.long_value() > 0) - (n.long_value() < 0);
    case NumberKind::BigInteger:
      return sgn(n.big_integer());
    case NumberKind::Float:
      return (n.float_value() > 0) - (n.float_value() < 0);  // NaN and -0 give 0
    case NumberKind::Double:
      return (n.double_value() > 0) - (n.double_value() < 0);
    case NumberKind::BigDecimal:
      return n.big_decimal().sign();
  }
  return 0;
}

bool is_float_kind(const TNumber& n) { return n.kind() == NumberKind::Float || n.kind() == NumberKind::Double; }

bool is_infinite(const TNumber& n) {
  if (n.kind() == NumberKind::Float) return std::isinf(n.float_value());
  if (n.kind() == NumberKind::Double) return std::isinf(n.double_value());
  return false;
}

double float_as_double(const TNumber& n) {
  return n.kind() == NumberKind::Float ? static_cast<double>(n.float_value()) : n.double_value();
}

}  // namespace

// ---- public operations ----

std::string_view arith_op_symbol(ArithOp op) {
  switch (op) {
    case ArithOp::Subtract: return "-";
    case ArithOp::Multiply: return "*";
    case ArithOp::Divide: return "/";
    case ArithOp::Modulus: return "%";
    case ArithOp::Add: return "+";
  }
  return "?";
}

Result<BigDecimal> to_big_decimal(const TNumber& n) {
  switch (n.kind()) {
    case NumberKind::Int:
    case NumberKind::Long:
    case NumberKind::BigInteger:
    case NumberKind::BigDecimal:
      return n.as_big_decimal();
    case NumberKind::Float:
    case NumberKind::Double: {
      const char* type = n.kind() == NumberKind::Float ? "Float" : "Double";
      double v = float_as_double(n);
      if (std::isnan(v))
        return Error::misc(std::string("It's impossible to convert a NaN value (") + type + " NaN) to BigDecimal.");
      if (std::isinf(v))
        return Error::misc(std::string("It's impossible to convert an infinite value (") + type +
                           (v < 0 ? " -inf" : " inf") + ") to BigDecimal.");
      std::string text = n.to_plain_string();  // the shortest round-trip text of the float itself
      std::optional<BigDecimal> d = BigDecimal::parse(text);
      if (!d) return Error::misc("Can't parse as BigDecimal: invalid decimal text \"" + text + "\"");
      return std::move(*d);
    }
  }
  return n.as_big_decimal();
}

TNumber optimize_number_representation(BigDecimal d) {
  const int64_t scale = d.scale();
  if (scale <= 0) {
    BigInteger v = d.unscaled();
    // -scale as unsigned also covers the most negative scale.
    mul_pow10(v, -static_cast<uint64_t>(scale));
    return number_from_bigint(v);
  }
  const BigInteger& u = d.unscaled();
  if (sgn(u) == 0) return TNumber::from_int(0);
  const uint64_t s = static_cast<uint64_t>(scale);
  if (s <= kPow10Cached) {
    if (!mpz_divisible_ui_p(u.get_mpz_t(), kPow10[s])) return TNumber::from_big_decimal(std::move(d));
    BigInteger v;
    mpz_divexact_ui(v.get_mpz_t(), u.get_mpz_t(), kPow10[s]);
    return number_from_bigint(v);
  }
  // |u| < 10^scale cannot be a non-zero multiple of it.
  if (digits_upper(u) <= s) return TNumber::from_big_decimal(std::move(d));
  BigInteger p = pow10(s);
  if (!mpz_divisible_p(u.get_mpz_t(), p.get_mpz_t())) return TNumber::from_big_decimal(std::move(d));
  BigInteger v;
  mpz_divexact(v.get_mpz_t(), u.get_mpz_t(), p.get_mpz_t());
  return number_from_bigint(v);
}

Result<int64_t> to_long_value(const TNumber& n) {
  switch (n.kind()) {
    case NumberKind::Int:
      return int64_t{n.int_value()};
    case NumberKind::Long:
      return n.long_value();
    case NumberKind::Float:
      return trunc_saturate(n.float_value());
    case NumberKind::Double:
      return trunc_saturate(n.double_value());
    case NumberKind::BigInteger:
      if (mpz_fits_slong_p(n.big_integer().get_mpz_t())) return static_cast<int64_t>(n.big_integer().get_si());
      break;
    case NumberKind::BigDecimal:
      if (std::optional<int64_t> v = decimal_integer_part(n.big_decimal())) return *v;
      break;
  }
  return Error::misc("Can't calculate modulus: operand " + n.to_plain_string() + " can't be represented as long");
}

Result<TNumber> decimal_arithmetic(ArithOp op, const TNumber& a, const TNumber& b) {
  if (op == ArithOp::Modulus) return generic_mod(a, b);
  ASSIGN_OR_RETURN(BigDecimal x, to_big_decimal(a));
  ASSIGN_OR_RETURN(BigDecimal y, to_big_decimal(b));
  switch (op) {
    case ArithOp::Add: return decimal_add(x, y, false);
    case ArithOp::Subtract: return decimal_add(x, y, true);
    case ArithOp::Multiply: return decimal_mul(x, y);
    case ArithOp::Divide: return decimal_div(x, y);
    case ArithOp::Modulus: break;
  }
  return generic_mod(a, b);
}

Result<TNumber> decimal_negate(const TNumber& n) {
  ASSIGN_OR_RETURN(BigDecimal d, to_big_decimal(n));
  return optimize_number_representation(BigDecimal(-d.unscaled(), d.scale()));
}

Result<TNumber> arithmetic(ArithOp op, const TNumber& a, const TNumber& b) {
  int64_t x, y;
  if (small_integer(a, x) && small_integer(b, y)) return fast_arithmetic(op, x, y);
  return decimal_arithmetic(op, a, b);
}

Result<TNumber> negate(const TNumber& n) {
  int64_t x;
  if (small_integer(n, x)) {
    if (x == kI64Min) return TNumber::from_big_integer(-big(x));
    return narrow(-x);
  }
  return decimal_negate(n);
}

Result<TNumber> BigDecimalEngine::add(const TNumber& a, const TNumber& b) { return arithmetic(ArithOp::Add, a, b); }
Result<TNumber> BigDecimalEngine::sub(const TNumber& a, const TNumber& b) {
  return arithmetic(ArithOp::Subtract, a, b);
}
Result<TNumber> BigDecimalEngine::mul(const TNumber& a, const TNumber& b) {
  return arithmetic(ArithOp::Multiply, a, b);
}
Result<TNumber> BigDecimalEngine::div(const TNumber& a, const TNumber& b) { return arithmetic(ArithOp::Divide, a, b); }
Result<TNumber> BigDecimalEngine::mod_op(const TNumber& a, const TNumber& b) {
  return arithmetic(ArithOp::Modulus, a, b);
}

int compare_numbers(const TNumber& a, const TNumber& b) {
  const NumberKind ka = a.kind(), kb = b.kind();
  const bool a_small = ka == NumberKind::Int || ka == NumberKind::Long;
  const bool b_small = kb == NumberKind::Int || kb == NumberKind::Long;
  if (a_small && b_small) {
    int64_t x = ka == NumberKind::Int ? a.int_value() : a.long_value();
    int64_t y = kb == NumberKind::Int ? b.int_value() : b.long_value();
    return (x > y) - (x < y);
  }
  const int sa = sign_of(a), sb = sign_of(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  if (sa == 0) return 0;
  if (ka == NumberKind::BigInteger && kb == NumberKind::BigInteger) {
    int c = cmp(a.big_integer(), b.big_integer());
    return (c > 0) - (c < 0);
  }
  if (is_float_kind(a) && is_float_kind(b)) {
    double x = float_as_double(a), y = float_as_double(b);
    return (x > y) - (x < y);
  }
  // One infinite float against an exact number of the same sign: the infinity
  // lies beyond it (a decimal cannot hold an infinity).
  if (is_infinite(a)) return sa;
  if (is_infinite(b)) return -sb;
  return a.as_big_decimal().compare(b.as_big_decimal());
}

}  // namespace tovarn
