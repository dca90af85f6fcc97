// t_number.cpp — BigDecimal text parsing/printing and comparison, TNumber's
// ownership of its big payloads, and the number conversions (as_i64, as_f64,
// as_big_decimal, to_plain_string).
#include "template/t_number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace tovarn {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// 10^n as a big integer.
BigInteger pow10(uint64_t n) {
  BigInteger r;
  mpz_ui_pow_ui(r.get_mpz_t(), 10, n);
  return r;
}

// Parses "digits" or "digits e exponent" text as the nearest double. Values
// beyond the double range become ±inf or ±0; `magnitude_positive` tells which
// (true when the value is at least 1 in absolute terms).
double parse_double(const std::string& text, bool negative, bool magnitude_positive) {
  double d = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    d = magnitude_positive ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -d : d;
  }
  return d;
}

bool fits_i64(const BigInteger& v) { return mpz_fits_slong_p(v.get_mpz_t()) != 0; }

template <class F>
std::string plain_text(F v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
  // Fixed notation without a precision gives the shortest text that reads
  // back to the same value; the widest (a double subnormal) is ~330 chars.
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
  return std::string(buf, r.ptr);
}

// Float/Double to int64 when exactly integral; saturates at the bounds.
template <class F>
std::optional<int64_t> float_to_i64(F v) {
  if (v - std::trunc(v) != 0 || std::isnan(v)) return std::nullopt;
  if (v >= static_cast<F>(9.223372036854775807e18)) return std::numeric_limits<int64_t>::max();
  if (v <= static_cast<F>(-9.223372036854775808e18)) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

}  // namespace

// ---- BigDecimal ----

std::optional<BigDecimal> BigDecimal::parse(std::string_view text) {
  size_t i = 0, n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string digits;
  size_t int_start = i;
  while (i < n && is_digit(text[i])) digits += text[i++];
  size_t int_digits = i - int_start;
  int64_t frac_digits = 0;
  if (i < n && text[i] == '.') {
    ++i;
    while (i < n && is_digit(text[i])) {
      digits += text[i++];
      ++frac_digits;
    }
  }
  if (int_digits == 0 && frac_digits == 0) return std::nullopt;
  int64_t exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool exp_negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) exp_negative = text[i++] == '-';
    if (i == n || !is_digit(text[i])) return std::nullopt;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + n, exponent);
    if (ec != std::errc()) return std::nullopt;
    i = ptr - text.data();
    if (exp_negative) exponent = -exponent;
  }
  if (i != n) return std::nullopt;
  int64_t scale;
  if (__builtin_sub_overflow(frac_digits, exponent, &scale)) return std::nullopt;
  BigInteger unscaled(digits, 10);
  if (negative) unscaled = -unscaled;
  return BigDecimal(std::move(unscaled), scale);
}

std::string BigDecimal::to_string() const {
  std::string digits = BigInteger(abs(unscaled_)).get_str();
  std::string out = sgn(unscaled_) < 0 ? "-" : "";
  if (scale_ == 0) return out + digits;
  if (scale_ < 0) {
    if (sgn(unscaled_) == 0) return "0";
    return out + digits + std::string(static_cast<size_t>(-scale_), '0');
  }
  uint64_t scale = static_cast<uint64_t>(scale_);
  if (digits.size() > scale) {
    digits.insert(digits.size() - scale, 1, '.');
    return out + digits;
  }
  return out + "0." + std::string(scale - digits.size(), '0') + digits;
}

int BigDecimal::compare(const BigDecimal& o) const {
  int sa = sgn(unscaled_), sb = sgn(o.unscaled_);
  if (sa != sb || sa == 0) return sa < sb ? -1 : (sa > sb ? 1 : 0);
  if (scale_ == o.scale_) {
    int c = cmp(unscaled_, o.unscaled_);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  // Orders of magnitude first (digit count estimate, exact or one too high),
  // so that values with far-apart scales never build a huge power of ten.
  __int128 ea = static_cast<__int128>(mpz_sizeinbase(unscaled_.get_mpz_t(), 10)) - scale_;
  __int128 eb = static_cast<__int128>(mpz_sizeinbase(o.unscaled_.get_mpz_t(), 10)) - o.scale_;
  if (ea - eb >= 2) return sa;
  if (eb - ea >= 2) return -sa;
  // Bring both to the larger scale before comparing the digits.
  if (scale_ < o.scale_) {
    BigInteger a = unscaled_ * pow10(static_cast<uint64_t>(o.scale_) - static_cast<uint64_t>(scale_));
    int c = cmp(a, o.unscaled_);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  BigInteger b = o.unscaled_ * pow10(static_cast<uint64_t>(scale_) - static_cast<uint64_t>(o.scale_));
  int c = cmp(unscaled_, b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---- TNumber ownership ----

TNumber TNumber::from_big_integer(BigInteger v) {
  TNumber n;
  n.kind_ = NumberKind::BigInteger;
  n.u_.bigint = new BigInteger(std::move(v));
  return n;
}

TNumber TNumber::from_big_decimal(BigDecimal v) {
  TNumber n;
  n.kind_ = NumberKind::BigDecimal;
  n.u_.bigdec = new BigDecimal(std::move(v));
  return n;
}

TNumber TNumber::from_integer(const BigInteger& v) {
  if (mpz_fits_sint_p(v.get_mpz_t())) return from_int(static_cast<int32_t>(v.get_si()));
  if (fits_i64(v)) return from_long(v.get_si());
  return from_big_integer(v);
}

void TNumber::copy_from(const TNumber& o) {
  kind_ = o.kind_;
  if (kind_ == NumberKind::BigInteger) u_.bigint = new BigInteger(*o.u_.bigint);
  else if (kind_ == NumberKind::BigDecimal) u_.bigdec = new BigDecimal(*o.u_.bigdec);
  else u_ = o.u_;
}

void TNumber::destroy_big() noexcept {
  if (kind_ == NumberKind::BigInteger) delete u_.bigint;
  else delete u_.bigdec;
  kind_ = NumberKind::Int;
  u_.i64 = 0;
}

TNumber::TNumber(const TNumber& o) { copy_from(o); }

TNumber& TNumber::operator=(const TNumber& o) {
  if (this != &o) {
    TNumber tmp(o);
    *this = std::move(tmp);
  }
  return *this;
}

TNumber& TNumber::operator=(TNumber&& o) noexcept {
  if (this != &o) {
    if (is_big()) destroy_big();
    kind_ = o.kind_;
    u_ = o.u_;
    o.kind_ = NumberKind::Int;
    o.u_.i64 = 0;
  }
  return *this;
}

// ---- conversions ----

std::optional<int64_t> TNumber::as_i64() const {
  switch (kind_) {
    case NumberKind::Int:
    case NumberKind::Long:
      return u_.i64;
    case NumberKind::BigInteger:
      if (fits_i64(*u_.bigint)) return u_.bigint->get_si();
      return std::nullopt;
    case NumberKind::Float:
      return float_to_i64(u_.f32);
    case NumberKind::Double:
      return float_to_i64(u_.f64);
    case NumberKind::BigDecimal: {
      // Only a text without a decimal point is an integer: scale ≤ 0.
      const BigDecimal& d = *u_.bigdec;
      if (d.scale() > 0) return std::nullopt;
      if (d.sign() == 0) return int64_t{0};
      if (d.scale() < -18) return std::nullopt;  // |digits| × 10^19 overflows
      BigInteger v = d.unscaled() * pow10(static_cast<uint64_t>(-d.scale()));
      if (fits_i64(v)) return v.get_si();
      return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<double> TNumber::as_f64() const {
  switch (kind_) {
    case NumberKind::Int:
    case NumberKind::Long:
      return static_cast<double>(u_.i64);
    case NumberKind::Float:
      return static_cast<double>(u_.f32);
    case NumberKind::Double:
      return u_.f64;
    case NumberKind::BigInteger: {
      const BigInteger& v = *u_.bigint;
      return parse_double(v.get_str(), sgn(v) < 0, true);
    }
    case NumberKind::BigDecimal: {
      const BigDecimal& d = *u_.bigdec;
      if (d.sign() == 0) return 0.0;
      std::string text = d.unscaled().get_str();
      size_t ndigits = text.size() - (d.sign() < 0 ? 1 : 0);
      bool at_least_one = d.scale() <= 0 || static_cast<uint64_t>(d.scale()) < ndigits;
      if (d.scale() != 0) {
        // -scale as text; the scale's own minimum has no positive counterpart.
        text += 'e';
        text += d.scale() == std::numeric_limits<int64_t>::min() ? "9223372036854775808"
                                                                   : std::to_string(-d.scale());
      }
      return parse_double(text, d.sign() < 0, at_least_one);
    }
  }
  return std::nullopt;
}

BigDecimal TNumber::as_big_decimal() const {
  switch (kind_) {
    case NumberKind::Int:
    case NumberKind::Long:
      return BigDecimal::from_i64(u_.i64);
    case NumberKind::BigInteger:
      return BigDecimal(*u_.bigint, 0);
    case NumberKind::BigDecimal:
      return *u_.bigdec;
    case NumberKind::Float:
    case NumberKind::Double: {
      bool finite = kind_ == NumberKind::Float ? std::isfinite(u_.f32) : std::isfinite(u_.f64);
      if (!finite) return BigDecimal();
      std::string text = kind_ == NumberKind::Float ? float_plain_text(u_.f32) : double_plain_text(u_.f64);
      return BigDecimal::parse(text).value_or(BigDecimal());
    }
  }
  return BigDecimal();
}

std::string TNumber::to_plain_string() const {
  switch (kind_) {
    case NumberKind::Int:
    case NumberKind::Long:
      return std::to_string(u_.i64);
    case NumberKind::BigInteger:
      return u_.bigint->get_str();
    case NumberKind::Float:
      return float_plain_text(u_.f32);
    case NumberKind::Double:
      return double_plain_text(u_.f64);
    case NumberKind::BigDecimal:
      return u_.bigdec->to_string();
  }
  return {};
}

std::string_view number_kind_name(NumberKind kind) {
  switch (kind) {
    case NumberKind::Int: return "Int";
    case NumberKind::Long: return "Long";
    case NumberKind::BigInteger: return "BigInteger";
    case NumberKind::Float: return "Float";
    case NumberKind::Double: return "Double";
    case NumberKind::BigDecimal: return "BigDecimal";
  }
  return "?";
}

std::string float_plain_text(float v) { return plain_text(v); }
std::string double_plain_text(double v) { return plain_text(v); }

}  // namespace tovarn
