// hash_literal.h — list literals `[a, b]` and hash literals `{"k": v}`.
#pragma once

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"

namespace tovarn {

class Environment;

// The items evaluated in order into a new sequence; the first error aborts.
Result<TModel> eval_list_literal(Environment& env, const ListLiteralExpr& node);

// The pairs in written order: each key converted to text as `${...}` would
// print it, then the value evaluated. A repeated key keeps its first place
// and takes the last value:  {"a":1, "b":2, "a":3}  ->  a=3, b=2
Result<TModel> eval_hash_literal(Environment& env, const HashLiteralExpr& node);

}  // namespace tovarn
