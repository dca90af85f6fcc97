// control_flow_test.cpp — control-flow behaviour a template alone cannot
// show: the recover-message stack seen by #recover bodies, lazy pulling of
// collections by #list, errors of a collection's iterator, and the misuse
// messages of #sep, #items, #break and #continue outside any listing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cache/string_template_loader.h"
#include "core/attempt_block.h"
#include "core/environment.h"
#include "core/iterator_block.h"
#include "template/configuration.h"
#include "template/simple_hash.h"

namespace tovarn {
namespace {

Result<std::string> render(std::string_view source, OrderedHash data) {
  Rc<Configuration> cfg = Configuration::create();
  static_cast<StringLoader&>(*cfg->loader).put("t.tvl", source);
  ASSIGN_OR_RETURN(Rc<Template> t, cfg->get_template("t.tvl"));
  std::string out;
  TRY(t->process(TModel::from_hash(std::move(data)), out));
  return out;
}

std::string message_of(Result<std::string> r) { return r.ok() ? "<no error>" : r.error().to_user_message(); }

// `msgs()`: the recover-message stack as "{depth}:{first line of each}".
Result<TModel> recover_stack(const RefCounted*, Environment& env, std::vector<TModel>&) {
  const std::vector<std::string>& stack = env.recover_messages();
  std::string s = std::to_string(stack.size()) + ":";
  for (const std::string& m : stack) s += "[" + m.substr(0, m.find('\n')) + "]";
  return TModel::from_scalar(s);
}

TEST(Attempt, RecoverBodiesSeeTheMessagesOfTheErrorsTheyHandle) {
  struct Case {
    const char* source;
    const char* expect;
  };
  const std::vector<Case> cases = {
      {"${msgs()}<#attempt>x${nope}<#recover>${msgs()}</#attempt>${msgs()}",
       "0:1:[The following has evaluated to null or missing:]0:"},
      {"<#attempt><#stop \"a\"><#recover><#attempt><#stop \"b\"><#recover>${msgs()}</#attempt>${msgs()}</#attempt>",
       "2:[a][b]1:[a]"},
      {"<#attempt><#stop><#recover>${msgs()}</#attempt>", "1:[[No error description was available.]]"},
      {"<#attempt>ok<#recover>${msgs()}</#attempt>${msgs()}", "ok0:"},
  };
  for (const Case& c : cases) {
    OrderedHash data;
    data.put("msgs", TModel::from_method(recover_stack));
    Result<std::string> r = render(c.source, std::move(data));
    ASSERT_TRUE(r.ok()) << c.source << ": " << message_of(std::move(r));
    EXPECT_EQ(c.expect, r.value()) << c.source;
  }
}

TEST(Attempt, TheMessageStackIsPoppedWhenTheRecoverBodyFails) {
  OrderedHash data;
  data.put("msgs", TModel::from_method(recover_stack));
  Result<std::string> r =
      render("<#attempt><#attempt>${a}<#recover>${b}</#attempt><#recover>${msgs()}</#attempt>", std::move(data));
  ASSERT_TRUE(r.ok()) << message_of(std::move(r));
  EXPECT_EQ("1:[The following has evaluated to null or missing:]", r.value());
}

// An endless collection counting how many items were pulled from it; it
// fails at item `fail_at` (0 = never).
class Counter final : public ModelObject {
 public:
  explicit Counter(int fail_at) : ModelObject(ModelKind::Sequence, "collection", Cap::Collection), fail_at_(fail_at) {}
  Result<std::unique_ptr<ModelIterator>> iterator() const override {
    return std::unique_ptr<ModelIterator>(new It(*this));
  }
  mutable int pulled = 0;

 private:
  struct It final : ModelIterator {
    explicit It(const Counter& c) : c(c) {}
    Result<std::optional<TModel>> next() override {
      int n = ++c.pulled;
      if (n == c.fail_at_) return Error::misc("source broke at " + std::to_string(n));
      return std::optional<TModel>(TModel::from_int(n));
    }
    const Counter& c;
  };
  int fail_at_;
};

TEST(List, CollectionsArePulledOneItemAheadOnly) {
  auto* counter = new Counter(0);
  TModel xs(counter);
  OrderedHash data;
  data.put("xs", xs);
  Result<std::string> r = render("<#list xs as x>${x}<#sep>,</#sep><#if x == 3><#break></#if></#list>", std::move(data));
  ASSERT_TRUE(r.ok()) << message_of(std::move(r));
  EXPECT_EQ("1,2,3,", r.value());  // 3 has a next item: it was pulled to answer #sep
  EXPECT_EQ(4, counter->pulled);
}

TEST(List, AnIteratorErrorEndsTheListing) {
  struct Case {
    int fail_at;
    const char* expect_start;
  };
  // Failing at the first pull fails before the body runs; later failures
  // happen while looking ahead for has_next.
  const std::vector<Case> cases = {{1, "source broke at 1"}, {3, "source broke at 3"}};
  for (const Case& c : cases) {
    OrderedHash data;
    data.put("xs", TModel(new Counter(c.fail_at)));
    std::string msg = message_of(render("<#list xs as x>${x}<#else>none</#list>", std::move(data)));
    EXPECT_EQ(0u, msg.find(c.expect_start)) << msg;
  }
}

Element bare(ElementKind kind, std::unique_ptr<ElementData> data = nullptr) {
  Element e(kind, 1, 1);
  e.data = std::move(data);
  return e;
}

TEST(Misuse, DirectivesOutsideAListing) {
  struct Case {
    ElementKind kind;
    const char* message;
  };
  const std::vector<Case> cases = {
      {ElementKind::Sep, "#sep without iteration in context"},
      {ElementKind::Items, "#items without iteration in context"},
      {ElementKind::Break, "break is illegal outside a loop"},
      {ElementKind::Continue, "continue is illegal outside a loop"},
  };
  for (const Case& c : cases) {
    std::unique_ptr<ElementData> payload;
    if (c.kind == ElementKind::Sep) payload = std::make_unique<Sep>();
    if (c.kind == ElementKind::Items) {
      auto items = std::make_unique<Items>();
      items->loop_var = "x";
      payload = std::move(items);
    }
    Rc<Template> t = make_rc<Template>();
    t->name = "t.tvl";
    t->configuration = Configuration::create();
    t->root.push_back(bare(c.kind, std::move(payload)));
    std::string out;
    Status st = t->process(TModel::from_hash(OrderedHash()), out);
    ASSERT_FALSE(st.ok());
    // Only the message's first line: #sep/#items errors carry a trace.
    std::string msg = st.error().to_user_message();
    EXPECT_EQ(c.message, msg.substr(0, msg.find('\n'))) << element_kind_name(c.kind);
  }
}

}  // namespace
}  // namespace tovarn
