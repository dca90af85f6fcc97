// lexer.h — the template lexer: source code points with line/column
// tracking, static-text chunks, tag openings, terse comments and the tokens
// of expression mode.
//
// The block loop asks for text chunks and tag openings; directive and
// expression parsers ask for tokens through the Parser, which passes the
// current lexical mode:
//
//   Lexer lx("t.tvl", "a ${x}", /*strict_syntax=*/false);
//   TextChunk c = lx.next_text_chunk();   // "a ", ended by an interpolation start
//   lx.advance(2);                         // past "${"
//   Result<Token> t = lx.next_expr_token(LexMode::Interpolation);  // Ident "x"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "error/template_error.h"

namespace tovarn {

// A 1-based source position counted in code points.
struct Pos {
  uint32_t line = 0;
  uint32_t column = 0;
  bool operator==(const Pos&) const = default;
};

// Token kinds, in the order of the language's token table.
enum class Tok : uint8_t {
  Ident, Number, Str, RawStr, True, False, In, As, Using,
  Lt, Lte, Gt, Gte,
  Plus, Minus, Star, StarStar, Slash, Percent,
  PlusAssign, MinusAssign, StarAssign, SlashAssign, PercentAssign,
  PlusPlus, MinusMinus,
  Eq, NotEq, Bang, DoubleQuestion, Question, And, Or, Arrow,
  Dot, DotDot, DotDotLess, DotDotStar, Ellipsis,
  Comma, Semicolon, Colon,
  LParen, RParen, LBracket, RBracket, LBrace, RBrace,
  TagEnd, EmptyTagEnd, InterpolationEnd, Eof,
};

// One expression token. `text` is set for Ident (escapes resolved), Number
// (as written), Str and RawStr (the characters between the quotes, escapes
// not decoded). `end` is the position right after the token.
struct Token {
  Tok kind = Tok::Eof;
  std::string text;
  Pos start;
  Pos end;
};

// The token as messages describe it: identifier "x", number "1", string
// literal, "+=", ">", the end of the template, ...
std::string tok_desc(Tok kind, std::string_view text = {});
inline std::string tok_desc(const Token& t) { return tok_desc(t.kind, t.text); }

// How ">", "]", "}" and "/" are read: inside a <#...> tag, a [#...] tag, or ${...}.
enum class LexMode : uint8_t { AngleTag, SquareTag, Interpolation };

// The bracket form of the template's tags; decided by its first tag.
enum class TagSyntax : uint8_t { Undecided, Angle, Square };

// What ended a static-text chunk.
enum class ChunkEnd : uint8_t { EndOfInput, TagStart, InterpolationStart };

struct TextChunk {
  std::string text;  // UTF-8
  Pos start;         // position of the text's first character
  ChunkEnd end = ChunkEnd::EndOfInput;
};

// What a tag opening turned out to be.
enum class TagKind : uint8_t {
  None,          // no tag opening here
  TerseComment,  // <#--   (consumed through "--")
  Directive,     // <#name, or the legacy <name (name not consumed)
  EndTag,        // </#name, or the legacy </name
  CallEnd,       // </@name
  UserCall,      // <@callee
};

struct TagOpen {
  TagKind kind = TagKind::None;
  bool square = false;  // opened with '[' rather than '<'
  Pos start;            // position of the '<' or '['
};

// The whole scanning state, for looking ahead and backing out again.
struct LexState {
  size_t index = 0;
  uint32_t line = 1;
  uint32_t column = 1;
  int32_t parens = 0;
  int32_t brackets = 0;
  int32_t braces = 0;
};

class Lexer {
 public:
  Lexer(std::string template_name, std::string_view source, bool strict_syntax);

  // --- Characters -----------------------------------------------------------
  bool at_end() const { return st_.index >= src_.size(); }
  // The code point `ahead` places after the current one; 0 past the end.
  char32_t peek(size_t ahead = 0) const {
    size_t i = st_.index + ahead;
    return i < src_.size() ? src_[i] : 0;
  }
  // Steps over `n` code points, keeping line and column (LF: next line; CR: column 1).
  void advance(size_t n = 1);
  // True when the source continues with the ASCII text `s` here.
  bool looking_at(std::string_view s, size_t ahead = 0) const;
  void skip_whitespace();
  Pos pos() const { return {st_.line, st_.column}; }
  size_t index() const { return st_.index; }
  size_t size() const { return src_.size(); }
  // UTF-8 text of the code points [from, to).
  std::string text_between(size_t from, size_t to) const;

  LexState state() const { return st_; }
  void restore(const LexState& s) { st_ = s; }
  // Back to the very start of the source (tag syntax and strictness are kept).
  void rewind() { st_ = LexState{}; }
  // Forgets open parentheses, brackets and braces (a new tag or interpolation starts).
  void reset_nesting() { st_.parens = st_.brackets = st_.braces = 0; }

  const std::string& template_name() const { return name_; }
  bool strict_syntax() const { return strict_; }
  void set_strict_syntax(bool on) { strict_ = on; }
  TagSyntax tag_syntax() const { return syntax_; }
  void set_tag_syntax(TagSyntax s) { syntax_ = s; }
  // Decides the tag syntax from a tag's bracket when it is still undecided.
  void decide_tag_syntax(bool square) {
    if (syntax_ == TagSyntax::Undecided) syntax_ = square ? TagSyntax::Square : TagSyntax::Angle;
  }

  // --- Static text ----------------------------------------------------------
  // Reads text up to the next interpolation start or tag start (either bracket
  // form), which is not consumed.
  TextChunk scan_text_chunk();
  // Like scan_text_chunk, but once the tag syntax is decided, tag starts of the
  // other bracket form are text.
  TextChunk next_text_chunk();
  // At a tag start: consumes the opening ("<#", "</#", "</@", "<@", "<#--",
  // "</" or "<") and tells what it opens.
  TagOpen read_tag_open();
  // The longest run of ASCII letters and '_' (consumed, case kept).
  std::string read_name();
  // After "<#--" or "[#--": the comment text up to the first "--" followed by
  // the form's closing bracket, which is consumed; an error when unclosed.
  // `open` is the position of the opening's '<' or '['.
  Result<std::string> scan_comment(bool square, Pos open);
  // Skips white space, then consumes ">", "]", "/>" or "/]"; false (and
  // nothing but the white space consumed) when none of them is there.
  bool try_raw_tag_close();

  // --- Expression tokens ----------------------------------------------------
  Result<Token> next_expr_token(LexMode mode);

 private:
  enum class StartKind : uint8_t { None, Tag, Interpolation };

  StartKind start_at(size_t i, char32_t& bracket) const;
  bool legacy_tag_at(size_t i) const;
  size_t name_end(size_t i) const;
  std::string ascii_name_at(size_t from, size_t to) const;
  TextChunk scan_text(bool other_form_is_text);

  Status skip_expr_space();
  Token make(Tok kind, Pos start, std::string text = {}) const { return Token{kind, std::move(text), start, pos()}; }
  Token take(Tok kind, size_t n, Pos start) {
    advance(n);
    return make(kind, start);
  }
  Result<Token> scan_string(Pos start);
  Result<Token> scan_raw_string(Pos start);
  Result<Token> scan_backslash(Pos start);
  Token scan_number(Pos start);
  Token scan_ident(Pos start);
  Result<Token> scan_operator(LexMode mode, Pos start);
  Error error_at(Pos p, std::string message) const;

  std::string name_;
  std::u32string src_;
  LexState st_;
  bool strict_;
  TagSyntax syntax_ = TagSyntax::Undecided;
};

// True for SPACE, TAB, LF and CR, the only white space of the language.
inline bool is_tvl_space(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
inline bool is_ascii_letter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_ascii_digit(char32_t c) { return c >= '0' && c <= '9'; }
// Letters that may start an identifier: ASCII letters, '$', '@', '_', and
// code points from U+00AA on with the Unicode Alphabetic property.
bool is_ident_start(char32_t c);
// Characters that may continue an identifier (the above plus ASCII digits).
bool is_ident_part(char32_t c);

}  // namespace tovarn
