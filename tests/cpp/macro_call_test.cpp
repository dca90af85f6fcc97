// Macro and function calls, #local and the += joins where a template alone
// cannot reach the behaviour: arguments bound in advance (?with_args data),
// a macro whose namespace is gone, #local without a macro frame, the lazy
// sequence and hash joins, and assignment into a namespace value.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cache/string_template_loader.h"
#include "core/assignment.h"
#include "core/environment.h"
#include "core/macro_def.h"
#include "core/macro_frame.h"
#include "template/configuration.h"
#include "template/simple_hash.h"

namespace tovarn {
namespace {

Rc<Template> parse(std::string_view source) {
  Rc<Configuration> cfg = Configuration::create();
  static_cast<StringLoader&>(*cfg->loader).put("t.tvl", source);
  Result<Rc<Template>> t = cfg->get_template("t.tvl");
  EXPECT_TRUE(t.ok()) << (t.ok() ? "" : t.error().to_user_message());
  return std::move(t).value();
}

TModel empty_hash() { return TModel::from_hash(OrderedHash()); }

// Output of the run, or "ERR: " and the first line of the error message.
std::string process(Environment& env) {
  std::string out;
  Status st = env.process(out);
  if (st.ok()) return out;
  std::string msg = st.error().to_user_message();
  return "ERR: " + msg.substr(0, msg.find("\n\n----"));
}

Rc<WithArgs> positional(std::vector<TModel> values, bool last) {
  auto wa = make_rc<WithArgs>();
  wa->positional = std::move(values);
  wa->last = last;
  return wa;
}

Rc<WithArgs> named(NamedArgs values) {
  auto wa = make_rc<WithArgs>();
  wa->named = true;
  wa->named_values = std::move(values);
  return wa;
}

TEST(MacroCall, WithArgsBinding) {
  struct Case {
    const char* call;
    Rc<WithArgs> args;
    std::string expect;
  };
  const std::vector<Case> cases = {
      {"<@w 3/>", positional({TModel::from_int(1), TModel::from_int(2)}, false), "[1 2 3]"},
      {"<@w 3/>", positional({TModel::from_int(1), TModel::from_int(2)}, true), "[3 1 2]"},
      {"<@w/>", positional({TModel::from_int(1), TModel::from_int(2), TModel::from_int(3)}, false), "[1 2 3]"},
      {"<@w c=9/>", named({{"a", TModel::from_int(1)}, {"b", TModel::from_int(2)}}), "[1 2 9]"},
      // The call's own argument wins over a value bound by name.
      {"<@w a=7 c=9/>", named({{"a", TModel::from_int(1)}, {"b", TModel::from_int(2)}}), "[7 2 9]"},
      {"<@w 7, 8, 9/>", named({{"a", TModel::from_int(1)}}), "[7 8 9]"},
      {"<@w c=9/>", positional({TModel::from_int(1)}, true),
       "ERR: Call can't pass parameters by name, as there's \"with args last\" in effect that specifies "
       "parameters by position."},
      {"<@w 4/>", positional({TModel::from_int(1), TModel::from_int(2), TModel::from_int(3)}, false),
       "ERR: Macro \"m\" only accepts 3 parameters, but got 4."},
  };
  for (const Case& c : cases) {
    Rc<Template> t = parse(std::string("<#macro m a b c>[${a} ${b} ${c}]</#macro>") + c.call);
    Environment env(t, empty_hash());
    env.set_global_variable("w", macro_value_with_args(*env.main_namespace()->get_macro("m"), c.args));
    EXPECT_EQ(c.expect, process(env)) << c.call;
  }
}

TEST(MacroCall, CatchAllTakesWithArgsValues) {
  struct Case {
    const char* call;
    Rc<WithArgs> args;
    std::string expect;
  };
  const std::vector<Case> cases = {
      {"<@w 3/>", positional({TModel::from_int(1), TModel::from_int(2)}, false), "1:S:2,3,"},
      {"<@w x=5/>", named({{"a", TModel::from_int(1)}, {"y", TModel::from_int(2)}}), "1:H:y=2,x=5,"},
      // No argument left over: with positional data the catch-all is an empty sequence.
      {"<@w/>", positional({TModel::from_int(1)}, false), "1:S:"},
      {"<@w/>", named({{"a", TModel::from_int(1)}}), "1:H:"},
      {"<@w 1, 2/>", named({{"x", TModel::from_int(1)}}),
       "ERR: Macro \"m\" call can't have both named and positional arguments that has to go into catch-all "
       "parameter."},
  };
  for (const Case& c : cases) {
    Rc<Template> t = parse(
        std::string("<#macro m a rest...>${a}:<#if rest?is_sequence>S:<#list rest as x>${x},</#list>"
                    "<#else>H:<#list rest as k, v>${k}=${v},</#list></#if></#macro>") +
        c.call);
    Environment env(t, empty_hash());
    env.set_global_variable("w", macro_value_with_args(*env.main_namespace()->get_macro("m"), c.args));
    EXPECT_EQ(c.expect, process(env)) << c.call;
  }
}

TEST(MacroCall, FunctionWithArgsFromExpression) {
  Rc<Template> t = parse("<#function f a b><#return a - b></#function>${w(1)}");
  Environment env(t, empty_hash());
  env.set_global_variable("w", macro_value_with_args(*env.main_namespace()->get_macro("f"),
                                                      positional({TModel::from_int(10)}, false)));
  EXPECT_EQ("9", process(env));
}

TEST(MacroCall, NamespaceNoLongerAvailable) {
  Rc<Template> t = parse("<#macro m>x</#macro><@gone/>");
  Environment env(t, empty_hash());
  Rc<MacroDef> def = env.main_namespace()->get_macro("m");
  {
    auto ns = make_rc<Namespace>("lib.tvl");
    register_macro(*ns, def);
    env.set_global_variable("gone", macro_value(ns->get_macro("m")));
  }  // the namespace dies; the value keeps the definition
  EXPECT_EQ("ERR: The macro's namespace is no longer available.", process(env));
}

TEST(MacroCall, RegisteringTwiceKeepsTheDefinition) {
  Rc<Template> t = parse("<#macro m>x</#macro>");
  auto ns = make_rc<Namespace>("t.tvl");
  register_macro(*ns, t->macros.at("m"));
  Rc<MacroDef> first = ns->get_macro("m");
  register_macro(*ns, t->macros.at("m"));
  EXPECT_TRUE(first == ns->get_macro("m"));
  EXPECT_EQ(ns.get(), first->namespace_ptr());
}

TEST(MacroCall, LocalNeedsAMacroFrame) {
  Rc<Template> t = parse("x");
  Environment env(t, empty_hash());
  Status st = set_local_variable(env, "a", TModel::from_int(1));
  ASSERT_FALSE(st.ok());
  EXPECT_EQ("Not executing macro body", st.error().to_user_message());
  EXPECT_EQ(nullptr, innermost_macro_frame(env));
}

// ---- += joins -----------------------------------------------------------------

// A sequence that counts reads, to show that a join copies nothing.
class CountingSeq final : public ModelObject {
 public:
  explicit CountingSeq(std::vector<int> items) : ModelObject(ModelKind::Sequence, "sequence", Cap::Sequence), items_(std::move(items)) {}
  Result<TModel> seq_get(uint64_t i) const override {
    ++reads;
    return TModel::from_int(items_.at(i));
  }
  Result<uint64_t> seq_size() const override { return items_.size(); }
  mutable int reads = 0;
  std::vector<int> items_;
};

// A hash that cannot list its keys.
class PlainHash final : public ModelObject {
 public:
  explicit PlainHash(std::vector<std::pair<std::string, int>> entries)
      : ModelObject(ModelKind::Hash, "hash", Cap::Hash), entries_(std::move(entries)) {}
  Result<std::optional<TModel>> hash_get(std::string_view key) const override {
    for (const auto& [k, v] : entries_)
      if (k == key) return std::optional<TModel>(TModel::from_int(v));
    return std::optional<TModel>();
  }
  Result<bool> hash_is_empty() const override { return entries_.empty(); }
  std::vector<std::pair<std::string, int>> entries_;
};

int32_t int_of(const Result<TModel>& r) { return const_cast<Result<TModel>&>(r).value().get_number().value().int_value(); }

TEST(AddConcat, SequencesJoinLazily) {
  Rc<Template> t = parse("x");
  Environment env(t, empty_hash());
  auto* left = new CountingSeq({1, 2});
  auto* right = new CountingSeq({3});
  TModel l(left), r(right);
  Result<TModel> joined = eval_add_concat(env, l, r);
  ASSERT_TRUE(joined.ok());
  const TModel& j = joined.value();
  EXPECT_TRUE(j.has(Cap::Sequence | Cap::Collection));
  EXPECT_EQ(0, left->reads + right->reads);
  EXPECT_EQ(3u, j->seq_size().value());
  EXPECT_EQ(3, int_of(j->seq_get(2)));
  EXPECT_EQ(1, right->reads);
  EXPECT_EQ(0, left->reads);
  right->items_[0] = 30;  // read again, not copied
  EXPECT_EQ(30, int_of(j->seq_get(2)));
  std::vector<int> seen;
  auto it = j->iterator().value();
  for (;;) {
    auto item = it->next();
    if (!item.value()) break;
    seen.push_back(item.value()->get_number().value().int_value());
  }
  EXPECT_EQ((std::vector<int>{1, 2, 30}), seen);
}

TEST(AddConcat, LongJoinChainsStayReadable) {
  Rc<Template> t = parse("x");
  Environment env(t, empty_hash());
  TModel s = TModel::from_sequence({});
  for (int i = 0; i < 5000; ++i) {
    Result<TModel> r = eval_add_concat(env, s, TModel::from_sequence({TModel::from_int(i)}));
    ASSERT_TRUE(r.ok());
    s = std::move(r.value());
  }
  EXPECT_EQ(5000u, s->seq_size().value());
  EXPECT_EQ(0, int_of(s->seq_get(0)));
  EXPECT_EQ(4999, int_of(s->seq_get(4999)));
}

TEST(AddConcat, PlainHashesCombineRightFirst) {
  Rc<Template> t = parse("x");
  Environment env(t, empty_hash());
  TModel a(new PlainHash({{"a", 1}, {"b", 2}}));
  TModel b(new PlainHash({{"b", 20}}));
  TModel c(new PlainHash({}));
  Result<TModel> ab = eval_add_concat(env, a, b);
  ASSERT_TRUE(ab.ok());
  const TModel& h = ab.value();
  EXPECT_TRUE(h.has(Cap::Hash));
  EXPECT_FALSE(h.has(Cap::HashEx));
  EXPECT_STREQ("hash", h.type_name());
  EXPECT_EQ(20, h->hash_get("b").value()->get_number().value().int_value());
  EXPECT_EQ(1, h->hash_get("a").value()->get_number().value().int_value());
  EXPECT_FALSE(h->hash_get("z").value().has_value());
  EXPECT_FALSE(h->hash_is_empty().value());
  Result<TModel> cc = eval_add_concat(env, c, c);
  EXPECT_TRUE(cc.value()->hash_is_empty().value());
  // A join of joins: the later operand still wins.
  Result<TModel> abc = eval_add_concat(env, h, TModel(new PlainHash({{"a", 100}})));
  EXPECT_EQ(100, abc.value()->hash_get("a").value()->get_number().value().int_value());
  EXPECT_EQ(20, abc.value()->hash_get("b").value()->get_number().value().int_value());
}

// ---- assignment into a namespace value ------------------------------------------

class NamespaceValue final : public ModelObject {
 public:
  explicit NamespaceValue(Rc<Namespace> ns) : ModelObject(ModelKind::Hash, "extended_hash", Cap::Hash), ns_(std::move(ns)) {}
  RefCounted* internal() const noexcept override { return ns_.get(); }
  Rc<Namespace> ns_;
};

TEST(Assignment, IntoANamespace) {
  Rc<Template> t = parse("<#assign a = 1, b = 2 in lib><#assign a += 10 in lib><#assign c in lib>cap</#assign>${a!'none'}");
  Environment env(t, empty_hash());
  auto lib = make_rc<Namespace>("lib.tvl");
  env.set_global_variable("lib", TModel(new NamespaceValue(lib)));
  EXPECT_EQ("none", process(env));
  ASSERT_TRUE(lib->get_variable_only("a"));
  EXPECT_EQ(11, lib->get_variable_only("a")->get_number().value().int_value());
  EXPECT_EQ(2, lib->get_variable_only("b")->get_number().value().int_value());
  EXPECT_EQ("cap", std::string(lib->get_variable_only("c")->get_scalar().value().view()));
}

}  // namespace
}  // namespace tovarn
