// Error values: user messages by kind, decorators, traces.
#include <gtest/gtest.h>

#include "error/template_error.h"

namespace tovarn {
namespace {

const std::string kTip =
    "If the failing expression is known to legally refer to something that's sometimes null or missing, "
    "either specify a default value like myOptionalVar!myDefault, or use "
    "<#if myOptionalVar??>when-present<#else>when-missing</#if>. (These only cover the last step of the "
    "expression; to cover the whole expression, use parenthesis: (myOptionalVar.foo)!myDefault, "
    "(myOptionalVar.foo)??";

StackFrame frame(std::string desc, uint32_t line, bool nested = false, std::optional<std::string> macro = {}) {
  StackFrame f;
  f.description = std::move(desc);
  f.template_name = "t.tvl";
  f.line = line;
  f.column = 1;
  f.nested = nested;
  f.macro = std::move(macro);
  return f;
}

TEST(TemplateError, DefaultTipIsExact) { EXPECT_EQ(378u, kTip.size()); }

TEST(TemplateError, UserMessageByKind) {
  struct Case {
    const char* what;
    Error err;
    std::string expected;
  };
  std::vector<Case> cases;
  cases.push_back({"misc", Error::misc("boom"), "boom"});
  cases.push_back({"python", Error::python("ValueError: bad"), "ValueError: bad"});
  cases.push_back({"parse", Error::parse("a.tvl", "Oops.", 3, 7),
                   "Syntax error in template \"a.tvl\" in line 3, column 7:\nOops."});
  cases.push_back({"stop without message", Error::stop(std::nullopt), "[No error description was available.]"});
  cases.push_back({"stop with message", Error::stop("halt"), "halt"});
  cases.push_back({"break", Error::loop_control(false), "break is illegal outside a loop"});
  cases.push_back({"continue", Error::loop_control(true), "continue is illegal outside a loop"});
  cases.push_back({"not found", Error::not_found("x.tvl"), "Template not found for name \"x.tvl\"."});
  cases.push_back({"invalid reference, no location", Error::invalid_reference("a.b"),
                   "The following has evaluated to null or missing:\n==> a.b\n\n----\nTip: " + kTip + "\n----"});
  cases.push_back({"invalid reference with dot tip and location",
                   Error::invalid_reference("a.b").with_dot_tip().with_location("t.tvl", 2, 5),
                   "The following has evaluated to null or missing:\n==> a.b  [in template \"t.tvl\" at line 2, "
                   "column 5]\n\n----\nTip: It's the step after the last dot that caused this error, not those "
                   "before it.\n----\nTip: " + kTip + "\n----"});
  cases.push_back({"type mismatch, bare", Error::type_mismatch("number", "string"),
                   "Expected a number, but this has evaluated to a string."});
  cases.push_back({"type mismatch, vowel", Error::type_mismatch("hash", "extended_hash"),
                   "Expected a hash, but this has evaluated to an extended_hash."});
  cases.push_back({"type mismatch, blamed",
                   Error::type_mismatch("boolean", "string").with_blame_at("#if", "condition", "x", "t.tvl", 1, 6),
                   "For \"#if\" condition: Expected a boolean, but this has evaluated to a string:\n==> x  [in "
                   "template \"t.tvl\" at line 1, column 6]"});
  cases.push_back({"type mismatch, phrase and tip",
                   Error::type_mismatch("string-like value", "sequence").with_tip("Use ?join."),
                   "Expected a string or something automatically convertible to string (number, date or "
                   "boolean), but this has evaluated to a sequence.\n\n----\nTip: Use ?join.\n----"});
  cases.push_back({"type mismatch, expected phrase override",
                   Error::type_mismatch("number", "string").with_expected_phrase("a number or a date"),
                   "Expected a number or a date, but this has evaluated to a string."});
  for (auto& c : cases) EXPECT_EQ(c.expected, c.err.to_user_message()) << c.what;
}

TEST(TemplateError, ArticleRule) {
  EXPECT_EQ("an extended_hash", a_or_an("extended_hash"));
  EXPECT_EQ("an Item", a_or_an("Item"));
  EXPECT_EQ("a sequence", a_or_an("sequence"));
  EXPECT_EQ("a ", a_or_an(""));
  EXPECT_EQ("a \xC3\xA9lan", a_or_an("\xC3\xA9lan"));
}

TEST(TemplateError, StackSectionLabels) {
  std::vector<StackFrame> frames = {frame("${x}", 9, false, "m"), frame("#nested", 4, true),
                                    frame("@m", 2), frame("@outer", 1)};
  EXPECT_EQ(
      "\n\n----\nTVL stack trace (\"~\" means nesting-related):\n"
      "\t- Failed at: ${x}  [in template \"t.tvl\" in macro \"m\" at line 9, column 1]\n"
      "\t~ Reached through: #nested  [in template \"t.tvl\" at line 4, column 1]\n"
      "\t~ Reached through: @m  [in template \"t.tvl\" at line 2, column 1]\n"
      "\t- Reached through: @outer  [in template \"t.tvl\" at line 1, column 1]\n----",
      render_tvl_stack_section(frames));
  EXPECT_EQ("", render_tvl_stack_section({}));
}

TEST(TemplateError, StackIsAttachedOnce) {
  std::vector<StackFrame> inner = {frame("${a}", 1)}, outer = {frame("${b}", 2)};
  Error misc = Error::misc("m").with_stack(inner).with_stack(outer);
  const std::string m = misc.to_user_message();
  EXPECT_EQ(m.find("TVL stack trace"), m.rfind("TVL stack trace"));
  EXPECT_NE(std::string::npos, misc.to_user_message().find("${a}"));
  EXPECT_EQ(std::string::npos, misc.to_user_message().find("${b}"));

  Error ref = Error::invalid_reference("x").with_stack(inner).with_stack(outer);
  ASSERT_EQ(1u, ref->ctx.frames.size());
  EXPECT_EQ("${a}", ref->ctx.frames[0].description);

  Error stop = Error::stop(std::nullopt).with_stack(inner);
  EXPECT_EQ("[No error description was available.]" + render_tvl_stack_section(inner), stop.to_user_message());
  Error stopx = Error::stop("x").with_stack(inner);
  EXPECT_EQ("x" + render_tvl_stack_section(inner), stopx.to_user_message());

  std::vector<Error> unchanged;
  unchanged.push_back(Error::loop_control(false));
  unchanged.push_back(Error::not_found("n"));
  unchanged.push_back(Error::io("disk"));
  for (Error& e : unchanged) {
    std::string before = e.to_user_message();
    EXPECT_EQ(before, std::move(e).with_stack(inner).to_user_message());
  }
}

TEST(TemplateError, AttachLocationFirstWins) {
  Error e = Error::invalid_reference("x");
  attach_location(*e, "a.tvl", 3, 4);
  attach_location(*e, "b.tvl", 5, 6);
  EXPECT_EQ("a.tvl", *e->ctx.template_name);
  EXPECT_EQ(3u, e->ctx.line);

  Error placed = Error::invalid_reference("x  [in template \"z\" at line 1, column 1]");
  attach_location(*placed, "a.tvl", 3, 4);
  EXPECT_FALSE(placed->ctx.template_name);

  Error target = Error::type_mismatch("number", "string");
  target->ctx.assignment_target = "n";
  attach_location(*target, "a.tvl", 3, 4);
  EXPECT_EQ(0u, target->ctx.line);

  Error misc = Error::misc("m");
  attach_location(*misc, "a.tvl", 3, 4);
  EXPECT_EQ("m", misc.to_user_message());
}

TEST(TemplateError, ResultCarriesValueOrError) {
  auto half = [](int x) -> Result<int> {
    if (x % 2) return Error::misc("odd");
    return x / 2;
  };
  auto twice_half = [&](int x) -> Result<int> {
    ASSIGN_OR_RETURN(int h, half(x));
    ASSIGN_OR_RETURN(int q, half(h));
    return q;
  };
  EXPECT_EQ(2, twice_half(8).value());
  Result<int> r = twice_half(6);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ("odd", r.error().to_user_message());
  Result<int> moved = std::move(r);
  EXPECT_EQ("odd", moved.error().to_user_message());
}

}  // namespace
}  // namespace tovarn
