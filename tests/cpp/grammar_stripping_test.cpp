// grammar_stripping_test.cpp — parse-time white-space stripping: the header's
// switch, lines that hold only tags, lines with content, declarations, the
// #t/#lt/#rt/#nt markers, and whole-template fixtures from
// tests/cases/stripping (NAME.tvl beside NAME.out).
//
// Directives do not run here, so a stripped tree is shown as the text it
// would print with every body taken once: the texts of all Text and
// TextChunk elements in source order, each interpolation as "${expr}".
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/dollar_variable.h"
#include "parser/grammar.h"
#include "parser/grammar_element_helpers.h"
#include "template/configuration.h"
#include "template/template.h"

namespace tovarn {
namespace {

void flatten(const ElementList& list, std::string& out) {
  std::vector<const ElementList*> bodies;
  for (const Element& e : list) {
    if (is_text_kind(e.kind)) out += e.text;
    if (e.kind == ElementKind::DollarVariable) out += "${" + expr_desc(*e.as<DollarVariable>().expr) + "}";
    bodies.clear();
    element_bodies(e, bodies);
    for (const ElementList* b : bodies) flatten(*b, out);
  }
}

Result<std::string> stripped(std::string_view src, bool strip = true) {
  Rc<Configuration> cfg = Configuration::create();
  cfg->settings.whitespace_stripping = strip;
  ASSIGN_OR_RETURN(Rc<Template> t, parse(cfg, "s.tvl", src));
  std::string out;
  flatten(t->root, out);
  return out;
}

struct Case {
  std::string_view src;
  std::string_view expected;
};

void check(const std::vector<Case>& cases, bool strip = true) {
  for (const Case& c : cases) {
    Result<std::string> got = stripped(c.src, strip);
    ASSERT_TRUE(got.ok()) << c.src << ": " << got.error()->text;
    EXPECT_EQ(*got, c.expected) << c.src;
  }
}

TEST(GrammarStrippingTest, TagOnlyLinesVanish) {
  check({
      {"<#if x>\n  a\n  </#if>\nb", "  a\nb"},
      // The template's first text keeps its layout; only the </#if> line goes.
      {"x\n  <#if c>\n  a\n  </#if>\ny", "x\n    a\ny"},
      {"<#list xs as x>\n  <#if x>\n    ${x}\n  </#if>\n</#list>\n", "    ${x}\n"},
      {"a\n<#-- note -->\nb\n", "a\nb\n"},
      {"a\n<#assign x = 1>\n<#global y = 2>\nb", "a\nb"},
      {"a\n  <#include \"x\">  \nb", "a\n  b"},
      {"a\n<#macro m>\n  body\n</#macro>\nb", "a\n  body\nb"},
      {"a\n<#assign c>\n  cap\n</#assign>\nb", "a\n  cap\nb"},
      {"a\n  <#if x>\n  <#else>\n  </#if>\nb", "a\n  b"},
      {"a\n<#if x>\n  <#else>\n  </#if>\nb", "a\nb"},
      // The line break after the header is part of the header.
      {"<#tvl>\nx", "x"},
  });
}

TEST(GrammarStrippingTest, ContentLinesKeepTheirLayout) {
  check({
      // White space before the first tag of the template is content.
      {"  <#if x>\na</#if>", "  \na"},
      {"<#if a> <#if b>\nx</#if></#if>", " \nx"},
      {"a <#if x>b</#if>\n", "a b\n"},
      {"${x} <#assign y=1>\nz", "${x} \nz"},
      {"<#assign y=1> ${x}\n", " ${x}\n"},
      {"<#if x>a</#if>\n", "a\n"},
      {"<#if x>\n  ${y}<#if z>\n</#if>\n</#if>", "  ${y}\n"},
  });
}

TEST(GrammarStrippingTest, BlankBetweenDeclarationsIsIgnored) {
  check({
      {"<#assign a=1> <#assign b=2>\nx", "x"},
      {"<#import \"l\" as l> <#setting locale=\"de\">\n<#-- c --> <#macro m></#macro>\nx", "x"},
      // Not between two declarations: the blank counts as content.
      {"<#assign a=1> <#if b></#if>\nx", " \nx"},
  });
}

TEST(GrammarStrippingTest, Markers) {
  check({
      {"  <#lt>a", "a"},
      {"a  <#rt>\n  b", "a    b"},
      {"<#if c>\n  <#assign x=1><#nt>\n</#if>", "  \n"},
      {"<#if c>\n  a  <#t>\n  b\n</#if>", "a    b\n"},
      {"<#if c>\n  x<#lt>\n</#if>", "x\n"},
      // #nt nearer than #lt wins.
      {"<#if c>\n  <#nt><#lt>\n</#if>", "  \n"},
      {"<#if c>\n  <#lt><#nt>\n</#if>", "\n"},
      // A blank rest after a right trim goes when only declarations follow.
      {"<#if c>a<#rt>\n  <#assign x=1>\nb</#if>", "ab"},
  });
}

TEST(GrammarStrippingTest, SwitchedOff) {
  check({{"<#if x>\n  a\n  </#if>\nb", "\n  a\n  \nb"}, {"<#assign a=1> <#assign b=2>\nx", "\nx"}}, false);
  check({{"<#tvl strip_whitespace=false>\n<#if x>\n  a\n</#if>\n", "\n  a\n\n"}});
}

TEST(GrammarStrippingTest, DeepNestingAndLongLines) {
  // 150 nested #if blocks, each on its own line: every tag line goes.
  std::string src, expected;
  for (int i = 0; i < 150; ++i) src += std::string(i, ' ') + "<#if c>\n";
  src += "x\n";
  for (int i = 149; i >= 0; --i) src += std::string(i, ' ') + "</#if>\n";
  check({{src, "x\n"}});
  // Many declarations on one line stay cheap and all blanks between them go.
  std::string line;
  for (int i = 0; i < 20000; ++i) line += "<#assign a=1> ";
  Result<std::string> got = stripped(line + "\nz");
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(*got, "z");
}

TEST(GrammarStrippingTest, Fixtures) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(__FILE__).parent_path().parent_path() / "cases" / "stripping";
  auto read = [](const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  };
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".tvl") continue;
    fs::path expected = entry.path();
    expected.replace_extension(".out");
    ASSERT_TRUE(fs::exists(expected)) << expected;
    Result<std::string> got = stripped(read(entry.path()));
    ASSERT_TRUE(got.ok()) << entry.path() << ": " << got.error()->text;
    EXPECT_EQ(*got, read(expected)) << entry.path();
    ++seen;
  }
  EXPECT_GE(seen, 5);
}

}  // namespace
}  // namespace tovarn
