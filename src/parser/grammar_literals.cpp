// grammar_literals.cpp — string-literal decoding, brace matching for "${",
// number-literal typing, name conversion, the legacy number format, and the
// table of built-in names checked at parse time.
#include "parser/grammar_literals.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <vector>

#include "parser/grammar_helpers.h"

namespace tovarn {

namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length in bytes of the UTF-8 sequence led by `lead` (1 for stray bytes).
size_t utf8_length(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

// \x and \u codes are UTF-16 units; a lone surrogate has no character.
void append_code_unit(std::string& out, char32_t cp) {
  append_utf8(out, cp >= 0xD800 && cp <= 0xDFFF ? char32_t{0xFFFD} : cp);
}

char simple_escape(char c) {
  switch (c) {
    case '"': return '"';
    case '\'': return '\'';
    case '\\': return '\\';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'f': return '\f';
    case 'b': return '\b';
    case 'l': return '<';
    case 'g': return '>';
    case 'a': return '&';
    case '{': return '{';
    case '=': return '=';
    default: return 0;
  }
}

bool is_all(std::string_view s, bool (*pred)(char)) {
  return !s.empty() && std::all_of(s.begin(), s.end(), pred);
}
bool is_dec(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return hex_value(c) >= 0; }

// Digits of an integer literal (decimal, or hexadecimal after "0x").
std::optional<BigInteger> integer_value(std::string_view digits, bool hex) {
  if (!is_all(digits, hex ? is_hex : is_dec)) return std::nullopt;
  BigInteger v;
  std::string z(digits);
  // Validated above, so mpz_set_str cannot fail (and nothing throws).
  mpz_set_str(v.get_mpz_t(), z.c_str(), hex ? 16 : 10);
  return v;
}

bool is_decimal_text(std::string_view s) {
  // digits, optional "." digits, optional exponent: what the lexer delivers
  return !s.empty() && BigDecimal::parse(s).has_value() && is_dec(s.front());
}

// A decimal text as a binary floating-point value. Out-of-range magnitudes
// become infinity or zero (by the decimal exponent), as a float parser would.
template <class F>
std::optional<F> float_value(std::string_view s) {
  if (!is_decimal_text(s)) return std::nullopt;
  F v{};
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec == std::errc() && p == s.data() + s.size()) return v;
  if (ec != std::errc::result_out_of_range) return std::nullopt;
  std::optional<BigDecimal> d = BigDecimal::parse(s);
  if (!d || d->sign() == 0) return F(0);
  // value ~ 10^(digits - scale): a large exponent overflowed, a small one underflowed
  auto digits = static_cast<int64_t>(mpz_sizeinbase(d->unscaled().get_mpz_t(), 10));
  return digits - d->scale() > 0 ? std::numeric_limits<F>::infinity() : F(0);
}

constexpr std::string_view kBuiltinHelp =
    "Help (latest version): https://tovarn.dev/manual/builtins.html; You are using Tovarn 1.0.";

// The alphabetical list printed by the unknown-built-in message.
constexpr std::string_view kBuiltinList =
    "abs, absolute_template_name, ancestors, api,\n"
    "blank_to_null, boolean, byte,\n"
    "c, c_lower_case, c_upper_case, cap_first, capitalize, ceiling, children, chop_linebreak, "
    "chunk, cn, contains, counter,\n"
    "date, date_if_unknown, datetime, datetime_if_unknown, default, double, drop_while,\n"
    "empty_to_null, ends_with, ensure_ends_with, ensure_starts_with, esc, eval, eval_json, "
    "exists,\n"
    "filter, first, float, floor,\n"
    "groups,\n"
    "has_api, has_content, has_next, html,\n"
    "if_exists, index, index_of, int, interpret, is_boolean, is_collection, is_collection_ex, "
    "is_date, is_date_like, is_date_only, is_datetime, is_directive, is_enumerable, "
    "is_even_item, is_first, is_hash, is_hash_ex, is_indexable, is_infinite, is_last, "
    "is_macro, is_markup_output, is_method, is_nan, is_node, is_number, is_odd_item, "
    "is_sequence, is_string, is_time, is_transform, is_unknown_date_like, iso, iso_h, "
    "iso_h_nz, iso_local, iso_local_h, iso_local_h_nz, iso_local_m, iso_local_m_nz, "
    "iso_local_ms, iso_local_ms_nz, iso_local_nz, iso_m, iso_m_nz, iso_ms, iso_ms_nz, iso_nz, "
    "iso_utc, iso_utc_fz, iso_utc_h, iso_utc_h_nz, iso_utc_m, iso_utc_m_nz, iso_utc_ms, "
    "iso_utc_ms_nz, iso_utc_nz, item_cycle, item_parity, item_parity_cap,\n"
    "j_string, join, js_string, json_string,\n"
    "keep_after, keep_after_last, keep_before, keep_before_last, keys,\n"
    "last, last_index_of, left_pad, length, long, lower_abc, lower_case,\n"
    "map, markup_string, matches, max, min,\n"
    "namespace, new, next_sibling, no_esc, node_name, node_namespace, node_type, number, "
    "number_to_date, number_to_datetime, number_to_time,\n"
    "parent, previous_sibling,\n"
    "remove_beginning, remove_ending, replace, reverse, right_pad, root, round, rtf,\n"
    "seq_contains, seq_index_of, seq_last_index_of, sequence, short, size, sort, sort_by, "
    "split, starts_with, string, substring, switch,\n"
    "take_while, then, time, time_if_unknown, trim, trim_to_null, truncate, truncate_c, "
    "truncate_c_m, truncate_m, truncate_w, truncate_w_m,\n"
    "uncap_first, upper_abc, upper_case, url, url_path,\n"
    "values,\n"
    "web_safe, with_args, with_args_last, word_list,\n"
    "xhtml, xml";

// Accepted although the printed list leaves them out.
constexpr std::string_view kUnlistedBuiltins[] = {"is_odd",  "is_even",    "is_lambda",   "is_nothing",
                                                  "iso_fz",  "replace_re", "has_previous"};

// The list split at commas and line feeds, sorted for binary search.
std::vector<std::string_view> make_builtin_names() {
  std::vector<std::string_view> names;
  std::string_view rest = kBuiltinList;
  while (!rest.empty()) {
    size_t end = rest.find_first_of(",\n");
    std::string_view item = rest.substr(0, end);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (!item.empty()) names.push_back(item);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  for (std::string_view n : kUnlistedBuiltins) names.push_back(n);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

Result<std::string> decode_string(std::string_view raw, std::vector<size_t>* escaped_braces) {
  if (raw.find('\\') == std::string_view::npos) return std::string(raw);
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i + 1 >= raw.size()) return Error::misc("The last character of string literal is backslash");
    char e = raw[++i];
    if (char s = simple_escape(e)) {
      if (e == '{' && escaped_braces) escaped_braces->push_back(out.size());
      out += s;
    } else if (e == 'x') {
      char32_t cp = 0;
      size_t n = 0;
      while (n < 4 && i + 1 < raw.size() && is_hex(raw[i + 1])) {
        cp = cp * 16 + static_cast<char32_t>(hex_value(raw[++i]));
        ++n;
      }
      if (n == 0) return Error::misc("Invalid \\x escape in a string literal");
      append_code_unit(out, cp);
    } else if (e == 'u') {
      if (i + 4 >= raw.size())
        return Error::misc("Invalid \\u escape in a string literal (expected 4 hex digits)");
      char32_t cp = 0;
      for (size_t k = 1; k <= 4; ++k) {
        int h = hex_value(raw[i + k]);
        if (h < 0) return Error::misc("Invalid \\u escape in a string literal (expected 4 hex digits)");
        cp = cp * 16 + static_cast<char32_t>(h);
      }
      i += 4;
      append_code_unit(out, cp);
    } else {
      size_t len = std::min(utf8_length(static_cast<unsigned char>(e)), raw.size() - i);
      return Error::misc("Invalid escape sequence (\\" + std::string(raw.substr(i, len)) + ") in a string literal");
    }
  }
  return out;
}

size_t find_matching_brace(std::string_view text, size_t from) {
  size_t depth = 0;
  for (size_t i = from; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"' || c == '\'') {
      // skip the quoted run; a backslash protects the character after it
      for (++i; i < text.size() && text[i] != c; ++i)
        if (text[i] == '\\') ++i;
      if (i >= text.size()) return std::string_view::npos;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (depth == 0) return i;
      --depth;
    }
  }
  return std::string_view::npos;
}

std::optional<TNumber> number_literal(std::string_view text) {
  bool hex = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  char suffix = 0;
  if (!text.empty()) {
    char last = static_cast<char>(text.back() & ~0x20);  // upper case for letters
    // B, D and F are hexadecimal digits, so only L is a suffix after "0x"
    if (last == 'L' || (!hex && (last == 'B' || last == 'D' || last == 'F'))) {
      suffix = last;
      text.remove_suffix(1);
    }
  }
  if (hex) {
    std::optional<BigInteger> v = integer_value(text.substr(2), true);
    if (!v) return std::nullopt;
    if (suffix == 'L' && v->fits_slong_p()) return TNumber::from_long(v->get_si());
    return TNumber::from_integer(*v);
  }
  switch (suffix) {
    case 'D': {
      std::optional<double> d = float_value<double>(text);
      if (!d) return std::nullopt;
      return TNumber::from_double(*d);
    }
    case 'F': {
      std::optional<float> f = float_value<float>(text);
      if (!f) return std::nullopt;
      return TNumber::from_float(*f);
    }
    case 'B': {
      if (!is_decimal_text(text)) return std::nullopt;
      return TNumber::from_big_decimal(*BigDecimal::parse(text));
    }
    case 'L': {
      std::optional<BigInteger> v = integer_value(text, false);
      if (!v) return std::nullopt;
      if (v->fits_slong_p()) return TNumber::from_long(v->get_si());
      return TNumber::from_big_integer(*v);
    }
    default:
      break;
  }
  if (std::optional<BigInteger> v = integer_value(text, false)) return TNumber::from_integer(*v);
  if (!is_decimal_text(text)) return std::nullopt;
  return TNumber::from_big_decimal(*BigDecimal::parse(text));
}

std::string camel_to_snake(std::string_view name) {
  bool has_lower = std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  if (!has_lower) return std::string(name);
  std::string out;
  out.reserve(name.size() + 4);
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') {
      out += '_';
      out += static_cast<char>(c - 'A' + 'a');
    } else {
      out += c;
    }
  }
  return out;
}

Result<LegacyNumberFormat> parse_legacy_number_format(std::string_view text) {
  std::optional<int> min, max;
  size_t i = 0;
  while (i < text.size()) {
    // a part: one character, then the digits after it
    size_t start = i++;
    while (i < text.size() && is_dec(text[i])) ++i;
    std::string_view part = text.substr(start, i - start);
    char letter = part.front();
    std::string_view digits = part.substr(1);
    std::optional<int>& slot = letter == 'm' ? min : max;
    if ((letter != 'm' && letter != 'M') || digits.empty() || slot)
      return Error::misc("Invalid format specifier " + std::string(part));
    int v = 0;
    auto [p, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec != std::errc() || p != digits.data() + digits.size())
      return Error::misc("Invalid number in the format specifier " + std::string(part));
    slot = v;
  }
  if (!min && !max) return Error::misc("Invalid format specification, at least one of m and M must be specified!");
  LegacyNumberFormat f;
  f.min_fraction_digits = min ? *min : 0;
  f.max_fraction_digits = max ? *max : *min;
  if (f.min_fraction_digits > f.max_fraction_digits)
    return Error::misc("Invalid format specification, min cannot be greater than max!");
  if (f.min_fraction_digits > 50 || f.max_fraction_digits > 50)
    return Error::misc("Cannot specify more than 50 fraction digits");
  return f;
}

bool is_known_builtin(std::string_view snake_name) {
  static const std::vector<std::string_view> names = make_builtin_names();
  return std::binary_search(names.begin(), names.end(), snake_name);
}

std::string_view builtin_names_list_text() { return kBuiltinList; }

std::string unknown_builtin_message(std::string_view name) {
  std::string msg = "Unknown built-in: \"";
  msg += name;
  msg += "\". ";
  msg += kBuiltinHelp;
  msg += "\nThe alphabetical list of built-ins:\n";
  msg += kBuiltinList;
  return msg;
}

}  // namespace tovarn
