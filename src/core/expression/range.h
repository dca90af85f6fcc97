// range.h — range expressions (`1..5`, `1..<5`, `1..*3`, `1..`) and the
// range values they produce: sequences of integers computed on demand that
// also describe themselves (RangeInfo) for slicing with `[...]`.
//
//   TModel r = make_bounded_range(1, 3, true, false, true);   // 1, 2, 3
//   r->seq_get(2);    // Int 3
//   r->range()->inclusive_end;   // true
#pragma once

#include <cstdint>

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// Iterating a right-unbounded range stops after this many items.
inline constexpr uint64_t kUnboundedRangeIterationLimit = 1000000;

// A bounded range value: `size` items from `begin`, stepping +1 when
// `increasing`, else -1. Items are Int when they fit in 32 bits, else Long.
// The caller guarantees that every item fits in 64 bits.
TModel make_bounded_range(int64_t begin, int64_t size, bool increasing, bool right_adaptive, bool inclusive_end);

// A right-unbounded range value (`begin..`): 2147483647 items by index,
// iteration stops after kUnboundedRangeIterationLimit items.
TModel make_unbounded_range(int64_t begin);

// Evaluates a Range node.
Result<TModel> eval_range(Environment& env, const RangeExpr& node);

// The item of a range at `index` (begin ± index) as Int, Long or BigInteger.
TModel range_item(int64_t begin, uint64_t index, bool increasing);

}  // namespace tovarn
