// models.h — template values backed by live Python objects: PyObjectModel
// (numbers, mappings, sequences and other objects, read through the Python
// object protocol on every use) and PyStrModel (a str whose UTF-8 buffer is
// borrowed rather than copied).
#pragma once

#include <Python.h>

#include <string_view>

#include "python/py_ref.h"
#include "python/wrapper.h"
#include "template/t_model.h"

namespace tovarn::py {

// How a wrapped Python object is read.
enum class HostKind : uint8_t { Number, Mapping, Sequence, Other };

// One live Python object. Its capabilities follow the host kind:
//   Number    number, boolean                      (kind Number, "number")
//   Mapping   hash, hash_ex, boolean               (kind Hash, "extended_hash")
//   Sequence  sequence, collection, boolean        (kind Sequence, "sequence")
//   Other     scalar (str()), boolean, hash        (kind PythonObject, "python_object")
// plus method when the object is callable. internal() is the model itself,
// so unwrapping gives back the identical object.
class PyObjectModel final : public ModelObject {
 public:
  // `obj` is borrowed (a new reference is taken).
  PyObjectModel(PyObject* obj, HostKind host, WrapContext ctx);

  PyObject* object() const noexcept { return obj_.get(); }
  HostKind host_kind() const noexcept { return host_; }
  // The Python type's __name__ ("object" when it cannot be read).
  std::string python_type_name() const;

  Result<TextRef> as_string() const override;
  Result<TNumber> as_number() const override;
  Result<bool> as_boolean() const override;
  Result<TModel> seq_get(uint64_t index) const override;
  Result<uint64_t> seq_size() const override;
  Result<std::unique_ptr<ModelIterator>> iterator() const override;
  Result<std::optional<TModel>> hash_get(std::string_view key) const override;
  Result<bool> hash_is_empty() const override;
  Result<uint64_t> hash_size() const override;
  Result<std::vector<std::string>> hash_keys() const override;
  Result<TModel> call(Environment& env, std::vector<TModel>& args) const override;
  RefCounted* internal() const noexcept override { return const_cast<PyObjectModel*>(this); }

 private:
  Result<std::optional<TModel>> get_item(PyObject* key) const;

  PyRef obj_;
  HostKind host_;
  WrapContext ctx_;
};

// A Python str as a template string (kind String, "string"); reading it
// borrows the str's own UTF-8 buffer, which lives as long as the str.
class PyStrModel final : public ModelObject {
 public:
  // `obj` is borrowed; `utf8` is its UTF-8 buffer.
  PyStrModel(PyObject* obj, std::string_view utf8)
      : ModelObject(ModelKind::String, "string", Cap::Scalar), obj_(PyRef::borrow(obj)), text_(utf8) {}
  PyObject* object() const noexcept { return obj_.get(); }
  Result<TextRef> as_string() const override { return TextRef::borrowed(text_); }

 private:
  PyRef obj_;
  std::string_view text_;
};

// str(obj) as UTF-8; text that is not valid UTF-8 (lone surrogates) has its
// bad parts replaced by U+FFFD. nullopt with a Python exception pending when
// str() raised.
std::optional<std::string> lenient_str(PyObject* obj);

}  // namespace tovarn::py
