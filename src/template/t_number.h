// t_number.h — TNumber, the template language's number in one of six
// representations (Int, Long, BigInteger, Float, Double, BigDecimal), the
// arbitrary-precision BigDecimal it relies on, and the conversions every
// consumer of numbers needs (to int64, to double, to decimal, to plain text).
//
// Int, Long, Float and Double live inline; the arbitrary-precision kinds keep
// their digits on the heap (GMP), so only those ever allocate:
//
//   TNumber n = TNumber::from_int(3);
//   n.as_i64();                                   // 3
//   TNumber d = TNumber::from_big_decimal(*BigDecimal::parse("1.50"));
//   d.to_plain_string();                          // "1.50"
#pragma once

#include <gmpxx.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tovarn {

using BigInteger = mpz_class;

// An arbitrary-precision decimal: value = unscaled × 10^-scale.
// The scale is part of the value ("1.50" has unscaled 150 and scale 2).
class BigDecimal {
 public:
  BigDecimal() = default;
  BigDecimal(BigInteger unscaled, int64_t scale) : unscaled_(std::move(unscaled)), scale_(scale) {}
  static BigDecimal from_i64(int64_t v) { return BigDecimal(BigInteger(static_cast<long>(v)), 0); }

  // Reads decimal text: optional sign, digits with an optional '.', optional
  // exponent ("1.50", "-.5", "12e-3"). Returns nothing for anything else.
  //   BigDecimal::parse("1.50")  -> unscaled 150, scale 2
  static std::optional<BigDecimal> parse(std::string_view text);

  const BigInteger& unscaled() const { return unscaled_; }
  int64_t scale() const { return scale_; }
  int sign() const { return sgn(unscaled_); }

  // The standard text: the digits with the decimal point placed by the scale,
  // "-" when negative; a negative scale appends zeros ("1.50", "-0.001", "100").
  std::string to_string() const;

  // Numeric comparison, ignoring the scale (1.0 == 1.00).
  int compare(const BigDecimal& o) const;
  bool operator==(const BigDecimal& o) const { return compare(o) == 0; }

 private:
  BigInteger unscaled_;
  int64_t scale_ = 0;
};

enum class NumberKind : uint8_t { Int, Long, BigInteger, Float, Double, BigDecimal };

// The kind's name as written above ("Int", "BigDecimal", ...).
std::string_view number_kind_name(NumberKind kind);

class TNumber {
 public:
  TNumber() noexcept : kind_(NumberKind::Int) { u_.i64 = 0; }
  static TNumber from_int(int32_t v) noexcept { TNumber n; n.u_.i64 = v; return n; }
  static TNumber from_long(int64_t v) noexcept { TNumber n; n.kind_ = NumberKind::Long; n.u_.i64 = v; return n; }
  static TNumber from_float(float v) noexcept { TNumber n; n.kind_ = NumberKind::Float; n.u_.f32 = v; return n; }
  static TNumber from_double(double v) noexcept { TNumber n; n.kind_ = NumberKind::Double; n.u_.f64 = v; return n; }
  static TNumber from_big_integer(BigInteger v);
  static TNumber from_big_decimal(BigDecimal v);
  // The smallest integer kind that holds v: Int, then Long, then BigInteger.
  static TNumber from_integer(const BigInteger& v);

  TNumber(const TNumber& o);
  TNumber(TNumber&& o) noexcept : kind_(o.kind_), u_(o.u_) { o.kind_ = NumberKind::Int; }
  TNumber& operator=(const TNumber& o);
  TNumber& operator=(TNumber&& o) noexcept;
  ~TNumber() { if (is_big()) destroy_big(); }

  NumberKind kind() const noexcept { return kind_; }
  // Int, Long and BigInteger: the kinds formatting treats as integers.
  bool is_integer_kind() const noexcept {
    return kind_ == NumberKind::Int || kind_ == NumberKind::Long || kind_ == NumberKind::BigInteger;
  }

  // Raw payloads; each is valid only for its own kind.
  int32_t int_value() const noexcept { return static_cast<int32_t>(u_.i64); }
  int64_t long_value() const noexcept { return u_.i64; }
  float float_value() const noexcept { return u_.f32; }
  double double_value() const noexcept { return u_.f64; }
  const BigInteger& big_integer() const noexcept { return *u_.bigint; }
  const BigDecimal& big_decimal() const noexcept { return *u_.bigdec; }

  // The value as a 64-bit integer when it is one exactly: fractions, NaN and
  // infinities give nothing; floats saturate at the 64-bit bounds; a
  // BigDecimal must have no scale ("100" -> 100, "100.0" -> nothing).
  std::optional<int64_t> as_i64() const;
  // The value as the nearest double (always present).
  std::optional<double> as_f64() const;
  // Exact decimal; floats go through their shortest round-trip text
  // (Double 0.1 -> 0.1 with scale 1); NaN and infinities become 0.
  BigDecimal as_big_decimal() const;
  // Plain text: integers as digits, floats as the shortest round-trip text
  // without exponent or trailing ".0" ("NaN", "inf", "-inf"), BigDecimal as
  // its standard text.
  std::string to_plain_string() const;

 private:
  bool is_big() const noexcept { return kind_ == NumberKind::BigInteger || kind_ == NumberKind::BigDecimal; }
  void destroy_big() noexcept;
  void copy_from(const TNumber& o);

  // Trivially copyable, so copying it copies whichever member is active.
  union Payload {
    int64_t i64;  // Int (sign-extended) and Long
    float f32;
    double f64;
    BigInteger* bigint;  // owned
    BigDecimal* bigdec;  // owned
  };
  NumberKind kind_;
  Payload u_;
};

// Shortest decimal text that reads back to the same float, in fixed notation
// ("0.1", "1", "100000000000000000000"); "NaN", "inf", "-inf" for the rest.
std::string float_plain_text(float v);
std::string double_plain_text(double v);


}  // namespace tovarn
