// eval_util.cpp — truth of values, comparison of values, UTF-16 ordering,
// truncation of numbers, character counting, and blaming helpers.
#include "core/eval_util.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <cmath>
#include <limits>

#include "core/arithmetic_engine.h"
#include "core/environment.h"

namespace tovarn {

namespace {

bool is_ascii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// The code point starting at s[i] (a malformed byte reads as itself), and
// how many bytes it takes.
uint32_t decode_at(std::string_view s, size_t i, size_t* len) {
  const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char c = b(i);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  if (i + n > s.size()) n = 1;
  for (size_t k = 1; k < n; ++k)
    if ((b(i + k) & 0xC0) != 0x80) n = 1;
  *len = n;
  switch (n) {
    case 2: return ((c & 0x1Fu) << 6) | (b(i + 1) & 0x3Fu);
    case 3: return ((c & 0x0Fu) << 12) | ((b(i + 1) & 0x3Fu) << 6) | (b(i + 2) & 0x3Fu);
    case 4: return ((c & 0x07u) << 18) | ((b(i + 1) & 0x3Fu) << 12) | ((b(i + 2) & 0x3Fu) << 6) | (b(i + 3) & 0x3Fu);
    default: return c;
  }
}

// The first UTF-16 code unit of a code point, with the low surrogate as a
// tie-breaker for two supplementary characters.
uint32_t utf16_key(uint32_t cp) {
  if (cp < 0x10000) return cp << 10;  // compared against surrogate pairs below
  uint32_t v = cp - 0x10000;
  uint32_t hi = 0xD800 + (v >> 10), lo = 0xDC00 + (v & 0x3FF);
  return (hi << 10) | (lo - 0xDC00);
}

int sign_of(int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; }

// Texts in compatibility-composed normal form, compared by UTF-16 units.
int normalized_cmp(std::string_view a, std::string_view b) {
  if (is_ascii(a) && is_ascii(b)) return utf16_cmp(a, b);  // NFKC leaves ASCII alone
  UErrorCode st = U_ZERO_ERROR;
  const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(st);
  icu::UnicodeString ua = icu::UnicodeString::fromUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())));
  icu::UnicodeString ub = icu::UnicodeString::fromUTF8(icu::StringPiece(b.data(), static_cast<int32_t>(b.size())));
  if (U_SUCCESS(st)) {
    icu::UnicodeString na = nfkc->normalize(ua, st);
    icu::UnicodeString nb = nfkc->normalize(ub, st);
    if (U_SUCCESS(st)) return sign_of(na.compare(nb));
  }
  return sign_of(ua.compare(ub));
}

const char* date_kind_word(DateKind k) {
  switch (k) {
    case DateKind::Date: return "date";
    case DateKind::Time: return "time";
    case DateKind::DateTime: return "date-time";
    case DateKind::Unknown: break;
  }
  return "unknown date type";
}

bool order_satisfies(int ord, CompareOp op) {
  switch (op) {
    case CompareOp::Eq: return ord == 0;
    case CompareOp::Ne: return ord != 0;
    case CompareOp::Gt: return ord > 0;
    case CompareOp::Ge: return ord >= 0;
    case CompareOp::Lt: return ord < 0;
    case CompareOp::Le: return ord <= 0;
  }
  return false;
}

bool is_equality(CompareOp op) { return op == CompareOp::Eq || op == CompareOp::Ne; }

// 10^k as a big integer.
BigInteger pow10(int64_t k) {
  BigInteger r;
  mpz_ui_pow_ui(r.get_mpz_t(), 10, static_cast<unsigned long>(k));
  return r;
}

std::optional<int64_t> big_to_i64(const BigInteger& v) {
  static const BigInteger lo(std::to_string(std::numeric_limits<int64_t>::min()));
  static const BigInteger hi(std::to_string(std::numeric_limits<int64_t>::max()));
  if (v < lo || v > hi) return std::nullopt;
  // mpz_get_si covers `long`, which is 64-bit on the supported platforms.
  static_assert(sizeof(long) == 8, "64-bit long expected");
  return static_cast<int64_t>(mpz_get_si(v.get_mpz_t()));
}

int64_t saturate(double d) {
  if (std::isnan(d)) return 0;
  if (d >= 9223372036854775807.0) return std::numeric_limits<int64_t>::max();
  if (d <= -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(d);  // truncates toward zero
}

}  // namespace

int utf16_cmp(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  size_t i = 0;
  while (i < n && a[i] == b[i]) ++i;
  if (i == n) return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
  // Back up to the start of the character that differs (continuation bytes
  // are shared up to here).
  while (i > 0 && (static_cast<unsigned char>(a[i]) & 0xC0) == 0x80) --i;
  size_t la, lb;
  uint32_t ka = utf16_key(decode_at(a, i, &la)), kb = utf16_key(decode_at(b, i, &lb));
  if (ka != kb) return ka < kb ? -1 : 1;
  // Equal keys from different bytes only for malformed input: fall back to bytes.
  return sign_of(a.substr(i).compare(b.substr(i)));
}

std::optional<int64_t> trunc_i64(const TNumber& n) {
  switch (n.kind()) {
    case NumberKind::Int: return n.int_value();
    case NumberKind::Long: return n.long_value();
    case NumberKind::BigInteger: return big_to_i64(n.big_integer());
    case NumberKind::Float: return saturate(n.float_value());
    case NumberKind::Double: return saturate(n.double_value());
    case NumberKind::BigDecimal: {
      const BigDecimal& d = n.big_decimal();
      if (d.scale() <= 0) {
        if (d.scale() < -19 && d.sign() != 0) return std::nullopt;  // beyond 64 bits anyway
        return big_to_i64(d.unscaled() * pow10(-d.scale()));
      }
      BigInteger q;
      BigInteger div = pow10(d.scale());
      mpz_tdiv_q(q.get_mpz_t(), d.unscaled().get_mpz_t(), div.get_mpz_t());
      return big_to_i64(q);
    }
  }
  return std::nullopt;
}

std::string_view compare_op_symbol(CompareOp op) {
  switch (op) {
    case CompareOp::Eq: return "==";
    case CompareOp::Ne: return "!=";
    case CompareOp::Gt: return ">";
    case CompareOp::Ge: return ">=";
    case CompareOp::Lt: return "<";
    case CompareOp::Le: return "<=";
  }
  return "==";
}

size_t utf8_char_count(std::string_view s) {
  size_t count = 0;
  for (size_t i = 0, len; i < s.size(); i += len) {
    decode_at(s, i, &len);
    ++count;
  }
  return count;
}

std::vector<size_t> utf8_char_offsets(std::string_view s) {
  std::vector<size_t> out;
  out.reserve(s.size() + 1);
  for (size_t i = 0, len; i < s.size(); i += len) {
    out.push_back(i);
    decode_at(s, i, &len);
  }
  out.push_back(s.size());
  return out;
}

Error blame_expression(Error e, const Environment& env, const Expr& blamed) {
  if (e.kind() != ErrorKind::UnexpectedType || e->ctx.blamed_expression) return e;
  ErrorCtx& c = e->ctx;
  c.blamed_expression = expr_desc(blamed);
  c.template_name = env.current_template_name();
  c.line = blamed.line;
  c.column = blamed.column;
  return e;
}

Result<bool> model_to_boolean(Environment& env, const TModel& value) {
  if (value.has(Cap::Boolean)) return value->as_boolean();
  if (!env.settings().classic_compatible) return Error::type_mismatch("boolean", value.type_name());
  if (value.is_null()) return false;
  const ModelObject& o = *value;
  if (o.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(TextRef t, o.as_string());
    return !t.empty();
  }
  if (o.has(Cap::Sequence)) {
    ASSIGN_OR_RETURN(uint64_t n, o.seq_size());
    return n != 0;
  }
  if (o.has(Cap::Collection)) {
    ASSIGN_OR_RETURN(std::unique_ptr<ModelIterator> it, o.iterator());
    ASSIGN_OR_RETURN(std::optional<TModel> first, it->next());
    return first.has_value();
  }
  if (o.has(Cap::HashEx)) {
    ASSIGN_OR_RETURN(uint64_t n, o.hash_size());
    return n != 0;
  }
  return true;
}

Result<bool> compare_models(const TModel& left, const TModel& right, CompareOp op) {
  if (left.has(Cap::Number) && right.has(Cap::Number)) {
    ASSIGN_OR_RETURN(TNumber a, left->as_number());
    ASSIGN_OR_RETURN(TNumber b, right->as_number());
    return order_satisfies(compare_numbers(a, b), op);
  }
  if (left.has(Cap::Date) && right.has(Cap::Date)) {
    ASSIGN_OR_RETURN(DateValue a, left->as_date());
    ASSIGN_OR_RETURN(DateValue b, right->as_date());
    if (a.kind != b.kind)
      return Error::misc(std::string("Can't compare dates of different types. Left date type is ") +
                         date_kind_word(a.kind) + ", right date type is " + date_kind_word(b.kind) + ".");
    int ord = a.epoch_seconds != b.epoch_seconds ? (a.epoch_seconds < b.epoch_seconds ? -1 : 1)
              : a.nanos != b.nanos              ? (a.nanos < b.nanos ? -1 : 1)
                                                : 0;
    return order_satisfies(ord, op);
  }
  if (left.has(Cap::Scalar) && right.has(Cap::Scalar)) {
    if (!is_equality(op))
      return Error::misc("Can't use operator \"" + std::string(compare_op_symbol(op)) + "\" on string values.");
    ASSIGN_OR_RETURN(TextRef a, left->as_string());
    ASSIGN_OR_RETURN(TextRef b, right->as_string());
    if (a.view() == b.view()) return op == CompareOp::Eq;
    return order_satisfies(normalized_cmp(a.view(), b.view()), op);
  }
  if (left.has(Cap::Boolean) && right.has(Cap::Boolean)) {
    if (!is_equality(op))
      return Error::misc("Can't use operator \"" + std::string(compare_op_symbol(op)) + "\" on boolean values.");
    ASSIGN_OR_RETURN(bool a, left->as_boolean());
    ASSIGN_OR_RETURN(bool b, right->as_boolean());
    return order_satisfies(int(a) - int(b), op);
  }
  return Error::misc(
      "Can't compare values of these types. Allowed comparisons are between two numbers, two strings, two dates, "
      "or two booleans.");
}

}  // namespace tovarn
