// t_model.h — TModel, the one value type templates compute with, and the
// capability interface behind it.
//
// A value is one intrusive, non-atomically ref-counted ModelObject. The object
// carries its primary kind (ModelKind), its type word for messages and a bit
// set of capabilities (Cap); each capability is a group of virtual methods
// that the value classes setting the bit implement. Asking whether a value is,
// say, a hash is a flag test; using it is one virtual call. TModel is the
// handle: copying it is a pointer copy and an increment.
//
//   TModel s = TModel::from_scalar("hi");
//   if (s.has(Cap::Scalar)) { ASSIGN_OR_RETURN(TextRef t, s.get_scalar()); use(t.view()); }
//   OrderedHash m;  m.put("name", s);          // (simple_hash.h)
//   TModel h = TModel::from_hash(std::move(m));
//   ASSIGN_OR_RETURN(std::optional<TModel> v, h->hash_get("name"));
//
// Three empties stay apart: "no value" is std::optional<TModel> without a
// value; TModel::null() is the Null value; TModel::gpn() is the "nothing"
// value that reads as "", false, an empty sequence and an empty hash.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <utility>
#include <vector>

#include "core/configurable.h"
#include "error/template_error.h"
#include "template/rc.h"
#include "template/t_number.h"

namespace tovarn {

class Environment;
class ModelObject;
class TModel;
class OrderedHash;  // simple_hash.h

// Primary kind tag. The numbers are fixed (6 and 10 are unused).
enum class ModelKind : uint8_t {
  Null = 0,
  String = 1,
  Number = 2,
  Boolean = 3,
  Date = 4,
  Sequence = 5,
  Hash = 7,
  Method = 8,
  Directive = 9,
  Markup = 11,
  PythonObject = 12,
  Macro = 13,
  Lambda = 14,
};

// Capability bits; a value's caps() is an OR of these.
struct Cap {
  enum : uint16_t {
    Scalar = 1u << 0,
    Number = 1u << 1,
    Boolean = 1u << 2,
    Date = 1u << 3,
    Sequence = 1u << 4,
    Collection = 1u << 5,
    Hash = 1u << 6,
    HashEx = 1u << 7,  // always set together with Hash
    Method = 1u << 8,
    Directive = 1u << 9,
    Transform = 1u << 10,
    Range = 1u << 11,
  };
};

// Text read from a scalar: either a view borrowed from the value (valid while
// the value it came from is alive; reading a string value allocates nothing)
// or a string computed by the value and owned here.
class TextRef {
 public:
  TextRef() = default;
  static TextRef borrowed(std::string_view v) noexcept {
    TextRef t;
    t.view_ = v;
    return t;
  }
  static TextRef owned(std::string s) noexcept {
    TextRef t;
    t.own_ = std::move(s);
    t.owned_ = true;
    return t;
  }
  TextRef(const TextRef&) = default;
  TextRef(TextRef&&) noexcept = default;
  TextRef& operator=(const TextRef&) = default;
  TextRef& operator=(TextRef&&) noexcept = default;

  std::string_view view() const noexcept { return owned_ ? std::string_view(own_) : view_; }
  operator std::string_view() const noexcept { return view(); }
  bool empty() const noexcept { return view().empty(); }
  size_t size() const noexcept { return view().size(); }
  bool is_owned() const noexcept { return owned_; }
  // The text as a std::string: moved out when owned, copied when borrowed.
  std::string into_string() && { return owned_ ? std::move(own_) : std::string(view_); }

 private:
  std::string_view view_;  // used when !owned_
  std::string own_;
  bool owned_ = false;
};

// The description of a range value, used by slicing.
struct RangeInfo {
  int64_t begin = 0;
  int64_t size = 0;  // 0 for a right-unbounded range
  bool increasing = true;
  bool right_unbounded = false;
  bool right_adaptive = false;
  bool inclusive_end = false;
};

enum class DateKind : uint8_t { Date, Time, DateTime, Unknown };

// A point in time: the UTC instant as seconds and nanoseconds since
// 1970-01-01T00:00:00Z, the zone offset (seconds east of UTC) in force where
// the value was made (local time = instant + offset) and its kind.
struct DateValue {
  int64_t epoch_seconds = 0;
  int32_t nanos = 0;  // 0 .. 999'999'999
  int32_t offset_seconds = 0;
  DateKind kind = DateKind::Unknown;

  // Days since 1970-01-01 (UTC) and seconds into that day, for the calendar code.
  int64_t epoch_days() const noexcept {
    return epoch_seconds >= 0 ? epoch_seconds / 86400 : -((-epoch_seconds + 86399) / 86400);
  }
  int32_t seconds_of_day() const noexcept { return static_cast<int32_t>(epoch_seconds - epoch_days() * 86400); }
  bool operator==(const DateValue&) const = default;
};

// Named arguments of a directive or transform call, in call order.
using NamedArgs = std::vector<std::pair<std::string, TModel>>;

// The nested content of a user-defined directive call.
class TemplateDirectiveBody {
 public:
  virtual ~TemplateDirectiveBody() = default;
  virtual Status render(Environment& env) = 0;
};

// One pass over a collection. next() yields the items, then nothing; an item
// may be an error.
class ModelIterator {
 public:
  virtual ~ModelIterator() = default;
  virtual Result<std::optional<TModel>> next() = 0;
};

// Plain function behind a method value made by TModel::from_method; `state`
// is the payload given there (may be null).
using MethodFn = Result<TModel> (*)(const RefCounted* state, Environment& env, std::vector<TModel>& args);

// The value handle. Never empty except after being moved from.
class TModel {
 public:
  // The Null value.
  TModel() noexcept;
  // Adopts a value object (takes a new reference). `p` must not be null.
  explicit TModel(ModelObject* p) noexcept;
  explicit TModel(const Rc<ModelObject>& p) noexcept : TModel(p.get()) {}
  TModel(const TModel& o) noexcept;
  TModel(TModel&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  TModel& operator=(const TModel& o) noexcept;
  TModel& operator=(TModel&& o) noexcept;
  ~TModel();

  // ---- constructors ----
  static TModel null() noexcept;  // kind Null, no capability, type "nothing"
  static TModel gpn() noexcept;   // the "nothing" value: "", false, empty sequence, empty hash
  static TModel from_scalar(std::string text);
  static TModel from_number(TNumber n);
  static TModel from_int(int32_t v);  // small values come from a shared table (no allocation)
  static TModel from_long(int64_t v);
  static TModel from_boolean(bool b) noexcept;  // one of two shared values
  static TModel from_date(DateValue d);
  static TModel from_sequence(std::vector<TModel> items);
  static TModel from_hash(OrderedHash map);  // include simple_hash.h to build the map
  // A function value: call() runs fn(state, env, args).
  static TModel from_method(MethodFn fn, Rc<RefCounted> state = {});
  // A markup value: scalar = the markup, plus its plain text when known.
  static TModel from_markup(std::string markup, std::optional<std::string> plain_text, OutputFormatKind format);

  // ---- identity ----
  ModelObject* get() const noexcept { return p_; }
  ModelObject* operator->() const noexcept { return p_; }
  ModelObject& operator*() const noexcept { return *p_; }
  bool same_object(const TModel& o) const noexcept { return p_ == o.p_; }
  inline ModelKind kind() const noexcept;
  inline const char* type_name() const noexcept;
  inline uint16_t caps() const noexcept;
  // True when every bit of `cap` is set.
  inline bool has(uint16_t cap) const noexcept;
  bool is_null() const noexcept { return kind() == ModelKind::Null; }

  // ---- accessors: the capability's result, or a type-mismatch error naming
  // the expected type ("string", "number", ...) and this value's type_name.
  // No fallback between capabilities (a number has no string).
  // A borrowed TextRef stays valid while this value is alive.
  Result<TextRef> get_scalar() const;
  Result<TNumber> get_number() const;
  Result<bool> get_boolean() const;
  Result<DateValue> get_date() const;
  // The capability object itself, borrowed for as long as this value lives.
  Result<ModelObject*> get_sequence() const;
  Result<ModelObject*> get_hash() const;

  // The internal payload when its dynamic type is exactly T, else null.
  template <class T>
  T* internal_as() const noexcept;

 private:
  ModelObject* p_;
};

// Base of every value class. Subclasses pass their kind, type word and
// capability bits, and override the methods of the capabilities they set.
// Calling a capability method whose bit is clear yields a type-mismatch error.
class ModelObject : public RefCounted {
 public:
  ModelObject(ModelKind kind, const char* type_name, uint16_t caps) noexcept
      : kind_(kind), caps_(caps), type_name_(type_name) {}

  ModelKind kind() const noexcept { return kind_; }
  const char* type_name() const noexcept { return type_name_; }
  uint16_t caps() const noexcept { return caps_; }
  bool has(uint16_t cap) const noexcept { return (caps_ & cap) == cap; }

  // Scalar.
  virtual Result<TextRef> as_string() const;
  // Number.
  virtual Result<TNumber> as_number() const;
  // Boolean.
  virtual Result<bool> as_boolean() const;
  // Date.
  virtual Result<DateValue> as_date() const;
  // Sequence: item at `index` (< size), and the item count.
  virtual Result<TModel> seq_get(uint64_t index) const;
  virtual Result<uint64_t> seq_size() const;
  // Collection: a fresh one-pass iterator.
  virtual Result<std::unique_ptr<ModelIterator>> iterator() const;
  // Hash: an absent key is no value, not an error.
  virtual Result<std::optional<TModel>> hash_get(std::string_view key) const;
  virtual Result<bool> hash_is_empty() const;
  // HashEx.
  virtual Result<uint64_t> hash_size() const;
  virtual Result<std::vector<std::string>> hash_keys() const;
  // Default: hash_keys(), then hash_get() of each key in order, keeping the
  // keys that yield a value; the first error is the result.
  virtual Result<std::vector<std::pair<std::string, TModel>>> hash_entries() const;
  // Method.
  virtual Result<TModel> call(Environment& env, std::vector<TModel>& args) const;
  // Directive: named parameters, loop variables to fill, optional body.
  virtual Status execute(Environment& env, const NamedArgs& params, std::vector<TModel>& loop_vars,
                         TemplateDirectiveBody* body) const;
  // Transform: by default transform() does nothing and transform_with_body()
  // runs transform() and then the body.
  virtual Status transform(Environment& env, const NamedArgs& args) const;
  virtual Status transform_with_body(Environment& env, const NamedArgs& args, TemplateDirectiveBody* body) const;

  // Range description (values of range expressions only).
  virtual const RangeInfo* range() const noexcept { return nullptr; }
  // Engine payload (macro, lambda, namespace, match result, host object).
  virtual RefCounted* internal() const noexcept { return nullptr; }
  // Markup values: plain text when known, and the output format.
  virtual const std::string* plain_text() const noexcept { return nullptr; }
  virtual std::optional<OutputFormatKind> output_format() const noexcept { return std::nullopt; }

 protected:
  // The error a missing capability reports.
  Error missing(const char* expected) const;

 private:
  ModelKind kind_;
  uint16_t caps_;
  const char* type_name_;
};

// ---- TModel inline members (need ModelObject complete) ----
inline TModel::TModel(ModelObject* p) noexcept : p_(p) { p_->add_ref(); }
inline TModel::TModel(const TModel& o) noexcept : p_(o.p_) {
  if (p_) p_->add_ref();
}
inline TModel& TModel::operator=(const TModel& o) noexcept {
  if (o.p_) o.p_->add_ref();
  if (p_) p_->release();
  p_ = o.p_;
  return *this;
}
inline TModel& TModel::operator=(TModel&& o) noexcept {
  if (this != &o) {
    if (p_) p_->release();
    p_ = std::exchange(o.p_, nullptr);
  }
  return *this;
}
inline TModel::~TModel() {
  if (p_) p_->release();
}
inline ModelKind TModel::kind() const noexcept { return p_->kind(); }
inline const char* TModel::type_name() const noexcept { return p_->type_name(); }
inline uint16_t TModel::caps() const noexcept { return p_->caps(); }
inline bool TModel::has(uint16_t cap) const noexcept { return p_->has(cap); }

template <class T>
T* TModel::internal_as() const noexcept {
  RefCounted* p = p_->internal();
  return p && typeid(*p) == typeid(T) ? static_cast<T*>(p) : nullptr;
}

// ---- the value classes other units use directly ----

// A string (kind String, type "string"); reading it borrows its text.
class SimpleScalar final : public ModelObject {
 public:
  explicit SimpleScalar(std::string text) noexcept
      : ModelObject(ModelKind::String, "string", Cap::Scalar), text_(std::move(text)) {}
  const std::string& text() const noexcept { return text_; }
  Result<TextRef> as_string() const override;

 private:
  std::string text_;
};

// A number held inline (kind Number, type "number").
class NumberValue final : public ModelObject {
 public:
  explicit NumberValue(TNumber n) noexcept
      : ModelObject(ModelKind::Number, "number", Cap::Number), n_(std::move(n)) {}
  const TNumber& number() const noexcept { return n_; }
  Result<TNumber> as_number() const override;

 private:
  TNumber n_;
};

// ---- algorithms ----

// Whether a value counts as non-empty for `??`, ?has_content and the like:
// Null -> false; a scalar -> non-empty text; a sequence -> size != 0; a hash
// -> not is_empty(); a collection -> yields a first item; otherwise true.
Result<bool> has_content(const TModel& v);

// "a Null" for Null, else "a"/"an" + type_name ("a string", "an extended_hash").
std::string type_description(const TModel& v);

}  // namespace tovarn
