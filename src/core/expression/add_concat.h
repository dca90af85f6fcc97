// add_concat.h — the `+` operator (numbers add; sequences and hashes join;
// anything else concatenates as text, markup staying correctly escaped), and
// interpolated string literals, which join their parts by the same rules.
//
//   ASSIGN_OR_RETURN(TModel r, concat_values(env, a, b));   // "1" + 2 -> "12"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// The most items a sequence built by joining or slicing may have.
inline constexpr uint64_t kMaxBuiltSequenceItems = 16777216;
// The longest text concatenation may build (the output limit: a longer text
// could never be printed), so that repeated doubling fails instead of
// exhausting memory.
inline constexpr uint64_t kMaxBuiltStringBytes = 67108864;

// Fails when texts of `a` and `b` bytes joined would pass kMaxBuiltStringBytes.
Status check_text_size(uint64_t a, uint64_t b);

// `a + b` on two evaluated operands.
Result<TModel> concat_values(Environment& env, const TModel& a, const TModel& b);

// One side of a text join: a markup value with its markup text, or plain text.
struct ConcatOperand {
  const TModel* markup = nullptr;  // set for a markup value
  std::string_view text;           // the markup text, or the plain text
};

// Joins two sides of which at least one is markup; the result is a markup
// value. Plain text is escaped for the markup side's format; two markup values
// of different formats convert through a known plain text, or fail with
// "Concatenation left hand operand is in {F} format, while the right hand
// operand is in {G}. Conversion to common format wasn't possible."
Result<TModel> join_with_markup(Environment& env, const ConcatOperand& left, const ConcatOperand& right);

// The plain texts of two markup values joined, when both are known.
std::optional<std::string> concat_plain(const TModel& left, const TModel& right);

// Evaluates an InterpolatedString node: "a${x}b".
Result<TModel> eval_interpolated_string(Environment& env, const InterpolatedStringExpr& node);

}  // namespace tovarn
