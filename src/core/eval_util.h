// eval_util.h — small operations shared by expression evaluation and the
// built-ins: text ordering by UTF-16 code units, number truncation to 64-bit
// integers, Unicode character counting and indexing in UTF-8 text, and the
// helper that makes a type-mismatch error point at the expression at fault.
//
// model_to_boolean and compare_models (declared in eval.h) are defined in
// eval_util.cpp as well.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/eval.h"
#include "error/template_error.h"
#include "template/t_number.h"

namespace tovarn {

// Orders two UTF-8 texts as their UTF-16 code-unit sequences would order:
// -1, 0 or +1. Differs from byte order only where a character above U+FFFF
// meets one in U+E000..U+FFFF (the surrogate sorts first).
//   utf16_cmp("a", "b") == -1;   utf16_cmp("\uFFFD", "\U0001F600") == 1
int utf16_cmp(std::string_view a, std::string_view b);

// The number as a 64-bit integer, truncated toward zero: Int/Long as they
// are; BigInteger when it fits; Float/Double saturated at the 64-bit bounds,
// NaN giving 0; BigDecimal's integer part when it fits. Nothing otherwise.
//   trunc_i64(Double 2.9) == 2;   trunc_i64(BigDecimal -7.5) == -7
std::optional<int64_t> trunc_i64(const TNumber& n);

// The operator as messages spell it: "==", "!=", ">", ">=", "<", "<=".
std::string_view compare_op_symbol(CompareOp op);

// Unicode characters in UTF-8 text (a malformed byte counts as one).
size_t utf8_char_count(std::string_view s);

// The byte offset of every character start of `s`, followed by s.size(); so
// character i spans [offsets[i], offsets[i+1]).
std::vector<size_t> utf8_char_offsets(std::string_view s);

// Makes an unexpected-type error blame `blamed`: the message shows its text
// after "==> " with its position in the current template. Other kinds and
// errors that already blame an expression pass unchanged.
Error blame_expression(Error e, const Environment& env, const Expr& blamed);

}  // namespace tovarn
