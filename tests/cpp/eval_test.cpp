// eval_test.cpp — expression evaluation: every node kind over a data model,
// member access and indexing with their Null rules, slicing by every range
// form, calls, ranges as values, `!` and `??`, comparisons, concatenation of
// every pair of kinds including markup, lambdas, classic_compatible truth,
// the shared helpers (utf16_cmp, trunc_i64), and chains deep enough that
// native recursion would overflow the stack.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/environment.h"
#include "core/eval.h"
#include "core/eval_util.h"
#include "core/expression/expr.h"
#include "core/expression/lambda.h"
#include "core/expression/range.h"
#include "core/macro_def.h"
#include "parser/grammar.h"
#include "parser/grammar_expression.h"
#include "template/configuration.h"
#include "template/simple_hash.h"

namespace tovarn {
namespace {

// ---- values for the data model ------------------------------------------------

// A hash and method that returns itself for every key and call, so that
// `self.a.a.a` and `self()()()` chains of any length succeed.
class SelfRef final : public ModelObject {
 public:
  SelfRef() : ModelObject(ModelKind::Hash, "hash", Cap::Hash | Cap::Method) {}
  Result<std::optional<TModel>> hash_get(std::string_view) const override {
    return std::optional<TModel>(TModel(const_cast<SelfRef*>(this)));
  }
  Result<bool> hash_is_empty() const override { return false; }
  Result<TModel> call(Environment&, std::vector<TModel>&) const override {
    return TModel(const_cast<SelfRef*>(this));
  }
};

// A method answering with the type names of its arguments: "number,nothing".
Result<TModel> arg_types(const RefCounted*, Environment&, std::vector<TModel>& args) {
  std::string out;
  for (const TModel& a : args) out += (out.empty() ? "" : ",") + std::string(a.type_name());
  return TModel::from_scalar(out);
}

TModel macro(std::string name, bool is_function) {
  Rc<MacroDef> def = make_rc<MacroDef>();
  def->name = std::move(name);
  def->is_function = is_function;
  def->code = make_rc<MacroCode>();
  return macro_value(def);
}

TModel seq_of_ints(std::initializer_list<int> v) {
  std::vector<TModel> items;
  for (int i : v) items.push_back(TModel::from_int(i));
  return TModel::from_sequence(std::move(items));
}

TModel data_model() {
  OrderedHash h;
  h.put("a", TModel::from_int(1));
  h.put("b", TModel::from_scalar("x"));
  OrderedHash m;
  m.put("s", TModel::from_scalar("abcde"));
  m.put("n", TModel::from_int(5));
  m.put("t", TModel::from_boolean(true));
  m.put("seq", seq_of_ints({1, 2, 3}));
  m.put("h", TModel::from_hash(std::move(h)));
  m.put("nul", TModel::null());
  m.put("nothing", TModel::gpn());
  m.put("meth", TModel::from_method(arg_types));
  m.put("mac", macro("mac", false));
  m.put("self", TModel(new SelfRef()));
  m.put("hm", TModel::from_markup("<b>", std::nullopt, OutputFormatKind::HTML));
  m.put("hp", TModel::from_markup("&lt;", "<", OutputFormatKind::HTML));
  m.put("xm", TModel::from_markup("<x/>", std::nullopt, OutputFormatKind::XML));
  m.put("xp", TModel::from_markup("&apos;", "'", OutputFormatKind::XML));
  m.put("d1", TModel::from_date(DateValue{86400, 0, 0, DateKind::Date}));
  m.put("d2", TModel::from_date(DateValue{2 * 86400, 0, 0, DateKind::Date}));
  m.put("d2b", TModel::from_date(DateValue{2 * 86400, 0, 3600, DateKind::Date}));
  m.put("t1", TModel::from_date(DateValue{3600, 0, 0, DateKind::Time}));
  return TModel::from_hash(std::move(m));
}

// ---- harness --------------------------------------------------------------------

struct Ctx {
  explicit Ctx(Settings settings = {}) {
    Rc<Configuration> cfg = Configuration::create();
    cfg->settings = std::move(settings);
    tpl = make_rc<Template>();
    tpl->name = "t.tvl";
    tpl->configuration = cfg;
    env = std::make_unique<Environment>(tpl, data_model());
  }
  Rc<Template> tpl;
  std::unique_ptr<Environment> env;
};

// Parses `text` as the inside of "${...}".
ExprPtr parse_expr(std::string_view text) {
  Parser p(Rc<Configuration>(), "t.tvl", text);
  p.set_mode(LexMode::Interpolation);
  Result<ExprPtr> e = parse_expression(p);
  EXPECT_TRUE(e.ok()) << text << ": " << (e.ok() ? "" : e.error().to_user_message());
  return e.ok() ? std::move(e.value()) : ExprPtr();
}

// A compact, exact picture of a value: `Int 3`, `"abc"`, `[Int 1, "a"]`,
// `{a: Int 1}`, `null`, `gpn`, `markup(HTML) <b>|plain`, `lambda`.
std::string show(const TModel& v) {
  if (v.is_null()) return "null";
  if (v.same_object(TModel::gpn())) return "gpn";
  switch (v.kind()) {
    case ModelKind::Number: {
      TNumber n = v.get_number().value();
      return std::string(number_kind_name(n.kind())) + " " + n.to_plain_string();
    }
    case ModelKind::String: return "\"" + std::string(v.get_scalar().value().view()) + "\"";
    case ModelKind::Boolean: return v.get_boolean().value() ? "true" : "false";
    case ModelKind::Markup: {
      const std::string* plain = v->plain_text();
      return "markup(" + std::string(output_format_name(*v->output_format())) + ") " +
             std::string(v.get_scalar().value().view()) + (plain ? "|" + *plain : "");
    }
    case ModelKind::Lambda: return "lambda";
    case ModelKind::Sequence: {
      uint64_t n = v->seq_size().value();
      if (n > 20) return "seq(" + std::to_string(n) + ")";
      std::string out = "[";
      for (uint64_t i = 0; i < n; ++i) out += (i ? ", " : "") + show(v->seq_get(i).value());
      return out + "]";
    }
    case ModelKind::Hash: {
      if (!v.has(Cap::HashEx)) return "hash";
      std::string out = "{";
      auto entries = v->hash_entries().value();
      for (auto& [k, x] : entries) out += (out.size() > 1 ? ", " : "") + k + ": " + show(x);
      return out + "}";
    }
    default: return std::string("kind ") + v.type_name();
  }
}

// The result as show() text, or the error: "MISSING: expr" for invalid
// references, else the user message.
std::string show(Result<TModel>& r) {
  if (r.ok()) return show(r.value());
  const Error& e = r.error();
  if (e.kind() == ErrorKind::InvalidReference) return "MISSING: " + e->text;
  return e.to_user_message();
}

std::string eval_text(Ctx& run, std::string_view text) {
  ExprPtr e = parse_expr(text);
  if (!e) return "<parse error>";
  Result<TModel> r = eval(*run.env, *e);
  return show(r);
}

struct Case {
  std::string expr;
  std::string want;
};

void check_all(Ctx& run, const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(c.want, eval_text(run, c.expr)) << "expression: " << c.expr;
}

const std::string kAt = "  [in template \"t.tvl\" at line 1, column ";

// ---- node kinds -------------------------------------------------------------------

TEST(Eval, SimpleNodeKinds) {
  Ctx run;
  check_all(run, {
                     {"\"abc\"", "\"abc\""},
                     {"r\"a\\n\"", "\"a\\n\""},
                     {"1.5", "BigDecimal 1.5"},
                     {"true", "true"},
                     {"n", "Int 5"},
                     {"(n)", "Int 5"},
                     {"!t", "false"},
                     {"!!t", "true"},
                     {"-n", "Int -5"},
                     {"n - 2", "Int 3"},
                     {"n * 2", "Int 10"},
                     {"7 / 2", "BigDecimal 3.500000000000"},
                     {"7 % 3", "Long 1"},
                     {"1 + 2", "Int 3"},
                     {"[1, \"a\", n]", "[Int 1, \"a\", Int 5]"},
                     {"[]", "[]"},
                     {"{\"a\": 1, \"b\": 2, \"a\": 3}", "{a: Int 3, b: Int 2}"},
                     {"{n: \"x\", \"k\" + 1: t}", "{5: \"x\", k1: true}"},
                     {"{}", "{}"},
                     {"missing", "MISSING: missing"},
                     {"nul", "null"},
                     {"nothing", "gpn"},
                 });
}

TEST(Eval, LogicalOperatorsShortCircuit) {
  Ctx run;
  check_all(run, {
                     {"t && false", "false"},
                     {"t && t", "true"},
                     {"false && missing", "false"},
                     {"t || missing", "true"},
                     {"false || t", "true"},
                     {"false || false", "false"},
                     {"t && missing", "MISSING: missing"},
                     {"!s", "Expected a boolean, but this has evaluated to a string."},
                     {"s && t", "Expected a boolean, but this has evaluated to a string."},
                 });
}

TEST(Eval, ArithmeticOperandErrors) {
  Ctx run;
  check_all(run, {
                     {"s - 1",
                      "For \"-\" left-hand operand: Expected a number, but this has evaluated to a string:\n==> s" +
                          kAt + "1]"},
                     {"1 * h",
                      "For \"*\" right-hand operand: Expected a number, but this has evaluated to an "
                      "extended_hash:\n==> h" +
                          kAt + "5]"},
                     {"nul * 2", "MISSING: nul"},
                     {"2 % nul", "MISSING: nul"},
                     {"1 / 0", "Arithmetic operation failed: / by zero"},
                     {"-s", "Expected a number, but this has evaluated to a string:\n==> s" + kAt + "2]"},
                     {"-nul", "MISSING: nul"},
                     {"missing - 1", "MISSING: missing"},
                 });
}

// ---- comparison -------------------------------------------------------------------

TEST(Eval, ComparisonRulesAndMessages) {
  Ctx run;
  const std::string cant_compare =
      "Can't compare values of these types. Allowed comparisons are between two numbers, two strings, two dates, "
      "or two booleans.";
  check_all(run, {
                     {"1 == 1.0", "true"},
                     {"n > 3", "true"},
                     {"n >= 6", "false"},
                     {"n < 6", "true"},
                     {"n <= 5", "true"},
                     {"n != 5", "false"},
                     {"\"a\" == \"a\"", "true"},
                     {"\"a\" != \"b\"", "true"},
                     {"\"\xEF\xAC\x81\" == \"fi\"", "true"},       // the ligature U+FB01 is "fi" under NFKC
                     {"\"A\xCC\x8A\" == \"\xC3\x85\"", "true"},    // decomposed and composed Å
                     {"\"\xC3\xA9\" == \"e\"", "false"},
                     {"t == true", "true"},
                     {"t != false", "true"},
                     {"d1 < d2", "true"},
                     {"d2 == d2b", "true"},  // offsets play no part,
                     {"d1 != d2", "true"},
                     {"nothing == \"\"", "true"},
                     {"s < h.b", "Can't use operator \"<\" on string values."},
                     {"s >= s", "Can't use operator \">=\" on string values."},
                     {"t > t", "Can't use operator \">\" on boolean values."},
                     {"t <= t", "Can't use operator \"<=\" on boolean values."},
                     {"1 == \"1\"", cant_compare},
                     {"nul == 1", cant_compare},
                     {"seq == seq", cant_compare},
                     {"d1 < t1",
                      "Can't compare dates of different types. Left date type is date, right date type is time."},
                     {"missing == 1", "MISSING: missing"},
                 });
}

TEST(Eval, CompareModelsDirect) {
  TModel dt = TModel::from_date(DateValue{0, 0, 0, DateKind::DateTime});
  TModel unknown = TModel::from_date(DateValue{0, 0, 0, DateKind::Unknown});
  Result<bool> r = compare_models(dt, unknown, CompareOp::Eq);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ("Can't compare dates of different types. Left date type is date-time, right date type is unknown date "
            "type.",
            r.error().to_user_message());
  // Same instant, nanoseconds decide.
  TModel a = TModel::from_date(DateValue{10, 1, 0, DateKind::DateTime});
  TModel b = TModel::from_date(DateValue{10, 2, 7200, DateKind::DateTime});
  EXPECT_TRUE(compare_models(a, b, CompareOp::Lt).value());
  EXPECT_FALSE(compare_models(b, a, CompareOp::Le).value());
  // Numbers of different kinds compare by value.
  EXPECT_TRUE(compare_models(TModel::from_long(3), TModel::from_number(TNumber::from_double(3.0)), CompareOp::Eq)
                  .value());
}

TEST(Eval, Utf16Order) {
  struct C {
    std::string a, b;
    int want;
  };
  std::vector<C> cases = {
      {"a", "b", -1},
      {"", "", 0},
      {"ab", "a", 1},
      {"abc", "abd", -1},
      {"\xC3\xA9", "z", 1},                       // U+00E9 after z
      {"\xEF\xBF\xBD", "\xF0\x9F\x98\x80", 1},    // U+FFFD after the surrogate D83D of U+1F600
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x81", -1},
      {"x\xEE\x80\x80", "x\xF0\x90\x80\x80", 1},  // U+E000 after U+10000 in UTF-16
      {"\xE2\x82\xAC", "\xE2\x82\xAC", 0},
  };
  for (const C& c : cases) {
    EXPECT_EQ(c.want, utf16_cmp(c.a, c.b)) << c.a << " vs " << c.b;
    EXPECT_EQ(-c.want, utf16_cmp(c.b, c.a)) << c.b << " vs " << c.a;
  }
}

TEST(Eval, TruncI64) {
  auto dec = [](const char* t) { return TNumber::from_big_decimal(*BigDecimal::parse(t)); };
  struct C {
    TNumber n;
    std::optional<int64_t> want;
  };
  std::vector<C> cases = {
      {TNumber::from_int(-7), -7},
      {TNumber::from_long(INT64_MIN), INT64_MIN},
      {TNumber::from_double(2.9), 2},
      {TNumber::from_double(-2.9), -2},
      {TNumber::from_float(7.5f), 7},
      {TNumber::from_double(std::nan("")), 0},
      {TNumber::from_double(1e30), INT64_MAX},
      {TNumber::from_double(-INFINITY), INT64_MIN},
      {dec("-7.5"), -7},
      {dec("12.000"), 12},
      {dec("1e3"), 1000},
      {dec("9223372036854775807.9"), INT64_MAX},
      {dec("9223372036854775808"), std::nullopt},
      {dec("1e25"), std::nullopt},
      {TNumber::from_integer(BigInteger("-9223372036854775808")), INT64_MIN},
      {TNumber::from_integer(BigInteger("1180591620717411303424")), std::nullopt},
  };
  for (const C& c : cases) EXPECT_EQ(c.want, trunc_i64(c.n)) << c.n.to_plain_string();
}

// ---- member access and indexing -------------------------------------------------

TEST(Eval, DotAndKeyAccess) {
  Ctx run;
  check_all(run, {
                     {"h.a", "Int 1"},
                     {"h.zz", "null"},
                     {"h[\"b\"]", "\"x\""},
                     {"h[\"zz\"]", "null"},
                     {"nothing.x", "null"},
                     {"s.x", "Expected a hash, but this has evaluated to a string:\n==> s" + kAt + "1]"},
                     {"seq.x", "Expected a hash, but this has evaluated to a sequence:\n==> seq" + kAt + "1]"},
                     {"s[\"a\"]", "Expected a hash, but this has evaluated to a string:\n==> s" + kAt + "1]"},
                     {"nul.x", "MISSING: nul"},
                     {"h.zz.y", "MISSING: h.zz"},
                     {"missing.x", "MISSING: missing"},
                     {"nul[0]", "MISSING: nul"},
                     {"seq[0]", "Int 1"},
                     {"seq[1.7]", "Int 2"},
                     {"seq[5]", "null"},
                     {"seq[-1]", "MISSING: seq[-1]"},
                     {"seq[n - 6]", "MISSING: seq[n - 6]"},
                     {"seq[100000000000000000000]",
                      "The index 100000000000000000000 is out of the range of representable integers"},
                     {"s[1]", "\"b\""},
                     {"\"h\xC3\xA9llo\"[1]", "\"\xC3\xA9\""},
                     {"s[5]",
                      "String index out of range: The index was 5 (0-based), but the length of the string is only 5."},
                     {"n[0]", "\"5\""},
                     {"hm[1]", "\"b\""},
                     {"h[-1]", "Negative index not allowed: -1"},
                     {"(1..3)[1]", "Int 2"},
                     {"(1..3)[5]", "null"},
                     {"(1..3)[-1]", "Range item index -1 is out of bounds."},
                     {"seq[t]",
                      "Expected a number, range, or string, but this has evaluated to a boolean:\n==> t" + kAt + "5]"},
                     {"seq[missing]", "MISSING: missing"},
                 });
}

TEST(Eval, NumericKeyOnHashExplainsWithTip) {
  Ctx run;
  EXPECT_EQ(
      "Expected a sequence or string or something automatically convertible to string (number, date or boolean), "
      "but this has evaluated to an extended_hash:\n==> h" +
          kAt +
          "1]\n\n----\nTip: You had a numerical value inside the []. Currently that's only supported for sequences "
          "(lists) and strings. To get a Map item with a non-string key, use myMap?api.get(myKey).\n----",
      eval_text(run, "h[0]"));
  EXPECT_EQ(
      "Expected a sequence or string or something automatically convertible to string (number, date or boolean), "
      "but this has evaluated to a lambda:\n==> f" +
          kAt + "1]",
      [&] {
        // A lambda value has no capability at all.
        ExprPtr call = parse_expr("seq?filter(x -> x)");
        const auto& arg = *call->as<BuiltInExpr>().args->at(0);
        TModel lambda = eval(*run.env, arg).value();
        run.env->set_variable("f", lambda);
        return eval_text(run, "f[0]");
      }());
}

TEST(Eval, SlicingStrings) {
  Ctx run;
  const std::string dec_msg =
      "Decreasing ranges aren't allowed for slicing strings (as it would give reversed text). The index range was: ";
  check_all(run, {
                     {"s[1..3]", "\"bcd\""},
                     {"s[1..<3]", "\"bc\""},
                     {"s[1..*10]", "\"bcde\""},
                     {"s[1..*2]", "\"bc\""},
                     {"s[3..]", "\"de\""},
                     {"s[5..]", "\"\""},
                     {"s[0..<0]", "\"\""},
                     {"s[9..<9]", "\"\""},
                     {"s[4..4]", "\"e\""},
                     {"s[3..*-1]", "\"d\""},
                     {"\"abc\"[2..1]", "\"\""},
                     {"\"abc\"[1..0]", "\"\""},
                     {"\"abc\"[2..0]", dec_msg + "first = 2, last = 0"},
                     {"\"abc\"[2..<0]", dec_msg + "first = 2, last = 1"},
                     {"\"abc\"[1..*-5]", dec_msg + "first = 1, last = 0"},
                     {"\"h\xC3\xA9llo\"[1..2]", "\"\xC3\xA9l\""},
                     {"n[0..0]", "\"5\""},
                     {"s[6..]",
                      "Range start index 6 is out of bounds, because the sliced string has only 5 character(s). "
                      "(Note that indices are 0-based)."},
                     {"s[5..6]",
                      "Range start index 5 is out of bounds, because the sliced string has only 5 character(s). "
                      "(Note that indices are 0-based)."},
                     {"s[5..*1]", "\"\""},
                     {"s[6..*1]",
                      "Range start index 6 is out of bounds, because the sliced string has only 5 character(s). "
                      "(Note that indices are 0-based)."},
                     {"s[2..9]",
                      "Range end index 9 is out of bounds, because the sliced string has only 5 character(s). "
                      "(Note that indices are 0-based)."},
                     {"s[(0 - 1)..2]", "Negative range start index (-1) isn't allowed for a range used for slicing."},
                     {"s[1..(0 - 1)]", "Negative range end index (-1) isn't allowed for a range used for slicing."},
                     {"h[0..1]",
                      "Expected a sequence or string or something automatically convertible to string (number, date "
                      "or boolean), but this has evaluated to an extended_hash:\n==> h" +
                          kAt +
                          "1]\n\n----\nTip: You had a numerical value inside the []. Currently that's only "
                          "supported for sequences (lists) and strings. To get a Map item with a non-string key, use "
                          "myMap?api.get(myKey).\n----"},
                 });
}

TEST(Eval, SlicingSequences) {
  Ctx run;
  check_all(run, {
                     {"seq[0..1]", "[Int 1, Int 2]"},
                     {"seq[1..]", "[Int 2, Int 3]"},
                     {"seq[3..]", "[]"},
                     {"seq[2..0]", "[Int 3, Int 2, Int 1]"},
                     {"seq[1..<3]", "[Int 2, Int 3]"},
                     {"seq[2..<0]", "[Int 3, Int 2]"},
                     {"seq[1..*-5]", "[Int 2, Int 1]"},
                     {"seq[0..*9]", "[Int 1, Int 2, Int 3]"},
                     {"seq[2..*0]", "[]"},
                     {"seq[7..<7]", "[]"},
                     {"(10..20)[2..4]", "[Int 12, Int 13, Int 14]"},
                     {"(0..)[3..5]", "[Int 3, Int 4, Int 5]"},
                     {"seq[0..5]",
                      "Range end index 5 is out of bounds, because the sliced sequence has only 3 element(s). "
                      "(Note that indices are 0-based)."},
                     {"seq[3..4]",
                      "Range start index 3 is out of bounds, because the sliced sequence has only 3 element(s). "
                      "(Note that indices are 0-based)."},
                     {"seq[4..]",
                      "Range start index 4 is out of bounds, because the sliced sequence has only 3 element(s). "
                      "(Note that indices are 0-based)."},
                     {"seq[(0 - 2)..]",
                      "Negative range start index (-2) isn't allowed for a range used for slicing."},
                 });
}

// ---- calls ----------------------------------------------------------------------------

TEST(Eval, MethodCalls) {
  Ctx run;
  check_all(run, {
                     {"meth()", "\"\""},
                     {"meth(1, \"a\", t)", "\"number,string,boolean\""},
                     {"meth(missing, h.zz)", "\"nothing,nothing\""},
                     {"meth(missing.x)", "\"nothing\""},
                     {"meth(1 / 0)", "Arithmetic operation failed: / by zero"},
                     {"meth(s - 1)",
                      "For \"-\" left-hand operand: Expected a number, but this has evaluated to a string:\n==> s" +
                          kAt + "6]"},
                     {"mac()", "A macro cannot be called in an expression. (Functions can be.)"},
                     {"s()", "The value of s is not a method or function (it's a string)"},
                     {"h.a(1)", "The value of h.a is not a method or function (it's a number)"},
                     {"nul()", "The value of nul is not a method or function (it's a nothing)"},
                     {"missing()", "MISSING: missing"},
                 });
}

// ---- ranges ------------------------------------------------------------------------------

TEST(Eval, RangesAsValues) {
  Ctx run;
  check_all(run, {
                     {"1..3", "[Int 1, Int 2, Int 3]"},
                     {"3..1", "[Int 3, Int 2, Int 1]"},
                     {"1..1", "[Int 1]"},
                     {"1..<3", "[Int 1, Int 2]"},
                     {"3..<1", "[Int 3, Int 2]"},
                     {"1..<1", "[]"},
                     {"1..*3", "[Int 1, Int 2, Int 3]"},
                     {"1..*-3", "[Int 1, Int 0, Int -1]"},
                     {"1..*0", "[]"},
                     {"n..", "seq(2147483647)"},
                     {"1.9..2", "[Int 1, Int 2]"},
                     {"2147483646..2147483648", "[Int 2147483646, Int 2147483647, Long 2147483648]"},
                     {"s..3", "Expected a number, but this has evaluated to a string:\n==> s" + kAt + "1]"},
                     {"1..s", "Expected a number, but this has evaluated to a string:\n==> s" + kAt + "4]"},
                     {"100000000000000000000..1",
                      "The start of the range ... is not a representable integer"},
                     {"1..100000000000000000000", "Range end is not a representable integer"},
                     {"1..<100000000000000000000", "Range end is not a representable integer"},
                     {"1..*100000000000000000000", "Range size is not a representable integer"},
                     {"(0 - 9223372036854775807 - 1)..9223372036854775807", "Range end is not a representable integer"},
                     {"9223372036854775807..*2", "Range size is not a representable integer"},
                     {"missing..2", "MISSING: missing"},
                 });
}

TEST(Eval, RangeValueDetails) {
  Ctx run;
  struct C {
    std::string expr;
    RangeInfo want;
  };
  std::vector<C> cases = {
      {"2..5", {2, 4, true, false, false, true}},
      {"5..<2", {5, 3, false, false, false, false}},
      {"2..*-2", {2, 2, false, false, true, false}},
      {"7..", {7, 0, true, true, true, false}},
  };
  for (const C& c : cases) {
    ExprPtr e = parse_expr(c.expr);
    TModel v = eval(*run.env, *e).value();
    EXPECT_EQ(ModelKind::Sequence, v.kind());
    EXPECT_STREQ("sequence", v.type_name());
    EXPECT_TRUE(v.has(Cap::Sequence | Cap::Collection | Cap::Range));
    const RangeInfo* r = v->range();
    ASSERT_NE(nullptr, r) << c.expr;
    EXPECT_EQ(c.want.begin, r->begin) << c.expr;
    EXPECT_EQ(c.want.size, r->size) << c.expr;
    EXPECT_EQ(c.want.increasing, r->increasing) << c.expr;
    EXPECT_EQ(c.want.right_unbounded, r->right_unbounded) << c.expr;
    EXPECT_EQ(c.want.right_adaptive, r->right_adaptive) << c.expr;
    EXPECT_EQ(c.want.inclusive_end, r->inclusive_end) << c.expr;
  }
  // Past the end of a bounded range, and of an unbounded one.
  TModel bounded = make_bounded_range(1, 3, true, false, true);
  Result<TModel> past = bounded->seq_get(3);
  ASSERT_FALSE(past.ok());
  EXPECT_EQ("Sequence index out of bounds: 3", past.error().to_user_message());
  TModel unbounded = make_unbounded_range(INT64_MAX - 1);
  EXPECT_EQ("BigInteger 9223372036854775808", show(unbounded->seq_get(2).value()));
  Result<TModel> beyond = unbounded->seq_get(2147483647);
  ASSERT_FALSE(beyond.ok());
  EXPECT_EQ("Range item index 2147483647 is out of bounds.", beyond.error().to_user_message());
}

TEST(Eval, RangeIteration) {
  // A bounded range yields exactly its items; an unbounded one stops after a million.
  auto count = [](const TModel& r, int64_t* last) {
    std::unique_ptr<ModelIterator> it = r->iterator().value();
    uint64_t n = 0;
    for (;;) {
      std::optional<TModel> v = it->next().value();
      if (!v) return n;
      *last = trunc_i64(v->get_number().value()).value();
      ++n;
    }
  };
  int64_t last = 0;
  EXPECT_EQ(4u, count(make_bounded_range(3, 4, false, false, true), &last));
  EXPECT_EQ(0, last);
  EXPECT_EQ(1000000u, count(make_unbounded_range(0), &last));
  EXPECT_EQ(999999, last);
}

// ---- ! and ?? --------------------------------------------------------------------------------

TEST(Eval, DefaultAndExistsForms) {
  Ctx run;
  check_all(run, {
                     {"missing!\"d\"", "\"d\""},
                     {"missing!", "\"\""},
                     {"h.zz!\"d\"", "\"d\""},
                     {"h.zz!", "\"\""},
                     {"missing.x!\"d\"", "MISSING: missing"},
                     {"(missing.x)!\"d\"", "\"d\""},
                     {"(missing)!\"d\"", "\"d\""},
                     {"nul!\"d\"", "\"d\""},
                     {"nothing!\"d\"", "gpn"},
                     {"n!\"d\"", "Int 5"},
                     {"n!missing", "Int 5"},
                     {"missing!other", "MISSING: other"},
                     {"missing!(n + 1)", "Int 6"},
                     {"seq[5]!\"none\"", "\"none\""},
                     {"(1 / 0)!\"d\"", "Arithmetic operation failed: / by zero"},
                     {"missing??", "false"},
                     {"\"\"??", "true"},
                     {"nul??", "false"},
                     {"nothing??", "true"},
                     {"h.a??", "true"},
                     {"h.zz??", "false"},
                     {"(h.zz)??", "false"},
                     {"(missing.x)??", "false"},
                     {"missing.x??", "MISSING: missing"},
                     {"n????", "true"},
                 });
}

TEST(Eval, LenientEvaluation) {
  Ctx run;
  struct C {
    std::string expr;
    std::string want;
  };
  std::vector<C> cases = {
      {"missing", "null"},
      {"(missing)", "null"},
      {"(missing.x)", "null"},
      {"missing.x", "MISSING: missing"},
      {"h.zz", "null"},
      {"n", "Int 5"},
      {"(1 / 0)", "Arithmetic operation failed: / by zero"},
  };
  for (const C& c : cases) {
    ExprPtr e = parse_expr(c.expr);
    Result<TModel> r = eval_lenient(*run.env, *e);
    EXPECT_EQ(c.want, show(r)) << c.expr;
  }
}

// ---- concatenation ----------------------------------------------------------------------------

TEST(Eval, ConcatenationOfEveryKindPair) {
  Ctx run;
  check_all(run, {
                     {"1 + 2", "Int 3"},
                     {"1.5 + 1.5", "Int 3"},
                     {"n + 0.5", "BigDecimal 5.5"},
                     {"\"1\" + 2", "\"12\""},
                     {"1 + \"2\"", "\"12\""},
                     {"1000 + \"\"", "\"1,000\""},
                     {"s + \"!\"", "\"abcde!\""},
                     {"\"\" + \"\"", "\"\""},
                     {"[1, 2] + [3]", "[Int 1, Int 2, Int 3]"},
                     {"seq + []", "[Int 1, Int 2, Int 3]"},
                     {"(1..2) + seq", "[Int 1, Int 2, Int 1, Int 2, Int 3]"},
                     {"{\"a\": 1} + {\"a\": 2, \"b\": 3}", "{a: Int 2, b: Int 3}"},
                     {"{\"b\": 1, \"a\": 1} + h", "{b: \"x\", a: Int 1}"},
                     {"h + {}", "{a: Int 1, b: \"x\"}"},
                     {"nothing + seq", "[Int 1, Int 2, Int 3]"},
                     {"[1] + \"x\"",
                      "Expected a string or something automatically convertible to string (number, date or "
                      "boolean), but this has evaluated to a sequence."},
                     {"\"x\" + h",
                      "Expected a string or something automatically convertible to string (number, date or "
                      "boolean), but this has evaluated to an extended_hash."},
                     {"nul + \"x\"",
                      "Expected a string or something automatically convertible to string (number, date or "
                      "boolean), but this has evaluated to a nothing."},
                     {"missing + 1", "MISSING: missing"},
                     {"1 + missing", "MISSING: missing"},
                 });
  std::string msg = eval_text(run, "t + \"x\"");
  EXPECT_EQ(0u, msg.find("Can't convert boolean to string automatically")) << msg;
}

TEST(Eval, MarkupConcatenation) {
  Settings html;
  html.output_format = OutputFormatKind::HTML;
  Ctx run(html);
  const std::string mismatch =
      "Concatenation left hand operand is in HTML format, while the right hand operand is in XML. Conversion to "
      "common format wasn't possible.";
  check_all(run, {
                     {"hm + \"<i>\"", "markup(HTML) <b>&lt;i&gt;"},
                     {"\"a<\" + hm", "markup(HTML) a&lt;<b>"},
                     {"hp + \"<\"", "markup(HTML) &lt;&lt;|<<"},
                     {"\"'\" + hp", "markup(HTML) &#39;&lt;|'<"},
                     {"n + hm", "markup(HTML) 5<b>"},
                     {"hm + hp", "markup(HTML) <b>&lt;"},
                     {"hp + hp", "markup(HTML) &lt;&lt;|<<"},
                     {"hm + xp", "markup(HTML) <b>&#39;"},
                     {"xp + hm", "markup(HTML) &#39;<b>"},
                     {"hp + xp", "markup(HTML) &lt;&#39;|<'"},
                     {"xp + hp", "markup(XML) &apos;&lt;|'<"},
                     {"hm + xm", mismatch},
                     {"xm + hm",
                      "Concatenation left hand operand is in XML format, while the right hand operand is in HTML. "
                      "Conversion to common format wasn't possible."},
                 });
}

TEST(Eval, InterpolatedStrings) {
  Settings html;
  html.output_format = OutputFormatKind::HTML;
  Ctx run(html);
  check_all(run, {
                     {"\"a${n}b\"", "\"a5b\""},
                     {"\"${s}${s}\"", "\"abcdeabcde\""},
                     {"\"x<${hm}\"", "markup(HTML) x&lt;<b>"},
                     {"\"${hm}<\"", "markup(HTML) <b>&lt;"},
                     {"\"${hp}${hp}\"", "markup(HTML) &lt;&lt;|<<"},
                     {"\"<${hp}>${s}\"", "markup(HTML) &lt;&lt;&gt;abcde|<<>abcde"},
                     {"\"${hm}${xp}\"", "markup(HTML) <b>&#39;"},
                     {"\"${hm}${xm}\"",
                      "Concatenation left hand operand is in HTML format, while the right hand operand is in XML. "
                      "Conversion to common format wasn't possible."},
                     {"\"a${nul}b\"", "MISSING: nul"},
                     {"\"a${h.zz}b\"", "MISSING: h.zz"},
                     {"\"a${missing}b\"", "MISSING: missing"},
                     {"\"a${seq}b\"",
                      "Expected a string or something automatically convertible to string (number, date or "
                      "boolean), but this has evaluated to a sequence."},
                 });
}

// ---- classic_compatible -----------------------------------------------------------------------

TEST(Eval, ClassicCompatibleTruthAndNulls) {
  Settings classic;
  classic.classic_compatible = true;
  Ctx run(classic);
  check_all(run, {
                     {"missing", "null"},
                     {"!missing", "true"},
                     {"!nul", "true"},
                     {"!\"\"", "true"},
                     {"!s", "false"},
                     {"!seq", "false"},
                     {"![]", "true"},
                     {"!h", "false"},
                     {"!{}", "true"},
                     {"!n", "false"},
                     {"!nothing", "true"},
                     {"nul.x", "null"},
                     {"nul[0]", "null"},
                     {"missing.x.y", "null"},
                     {"\"a${nul}b\"", "\"ab\""},
                     {"nul + \"x\"", "\"x\""},
                     {"t + \"\"", "\"true\""},
                     {"missing!\"d\"", "\"d\""},
                 });
}

TEST(Eval, ModelToBooleanCollectionUnderClassic) {
  Settings classic;
  classic.classic_compatible = true;
  Ctx run(classic);
  // A value that only iterates: true exactly when it yields a first item.
  class Coll final : public ModelObject {
   public:
    explicit Coll(bool empty) : ModelObject(ModelKind::Sequence, "collection", Cap::Collection), empty_(empty) {}
    Result<std::unique_ptr<ModelIterator>> iterator() const override {
      struct It : ModelIterator {
        bool done;
        explicit It(bool d) : done(d) {}
        Result<std::optional<TModel>> next() override {
          if (done) return std::optional<TModel>();
          done = true;
          return std::optional<TModel>(TModel::from_int(1));
        }
      };
      return std::unique_ptr<ModelIterator>(new It(empty_));
    }

   private:
    bool empty_;
  };
  EXPECT_TRUE(model_to_boolean(*run.env, TModel(new Coll(false))).value());
  EXPECT_FALSE(model_to_boolean(*run.env, TModel(new Coll(true))).value());
  EXPECT_TRUE(model_to_boolean(*run.env, TModel::from_method(arg_types)).value());
  Ctx strict;
  Result<bool> r = model_to_boolean(*strict.env, TModel(new Coll(false)));
  ASSERT_FALSE(r.ok());
  EXPECT_EQ("Expected a boolean, but this has evaluated to a collection.", r.error().to_user_message());
}

// ---- lambdas ----------------------------------------------------------------------------------------

// The lambda argument of `seq?filter(<lambda>)`, parsed.
struct ParsedLambda {
  explicit ParsedLambda(std::string_view lambda_text) {
    call = parse_expr("seq?filter(" + std::string(lambda_text) + ")");
  }
  const Expr& lambda() const { return *call->as<BuiltInExpr>().args->at(0); }
  ExprPtr call;
};

TEST(Eval, LambdasAsValues) {
  Ctx run;
  struct C {
    std::string lambda;
    std::vector<TModel> args;
    std::string want;
  };
  std::vector<C> cases = {
      {"x -> x * n", {TModel::from_int(3)}, "Int 15"},
      {"n -> n + 1", {TModel::from_int(1)}, "Int 2"},  // the parameter hides the data model's n
      {"(a, b) -> a + b", {TModel::from_scalar("p"), TModel::from_scalar("q")}, "\"pq\""},
      {"() -> n", {}, "Int 5"},
      {"x -> x", {TModel::null()}, "null"},
      {"x -> x!\"none\"", {TModel::null()}, "\"none\""},
      {"x -> x.a", {TModel(new SelfRef())}, "hash"},
      {"x -> missing", {TModel::from_int(1)}, "MISSING: missing"},
      {"x -> x", {}, "The lambda with 1 parameter(s) was called with 0 argument(s)."},
      {"x -> x", {TModel::from_int(1), TModel::from_int(2)},
       "The lambda with 1 parameter(s) was called with 2 argument(s)."},
  };
  for (const C& c : cases) {
    ParsedLambda p(c.lambda);
    Result<TModel> v = eval(*run.env, p.lambda());
    ASSERT_TRUE(v.ok()) << c.lambda;
    EXPECT_EQ(ModelKind::Lambda, v.value().kind());
    EXPECT_STREQ("lambda", v.value().type_name());
    const LambdaValue* l = v.value().internal_as<LambdaValue>();
    ASSERT_NE(nullptr, l) << c.lambda;
    Result<TModel> r = call_lambda(*run.env, *l, c.args);
    EXPECT_EQ(c.want, show(r)) << c.lambda;
  }
  // Bindings end with the call.
  EXPECT_EQ("Int 5", eval_text(run, "n"));
  EXPECT_EQ("MISSING: x", eval_text(run, "x"));
}

TEST(Eval, LocalBindingsNestAndHide) {
  Ctx run;
  TModel one = TModel::from_int(1), two = TModel::from_int(2);
  const std::string x = "x";
  {
    LocalBindings outer(*run.env, x, one);
    EXPECT_EQ("Int 1", eval_text(run, "x"));
    {
      LocalBindings inner(*run.env, x, two);
      EXPECT_EQ("Int 2", eval_text(run, "x"));
      ScopeBarrier barrier(*run.env);
      EXPECT_EQ("MISSING: x", eval_text(run, "x"));
    }
    EXPECT_EQ("Int 1", eval_text(run, "x"));
    // Bindings belong to their environment only.
    Ctx other;
    EXPECT_EQ("MISSING: x", eval_text(other, "x"));
  }
  EXPECT_EQ("MISSING: x", eval_text(run, "x"));
}

// ---- built-in chains --------------------------------------------------------------------------------

TEST(Eval, NamesAfterStringBuiltinAreArguments) {
  Ctx run;
  // `?string.short` passes "short" to ?string rather than reading a member of its result.
  for (const char* text : {"n?string.short", "n?string[\"short\"]", "n?string.a.b"}) {
    std::string got = eval_text(run, text);
    EXPECT_EQ(std::string::npos, got.find("Expected a hash")) << text << ": " << got;
  }
  EXPECT_EQ("Expected a string, but this has evaluated to a number:\n==> 1" + kAt + "10]",
            eval_text(run, "n?string[1]"));
}

// ---- depth ----------------------------------------------------------------------------------------------

std::string repeat(std::string_view piece, int n) {
  std::string out;
  out.reserve(piece.size() * n);
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

TEST(Eval, LongChainsDoNotRecurse) {
  Ctx run;
  const int kLong = 100000;
  struct C {
    std::string expr;
    std::string want;
  };
  std::vector<C> cases = {
      {"n" + repeat(" + 1", kLong), "Int 100005"},
      {"n" + repeat(" - 1", kLong), "Int -99995"},
      {"t" + repeat(" && t", kLong / 5), "true"},
      {"false" + repeat(" || false", kLong / 5) + " || t", "true"},
      {repeat("!", kLong + 1) + "t", "false"},
      {"self" + repeat(".a", kLong), "hash"},
      {"self" + repeat("[\"a\"]", kLong / 5), "hash"},
      {"self" + repeat("()", kLong), "hash"},
      {"self" + repeat(".a()[\"b\"]", kLong / 10) + "??", "true"},
      {"\"\"" + repeat(" + \"x\"", 1000) + " == \"" + repeat("x", 1000) + "\"", "true"},
  };
  for (const C& c : cases) EXPECT_EQ(c.want, eval_text(run, c.expr)) << c.expr.substr(0, 40);
}

TEST(Eval, DeepNestingFailsCleanly) {
  Ctx run;
  const std::string too_deep = "Expression nesting is too deep to evaluate (more than " +
                               std::to_string(kMaxEvalDepth) + " levels).";
  // Nested parentheses, built directly (the parser stops at 200 levels).
  ExprPtr e;
  {
    auto leaf = make_expr<VariableExpr>(ExprKind::Variable, 1, 1);
    leaf->name = "n";
    e = ExprPtr(leaf.release());
  }
  for (int i = 0; i < 100000; ++i) {
    auto p = make_expr<ParentheticalExpr>(ExprKind::Parenthetical, 1, 1);
    p->inner = std::move(e);
    e = ExprPtr(p.release());
  }
  Result<TModel> r = eval(*run.env, *e);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(too_deep, r.error().to_user_message());
  // A right-leaning sum: n + (n + (n + ...)).
  ExprPtr sum;
  {
    auto leaf = make_expr<VariableExpr>(ExprKind::Variable, 1, 1);
    leaf->name = "n";
    sum = ExprPtr(leaf.release());
  }
  for (int i = 0; i < 100000; ++i) {
    auto b = make_expr<BinaryExpr>(ExprKind::AddConcat, 1, 1);
    auto l = make_expr<VariableExpr>(ExprKind::Variable, 1, 1);
    l->name = "n";
    b->left = ExprPtr(l.release());
    b->right = std::move(sum);
    sum = ExprPtr(b.release());
  }
  Result<TModel> r2 = eval(*run.env, *sum);
  ASSERT_FALSE(r2.ok());
  EXPECT_EQ(too_deep, r2.error().to_user_message());
  // Nesting within the limit works, and the counter is back to zero afterwards.
  EXPECT_EQ("Int 5", eval_text(run, repeat("(", 150) + "n" + repeat(")", 150)));
  EXPECT_EQ("Int 10", eval_text(run, repeat("(n + ", 150) + "0" + repeat(")", 150) + " - " +
                                         std::to_string(5 * 150 - 10)));
}

}  // namespace
}  // namespace tovarn
