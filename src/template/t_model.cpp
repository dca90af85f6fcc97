// t_model.cpp — the shared singletons (Null, "nothing", booleans, small
// integers), the ready-made value classes, TModel's constructors and
// accessors, and has_content / type_description.
#include "template/t_model.h"

#include "template/simple_hash.h"
#include "template/simple_sequence.h"

namespace tovarn {

namespace {

// Creates a value that is never freed: the extra reference keeps the count
// above zero for the life of the process.
template <class T, class... Args>
T* immortal(Args&&... args) {
  T* p = new T(std::forward<Args>(args)...);
  p->add_ref();
  return p;
}

class NullValue final : public ModelObject {
 public:
  NullValue() noexcept : ModelObject(ModelKind::Null, "nothing", 0) {}
};

// The "nothing" value: empty text, false, empty sequence, empty hash at once.
class NothingValue final : public ModelObject {
 public:
  NothingValue() noexcept
      : ModelObject(ModelKind::String, "nothing", Cap::Scalar | Cap::Boolean | Cap::Sequence | Cap::Hash | Cap::HashEx) {}
  Result<TextRef> as_string() const override { return TextRef(); }
  Result<bool> as_boolean() const override { return false; }
  Result<TModel> seq_get(uint64_t index) const override {
    return Error::misc("Sequence index out of bounds: " + std::to_string(index));
  }
  Result<uint64_t> seq_size() const override { return uint64_t{0}; }
  Result<std::optional<TModel>> hash_get(std::string_view) const override { return std::optional<TModel>(); }
  Result<bool> hash_is_empty() const override { return true; }
  Result<uint64_t> hash_size() const override { return uint64_t{0}; }
  Result<std::vector<std::string>> hash_keys() const override { return std::vector<std::string>(); }
};

class SimpleBoolean final : public ModelObject {
 public:
  explicit SimpleBoolean(bool b) noexcept : ModelObject(ModelKind::Boolean, "boolean", Cap::Boolean), b_(b) {}
  Result<bool> as_boolean() const override { return b_; }

 private:
  bool b_;
};

class SimpleDate final : public ModelObject {
 public:
  explicit SimpleDate(DateValue d) noexcept : ModelObject(ModelKind::Date, "date", Cap::Date), d_(d) {}
  Result<DateValue> as_date() const override { return d_; }

 private:
  DateValue d_;
};

class MethodValue final : public ModelObject {
 public:
  MethodValue(MethodFn fn, Rc<RefCounted> state) noexcept
      : ModelObject(ModelKind::Method, "method", Cap::Method), fn_(fn), state_(std::move(state)) {}
  Result<TModel> call(Environment& env, std::vector<TModel>& args) const override {
    return fn_(state_.get(), env, args);
  }

 private:
  MethodFn fn_;
  Rc<RefCounted> state_;
};

class MarkupValue final : public ModelObject {
 public:
  MarkupValue(std::string markup, std::optional<std::string> plain, OutputFormatKind format) noexcept
      : ModelObject(ModelKind::Markup, "markup_output", Cap::Scalar),
        markup_(std::move(markup)),
        plain_(std::move(plain)),
        format_(format) {}
  Result<TextRef> as_string() const override { return TextRef::borrowed(markup_); }
  const std::string* plain_text() const noexcept override { return plain_ ? &*plain_ : nullptr; }
  std::optional<OutputFormatKind> output_format() const noexcept override { return format_; }

 private:
  std::string markup_;
  std::optional<std::string> plain_;
  OutputFormatKind format_;
};

// Preallocated Int values, so that making or printing a small integer (loop
// indexes, sizes, counters) allocates nothing.
constexpr int32_t kSmallIntMin = -128;
constexpr int32_t kSmallIntMax = 1023;

ModelObject* small_int(int32_t v) {
  static ModelObject** table = [] {
    auto** t = new ModelObject*[kSmallIntMax - kSmallIntMin + 1];
    for (int32_t i = kSmallIntMin; i <= kSmallIntMax; ++i)
      t[i - kSmallIntMin] = immortal<NumberValue>(TNumber::from_int(i));
    return t;
  }();
  return table[v - kSmallIntMin];
}

bool is_small(int64_t v) { return v >= kSmallIntMin && v <= kSmallIntMax; }

ModelObject* null_object() {
  static ModelObject* p = immortal<NullValue>();
  return p;
}

}  // namespace

// ---- ModelObject defaults: a capability that is not there ----

Error ModelObject::missing(const char* expected) const { return Error::type_mismatch(expected, type_name_); }

Result<TextRef> ModelObject::as_string() const { return missing("string"); }
Result<TNumber> ModelObject::as_number() const { return missing("number"); }
Result<bool> ModelObject::as_boolean() const { return missing("boolean"); }
Result<DateValue> ModelObject::as_date() const { return missing("date"); }
Result<TModel> ModelObject::seq_get(uint64_t) const { return missing("sequence"); }
Result<uint64_t> ModelObject::seq_size() const { return missing("sequence"); }
Result<std::unique_ptr<ModelIterator>> ModelObject::iterator() const { return missing("collection"); }
Result<std::optional<TModel>> ModelObject::hash_get(std::string_view) const { return missing("hash"); }
Result<bool> ModelObject::hash_is_empty() const { return missing("hash"); }
Result<uint64_t> ModelObject::hash_size() const { return missing("hash"); }
Result<std::vector<std::string>> ModelObject::hash_keys() const { return missing("hash"); }

Result<std::vector<std::pair<std::string, TModel>>> ModelObject::hash_entries() const {
  ASSIGN_OR_RETURN(std::vector<std::string> keys, hash_keys());
  std::vector<std::pair<std::string, TModel>> out;
  out.reserve(keys.size());
  for (std::string& k : keys) {
    ASSIGN_OR_RETURN(std::optional<TModel> v, hash_get(k));
    if (v) out.emplace_back(std::move(k), std::move(*v));
  }
  return out;
}

Result<TModel> ModelObject::call(Environment&, std::vector<TModel>&) const { return missing("method"); }

Status ModelObject::execute(Environment&, const NamedArgs&, std::vector<TModel>&, TemplateDirectiveBody*) const {
  return missing("directive");
}

Status ModelObject::transform(Environment&, const NamedArgs&) const { return ok(); }

Status ModelObject::transform_with_body(Environment& env, const NamedArgs& args, TemplateDirectiveBody* body) const {
  TRY(transform(env, args));
  if (body) TRY(body->render(env));
  return ok();
}

Result<TextRef> SimpleScalar::as_string() const { return TextRef::borrowed(text_); }
Result<TNumber> NumberValue::as_number() const { return n_; }

// ---- TModel ----

TModel::TModel() noexcept : p_(null_object()) { p_->add_ref(); }

TModel TModel::null() noexcept { return TModel(null_object()); }

TModel TModel::gpn() noexcept {
  static ModelObject* p = immortal<NothingValue>();
  return TModel(p);
}

TModel TModel::from_scalar(std::string text) { return TModel(new SimpleScalar(std::move(text))); }

TModel TModel::from_number(TNumber n) {
  if (n.kind() == NumberKind::Int && is_small(n.int_value())) return TModel(small_int(n.int_value()));
  return TModel(new NumberValue(std::move(n)));
}

TModel TModel::from_int(int32_t v) {
  if (is_small(v)) return TModel(small_int(v));
  return TModel(new NumberValue(TNumber::from_int(v)));
}

TModel TModel::from_long(int64_t v) { return TModel(new NumberValue(TNumber::from_long(v))); }

TModel TModel::from_boolean(bool b) noexcept {
  static ModelObject* t = immortal<SimpleBoolean>(true);
  static ModelObject* f = immortal<SimpleBoolean>(false);
  return TModel(b ? t : f);
}

TModel TModel::from_date(DateValue d) { return TModel(new SimpleDate(d)); }

TModel TModel::from_sequence(std::vector<TModel> items) { return TModel(new SimpleSequence(std::move(items))); }

TModel TModel::from_hash(OrderedHash map) { return TModel(new SimpleHash(std::move(map))); }

TModel TModel::from_method(MethodFn fn, Rc<RefCounted> state) { return TModel(new MethodValue(fn, std::move(state))); }

TModel TModel::from_markup(std::string markup, std::optional<std::string> plain_text, OutputFormatKind format) {
  return TModel(new MarkupValue(std::move(markup), std::move(plain_text), format));
}

Result<TextRef> TModel::get_scalar() const {
  if (!has(Cap::Scalar)) return Error::type_mismatch("string", type_name());
  return p_->as_string();
}

Result<TNumber> TModel::get_number() const {
  if (!has(Cap::Number)) return Error::type_mismatch("number", type_name());
  return p_->as_number();
}

Result<bool> TModel::get_boolean() const {
  if (!has(Cap::Boolean)) return Error::type_mismatch("boolean", type_name());
  return p_->as_boolean();
}

Result<DateValue> TModel::get_date() const {
  if (!has(Cap::Date)) return Error::type_mismatch("date", type_name());
  return p_->as_date();
}

Result<ModelObject*> TModel::get_sequence() const {
  if (!has(Cap::Sequence)) return Error::type_mismatch("sequence", type_name());
  return p_;
}

Result<ModelObject*> TModel::get_hash() const {
  if (!has(Cap::Hash)) return Error::type_mismatch("hash", type_name());
  return p_;
}

// ---- algorithms ----

Result<bool> has_content(const TModel& v) {
  if (v.kind() == ModelKind::Null) return false;
  const ModelObject& o = *v;
  if (o.has(Cap::Scalar)) {
    ASSIGN_OR_RETURN(TextRef t, o.as_string());
    return !t.empty();
  }
  if (o.has(Cap::Sequence)) {
    ASSIGN_OR_RETURN(uint64_t n, o.seq_size());
    return n != 0;
  }
  if (o.has(Cap::Hash)) {
    ASSIGN_OR_RETURN(bool empty, o.hash_is_empty());
    return !empty;
  }
  if (o.has(Cap::Collection)) {
    ASSIGN_OR_RETURN(std::unique_ptr<ModelIterator> it, o.iterator());
    Result<std::optional<TModel>> first = it->next();
    if (!first.ok()) return true;  // an error item still counts as an item
    return first.value().has_value();
  }
  return true;
}

std::string type_description(const TModel& v) {
  if (v.kind() == ModelKind::Null) return "a Null";
  std::string_view t = v.type_name();
  bool vowel = !t.empty() && std::string_view("aeiou").find(t[0]) != std::string_view::npos;
  return (vowel ? "an " : "a ") + std::string(t);
}

}  // namespace tovarn
