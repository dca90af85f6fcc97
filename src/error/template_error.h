// template_error.h — the engine's one error value, its constructors and
// decorators, the user message, and the Result/Status types that carry it.
//
// Nothing in the engine throws. A fallible operation returns Result<T> (a value
// or an Error) or Status (ok or an Error); TRY/ASSIGN_OR_RETURN pass errors up:
//
//   Result<int> parse_count(std::string_view s);
//   Status f() {
//     ASSIGN_OR_RETURN(int n, parse_count("12"));
//     TRY(check(n));
//     return ok();
//   }
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "error/error_ctx.h"

namespace tovarn {

enum class ErrorKind : uint8_t {
  InvalidReference,
  UnexpectedType,
  Misc,
  Parse,
  Stop,
  LoopControl,
  TemplateNotFound,
  Io,
  Python,
};

// The error record. Which fields mean something depends on the kind:
//   InvalidReference  text = expression text; ctx
//   UnexpectedType    actual_type, expected_type; ctx
//   Misc, Python      text = message
//   Parse             template_name, text = message, line, column
//   Stop              text = message when has_message
//   LoopControl       is_continue
//   TemplateNotFound  template_name
//   Io                text = the I/O error's description
struct TemplateError {
  ErrorKind kind = ErrorKind::Misc;
  std::string text;
  std::string template_name;
  std::string actual_type;
  std::string expected_type;
  uint32_t line = 0;
  uint32_t column = 0;
  bool has_message = true;
  bool is_continue = false;
  ErrorCtx ctx;

  // The text TovarnError, #recover and the debug handlers show.
  std::string to_user_message() const;
};

// An owned, heap-allocated TemplateError: one pointer wide, so that a
// Result<T> costs a word beside the value on the success path.
class [[nodiscard]] Error {
 public:
  explicit Error(std::unique_ptr<TemplateError> e) : e_(std::move(e)) {}
  explicit Error(TemplateError e) : e_(std::make_unique<TemplateError>(std::move(e))) {}
  Error(Error&&) noexcept = default;
  Error& operator=(Error&&) noexcept = default;

  TemplateError& operator*() const { return *e_; }
  TemplateError* operator->() const { return e_.get(); }
  ErrorKind kind() const { return e_->kind; }
  std::string to_user_message() const { return e_->to_user_message(); }

  // Constructors by kind.
  static Error misc(std::string message);
  static Error python(std::string message);
  static Error parse(std::string template_name, std::string message, uint32_t line, uint32_t column);
  static Error invalid_reference(std::string expression);
  static Error invalid_reference_at(std::string expression, uint32_t line, uint32_t column);
  static Error type_mismatch(std::string expected_type, std::string actual_type);
  static Error stop(std::optional<std::string> message);
  static Error loop_control(bool is_continue);
  static Error not_found(std::string template_name);
  static Error io(std::string description);

  // Decorators: each changes only the kinds its comment names.
  // UnexpectedType: prefix "For "{subject}" {role}: ", blamed expression and location.
  Error with_blame_at(std::string_view subject, std::string_view role, std::string expression,
                      std::string template_name, uint32_t line, uint32_t column) &&;
  Error with_expected_phrase(std::string phrase) &&;  // UnexpectedType
  Error with_tip(std::string tip) &&;                 // UnexpectedType
  Error with_dot_tip() &&;                            // InvalidReference
  // InvalidReference, UnexpectedType: fills line/column and template name where unset.
  Error with_location(std::string_view template_name, uint32_t line, uint32_t column) &&;
  // Attaches a rendered trace once; the first trace attached stays.
  Error with_stack(std::vector<StackFrame> frames) &&;

 private:
  std::unique_ptr<TemplateError> e_;
};

// Sets the location of an InvalidReference/UnexpectedType error that has none.
void attach_location(TemplateError& e, std::string_view template_name, uint32_t line, uint32_t column);

// "a {word}" or "an {word}" by the word's first ASCII letter.
std::string a_or_an(std::string_view word);
std::string expected_phrase_for(std::string_view expected_type);

struct OkTag {};
inline constexpr OkTag ok() { return {}; }

// Ok or an Error.
class [[nodiscard]] Status {
 public:
  Status(OkTag) {}
  Status(Error e) : e_(std::move(e)) {}
  bool ok() const { return !e_.has_value(); }
  explicit operator bool() const { return ok(); }
  Error& error() { return *e_; }
  Error take_error() { return std::move(*e_); }

 private:
  std::optional<Error> e_;
};

// A T or an Error.
template <class T>
class [[nodiscard]] Result {
 public:
  template <class U, class = std::enable_if_t<std::is_constructible_v<T, U&&>>>
  Result(U&& v) : err_(nullptr) { new (&v_) T(std::forward<U>(v)); }
  Result(Error e) : err_(new Error(std::move(e))) {}
  Result(Result&& o) noexcept
      : err_(o.err_ ? new Error(std::move(*o.err_)) : nullptr) {
    if (!err_) new (&v_) T(std::move(o.v_));
  }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  ~Result() {
    if (err_) delete err_;
    else v_.~T();
  }

  bool ok() const { return err_ == nullptr; }
  explicit operator bool() const { return ok(); }
  T& value() & { return v_; }
  const T& value() const& { return v_; }
  T&& value() && { return std::move(v_); }
  T& operator*() & { return v_; }
  T* operator->() { return &v_; }
  const T* operator->() const { return &v_; }
  Error& error() { return *err_; }
  Error take_error() { return std::move(*err_); }

 private:
  union { T v_; };
  Error* err_;
};

#define TOVARN_CONCAT_(a, b) a##b
#define TOVARN_CONCAT(a, b) TOVARN_CONCAT_(a, b)

// Returns the error of a Status or Result expression from the enclosing function.
#define TRY(expr)                                         \
  do {                                                    \
    auto&& tovarn_try_ = (expr);                          \
    if (!tovarn_try_.ok()) return tovarn_try_.take_error(); \
  } while (0)

// ASSIGN_OR_RETURN(auto x, f()): declares x from a Result or returns its error.
#define ASSIGN_OR_RETURN(decl, expr) \
  ASSIGN_OR_RETURN_IMPL_(TOVARN_CONCAT(tovarn_r_, __LINE__), decl, expr)
#define ASSIGN_OR_RETURN_IMPL_(tmp, decl, expr) \
  auto tmp = (expr);                            \
  if (!tmp.ok()) return tmp.take_error();       \
  decl = std::move(tmp).value()

}  // namespace tovarn
