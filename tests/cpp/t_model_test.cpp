// t_model_test.cpp — the value model: constructors and capabilities, the
// three distinct empties, accessors and their type-mismatch messages,
// has_content, type descriptions, SimpleSequence bounds, SimpleHash order,
// internal payloads and reference counting.
#include "template/t_model.h"

#include <gtest/gtest.h>

#include "template/simple_hash.h"
#include "template/simple_sequence.h"

namespace tovarn {
namespace {

TModel str(const char* s) { return TModel::from_scalar(s); }

TModel hash_of(std::vector<std::pair<std::string, TModel>> entries) {
  OrderedHash m;
  for (auto& [k, v] : entries) m.put(k, v);
  return TModel::from_hash(std::move(m));
}

// A collection whose iterator yields `items` items, failing on the first
// next() when `fail_next`, or failing to start when `fail_start`.
class TestCollection final : public ModelObject {
 public:
  TestCollection(int items, bool fail_next, bool fail_start)
      : ModelObject(ModelKind::PythonObject, "python_object", Cap::Collection),
        items_(items), fail_next_(fail_next), fail_start_(fail_start) {}
  Result<std::unique_ptr<ModelIterator>> iterator() const override {
    if (fail_start_) return Error::misc("cannot iterate");
    return std::unique_ptr<ModelIterator>(new It(items_, fail_next_));
  }

 private:
  struct It final : ModelIterator {
    It(int n, bool fail) : left(n), fail(fail) {}
    Result<std::optional<TModel>> next() override {
      if (fail) return Error::misc("broken item");
      if (left == 0) return std::optional<TModel>();
      --left;
      return std::optional<TModel>(TModel::from_int(left));
    }
    int left;
    bool fail;
  };
  int items_;
  bool fail_next_, fail_start_;
};

// A string whose reading fails, as a host object's str() might.
class FailingScalar final : public ModelObject {
 public:
  FailingScalar() : ModelObject(ModelKind::PythonObject, "python_object", Cap::Scalar) {}
  Result<TextRef> as_string() const override { return Error::python("str() failed"); }
};

// A hash that lists "gone" among its keys without a value for it, and fails
// on "bad": exercises the default hash_entries.
class SparseHash final : public ModelObject {
 public:
  explicit SparseHash(std::vector<std::string> keys)
      : ModelObject(ModelKind::Hash, "extended_hash", Cap::Hash | Cap::HashEx), keys_(std::move(keys)) {}
  Result<std::optional<TModel>> hash_get(std::string_view key) const override {
    if (key == "bad") return Error::misc("lookup failed");
    if (key == "gone") return std::optional<TModel>();
    return std::optional<TModel>(TModel::from_scalar(std::string(key) + "!"));
  }
  Result<bool> hash_is_empty() const override { return keys_.empty(); }
  Result<uint64_t> hash_size() const override { return uint64_t{keys_.size()}; }
  Result<std::vector<std::string>> hash_keys() const override { return keys_; }

 private:
  std::vector<std::string> keys_;
};

TModel collection(int items, bool fail_next = false, bool fail_start = false) {
  return TModel(new TestCollection(items, fail_next, fail_start));
}

TEST(TModel, ConstructorsSetKindTypeAndCapabilities) {
  struct Case {
    const char* name;
    TModel v;
    ModelKind kind;
    const char* type;
    uint16_t caps;
  };
  std::vector<Case> cases = {
      {"scalar", str("x"), ModelKind::String, "string", Cap::Scalar},
      {"int", TModel::from_int(1), ModelKind::Number, "number", Cap::Number},
      {"big int", TModel::from_int(100000), ModelKind::Number, "number", Cap::Number},
      {"long", TModel::from_long(1), ModelKind::Number, "number", Cap::Number},
      {"number", TModel::from_number(TNumber::from_double(0.5)), ModelKind::Number, "number", Cap::Number},
      {"boolean", TModel::from_boolean(true), ModelKind::Boolean, "boolean", Cap::Boolean},
      {"date", TModel::from_date(DateValue{}), ModelKind::Date, "date", Cap::Date},
      {"sequence", TModel::from_sequence({}), ModelKind::Sequence, "sequence", Cap::Sequence},
      {"hash", hash_of({}), ModelKind::Hash, "extended_hash", Cap::Hash | Cap::HashEx},
      {"method", TModel::from_method(nullptr), ModelKind::Method, "method", Cap::Method},
      {"markup", TModel::from_markup("<b>", "b", OutputFormatKind::HTML), ModelKind::Markup, "markup_output",
       Cap::Scalar},
      {"gpn", TModel::gpn(), ModelKind::String, "nothing",
       Cap::Scalar | Cap::Boolean | Cap::Sequence | Cap::Hash | Cap::HashEx},
      {"null", TModel::null(), ModelKind::Null, "nothing", 0},
      {"default", TModel(), ModelKind::Null, "nothing", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.v.kind(), c.kind) << c.name;
    EXPECT_STREQ(c.v.type_name(), c.type) << c.name;
    EXPECT_EQ(c.v.caps(), c.caps) << c.name;
    EXPECT_EQ(c.v->range(), nullptr) << c.name;
  }
}

TEST(TModel, AccessorsReadTheirCapability) {
  TModel s = str("hello");
  Result<TextRef> t = s.get_scalar();
  ASSERT_TRUE(t.ok());
  EXPECT_EQ(t->view(), "hello");
  // Reading a string borrows the value's own text.
  EXPECT_FALSE(t->is_owned());
  EXPECT_EQ(t->view().data(), static_cast<SimpleScalar*>(s.get())->text().data());

  Result<TNumber> n = TModel::from_long(-9).get_number();
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(n->kind(), NumberKind::Long);
  EXPECT_EQ(n->long_value(), -9);

  EXPECT_TRUE(TModel::from_boolean(true).get_boolean().value());
  EXPECT_FALSE(TModel::from_boolean(false).get_boolean().value());

  DateValue d{1700000000, 5, 3600, DateKind::DateTime};
  Result<DateValue> got = TModel::from_date(d).get_date();
  ASSERT_TRUE(got.ok());
  EXPECT_EQ(got.value(), d);

  TModel seq = TModel::from_sequence({str("a")});
  Result<ModelObject*> so = seq.get_sequence();
  ASSERT_TRUE(so.ok());
  EXPECT_EQ(so.value(), seq.get());
  TModel h = hash_of({{"k", str("v")}});
  Result<ModelObject*> ho = h.get_hash();
  ASSERT_TRUE(ho.ok());
  EXPECT_EQ(ho.value()->hash_get("k").value()->get_scalar()->view(), "v");

  TModel m = TModel::from_markup("&lt;", "<", OutputFormatKind::XML);
  EXPECT_EQ(m.get_scalar()->view(), "&lt;");
  ASSERT_NE(m->plain_text(), nullptr);
  EXPECT_EQ(*m->plain_text(), "<");
  EXPECT_EQ(m->output_format(), OutputFormatKind::XML);
  EXPECT_EQ(TModel::from_markup("x", std::nullopt, OutputFormatKind::HTML)->plain_text(), nullptr);
  EXPECT_EQ(s->output_format(), std::nullopt);
}

TEST(TModel, AccessorTypeMismatchMessages) {
  enum Acc { Scalar, Number, Boolean, Date, Sequence, Hash };
  auto fail_message = [](const TModel& v, Acc a) -> std::string {
    switch (a) {
      case Scalar: { auto r = v.get_scalar(); return r.ok() ? "ok" : r.error().to_user_message(); }
      case Number: { auto r = v.get_number(); return r.ok() ? "ok" : r.error().to_user_message(); }
      case Boolean: { auto r = v.get_boolean(); return r.ok() ? "ok" : r.error().to_user_message(); }
      case Date: { auto r = v.get_date(); return r.ok() ? "ok" : r.error().to_user_message(); }
      case Sequence: { auto r = v.get_sequence(); return r.ok() ? "ok" : r.error().to_user_message(); }
      case Hash: { auto r = v.get_hash(); return r.ok() ? "ok" : r.error().to_user_message(); }
    }
    return "";
  };
  struct Case {
    const char* name;
    TModel v;
    Acc acc;
    const char* want;
  };
  std::vector<Case> cases = {
      {"number of string", str("1"), Number, "Expected a number, but this has evaluated to a string."},
      {"string of number (no fallback)", TModel::from_int(1), Scalar,
       "Expected a string, but this has evaluated to a number."},
      {"boolean of string", str("true"), Boolean, "Expected a boolean, but this has evaluated to a string."},
      {"date of number", TModel::from_int(0), Date, "Expected a date, but this has evaluated to a number."},
      {"sequence of hash", hash_of({}), Sequence,
       "Expected a sequence, but this has evaluated to an extended_hash."},
      {"hash of sequence", TModel::from_sequence({}), Hash, "Expected a hash, but this has evaluated to a sequence."},
      {"string of null", TModel::null(), Scalar, "Expected a string, but this has evaluated to a nothing."},
      {"number of gpn", TModel::gpn(), Number, "Expected a number, but this has evaluated to a nothing."},
      {"date of gpn", TModel::gpn(), Date, "Expected a date, but this has evaluated to a nothing."},
      {"string of method", TModel::from_method(nullptr), Scalar,
       "Expected a string, but this has evaluated to a method."},
      {"number of boolean", TModel::from_boolean(false), Number,
       "Expected a number, but this has evaluated to a boolean."},
  };
  for (const Case& c : cases) EXPECT_EQ(fail_message(c.v, c.acc), c.want) << c.name;

  Result<TNumber> r = str("x").get_number();
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().kind(), ErrorKind::UnexpectedType);
  EXPECT_EQ(r.error()->expected_type, "number");
  EXPECT_EQ(r.error()->actual_type, "string");
}

TEST(TModel, CapabilityErrorsPassThroughAccessors) {
  TModel v(new FailingScalar());
  Result<TextRef> r = v.get_scalar();
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().kind(), ErrorKind::Python);
  EXPECT_EQ(r.error().to_user_message(), "str() failed");
}

TEST(TModel, ThreeEmptiesStayApart) {
  TModel g = TModel::gpn();
  EXPECT_EQ(g.get_scalar()->view(), "");
  EXPECT_FALSE(g.get_boolean().value());
  EXPECT_EQ(g->seq_size().value(), 0u);
  EXPECT_FALSE(g->seq_get(0).ok());
  EXPECT_TRUE(g->hash_is_empty().value());
  EXPECT_EQ(g->hash_size().value(), 0u);
  EXPECT_TRUE(g->hash_keys()->empty());
  EXPECT_FALSE(g->hash_get("x").value().has_value());
  EXPECT_TRUE(g.same_object(TModel::gpn()));

  TModel n = TModel::null();
  EXPECT_TRUE(n.is_null());
  EXPECT_FALSE(g.is_null());
  EXPECT_FALSE(n.same_object(g));
  EXPECT_TRUE(n.same_object(TModel::null()));

  // A lookup that finds nothing is no value at all, not Null.
  Result<std::optional<TModel>> missing = hash_of({{"a", n}})->hash_get("b");
  ASSERT_TRUE(missing.ok());
  EXPECT_FALSE(missing->has_value());
  Result<std::optional<TModel>> present_null = hash_of({{"a", n}})->hash_get("a");
  ASSERT_TRUE(present_null->has_value());
  EXPECT_TRUE((*present_null)->is_null());
}

TEST(TModel, HasContent) {
  struct Case {
    const char* name;
    TModel v;
    bool want;
  };
  std::vector<Case> cases = {
      {"null", TModel::null(), false},
      {"gpn", TModel::gpn(), false},
      {"empty string", str(""), false},
      {"string", str(" "), true},
      {"zero", TModel::from_int(0), true},
      {"false", TModel::from_boolean(false), true},
      {"date", TModel::from_date(DateValue{}), true},
      {"method", TModel::from_method(nullptr), true},
      {"empty sequence", TModel::from_sequence({}), false},
      {"sequence of null", TModel::from_sequence({TModel::null()}), true},
      {"empty hash", hash_of({}), false},
      {"hash", hash_of({{"k", TModel::null()}}), true},
      {"empty markup", TModel::from_markup("", std::nullopt, OutputFormatKind::HTML), false},
      {"exhausted collection", collection(0), false},
      {"collection", collection(2), true},
      {"collection with error item", collection(0, true), true},
  };
  for (const Case& c : cases) {
    Result<bool> r = has_content(c.v);
    ASSERT_TRUE(r.ok()) << c.name;
    EXPECT_EQ(r.value(), c.want) << c.name;
  }
  // Errors of the capability calls are passed on.
  Result<bool> r1 = has_content(collection(0, false, true));
  ASSERT_FALSE(r1.ok());
  EXPECT_EQ(r1.error().to_user_message(), "cannot iterate");
  Result<bool> r2 = has_content(TModel(new FailingScalar()));
  ASSERT_FALSE(r2.ok());
  EXPECT_EQ(r2.error().to_user_message(), "str() failed");
}

TEST(TModel, TypeDescription) {
  struct Case {
    TModel v;
    const char* want;
  };
  std::vector<Case> cases = {
      {TModel::null(), "a Null"},
      {TModel::gpn(), "a nothing"},
      {str("x"), "a string"},
      {hash_of({}), "an extended_hash"},
      {TModel::from_sequence({}), "a sequence"},
      {TModel::from_int(1), "a number"},
      {TModel::from_boolean(true), "a boolean"},
      {TModel::from_date(DateValue{}), "a date"},
      {TModel::from_method(nullptr), "a method"},
      {TModel::from_markup("", std::nullopt, OutputFormatKind::HTML), "a markup_output"},
      {collection(0), "a python_object"},
  };
  for (const Case& c : cases) EXPECT_EQ(type_description(c.v), c.want);
}

TEST(SimpleSequence, GetAndBounds) {
  TModel s = TModel::from_sequence({str("a"), str("b"), str("c")});
  EXPECT_EQ(s->seq_size().value(), 3u);
  for (uint64_t i = 0; i < 3; ++i) {
    Result<TModel> item = s->seq_get(i);
    ASSERT_TRUE(item.ok());
    EXPECT_EQ(item->get_scalar()->view(), std::string(1, static_cast<char>('a' + i)));
  }
  struct Case {
    uint64_t index;
    const char* want;
  };
  std::vector<Case> cases = {
      {3, "Sequence index out of bounds: 3"},
      {18446744073709551615u, "Sequence index out of bounds: 18446744073709551615"},
  };
  for (const Case& c : cases) {
    Result<TModel> r = s->seq_get(c.index);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().kind(), ErrorKind::Misc);
    EXPECT_EQ(r.error().to_user_message(), c.want);
  }
  Result<TModel> e = TModel::from_sequence({})->seq_get(0);
  ASSERT_FALSE(e.ok());
  EXPECT_EQ(e.error().to_user_message(), "Sequence index out of bounds: 0");
}

TEST(SimpleHash, KeepsInsertionOrderAndLooksUpByKey) {
  OrderedHash m;
  m.put("zeta", TModel::from_int(1));
  m.put("alpha", TModel::from_int(2));
  m.put("mid", TModel::from_int(3));
  m.put("alpha", TModel::from_int(20));  // replaced in place
  TModel h = TModel::from_hash(std::move(m));

  Result<std::vector<std::string>> keys = h->hash_keys();
  ASSERT_TRUE(keys.ok());
  EXPECT_EQ(keys.value(), (std::vector<std::string>{"zeta", "alpha", "mid"}));
  EXPECT_EQ(h->hash_size().value(), 3u);
  EXPECT_FALSE(h->hash_is_empty().value());

  Result<std::vector<std::pair<std::string, TModel>>> entries = h->hash_entries();
  ASSERT_TRUE(entries.ok());
  std::vector<std::string> seen;
  for (auto& [k, v] : entries.value()) seen.push_back(k + "=" + v.get_number()->to_plain_string());
  EXPECT_EQ(seen, (std::vector<std::string>{"zeta=1", "alpha=20", "mid=3"}));

  EXPECT_EQ(h->hash_get("alpha").value()->get_number()->int_value(), 20);
  EXPECT_FALSE(h->hash_get("Alpha").value().has_value());
  EXPECT_FALSE(h->hash_get("").value().has_value());

  // Many keys: lookups still find each, order still insertion order.
  OrderedHash big;
  for (int i = 999; i >= 0; --i) big.put("k" + std::to_string(i), TModel::from_int(i));
  TModel bh = TModel::from_hash(std::move(big));
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(bh->hash_get("k" + std::to_string(i)).value()->get_number()->int_value(), i);
  EXPECT_EQ(bh->hash_keys()->front(), "k999");
  EXPECT_EQ(bh->hash_keys()->back(), "k0");
}

TEST(ModelObject, DefaultEntriesSkipMissingKeysAndPassErrors) {
  TModel h(new SparseHash({"a", "gone", "b"}));
  Result<std::vector<std::pair<std::string, TModel>>> e = h->hash_entries();
  ASSERT_TRUE(e.ok());
  ASSERT_EQ(e->size(), 2u);
  EXPECT_EQ(e.value()[0].first, "a");
  EXPECT_EQ(e.value()[0].second.get_scalar()->view(), "a!");
  EXPECT_EQ(e.value()[1].first, "b");

  Result<std::vector<std::pair<std::string, TModel>>> bad = TModel(new SparseHash({"a", "bad", "b"}))->hash_entries();
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error().to_user_message(), "lookup failed");
}

TEST(ModelObject, MissingCapabilityMethodsFail) {
  TModel n = TModel::from_int(3);
  EXPECT_FALSE(n->as_string().ok());
  EXPECT_FALSE(n->seq_size().ok());
  EXPECT_FALSE(n->hash_get("x").ok());
  EXPECT_FALSE(n->hash_keys().ok());
  EXPECT_FALSE(n->iterator().ok());
  Result<TextRef> r = TModel::from_boolean(true)->as_string();
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().to_user_message(), "Expected a string, but this has evaluated to a boolean.");
}

struct Payload : RefCounted {
  int x = 7;
};
struct DerivedPayload : Payload {};

class WithPayload final : public ModelObject {
 public:
  explicit WithPayload(Rc<RefCounted> p) : ModelObject(ModelKind::Macro, "macro", 0), p_(std::move(p)) {}
  RefCounted* internal() const noexcept override { return p_.get(); }

 private:
  Rc<RefCounted> p_;
};

TEST(TModel, InternalPayloadByExactType) {
  TModel v(new WithPayload(make_rc<Payload>()));
  ASSERT_NE(v.internal_as<Payload>(), nullptr);
  EXPECT_EQ(v.internal_as<Payload>()->x, 7);
  EXPECT_EQ(v.internal_as<DerivedPayload>(), nullptr);
  // A subclass is not the exact type asked for.
  TModel d(new WithPayload(make_rc<DerivedPayload>()));
  EXPECT_EQ(d.internal_as<Payload>(), nullptr);
  EXPECT_NE(d.internal_as<DerivedPayload>(), nullptr);
  EXPECT_EQ(str("x").internal_as<Payload>(), nullptr);
}

TEST(TModel, SmallIntsAndBooleansAreShared) {
  EXPECT_TRUE(TModel::from_int(5).same_object(TModel::from_int(5)));
  EXPECT_TRUE(TModel::from_int(-128).same_object(TModel::from_number(TNumber::from_int(-128))));
  EXPECT_TRUE(TModel::from_int(1023).same_object(TModel::from_int(1023)));
  EXPECT_FALSE(TModel::from_int(1024).same_object(TModel::from_int(1024)));
  EXPECT_FALSE(TModel::from_int(-129).same_object(TModel::from_int(-129)));
  EXPECT_TRUE(TModel::from_boolean(true).same_object(TModel::from_boolean(true)));
  EXPECT_FALSE(TModel::from_boolean(true).same_object(TModel::from_boolean(false)));
  // A Long stays a Long even when small.
  EXPECT_EQ(TModel::from_long(5).get_number()->kind(), NumberKind::Long);
  for (int32_t i : {-128, -1, 0, 1, 1023, 1024, -129}) EXPECT_EQ(TModel::from_int(i).get_number()->int_value(), i);
}

// Counts live instances, to check that the last reference frees the value.
class Tracked final : public ModelObject {
 public:
  static int live;
  Tracked() : ModelObject(ModelKind::String, "string", 0) { ++live; }
  ~Tracked() override { --live; }
};
int Tracked::live = 0;

TEST(TModel, ReferenceCountingReleasesValues) {
  {
    TModel a(new Tracked());
    EXPECT_EQ(a->ref_count(), 1u);
    {
      TModel b = a;
      TModel c;
      c = b;
      EXPECT_EQ(a->ref_count(), 3u);
      TModel d = std::move(c);
      EXPECT_EQ(a->ref_count(), 3u);
      TModel& alias = d;  // self-assignment through an alias keeps the count
      d = alias;
      d = std::move(alias);
      EXPECT_EQ(a->ref_count(), 3u);
      b = TModel::null();
      EXPECT_EQ(a->ref_count(), 2u);
    }
    EXPECT_EQ(a->ref_count(), 1u);
    // Held inside containers, released with them.
    TModel seq = TModel::from_sequence({a, a});
    OrderedHash m;
    m.put("s", seq);
    m.put("t", a);
    TModel h = TModel::from_hash(std::move(m));
    EXPECT_EQ(a->ref_count(), 4u);
    seq = TModel::null();
    EXPECT_EQ(a->ref_count(), 4u);  // the hash still holds the sequence
    {
      Result<std::optional<TModel>> got = h->hash_get("t");
      EXPECT_EQ(a->ref_count(), 5u);
    }
    h = TModel::null();
    EXPECT_EQ(a->ref_count(), 1u);
    EXPECT_EQ(Tracked::live, 1);
  }
  EXPECT_EQ(Tracked::live, 0);

  // Shared singletons survive any number of copies coming and going.
  for (int i = 0; i < 3; ++i) {
    std::vector<TModel> v(100, TModel::gpn());
    v.push_back(TModel::from_int(3));
    v.push_back(TModel::from_boolean(false));
  }
  EXPECT_GE(TModel::gpn()->ref_count(), 1u);
  EXPECT_EQ(TModel::from_int(3).get_number()->int_value(), 3);
}

TEST(DateValue, DaysAndSecondsOfDay) {
  struct Case {
    int64_t seconds;
    int64_t days;
    int32_t sod;
  };
  std::vector<Case> cases = {
      {0, 0, 0}, {86399, 0, 86399}, {86400, 1, 0}, {-1, -1, 86399}, {-86400, -1, 0}, {-86401, -2, 86399},
  };
  for (const Case& c : cases) {
    DateValue d{c.seconds, 0, 0, DateKind::DateTime};
    EXPECT_EQ(d.epoch_days(), c.days) << c.seconds;
    EXPECT_EQ(d.seconds_of_day(), c.sod) << c.seconds;
  }
}

TEST(TextRef, OwnedAndBorrowed) {
  std::string src = "abc";
  TextRef b = TextRef::borrowed(src);
  EXPECT_FALSE(b.is_owned());
  EXPECT_EQ(b.view().data(), src.data());
  TextRef o = TextRef::owned("computed text that is longer than small-string storage");
  TextRef moved = std::move(o);  // the view follows the moved string
  EXPECT_EQ(moved.view(), "computed text that is longer than small-string storage");
  TextRef small = TextRef::owned("sso");
  TextRef copy = small;
  EXPECT_EQ(copy.view(), "sso");
  EXPECT_NE(copy.view().data(), small.view().data());
  EXPECT_EQ(std::move(copy).into_string(), "sso");
  EXPECT_EQ(std::move(b).into_string(), "abc");
}

}  // namespace
}  // namespace tovarn
