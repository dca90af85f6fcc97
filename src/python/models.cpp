// models.cpp — the capabilities of live Python values: each operation goes
// to the Python object through the object protocol and turns a raised Python
// exception into an engine error ("{type}: {message}" plus the traceback).
#include "python/models.h"

#include <climits>

#include "python/bridge.h"
#include "python/errors.h"

namespace tovarn::py {

namespace {

struct Shape {
  ModelKind kind;
  const char* type_name;
  uint16_t caps;
};

Shape shape_of(HostKind host) {
  switch (host) {
    case HostKind::Number: return {ModelKind::Number, "number", Cap::Number | Cap::Boolean};
    case HostKind::Mapping: return {ModelKind::Hash, "extended_hash", Cap::Hash | Cap::HashEx | Cap::Boolean};
    case HostKind::Sequence: return {ModelKind::Sequence, "sequence", Cap::Sequence | Cap::Collection | Cap::Boolean};
    case HostKind::Other: break;
  }
  return {ModelKind::PythonObject, "python_object", Cap::Scalar | Cap::Boolean | Cap::Hash};
}

uint16_t caps_of(PyObject* obj, HostKind host) {
  return shape_of(host).caps | (PyCallable_Check(obj) ? Cap::Method : 0);
}

Error py_error() { return error_from_python_exception(); }

// The UTF-8 text of a str object, leniently: lone surrogates become U+FFFD.
std::optional<std::string> utf8_of(PyObject* s) {
  Py_ssize_t n = 0;
  if (const char* p = PyUnicode_AsUTF8AndSize(s, &n)) return std::string(p, static_cast<size_t>(n));
  if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return std::nullopt;
  PyErr_Clear();
  // Only lone surrogates can fail; each one (three bytes ED A0..BF xx once
  // passed through) becomes one U+FFFD.
  PyRef bytes(PyUnicode_AsEncodedString(s, "utf-8", "surrogatepass"));
  if (!bytes) return std::nullopt;
  char* p = nullptr;
  if (PyBytes_AsStringAndSize(bytes.get(), &p, &n) < 0) return std::nullopt;
  std::string out;
  out.reserve(static_cast<size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    const auto b = static_cast<unsigned char>(p[i]);
    if (b == 0xED && i + 2 < n && (static_cast<unsigned char>(p[i + 1]) & 0xE0) == 0xA0) {
      out += "\xEF\xBF\xBD";
      i += 2;
    } else {
      out += p[i];
    }
  }
  return out;
}

// Decimal integer text with an optional sign, of any length.
std::optional<BigInteger> parse_integer(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
    negative = digits[0] == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty()) return std::nullopt;
  for (char c : digits)
    if (c < '0' || c > '9') return std::nullopt;
  BigInteger v(std::string(digits), 10);
  if (negative) v = -v;
  return v;
}

// One pass over a Python sequence: the length is taken once, then items 0..n-1.
class SequenceIterator final : public ModelIterator {
 public:
  SequenceIterator(Rc<const PyObjectModel> seq, uint64_t size) : seq_(std::move(seq)), size_(size) {}
  Result<std::optional<TModel>> next() override {
    if (next_ >= size_) return std::optional<TModel>();
    ASSIGN_OR_RETURN(TModel item, seq_->seq_get(next_++));
    return std::optional<TModel>(std::move(item));
  }

 private:
  Rc<const PyObjectModel> seq_;
  uint64_t size_;
  uint64_t next_ = 0;
};

}  // namespace

std::optional<std::string> lenient_str(PyObject* obj) {
  PyRef s(PyObject_Str(obj));
  if (!s) return std::nullopt;
  return utf8_of(s.get());
}

PyObjectModel::PyObjectModel(PyObject* obj, HostKind host, WrapContext ctx)
    : ModelObject(shape_of(host).kind, shape_of(host).type_name, caps_of(obj, host)),
      obj_(PyRef::borrow(obj)),
      host_(host),
      ctx_(std::move(ctx)) {}

std::string PyObjectModel::python_type_name() const {
  PyRef n(PyType_GetName(Py_TYPE(obj_.get())));
  std::optional<std::string> text = n ? utf8_of(n.get()) : std::nullopt;
  if (!text) {
    PyErr_Clear();
    return "object";
  }
  return std::move(*text);
}

Result<TextRef> PyObjectModel::as_string() const {
  if (!has(Cap::Scalar)) return missing("string");
  std::optional<std::string> text = lenient_str(obj_.get());
  if (!text) return py_error();
  return TextRef::owned(std::move(*text));
}

Result<TNumber> PyObjectModel::as_number() const {
  if (!has(Cap::Number)) return missing("number");
  PyObject* o = obj_.get();
  if (PyLong_Check(o)) {
    int overflow = 0;
    long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
    if (v == -1 && PyErr_Occurred()) return py_error();
    if (!overflow) {
      if (v >= INT32_MIN && v <= INT32_MAX) return TNumber::from_int(static_cast<int32_t>(v));
      return TNumber::from_long(v);
    }
  } else if (PyFloat_Check(o)) {
    double d = PyFloat_AsDouble(o);
    if (d == -1.0 && PyErr_Occurred()) return py_error();
    return TNumber::from_double(d);
  }
  // Too wide for 64 bits: read the decimal digits. The int's own base-10 text
  // is used rather than str(), which an int subclass may have redefined.
  PyRef text(PyLong_Check(o) ? PyNumber_ToBase(o, 10) : PyObject_Str(o));
  if (!text) return py_error();
  std::optional<std::string> digits = utf8_of(text.get());
  if (!digits) return py_error();
  std::optional<BigInteger> v = parse_integer(*digits);
  if (!v) return Error::python("ValueError: not an integer: " + *digits);
  return TNumber::from_big_integer(std::move(*v));
}

Result<bool> PyObjectModel::as_boolean() const {
  int truth = PyObject_IsTrue(obj_.get());
  if (truth < 0) return py_error();
  return truth != 0;
}

Result<TModel> PyObjectModel::seq_get(uint64_t index) const {
  if (!has(Cap::Sequence)) return missing("sequence");
  if (index > static_cast<uint64_t>(PY_SSIZE_T_MAX)) return TModel::null();
  PyRef item(PySequence_GetItem(obj_.get(), static_cast<Py_ssize_t>(index)));
  if (!item) {
    if (!PyErr_ExceptionMatches(PyExc_IndexError)) return py_error();
    PyErr_Clear();
    return TModel::null();
  }
  return wrap_nested_or_null(ctx_, item.get());
}

Result<uint64_t> PyObjectModel::seq_size() const {
  if (!has(Cap::Sequence)) return missing("sequence");
  Py_ssize_t n = PyObject_Size(obj_.get());
  if (n < 0) return py_error();
  return static_cast<uint64_t>(n);
}

Result<std::unique_ptr<ModelIterator>> PyObjectModel::iterator() const {
  if (!has(Cap::Collection)) return missing("collection");
  Py_ssize_t n = PyObject_Size(obj_.get());
  if (n < 0) return py_error();
  return std::unique_ptr<ModelIterator>(new SequenceIterator(Rc<const PyObjectModel>(this), static_cast<uint64_t>(n)));
}

// obj[key], wrapped; no value when the key is missing (KeyError).
Result<std::optional<TModel>> PyObjectModel::get_item(PyObject* key) const {
  PyRef v(PyObject_GetItem(obj_.get(), key));
  if (v) return wrap_nested(ctx_, v.get());
  if (!PyErr_ExceptionMatches(PyExc_KeyError)) return py_error();
  PyErr_Clear();
  return std::optional<TModel>();
}

Result<std::optional<TModel>> PyObjectModel::hash_get(std::string_view key) const {
  if (!has(Cap::Hash)) return missing("hash");
  PyRef k = ctx_.state->key_string(key);
  if (!k) return py_error();
  if (host_ == HostKind::Mapping) return get_item(k.get());
  // Objects: both lookups, in the order the wrapper's option says. Only a
  // miss (AttributeError / KeyError) moves on to the second lookup; a found
  // None is a found value that reads as missing.
  const bool attributes_first = ctx_.state->attributes_shadow_items();
  for (int step = 0; step < 2; ++step) {
    const bool attribute = (step == 0) == attributes_first;
    PyRef v(attribute ? PyObject_GetAttr(obj_.get(), k.get()) : PyObject_GetItem(obj_.get(), k.get()));
    if (v) return wrap_nested(ctx_, v.get());
    if (!PyErr_ExceptionMatches(attribute ? PyExc_AttributeError : PyExc_KeyError)) return py_error();
    PyErr_Clear();
  }
  return std::optional<TModel>();
}

Result<bool> PyObjectModel::hash_is_empty() const {
  if (!has(Cap::Hash)) return missing("hash");
  Py_ssize_t n = PyObject_Size(obj_.get());
  if (n < 0) return py_error();
  return n == 0;
}

Result<uint64_t> PyObjectModel::hash_size() const {
  if (!has(Cap::HashEx)) return missing("extended_hash");
  Py_ssize_t n = PyObject_Size(obj_.get());
  if (n < 0) return py_error();
  return static_cast<uint64_t>(n);
}

Result<std::vector<std::string>> PyObjectModel::hash_keys() const {
  if (!has(Cap::HashEx)) return missing("extended_hash");
  PyRef fn(PyObject_GetAttrString(obj_.get(), "keys"));
  if (!fn && PyErr_ExceptionMatches(PyExc_AttributeError)) {
    PyErr_Clear();
    fn = PyRef(PyObject_GetAttrString(obj_.get(), "keySet"));
    if (!fn && PyErr_ExceptionMatches(PyExc_AttributeError)) {
      PyErr_Clear();
      return Error::python(
          "AttributeError: '?keys' is not supported as there is no 'keys' nor 'keySet' attribute on an instance of " +
          python_type_name());
    }
  }
  if (!fn) return py_error();
  PyRef result(PyObject_CallNoArgs(fn.get()));
  if (!result) return py_error();
  PyRef it(PyObject_GetIter(result.get()));
  if (!it) return py_error();
  std::vector<std::string> keys;
  while (PyRef item{PyIter_Next(it.get())}) {
    std::optional<std::string> text = lenient_str(item.get());
    if (!text) return py_error();
    keys.push_back(std::move(*text));
  }
  if (PyErr_Occurred()) return py_error();
  return keys;
}

Result<TModel> PyObjectModel::call(Environment&, std::vector<TModel>& args) const {
  if (!has(Cap::Method)) return missing("method");
  // Every argument is converted before Python is entered.
  std::vector<PyRef> converted;
  converted.reserve(args.size());
  for (const TModel& a : args) {
    ASSIGN_OR_RETURN(PyRef p, unwrap(ctx_.state, a));
    converted.push_back(std::move(p));
  }
  PyRef tuple(PyTuple_New(static_cast<Py_ssize_t>(converted.size())));
  if (!tuple) return py_error();
  for (size_t i = 0; i < converted.size(); ++i)
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), converted[i].release());  // steals
  PyRef result(PyObject_Call(obj_.get(), tuple.get(), nullptr));
  if (!result) return py_error();
  return wrap_nested_or_null(ctx_, result.get());
}

}  // namespace tovarn::py
