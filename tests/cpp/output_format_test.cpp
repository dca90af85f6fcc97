// Output formats, escaping of printed values, the blocks that change the
// escaping state, the built-in transforms and the ?new utility classes.
#include <gtest/gtest.h>

#include <cmath>

#include "core/environment.h"
#include "core/escape_block.h"
#include "core/output_format.h"
#include "core/output_format_block.h"
#include "core/value_output.h"
#include "template/configuration.h"
#include "template/simple_hash.h"
#include "template/utility_transforms.h"

namespace tovarn {
namespace {

using OF = OutputFormatKind;

Rc<Template> make_template(Settings settings = {}) {
  Rc<Configuration> cfg = Configuration::create();
  cfg->settings = std::move(settings);
  Rc<Template> t = make_rc<Template>();
  t->name = "t.tvl";
  t->configuration = cfg;
  return t;
}

// An environment over an empty template, with the given settings.
struct Env {
  explicit Env(Settings s = {}) : tpl(make_template(std::move(s))), env(tpl, TModel::from_hash(OrderedHash())) {}
  Rc<Template> tpl;
  Environment env;
};

Settings with_format(OF format, AutoEscapingPolicy policy = AutoEscapingPolicy::Default) {
  Settings s;
  s.output_format = format;
  s.auto_escaping = policy;
  return s;
}

// The text of a result, or "ERROR: " and its message.
template <class T>
std::string text_of(Result<T> r) {
  if (!r.ok()) return "ERROR: " + r.error().to_user_message();
  if constexpr (std::is_same_v<T, TModel>) return std::string(r.value().get_scalar().value().view());
  else return std::string(r.value());
}

ElementList texts(std::initializer_list<const char*> parts) {
  ElementList l;
  for (const char* p : parts) l.push_back(Element::make_text(p, 1, 1));
  return l;
}

// ---- Format properties -----------------------------------------------------------

TEST(OutputFormat, PropertiesByFormat) {
  struct Case {
    OF format;
    bool escapes;
    bool markup_capture;
    const char* escaped;  // escape_markup of <'\{
  };
  const std::vector<Case> cases = {
      {OF::PlainText, false, false, "<'\\{"},     {OF::HTML, true, true, "&lt;&#39;\\{"},
      {OF::XML, true, true, "&lt;&apos;\\{"},      {OF::XHTML, true, true, "&lt;&#39;\\{"},
      {OF::JavaScript, false, false, "<'\\{"},    {OF::JSON, false, false, "<'\\{"},
      {OF::CSS, true, false, "<'\\{"},            {OF::RTF, true, true, "<'\\\\\\{"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(output_format_name(c.format)));
    EXPECT_EQ(c.escapes, escapes_by_default(c.format));
    EXPECT_EQ(c.markup_capture, captured_as_markup(c.format));
    EXPECT_EQ(c.escaped, escape_markup(c.format, "<'\\{"));
    EXPECT_EQ(c.escapes, initial_auto_escaping(with_format(c.format)));
    EXPECT_TRUE(initial_auto_escaping(with_format(c.format, AutoEscapingPolicy::On)));
    EXPECT_FALSE(initial_auto_escaping(with_format(c.format, AutoEscapingPolicy::Off)));
    EXPECT_EQ(c.format, parse_output_format_name(output_format_name(c.format)));
  }
  EXPECT_EQ(std::nullopt, parse_output_format_name("Html"));
  EXPECT_EQ(std::nullopt, parse_output_format_name(" HTML"));
}

TEST(OutputFormat, LegacyEscapingBanFollowsSettingsNotFlag) {
  struct Case {
    OF format;
    AutoEscapingPolicy policy;
    bool banned;
  };
  const std::vector<Case> cases = {
      {OF::HTML, AutoEscapingPolicy::Default, true}, {OF::HTML, AutoEscapingPolicy::On, true},
      {OF::HTML, AutoEscapingPolicy::Off, false},    {OF::CSS, AutoEscapingPolicy::Default, true},
      {OF::PlainText, AutoEscapingPolicy::On, false}, {OF::JSON, AutoEscapingPolicy::Default, false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.banned, legacy_escaping_banned(with_format(c.format, c.policy)));
  // #noautoesc clears the flag but not the ban.
  Env e(with_format(OF::HTML));
  e.env.set_auto_escaping(false);
  EXPECT_TRUE(legacy_escaping_banned(e.env.settings()));
}

// ---- Value to text ---------------------------------------------------------------

TEST(ValueOutput, ModelToString) {
  struct Case {
    const char* name;
    TModel value;
    std::string locale;
    std::string boolean_format;
    bool classic;
    std::string expected;
  };
  const DateValue unknown_date{};
  const std::vector<Case> cases = {
      {"string", TModel::from_scalar("a<b"), "en_US", "true,false", false, "a<b"},
      {"markup gives its markup", markup_model_with("&lt;", std::string("<"), OF::HTML), "en_US", "c", false, "&lt;"},
      {"int en", TModel::from_int(1234567), "en_US", "c", false, "1,234,567"},
      {"double de", TModel::from_number(TNumber::from_double(1234.5)), "de_DE", "c", false, "1.234,5"},
      {"boolean yes,no", TModel::from_boolean(false), "en_US", "yes,no,maybe", false, "no,maybe"},
      {"boolean c", TModel::from_boolean(true), "en_US", "c", false, "true"},
      {"classic true", TModel::from_boolean(true), "en_US", "true,false", true, "true"},
      {"classic false", TModel::from_boolean(false), "en_US", "true,false", true, ""},
      {"classic null", TModel::null(), "en_US", "c", true, ""},
      {"nothing value", TModel::gpn(), "en_US", "c", false, ""},
      {"legacy boolean default",
       TModel::from_boolean(true),
       "en_US",
       "true,false",
       false,
       "ERROR: Can't convert boolean to string automatically, because the \"boolean_format\" setting was "
       "\"true,false\", which is the legacy deprecated default"},
      {"no comma", TModel::from_boolean(true), "en_US", "y\"es", false,
       "ERROR: Setting value must be a string that contains two comma-separated values for true and false, or "
       "it must be \"c\", but it was \"y\\\"es\"."},
      {"unknown date kind", TModel::from_date(unknown_date), "en_US", "c", false,
       "ERROR: Can't convert the date-like value to string because it isn't known if it's a date (no time "
       "part), time or date-time value.\n\n----\nTip: Use ?date, ?time, or ?datetime to tell Tovarn the exact "
       "type.\n----\nTip: If you need a particular format only once, use ?string(pattern), like "
       "?string('dd.MM.yyyy HH:mm:ss'), to specify which fields to display. \n----"},
      {"null", TModel::null(), "en_US", "c", false,
       "ERROR: Expected a string or something automatically convertible to string (number, date or boolean), "
       "but this has evaluated to a nothing."},
      {"sequence", TModel::from_sequence({}), "en_US", "c", false,
       "ERROR: Expected a string or something automatically convertible to string (number, date or boolean), "
       "but this has evaluated to a sequence."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Settings s;
    s.locale = c.locale;
    s.boolean_format = c.boolean_format;
    s.classic_compatible = c.classic;
    Env e(s);
    const std::string got = text_of(model_to_string(e.env, c.value));
    if (c.expected.rfind("ERROR: ", 0) == 0) EXPECT_EQ(c.expected, got.substr(0, c.expected.size()));
    else EXPECT_EQ(c.expected, got);
  }
}

TEST(ValueOutput, BooleanFormatStrings) {
  struct Case {
    const char* setting;
    std::optional<std::pair<std::string, std::string>> expected;
  };
  const std::vector<Case> cases = {
      {"c", std::pair<std::string, std::string>("true", "false")},
      {"true,false", std::nullopt},
      {"yes", std::nullopt},
      {"y,n,m", std::pair<std::string, std::string>("y", "n,m")},
      {",", std::pair<std::string, std::string>("", "")},
  };
  for (const Case& c : cases) {
    Settings s;
    s.boolean_format = c.setting;
    Env e(s);
    EXPECT_EQ(c.expected, boolean_format_strings(e.env)) << c.setting;
  }
  Env legacy;
  EXPECT_EQ("false", text_of(boolean_format(legacy.env, false, true)));
}

TEST(ValueOutput, CustomDateFormatIsNeverDefined) {
  Env e;
  std::string out;
  Status st = format_date_value(e.env, DateValue{0, 0, 0, DateKind::Date}, "@my_fmt x", out);
  ASSERT_FALSE(st.ok());
  EXPECT_EQ("No custom date format was defined with name \"my\"", st.error().to_user_message());
}

TEST(ValueOutput, LegacyNumberText) {
  struct Case {
    TNumber n;
    int min, max;
    const char* locale;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {TNumber::from_double(1.5), 0, 0, "en_US", "2"},
      {TNumber::from_double(2.5), 0, 0, "en_US", "2"},
      {TNumber::from_double(-2.5), 0, 0, "en_US", "-2"},
      {TNumber::from_double(-0.4), 0, 0, "en_US", "0"},
      {TNumber::from_double(1.2), 2, 2, "en_US", "1.20"},
      {TNumber::from_double(1.5), 1, 1, "de_DE", "1,5"},
      {TNumber::from_double(1.5), 1, 1, "de", "1,5"},
      {TNumber::from_double(1.5), 1, 1, "en_GB", "1.5"},
      {TNumber::from_double(1.23456), 2, 4, "en_US", "1.2346"},
      {TNumber::from_double(1.1), 2, 4, "en_US", "1.10"},
      {TNumber::from_double(0.005), 0, 2, "en_US", "0"},  // half-even on the exact decimal 0.005
      {TNumber::from_double(0.015), 0, 2, "en_US", "0.02"},
      {TNumber::from_int(7), 0, 3, "en_US", "7"},
      {TNumber::from_int(-7), 2, 3, "fr_FR", "-7,00"},
      {TNumber::from_big_decimal(*BigDecimal::parse("1E+3")), 0, 1, "en_US", "1000"},
      {TNumber::from_big_decimal(*BigDecimal::parse("0.000")), 1, 2, "en_US", "0.0"},
      {TNumber::from_double(NAN), 0, 2, "en_US", "NaN"},
      {TNumber::from_float(-INFINITY), 0, 2, "en_US", "\u221E"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, legacy_number_text(c.n, c.min, c.max, c.locale)) << c.n.to_plain_string() << " m"
                                                                            << c.min << "M" << c.max;
}

// ---- Printing with escaping ---------------------------------------------------------

TEST(ValueOutput, ApplyEscapeByFormatFlagAndMarkup) {
  const TModel lt = TModel::from_scalar("<'>");
  const TModel html = markup_model_with("<b>", std::string("<b>"), OF::HTML);
  const TModel html_no_plain = markup_model_with("<b>", std::nullopt, OF::HTML);
  struct Case {
    const char* name;
    OF format;
    bool flag;
    TModel value;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"html on", OF::HTML, true, lt, "&lt;&#39;&gt;"},
      {"html off", OF::HTML, false, lt, "<'>"},
      {"xhtml on", OF::XHTML, true, lt, "&lt;&#39;&gt;"},
      {"xml on", OF::XML, true, lt, "&lt;&apos;&gt;"},
      {"css on leaves text", OF::CSS, true, lt, "<'>"},
      {"rtf on leaves text", OF::RTF, true, TModel::from_scalar("{x}"), "{x}"},
      {"plain on", OF::PlainText, true, lt, "<'>"},
      {"js on", OF::JavaScript, true, lt, "<'>"},
      {"number html on", OF::HTML, true, TModel::from_int(1000), "1,000"},
      {"same-format markup", OF::HTML, true, html, "<b>"},
      {"markup under plainText", OF::PlainText, true, html_no_plain, "<b>"},
      {"markup re-escaped from plain text", OF::XML, true, html, "&lt;b&gt;"},
      {"markup to rtf", OF::RTF, true, markup_model_with("x", std::string("{"), OF::HTML), "\\{"},
      {"markup without flag prints markup", OF::XML, false, html_no_plain, "<b>"},
      {"markup without plain text", OF::XML, true, html_no_plain,
       "ERROR: The value to print is in HTML format, which differs from the current output format, XML. Format "
       "conversion wasn't possible."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Env e(with_format(c.format));
    e.env.set_auto_escaping(c.flag);
    EXPECT_EQ(c.expected, text_of(apply_escape(e.env, c.value)));
    // print_value writes the same text.
    Status st = print_value(e.env, c.value);
    if (st.ok()) EXPECT_EQ(c.expected, e.env.output());
    else EXPECT_EQ(c.expected, "ERROR: " + st.error().to_user_message());
  }
}

TEST(ValueOutput, EscapeStackWalksInnermostFirstAndNoEscapeSkipsOne) {
  using K = EscapeState::Kind;
  struct Case {
    const char* name;
    std::vector<K> stack;  // outermost first
    bool flag;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"html", {K::HtmlEscape}, false, "&lt;&#39;"},
      {"xml", {K::XmlEscape}, false, "&lt;&apos;"},
      {"noescape inside", {K::HtmlEscape, K::NoEscape}, false, "<'"},
      {"noescape skips only the next", {K::XmlEscape, K::HtmlEscape, K::NoEscape}, false, "&lt;&apos;"},
      {"two noescapes", {K::XmlEscape, K::HtmlEscape, K::NoEscape, K::NoEscape}, false, "<'"},
      {"html then xml", {K::XmlEscape, K::HtmlEscape}, false, "&amp;lt;&amp;#39;"},
      {"stack then auto-escape", {K::HtmlEscape}, true, "&amp;lt;&amp;#39;"},
      {"only noescape, flag on", {K::NoEscape}, true, "&lt;&#39;"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Env e(with_format(OF::HTML));
    e.env.set_auto_escaping(c.flag);
    for (K k : c.stack) {
      EscapeState st;
      st.kind = k;
      e.env.escape_stack().push_back(st);
    }
    EXPECT_EQ(c.expected, text_of(apply_escape(e.env, TModel::from_scalar("<'"))));
  }
}

TEST(ValueOutput, EscapeStateClassification) {
  using K = EscapeState::Kind;
  auto builtin = [](const char* var, const char* name, bool with_args) {
    auto b = make_expr<BuiltInExpr>(ExprKind::BuiltIn, 1, 1);
    auto v = make_expr<VariableExpr>(ExprKind::Variable, 1, 1);
    v->name = var;
    b->target = std::move(v);
    b->name = name;
    if (with_args) b->args.emplace();
    return b;
  };
  const std::string x = "x";
  struct Case {
    const char* var;
    const char* builtin;
    bool args;
    K expected;
  };
  const std::vector<Case> cases = {
      {"x", "html", false, K::HtmlEscape}, {"x", "xhtml", false, K::HtmlEscape},
      {"x", "xml", false, K::XmlEscape},   {"x", "upper_case", false, K::ExprEscape},
      {"y", "html", false, K::ExprEscape}, {"x", "html", true, K::ExprEscape},
  };
  for (const Case& c : cases) {
    auto e = builtin(c.var, c.builtin, c.args);
    EXPECT_EQ(c.expected, EscapeState::for_escape(x, *e).kind) << c.var << "?" << c.builtin;
  }
}

TEST(ValueOutput, ExpressionEscapeBindsThePlaceholder) {
  // <#escape x as x + "!">, with a data-model variable x that the placeholder hides.
  auto concat = make_expr<BinaryExpr>(ExprKind::AddConcat, 1, 1);
  auto var = make_expr<VariableExpr>(ExprKind::Variable, 1, 1);
  var->name = "x";
  auto bang = make_expr<StringLiteralExpr>(ExprKind::StringLiteral, 1, 5);
  bang->text = "!";
  bang->value = TModel::from_scalar("!");
  concat->left = std::move(var);
  concat->right = std::move(bang);
  const std::string x = "x";

  OrderedHash data;
  data.put("x", TModel::from_scalar("outer"));
  data.put("n", TModel::null());
  Rc<Template> tpl = make_template();
  Environment env(tpl, TModel::from_hash(std::move(data)));
  env.escape_stack().push_back(EscapeState::for_escape(x, *concat));
  EXPECT_EQ("a!", text_of(apply_escape(env, TModel::from_scalar("a"))));
  EXPECT_EQ("3!", text_of(apply_escape(env, TModel::from_int(3))));
  // Outside the escape expression x is the data-model variable again.
  env.escape_stack().clear();
  auto plain_x = make_expr<VariableExpr>(ExprKind::Variable, 1, 1);
  plain_x->name = "x";
  EXPECT_EQ("outer", text_of(eval_to_string(env, *plain_x)));

  auto n = make_expr<VariableExpr>(ExprKind::Variable, 1, 1);
  n->name = "n";
  Result<std::string> null_text = eval_to_string(env, *n);
  ASSERT_FALSE(null_text.ok());
  EXPECT_EQ(ErrorKind::InvalidReference, null_text.error().kind());
  EXPECT_EQ("n", null_text.error()->text);
}

// ---- Blocks that change the state -----------------------------------------------------

TEST(OutputFormatBlock, StateIsRestoredAfterSuccessAndFailure) {
  ElementList ok_body = texts({"a"});
  ElementList failing_body = texts({"a"});
  failing_body.emplace_back(ElementKind::Fallback, 1, 2);

  for (const ElementList* body : {&ok_body, &failing_body}) {
    const bool fails = body == &failing_body;
    Env e(with_format(OF::PlainText));

    ExecOutcome o = run_with_output_format(e.env, OF::XML, *body);
    EXPECT_EQ(fails, o.kind == ExecOutcome::Kind::Failed);
    EXPECT_EQ(OF::PlainText, e.env.settings().output_format);
    EXPECT_FALSE(e.env.auto_escaping());  // #outputformat leaves the flag alone

    o = run_with_auto_escaping(e.env, true, *body);
    EXPECT_EQ(fails, o.kind == ExecOutcome::Kind::Failed);
    EXPECT_FALSE(e.env.auto_escaping());

    o = run_with_escape(e.env, EscapeState::no_escape(), *body);
    EXPECT_EQ(fails, o.kind == ExecOutcome::Kind::Failed);
    EXPECT_TRUE(e.env.escape_stack().empty());
    EXPECT_EQ("aaa", e.env.output());
  }
}

TEST(OutputFormatBlock, LiteralFormatNeedsNoEvaluation) {
  Env e(with_format(OF::PlainText));
  Element el(ElementKind::OutputFormat, 1, 1);
  auto payload = std::make_unique<OutputFormatBlock>();
  payload->literal_format = OF::RTF;
  payload->body = texts({"x"});
  el.data = std::move(payload);
  EXPECT_EQ(ExecOutcome::Kind::Normal, exec_output_format(e.env, el).kind);
  EXPECT_EQ("x", e.env.output());
  EXPECT_EQ(OF::PlainText, e.env.settings().output_format);
}

// ---- Markup built-ins ---------------------------------------------------------------

TEST(MarkupBuiltins, EscNoEscAndMarkupString) {
  Env html(with_format(OF::HTML));
  Result<TModel> esc = builtin_esc(html.env, TModel::from_scalar("a<b"));
  ASSERT_TRUE(esc.ok());
  EXPECT_EQ(ModelKind::Markup, esc->kind());
  EXPECT_EQ("a&lt;b", text_of(builtin_markup_string(html.env, *esc)));
  ASSERT_NE(nullptr, (*esc)->plain_text());
  EXPECT_EQ("a<b", *(*esc)->plain_text());

  Result<TModel> raw = builtin_no_esc(html.env, TModel::from_scalar("a<b"));
  ASSERT_TRUE(raw.ok());
  EXPECT_EQ(nullptr, (*raw)->plain_text());

  Env xml(with_format(OF::XML));
  // Re-escaped from the plain text for XML; without plain text it cannot be.
  EXPECT_EQ("a&lt;b", text_of(builtin_esc(xml.env, *esc)));
  EXPECT_EQ(OF::XML, builtin_esc(xml.env, *esc).value()->output_format());
  EXPECT_EQ(
      "ERROR: The left side operand of ?esc is in HTML format, which differs from the current output format, "
      "XML. Conversion wasn't possible.",
      text_of(builtin_esc(xml.env, *raw)));
  EXPECT_EQ(
      "ERROR: The left side operand of ?no_esc is in HTML format, which differs from the current output "
      "format, XML. Conversion wasn't possible.",
      text_of(builtin_no_esc(xml.env, *raw)));

  Env plain(with_format(OF::PlainText));
  EXPECT_TRUE(builtin_esc(plain.env, *raw).value().same_object(*raw));  // plainText bypasses
  EXPECT_EQ("<", text_of(builtin_esc(plain.env, TModel::from_scalar("<"))));

  Result<TModel> null_esc = builtin_esc(html.env, TModel::null());
  ASSERT_FALSE(null_esc.ok());
  EXPECT_EQ(ErrorKind::InvalidReference, null_esc.error().kind());
  EXPECT_EQ("The value is null or missing", null_esc.error()->text);

  EXPECT_EQ("ERROR: Expected a markup output, but this has evaluated to a string.",
            text_of(builtin_markup_string(html.env, TModel::from_scalar("x"))));
  Result<TModel> ms = builtin_markup_string(html.env, *raw);
  EXPECT_EQ(ModelKind::String, ms->kind());
  EXPECT_EQ(std::string("string"), ms->type_name());
}

// ---- Transforms -----------------------------------------------------------------------

TEST(Transforms, CompressText) {
  struct Case {
    const char* in;
    bool single_line;
    const char* out;
  };
  const std::vector<Case> cases = {
      {"  a  \n\n  b  ", false, "a\nb"},
      {"  a  \n\n  b  ", true, "a b"},
      {"a \r b", false, "a\rb"},
      {"a\r\nb", false, "a\r\nb"},
      {"a\n\rb", false, "a\nb"},
      {"a\t \tb", false, "a b"},
      {"a\xC2\xA0\xE3\x80\x80" "b", false, "a b"},  // U+00A0, U+3000
      {"\xC3\xA9  \xC3\xA9", false, "\xC3\xA9 \xC3\xA9"},
      {"", false, ""},
      {"   ", false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, standard_compress_text(c.in, c.single_line)) << c.in;
}

TEST(Transforms, NormalizeNewlinesText) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"a\r\nb\rc", "a\nb\nc\n"}, {"\n\nx", "\nx\n"}, {"", ""}, {"x\n", "x\n"},
      {"\r\n", ""},               {"a\r\r\nb", "a\n\nb\n"},     {"a", "a\n"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(out, normalize_newlines_text(in)) << in;
}

TEST(Transforms, HtmlEscapeEntityKeepsApostrophe) { EXPECT_EQ("'&lt;&quot;&amp;&gt;", html_escape_entity("'<\"&>")); }

// A body that writes fixed text, or fails.
class TextBody : public TemplateDirectiveBody {
 public:
  TextBody(std::string text, bool fail) : text_(std::move(text)), fail_(fail) {}
  Status render(Environment& env) override {
    TRY(env.emit(text_));
    if (fail_) return Error::misc("body failed");
    return ok();
  }

 private:
  std::string text_;
  bool fail_;
};

TEST(Transforms, SharedVariablesTransformTheirBody) {
  Rc<Configuration> cfg = Configuration::create();
  register_builtin_transforms(*cfg);
  struct Case {
    const char* var;
    NamedArgs args;
    const char* body;
    const char* out;
  };
  const std::vector<Case> cases = {
      {"html_escape", {}, "'<\"", "'&lt;&quot;"},
      {"compress", {}, "  a  \n\n  b  ", "a\nb"},
      {"compress", {{"single_line", TModel::from_boolean(true)}}, "  a  \n\n  b  ", "a b"},
      {"compress", {{"single_line", TModel::from_scalar("true")}}, " a \n b", "a\nb"},
      {"normalize_newlines", {}, "a\r\nb", "a\nb\n"},
      {"capture_output", {}, " <a> ", " <a> "},
      {"xml_escape", {}, " <a> ", " <a> "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.var);
    const TModel& t = cfg->shared_variables.at(c.var);
    EXPECT_TRUE(t.has(Cap::Transform));
    EXPECT_EQ(ModelKind::Directive, t.kind());
    EXPECT_EQ(std::string("transform"), t.type_name());
    Env e;
    e.env.output() = "[";
    TextBody body(c.body, false);
    ASSERT_TRUE(t->transform_with_body(e.env, c.args, &body).ok());
    EXPECT_EQ(std::string("[") + c.out, e.env.output());

    // A failing body writes nothing through a capturing transform.
    Env f;
    TextBody failing(c.body, true);
    Status st = t->transform_with_body(f.env, c.args, &failing);
    ASSERT_FALSE(st.ok());
    EXPECT_EQ("body failed", st.error().to_user_message());
    const bool passes_through = std::string(c.var) == "capture_output" || std::string(c.var) == "xml_escape";
    EXPECT_EQ(passes_through ? std::string(c.body) : std::string(), f.env.output());
  }
}

// ---- ?new classes -----------------------------------------------------------------------

TEST(NewUtilityClass, ClassesAndConstructorErrors) {
  const std::string low = "No error description was specified for this error; low-level message: java.lang.";
  struct Case {
    const char* cls;
    std::vector<TModel> args;
    std::string expected;  // "transform", "method", a string result, or "ERROR: ..."
  };
  const std::vector<Case> cases = {
      {"tovarn.template.utility.HtmlEscape", {}, "transform"},
      {"tovarn.template.utility.StandardCompress", {}, "transform"},
      {"tovarn.template.utility.NormalizeNewlines", {}, "transform"},
      {"tovarn.template.utility.HtmlEscape", {TModel::from_int(1)},
       "ERROR: " + low + "NoSuchMethodException: tovarn.template.utility.HtmlEscape.<init>(number)."},
      {"tovarn.template.utility.StandardCompress", {TModel::from_int(1), TModel::from_scalar("s")},
       "ERROR: " + low + "NoSuchMethodException: tovarn.template.utility.StandardCompress.<init>(number, string)."},
      {"tovarn.template.utility.ObjectConstructor", {TModel::from_int(1)}, "method"},
      {"tovarn.test.templatesuite.models.SimpleTestMethod", {}, "method"},
      {"tovarn.test.templatesuite.models.NewTestModel", {}, "default constructor"},
      {"tovarn.test.templatesuite.models.NewTestModel2", {TModel::from_scalar("x")}, "x"},
      {"tovarn.test.templatesuite.models.NewTestModel", {TModel::from_number(TNumber::from_double(2.0))}, "2"},
      {"tovarn.test.templatesuite.models.NewTestModel", {TModel::from_number(TNumber::from_double(2.5))}, "2.5"},
      {"tovarn.test.templatesuite.models.NewTestModel",
       {TModel::from_boolean(true), TModel::from_sequence({})},
       "true:sequence"},
      {"tovarn.test.templatesuite.models.NewTestModel", {TModel::from_boolean(true)},
       "ERROR: " + low + "NoSuchMethodException: tovarn.test.templatesuite.models.NewTestModel.<init>(boolean)."},
      {"tovarn.test.templatesuite.models.NewTestModel2", {TModel::from_int(1), TModel::from_int(2), TModel::from_int(3)},
       "ERROR: " + low +
           "NoSuchMethodException: tovarn.test.templatesuite.models.NewTestModel.<init>(number, number, number)."},
      {"java.util.Date", {}, "ERROR: " + low + "ClassNotFoundException: java.util.Date"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cls);
    std::vector<TModel> args = c.args;
    Result<TModel> r = new_utility_class(c.cls, args);
    if (!r.ok()) {
      EXPECT_EQ(c.expected, "ERROR: " + r.error().to_user_message());
    } else if (r->has(Cap::Scalar)) {
      EXPECT_EQ(c.expected, text_of(std::move(r)));
    } else {
      EXPECT_EQ(c.expected, r->type_name());
    }
  }
}

TEST(NewUtilityClass, MethodsBuiltByNew) {
  const std::string low = "No error description was specified for this error; low-level message: java.lang.";
  std::vector<TModel> none;
  TModel ctor = new_utility_class("tovarn.template.utility.ObjectConstructor", none).value();
  TModel test_method = new_utility_class("tovarn.test.templatesuite.models.SimpleTestMethod", none).value();
  struct Case {
    const TModel* method;
    std::vector<TModel> args;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {&ctor, {TModel::from_scalar("java.lang.Long"), TModel::from_int(5)}, "5"},
      {&ctor, {TModel::from_scalar("java.lang.Integer"), TModel::from_scalar("5")},
       "ERROR: " + low + "NoSuchMethodException: java.lang.Integer.<init>(string)."},
      {&ctor, {TModel::from_scalar("java.lang.Long")}, "ERROR: " + low + "NoSuchMethodException: java.lang.Long.<init>()."},
      {&ctor, {TModel::from_scalar("java.lang.String"), TModel::from_scalar("s"), TModel::from_int(1)}, "s"},
      {&ctor, {TModel::from_scalar("java.lang.String"), TModel::from_boolean(true)},
       "ERROR: Expected a string or number, but this has evaluated to a boolean"},
      {&ctor, {TModel::from_boolean(true)}, "ERROR: Expected a string or number, but this has evaluated to a boolean"},
      {&ctor, {TModel::from_scalar("java.io.File")}, "ERROR: " + low + "ClassNotFoundException: java.io.File"},
      {&ctor, {}, "ERROR: " + low + "IllegalArgumentException: Object constructor needs at least 1 argument."},
      {&test_method, {}, "Single argument value is: "},
      {&test_method, {TModel::from_scalar("twelve")}, "Single argument value is: 12"},
      {&test_method, {TModel::from_scalar("+007")}, "Single argument value is: 7"},
      {&test_method, {TModel::from_scalar("-12")}, "Single argument value is: -12"},
      {&test_method, {TModel::from_scalar("99999999999999999999")}, "Single argument value is: 99999999999999999999"},
      {&test_method, {TModel::from_scalar("1.5")}, "Single argument value is: 1.5"},
      {&test_method, {TModel::from_number(TNumber::from_double(3.0)), TModel::from_int(9)}, "Single argument value is: 3"},
      {&test_method, {TModel::from_sequence({})}, "Single argument value is: "},
  };
  Env e;
  for (const Case& c : cases) {
    std::vector<TModel> args = c.args;
    EXPECT_EQ(c.expected, text_of((*c.method)->call(e.env, args)));
  }

  Result<TModel> made = builtin_new(e.env, TModel::from_scalar("tovarn.template.utility.HtmlEscape"));
  ASSERT_TRUE(made.ok());
  EXPECT_EQ(ModelKind::Method, made->kind());
  std::vector<TModel> one = {TModel::from_int(1)};
  EXPECT_EQ("ERROR: " + low + "NoSuchMethodException: tovarn.template.utility.HtmlEscape.<init>(number).",
            text_of((*made)->call(e.env, one)));
}

}  // namespace
}  // namespace tovarn
