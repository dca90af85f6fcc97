// The processing environment: the run loop, output and its limit, capture,
// the exception handler modes, traces and variable lookup.
#include <gtest/gtest.h>

#include "core/environment.h"
#include "cache/string_template_loader.h"
#include "template/configuration.h"
#include "template/simple_hash.h"

namespace tovarn {
namespace {

Rc<Template> make_template(ElementList root, Settings settings = {}) {
  Rc<Configuration> cfg = Configuration::create();
  cfg->settings = std::move(settings);
  Rc<Template> t = make_rc<Template>();
  t->name = "t.tvl";
  t->root = std::move(root);
  t->configuration = cfg;
  return t;
}

Element text(std::string s, uint32_t line = 1) { return Element::make_text(std::move(s), line, 1); }

template <class... E>
ElementList list_of(E&&... e) {
  ElementList l;
  (l.push_back(std::forward<E>(e)), ...);
  return l;
}

TModel empty_hash() { return TModel::from_hash(OrderedHash()); }

Result<std::string> render(const Rc<Template>& t, TModel root = empty_hash()) {
  std::string out;
  Status st = t->process(root, out);
  if (!st.ok()) return st.take_error();
  return out;
}

TEST(Environment, RunsTextInOrder) {
  auto t = make_template(list_of(text("a"), Element(ElementKind::Comment, 1, 2), text("b")));
  EXPECT_EQ("ab", render(t).value());
}

TEST(Environment, RootMustBeAHash) {
  auto t = make_template(list_of(text("a")));
  for (TModel root : {TModel::null(), TModel::from_scalar("s"), TModel::from_int(3)}) {
    Result<std::string> r = render(t, root);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ("The data model must be a hash", r.error().to_user_message());
  }
}

TEST(Environment, FailureCarriesLocationAndTrace) {
  auto t = make_template(list_of(text("a\n"), Element(ElementKind::Fallback, 2, 3)));
  Result<std::string> r = render(t);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(
      "#fallback needs XML node support (a Java-specific feature)."
      "\n\n----\nTVL stack trace (\"~\" means nesting-related):\n"
      "\t- Failed at: #fallback  [in template \"t.tvl\" at line 2, column 3]\n----",
      r.error().to_user_message());
}

TEST(Environment, ExceptionHandlerModes) {
  const std::string trace =
      "\n\n----\nTVL stack trace (\"~\" means nesting-related):\n"
      "\t- Failed at: #fallback  [in template \"t.tvl\" at line 1, column 2]\n----";
  const std::string msg = "#fallback needs XML node support (a Java-specific feature)." + trace;
  auto escaped = [](std::string s) {
    std::string out;
    for (char c : s) {
      if (c == '"') out += "&quot;";
      else out += c;
    }
    return out;
  };
  struct Case {
    std::string handler;
    bool ok;
    std::string result;
  };
  std::vector<Case> cases = {
      {"rethrow", false, msg},
      {"Rethrow", false, msg},
      {"ignore", true, ""},
      {"DEBUG", true,
       "Tovarn template error (DEBUG mode; use RETHROW in production!):\n" + msg + "\n----\n(Java stack trace omitted)"},
      {"html_debug", true,
       "Tovarn template error (DEBUG mode; use RETHROW in production!):\n" + escaped(msg) +
           "\n----\n(Java stack trace omitted)"},
      {"loud", false, "Invalid template_exception_handler value: loud"},
  };
  for (const Case& c : cases) {
    Settings s;
    s.template_exception_handler = c.handler;
    auto t = make_template(list_of(text("lost"), Element(ElementKind::Fallback, 1, 2)), s);
    Result<std::string> r = render(t);
    ASSERT_EQ(c.ok, r.ok()) << c.handler;
    EXPECT_EQ(c.result, c.ok ? r.value() : r.error().to_user_message()) << c.handler;
  }
}

TEST(Environment, OutputLimit) {
  std::string big(kMaxOutputBytes / 2 + 1, 'x');
  auto t = make_template(list_of(text(big), text(big)));
  Result<std::string> r = render(t);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ("Template output exceeds the 67108864-byte safety limit.", r.error().to_user_message());

  auto exact = make_template(list_of(text(std::string(kMaxOutputBytes, 'y'))));
  EXPECT_EQ(kMaxOutputBytes, render(exact).value().size());
}

TEST(Environment, CaptureDivertsAndNests) {
  auto t = make_template({});
  Environment env(t, empty_hash());
  ASSERT_TRUE(env.emit("main").ok());
  ElementList inner = list_of(text("in\xFF"));
  auto [sig, captured] = env.capture(inner);
  EXPECT_TRUE(sig.is_done());
  EXPECT_EQ("in\xEF\xBF\xBD", captured);
  EXPECT_EQ("main", env.output());
}

TEST(Environment, OutputEncoding) {
  Settings s;
  s.output_encoding = "UTF-16";
  EXPECT_EQ(std::string("\xFE\xFF", 2), render(make_template({}, s)).value());
  s.output_encoding = "UTF-16LE";
  EXPECT_EQ(std::string("a\0", 2), render(make_template(list_of(text("a")), s)).value());
  s.output_encoding = "ISO-8859-1";
  EXPECT_EQ("\xE9?", render(make_template(list_of(text("\xC3\xA9\xE2\x82\xAC")), s)).value());
  s.output_encoding = "no-such-charset";
  EXPECT_EQ("Unknown output encoding: \"no-such-charset\"",
            render(make_template(list_of(text("a")), s)).error().to_user_message());
}

TEST(Environment, VariableLookupOrder) {
  auto t = make_template({});
  t->configuration->set_shared_variable("shared", TModel::from_scalar("S"));
  t->configuration->set_shared_variable("both", TModel::from_scalar("shared"));
  OrderedHash data;
  data.put("both", TModel::from_scalar("data"));
  data.put("g", TModel::from_scalar("data-g"));
  Environment env(t, TModel::from_hash(std::move(data)));
  env.set_global_variable("g", TModel::from_scalar("global"));
  env.set_global_variable("h", TModel::from_scalar("global-h"));
  env.set_variable("h", TModel::from_scalar("main-h"));

  auto get = [&](std::string_view name) -> std::string {
    Result<TModel> v = env.get_variable(name);
    if (!v.ok()) return "error: " + v.error().to_user_message().substr(0, 47);
    return std::string(v->get_scalar().value().view());
  };
  EXPECT_EQ("data", get("both"));
  EXPECT_EQ("global", get("g"));
  EXPECT_EQ("main-h", get("h"));
  EXPECT_EQ("S", get("shared"));
  EXPECT_EQ("error: The following has evaluated to null or missing:", get("nope"));
}

TEST(Environment, ClassicCompatibleMissingIsNull) {
  Settings s;
  s.classic_compatible = true;
  auto t = make_template({}, s);
  Environment env(t, empty_hash());
  Result<TModel> v = env.get_variable("nope");
  ASSERT_TRUE(v.ok());
  EXPECT_TRUE(v->is_null());
}

}  // namespace
}  // namespace tovarn

namespace tovarn {
namespace {

TEST(Environment, LookupTemplateOrder) {
  Settings s;
  s.locale = "en_US";
  auto t = make_template({}, s);
  auto& loader = static_cast<StringLoader&>(*t->configuration->loader);
  loader.put("a/b/x.tvl", "deep plain");
  loader.put("x_en_US.tvl", "root localized");
  Environment env(t, empty_hash());

  // Localized candidates come first, each expanded deepest directory first.
  Result<LookupOutcome> raw = env.lookup_template("a/b/*/x.tvl", false, std::nullopt);
  ASSERT_TRUE(raw.ok());
  ASSERT_TRUE(raw->found());
  EXPECT_EQ("x_en_US.tvl", *raw->found_name);
  EXPECT_EQ("root localized", *raw->result.raw);

  Result<LookupOutcome> none = env.lookup_template("nope.tvl", false, std::nullopt);
  ASSERT_TRUE(none.ok());
  ASSERT_FALSE(none->found());
  EXPECT_EQ("Template not found for name \"nope.tvl\".", none->missing->to_user_message());

  // With parsing, a broken more specific candidate is passed over.
  loader.put("p_en.tvl", "<#-- never closed");
  loader.put("p.tvl", "fine");
  Result<LookupOutcome> parsed = env.lookup_template("p.tvl", true, std::nullopt);
  ASSERT_TRUE(parsed.ok());
  ASSERT_TRUE(parsed->found());
  EXPECT_EQ("p.tvl", *parsed->found_name);
  EXPECT_EQ("p.tvl", parsed->result.parsed->name);
}

TEST(Environment, ResolveTemplateName) {
  auto t = make_template({});
  t->name = "pages/home.tvl";
  Environment env(t, empty_hash());
  EXPECT_EQ("pages/footer.tvl", env.resolve_template_name("footer.tvl"));
  EXPECT_EQ("lib/x.tvl", env.resolve_template_name("../lib/x.tvl"));
  EXPECT_EQ("/abs.tvl", env.resolve_template_name("/abs.tvl"));
}

}  // namespace
}  // namespace tovarn
