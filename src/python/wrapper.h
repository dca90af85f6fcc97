// wrapper.h — turning Python objects into template values: the shared wrapper
// state (options, identity cache, interned key strings), the wrap rules, and
// the Python class PyObjectWrapper that carries the two options.
//
//   WrapContext ctx{WrapperState::create(true, false), zone_for("Europe/Paris")};
//   std::optional<TModel> v;
//   if (!wrap(ctx, obj, v)) return nullptr;   // a Python exception is pending
//   if (!v) { /* obj was None: no value */ }
#pragma once

#include <Python.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/settings_values.h"
#include "python/py_ref.h"
#include "template/rc.h"
#include "template/t_model.h"

namespace tovarn::py {

// The state one configuration's object wrapper shares with every value it
// wrapped. Counted atomically: Python may release its holders at any time.
// Holders that stand for the wrapper itself (configuration, templates,
// PyObjectWrapper objects) take an OwnerRef; when the last owner goes, the
// identity cache is emptied, which breaks the cycle cache -> value -> state.
class WrapperState {
 public:
  static Rc<WrapperState> create(bool attributes_shadow_items, bool use_cache);
  WrapperState(const WrapperState&) = delete;
  WrapperState& operator=(const WrapperState&) = delete;
  ~WrapperState();

  void add_ref() const noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
  void release() const noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }

  bool attributes_shadow_items() const noexcept { return shadow_.load(std::memory_order_relaxed); }
  void set_attributes_shadow_items(bool on) noexcept { shadow_.store(on, std::memory_order_relaxed); }
  bool use_cache() const noexcept { return use_cache_.load(std::memory_order_relaxed); }
  void set_use_cache(bool on) noexcept { use_cache_.store(on, std::memory_order_relaxed); }

  // Identity cache: the value built earlier for exactly this object.
  std::optional<TModel> cached(PyObject* obj);
  void remember(PyObject* obj, const TModel& value);

  // A Python str for `key`, interned and kept for the next lookup of the same
  // key, so repeated lookups build no new string. New reference; an empty
  // PyRef with a Python exception pending on failure.
  PyRef key_string(std::string_view key);

  // Owner accounting (see the class comment).
  void add_owner() noexcept { owners_.fetch_add(1, std::memory_order_relaxed); }
  void release_owner();

 private:
  WrapperState(bool shadow, bool use_cache) : shadow_(shadow), use_cache_(use_cache) {}
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
  };
  struct CacheEntry {
    PyRef object;  // keeps the address from being reused while the entry lives
    TModel value;
  };

  mutable std::atomic<uint32_t> refs_{0};
  std::atomic<uint32_t> owners_{0};
  std::atomic<bool> shadow_;
  std::atomic<bool> use_cache_;
  std::mutex mu_;  // guards both maps; never held across a call into Python
  std::unordered_map<PyObject*, CacheEntry> identity_;
  std::unordered_map<std::string, PyRef, TextHash, std::equal_to<>> keys_;
};

// A strong reference that also counts as an owner of the wrapper state.
class OwnerRef {
 public:
  OwnerRef() = default;
  explicit OwnerRef(Rc<WrapperState> s) : s_(std::move(s)) {
    if (s_) s_->add_owner();
  }
  OwnerRef(const OwnerRef& o) : OwnerRef(o.s_) {}
  OwnerRef& operator=(const OwnerRef&) = delete;
  ~OwnerRef() {
    if (s_) s_->release_owner();
  }
  const Rc<WrapperState>& get() const noexcept { return s_; }
  WrapperState* operator->() const noexcept { return s_.get(); }

 private:
  Rc<WrapperState> s_;
};

// A time-zone setting shared by the values that one wrap call produced.
struct Zone : RefCounted {
  explicit Zone(TzSetting t) : tz(std::move(t)) {}
  TzSetting tz;
};

// The zone for a time-zone setting text; null when the text is not a valid
// zone (dates are then read as UTC).
Rc<Zone> zone_for(std::string_view time_zone);

// What a wrap needs: the wrapper state and the zone dates are read in (null:
// no zone, offset 0).
struct WrapContext {
  Rc<WrapperState> state;
  Rc<Zone> zone;
};

// Wraps `obj`. Returns false when a Python exception is pending; otherwise
// `out` is the value, or nothing for None.
bool wrap(const WrapContext& ctx, PyObject* obj, std::optional<TModel>& out);

// Like wrap, for the places where None is the Null value (the data-model root,
// sequence items, call results and arguments).
bool wrap_or_null(const WrapContext& ctx, PyObject* obj, std::optional<TModel>& out);

// Engine-side wrapping: a Python exception becomes an engine error.
Result<std::optional<TModel>> wrap_nested(const WrapContext& ctx, PyObject* obj);
Result<TModel> wrap_nested_or_null(const WrapContext& ctx, PyObject* obj);

// ---- the Python class PyObjectWrapper -----------------------------------------

// Creates the class object (a new reference), or nullptr with an exception.
PyObject* create_object_wrapper_type();

// The state of a PyObjectWrapper instance; null with a TypeError naming the
// argument `arg` when `obj` is not one. Refuses a foreign thread.
Rc<WrapperState> object_wrapper_state(PyObject* obj, const char* arg);

}  // namespace tovarn::py
