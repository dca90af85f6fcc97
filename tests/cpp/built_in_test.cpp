// built_in_test.cpp — the built-in framework: the name table against the
// parser's name list, parse-time resolution of `?name`, dispatch and the
// blame rule, the argument helpers and their messages, the legacy-escaping
// ban, the type tests on every kind of value, `?then`, `?switch`, the node
// built-ins and the placeholder of families not yet plugged in.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/built_in.h"
#include "core/environment.h"
#include "core/eval.h"
#include "core/macro_def.h"
#include "parser/grammar.h"
#include "parser/grammar_expression.h"
#include "parser/grammar_literals.h"
#include "template/configuration.h"
#include "template/simple_hash.h"

namespace tovarn {
namespace {

// A value with chosen kind and capabilities; its date can be made to fail.
class FakeValue final : public ModelObject {
 public:
  FakeValue(ModelKind kind, const char* type, uint16_t caps, DateKind date_kind = DateKind::Unknown,
            bool date_fails = false)
      : ModelObject(kind, type, caps), date_kind_(date_kind), date_fails_(date_fails) {}
  Result<DateValue> as_date() const override {
    if (date_fails_) return Error::misc("no date");
    DateValue d;
    d.kind = date_kind_;
    return d;
  }

 private:
  DateKind date_kind_;
  bool date_fails_;
};

TModel fake(ModelKind kind, const char* type, uint16_t caps, DateKind dk = DateKind::Unknown, bool fails = false) {
  return TModel(new FakeValue(kind, type, caps, dk, fails));
}

TModel date_of(DateKind kind) {
  DateValue d;
  d.kind = kind;
  return TModel::from_date(d);
}

// The data model every test evaluates against.
TModel data_model() {
  OrderedHash m;
  m.put("s", TModel::from_scalar("abc"));
  m.put("n", TModel::from_int(1));
  m.put("two", TModel::from_int(2));
  m.put("b", TModel::from_boolean(true));
  m.put("d_date", date_of(DateKind::Date));
  m.put("d_time", date_of(DateKind::Time));
  m.put("d_dt", date_of(DateKind::DateTime));
  m.put("d_unknown", date_of(DateKind::Unknown));
  m.put("d_broken", fake(ModelKind::Date, "date", Cap::Date, DateKind::Date, true));
  m.put("seq", TModel::from_sequence({TModel::from_int(1)}));
  m.put("coll", fake(ModelKind::PythonObject, "collection", Cap::Collection));
  m.put("seq_method", fake(ModelKind::Method, "method", Cap::Sequence | Cap::Method));
  m.put("hash", TModel::from_hash(OrderedHash()));
  m.put("plain_hash", fake(ModelKind::Hash, "hash", Cap::Hash));
  m.put("method", TModel::from_method([](const RefCounted*, Environment&, std::vector<TModel>&) -> Result<TModel> {
    return TModel::null();
  }));
  m.put("directive", fake(ModelKind::Directive, "directive", Cap::Directive));
  m.put("transform", fake(ModelKind::Directive, "transform", Cap::Transform));
  Rc<MacroDef> def = make_rc<MacroDef>();
  def->name = "m";
  m.put("macro", macro_value(def));
  m.put("lambda", fake(ModelKind::Lambda, "lambda", 0));
  m.put("markup", TModel::from_markup("&lt;", std::string("<"), OutputFormatKind::HTML));
  m.put("nothing", TModel::gpn());
  return TModel::from_hash(std::move(m));
}

// One environment over an empty template named "t.tvl", with `settings`.
struct Harness {
  explicit Harness(Settings settings = {}) : env(make_template(std::move(settings)), data_model()) {}

  static Rc<Template> make_template(Settings settings) {
    Rc<Configuration> cfg = Configuration::create();
    cfg->settings = std::move(settings);
    Rc<Template> t = make_rc<Template>();
    t->name = "t.tvl";
    t->configuration = cfg;
    return t;
  }

  // Parses `text` as the inside of "${...}" and evaluates it; a built-in at
  // the root is dispatched through call_builtin.
  Result<TModel> eval_text(std::string_view text) {
    Parser p(Rc<Configuration>(), "t.tvl", text);
    p.set_mode(LexMode::Interpolation);
    ASSIGN_OR_RETURN(ExprPtr e, parse_expression(p));
    exprs.push_back(std::move(e));
    const Expr& root = *exprs.back();
    if (root.kind == ExprKind::BuiltIn) return call_builtin(env, root.as<BuiltInExpr>());
    return eval(env, root);
  }

  // The value as a short text for comparisons: "true", "abc", "1", "null".
  std::string show(Result<TModel>& r) {
    if (!r.ok()) return "error: " + r.error().to_user_message();
    const TModel& v = *r;
    if (v.is_null()) return "null";
    if (v.has(Cap::Boolean) && !v.has(Cap::Scalar)) return v.get_boolean().value() ? "true" : "false";
    if (v.has(Cap::Number)) return v.get_number().value().to_plain_string();
    if (v.has(Cap::Scalar)) return std::string(v.get_scalar().value().view());
    return std::string("<") + v.type_name() + ">";
  }

  std::string run(std::string_view text) {
    Result<TModel> r = eval_text(text);
    return show(r);
  }

  Environment env;
  std::vector<ExprPtr> exprs;  // keeps the parsed trees alive while values point into them
};

const std::string kLoc = "  [in template \"t.tvl\" at line 1, column 1]";

// ---------------------------------------------------------------------------
// The name table

std::vector<std::string> parser_names() {
  std::vector<std::string> names;
  std::string item;
  for (char ch : builtin_names_list_text()) {
    if (ch == ',' || ch == '\n') {
      if (!item.empty()) names.push_back(item);
      item.clear();
    } else if (ch != ' ') {
      item += ch;
    }
  }
  if (!item.empty()) names.push_back(item);
  for (const char* n : {"is_odd", "is_even", "is_lambda", "is_nothing", "iso_fz", "replace_re", "has_previous"})
    names.push_back(n);
  return names;
}

TEST(BuiltinTable, MatchesTheParsersNames) {
  std::vector<std::string> names = parser_names();
  EXPECT_EQ(190u, names.size());
  std::set<std::string> table;
  for (const BuiltinImpl& b : all_builtins()) {
    EXPECT_TRUE(is_known_builtin(b.name)) << b.name;
    EXPECT_TRUE(table.insert(std::string(b.name)).second) << "duplicate " << b.name;
    EXPECT_NE(nullptr, b.fn) << b.name;
  }
  EXPECT_EQ(names.size(), table.size());
  for (const std::string& n : names) {
    const BuiltinImpl* b = find_builtin(n);
    ASSERT_NE(nullptr, b) << n;
    EXPECT_EQ(n, b->name);
  }
  for (std::string_view n : {"", "upperCase", "HTML", "nope", "is_string "}) EXPECT_EQ(nullptr, find_builtin(n)) << n;
  EXPECT_EQ(std::vector<std::string_view>{}, builtin_entries_outside_table());
}

TEST(BuiltinTable, FamiliesAndDirectDispatch) {
  struct Case {
    std::string_view name;
    BuiltinFamily family;
  };
  const std::vector<Case> cases = {
      {"is_string", BuiltinFamily::Types},       {"then", BuiltinFamily::Types},
      {"upper_case", BuiltinFamily::Strings},    {"html", BuiltinFamily::Escaping},
      {"replace_re", BuiltinFamily::Regexps},    {"sort_by", BuiltinFamily::Sequences},
      {"round", BuiltinFamily::Numbers},         {"iso_utc_fz", BuiltinFamily::Dates},
      {"has_content", BuiltinFamily::Existence}, {"keys", BuiltinFamily::Hashes},
      {"item_cycle", BuiltinFamily::LoopVariables}, {"new", BuiltinFamily::Callables},
      {"no_esc", BuiltinFamily::OutputFormats},  {"node_name", BuiltinFamily::Nodes},
  };
  for (const Case& c : cases) {
    const BuiltinImpl* b = find_builtin(c.name);
    ASSERT_NE(nullptr, b) << c.name;
    EXPECT_EQ(builtin_family_name(c.family), builtin_family_name(b->family)) << c.name;
  }
  for (const BuiltinImpl& b : all_builtins())
    EXPECT_EQ(b.name == "new" || b.name == "item_cycle", b.direct_with_args) << b.name;
  // The framework's own families are plugged in.
  for (const BuiltinImpl& b : all_builtins()) {
    if (b.family == BuiltinFamily::Types || b.family == BuiltinFamily::Nodes ||
        b.family == BuiltinFamily::OutputFormats || b.name == "new") {
      EXPECT_TRUE(b.implemented) << b.name;
    }
  }
}

// ---------------------------------------------------------------------------
// Parse-time resolution

TEST(BuiltinParse, NamesAreConvertedAndResolved) {
  struct Case {
    std::string_view text;
    std::string_view name;
  };
  for (const Case& c : std::vector<Case>{{"x?upperCase", "upper_case"},
                                         {"x?upper_case", "upper_case"},
                                         {"x?isDateLike", "is_date_like"},
                                         {"x?is_odd", "is_odd"},
                                         {"x?has_previous", "has_previous"},
                                         {"x?itemCycle(1)", "item_cycle"}}) {
    Parser p(Rc<Configuration>(), "t.tvl", c.text);
    p.set_mode(LexMode::Interpolation);
    Result<ExprPtr> r = parse_expression(p);
    ASSERT_TRUE(r.ok()) << c.text << ": " << r.error()->text;
    ASSERT_EQ(ExprKind::BuiltIn, (*r)->kind) << c.text;
    const BuiltInExpr& node = (*r)->as<BuiltInExpr>();
    EXPECT_EQ(c.name, node.name) << c.text;
    EXPECT_EQ(find_builtin(c.name), node.impl) << c.text;
  }
}

TEST(BuiltinParse, UnknownNameListsEveryBuiltin) {
  for (std::string_view name : {"UPPERCASE", "nope"}) {
    std::string text = "x?" + std::string(name);
    Parser p(Rc<Configuration>(), "t.tvl", text);
    p.set_mode(LexMode::Interpolation);
    Result<ExprPtr> r = parse_expression(p);
    ASSERT_FALSE(r.ok());
    const std::string& msg = r.error()->text;
    EXPECT_EQ(0u, msg.find("Unknown built-in: \"" + std::string(name) + "\". Help (latest version): ")) << msg;
    std::string tail = "\nThe alphabetical list of built-ins:\n" + std::string(builtin_names_list_text());
    ASSERT_GE(msg.size(), tail.size());
    EXPECT_EQ(tail, msg.substr(msg.size() - tail.size()));
  }
  EXPECT_EQ(0u, builtin_names_list_text().find("abs, absolute_template_name, ancestors, api,\n"));
}

// ---------------------------------------------------------------------------
// Dispatch

TEST(BuiltinDispatch, NotYetImplementedFamiliesFailClearly) {
  const BuiltinImpl* pending = nullptr;
  for (const BuiltinImpl& b : all_builtins())
    if (!b.implemented && b.name != "new" && b.name != "item_cycle") pending = &b;
  if (!pending) GTEST_SKIP() << "every family is plugged in";
  Harness r;
  std::string text = "s?" + std::string(pending->name);
  EXPECT_EQ("error: The ?" + std::string(pending->name) + " built-in is not implemented yet.", r.run(text));
}

TEST(BuiltinDispatch, UnresolvedNodesResolveByName) {
  Harness r;
  Parser p(Rc<Configuration>(), "t.tvl", "s?is_string");
  p.set_mode(LexMode::Interpolation);
  Result<ExprPtr> e = parse_expression(p);
  ASSERT_TRUE(e.ok());
  BuiltInExpr& node = (*e)->as<BuiltInExpr>();
  node.impl = nullptr;
  Result<TModel> v = call_builtin(r.env, node);
  EXPECT_EQ("true", r.show(v));
  node.name = "no_such_builtin";
  Result<TModel> u = call_builtin(r.env, node);
  EXPECT_EQ("error: Unknown built-in: ?no_such_builtin", r.show(u));
}

TEST(BuiltinDispatch, BlameRule) {
  Harness r;
  Parser p(Rc<Configuration>(), "t.tvl", "a.b?is_string");
  p.set_mode(LexMode::Interpolation);
  Result<ExprPtr> e = parse_expression(p);
  ASSERT_TRUE(e.ok());
  const BuiltInExpr& node = (*e)->as<BuiltInExpr>();
  BuiltinCall call{node, *node.target, nullptr};

  Error plain = blame_builtin_operand(Error::type_mismatch("string", "number"), r.env, call);
  EXPECT_EQ("For \"?is_string\" left-hand operand: Expected a string, but this has evaluated to a number:\n==> a.b" +
                kLoc,
            plain.to_user_message());

  Error blamed = Error::type_mismatch("string", "number").with_blame_at("+", "right-hand operand", "x", "t.tvl", 3, 4);
  std::string before = blamed.to_user_message();
  EXPECT_EQ(before, blame_builtin_operand(std::move(blamed), r.env, call).to_user_message());

  EXPECT_EQ("boom", blame_builtin_operand(Error::misc("boom"), r.env, call).to_user_message());
  Error ref = blame_builtin_operand(Error::invalid_reference("a"), r.env, call);
  EXPECT_EQ(ErrorKind::InvalidReference, ref.kind());
}

// ---------------------------------------------------------------------------
// Helpers

TEST(BuiltinHelpers, CheckArgCountMessages) {
  struct Case {
    std::string_view name;
    int count;  // -1: no argument list
    size_t min, max;
    std::string_view message;  // empty: accepted
  };
  const std::vector<Case> cases = {
      {"then", 1, 2, 2, "?then(...) expects 2 arguments but has received 1."},
      {"then", 3, 2, 2, "?then(...) expects 2 arguments but has received 3."},
      {"then", 2, 2, 2, ""},
      {"size", 1, 0, 0, "?size(...) expects no argument but has received 1."},
      {"size", -1, 0, 0, ""},
      {"size", 0, 0, 0, ""},
      {"url", 2, 0, 1, "?url(...) expects 0 or 1 argument but has received 2."},
      {"join", 0, 1, 3, "?join(...) expects 1 to 3 arguments but has received none."},
      {"join", -1, 1, 3, "?join(...) expects 1 to 3 arguments but has received none."},
      {"left_pad", 3, 1, 2, "?left_pad(...) expects 1 or 2 arguments but has received 3."},
      {"sort_by", 0, 1, 1, "?sort_by(...) expects 1 argument but has received none."},
      {"abc", 4, 1, 3, "?abc(...) expects 1 to 3 arguments but has received 4."},
  };
  for (const Case& c : cases) {
    ExprList list;
    for (int i = 0; i < c.count; ++i) list.push_back(make_expr<BooleanLiteralExpr>(ExprKind::BooleanLiteral, 1, 1));
    Status st = check_arg_count(c.name, c.count < 0 ? nullptr : &list, c.min, c.max);
    if (c.message.empty()) {
      EXPECT_TRUE(st.ok()) << c.name << " " << c.count;
    } else {
      ASSERT_FALSE(st.ok()) << c.message;
      EXPECT_EQ(c.message, st.error().to_user_message());
    }
  }
}

// Parses "[a, b, ...]" and reads its items as an argument list.
struct Args {
  Args(std::string_view text) {
    Parser p(Rc<Configuration>(), "t.tvl", text);
    p.set_mode(LexMode::Interpolation);
    Result<ExprPtr> r = parse_expression(p);
    EXPECT_TRUE(r.ok()) << text;
    if (r.ok()) expr = std::move(*r);
  }
  const ExprList* list() const { return &expr->as<ListLiteralExpr>().items; }
  ExprPtr expr;
};

TEST(BuiltinHelpers, ArgumentReaders) {
  Harness r;
  Args a("[n, s, nothing_here, hash.missing, [1]]");
  ASSERT_TRUE(a.expr);
  const ExprList* list = a.list();

  Result<TNumber> num = arg_number(r.env, list, 0);
  ASSERT_TRUE(num.ok());
  EXPECT_EQ("1", num->to_plain_string());
  Result<TNumber> not_num = arg_number(r.env, list, 1);
  ASSERT_FALSE(not_num.ok());
  EXPECT_EQ(ErrorKind::UnexpectedType, not_num.error().kind());
  EXPECT_EQ("Expected a number, but this has evaluated to a string.", not_num.error().to_user_message());
  EXPECT_EQ("Missing argument", arg_number(r.env, list, 5).error().to_user_message());
  EXPECT_EQ("Missing argument", arg_number(r.env, nullptr, 0).error().to_user_message());

  Result<std::string> text = arg_string(r.env, list, 1);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ("abc", *text);
  Result<std::string> undefined = arg_string(r.env, list, 2);
  ASSERT_FALSE(undefined.ok());
  EXPECT_EQ(ErrorKind::InvalidReference, undefined.error().kind());
  EXPECT_EQ("nothing_here", undefined.error()->text);
  Result<std::string> null_value = arg_string(r.env, list, 3);
  ASSERT_FALSE(null_value.ok());
  EXPECT_EQ(ErrorKind::InvalidReference, null_value.error().kind());
  EXPECT_EQ("The value is null or missing", null_value.error()->text);
  Result<std::string> seq = arg_string(r.env, list, 4);
  ASSERT_FALSE(seq.ok());
  EXPECT_EQ(ErrorKind::UnexpectedType, seq.error().kind());
  EXPECT_EQ("Missing argument", arg_string(r.env, list, 9).error().to_user_message());

  Result<std::string> target = target_string(r.env, *(*list)[1]);
  ASSERT_TRUE(target.ok());
  EXPECT_EQ("abc", *target);
  EXPECT_EQ("The value is null or missing", target_string(r.env, *(*list)[3]).error()->text);

  Result<const Expr*> first = arg_expr(list, "?contains requires one argument");
  ASSERT_TRUE(first.ok());
  EXPECT_EQ((*list)[0].get(), *first);
  ExprList empty;
  for (const ExprList* l : {static_cast<const ExprList*>(nullptr), static_cast<const ExprList*>(&empty)}) {
    Result<const Expr*> none = arg_expr(l, "?contains requires one argument");
    ASSERT_FALSE(none.ok());
    EXPECT_EQ("?contains requires one argument", none.error().to_user_message());
  }
}

TEST(BuiltinHelpers, StringSkeleton) {
  Harness r;
  Args a("[s, hash.missing, seq]");
  ASSERT_TRUE(a.expr);
  const ExprList& l = *a.list();
  auto upper = [](std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return out;
  };
  Result<TModel> ok_value = str_builtin(r.env, *l[0], upper);
  EXPECT_EQ("ABC", r.show(ok_value));
  Result<TModel> missing = str_builtin(r.env, *l[1], upper);
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(ErrorKind::InvalidReference, missing.error().kind());
  EXPECT_EQ("hash.missing", missing.error()->text);
  Result<TModel> seq = str_builtin(r.env, *l[2], upper);
  ASSERT_FALSE(seq.ok());
  EXPECT_EQ(ErrorKind::UnexpectedType, seq.error().kind());
}

TEST(BuiltinHelpers, LegacyEscapingBan) {
  struct Case {
    OutputFormatKind format;
    AutoEscapingPolicy policy;
    bool banned;
  };
  const std::vector<Case> cases = {
      {OutputFormatKind::HTML, AutoEscapingPolicy::Default, true},
      {OutputFormatKind::HTML, AutoEscapingPolicy::On, true},
      {OutputFormatKind::HTML, AutoEscapingPolicy::Off, false},
      {OutputFormatKind::XML, AutoEscapingPolicy::Default, true},
      {OutputFormatKind::XHTML, AutoEscapingPolicy::Default, true},
      {OutputFormatKind::CSS, AutoEscapingPolicy::Default, true},
      {OutputFormatKind::RTF, AutoEscapingPolicy::On, true},
      {OutputFormatKind::PlainText, AutoEscapingPolicy::On, false},
      {OutputFormatKind::PlainText, AutoEscapingPolicy::Default, false},
      {OutputFormatKind::JavaScript, AutoEscapingPolicy::On, false},
      {OutputFormatKind::JSON, AutoEscapingPolicy::Default, false},
  };
  for (const Case& c : cases) {
    Settings s;
    s.output_format = c.format;
    s.auto_escaping = c.policy;
    Harness r(s);
    Status st = check_legacy_escaping_ban(r.env, "html");
    EXPECT_EQ(c.banned, !st.ok()) << int(c.format) << " " << int(c.policy);
  }
  Settings s;
  s.output_format = OutputFormatKind::HTML;
  Harness r(s);
  Status st = check_legacy_escaping_ban(r.env, "web_safe");
  ASSERT_FALSE(st.ok());
  EXPECT_EQ(
      "Using ?web_safe (legacy escaping) is not allowed when auto-escaping is on with a markup output format "
      "(HTML), to avoid double-escaping mistakes.",
      st.error().to_user_message());
}

// ---------------------------------------------------------------------------
// Type tests

const std::vector<std::string_view> kTypeTests = {
    "has_api",      "is_boolean",   "is_collection", "is_collection_ex", "is_date",      "is_date_like",
    "is_date_only", "is_datetime",  "is_directive",  "is_enumerable",    "is_hash",      "is_hash_ex",
    "is_indexable", "is_lambda",    "is_macro",      "is_markup_output", "is_method",    "is_node",
    "is_nothing",   "is_number",    "is_sequence",   "is_string",        "is_time",      "is_transform",
    "is_unknown_date_like"};

TEST(BuiltinTypes, EveryKindOfValue) {
  struct Case {
    std::string_view target;
    std::set<std::string_view> true_for;
  };
  const std::vector<Case> cases = {
      {"s", {"is_string"}},
      {"n", {"is_number"}},
      {"b", {"is_boolean"}},
      {"d_date", {"is_date", "is_date_like", "is_date_only"}},
      {"d_time", {"is_date", "is_date_like", "is_time"}},
      {"d_dt", {"is_date", "is_date_like", "is_datetime"}},
      {"d_unknown", {"is_date", "is_date_like", "is_unknown_date_like"}},
      {"d_broken", {"is_date", "is_date_like"}},
      {"seq", {"is_sequence", "is_indexable", "is_enumerable"}},
      {"coll", {"is_collection", "is_enumerable"}},
      {"seq_method", {"is_indexable", "is_method"}},
      {"hash", {"is_hash", "is_hash_ex"}},
      {"plain_hash", {"is_hash"}},
      {"method", {"is_method"}},
      {"directive", {"is_directive"}},
      {"transform", {"is_directive", "is_transform"}},
      {"macro", {"is_directive", "is_macro"}},
      {"lambda", {"is_lambda"}},
      {"markup", {"is_string", "is_markup_output"}},
      {"nothing",
       {"is_string", "is_boolean", "is_sequence", "is_indexable", "is_enumerable", "is_hash", "is_hash_ex",
        "is_nothing"}},
      {"hash.missing", {"is_nothing"}},
      {"undefined_var", {}},
      {"undefined_var.x", {}},
      {"(undefined_var)", {}},
  };
  Harness r;
  for (const Case& c : cases)
    for (std::string_view test : kTypeTests) {
      std::string text = std::string(c.target) + "?" + std::string(test);
      EXPECT_EQ(c.true_for.count(test) ? "true" : "false", r.run(text)) << text;
    }
}

TEST(BuiltinTypes, ArgumentsAreIgnoredAndOtherErrorsPropagate) {
  Harness r;
  EXPECT_EQ("true", r.run("s?is_string(1, 2)"));
  EXPECT_EQ("true", r.run("s?isString(undefined_var)"));
  EXPECT_EQ("error: ?then(...) expects 2 arguments but has received 1.", r.run("(b?then(1))?is_number"));
  EXPECT_EQ("error: Can't compare values of these types. Allowed comparisons are between two numbers, two "
            "strings, two dates, or two booleans.",
            r.run("(1 == \"1\")?is_boolean"));
}

// ---------------------------------------------------------------------------
// ?then and ?switch

TEST(BuiltinConditionals, Then) {
  struct Case {
    std::string_view text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"b?then(1, 2)", "1"},
      {"(n == 2)?then(1, 2)", "2"},
      {"true?then(\"yes\", undefined_var)", "yes"},
      {"false?then(undefined_var, \"no\")", "no"},
      {"nothing?then(1, 2)", "2"},
      {"b?then(1)", "error: ?then(...) expects 2 arguments but has received 1."},
      {"b?then(1, 2, 3)", "error: ?then(...) expects 2 arguments but has received 3."},
      {"b?then", "error: ?then(...) expects 2 arguments but has received none."},
      {"s?then(1, 2)",
       "error: For \"?then\" left-hand operand: Expected a boolean, but this has evaluated to a string:\n==> s" + kLoc},
      {"b?then(undefined_var, 1)", "error: The following has evaluated to null or missing:\n==> undefined_var"},
  };
  Harness r;
  for (const Case& c : cases) {
    std::string got = r.run(c.text);
    if (c.expected.rfind("error: The following", 0) == 0) {
      EXPECT_EQ(0u, got.find(c.expected)) << c.text << ": " << got;
    } else {
      EXPECT_EQ(c.expected, got) << c.text;
    }
  }
  // A branch that yields the Null value is reported as missing, naming the branch.
  Result<TModel> null_branch = r.eval_text("b?then(hash.missing, 1)");
  ASSERT_FALSE(null_branch.ok());
  EXPECT_EQ(ErrorKind::InvalidReference, null_branch.error().kind());
  EXPECT_EQ("hash.missing", null_branch.error()->text);
}

TEST(BuiltinConditionals, Switch) {
  const std::string no_match =
      "error: The value before ?switch(case1, value1, case2, value2, ...) didn't match any of the cases, and there "
      "was no default value (the last argument without a case before it).";
  struct Case {
    std::string_view text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"two?switch(1, \"one\")", no_match},
      {"two?switch(1, \"one\", \"other\")", "other"},
      {"two?switch(1, \"one\", 2, \"two\", \"other\")", "two"},
      {"n?switch(1, \"first\", 1, \"second\")", "first"},
      {"n?switch(1, \"a\", undefined_var, \"b\")", "a"},
      {"n?switch(1, \"a\", 2, undefined_var)", "a"},
      {"s?switch(\"x\", 1, \"abc\", 2)", "2"},
      {"s?switch", "error: ?switch expects arguments"},
      {"s?switch()", "error: ?switch must have at least 2 arguments"},
      {"s?switch(1)", "error: ?switch must have at least 2 arguments"},
      {"s?switch(1, 2)",
       "error: Can't compare values of these types. Allowed comparisons are between two numbers, two strings, two "
       "dates, or two booleans."},
  };
  Harness r;
  for (const Case& c : cases) EXPECT_EQ(c.expected, r.run(c.text)) << c.text;

  struct Missing {
    std::string_view text;
    std::string_view named;
  };
  for (const Missing& m : std::vector<Missing>{{"hash.missing?switch(1, 2)", "hash.missing"},
                                               {"two?switch(1, 2, hash.missing)", "hash.missing"},
                                               {"n?switch(1, hash.x)", "hash.x"},
                                               {"undefined_var?switch(1, 2)", "undefined_var"}}) {
    Result<TModel> v = r.eval_text(m.text);
    ASSERT_FALSE(v.ok()) << m.text;
    EXPECT_EQ(ErrorKind::InvalidReference, v.error().kind()) << m.text;
    EXPECT_EQ(m.named, v.error()->text) << m.text;
  }
}

// ---------------------------------------------------------------------------
// Node built-ins

TEST(BuiltinNodes, NoValueIsANode) {
  Harness r;
  EXPECT_EQ("error: For \"?children\" left-hand operand: Expected a node, but this has evaluated to a string:\n==> s" +
                kLoc,
            r.run("s?children"));
  Result<TModel> missing = r.eval_text("undefined_var?parent");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(ErrorKind::InvalidReference, missing.error().kind());
}

// ---------------------------------------------------------------------------
// Built-ins that hand the evaluated target to their subject's unit

TEST(BuiltinOnTarget, MarkupAndNew) {
  Settings html;
  html.output_format = OutputFormatKind::HTML;
  Harness r(html);
  Result<TModel> esc = r.eval_text("\"a<b\"?esc");
  ASSERT_TRUE(esc.ok()) << esc.error().to_user_message();
  EXPECT_TRUE(esc->kind() == ModelKind::Markup);
  EXPECT_EQ("a&lt;b", r.show(esc));
  EXPECT_EQ("a<b", r.run("(\"a<b\"?no_esc)?markup_string"));
  EXPECT_EQ("error: For \"?markup_string\" left-hand operand: Expected a markup output, but this has evaluated "
            "to a string:\n==> s" + kLoc,
            r.run("s?markup_string"));
  Result<TModel> missing = r.eval_text("undefined_var?esc");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ("undefined_var", missing.error()->text);

  const std::string model = "\"tovarn.test.templatesuite.models.NewTestModel\"";
  EXPECT_EQ("default constructor", r.run(model + "?new()"));
  EXPECT_EQ("1:nothing", r.run(model + "?new(1, undefined_var)"));
  EXPECT_EQ("<method>", r.run(model + "?new"));
  EXPECT_EQ("<transform>", r.run("\"tovarn.template.utility.HtmlEscape\"?new()"));
  std::string no_method = r.run("\"tovarn.template.utility.HtmlEscape\"?new(1)");
  EXPECT_NE(std::string::npos, no_method.find("NoSuchMethodException")) << no_method;
  EXPECT_EQ(".<init>(number).", no_method.substr(no_method.size() - 16));
}

}  // namespace
}  // namespace tovarn
