// grammar_helpers.cpp — directive name tables, block-structure messages and
// the UTF-8 / escaping helpers of the front end.
#include "parser/grammar_helpers.h"

#include <algorithm>
#include <array>

namespace tovarn {

namespace {

constexpr std::array<std::string_view, 46> kKnownDirectives = {
    "attempt", "recover", "if",       "elseif",    "else",     "list",      "items",      "sep",
    "switch",  "case",    "default",  "assign",    "global",   "local",     "include",    "import",
    "macro",   "function", "stop",    "return",    "break",    "continue",  "nested",     "flush",
    "t",       "lt",      "rt",       "nt",        "compress", "comment",   "noparse",    "escape",
    "noescape", "trim",   "autoesc",  "noautoesc", "outputformat", "setting", "call",      "foreach",
    "transform", "visit", "recurse",  "on",        "fallback", "tvl"};

constexpr std::array<std::string_view, 26> kTakesParameters = {
    "if",     "elseif", "list",    "items",  "switch",  "case",     "assign",    "global", "local",
    "include", "import", "macro",  "function", "stop",  "return",   "nested",    "escape", "setting",
    "call",   "foreach", "transform", "visit", "recurse", "on",     "outputformat", "tvl"};

constexpr std::array<std::string_view, 25> kClosesAtOnce = {
    "attempt", "recover", "sep",   "compress", "comment", "default", "trim",     "autoesc", "noautoesc",
    "noescape", "noparse", "else", "break",    "continue", "flush",  "t",        "lt",      "rt",
    "nt",      "fallback", "nested", "recurse", "return", "stop",    "tvl"};

constexpr std::array<std::string_view, 13> kSelfCloses = {
    "t", "lt", "rt", "nt", "else", "stop", "break", "flush", "continue", "fallback", "recurse", "nested", "return"};

constexpr std::array<std::string_view, 21> kHasEndTag = {
    "if",      "list",     "items",   "sep",       "switch",  "foreach", "macro",
    "function", "assign",  "global",  "local",     "escape",  "noescape", "compress",
    "transform", "noautoesc", "autoesc", "attempt", "recover", "outputformat", "trim"};

// The token patterns listed after an unmatched end tag inside a block.
constexpr std::array<std::string_view, 53> kBlockPatterns = {
    "<ATTEMPT>",  "<IF>",        "<ELSE_IF>",       "<LIST>",          "<ITEMS>",
    "<SEP>",      "<FOREACH>",   "<SWITCH>",        "<ASSIGN>",        "<GLOBALASSIGN>",
    "<LOCALASSIGN>", "<_INCLUDE>", "<IMPORT>",      "<FUNCTION>",      "<MACRO>",
    "<TRANSFORM>", "<VISIT>",    "<STOP>",          "<RETURN>",        "<CALL>",
    "<SETTING>",  "<OUTPUTFORMAT>", "<AUTOESC>",    "<NOAUTOESC>",     "<COMPRESS>",
    "<COMMENT>",  "<TERSE_COMMENT>", "<NOPARSE>",   "<END_IF>",        "<ELSE>",
    "<BREAK>",    "<CONTINUE>",  "<SIMPLE_RETURN>", "<HALT>",          "<FLUSH>",
    "<TRIM>",     "<LTRIM>",     "<RTRIM>",         "<NOTRIM>",        "<SIMPLE_NESTED>",
    "<NESTED>",   "<SIMPLE_RECURSE>", "<RECURSE>",  "<FALLBACK>",      "<ESCAPE>",
    "<NOESCAPE>", "<UNIFIED_CALL>", "<STATIC_TEXT_WS>", "<STATIC_TEXT_NON_WS>", "<STATIC_TEXT_FALSE_ALARM>",
    "\"${\"",     "\"#{\"",      "\"[=\""};

constexpr std::string_view kHelpLink = "https://tovarn.dev/manual/directives.html";
constexpr std::string_view kListHelpLink = "https://tovarn.dev/manual/directives.html#list";
constexpr std::string_view kVersionNote = "You are using Tovarn 1.0.";
constexpr std::string_view kPlannedNote =
    " (If you have seen this directive in use elsewhere, this was a planned directive, so maybe you need to "
    "upgrade Tovarn.)";
constexpr std::string_view kEndTagNote = "(Note that Tovarn end-tags must have # or @ after the / character.)";

template <size_t N>
bool contains(const std::array<std::string_view, N>& table, std::string_view name) {
  return std::find(table.begin(), table.end(), name) != table.end();
}

bool one_of(std::string_view name, std::initializer_list<std::string_view> names) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::string unknown_directive_hint(std::string_view lower) {
  if (one_of(lower, {"head", "template"})) return "You may meant #tvl.";
  if (one_of(lower, {"set", "var"}))
    return "Use #assign or #local or #global, depending on the intented scope (#assign is template-scope)." +
           std::string(kPlannedNote);
  if (one_of(lower, {"try", "atempt"})) return "You may meant #attempt.";
  if (one_of(lower, {"for", "each", "iterate", "iterator"}))
    return "You may meant #list (" + std::string(kListHelpLink) + ").";
  if (one_of(lower, {"row", "rows", "item"})) return "You may meant #items.";
  if (one_of(lower, {"elif", "else_if"})) return "Use #elseif.";
  if (one_of(lower, {"separ", "separate", "separator"})) return "You may meant #sep.";
  if (lower == "method") return "Use #function instead.";
  if (lower == "no_escape") return "Use #noescape instead.";
  if (lower == "prefix") return "You may meant #import." + std::string(kPlannedNote);
  return "Help (latest version): " + std::string(kHelpLink) + "; " + std::string(kVersionNote);
}

std::string join(const std::vector<std::string_view>& parts, std::string_view sep) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += sep;
    out += parts[i];
  }
  return out;
}

std::string block_patterns() {
  return join(std::vector<std::string_view>(kBlockPatterns.begin(), kBlockPatterns.end()), "\n    ");
}

// The top-level list: <EOF> first, and no patterns that only continue an #if.
std::string top_level_patterns() {
  std::vector<std::string_view> parts{"<EOF>"};
  for (std::string_view p : kBlockPatterns)
    if (p != "<ELSE_IF>" && p != "<END_IF>" && p != "<ELSE>") parts.push_back(p);
  return join(parts, "\n    ");
}

void append_hex_escape(std::string& out, uint32_t c) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  int digits = 4;
  while (digits < 8 && (c >> (4 * digits)) != 0) ++digits;
  for (int i = digits - 1; i >= 0; --i) out += kHex[(c >> (4 * i)) & 0xF];
}

void append_escaped(std::string& out, char32_t c) {
  switch (c) {
    case 0: return;
    case '\b': out += "\\b"; return;
    case '\t': out += "\\t"; return;
    case '\n': out += "\\n"; return;
    case '\f': out += "\\f"; return;
    case '\r': out += "\\r"; return;
    case '"': out += "\\\""; return;
    case '\'': out += "\\'"; return;
    case '\\': out += "\\\\"; return;
    default: break;
  }
  if (c >= 0x20 && c <= 0x7E) out += static_cast<char>(c);
  else append_hex_escape(out, static_cast<uint32_t>(c));
}

}  // namespace

std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& ch : out)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + ('a' - 'A'));
  return out;
}

bool is_known_directive(std::string_view name) { return contains(kKnownDirectives, name); }
bool takes_parameters(std::string_view name) { return contains(kTakesParameters, name); }
bool may_close_at_once(std::string_view name) { return contains(kClosesAtOnce, name); }
bool may_self_close(std::string_view name) { return contains(kSelfCloses, name); }
bool has_end_tag(std::string_view name) { return contains(kHasEndTag, name); }

std::string_view end_tag_desc(std::string_view name) {
  if (name == "macro" || name == "function") return "#macro or #function";
  if (name == "assign" || name == "global" || name == "local") return "#assign or #local or #global";
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kDescs = {{
      {"if", "#if"},           {"list", "#list"},         {"items", "#items"},
      {"sep", "#sep"},         {"switch", "#switch"},     {"foreach", "#foreach"},
      {"attempt", "#attempt"}, {"escape", "#escape"},     {"noescape", "#noescape"},
      {"compress", "#compress"}, {"transform", "#transform"},
  }};
  for (const auto& [n, d] : kDescs)
    if (n == name) return d;
  return {};
}

std::vector<std::string_view> end_tag_descs(const NameList& names) {
  std::vector<std::string_view> out;
  for (std::string_view n : names) {
    std::string_view d = end_tag_desc(n);
    if (!d.empty() && std::find(out.begin(), out.end(), d) == out.end()) out.push_back(d);
  }
  return out;
}

std::string unknown_directive_message(std::string_view name) {
  return "Unknown directive: #" + std::string(name) + ". " + unknown_directive_hint(ascii_lower(name));
}

std::string malformed_directive_message(std::string_view name) {
  return "#" + std::string(name) +
         " is an existing directive, but the tag is malformed.  (See Tovarn Manual / Directive Reference.)";
}

std::string unmatched_end_tag_message(std::string_view name, const NameList& open_names) {
  std::string head = "Encountered \"</#" + std::string(name) + ">\", but ";
  if (open_names.empty()) return head + "was expecting one of these patterns:\n    " + top_level_patterns();
  std::vector<std::string_view> descs = end_tag_descs(open_names);
  std::string closable;
  if (descs.size() <= 1) {
    std::string_view only = descs.empty() ? open_names.front() : descs.front();
    closable = "this can be closed: \"" + std::string(only) + "\"";
  } else {
    closable = "these can be closed: " + join(descs, ", ");
  }
  return head + "at this place only " + closable +
         ". This usually because of wrong nesting of Tovarn directives, like a missed or malformed end-tag "
         "somewhere. " +
         std::string(kEndTagNote) + "\nWas expecting one of these patterns:\n    " + block_patterns();
}

std::string unexpected_eof_message(const std::vector<std::string_view>& descs) {
  if (descs.empty()) return "Unexpected end of file reached.";
  return "Unexpected end of file reached. You have an unclosed " + join(descs, " and ") +
         ". Check if the Tovarn end-tags are present, and aren't malformed. " + std::string(kEndTagNote);
}

std::string failed_expression_message(std::string_view text) {
  std::string out = "Failed to parse the expression: \"";
  for (char32_t c : decode_utf8(text)) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == 0) {
      append_hex_escape(out, 0);  // visible, unlike in lexical messages
    } else if (c < 0x20) {
      append_escaped(out, c);
    } else {
      append_utf8(out, c);
    }
  }
  return out + "\"";
}

std::string add_escapes(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) append_escaped(out, c);
  return out;
}

std::string add_escapes(std::string_view text) { return add_escapes(decode_utf8(text)); }

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::u32string decode_utf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += b;
      ++i;
      continue;
    }
    int len = b >= 0xF0 && b < 0xF5 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
    char32_t c = len == 4 ? (b & 0x07) : len == 3 ? (b & 0x0F) : (b & 0x1F);
    bool good = len > 0 && i + len <= n;
    for (int k = 1; good && k < len; ++k) {
      auto cb = static_cast<unsigned char>(text[i + k]);
      if ((cb & 0xC0) != 0x80) good = false;
      else c = (c << 6) | (cb & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed too.
    if (good && ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
                 (c >= 0xD800 && c <= 0xDFFF)))
      good = false;
    if (!good) {
      out += char32_t{0xFFFD};
      ++i;
      continue;
    }
    out += c;
    i += len;
  }
  return out;
}

}  // namespace tovarn
