// lexer.cpp — static-text chunks, tag openings, terse comments and the
// expression tokens of the three lexical modes.
#include "parser/lexer.h"

#include <unicode/uchar.h>

#include "parser/grammar_helpers.h"

namespace tovarn {

namespace {

bool is_hex_digit(char32_t c) {
  return is_ascii_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool is_ident_escape(char32_t c) { return c == '#' || c == '-' || c == '.' || c == ':'; }

bool is_number_suffix(char32_t c) {
  switch (c) {
    case 'B': case 'D': case 'F': case 'L': case 'b': case 'd': case 'f': case 'l': return true;
    default: return false;
  }
}

// Keywords are only the exact lower-case spellings.
Tok keyword_or_ident(std::string_view s) {
  if (s == "in") return Tok::In;
  if (s == "as") return Tok::As;
  if (s == "using") return Tok::Using;
  if (s == "true") return Tok::True;
  if (s == "false") return Tok::False;
  if (s == "lt") return Tok::Lt;
  if (s == "lte") return Tok::Lte;
  if (s == "gt") return Tok::Gt;
  if (s == "gte") return Tok::Gte;
  return Tok::Ident;
}

std::string interpolation_in_expression_message(std::string_view open, std::string_view close) {
  std::string o(open), c(close);
  return "You can't use " + o + "..." + c +
         " (an interpolation) here as you are already in Tovarn-expression-mode. Thus, instead of " + o +
         "myExpression" + c + ", just write myExpression. (" + o + "..." + c +
         " is only used where otherwise static text is expected, i.e., outside Tovarn tags and interpolations, "
         "or inside string literals.)";
}

std::string char_utf8(char32_t c) {
  std::string s;
  append_utf8(s, c);
  return s;
}

}  // namespace

bool is_ident_start(char32_t c) {
  if (c < 0x80) return is_ascii_letter(c) || c == '$' || c == '@' || c == '_';
  return c >= 0xAA && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_ALPHABETIC);
}

bool is_ident_part(char32_t c) { return is_ident_start(c) || is_ascii_digit(c); }

std::string tok_desc(Tok kind, std::string_view text) {
  auto q = [](std::string_view s) { return "\"" + std::string(s) + "\""; };
  switch (kind) {
    case Tok::Ident: return "identifier " + q(text);
    case Tok::Number: return "number " + q(text);
    case Tok::Str: return "string literal";
    case Tok::RawStr: return "raw string literal";
    case Tok::True: return q("true");
    case Tok::False: return q("false");
    case Tok::In: return q("in");
    case Tok::As: return q("as");
    case Tok::Using: return q("using");
    case Tok::Lt: return q("lt");
    case Tok::Lte: return q("lte");
    case Tok::Gt: return q("gt");
    case Tok::Gte: return q("gte");
    case Tok::Plus: return q("+");
    case Tok::Minus: return q("-");
    case Tok::Star: return q("*");
    case Tok::StarStar: return q("**");
    case Tok::Slash: return q("/");
    case Tok::Percent: return q("%");
    case Tok::PlusAssign: return q("+=");
    case Tok::MinusAssign: return q("-=");
    case Tok::StarAssign: return q("*=");
    case Tok::SlashAssign: return q("/=");
    case Tok::PercentAssign: return q("%=");
    case Tok::PlusPlus: return q("++");
    case Tok::MinusMinus: return q("--");
    case Tok::Eq: return q("=");
    case Tok::NotEq: return q("!=");
    case Tok::Bang: return q("!");
    case Tok::DoubleQuestion: return q("??");
    case Tok::Question: return q("?");
    case Tok::And: return q("&&");
    case Tok::Or: return q("||");
    case Tok::Arrow: return q("->");
    case Tok::Dot: return q(".");
    case Tok::DotDot: return q("..");
    case Tok::DotDotLess: return q("..<");
    case Tok::DotDotStar: return q("..*");
    case Tok::Ellipsis: return q("...");
    case Tok::Comma: return q(",");
    case Tok::Semicolon: return q(";");
    case Tok::Colon: return q(":");
    case Tok::LParen: return q("(");
    case Tok::RParen: return q(")");
    case Tok::LBracket: return q("[");
    case Tok::RBracket: return q("]");
    case Tok::LBrace: return q("{");
    case Tok::RBrace: return q("}");
    case Tok::TagEnd: return q(">");
    case Tok::EmptyTagEnd: return q("/>");
    case Tok::InterpolationEnd: return q("}");
    case Tok::Eof: return "the end of the template";
  }
  return "?";
}

Lexer::Lexer(std::string template_name, std::string_view source, bool strict_syntax)
    : name_(std::move(template_name)), src_(decode_utf8(source)), strict_(strict_syntax) {}

void Lexer::advance(size_t n) {
  for (; n > 0 && st_.index < src_.size(); --n) {
    char32_t c = src_[st_.index++];
    if (c == '\n') {
      ++st_.line;
      st_.column = 1;
    } else if (c == '\r') {
      st_.column = 1;
    } else {
      ++st_.column;
    }
  }
}

bool Lexer::looking_at(std::string_view s, size_t ahead) const {
  for (size_t k = 0; k < s.size(); ++k)
    if (peek(ahead + k) != static_cast<unsigned char>(s[k])) return false;
  return true;
}

void Lexer::skip_whitespace() {
  while (!at_end() && is_tvl_space(peek())) advance();
}

std::string Lexer::text_between(size_t from, size_t to) const {
  std::string out;
  out.reserve(to - from);
  for (size_t i = from; i < to && i < src_.size(); ++i) append_utf8(out, src_[i]);
  return out;
}

Error Lexer::error_at(Pos p, std::string message) const {
  return Error::parse(name_, std::move(message), p.line, p.column);
}

// ---------------------------------------------------------------------------
// Static text

size_t Lexer::name_end(size_t i) const {
  while (i < src_.size() && (is_ascii_letter(src_[i]) || src_[i] == '_')) ++i;
  return i;
}

std::string Lexer::ascii_name_at(size_t from, size_t to) const {
  std::string s;
  for (size_t i = from; i < to; ++i) s += static_cast<char>(src_[i]);
  return s;
}

// A legacy tag (no '#') at the '<' at i: "<name" or "</name" of a known
// directive in a shape that can only be a tag. Looks ahead without consuming.
bool Lexer::legacy_tag_at(size_t i) const {
  auto at = [&](size_t k) -> char32_t { return k < src_.size() ? src_[k] : 0; };
  size_t j = i + 1;
  bool end_tag = at(j) == '/';
  if (end_tag) ++j;
  size_t e = name_end(j);
  if (e == j) return false;
  std::string name = ascii_lower(ascii_name_at(j, e));
  if (name == "tvl" || !is_known_directive(name)) return false;
  if (!end_tag && takes_parameters(name)) return is_tvl_space(at(e));
  while (is_tvl_space(at(e))) ++e;
  char32_t c = at(e);
  return c == '>' || c == ']' || (c == '/' && (at(e + 1) == '>' || at(e + 1) == ']'));
}

Lexer::StartKind Lexer::start_at(size_t i, char32_t& bracket) const {
  auto at = [&](size_t k) -> char32_t { return k < src_.size() ? src_[k] : 0; };
  char32_t c = src_[i];
  if ((c == '$' || c == '#') && at(i + 1) == '{') return StartKind::Interpolation;
  if (c != '<' && c != '[') return StartKind::None;
  bracket = c;
  char32_t c1 = at(i + 1);
  if (c1 == '#') {
    char32_t c2 = at(i + 2);
    if (is_ascii_letter(c2) || c2 == '_' || (c2 == '-' && at(i + 3) == '-')) return StartKind::Tag;
  } else if (c1 == '@') {
    return StartKind::Tag;
  } else if (c1 == '/') {
    char32_t c2 = at(i + 2);
    if (c2 == '#' || c2 == '@') return StartKind::Tag;
  }
  if (c == '<' && !strict_ && legacy_tag_at(i)) return StartKind::Tag;
  return StartKind::None;
}

TextChunk Lexer::scan_text(bool other_form_is_text) {
  TextChunk out;
  out.start = pos();
  size_t from = st_.index;
  while (!at_end()) {
    char32_t bracket = 0;
    StartKind k = start_at(st_.index, bracket);
    if (k == StartKind::Interpolation) {
      out.end = ChunkEnd::InterpolationStart;
      break;
    }
    if (k == StartKind::Tag) {
      bool other_form = syntax_ != TagSyntax::Undecided && ((bracket == '[') != (syntax_ == TagSyntax::Square));
      if (!(other_form && other_form_is_text)) {
        out.end = ChunkEnd::TagStart;
        break;
      }
    }
    advance();
  }
  out.text = text_between(from, st_.index);
  return out;
}

TextChunk Lexer::scan_text_chunk() { return scan_text(false); }

TextChunk Lexer::next_text_chunk() { return scan_text(true); }

TagOpen Lexer::read_tag_open() {
  TagOpen t;
  t.start = pos();
  t.square = peek() == '[';
  if (peek() != '<' && peek() != '[') return t;
  char32_t c1 = peek(1);
  if (c1 == '#') {
    bool comment = peek(2) == '-' && peek(3) == '-';
    t.kind = comment ? TagKind::TerseComment : TagKind::Directive;
    advance(comment ? 4 : 2);
  } else if (c1 == '/') {
    char32_t c2 = peek(2);
    t.kind = c2 == '@' ? TagKind::CallEnd : TagKind::EndTag;
    advance(c2 == '#' || c2 == '@' ? 3 : 2);
  } else if (c1 == '@') {
    t.kind = TagKind::UserCall;
    advance(2);
  } else if (is_ascii_letter(c1) || c1 == '_') {
    t.kind = TagKind::Directive;
    advance(1);
  }
  return t;
}

std::string Lexer::read_name() {
  size_t from = st_.index;
  size_t to = name_end(from);
  advance(to - from);
  return ascii_name_at(from, to);
}

Result<std::string> Lexer::scan_comment(bool square, Pos open) {
  char32_t close = square ? ']' : '>';
  size_t from = st_.index;
  for (size_t i = from; i + 2 < src_.size(); ++i) {
    if (src_[i] == '-' && src_[i + 1] == '-' && src_[i + 2] == close) {
      std::string text = text_between(from, i);
      advance(i + 3 - from);
      return text;
    }
  }
  advance(src_.size() - from);
  return error_at(open, square ? "Unclosed \"[#--\"" : "Unclosed \"<#--\"");
}

bool Lexer::try_raw_tag_close() {
  skip_whitespace();
  char32_t c = peek();
  if (c == '>' || c == ']') {
    advance();
    return true;
  }
  if (c == '/' && (peek(1) == '>' || peek(1) == ']')) {
    advance(2);
    return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Expression tokens

// Skips white space and the comments that may stand inside expressions
// (<#-- -->, <!-- -->, [#-- --], [!-- --]; either closing bracket ends them).
Status Lexer::skip_expr_space() {
  for (;;) {
    skip_whitespace();
    if (!(looking_at("<#--") || looking_at("<!--") || looking_at("[#--") || looking_at("[!--"))) return ok();
    advance(4);
    while (!at_end() && !(peek() == '-' && peek(1) == '-' && (peek(2) == '>' || peek(2) == ']'))) advance();
    if (at_end()) return error_at(pos(), "Unclosed comment in expression.");
    advance(3);
  }
}

Result<Token> Lexer::next_expr_token(LexMode mode) {
  TRY(skip_expr_space());
  Pos start = pos();
  if (at_end()) return make(Tok::Eof, start);
  char32_t c = peek();
  char32_t c1 = peek(1);
  if (c == '"' || c == '\'') return scan_string(start);
  if ((c == '$' || c == '#') && c1 == '{')
    return error_at(start, interpolation_in_expression_message(c == '$' ? "${" : "#{", "}"));
  if (c == '[' && c1 == '=') return error_at(start, interpolation_in_expression_message("[=", "]"));
  if (c == '\\') return scan_backslash(start);
  if (c == 'r' && (c1 == '"' || c1 == '\'')) return scan_raw_string(start);
  if (is_ascii_digit(c)) return scan_number(start);
  if (is_ident_start(c)) return scan_ident(start);
  return scan_operator(mode, start);
}

Result<Token> Lexer::scan_string(Pos start) {
  char32_t quote = peek();
  advance();
  size_t from = st_.index;
  while (!at_end()) {
    char32_t c = peek();
    if (c == '\\') {
      advance(2);  // the escaped character stays in the text; decoding comes later
      continue;
    }
    if (c == quote) {
      std::string text = text_between(from, st_.index);
      advance();
      return make(Tok::Str, start, std::move(text));
    }
    advance();
  }
  std::u32string read(1, quote);
  read.append(src_, from, std::u32string::npos);
  return error_at(pos(), "Lexical error: encountered <EOF> after \"" + add_escapes(read) + "\".");
}

Result<Token> Lexer::scan_raw_string(Pos start) {
  char32_t quote = peek(1);
  advance(2);
  size_t from = st_.index;
  while (!at_end() && peek() != quote) advance();
  if (at_end()) return error_at(start, "Unclosed raw string literal.");
  std::string text = text_between(from, st_.index);
  advance();
  return make(Tok::RawStr, start, std::move(text));
}

Result<Token> Lexer::scan_backslash(Pos start) {
  char32_t c1 = peek(1);
  if (is_ident_escape(c1)) return scan_ident(start);
  if (looking_at("\\and")) return take(Tok::And, 4, start);
  if (looking_at("\\gte")) return take(Tok::Gte, 4, start);
  if (looking_at("\\gt")) return take(Tok::Gt, 3, start);
  if (looking_at("\\lte")) return take(Tok::Lte, 4, start);
  if (looking_at("\\lt")) return take(Tok::Lt, 3, start);
  std::string shown = "\\";
  if (c1 != 0 || st_.index + 1 < src_.size()) append_utf8(shown, c1);
  return error_at(start, "Unexpected character \"" + shown + "\".");
}

Token Lexer::scan_number(Pos start) {
  size_t from = st_.index;
  while (is_ascii_digit(peek())) advance();
  if (st_.index == from + 1 && src_[from] == '0' && (peek() == 'x' || peek() == 'X')) {
    advance();
    while (is_hex_digit(peek())) advance();
  } else {
    if (peek() == '.' && is_ascii_digit(peek(1))) {
      advance();
      while (is_ascii_digit(peek())) advance();
    }
    char32_t e1 = peek(1);
    if ((peek() == 'e' || peek() == 'E') &&
        (is_ascii_digit(e1) || ((e1 == '+' || e1 == '-') && is_ascii_digit(peek(2))))) {
      advance(2);
      while (is_ascii_digit(peek())) advance();
    }
  }
  if (is_number_suffix(peek())) advance();
  return make(Tok::Number, start, text_between(from, st_.index));
}

Token Lexer::scan_ident(Pos start) {
  std::string text;
  for (;;) {
    char32_t c = peek();
    if (is_ident_part(c)) {
      append_utf8(text, c);
      advance();
    } else if (c == '\\' && is_ident_escape(peek(1))) {
      text += static_cast<char>(peek(1));
      advance(2);
    } else {
      break;
    }
  }
  Tok kind = keyword_or_ident(text);
  return make(kind, start, kind == Tok::Ident ? std::move(text) : std::string());
}

Result<Token> Lexer::scan_operator(LexMode mode, Pos start) {
  char32_t c = peek();
  char32_t c1 = peek(1);
  const bool in_tag = mode != LexMode::Interpolation;
  switch (c) {
    case '!': return c1 == '=' ? take(Tok::NotEq, 2, start) : take(Tok::Bang, 1, start);
    case '%': return c1 == '=' ? take(Tok::PercentAssign, 2, start) : take(Tok::Percent, 1, start);
    case '*':
      if (c1 == '=') return take(Tok::StarAssign, 2, start);
      return c1 == '*' ? take(Tok::StarStar, 2, start) : take(Tok::Star, 1, start);
    case '+':
      if (c1 == '=') return take(Tok::PlusAssign, 2, start);
      return c1 == '+' ? take(Tok::PlusPlus, 2, start) : take(Tok::Plus, 1, start);
    case '/':
      if (c1 == '=') return take(Tok::SlashAssign, 2, start);
      if (in_tag && (c1 == '>' || c1 == ']')) return take(Tok::EmptyTagEnd, 2, start);
      return take(Tok::Slash, 1, start);
    case '-':
      if (c1 == '>') return take(Tok::Arrow, 2, start);
      if (looking_at("-&gt;")) return take(Tok::Arrow, 5, start);
      if (c1 == '-') return take(Tok::MinusMinus, 2, start);
      if (c1 == '=') return take(Tok::MinusAssign, 2, start);
      return take(Tok::Minus, 1, start);
    case '&':
      if (looking_at("&amp;&amp;")) return take(Tok::And, 10, start);
      if (c1 == '&') return take(Tok::And, 2, start);
      if (looking_at("&gt;=")) return take(Tok::Gte, 5, start);
      if (looking_at("&gt;")) return take(Tok::Gt, 4, start);
      if (looking_at("&lt;=")) return take(Tok::Lte, 5, start);
      if (looking_at("&lt;")) return take(Tok::Lt, 4, start);
      return take(Tok::And, 1, start);
    case '|': return take(Tok::Or, c1 == '|' ? 2 : 1, start);
    case '=': return take(Tok::Eq, c1 == '=' ? 2 : 1, start);
    case '<': return c1 == '=' ? take(Tok::Lte, 2, start) : take(Tok::Lt, 1, start);
    case '?': return c1 == '?' ? take(Tok::DoubleQuestion, 2, start) : take(Tok::Question, 1, start);
    case ',': return take(Tok::Comma, 1, start);
    case ';': return take(Tok::Semicolon, 1, start);
    case ':': return take(Tok::Colon, 1, start);
    case '(':
      ++st_.parens;
      return take(Tok::LParen, 1, start);
    case ')':
      if (st_.parens > 0) --st_.parens;
      return take(Tok::RParen, 1, start);
    case '[':
      ++st_.brackets;
      return take(Tok::LBracket, 1, start);
    case ']':
      if (st_.brackets > 0) {
        --st_.brackets;
        return take(Tok::RBracket, 1, start);
      }
      if (mode == LexMode::SquareTag) return take(Tok::TagEnd, 1, start);
      return error_at(start, "You can't have a \"]\" here, as there's nothing open that it could close.");
    case '{':
      ++st_.braces;
      return take(Tok::LBrace, 1, start);
    case '}':
      if (st_.braces > 0) {
        --st_.braces;
        return take(Tok::RBrace, 1, start);
      }
      if (mode == LexMode::Interpolation) return take(Tok::InterpolationEnd, 1, start);
      return error_at(start, "You can't have a \"}\" here, as there's nothing open that it could close.");
    case '>':
      // Only an angle-bracket tag ends at ">"; a square-bracket tag ends at
      // "]" alone, so there ">" always compares.
      if (st_.parens == 0 && mode == LexMode::AngleTag) return take(Tok::TagEnd, 1, start);
      return c1 == '=' ? take(Tok::Gte, 2, start) : take(Tok::Gt, 1, start);
    case '.':
      if (c1 == '.') {
        char32_t c2 = peek(2);
        if (c2 == '<' || c2 == '!') return take(Tok::DotDotLess, 3, start);
        if (c2 == '*') return take(Tok::DotDotStar, 3, start);
        if (c2 == '.') return take(Tok::Ellipsis, 3, start);
        return take(Tok::DotDot, 2, start);
      }
      return take(Tok::Dot, 1, start);
    default: break;
  }
  return error_at(start, "Unexpected character \"" + char_utf8(c) + "\".");
}

}  // namespace tovarn
