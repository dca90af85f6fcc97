// grammar_helpers.h — directive name tables and the message texts of the
// block structure (unknown directive, malformed tag, unmatched end tag,
// unexpected end of file), plus small text helpers shared by the lexer and
// the grammar units.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tovarn {

// A list of lower-case directive names, e.g. the end names of a block.
using NameList = std::vector<std::string_view>;

// ASCII lower case of `s` ("elseIf" -> "elseif"); other bytes unchanged.
std::string ascii_lower(std::string_view s);

// Directive name tables; every test takes a lower-case name.
bool is_known_directive(std::string_view name);  // the 46 names, tvl included
bool takes_parameters(std::string_view name);    // the 26 that take parameters (white space may follow)
bool may_close_at_once(std::string_view name);   // the 25 that may be followed by ">" or "]" directly
bool may_self_close(std::string_view name);      // the 13 that may be followed by "/"
bool has_end_tag(std::string_view name);         // the 21 that have an end tag

// How an unclosed block of `name` is described in messages: if -> "#if",
// assign -> "#assign or #local or #global"; empty when it has none.
std::string_view end_tag_desc(std::string_view name);

// The descriptions of `names`, duplicates removed, order kept.
std::vector<std::string_view> end_tag_descs(const NameList& names);

// "Unknown directive: #{name}. {hint}"; the hint is chosen by the lower-cased name.
std::string unknown_directive_message(std::string_view name);

// "#{name} is an existing directive, but the tag is malformed.  (See ...)".
std::string malformed_directive_message(std::string_view name);

// The message for "</#{name}>" in a block whose end names are `open_names`
// (empty at the top level and in call bodies).
std::string unmatched_end_tag_message(std::string_view name, const NameList& open_names);

// "Unexpected end of file reached. You have an unclosed {descs joined by " and "}. ..."
// or just "Unexpected end of file reached." when `descs` is empty.
std::string unexpected_eof_message(const std::vector<std::string_view>& descs);

// "Failed to parse the expression: " + `text` as a double-quoted literal,
// the failure text of parse_expression when the text is not one expression.
std::string failed_expression_message(std::string_view text);

// Escapes `text` (UTF-8) for lexical messages: \b \t \n \f \r \" \' \\,
// NUL dropped, printable ASCII kept, everything else \uXXXX (lowercase hex).
//   add_escapes("\"a\n") == "\\\"a\\n"
std::string add_escapes(std::string_view text);
std::string add_escapes(std::u32string_view text);

// Appends the UTF-8 form of `c` to `out`.
void append_utf8(std::string& out, char32_t c);

// Decodes UTF-8; malformed bytes become U+FFFD, one per byte.
std::u32string decode_utf8(std::string_view text);

}  // namespace tovarn
