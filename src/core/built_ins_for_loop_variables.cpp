// built_ins_for_loop_variables.cpp — the built-ins that ask the enclosing
// listing where it stands: ?index, ?counter, ?has_next, ?is_first, ?is_last,
// ?has_previous, ?is_odd_item, ?is_even_item, ?is_odd, ?is_even,
// ?item_parity, ?item_parity_cap and ?item_cycle.
//
// The target is never evaluated: a plain variable names the listing (the
// innermost one binding that loop variable); any other target means the
// innermost listing.
#include <limits>

#include "core/built_in.h"
#include "core/eval.h"
#include "core/iterator_block.h"

namespace tovarn {

namespace {

const LoopCtx* loop_of(Environment& env, const BuiltinCall& c) {
  const std::string* name = c.target.kind == ExprKind::Variable ? &c.target.as<VariableExpr>().name : nullptr;
  return get_loop_context(env, name);
}

Error no_loop(std::string_view builtin) {
  return Error::misc("The target of ?" + std::string(builtin) + " is not a loop variable (no enclosing loop in scope)");
}

TModel int_or_long(int64_t i) {
  if (i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max())
    return TModel::from_int(static_cast<int32_t>(i));
  return TModel::from_long(i);
}

// A built-in computed from the listing's index and has-next flag alone.
template <TModel (*F)(int64_t index, bool has_next)>
Result<TModel> loop_builtin(Environment& env, const BuiltinCall& c) {
  const LoopCtx* ctx = loop_of(env, c);
  if (!ctx) return no_loop(c.name());
  return F(ctx->index, ctx->has_next);
}

TModel index_of(int64_t i, bool) { return int_or_long(i); }
TModel counter_of(int64_t i, bool) { return int_or_long(i + 1); }
TModel has_next_of(int64_t, bool h) { return TModel::from_boolean(h); }
TModel is_last_of(int64_t, bool h) { return TModel::from_boolean(!h); }
TModel is_first_of(int64_t i, bool) { return TModel::from_boolean(i == 0); }
TModel has_previous_of(int64_t i, bool) { return TModel::from_boolean(i != 0); }
// The "item" forms count from 1 (the counter), the plain forms from 0 (the index).
TModel is_odd_item_of(int64_t i, bool) { return TModel::from_boolean(i % 2 == 0); }
TModel is_even_item_of(int64_t i, bool) { return TModel::from_boolean(i % 2 != 0); }
TModel is_even_of(int64_t i, bool) { return TModel::from_boolean(i % 2 == 0); }
TModel is_odd_of(int64_t i, bool) { return TModel::from_boolean(i % 2 != 0); }

template <bool Capitalized>
Result<TModel> item_parity(Environment& env, const BuiltinCall& c) {
  TRY(check_arg_count(c, 0, 0));
  const LoopCtx* ctx = loop_of(env, c);
  if (!ctx) return Error::misc("The target of the built-in is not a loop variable (no enclosing loop in scope)");
  const bool odd = ctx->index % 2 == 0;
  if (Capitalized) return TModel::from_scalar(odd ? "Odd" : "Even");
  return TModel::from_scalar(odd ? "odd" : "even");
}

// Cycles through its arguments over the items; only the chosen argument is
// evaluated.
Result<TModel> item_cycle(Environment& env, const BuiltinCall& c) {
  if (!c.args) return Error::misc("?item_cycle expects at least one argument");
  if (c.args->empty()) return Error::misc("?itemCycle(...) expects 1 or more (unlimited) arguments but has received none.");
  const LoopCtx* ctx = loop_of(env, c);
  if (!ctx) return no_loop("itemCycle");
  const Expr& chosen = c.arg(static_cast<size_t>(static_cast<uint64_t>(ctx->index) % c.args->size()));
  ASSIGN_OR_RETURN(TModel v, eval(env, chosen));
  if (v.is_null()) return Error::invalid_reference(expr_desc(chosen));
  return v;
}

constexpr BuiltinEntry kEntries[] = {
    {"counter", loop_builtin<counter_of>},
    {"has_next", loop_builtin<has_next_of>},
    {"has_previous", loop_builtin<has_previous_of>},
    {"index", loop_builtin<index_of>},
    {"is_even", loop_builtin<is_even_of>},
    {"is_even_item", loop_builtin<is_even_item_of>},
    {"is_first", loop_builtin<is_first_of>},
    {"is_last", loop_builtin<is_last_of>},
    {"is_odd", loop_builtin<is_odd_of>},
    {"is_odd_item", loop_builtin<is_odd_item_of>},
    {"item_cycle", item_cycle},
    {"item_parity", item_parity<false>},
    {"item_parity_cap", item_parity<true>},
};

}  // namespace

std::span<const BuiltinEntry> builtins_for_loop_variables() { return kEntries; }

}  // namespace tovarn
