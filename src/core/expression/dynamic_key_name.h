// dynamic_key_name.h — key access `target[key]`: sequence items and string
// characters by number, hash values by string, and slicing by a range
// (`seq[1..3]`, `"abcde"[2..]`).
#pragma once

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// `node.target[node.key]` for an already evaluated target; evaluates the key.
// Missing items and keys give Null.
Result<TModel> eval_dynamic_key(Environment& env, const DynamicKeyNameExpr& node, const TModel& target);

// `target[range]`: a new sequence, or a string of the selected characters.
//   slice_value(env, node, "abcde", 1..3)  -> "bcd"
Result<TModel> slice_value(Environment& env, const DynamicKeyNameExpr& node, const TModel& target,
                           const RangeInfo& range);

}  // namespace tovarn
