// grammar_literals.h — the pure text functions of the expression grammar:
// string-literal escape decoding, the "${" brace matcher, number-literal
// typing, camelCase-to-snake_case names, the legacy "#{x; m2M4}" format,
// and the built-in name table checked when `?name` is parsed.
//
// None of them needs a Parser; failures carry the message text only (as a
// Misc error) and the grammar turns them into parse errors at a position.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "error/template_error.h"
#include "template/t_number.h"

namespace tovarn {

// Decodes the escapes of a quoted string literal's raw text (between the quotes):
//   decode_string("a\\tb")    -> "a<TAB>b"
//   decode_string("\\u00e9")  -> "é"
//   decode_string("\\q")      -> error "Invalid escape sequence (\q) in a string literal"
// When `escaped_braces` is given, it receives the offsets in the result of
// the "{" characters written as "\{" (they never start an interpolation).
Result<std::string> decode_string(std::string_view raw, std::vector<size_t>* escaped_braces = nullptr);

// In `text`, the index of the '}' that ends an embedded expression starting at
// `from` (just after "${"): the first '}' at brace depth 0, skipping quoted
// runs with their backslash escapes. std::string_view::npos when there is none.
//   find_matching_brace("a + {\"}\": 1}} x", 0) == 12
size_t find_matching_brace(std::string_view text, size_t from);

// Types a number token's text: "12" -> Int, "2147483648" -> Long, "1.0" ->
// BigDecimal, "1f" -> Float, "1d" -> Double, "1b" -> BigDecimal, "0xFFL" -> Long.
// Nothing when the text does not parse as the selected type.
std::optional<TNumber> number_literal(std::string_view text);

// Built-in and special-variable spelling: "upperCase" -> "upper_case";
// a name without lower-case ASCII letters stays as it is ("HTML").
std::string camel_to_snake(std::string_view name);

// Minimum and maximum fraction digits of a legacy numeric interpolation.
struct LegacyNumberFormat {
  int min_fraction_digits = 0;
  int max_fraction_digits = 0;
  bool operator==(const LegacyNumberFormat&) const = default;
};

// Reads the format after ';' in "#{x; m2M4}": parts "m<digits>" and
// "M<digits>", each at most once, in any order.
//   parse_legacy_number_format("m2M4") -> {2, 4};  ("m2") -> {2, 2};  ("M3") -> {0, 3}
Result<LegacyNumberFormat> parse_legacy_number_format(std::string_view text);

// True when `snake_name` is a built-in name accepted after '?'.
bool is_known_builtin(std::string_view snake_name);

// The alphabetical list of built-in names as the unknown-built-in message
// prints it: names sharing a first letter on one line, ", " between names.
std::string_view builtin_names_list_text();

// "Unknown built-in: \"{name}\". Help (latest version): ..." with the list.
std::string unknown_builtin_message(std::string_view name);

}  // namespace tovarn
