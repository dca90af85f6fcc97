// grammar_block_test.cpp — the block structure: static text and comments
// with their positions, tag-syntax decision, legacy tags, the block loop's
// stops and messages, token access on the Parser, and top-level clean-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/grammar.h"
#include "template/configuration.h"
#include "template/template.h"

namespace tovarn {
namespace {

Rc<Configuration> config(bool strict = false) {
  Rc<Configuration> cfg = Configuration::create();
  cfg->settings.strict_syntax = strict;
  cfg->settings.whitespace_stripping = false;  // stripping has tests of its own
  return cfg;
}

// One line per element: Kind@line:column[..end line] "text".
std::string describe(const ElementList& elements) {
  std::string out;
  for (const Element& e : elements) {
    if (!out.empty()) out += " | ";
    out += std::string(element_kind_name(e.kind)) + "@" + std::to_string(e.line) + ":" + std::to_string(e.column);
    if (e.kind == ElementKind::Text) out += ".." + std::to_string(e.end_line);
    out += " \"" + e.text + "\"";
  }
  return out;
}

std::string describe(const BlockStop& s) {
  static const char* kinds[] = {"EndTag", "CallEnd", "Directive", "EndOfFile"};
  return std::string(kinds[static_cast<int>(s.kind)]) + "(" + s.name + ")@" + std::to_string(s.tag_start.line) +
         ":" + std::to_string(s.tag_start.column);
}

struct Outcome {
  std::string elements;  // describe() of the root, or empty on error
  std::string error;     // message, empty on success
  Pos error_pos;
};

Outcome parse_src(std::string_view src, bool strict = false) {
  Result<Rc<Template>> t = parse(config(strict), "t.tvl", src);
  Outcome o;
  if (t.ok()) {
    o.elements = describe((*t)->root);
  } else {
    EXPECT_EQ(t.error()->kind, ErrorKind::Parse);
    EXPECT_EQ(t.error()->template_name, "t.tvl");
    o.error = t.error()->text;
    o.error_pos = {t.error()->line, t.error()->column};
  }
  return o;
}

const std::string kEndTagNote = "(Note that Tovarn end-tags must have # or @ after the / character.)";

std::string eof(std::string_view descs) {
  return "Unexpected end of file reached. You have an unclosed " + std::string(descs) +
         ". Check if the Tovarn end-tags are present, and aren't malformed. " + kEndTagNote;
}

std::string malformed(std::string_view name) {
  return "#" + std::string(name) +
         " is an existing directive, but the tag is malformed.  (See Tovarn Manual / Directive Reference.)";
}

TEST(GrammarBlockTest, StaticTextAndCommentsWithPositions) {
  struct Case {
    std::string_view src;
    std::string_view expected;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"abc", "Text@1:1..1 \"abc\""},
      {"a\nb<#-- c -->d", "Text@1:1..2 \"a\nb\" | Comment@2:6 \" c \" | Text@2:12..2 \"d\""},
      {"a\r\nb\n\nc", "Text@1:1..4 \"a\r\nb\n\nc\""},
      // A lone CR returns to column 1 without starting a line.
      {"a\rb\r<#--x-->\rc", "Text@1:1..1 \"a\rb\r\" | Comment@1:5 \"x\" | Text@1:9..1 \"\rc\""},
      {"日本<#--x-->", "Text@1:1..1 \"日本\" | Comment@1:7 \"x\""},
      {"[#-- x --]y", "Comment@1:5 \" x \" | Text@1:11..1 \"y\""},
      {"<#-- a --] b -->", "Comment@1:5 \" a --] b \""},
      {"<#---->", "Comment@1:5 \"\""},
      // Not tag starts: text.
      {"a <# b <#1 <#- c $ # [= x]", "Text@1:1..1 \"a <# b <#1 <#- c $ # [= x]\""},
      // Top-level clean-up of white-space-only text around comments.
      {"  <#--x-->  \n<#--y-->", "Comment@1:7 \"x\" | Comment@2:5 \"y\""},
      {" \n ", ""},
      {"x<#--c-->  ", "Text@1:1..1 \"x\" | Comment@1:6 \"c\""},
      {"<#--c-->\nx", "Comment@1:5 \"c\" | Text@1:9..2 \"\nx\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Outcome o = parse_src(c.src);
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.elements, c.expected);
  }
}

TEST(GrammarBlockTest, TemplateFields) {
  Rc<Configuration> cfg = config();
  Result<Rc<Template>> t = parse(cfg, "dir/page.tvl", "hi");
  ASSERT_TRUE(t.ok());
  EXPECT_EQ((*t)->name, "dir/page.tvl");
  EXPECT_EQ((*t)->configuration.get(), cfg.get());
  EXPECT_FALSE((*t)->declared_encoding.has_value());
  EXPECT_TRUE((*t)->macros.empty());
  EXPECT_TRUE((*t)->ns_prefixes.empty());
}

// Every error the block loop reports, with its position. Constructs whose
// grammar is built elsewhere report themselves as not supported yet.
TEST(GrammarBlockTest, BlockLoopMessages) {
  const std::string top_patterns =
      "<EOF>\n    <ATTEMPT>\n    <IF>\n    <LIST>\n    <ITEMS>\n    <SEP>\n    <FOREACH>\n    <SWITCH>\n    "
      "<ASSIGN>\n    <GLOBALASSIGN>\n    <LOCALASSIGN>\n    <_INCLUDE>\n    <IMPORT>\n    <FUNCTION>\n    "
      "<MACRO>\n    <TRANSFORM>\n    <VISIT>\n    <STOP>\n    <RETURN>\n    <CALL>\n    <SETTING>\n    "
      "<OUTPUTFORMAT>\n    <AUTOESC>\n    <NOAUTOESC>\n    <COMPRESS>\n    <COMMENT>\n    <TERSE_COMMENT>\n    "
      "<NOPARSE>\n    <BREAK>\n    <CONTINUE>\n    <SIMPLE_RETURN>\n    <HALT>\n    <FLUSH>\n    <TRIM>\n    "
      "<LTRIM>\n    <RTRIM>\n    <NOTRIM>\n    <SIMPLE_NESTED>\n    <NESTED>\n    <SIMPLE_RECURSE>\n    "
      "<RECURSE>\n    <FALLBACK>\n    <ESCAPE>\n    <NOESCAPE>\n    <UNIFIED_CALL>\n    <STATIC_TEXT_WS>\n    "
      "<STATIC_TEXT_NON_WS>\n    <STATIC_TEXT_FALSE_ALARM>\n    \"${\"\n    \"#{\"\n    \"[=\"";
  const std::string planned =
      " (If you have seen this directive in use elsewhere, this was a planned directive, so maybe you need to "
      "upgrade Tovarn.)";
  struct Case {
    std::string_view src;
    std::string message;
    Pos pos;
    bool strict = false;
  };
  const std::vector<Case> cases = {
      // Unknown directives and their hints (chosen by the lower-cased name).
      {"<#head>", "Unknown directive: #head. You may meant #tvl.", {1, 2}},
      {"x\n  <#Template>", "Unknown directive: #Template. You may meant #tvl.", {2, 4}},
      {"<#set x=1>",
       "Unknown directive: #set. Use #assign or #local or #global, depending on the intented scope (#assign is "
       "template-scope)." + planned,
       {1, 2}},
      {"<#var>",
       "Unknown directive: #var. Use #assign or #local or #global, depending on the intented scope (#assign is "
       "template-scope)." + planned,
       {1, 2}},
      {"<#try>", "Unknown directive: #try. You may meant #attempt.", {1, 2}},
      {"<#atempt>", "Unknown directive: #atempt. You may meant #attempt.", {1, 2}},
      {"<#rows>", "Unknown directive: #rows. You may meant #items.", {1, 2}},
      {"<#elif x>", "Unknown directive: #elif. Use #elseif.", {1, 2}},
      {"[#else_if x]", "Unknown directive: #else_if. Use #elseif.", {1, 2}},
      {"<#separator>", "Unknown directive: #separator. You may meant #sep.", {1, 2}},
      {"<#method>", "Unknown directive: #method. Use #function instead.", {1, 2}},
      {"<#no_escape>", "Unknown directive: #no_escape. Use #noescape instead.", {1, 2}},
      {"<#prefix>", "Unknown directive: #prefix. You may meant #import." + planned, {1, 2}},
      {"</#foo>", "Unknown directive: #foo. Help (latest version): https://tovarn.dev/manual/directives.html; You "
                  "are using Tovarn 1.0.",
       {1, 2}},
      {"<foo x><#_>", "Unknown directive: #_. Help (latest version): https://tovarn.dev/manual/directives.html; "
                      "You are using Tovarn 1.0.",
       {1, 9}},
      // Malformed tags: the character after the name does not fit the directive.
      {"<#if/>", malformed("if"), {1, 2}},
      {"<#if>", malformed("if"), {1, 2}},
      {"<#if", malformed("if"), {1, 2}},
      {"<#list>", malformed("list"), {1, 2}},
      {"<#sep x>", malformed("sep"), {1, 2}},
      {"<#assign=1>", malformed("assign"), {1, 2}},
      {"a\n  <#break x>", malformed("break"), {2, 4}},
      {"<#ATTEMPT/>", malformed("attempt"), {1, 2}},
      {"</#else>", malformed("else"), {1, 2}},
      {"</#if x>", malformed("if"), {1, 2}},
      {"</#if", malformed("if"), {1, 2}},
      // An end tag nothing opened.
      {"ab\n </#if>", "Encountered \"</#if>\", but was expecting one of these patterns:\n    " + top_patterns, {2, 2}},
      {"[/#List]", "Encountered \"</#list>\", but was expecting one of these patterns:\n    " + top_patterns, {1, 1}},
      {"</if >", "Encountered \"</#if>\", but was expecting one of these patterns:\n    " + top_patterns, {1, 1}},
      {"</@x>", "Unexpected </@...> outside of any user directive call body.", {1, 1}},
      {"</@x y>", "Expected \">\" or \"/>\" to close the tag.", {1, 6}},
      // Terse comments.
      {"a\n <#-- x", "Unclosed \"<#--\"", {2, 2}},
      {"[#-- x -->", "Unclosed \"[#--\"", {1, 1}},
      // Names are lower-cased before they reach the directive grammar.
      {"x<#IF a>", eof("#if"), {1, 8}},
      {"<#elseIf a>", "Unexpected directive <#elseif> here (it must be inside the matching block).", {1, 1}},
      {"<#noParse>", "Unclosed \"<#noparse>\" (missing \"</#noparse>\" or \"</noparse>\").", {1, 1}},
      {"<#outputFormat \"HTML\">", "Unexpected end of file reached.", {1, 22}},
      {"<#else/>", "Unexpected directive <#else> here (it must be inside the matching block).", {1, 1}},
      {"<#nested/>", "Cannot use a \"nested\" instruction outside a macro.", {1, 1}},
      {"x<#tvl>", "The #tvl header is only allowed at the very beginning of the template.", {1, 2}},
      // Legacy tags only without strict syntax.
      {"<IF x>", eof("#if"), {1, 6}},
      {"a <else>", "Unexpected directive <#else> here (it must be inside the matching block).", {1, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Outcome o = parse_src(c.src, c.strict);
    EXPECT_EQ(o.error, c.message);
    EXPECT_EQ(o.error_pos, c.pos);
  }
}

TEST(GrammarBlockTest, LegacyTagsFollowStrictSyntax) {
  struct Case {
    std::string_view src;
    bool strict;
    std::string_view expected;  // elements, or "!" + error message
  };
  const std::vector<Case> cases = {
      {"<if x>y</if>", true, "Text@1:1..1 \"<if x>y</if>\""},
      {"<if x>y</if>", false, "If@1:1 \"\""},
      {"<if>", false, "Text@1:1..1 \"<if>\""},
      {"<stop>", false, "Text@1:1..1 \"<stop>\""},
      {"<tvl x>", false, "Text@1:1..1 \"<tvl x>\""},
      {"<br> <b>x</b>", false, "Text@1:1..1 \"<br> <b>x</b>\""},
      {"<else>", true, "Text@1:1..1 \"<else>\""},
      {"<break/>", false, "!<#break> must be nested inside a directive that supports it:  #list with \"as\", #items, #switch (or the deprecated #foreach)"},
      {"[if x]", false, "Text@1:1..1 \"[if x]\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Outcome o = parse_src(c.src, c.strict);
    EXPECT_EQ(o.error.empty() ? o.elements : "!" + o.error, c.expected);
  }
}

// Drives the block loop directly, as the directive grammar does.
struct BlockRun {
  std::string elements;
  std::string stop;   // describe(stop), or "!" + message
  Pos error_pos;
};

BlockRun run_block(Parser& p, const NameList& end_names, const NameList& stop_names, bool loose) {
  Result<Block> b = p.parse_block_impl(end_names, stop_names, loose);
  BlockRun r;
  if (b.ok()) {
    r.elements = describe(b->elements);
    r.stop = describe(b->stop);
  } else {
    r.stop = "!" + b.error()->text;
    r.error_pos = {b.error()->line, b.error()->column};
  }
  return r;
}

TEST(GrammarBlockTest, BlockStops) {
  struct Case {
    std::string_view src;
    NameList end_names;
    NameList stop_names;
    bool loose;
    std::string_view elements;
    std::string_view stop;
  };
  const std::vector<Case> cases = {
      {"a</#if>b", {"if"}, {"elseif", "else"}, false, "Text@1:1..1 \"a\"", "EndTag(if)@1:2"},
      {"a</#If >", {"if"}, {}, false, "Text@1:1..1 \"a\"", "EndTag(if)@1:2"},
      {"a[/#recover]", {"recover", "attempt"}, {}, false, "Text@1:1..1 \"a\"", "EndTag(recover)@1:2"},
      {"a\n<#elseif x>", {"if"}, {"elseif", "else"}, false, "Text@1:1..2 \"a\n\"", "Directive(elseif)@2:1"},
      {"<#else>", {"if"}, {"elseif", "else"}, false, "", "Directive(else)@1:1"},
      {"<#ELSE/>", {"list"}, {"else"}, false, "", "Directive(else)@1:1"},
      {"<#recover>", {}, {"recover"}, false, "", "Directive(recover)@1:1"},
      {"x</@a.b\\-c >", {"if"}, {}, false, "Text@1:1..1 \"x\"", "CallEnd(a.b-c)@1:2"},
      {"</@>", {}, {}, false, "", "CallEnd()@1:1"},
      {"[/@x]", {"list"}, {}, false, "", "CallEnd(x)@1:1"},
      {"text", {}, {}, false, "Text@1:1..1 \"text\"", "EndOfFile()@1:5"},
      // A loose body ends at any end tag, at the loose siblings and at the end of input.
      {", </#list>", {"sep"}, {}, true, "Text@1:1..1 \", \"", "EndTag(list)@1:3"},
      {",<#case 2>", {"sep"}, {}, true, "Text@1:1..1 \",\"", "Directive(case)@1:2"},
      {"<#default>", {"sep"}, {}, true, "", "Directive(default)@1:1"},
      {"<#recover>", {"sep"}, {}, true, "", "Directive(recover)@1:1"},
      {",", {"sep"}, {}, true, "Text@1:1..1 \",\"", "EndOfFile()@1:2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Parser p(config(), "t.tvl", c.src);
    BlockRun r = run_block(p, c.end_names, c.stop_names, c.loose);
    EXPECT_EQ(r.elements, c.elements);
    EXPECT_EQ(r.stop, c.stop);
  }
}

TEST(GrammarBlockTest, DirectiveStopLeavesParametersUnread) {
  Parser p(config(), "t.tvl", "<#elseif a > 1>rest");
  Result<Block> b = p.parse_block_impl({"if"}, {"elseif", "else"}, false);
  ASSERT_TRUE(b.ok());
  EXPECT_EQ(p.mode(), LexMode::AngleTag);
  Result<Token> t = p.next_tok();
  ASSERT_TRUE(t.ok());
  EXPECT_EQ(t->text, "a");
  ASSERT_TRUE(p.next_tok().ok());  // ">" ends the tag here
  p.discard_lookahead();
  EXPECT_EQ(p.lexer().next_text_chunk().text, " 1>rest");
}

TEST(GrammarBlockTest, BlockErrors) {
  const std::string block_patterns =
      "<ATTEMPT>\n    <IF>\n    <ELSE_IF>\n    <LIST>\n    <ITEMS>\n    <SEP>\n    <FOREACH>\n    <SWITCH>\n    "
      "<ASSIGN>\n    <GLOBALASSIGN>\n    <LOCALASSIGN>\n    <_INCLUDE>\n    <IMPORT>\n    <FUNCTION>\n    "
      "<MACRO>\n    <TRANSFORM>\n    <VISIT>\n    <STOP>\n    <RETURN>\n    <CALL>\n    <SETTING>\n    "
      "<OUTPUTFORMAT>\n    <AUTOESC>\n    <NOAUTOESC>\n    <COMPRESS>\n    <COMMENT>\n    <TERSE_COMMENT>\n    "
      "<NOPARSE>\n    <END_IF>\n    <ELSE>\n    <BREAK>\n    <CONTINUE>\n    <SIMPLE_RETURN>\n    <HALT>\n    "
      "<FLUSH>\n    <TRIM>\n    <LTRIM>\n    <RTRIM>\n    <NOTRIM>\n    <SIMPLE_NESTED>\n    <NESTED>\n    "
      "<SIMPLE_RECURSE>\n    <RECURSE>\n    <FALLBACK>\n    <ESCAPE>\n    <NOESCAPE>\n    <UNIFIED_CALL>\n    "
      "<STATIC_TEXT_WS>\n    <STATIC_TEXT_NON_WS>\n    <STATIC_TEXT_FALSE_ALARM>\n    \"${\"\n    \"#{\"\n    "
      "\"[=\"";
  auto unmatched = [&](std::string_view name, std::string_view closable) {
    return "Encountered \"</#" + std::string(name) + ">\", but at this place only " + std::string(closable) +
           ". This usually because of wrong nesting of Tovarn directives, like a missed or malformed end-tag "
           "somewhere. " + kEndTagNote + "\nWas expecting one of these patterns:\n    " + block_patterns;
  };
  auto eof = [&](std::string_view descs) {
    return "Unexpected end of file reached. You have an unclosed " + std::string(descs) +
           ". Check if the Tovarn end-tags are present, and aren't malformed. " + kEndTagNote;
  };
  struct Case {
    std::string_view src;
    NameList end_names;
    std::string message;
    Pos pos;
  };
  const std::vector<Case> cases = {
      {"x\n </#list>", {"if"}, unmatched("list", "this can be closed: \"#if\""), {2, 2}},
      {"</#if>", {"recover", "attempt"}, unmatched("if", "this can be closed: \"#attempt\""), {1, 1}},
      {"</#if>", {"trim"}, unmatched("if", "this can be closed: \"trim\""), {1, 1}},
      {"</#if>", {"assign", "local"}, unmatched("if", "this can be closed: \"#assign or #local or #global\""), {1, 1}},
      {"</#sep>", {"if", "list"}, unmatched("sep", "these can be closed: #if, #list"), {1, 1}},
      {"abc\nde", {"if"}, eof("#if"), {2, 2}},
      {"", {"if"}, eof("#if"), {1, 1}},
      {"x\n", {"macro", "function"}, eof("#macro or #function"), {2, 1}},
      {"x", {"if", "list", "if"}, eof("#if and #list"), {1, 1}},
      {"x", {"trim"}, "Unexpected end of file reached.", {1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Parser p(config(), "t.tvl", c.src);
    BlockRun r = run_block(p, c.end_names, {}, false);
    EXPECT_EQ(r.stop, "!" + c.message);
    EXPECT_EQ(r.error_pos, c.pos);
  }
}

// The first tag (not a comment) fixes the bracket form; the other form is text from then on.
TEST(GrammarBlockTest, TagSyntaxDecision) {
  struct Case {
    std::string_view first;   // parsed as a block closed by </#if>
    std::string_view second;  // then parsed as a top-level block
    std::string_view expected_second;
  };
  const std::vector<Case> cases = {
      {"[#--a--]<#--b--></#if>", "[#--c--]<#--d-->", "Text@1:23..1 \"[#--c--]\" | Comment@1:35 \"d\""},
      {"<#--a--></#if>", "[/#if]x", "Text@1:15..1 \"[/#if]x\""},
      {"[#--a--][/#if]", "<#--b--></#if>x", "Text@1:15..1 \"<#--b--></#if>x\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + std::string(c.second));
    std::string src = std::string(c.first) + std::string(c.second);
    Parser p(config(), "t.tvl", src);
    BlockRun head = run_block(p, {"if"}, {}, false);
    ASSERT_EQ(head.stop.substr(0, 10), "EndTag(if)") << head.stop;
    BlockRun rest = run_block(p, {}, {}, false);
    EXPECT_EQ(rest.elements, c.expected_second);
    EXPECT_EQ(rest.stop.substr(0, 11), "EndOfFile()");
  }
}

TEST(GrammarBlockTest, PendingStopIsTakenAsTheBlocksOwn) {
  struct Case {
    BlockStop pending;
    NameList end_names;
    NameList stop_names;
    std::string_view stop;  // describe(stop) or "!" + message
  };
  const std::vector<Case> cases = {
      {{BlockStopKind::EndTag, "list", {3, 1}}, {"list"}, {}, "EndTag(list)@3:1"},
      {{BlockStopKind::Directive, "else", {3, 1}}, {"list"}, {"else"}, "Directive(else)@3:1"},
      {{BlockStopKind::CallEnd, "m", {3, 1}}, {"if"}, {}, "CallEnd(m)@3:1"},
      {{BlockStopKind::EndOfFile, "", {3, 1}}, {}, {}, "EndOfFile()@1:10"},
      {{BlockStopKind::EndTag, "list", {3, 1}}, {"if"}, {},
       "!Encountered \"</#list>\", but at this place only this can be closed: \"#if\". This usually"},
      {{BlockStopKind::Directive, "elseif", {3, 1}}, {"list"}, {"else"}, "!Unexpected directive <#elseif> here (it"},
      {{BlockStopKind::EndOfFile, "", {3, 1}}, {"if"}, {}, "!Unexpected end of file reached. You have an unclosed #if."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(describe(c.pending));
    Parser p(config(), "t.tvl", "x<#--c-->y");
    p.pending_stop = c.pending;
    BlockRun r = run_block(p, c.end_names, c.stop_names, false);
    EXPECT_EQ(r.stop.substr(0, c.stop.size()), c.stop);
    if (r.stop[0] != '!') EXPECT_EQ(r.elements, "Text@1:1..1 \"x\" | Comment@1:6 \"c\"");
    EXPECT_FALSE(p.pending_stop.has_value());
  }
}

TEST(GrammarBlockTest, TokenAccess) {
  Parser p(config(), "t.tvl", "a = 'b' > c");
  p.set_mode(LexMode::AngleTag);
  Result<const Token*> first = p.peek_tok();
  ASSERT_TRUE(first.ok());
  EXPECT_EQ((*first)->text, "a");
  Result<const Token*> second = p.peek_tok2();
  ASSERT_TRUE(second.ok());
  EXPECT_EQ((*second)->kind, Tok::Eq);
  EXPECT_EQ((*first)->text, "a");  // still valid after looking further

  Result<Token> a = p.expect_tok(Tok::Ident, "a name", "a");
  ASSERT_TRUE(a.ok());
  EXPECT_EQ(p.last_end, (Pos{1, 2}));
  ASSERT_TRUE(p.expect_tok(Tok::Eq, "\"=\" after the parameter name").ok());
  Result<Token> wrong = p.expect_tok(Tok::Ident, "a variable name");
  ASSERT_FALSE(wrong.ok());
  EXPECT_EQ(wrong.error()->text, "Expected a variable name, but found string literal.");
  EXPECT_EQ(wrong.error()->column, 5u);
  EXPECT_TRUE(p.expect_tag_end().ok());
  EXPECT_EQ(p.last_end, (Pos{1, 10}));
  Result<Token> c = p.expect_tok(Tok::Ident, "\"d\"", "d");
  ASSERT_FALSE(c.ok());
  EXPECT_EQ(c.error()->text, "Expected \"d\", but found identifier \"c\".");
  EXPECT_EQ(c.error()->column, 11u);
}

TEST(GrammarBlockTest, TagEndChecks) {
  struct Case {
    std::string_view src;
    int which;  // 0 expect_tag_end, 1 loose_end, 2 expect_tag_end_raw
    std::string_view error;
    uint32_t column;
  };
  const std::vector<Case> cases = {
      {" >", 0, "", 3},
      {"]", 0, "", 2},  // square-bracket mode below
      {" />", 0, "The tag can't be self-closing (\" />\"): this directive needs a body.", 2},
      {" x", 0, "Expected \">\" to close the tag, but found identifier \"x\".", 2},
      {"", 0, "Expected \">\" to close the tag, but found the end of the template.", 1},
      {"/>", 1, "", 3},
      {" >", 1, "", 3},
      {" ,", 1, "Expected \">\" or \"/>\" to close the tag, but found \",\".", 2},
      {"  /]", 2, "", 5},
      {" ]", 2, "", 3},
      {" x>", 2, "Expected \">\" or \"/>\" to close the tag.", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.src));
    Parser p(config(), "t.tvl", c.src);
    p.set_mode(c.src == "]" ? LexMode::SquareTag : LexMode::AngleTag);
    std::string err;
    uint32_t col = 0;
    auto take = [&](Status s) {
      if (!s.ok()) {
        err = s.error()->text;
        col = s.error()->column;
      }
    };
    if (c.which == 0) take(p.expect_tag_end());
    if (c.which == 1) {
      Result<Token> t = p.loose_end();
      if (!t.ok()) {
        err = t.error()->text;
        col = t.error()->column;
      }
    }
    if (c.which == 2) take(p.expect_tag_end_raw());
    EXPECT_EQ(err, c.error);
    if (c.error.empty()) EXPECT_EQ(p.last_end.column, c.column);
    else EXPECT_EQ(col, c.column);
  }
}

// Character-level reading after a peek continues right after the last consumed token.
TEST(GrammarBlockTest, DiscardLookaheadRewindsTheLexer) {
  Parser p(config(), "t.tvl", "a b>text");
  ASSERT_TRUE(p.next_tok().ok());
  ASSERT_TRUE(p.peek_tok2().ok());
  EXPECT_TRUE(p.expect_tag_end_raw().ok() == false);  // "b" is no tag end
  Parser q(config(), "t.tvl", "x >text");
  ASSERT_TRUE(q.next_tok().ok());
  ASSERT_TRUE(q.peek_tok().ok());
  ASSERT_TRUE(q.expect_tag_end_raw().ok());
  EXPECT_EQ(q.lexer().next_text_chunk().text, "text");
}

TEST(GrammarBlockTest, TopLevelCleanUp) {
  auto el = [](ElementKind k, std::string text = {}) {
    Element e(k, 1, 1);
    e.text = std::move(text);
    return e;
  };
  ElementList list;
  list.push_back(el(ElementKind::Text, " \n"));         // first, before a declaration: dropped
  list.push_back(el(ElementKind::Assignment));
  list.push_back(el(ElementKind::Text, "\t"));          // between declarations: dropped
  list.push_back(el(ElementKind::T));                   // marker: dropped
  list.push_back(el(ElementKind::MacroDef));
  list.push_back(el(ElementKind::Text, " "));           // before a non-declaration: kept
  list.push_back(el(ElementKind::If));
  list.push_back(el(ElementKind::Text, "\n"));          // after a non-declaration: kept
  list.push_back(el(ElementKind::Import));
  list.push_back(el(ElementKind::Text, "x"));           // not white space: kept
  list.push_back(el(ElementKind::Setting));
  list.push_back(el(ElementKind::Lt));
  list.push_back(el(ElementKind::TextChunk, "\r\n"));   // between declarations (marker gone): dropped
  list.push_back(el(ElementKind::Comment, " "));
  list.push_back(el(ElementKind::Nt));
  list.push_back(el(ElementKind::Rt));
  list.push_back(el(ElementKind::Text, ""));            // last, after a declaration: dropped
  clean_up_top_level(list);
  std::string kinds;
  for (const Element& e : list) kinds += std::string(element_kind_name(e.kind)) + "'" + e.text + "' ";
  EXPECT_EQ(kinds, "Assignment'' MacroDef'' Text' ' If'' Text'\n' Import'' Text'x' Setting'' Comment' ' ");

  ElementList only;
  only.push_back(el(ElementKind::Text, "  "));
  clean_up_top_level(only);
  EXPECT_TRUE(only.empty());

  ElementList kept;
  kept.push_back(el(ElementKind::Text, " "));
  kept.push_back(el(ElementKind::DollarVariable));
  clean_up_top_level(kept);
  EXPECT_EQ(kept.size(), 2u);
}

}  // namespace
}  // namespace tovarn
