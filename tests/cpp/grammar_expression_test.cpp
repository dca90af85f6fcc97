// grammar_expression_test.cpp — the expression grammar: tree shapes and
// precedence, canonical descriptions, node kinds and positions, literal
// decoding and number typing, every parse message with its position, deep
// nesting limits, and the pure helpers (names, legacy formats, braces).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/expression/expr.h"
#include "parser/grammar.h"
#include "parser/grammar_expression.h"
#include "parser/grammar_literals.h"
#include "template/configuration.h"

namespace tovarn {
namespace {

// A parser over `text` alone, reading it as the inside of "${...}".
struct ExprParser {
  explicit ExprParser(std::string_view text) : p(Rc<Configuration>(), "t.tvl", text) {
    p.set_mode(LexMode::Interpolation);
  }
  Parser p;
};

// Parses `text` as one whole expression (nothing may follow it).
Result<ExprPtr> parse_whole(std::string_view text) {
  ExprParser ep(text);
  ASSIGN_OR_RETURN(ExprPtr e, parse_expression(ep.p));
  ASSIGN_OR_RETURN(const Token* t, ep.p.peek_tok());
  if (t->kind != Tok::Eof) return ep.p.error_at(*t, "trailing " + tok_desc(*t));
  return e;
}

std::string error_text(Result<ExprPtr>& r) {
  const TemplateError& e = *r.error();
  return e.text + " @" + std::to_string(e.line) + ":" + std::to_string(e.column);
}

// A structural dump that shows the tree's shape, unlike expr_desc.
std::string dump(const Expr& e);

std::string dump_list(const ExprList& list) {
  std::string out;
  for (const ExprPtr& x : list) out += " " + dump(*x);
  return out;
}

std::string dump(const Expr& e) {
  switch (e.kind) {
    case ExprKind::StringLiteral: return "\"" + e.as<StringLiteralExpr>().text + "\"";
    case ExprKind::NumberLiteral: return e.as<NumberLiteralExpr>().number.to_plain_string();
    case ExprKind::BooleanLiteral: return e.as<BooleanLiteralExpr>().flag ? "true" : "false";
    case ExprKind::Variable: return e.as<VariableExpr>().name;
    case ExprKind::InterpolatedString: {
      std::string out = "(Str";
      for (const StrPart& part : e.as<InterpolatedStringExpr>().parts)
        out += part.expr ? " ${" + dump(*part.expr) + "}" : " '" + part.text + "'";
      return out + ")";
    }
    case ExprKind::Dot: return "(Dot " + dump(*e.as<DotExpr>().target) + " " + e.as<DotExpr>().name + ")";
    case ExprKind::DynamicKeyName: {
      const auto& n = e.as<DynamicKeyNameExpr>();
      return "(Key " + dump(*n.target) + " " + dump(*n.key) + ")";
    }
    case ExprKind::MethodCall: {
      const auto& n = e.as<MethodCallExpr>();
      return "(Call " + dump(*n.target) + dump_list(n.args) + ")";
    }
    case ExprKind::UnaryMinus:
    case ExprKind::Not:
      return "(" + std::string(expr_kind_name(e.kind)) + " " + dump(*e.as<UnaryExpr>().operand) + ")";
    case ExprKind::Range: {
      const auto& n = e.as<RangeExpr>();
      static const char* kinds[] = {"..", "..<", "..*"};
      return "(Range" + std::string(kinds[static_cast<int>(n.range_kind)]) + " " + dump(*n.start) +
             (n.end ? " " + dump(*n.end) : "") + ")";
    }
    case ExprKind::DefaultToExpression: {
      const auto& n = e.as<DefaultToExpr>();
      return "(Default " + dump(*n.target) + (n.default_value ? " " + dump(*n.default_value) : "") + ")";
    }
    case ExprKind::Exists: return "(Exists " + dump(*e.as<ExistsExpr>().target) + ")";
    case ExprKind::BuiltIn: {
      const auto& n = e.as<BuiltInExpr>();
      std::string out = "(?" + n.name + " " + dump(*n.target);
      if (n.args) out += " (" + dump_list(*n.args) + " )";
      return out + ")";
    }
    case ExprKind::ListLiteral: return "[" + dump_list(e.as<ListLiteralExpr>().items) + " ]";
    case ExprKind::HashLiteral: {
      std::string out = "{";
      for (const HashEntry& h : e.as<HashLiteralExpr>().entries) out += " " + dump(*h.key) + ":" + dump(*h.value);
      return out + " }";
    }
    case ExprKind::LocalLambdaExpression: {
      const auto& n = e.as<LambdaExpr>();
      std::string out = "(Lambda (";
      for (size_t i = 0; i < n.params.size(); ++i) out += (i ? " " : "") + n.params[i];
      return out + ") " + dump(*n.body) + ")";
    }
    case ExprKind::Parenthetical: return "(Paren " + dump(*e.as<ParentheticalExpr>().inner) + ")";
    case ExprKind::BuiltinVariable:
      return "(Special " + std::to_string(static_cast<int>(e.as<BuiltinVariableExpr>().which)) + ")";
    default: {
      const auto& n = e.as<BinaryExpr>();
      return "(" + std::string(expr_kind_name(e.kind)) + " " + dump(*n.left) + " " + dump(*n.right) + ")";
    }
  }
}

struct Case {
  std::string src;
  std::string want;
};

void expect_all(const std::vector<Case>& cases, std::string (*f)(const Expr&)) {
  for (const Case& c : cases) {
    Result<ExprPtr> r = parse_whole(c.src);
    if (!r.ok()) {
      ADD_FAILURE() << c.src << " -> error " << error_text(r);
      continue;
    }
    EXPECT_EQ(f(**r), c.want) << c.src;
  }
}

TEST(GrammarExpression, PrecedenceAndTreeShape) {
  expect_all(
      {
          {"1 + 2 * 3", "(AddConcat 1 (Multiply 2 3))"},
          {"1 * 2 + 3", "(AddConcat (Multiply 1 2) 3)"},
          {"a - b - c", "(Subtract (Subtract a b) c)"},
          {"a / b % c * d", "(Multiply (Modulus (Divide a b) c) d)"},
          {"a || b && c", "(OrExpression a (AndExpression b c))"},
          {"a && b || c && d", "(OrExpression (AndExpression a b) (AndExpression c d))"},
          {"a | b & c", "(OrExpression a (AndExpression b c))"},
          {"a \\and b", "(AndExpression a b)"},
          {"a == b && c != d", "(AndExpression (Equals a b) (NotEquals c d))"},
          {"a = b", "(Equals a b)"},
          {"a < b == c >= d", "(Equals (LessThan a b) (GreaterThanEquals c d))"},
          {"a lt b", "(LessThan a b)"},
          {"a lte b", "(LessThanEquals a b)"},
          {"a gt b", "(GreaterThan a b)"},
          {"a > b", "(GreaterThan a b)"},
          {"a \\gte b", "(GreaterThanEquals a b)"},
          {"a &gt; b", "(GreaterThan a b)"},
          {"a &lt;= b", "(LessThanEquals a b)"},
          {"1..3", "(Range.. 1 3)"},
          {"1..<3", "(Range..< 1 3)"},
          {"1..!3", "(Range..< 1 3)"},
          {"1..*3", "(Range..* 1 3)"},
          {"1..", "(Range.. 1)"},
          {"[1..]", "[ (Range.. 1) ]"},
          {"f(1..)", "(Call f (Range.. 1))"},
          {"a + 1..b * 2", "(Range.. (AddConcat a 1) (Multiply b 2))"},
          {"1..3 < x", "(LessThan (Range.. 1 3) x)"},
          {"-x", "(UnaryMinus x)"},
          {"+x", "x"},
          {"-x.y", "(UnaryMinus (Dot x y))"},
          {"!x", "(Not x)"},
          {"!!x", "(Not (Not x))"},
          {"!x && y", "(AndExpression (Not x) y)"},
          {"-a * b", "(Multiply (UnaryMinus a) b)"},
          {"(a + b) * 2", "(Multiply (Paren (AddConcat a b)) 2)"},
          {"a.b.c", "(Dot (Dot a b) c)"},
          {"a.true.in.lt.gte.*.**", "(Dot (Dot (Dot (Dot (Dot (Dot a true) in) lt) gte) *) **)"},
          {"a[b][0]", "(Key (Key a b) 0)"},
          {"f()", "(Call f)"},
          {"f(1, x + 1)(2)", "(Call (Call f 1 (AddConcat x 1)) 2)"},
          {"x?size", "(?size x)"},
          {"x?upperCase", "(?upper_case x)"},
          {"x?string()", "(?string x ( ))"},
          {"x?string(\"0.0\", y)", "(?string x ( \"0.0\" y ))"},
          {"x?c?length", "(?length (?c x))"},
          {"x??", "(Exists x)"},
          {"x.y??", "(Exists (Dot x y))"},
          {"x!", "(Default x)"},
          {"x!??", "(Exists (Default x))"},
          {"x!\"d\" + \"e\"", "(Default x (AddConcat \"d\" \"e\"))"},
          {"a!b!c", "(Default a (Default b c))"},
          {"a.b!c.d", "(Default (Dot a b) (Dot c d))"},
          {"x!-1", "(Default x (UnaryMinus 1))"},
          {"[]", "[ ]"},
          {"[1, [2], a]", "[ 1 [ 2 ] a ]"},
          {"{}", "{ }"},
          {"{\"a\": 1, \"b\": x}", "{ \"a\":1 \"b\":x }"},
          {"{\"a\", 1}", "{ \"a\":1 }"},
          {"{\"a\": 1: \"b\", 2}", "{ \"a\":1 \"b\":2 }"},
          {"{k: v}", "{ k:v }"},
          {"x?filter(y -> y > 1)", "(?filter x ( (Lambda (y) (GreaterThan y 1)) ))"},
          {"x?map((a, b) -> a + b)", "(?map x ( (Lambda (a b) (AddConcat a b)) ))"},
          {"x?map(() -> 1)", "(?map x ( (Lambda () 1) ))"},
          {"x?map((a) -> a, (b))", "(?map x ( (Lambda (a) a) (Paren b) ))"},
          {"x?then((a), b)", "(?then x ( (Paren a) b ))"},
          {"x?filter(y -&gt; y)", "(?filter x ( (Lambda (y) y) ))"},
          {"now", "(Special 23)"},
          {".now", "(Special 23)"},
          {".dataModel", "(Special 4)"},
          {".node", "(Special 14)"},
          {".current_node", "(Special 14)"},
          {".vars[\"x\"]", "(Key (Special 5) \"x\")"},
          {"\"a${x}b\"", "(Str 'a' ${x} 'b')"},
          {"\"${x}${y + 1}\"", "(Str ${x} ${(AddConcat y 1)})"},
          {"'${\"}\"}'", "(Str ${\"}\"})"},
          {"\"${ {'a': 1}['a'] }!\"", "(Str ${(Key { \"a\":1 } \"a\")} '!')"},
          {"'#{x}[=y]'", "\"#{x}[=y]\""},
          {"\"${\\\"a\\\" + x}\"", "(Str ${(AddConcat \"a\" x)})"},
          {"'${\"b${x}\"}'", "(Str ${(Str 'b' ${x})})"},
          {"r\"${x}\\n\"", "\"${x}\\n\""},
          {"a <#-- note --> + b", "(AddConcat a b)"},
      },
      dump);
}

TEST(GrammarExpression, Descriptions) {
  expect_all(
      {
          {"user.name!", "user.name!"},
          {"user.name!\"x\"", "user.name!"},
          {"(a + b) * 2", "(a + b) * 2"},
          {"x gt 1", "x > 1"},
          {"x \\gte 1", "x >= 1"},
          {"x lt 1 = y", "x < 1 == y"},
          {"x &lt;= 1", "x <= 1"},
          {"a != b", "a != b"},
          {"a & b", "a && b"},
          {"a \\and b", "a && b"},
          {"a | b", "a || b"},
          {"a - b / c % d", "a - b / c % d"},
          {"1..3", "..."},
          {"{\"a\": 1}", "..."},
          {"\"a${x}\"", "..."},
          {".now", "..."},
          {"now", "..."},
          {"x?map(y -> y)", "x?map(...)"},
          {"\"a\\tb\"", "\"a\tb\""},
          {"'q\"uote'", "\"q\"uote\""},
          {"r'raw\\n'", "\"raw\\n\""},
          {"1.50", "1.50"},
          {"0x1F", "31"},
          {"1e3", "1000"},
          {"2.5f", "2.5"},
          {"true", "true"},
          {"-x", "-x"},
          {"!x", "!x"},
          {"!!x", "!!x"},
          {"a.b[c](1, \"s\")", "a.b[c](1, \"s\")"},
          {"f()", "f()"},
          {"x?size", "x?size"},
          {"x?isDateLike", "x?is_date_like"},
          {"x?string(\"0\", y)", "x?string(\"0\", y)"},
          {"x?string()", "x?string()"},
          {"x??", "x??"},
          {"[1, \"a\", [true]]", "[1, \"a\", [true]]"},
          {"[]", "[]"},
      },
      expr_desc);
}

// Node kind and position: literals, variables and special variables at their
// first token, unary operators and "(" at their token, binary and postfix
// nodes at their left operand or target.
TEST(GrammarExpression, KindsAndPositions) {
  struct KindCase {
    std::string src;
    ExprKind kind;
    uint32_t line, column;
  };
  const std::vector<KindCase> cases = {
      {"\"s\"", ExprKind::StringLiteral, 1, 1},
      {"  r'x'", ExprKind::StringLiteral, 1, 3},
      {"\"a${x}\"", ExprKind::InterpolatedString, 1, 1},
      {" 12", ExprKind::NumberLiteral, 1, 2},
      {"false", ExprKind::BooleanLiteral, 1, 1},
      {"\n  abc", ExprKind::Variable, 2, 3},
      {" a.b", ExprKind::Dot, 1, 2},
      {" a[1]", ExprKind::DynamicKeyName, 1, 2},
      {" a(1)", ExprKind::MethodCall, 1, 2},
      {" - a", ExprKind::UnaryMinus, 1, 2},
      {"  !a", ExprKind::Not, 1, 3},
      {" a + b", ExprKind::AddConcat, 1, 2},
      {" a - b", ExprKind::Subtract, 1, 2},
      {" a * b", ExprKind::Multiply, 1, 2},
      {" a / b", ExprKind::Divide, 1, 2},
      {" a % b", ExprKind::Modulus, 1, 2},
      {" a == b", ExprKind::Equals, 1, 2},
      {" a != b", ExprKind::NotEquals, 1, 2},
      {" a > b", ExprKind::GreaterThan, 1, 2},
      {" a >= b", ExprKind::GreaterThanEquals, 1, 2},
      {" a < b", ExprKind::LessThan, 1, 2},
      {" a <= b", ExprKind::LessThanEquals, 1, 2},
      {" a && b", ExprKind::AndExpression, 1, 2},
      {" a || b", ExprKind::OrExpression, 1, 2},
      {" 1..2", ExprKind::Range, 1, 2},
      {" a!b", ExprKind::DefaultToExpression, 1, 2},
      {" a??", ExprKind::Exists, 1, 2},
      {" a?size", ExprKind::BuiltIn, 1, 2},
      {" [1]", ExprKind::ListLiteral, 1, 2},
      {" {}", ExprKind::HashLiteral, 1, 2},
      {" (a)", ExprKind::Parenthetical, 1, 2},
      {"  .now", ExprKind::BuiltinVariable, 1, 3},
      {"  now", ExprKind::BuiltinVariable, 1, 3},
      {"(a)\n + b", ExprKind::AddConcat, 1, 1},
      {"x\n.y.z", ExprKind::Dot, 1, 1},
  };
  for (const KindCase& c : cases) {
    Result<ExprPtr> r = parse_whole(c.src);
    ASSERT_TRUE(r.ok()) << c.src << " -> " << error_text(r);
    EXPECT_EQ(expr_kind_name((*r)->kind), expr_kind_name(c.kind)) << c.src;
    EXPECT_EQ((*r)->line, c.line) << c.src;
    EXPECT_EQ((*r)->column, c.column) << c.src;
  }
  // Each "!" of a chain is positioned at its own token; the lambda at its start.
  Result<ExprPtr> r = parse_whole("! !x");
  ASSERT_TRUE(r.ok());
  const Expr& inner = *(*r)->as<UnaryExpr>().operand;
  EXPECT_EQ(inner.column, 3u);
  Result<ExprPtr> r2 = parse_whole("x?map( (a) -> a)");
  ASSERT_TRUE(r2.ok());
  const Expr& lam = *(*(*r2)->as<BuiltInExpr>().args)[0];
  EXPECT_EQ(lam.kind, ExprKind::LocalLambdaExpression);
  EXPECT_EQ(lam.column, 8u);
}

TEST(GrammarExpression, LiteralValuesAreReadyModels) {
  struct StrCase {
    std::string src;
    std::string text;
  };
  const std::vector<StrCase> strings = {
      {"\"plain\"", "plain"},
      {"'single \"q\"'", "single \"q\""},
      {R"("\"\'\\")", "\"'\\"},
      {R"("\n\r\t\f\b")", "\n\r\t\f\b"},
      {R"("\l\g\a\{\=")", "<>&{="},
      {R"("\u00e9")", "\xC3\xA9"},
      {R"("\x41\x4a")", "AJ"},
      {R"("\x7")", "\x07"},
      {R"("\x00411")", "A1"},  // at most four digits
      {R"("\x20AC!")", "\xE2\x82\xAC!"},
      {R"("\uD800")", "\xEF\xBF\xBD"},
      {R"("\xdfff")", "\xEF\xBF\xBD"},
      {"r'a\\tb'", "a\\tb"},
      {"\"h\xC3\xA9\"", "h\xC3\xA9"},
  };
  for (const StrCase& c : strings) {
    Result<ExprPtr> r = parse_whole(c.src);
    ASSERT_TRUE(r.ok()) << c.src << " -> " << error_text(r);
    ASSERT_EQ((*r)->kind, ExprKind::StringLiteral) << c.src;
    const auto& s = (*r)->as<StringLiteralExpr>();
    EXPECT_EQ(s.text, c.text) << c.src;
    Result<TextRef> v = s.value.get_scalar();
    ASSERT_TRUE(v.ok());
    EXPECT_EQ(v->view(), c.text) << c.src;
  }
  // An escaped brace never starts an interpolation: "$\{x}" is the text ${x}.
  Result<ExprPtr> r = parse_whole(R"("$\{x}")");
  ASSERT_TRUE(r.ok());
  ASSERT_EQ((*r)->kind, ExprKind::StringLiteral);
  EXPECT_EQ((*r)->as<StringLiteralExpr>().text, "${x}");
  Result<ExprPtr> mixed = parse_whole(R"("$\{a} ${b}")");
  ASSERT_TRUE(mixed.ok());
  EXPECT_EQ((*mixed)->kind, ExprKind::InterpolatedString);

  Result<ExprPtr> b = parse_whole("true");
  ASSERT_TRUE(b.ok());
  EXPECT_TRUE((*b)->as<BooleanLiteralExpr>().value.same_object(TModel::from_boolean(true)));
  Result<ExprPtr> num = parse_whole("42");
  ASSERT_TRUE(num.ok());
  Result<TNumber> n = (*num)->as<NumberLiteralExpr>().value.get_number();
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(n->as_i64(), 42);
}

TEST(GrammarExpression, NumberTyping) {
  struct NumCase {
    std::string text;
    NumberKind kind;
    std::string plain;
  };
  const std::vector<NumCase> cases = {
      {"0", NumberKind::Int, "0"},
      {"2147483647", NumberKind::Int, "2147483647"},
      {"2147483648", NumberKind::Long, "2147483648"},
      {"9223372036854775807", NumberKind::Long, "9223372036854775807"},
      {"9223372036854775808", NumberKind::BigInteger, "9223372036854775808"},
      {"1.0", NumberKind::BigDecimal, "1.0"},
      {"1.50", NumberKind::BigDecimal, "1.50"},
      {"1e3", NumberKind::BigDecimal, "1000"},
      {"15e-1", NumberKind::BigDecimal, "1.5"},
      {"1f", NumberKind::Float, "1"},
      {"1.5F", NumberKind::Float, "1.5"},
      {"1.5e3f", NumberKind::Float, "1500"},
      {"2d", NumberKind::Double, "2"},
      {"0.1D", NumberKind::Double, "0.1"},
      {"1e999d", NumberKind::Double, "inf"},
      {"1e-999d", NumberKind::Double, "0"},
      {"3b", NumberKind::BigDecimal, "3"},
      {"3.25B", NumberKind::BigDecimal, "3.25"},
      {"2L", NumberKind::Long, "2"},
      {"2l", NumberKind::Long, "2"},
      {"99999999999999999999L", NumberKind::BigInteger, "99999999999999999999"},
      {"0x1F", NumberKind::Int, "31"},
      {"0XfF", NumberKind::Int, "255"},
      {"0xFFL", NumberKind::Long, "255"},
      {"0xFFFFFFFF", NumberKind::Long, "4294967295"},
      {"0x1FFFFFFFFFFFFFFFF", NumberKind::BigInteger, "36893488147419103231"},
      {"0xBD", NumberKind::Int, "189"},
  };
  for (const NumCase& c : cases) {
    std::optional<TNumber> n = number_literal(c.text);
    ASSERT_TRUE(n.has_value()) << c.text;
    EXPECT_EQ(static_cast<int>(n->kind()), static_cast<int>(c.kind)) << c.text;
    EXPECT_EQ(n->to_plain_string(), c.plain) << c.text;
  }
  for (std::string bad : {"1.5L", "1e3L", "0x", "0xL", "0x1.5", "", "1.2.3"})
    EXPECT_FALSE(number_literal(bad).has_value()) << bad;
}

TEST(GrammarExpression, ParseErrorsWithPositions) {
  const std::string encountered = ", but was expecting one of these patterns:\n    <STRING_LITERAL>\n    <RAW_STRING>\n"
                                  "    \"false\"\n    \"true\"\n    <INTEGER>\n    <DECIMAL>\n    \".\"\n    \"+\"\n"
                                  "    \"-\"\n    \"!\"\n    \"[\"\n    \"(\"\n    \"{\"\n    <ID>";
  const std::vector<Case> cases = {
      {"a.", "Expected a name after \".\", but found the end of the template. @1:3"},
      {"a.1", "Expected a name after \".\", but found number \"1\". @1:3"},
      {"a.<", "Expected a name after \".\", but found \"lt\". @1:3"},
      {".", "Expected a name after \".\", but found the end of the template. @1:2"},
      {"a[1", "Expected \"]\" to close the key expression, but found the end of the template. @1:4"},
      {"f(1 2)", "Expected \")\" to close the argument list, but found number \"2\". @1:5"},
      {"f(x -> 1)", "Expected \")\" to close the argument list, but found \"->\". @1:5"},
      {"x?1", "Expected a built-in name after \"?\", but found number \"1\". @1:3"},
      {"x?size(1", "Expected \")\" to close the built-in parameter list, but found the end of the template. @1:9"},
      {"x?filter(y -> )", "Encountered \")\"" + encountered + " @1:15"},
      {"99999999999999999999999999999999d", ""},  // a huge double is infinity, not an error
      {".nope", "The built-in variable \".nope\" doesn't exist. The allowed special variable names are: namespace, "
                "main, globals, locals, data_model, vars, lang, locale, locale_object, time_zone, template_name, "
                "main_template_name, current_template_name, caller_template_name, node, current_node, error, "
                "output_encoding, output_format, auto_esc, url_escaping_charset, version, "
                "incompatible_improvements, args, now, get_optional_template. @1:1"},
      {" .mainTemplateNam", "The built-in variable \".main_template_nam\" doesn't exist. The allowed special variable "
                            "names are: namespace, main, globals, locals, data_model, vars, lang, locale, "
                            "locale_object, time_zone, template_name, main_template_name, current_template_name, "
                            "caller_template_name, node, current_node, error, output_encoding, output_format, "
                            "auto_esc, url_escaping_charset, version, incompatible_improvements, args, now, "
                            "get_optional_template. @1:2"},
      {".true", "Expected a name after \".\", but found \"true\". @1:2"},
      {"(a", "Unexpected end of file reached. You have an unclosed \"(\". Check if the Tovarn end-tags are "
             "present, and aren't malformed. (Note that Tovarn end-tags must have # or @ after the / character.) @1:2"},
      {"(a b", "Expected \")\" to close the parenthesized expression, but found identifier \"b\". @1:4"},
      {"[1, 2", "Expected \"]\" to close the list literal, but found the end of the template. @1:6"},
      {"[1,]", "Encountered \"]\"" + encountered + " @1:4"},
      {"{\"a\" 1}", "Expected \",\" or \":\" between the hash key and value. @1:1"},
      {"{\"a\": 1 \"b\"}", "Expected \"}\" to close the hash literal, but found string literal. @1:9"},
      {"{1: 2}", "Found number literal: 1. Expecting string @1:2"},
      {"{[1]: 2}", "Found list literal: [1]. Expecting string @1:2"},
      {"{{}: 2}", "Found hash literal: {}. Expecting string @1:2"},
      {"{true: 2}", "Found: true literal. Expecting string @1:2"},
      {"a +  ", "Unexpected end of file reached. @1:5"},
      {"", "Unexpected end of file reached. @1:1"},
      {"a + )", "Encountered \")\"" + encountered + " @1:5"},
      {"- -x", "Encountered \"-\"" + encountered + " @1:3"},
      {"-!x", "Encountered \"!\"" + encountered + " @1:2"},
      {"a + in", "Encountered \"in\"" + encountered + " @1:5"},
      {"a == b == c", "trailing \"=\" @1:8"},
      {"a < b < c", "trailing \"lt\" @1:7"},
      {"1..2..3", "trailing \"..\" @1:5"},
      {"12.5x", "trailing identifier \"x\" @1:5"},
      {"\"a\" && true", "Found string literal: \"a\". Expecting: boolean (true/false) @1:1"},
      {"true || 1", "Found number literal: 1. Expecting boolean (true/false) @1:9"},
      {"x && [1, \"b\"]", "Found list literal: [1, \"b\"]. Expecting boolean (true/false) @1:6"},
      {"x || {\"k\": y}", "Found hash literal: {\"k\": y}. Expecting boolean (true/false) @1:6"},
      {"\"a${x}\" || y", "Found string literal: \"a${x}\". Expecting: boolean (true/false) @1:1"},
      {"[1] == x", "Found list literal: [1]. Expecting different type for equality check @1:1"},
      {"x != {}", "Found hash literal: {}. Expecting different type for equality check @1:6"},
      {"\"a\" < 1", "Found string literal: \"a\". Expecting: number @1:1"},
      {"1 - true", "Found: true literal. Expecting number @1:5"},
      {"x * \"2\"", "Found string literal: \"2\". Expecting: number @1:5"},
      {"x / [1]", "Found list literal: [1]. Expecting number @1:5"},
      {"x % false", "Found: false literal. Expecting number @1:5"},
      {"\"a\"..", "Found string literal: \"a\". Expecting: number @1:1"},
      {"1..\"b\"", "Found string literal: \"b\". Expecting: number @1:4"},
      {"1..<true", "Found: true literal. Expecting number @1:5"},
      {"x..*[2]", "Found list literal: [2]. Expecting number @1:5"},
      {" \"\\q\"", "Invalid escape sequence (\\q) in a string literal @1:2"},
      {"\"\\\xC3\xA9\"", "Invalid escape sequence (\\\xC3\xA9) in a string literal @1:1"},
      {"\"ab\\x\"", "Invalid \\x escape in a string literal @1:1"},
      {"\"\\u12\"", "Invalid \\u escape in a string literal (expected 4 hex digits) @1:1"},
      {"\"\\u12G4\"", "Invalid \\u escape in a string literal (expected 4 hex digits) @1:1"},
      {"x + \"${a\"", "Unclosed \"${\" interpolation in a string literal. @1:5"},
      {"'${\"}'", "Unclosed \"${\" interpolation in a string literal. @1:1"},
      {"\"${a b}\"", "Unexpected identifier \"b\" in a string interpolation. @1:3"},
      {"\"x${}\"", "Unexpected end of file reached. @1:1"},
      {"\"${a +\n }\"", "Unexpected end of file reached. @2:1"},
      {"\"${a.}\"", "Expected a name after \".\", but found the end of the template. @1:3"},
      {"x?nope", "Unknown built-in: \"nope\". " + std::string("Help (latest version): https://tovarn.dev/manual/builtins.html; "
                                                         "You are using Tovarn 1.0.\nThe alphabetical list of built-ins:\n") +
                     std::string(builtin_names_list_text()) + " @1:3"},
      {"x?HTML", "Unknown built-in: \"HTML\". " + std::string("Help (latest version): https://tovarn.dev/manual/builtins.html; "
                                                           "You are using Tovarn 1.0.\nThe alphabetical list of built-ins:\n") +
                     std::string(builtin_names_list_text()) + " @1:3"},
      {"12x3", "trailing identifier \"x3\" @1:3"},
      {"a ${b}", "You can't use ${...} (an interpolation) here as you are already in Tovarn-expression-mode. Thus, "
                 "instead of ${myExpression}, just write myExpression. (${...} is only used where otherwise static "
                 "text is expected, i.e., outside Tovarn tags and interpolations, or inside string literals.) @1:3"},
  };
  for (const Case& c : cases) {
    Result<ExprPtr> r = parse_whole(c.src);
    if (c.want.empty()) {
      EXPECT_TRUE(r.ok()) << c.src;
      continue;
    }
    ASSERT_FALSE(r.ok()) << c.src;
    EXPECT_EQ(r.error()->kind, ErrorKind::Parse) << c.src;
    EXPECT_EQ(r.error()->template_name, "t.tvl") << c.src;
    EXPECT_EQ(error_text(r), c.want) << c.src;
  }
}

// Shapes that fail the lambda lookahead are read as ordinary expressions.
TEST(GrammarExpression, MalformedLambdasFallBackToExpressions) {
  const std::vector<Case> cases = {
      {"x?map((a, ) -> a)", "Expected \")\" to close the parenthesized expression, but found \",\". @1:9"},
      {"x?map((a b) -> a)", "Expected \")\" to close the parenthesized expression, but found identifier \"b\". @1:10"},
      {"x?map((1) -> a)", "Expected \")\" to close the built-in parameter list, but found \"->\". @1:11"},
      {"x?map(a -> )", "Encountered \")\", but was expecting one of these patterns:"},
  };
  for (const Case& c : cases) {
    Result<ExprPtr> r = parse_whole(c.src);
    ASSERT_FALSE(r.ok()) << c.src;
    EXPECT_EQ(error_text(r).substr(0, c.want.size()), c.want) << c.src;
  }
}

// The first token after an expression stays unconsumed.
TEST(GrammarExpression, StopsBeforeTheNextToken) {
  struct StopCase {
    std::string src;
    LexMode mode;
    Tok next;
    std::string desc;
  };
  const std::vector<StopCase> cases = {
      {"a + b as c", LexMode::AngleTag, Tok::As, "a + b"},
      {"x > 1", LexMode::AngleTag, Tok::TagEnd, "x"},
      {"(x > 1)>", LexMode::AngleTag, Tok::TagEnd, "(x > 1)"},
      {"x]", LexMode::SquareTag, Tok::TagEnd, "x"},
      {"x!}", LexMode::Interpolation, Tok::InterpolationEnd, "x!"},
      {"x! />", LexMode::AngleTag, Tok::EmptyTagEnd, "x!"},
      {"1..; m2", LexMode::Interpolation, Tok::Semicolon, "..."},
      {"a == b == c", LexMode::Interpolation, Tok::Eq, "a == b"},
      {"x = 1 y", LexMode::AngleTag, Tok::Ident, "x == 1"},
  };
  for (const StopCase& c : cases) {
    Parser p(Rc<Configuration>(), "t.tvl", c.src);
    p.set_mode(c.mode);
    Result<ExprPtr> r = parse_expression(p);
    ASSERT_TRUE(r.ok()) << c.src << " -> " << error_text(r);
    EXPECT_EQ(expr_desc(**r), c.desc) << c.src;
    Result<const Token*> t = p.peek_tok();
    ASSERT_TRUE(t.ok());
    EXPECT_EQ((*t)->kind, c.next) << c.src;
  }
}

TEST(GrammarExpression, DefaultOperandInNamedArgumentContext) {
  struct DefCase {
    std::string src;
    std::string dump;
    Tok next;
  };
  const std::vector<DefCase> cases = {
      {"x! b=1", "(Default x)", Tok::Ident},
      {"x!y b=1", "(Default x y)", Tok::Ident},
      {"x!\n1", "(Default x)", Tok::Number},
      {"x!(1 + 2) b=1", "(Default x (Paren (AddConcat 1 2)))", Tok::Ident},
  };
  for (const DefCase& c : cases) {
    Parser p(Rc<Configuration>(), "t.tvl", c.src);
    p.set_mode(LexMode::AngleTag);
    p.directive_arg_depth = 1;
    Result<ExprPtr> r = parse_expression(p);
    ASSERT_TRUE(r.ok()) << c.src << " -> " << error_text(r);
    EXPECT_EQ(dump(**r), c.dump) << c.src;
    Result<const Token*> next = p.peek_tok();
    ASSERT_TRUE(next.ok());
    EXPECT_EQ((*next)->kind, c.next) << c.src;
  }
  // Outside that context the default may stand apart from the "!".
  Result<ExprPtr> r = parse_whole("x! y");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(dump(**r), "(Default x y)");
}

TEST(GrammarExpression, CallTargetStopsAtWhiteSpace) {
  const std::vector<Case> cases = {
      {"m a=1", "m"},
      {"ns.m x", "(Dot ns m)"},
      {"a.b .c", "(Dot a b)"},
      {"m?with_args({}) 1", "(?with_args m ( { } ))"},
      {"m?size (1)", "(?size m)"},
      {"m[\"k\"](1)!  2", "(Default (Call (Key m \"k\") 1))"},
      {"m!x y", "(Default m x)"},
      {"(a + b).c d", "(Dot (Paren (AddConcat a b)) c)"},
  };
  for (const Case& c : cases) {
    Parser p(Rc<Configuration>(), "t.tvl", c.src);
    p.set_mode(LexMode::AngleTag);
    Result<ExprPtr> r = call_target_expression(p);
    ASSERT_TRUE(r.ok()) << c.src << " -> " << error_text(r);
    EXPECT_EQ(dump(**r), c.want) << c.src;
  }
}

TEST(GrammarExpression, PositionalArgsAndStartTokens) {
  struct ArgCase {
    std::string src;
    bool lambdas;
    std::string dump;
  };
  const std::vector<ArgCase> cases = {
      {")", false, ""},
      {"as x", false, ""},
      {"1, a + b, [c] as x", false, " 1 (AddConcat a b) [ c ]"},
      {"x -> x, 2", true, " (Lambda (x) x) 2"},
      {"(x) -> x", true, " (Lambda (x) x)"},
      {"(x)", true, " (Paren x)"},
  };
  for (const ArgCase& c : cases) {
    Parser p(Rc<Configuration>(), "t.tvl", c.src);
    p.set_mode(LexMode::AngleTag);
    Result<ExprList> r = positional_args(p, c.lambdas);
    ASSERT_TRUE(r.ok()) << c.src;
    EXPECT_EQ(dump_list(*r), c.dump) << c.src;
  }
  const std::vector<std::pair<std::string, bool>> starts = {
      {"x", true},  {"1", true},  {"'s'", true},  {"r's'", true}, {"true", true}, {"false", true},
      {"+", true},  {"-", true},  {"!", true},    {".", true},    {"(", true},    {"[", true},
      {"{", true},  {"in", false}, {")", false},  {"..", false},  {"?", false},   {"=", false},
      {",", false}, {"", false},  {"*", false},   {"??", false},
  };
  for (const auto& [src, want] : starts) {
    Parser p(Rc<Configuration>(), "t.tvl", src);
    p.set_mode(LexMode::Interpolation);
    Result<bool> r = at_expr_start(p);
    ASSERT_TRUE(r.ok()) << src;
    EXPECT_EQ(*r, want) << src;
  }
}

TEST(GrammarExpression, IdentOrStringLiteral) {
  const std::vector<Case> cases = {
      {"name", "name"},
      {"\"my lib\"", "my lib"},
      {"'a\\tb'", "a\tb"},
      {"\"${x}\"", "${x}"},
      {"1", "error: Expected a name (identifier or string literal), but found number \"1\". @1:1"},
      {"r'x'", "error: Expected a name (identifier or string literal), but found raw string literal. @1:1"},
      {"'\\z'", "error: Invalid escape sequence (\\z) in a string literal @1:1"},
  };
  for (const Case& c : cases) {
    Parser p(Rc<Configuration>(), "t.tvl", c.src);
    p.set_mode(LexMode::AngleTag);
    Result<std::string> r = ident_or_string_literal(p);
    std::string got = r.ok() ? *r
                             : "error: " + r.error()->text + " @" + std::to_string(r.error()->line) + ":" +
                                   std::to_string(r.error()->column);
    EXPECT_EQ(got, c.want) << c.src;
  }
}

// Nesting deeper than the limit fails cleanly at the token where the limit
// was passed; operator and postfix chains of any length are fine.
TEST(GrammarExpression, DeepNestingFailsCleanly) {
  const std::string too_deep = "Expression nesting is too deep (more than 200 levels).";
  auto nest = [](std::string open, std::string mid, std::string close, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += open;
    s += mid;
    for (int i = 0; i < n; ++i) s += close;
    return s;
  };
  struct DeepCase {
    std::string src;
    uint32_t column;  // where the 201st level starts
  };
  std::string defaults = "a";
  for (int i = 0; i < 5000; ++i) defaults += "!a";
  const std::vector<DeepCase> cases = {
      {nest("(", "1", ")", 5000), 201},
      {nest("-(", "1", ")", 5000), 401},
      {nest("[", "1", "]", 5000), 201},
      {nest("{'k':", "1", "}", 5000), 997},  // the key of the 200th hash
      {nest("f(", "1", ")", 5000), 401},
      {nest("a[", "1", "]", 5000), 401},
      {nest("x?c(", "1", ")", 5000), 801},
      {nest("x?map(y->", "1", ")", 5000), 1801},
      {nest("!(", "x", ")", 5000), 401},
      {defaults, 401},
  };
  for (const DeepCase& c : cases) {
    Result<ExprPtr> r = parse_whole(c.src);
    ASSERT_FALSE(r.ok()) << c.src.substr(0, 20);
    EXPECT_EQ(r.error()->text, too_deep) << c.src.substr(0, 20);
    EXPECT_EQ(r.error()->line, 1u);
    EXPECT_EQ(r.error()->column, c.column) << c.src.substr(0, 20);
  }
  // Exactly at the limit still parses: the outermost expression is level 1.
  EXPECT_TRUE(parse_whole(nest("(", "1", ")", 199)).ok());
  EXPECT_FALSE(parse_whole(nest("(", "1", ")", 200)).ok());
  // Embedded string expressions count too.
  EXPECT_TRUE(parse_whole("'${\"${x}\"}'").ok());
  Result<ExprPtr> r = parse_whole("'${" + nest("(", "1", ")", 300) + "}'");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error()->text, too_deep);

  // Long chains are loops, and dropping their left-leaning trees does not recurse.
  std::string sum = "a";
  std::string path = "a";
  std::string calls = "f";
  for (int i = 0; i < 100000; ++i) {
    sum += "+a";
    path += ".b";
    calls += "()";
  }
  for (const std::string* s : {&sum, &path, &calls}) {
    Result<ExprPtr> ok = parse_whole(*s);
    ASSERT_TRUE(ok.ok()) << error_text(ok);
    EXPECT_EQ(expr_desc(**ok).size(), s->size() + (s == &sum ? 2 * 100000 : 0));
  }
}

TEST(GrammarExpression, LiteralOnlyCheckIsShallow) {
  Parser p(Rc<Configuration>(), "t.tvl", "");
  struct CheckCase {
    std::string src;
    unsigned rejected;
    std::string want;  // empty: passes
  };
  const std::vector<CheckCase> cases = {
      {"(\"a\")", kRejectedForNumber, ""},
      {"x + \"a\"", kRejectedForNumber, ""},
      {"-\"a\"", kRejectedForNumber, ""},
      {"\"a\"", kNumberLiterals, ""},
      {"\"a\"", kRejectedForNumber, "Found string literal: \"a\". Expecting: number"},
      {"[1, [\"x\", {}]]", kRejectedForNumber, "Found list literal: [1, [\"x\", {}]]. Expecting number"},
      {"{'a': [1], 'b': \"s${x}\"}", kRejectedForNumber,
       "Found hash literal: {\"a\": [1], \"b\": \"s${x}\"}. Expecting number"},
      {"1.50", kNumberLiterals, "Found number literal: 1.50. Expecting number"},
  };
  for (const CheckCase& c : cases) {
    Result<ExprPtr> e = parse_whole(c.src);
    ASSERT_TRUE(e.ok()) << c.src;
    Status s = literal_only_check(p, **e, "number", c.rejected);
    EXPECT_EQ(s.ok() ? std::string() : s.error()->text, c.want) << c.src;
  }
}

TEST(GrammarLiterals, CamelToSnake) {
  const std::vector<Case> cases = {
      {"upperCase", "upper_case"}, {"dataModel", "data_model"}, {"isDateLike", "is_date_like"},
      {"HTML", "HTML"},            {"upper_case", "upper_case"}, {"iso_utc", "iso_utc"},
      {"aBC", "a_b_c"},            {"Xy", "_xy"},               {"", ""},
      {"X1", "X1"},                {"é", "é"},                   {"aÉb", "aÉb"},
  };
  for (const Case& c : cases) EXPECT_EQ(camel_to_snake(c.src), c.want) << c.src;
}

TEST(GrammarLiterals, LegacyNumberFormat) {
  struct FmtCase {
    std::string text;
    int min, max;
    std::string error;
  };
  const std::vector<FmtCase> cases = {
      {"m2M4", 2, 4, ""},
      {"M4m2", 2, 4, ""},
      {"m2", 2, 2, ""},
      {"M3", 0, 3, ""},
      {"m0M0", 0, 0, ""},
      {"m50M50", 50, 50, ""},
      {"m007", 7, 7, ""},
      {"", 0, 0, "Invalid format specification, at least one of m and M must be specified!"},
      {"m3M2", 0, 0, "Invalid format specification, min cannot be greater than max!"},
      {"m51", 0, 0, "Cannot specify more than 50 fraction digits"},
      {"M51", 0, 0, "Cannot specify more than 50 fraction digits"},
      {"m2m3", 0, 0, "Invalid format specifier m3"},
      {"x2", 0, 0, "Invalid format specifier x2"},
      {"m", 0, 0, "Invalid format specifier m"},
      {"mM2", 0, 0, "Invalid format specifier m"},
      {"2m", 0, 0, "Invalid format specifier 2"},
      {"m99999999999", 0, 0, "Invalid number in the format specifier m99999999999"},
  };
  for (const FmtCase& c : cases) {
    Result<LegacyNumberFormat> r = parse_legacy_number_format(c.text);
    if (c.error.empty()) {
      ASSERT_TRUE(r.ok()) << c.text << ": " << r.error()->text;
      EXPECT_EQ(*r, (LegacyNumberFormat{c.min, c.max})) << c.text;
    } else {
      ASSERT_FALSE(r.ok()) << c.text;
      EXPECT_EQ(r.error()->text, c.error) << c.text;
    }
  }
  // Through the parser the failure is a parse error at the identifier.
  Parser p(Rc<Configuration>(), "t.tvl", "  m9M2");
  p.set_mode(LexMode::Interpolation);
  Result<Token> t = p.next_tok();
  ASSERT_TRUE(t.ok());
  Result<LegacyNumberFormat> r = legacy_number_format(p, *t);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error()->kind, ErrorKind::Parse);
  EXPECT_EQ(r.error()->column, 3u);
}

TEST(GrammarLiterals, DecodeStringAndBraces) {
  const std::vector<Case> decode = {
      {"", ""},
      {"no escapes", "no escapes"},
      {"\\\\x", "\\x"},
      {"\\x41g", "Ag"},
      {"\\x0041", "A"},
      {"\\u0041", "A"},
      {"\\", "error: The last character of string literal is backslash"},
      {"ab\\", "error: The last character of string literal is backslash"},
      {"\\xg", "error: Invalid \\x escape in a string literal"},
      {"\\u004", "error: Invalid \\u escape in a string literal (expected 4 hex digits)"},
      {"\\$", "error: Invalid escape sequence (\\$) in a string literal"},
  };
  for (const Case& c : decode) {
    Result<std::string> r = decode_string(c.src);
    EXPECT_EQ(r.ok() ? *r : "error: " + r.error()->text, c.want) << c.src;
  }
  struct BraceCase {
    std::string text;
    size_t want;
  };
  const size_t none = std::string_view::npos;
  const std::vector<BraceCase> braces = {
      {"x}", 1},           {"a + {\"}\": 1}} x", 12}, {"'}' + \"}\"}", 9}, {"'\\'}'}", 5},
      {"{}}", 2},          {"{", none},               {"'}", none},       {"", none},
  };
  for (const BraceCase& c : braces) EXPECT_EQ(find_matching_brace(c.text, 0), c.want) << c.text;
}

TEST(GrammarLiterals, BuiltinNames) {
  for (std::string_view n : {"abs", "upper_case", "xml", "is_odd", "has_previous", "iso_fz", "replace_re",
                             "is_lambda", "is_nothing", "is_even", "ancestors", "root"})
    EXPECT_TRUE(is_known_builtin(n)) << n;
  for (std::string_view n : {"", "upperCase", "HTML", "abs ", "nope", "xml,"}) EXPECT_FALSE(is_known_builtin(n)) << n;
  std::string_view list = builtin_names_list_text();
  EXPECT_EQ(list.substr(0, 43), "abs, absolute_template_name, ancestors, api");
  EXPECT_EQ(list.substr(list.size() - 12), ",\nxhtml, xml");
  size_t names = 1;
  for (char c : list) names += c == ',';
  EXPECT_EQ(names, 183u);
}

}  // namespace
}  // namespace tovarn
