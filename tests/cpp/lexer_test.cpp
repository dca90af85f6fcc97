// lexer_test.cpp — the lexer: expression tokens in the three modes, their
// descriptions and positions, lexical errors, text chunks and tag openings.
#include "parser/lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/grammar_helpers.h"

namespace tovarn {
namespace {

struct Lexed {
  std::vector<Token> tokens;  // without the final Eof
  std::string error;          // empty when the whole input lexed
  Pos error_pos;
};

Lexed lex_all(std::string_view src, LexMode mode) {
  Lexer lx("t.tvl", src, false);
  Lexed out;
  for (int guard = 0; guard < 1000; ++guard) {
    Result<Token> t = lx.next_expr_token(mode);
    if (!t.ok()) {
      out.error = t.error()->text;
      out.error_pos = {t.error()->line, t.error()->column};
      EXPECT_EQ(t.error()->kind, ErrorKind::Parse);
      EXPECT_EQ(t.error()->template_name, "t.tvl");
      return out;
    }
    if (t->kind == Tok::Eof) return out;
    out.tokens.push_back(std::move(t.value()));
  }
  ADD_FAILURE() << "lexer did not reach the end of " << src;
  return out;
}

std::string kinds_of(const Lexed& l) {
  std::string s;
  for (const Token& t : l.tokens) {
    if (!s.empty()) s += ' ';
    s += tok_desc(t);
  }
  return l.error.empty() ? s : s + " !" + l.error;
}

constexpr LexMode kAngle = LexMode::AngleTag;
constexpr LexMode kSquare = LexMode::SquareTag;
constexpr LexMode kInterp = LexMode::Interpolation;

// Every spelling of every token kind, alone in the input.
TEST(LexerTest, EverySpellingGivesItsTokenAndPositions) {
  struct Case {
    std::string_view src;
    LexMode mode;
    Tok kind;
    std::string_view text;
  };
  const std::vector<Case> cases = {
      {"name", kAngle, Tok::Ident, "name"},
      {"$x_1@y", kAngle, Tok::Ident, "$x_1@y"},
      {"42", kAngle, Tok::Number, "42"},
      {"\"a\\\"b\"", kAngle, Tok::Str, "a\\\"b"},
      {"'it'", kAngle, Tok::Str, "it"},
      {"r\"a\\b\"", kAngle, Tok::RawStr, "a\\b"},
      {"r'x'", kAngle, Tok::RawStr, "x"},
      {"true", kAngle, Tok::True, ""},
      {"false", kAngle, Tok::False, ""},
      {"in", kAngle, Tok::In, ""},
      {"as", kAngle, Tok::As, ""},
      {"using", kAngle, Tok::Using, ""},
      {"<", kAngle, Tok::Lt, ""},
      {"lt", kAngle, Tok::Lt, ""},
      {"\\lt", kAngle, Tok::Lt, ""},
      {"&lt;", kAngle, Tok::Lt, ""},
      {"<=", kAngle, Tok::Lte, ""},
      {"lte", kAngle, Tok::Lte, ""},
      {"\\lte", kAngle, Tok::Lte, ""},
      {"&lt;=", kAngle, Tok::Lte, ""},
      {"gt", kAngle, Tok::Gt, ""},
      {"\\gt", kAngle, Tok::Gt, ""},
      {"&gt;", kAngle, Tok::Gt, ""},
      {">", kInterp, Tok::Gt, ""},
      {">=", kInterp, Tok::Gte, ""},
      {"gte", kAngle, Tok::Gte, ""},
      {"\\gte", kAngle, Tok::Gte, ""},
      {"&gt;=", kAngle, Tok::Gte, ""},
      {"+", kAngle, Tok::Plus, ""},
      {"-", kAngle, Tok::Minus, ""},
      {"*", kAngle, Tok::Star, ""},
      {"**", kAngle, Tok::StarStar, ""},
      {"/", kAngle, Tok::Slash, ""},
      {"%", kAngle, Tok::Percent, ""},
      {"+=", kAngle, Tok::PlusAssign, ""},
      {"-=", kAngle, Tok::MinusAssign, ""},
      {"*=", kAngle, Tok::StarAssign, ""},
      {"/=", kAngle, Tok::SlashAssign, ""},
      {"%=", kAngle, Tok::PercentAssign, ""},
      {"++", kAngle, Tok::PlusPlus, ""},
      {"--", kAngle, Tok::MinusMinus, ""},
      {"=", kAngle, Tok::Eq, ""},
      {"==", kAngle, Tok::Eq, ""},
      {"!=", kAngle, Tok::NotEq, ""},
      {"!", kAngle, Tok::Bang, ""},
      {"??", kAngle, Tok::DoubleQuestion, ""},
      {"?", kAngle, Tok::Question, ""},
      {"&&", kAngle, Tok::And, ""},
      {"&", kAngle, Tok::And, ""},
      {"\\and", kAngle, Tok::And, ""},
      {"&amp;&amp;", kAngle, Tok::And, ""},
      {"||", kAngle, Tok::Or, ""},
      {"|", kAngle, Tok::Or, ""},
      {"->", kAngle, Tok::Arrow, ""},
      {"-&gt;", kAngle, Tok::Arrow, ""},
      {".", kAngle, Tok::Dot, ""},
      {"..", kAngle, Tok::DotDot, ""},
      {"..<", kAngle, Tok::DotDotLess, ""},
      {"..!", kAngle, Tok::DotDotLess, ""},
      {"..*", kAngle, Tok::DotDotStar, ""},
      {"...", kAngle, Tok::Ellipsis, ""},
      {",", kAngle, Tok::Comma, ""},
      {";", kAngle, Tok::Semicolon, ""},
      {":", kAngle, Tok::Colon, ""},
      {"(", kAngle, Tok::LParen, ""},
      {")", kAngle, Tok::RParen, ""},
      {"[", kAngle, Tok::LBracket, ""},
      {"{", kAngle, Tok::LBrace, ""},
      {">", kAngle, Tok::TagEnd, ""},
      {">", kSquare, Tok::Gt, ""},  // only "]" ends a square-bracket tag
      {"]", kSquare, Tok::TagEnd, ""},
      {"/>", kAngle, Tok::EmptyTagEnd, ""},
      {"/]", kSquare, Tok::EmptyTagEnd, ""},
      {"/]", kAngle, Tok::EmptyTagEnd, ""},
      {"}", kInterp, Tok::InterpolationEnd, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    // Leading blanks move the start; the end is the column after the token.
    std::string src = "  " + std::string(c.src);
    Lexer lx("t.tvl", src, false);
    Result<Token> t = lx.next_expr_token(c.mode);
    ASSERT_TRUE(t.ok()) << t.error()->text;
    EXPECT_EQ(t->kind, c.kind);
    EXPECT_EQ(t->text, c.text);
    EXPECT_EQ(t->start, (Pos{1, 3}));
    EXPECT_EQ(t->end, (Pos{1, static_cast<uint32_t>(3 + c.src.size())}));
    Result<Token> eof = lx.next_expr_token(c.mode);
    ASSERT_TRUE(eof.ok());
    EXPECT_EQ(eof->kind, Tok::Eof);
    EXPECT_EQ(eof->start, t->end);
  }
}

TEST(LexerTest, DescriptionsOfEveryKind) {
  struct Case {
    Tok kind;
    std::string_view text;
    std::string_view desc;
  };
  const std::vector<Case> cases = {
      {Tok::Ident, "foo", "identifier \"foo\""}, {Tok::Number, "1.5", "number \"1.5\""},
      {Tok::Str, "x", "string literal"},       {Tok::RawStr, "x", "raw string literal"},
      {Tok::True, "", "\"true\""},             {Tok::False, "", "\"false\""},
      {Tok::In, "", "\"in\""},                 {Tok::As, "", "\"as\""},
      {Tok::Using, "", "\"using\""},           {Tok::Lt, "", "\"lt\""},
      {Tok::Lte, "", "\"lte\""},               {Tok::Gt, "", "\"gt\""},
      {Tok::Gte, "", "\"gte\""},               {Tok::Plus, "", "\"+\""},
      {Tok::Minus, "", "\"-\""},               {Tok::Star, "", "\"*\""},
      {Tok::StarStar, "", "\"**\""},           {Tok::Slash, "", "\"/\""},
      {Tok::Percent, "", "\"%\""},             {Tok::PlusAssign, "", "\"+=\""},
      {Tok::MinusAssign, "", "\"-=\""},        {Tok::StarAssign, "", "\"*=\""},
      {Tok::SlashAssign, "", "\"/=\""},        {Tok::PercentAssign, "", "\"%=\""},
      {Tok::PlusPlus, "", "\"++\""},           {Tok::MinusMinus, "", "\"--\""},
      {Tok::Eq, "", "\"=\""},                  {Tok::NotEq, "", "\"!=\""},
      {Tok::Bang, "", "\"!\""},                {Tok::DoubleQuestion, "", "\"??\""},
      {Tok::Question, "", "\"?\""},            {Tok::And, "", "\"&&\""},
      {Tok::Or, "", "\"||\""},                 {Tok::Arrow, "", "\"->\""},
      {Tok::Dot, "", "\".\""},                 {Tok::DotDot, "", "\"..\""},
      {Tok::DotDotLess, "", "\"..<\""},        {Tok::DotDotStar, "", "\"..*\""},
      {Tok::Ellipsis, "", "\"...\""},          {Tok::Comma, "", "\",\""},
      {Tok::Semicolon, "", "\";\""},           {Tok::Colon, "", "\":\""},
      {Tok::LParen, "", "\"(\""},              {Tok::RParen, "", "\")\""},
      {Tok::LBracket, "", "\"[\""},            {Tok::RBracket, "", "\"]\""},
      {Tok::LBrace, "", "\"{\""},              {Tok::RBrace, "", "\"}\""},
      {Tok::TagEnd, "", "\">\""},              {Tok::EmptyTagEnd, "", "\"/>\""},
      {Tok::InterpolationEnd, "", "\"}\""},    {Tok::Eof, "", "the end of the template"},
  };
  for (const Case& c : cases) EXPECT_EQ(tok_desc(c.kind, c.text), c.desc);
}

// Token sequences where the mode, the nesting counters or longest-match rules decide.
TEST(LexerTest, SequencesAndModes) {
  struct Case {
    std::string_view src;
    LexMode mode;
    std::string_view expected;  // descriptions joined by blanks; "!message" for an error
  };
  const std::vector<Case> cases = {
      {"a > b", kAngle, "identifier \"a\" \">\" identifier \"b\""},
      {"(a > b)", kAngle, "\"(\" identifier \"a\" \"gt\" identifier \"b\" \")\""},
      {"(a >= b)", kSquare, "\"(\" identifier \"a\" \"gte\" identifier \"b\" \")\""},
      {"a >= b", kAngle, "identifier \"a\" \">\" \"=\" identifier \"b\""},
      {"a > b", kInterp, "identifier \"a\" \"gt\" identifier \"b\""},
      {"x[1]]", kSquare, "identifier \"x\" \"[\" number \"1\" \"]\" \">\""},
      {"{}}", kInterp, "\"{\" \"}\" \"}\""},
      {"a/>", kInterp, "identifier \"a\" \"/\" \"gt\""},
      {"a/]", kSquare, "identifier \"a\" \"/>\""},
      {"a /= 2", kAngle, "identifier \"a\" \"/=\" number \"2\""},
      {"))(", kAngle, "\")\" \")\" \"(\""},
      {"1..3", kAngle, "number \"1\" \"..\" number \"3\""},
      {"1..<3", kAngle, "number \"1\" \"..<\" number \"3\""},
      {"1..*3", kAngle, "number \"1\" \"..*\" number \"3\""},
      {"1.5e3f", kAngle, "number \"1.5e3f\""},
      {"1.5E-2d 2e+5", kAngle, "number \"1.5E-2d\" number \"2e+5\""},
      {"0x1F 0X1fL", kAngle, "number \"0x1F\" number \"0X1fL\""},
      {"12L 3b 007", kAngle, "number \"12L\" number \"3b\" number \"007\""},
      {"1.x 1e", kAngle, "number \"1\" \".\" identifier \"x\" number \"1\" identifier \"e\""},
      {"x->y", kAngle, "identifier \"x\" \"->\" identifier \"y\""},
      {"a---b", kAngle, "identifier \"a\" \"--\" \"-\" identifier \"b\""},
      {"a**=2", kAngle, "identifier \"a\" \"**\" \"=\" number \"2\""},
      {"!!=", kAngle, "\"!\" \"!=\""},
      {"a!b", kAngle, "identifier \"a\" \"!\" identifier \"b\""},
      {"a??b?c", kAngle, "identifier \"a\" \"??\" identifier \"b\" \"?\" identifier \"c\""},
      {"a.b...c", kAngle, "identifier \"a\" \".\" identifier \"b\" \"...\" identifier \"c\""},
      {"In As TRUE lte_x", kAngle,
       "identifier \"In\" identifier \"As\" identifier \"TRUE\" identifier \"lte_x\""},
      {"rx r 'a'", kAngle, "identifier \"rx\" identifier \"r\" string literal"},
      {"a\\-b\\.c\\:d\\#e", kAngle, "identifier \"a-b.c:d#e\""},
      {"\\-x", kAngle, "identifier \"-x\""},
      {"a <#-- note --> b", kAngle, "identifier \"a\" identifier \"b\""},
      {"a <!-- note --] b [#-- x --> [!-- y --] c", kAngle,
       "identifier \"a\" identifier \"b\" identifier \"c\""},
      {"a\t\r\n b", kAngle, "identifier \"a\" identifier \"b\""},
      {"\"a'b\" 'a\"b' \"\\\\\"", kAngle, "string literal string literal string literal"},
  };
  for (const Case& c : cases) EXPECT_EQ(kinds_of(lex_all(c.src, c.mode)), c.expected) << c.src;
}

TEST(LexerTest, UnicodeIdentifiers) {
  struct Case {
    std::string_view src;
    std::string_view expected;
  };
  const std::vector<Case> cases = {
      {"äbc", "identifier \"äbc\""},
      {"日本語 x", "identifier \"日本語\" identifier \"x\""},
      {"ªb", "identifier \"ªb\""},          // U+00AA is the first code point that may be alphabetic
      {"straße2", "identifier \"straße2\""},
      {"a×b", "identifier \"a\" !Unexpected character \"×\"."},  // not alphabetic
      {"x²", "identifier \"x\" !Unexpected character \"²\"."},
  };
  for (const Case& c : cases) EXPECT_EQ(kinds_of(lex_all(c.src, kAngle)), c.expected) << c.src;
}

TEST(LexerTest, LexicalErrorsAndTheirPositions) {
  const std::string interp_msg =
      "You can't use ${...} (an interpolation) here as you are already in Tovarn-expression-mode. Thus, instead "
      "of ${myExpression}, just write myExpression. (${...} is only used where otherwise static text is "
      "expected, i.e., outside Tovarn tags and interpolations, or inside string literals.)";
  const std::string hash_msg =
      "You can't use #{...} (an interpolation) here as you are already in Tovarn-expression-mode. Thus, instead "
      "of #{myExpression}, just write myExpression. (#{...} is only used where otherwise static text is "
      "expected, i.e., outside Tovarn tags and interpolations, or inside string literals.)";
  const std::string square_msg =
      "You can't use [=...] (an interpolation) here as you are already in Tovarn-expression-mode. Thus, instead "
      "of [=myExpression], just write myExpression. ([=...] is only used where otherwise static text is "
      "expected, i.e., outside Tovarn tags and interpolations, or inside string literals.)";
  struct Case {
    std::string_view src;
    LexMode mode;
    std::string message;
    Pos pos;
  };
  const std::vector<Case> cases = {
      {"\"abc", kAngle, "Lexical error: encountered <EOF> after \"\\\"abc\".", {1, 5}},
      {"x 'a\\", kAngle, "Lexical error: encountered <EOF> after \"\\'a\\\\\".", {1, 6}},
      {"\"a\nb\tc", kAngle, "Lexical error: encountered <EOF> after \"\\\"a\\nb\\tc\".", {2, 4}},
      {"\"é", kAngle, "Lexical error: encountered <EOF> after \"\\\"\\u00e9\".", {1, 3}},
      {"a ${b}", kAngle, interp_msg, {1, 3}},
      {"a #{b}", kInterp, hash_msg, {1, 3}},
      {"x[=1]", kSquare, square_msg, {1, 2}},
      {"a ]", kAngle, "You can't have a \"]\" here, as there's nothing open that it could close.", {1, 3}},
      {"a ]", kInterp, "You can't have a \"]\" here, as there's nothing open that it could close.", {1, 3}},
      {"\n }", kAngle, "You can't have a \"}\" here, as there's nothing open that it could close.", {2, 2}},
      {"}", kSquare, "You can't have a \"}\" here, as there's nothing open that it could close.", {1, 1}},
      {"a r\"abc", kAngle, "Unclosed raw string literal.", {1, 3}},
      {"a <#-- x\n-- >", kAngle, "Unclosed comment in expression.", {2, 5}},
      {"a \\x", kAngle, "Unexpected character \"\\x\".", {1, 3}},
      {"a \\", kAngle, "Unexpected character \"\\\".", {1, 3}},
      {"a # b", kAngle, "Unexpected character \"#\".", {1, 3}},
      {"~", kAngle, "Unexpected character \"~\".", {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Lexed l = lex_all(c.src, c.mode);
    EXPECT_EQ(l.error, c.message);
    EXPECT_EQ(l.error_pos, c.pos);
  }
}

TEST(LexerTest, LineBreaksAndColumnsCountCodePoints) {
  struct Case {
    std::string_view src;
    Pos second_start;
  };
  const std::vector<Case> cases = {
      {"a\nb", {2, 1}},     {"a\r\nb", {2, 1}},  {"a\rb", {1, 1}},      {"a\r\rb", {1, 1}},
      {"a\n\n  b", {3, 3}}, {"a\tb", {1, 3}},    {"'日本' b", {1, 6}},  {"'😀' b", {1, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Lexed l = lex_all(c.src, kAngle);
    ASSERT_EQ(l.tokens.size(), 2u) << l.error;
    EXPECT_EQ(l.tokens[0].start, (Pos{1, 1}));
    EXPECT_EQ(l.tokens[1].start, c.second_start);
  }
}

TEST(LexerTest, AddEscapes) {
  struct Case {
    std::string_view in;
    std::string_view out;
  };
  const std::vector<Case> cases = {
      {"plain ~text", "plain ~text"},
      {"\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
      {"\"'\\", "\\\"\\'\\\\"},
      {std::string_view("a\0b", 3), "ab"},
      {"\x7f\x01", "\\u007f\\u0001"},
      {"é€", "\\u00e9\\u20ac"},
      {"😀", "\\u1f600"},
  };
  for (const Case& c : cases) EXPECT_EQ(add_escapes(c.in), c.out);
}

// What stops static text, by tag syntax and strictness.
TEST(LexerTest, TextChunksStopAtTagAndInterpolationStarts) {
  struct Case {
    std::string_view src;
    bool strict;
    TagSyntax syntax;
    std::string_view text;
    ChunkEnd end;
  };
  const auto U = TagSyntax::Undecided, A = TagSyntax::Angle, S = TagSyntax::Square;
  const auto Tag = ChunkEnd::TagStart, Int = ChunkEnd::InterpolationStart, Eoi = ChunkEnd::EndOfInput;
  const std::vector<Case> cases = {
      {"ab${x}", true, U, "ab", Int},
      {"ab#{x}", true, U, "ab", Int},
      {"a$ b# c[=x]", true, U, "a$ b# c[=x]", Eoi},
      {"a<#if x>", true, U, "a", Tag},
      {"a<#_x>", true, U, "a", Tag},
      {"a<#--c-->", true, U, "a", Tag},
      {"a<#-c <#1 <# x", true, U, "a<#-c <#1 <# x", Eoi},
      {"a<@x/>", true, U, "a", Tag},
      {"a</#if>", true, U, "a", Tag},
      {"a</@>", true, U, "a", Tag},
      {"a[#if x]", true, U, "a", Tag},
      {"a[@x/]", true, U, "a", Tag},
      {"a[/#if]", true, U, "a", Tag},
      {"a[/@x]", true, U, "a", Tag},
      {"a[#if x]<#if y>", true, A, "a[#if x]", Tag},
      {"a<#if x></#if><@m/>${x}", true, S, "a<#if x></#if><@m/>", Int},
      // Legacy tags without '#' only when strict syntax is off.
      {"a<if x>", false, U, "a", Tag},
      {"a<if x>", true, U, "a<if x>", Eoi},
      {"a<IF\tx>", false, U, "a", Tag},
      {"a<if>", false, U, "a<if>", Eoi},
      {"a<stop>", false, U, "a<stop>", Eoi},
      {"a<else >", false, U, "a", Tag},
      {"a<else/]", false, U, "a", Tag},
      {"a<break/x", false, U, "a<break/x", Eoi},
      {"a<tvl x>", false, U, "a<tvl x>", Eoi},
      {"a<foo x>", false, U, "a<foo x>", Eoi},
      {"a</if >", false, U, "a", Tag},
      {"a</if x>", false, U, "a</if x>", Eoi},
      {"a</tvl>", false, U, "a</tvl>", Eoi},
      {"a[if x]", false, U, "a[if x]", Eoi},
      {"a<if x>", false, S, "a<if x>", Eoi},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Lexer lx("t.tvl", c.src, c.strict);
    lx.set_tag_syntax(c.syntax);
    TextChunk chunk = lx.next_text_chunk();
    EXPECT_EQ(chunk.text, c.text);
    EXPECT_EQ(chunk.end, c.end);
    EXPECT_EQ(chunk.start, (Pos{1, 1}));
  }
}

TEST(LexerTest, TagOpeningsAndNames) {
  struct Case {
    std::string_view src;
    TagKind kind;
    bool square;
    std::string_view name;  // read right after the opening
  };
  const std::vector<Case> cases = {
      {"<#If x>", TagKind::Directive, false, "If"},
      {"[#list x]", TagKind::Directive, true, "list"},
      {"<#-- c -->", TagKind::TerseComment, false, ""},
      {"[#-- c --]", TagKind::TerseComment, true, ""},
      {"</#if>", TagKind::EndTag, false, "if"},
      {"[/#noParse]", TagKind::EndTag, true, "noParse"},
      {"</if>", TagKind::EndTag, false, "if"},
      {"</@m>", TagKind::CallEnd, false, "m"},
      {"<@m/>", TagKind::UserCall, false, "m"},
      {"[@m/]", TagKind::UserCall, true, "m"},
      {"<else>", TagKind::Directive, false, "else"},
      {"<_x>", TagKind::Directive, false, "_x"},
      {"<1", TagKind::None, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Lexer lx("t.tvl", c.src, false);
    TagOpen open = lx.read_tag_open();
    EXPECT_EQ(open.kind, c.kind);
    EXPECT_EQ(open.square, c.square);
    EXPECT_EQ(open.start, (Pos{1, 1}));
    EXPECT_EQ(lx.read_name(), c.name);
  }
}

TEST(LexerTest, TerseCommentScanning) {
  Lexer lx("t.tvl", "<#-- a -- b ]-->rest", false);
  TagOpen open = lx.read_tag_open();
  Result<std::string> text = lx.scan_comment(open.square, open.start);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(*text, " a -- b ]");
  EXPECT_EQ(lx.pos(), (Pos{1, 17}));

  Lexer sq("t.tvl", "[#-- a --> b --]", false);
  open = sq.read_tag_open();
  Result<std::string> square_text = sq.scan_comment(open.square, open.start);
  ASSERT_TRUE(square_text.ok());
  EXPECT_EQ(*square_text, " a --> b ");

  Lexer bad("t.tvl", "x\n  [#-- a -->", false);
  bad.advance(4);
  open = bad.read_tag_open();
  Result<std::string> unclosed = bad.scan_comment(open.square, open.start);
  ASSERT_FALSE(unclosed.ok());
  EXPECT_EQ(unclosed.error()->text, "Unclosed \"[#--\"");
  EXPECT_EQ(unclosed.error()->line, 2u);
  EXPECT_EQ(unclosed.error()->column, 3u);
}

TEST(LexerTest, RawTagClose) {
  struct Case {
    std::string_view src;
    bool accepted;
    uint32_t column_after;
  };
  const std::vector<Case> cases = {
      {">", true, 2}, {"  ]", true, 4}, {" />", true, 4}, {"/]", true, 3}, {" x>", false, 2}, {"/ >", false, 1},
  };
  for (const Case& c : cases) {
    Lexer lx("t.tvl", c.src, false);
    EXPECT_EQ(lx.try_raw_tag_close(), c.accepted) << c.src;
    EXPECT_EQ(lx.pos().column, c.column_after) << c.src;
  }
}

TEST(LexerTest, MalformedUtf8DoesNotCrash) {
  Lexed l = lex_all(std::string_view("'\xff\xc3' x \xe2\x82", 9), kAngle);
  ASSERT_EQ(l.tokens.size(), 2u);
  EXPECT_EQ(l.tokens[0].text, "\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(l.tokens[1].text, "x");
  EXPECT_EQ(l.error, "Unexpected character \"\xEF\xBF\xBD\".");
}

}  // namespace
}  // namespace tovarn
