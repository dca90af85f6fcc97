// built_ins_for_types.cpp — the built-ins that ask what a value is
// (`?is_string`, `?is_date_only`, `?is_nothing`, ...), the lazy conditionals
// `?then` and `?switch`, and the XML node built-ins, which always report
// that no node is available.
#include <string>

#include "core/built_in.h"
#include "core/eval.h"

namespace tovarn {

namespace {

// ---------------------------------------------------------------------------
// Type tests: the target is evaluated, any argument list is ignored, and a
// target that is missing (an invalid-reference error) is simply not of the type.

using TypePredicate = bool (*)(const TModel& v);

Result<TModel> type_test(Environment& env, const BuiltinCall& c, TypePredicate pred) {
  Result<TModel> v = eval(env, c.target);
  if (!v.ok()) {
    if (v.error().kind() == ErrorKind::InvalidReference) return TModel::from_boolean(false);
    return v.take_error();
  }
  return TModel::from_boolean(pred(*v));
}

// The BuiltinFn of one predicate.
template <TypePredicate Pred>
Result<TModel> type_builtin(Environment& env, const BuiltinCall& c) {
  return type_test(env, c, Pred);
}

// The date kind of a date value; a value whose date cannot be read has none.
bool date_kind_is(const TModel& v, DateKind kind) {
  if (!v.has(Cap::Date)) return false;
  Result<DateValue> d = v.get_date();
  return d.ok() && d->kind == kind;
}

bool is_string(const TModel& v) { return v.has(Cap::Scalar); }
bool is_number(const TModel& v) { return v.has(Cap::Number); }
bool is_boolean(const TModel& v) { return v.has(Cap::Boolean); }
bool is_date_like(const TModel& v) { return v.has(Cap::Date); }
bool is_date_only(const TModel& v) { return date_kind_is(v, DateKind::Date); }
bool is_time(const TModel& v) { return date_kind_is(v, DateKind::Time); }
bool is_datetime(const TModel& v) { return date_kind_is(v, DateKind::DateTime); }
bool is_unknown_date_like(const TModel& v) { return date_kind_is(v, DateKind::Unknown); }
bool is_sequence(const TModel& v) { return v.has(Cap::Sequence) && !v.has(Cap::Method); }
bool is_indexable(const TModel& v) { return v.has(Cap::Sequence); }
bool is_enumerable(const TModel& v) {
  return (v.has(Cap::Sequence) || v.has(Cap::Collection)) && !v.has(Cap::Method);
}
bool is_collection(const TModel& v) { return v.has(Cap::Collection); }
bool is_hash(const TModel& v) { return v.has(Cap::Hash); }
bool is_hash_ex(const TModel& v) { return v.has(Cap::HashEx); }
bool is_method(const TModel& v) { return v.has(Cap::Method); }
bool is_macro(const TModel& v) { return v.kind() == ModelKind::Macro; }
bool is_directive(const TModel& v) { return v.has(Cap::Directive) || v.has(Cap::Transform) || is_macro(v); }
bool is_transform(const TModel& v) { return v.has(Cap::Transform); }
bool is_lambda(const TModel& v) { return v.kind() == ModelKind::Lambda; }
bool is_markup_output(const TModel& v) { return v.kind() == ModelKind::Markup; }
bool is_nothing(const TModel& v) {
  return v.kind() == ModelKind::Null || std::string_view(v.type_name()) == "nothing";
}
// No value here is an extended collection, a node, or carries an API facet.
bool never(const TModel&) { return false; }

// ---------------------------------------------------------------------------
// Lazy conditionals: only the chosen branch is evaluated.

Result<TModel> builtin_then(Environment& env, const BuiltinCall& c) {
  TRY(check_arg_count(c, 2, 2));
  ASSIGN_OR_RETURN(TModel target, eval(env, c.target));
  ASSIGN_OR_RETURN(bool flag, target.get_boolean());
  return eval_non_missing(env, c.arg(flag ? 0 : 1));
}

Result<TModel> builtin_switch(Environment& env, const BuiltinCall& c) {
  if (!c.args) return Error::misc("?switch expects arguments");
  size_t n = c.args->size();
  if (n < 2) return Error::misc("?switch must have at least 2 arguments");
  ASSIGN_OR_RETURN(TModel target, eval_non_missing(env, c.target));
  for (size_t i = 0; i + 1 < n; i += 2) {
    ASSIGN_OR_RETURN(TModel case_value, eval(env, c.arg(i)));
    ASSIGN_OR_RETURN(bool equal, compare_models(target, case_value, CompareOp::Eq));
    if (equal) return eval_non_missing(env, c.arg(i + 1));
  }
  if (n % 2 == 1) return eval_non_missing(env, c.arg(n - 1));
  return Error::misc(
      "The value before ?switch(case1, value1, case2, value2, ...) didn't match any of the cases, and there was "
      "no default value (the last argument without a case before it).");
}

// ---------------------------------------------------------------------------
// XML node built-ins: no value of this system is a node, so after evaluating
// the target they report the type mismatch (blamed on the target by dispatch).

Result<TModel> node_builtin(Environment& env, const BuiltinCall& c) {
  ASSIGN_OR_RETURN(TModel target, eval(env, c.target));
  return Error::type_mismatch("node", target.type_name());
}

constexpr BuiltinEntry kTypeEntries[] = {
    {"has_api", type_builtin<never>},
    {"is_boolean", type_builtin<is_boolean>},
    {"is_collection", type_builtin<is_collection>},
    {"is_collection_ex", type_builtin<never>},
    {"is_date", type_builtin<is_date_like>},
    {"is_date_like", type_builtin<is_date_like>},
    {"is_date_only", type_builtin<is_date_only>},
    {"is_datetime", type_builtin<is_datetime>},
    {"is_directive", type_builtin<is_directive>},
    {"is_enumerable", type_builtin<is_enumerable>},
    {"is_hash", type_builtin<is_hash>},
    {"is_hash_ex", type_builtin<is_hash_ex>},
    {"is_indexable", type_builtin<is_indexable>},
    {"is_lambda", type_builtin<is_lambda>},
    {"is_macro", type_builtin<is_macro>},
    {"is_markup_output", type_builtin<is_markup_output>},
    {"is_method", type_builtin<is_method>},
    {"is_node", type_builtin<never>},
    {"is_nothing", type_builtin<is_nothing>},
    {"is_number", type_builtin<is_number>},
    {"is_sequence", type_builtin<is_sequence>},
    {"is_string", type_builtin<is_string>},
    {"is_time", type_builtin<is_time>},
    {"is_transform", type_builtin<is_transform>},
    {"is_unknown_date_like", type_builtin<is_unknown_date_like>},
    {"switch", builtin_switch},
    {"then", builtin_then},
};

constexpr BuiltinEntry kNodeEntries[] = {
    {"ancestors", node_builtin}, {"children", node_builtin},         {"next_sibling", node_builtin},
    {"node_name", node_builtin}, {"node_namespace", node_builtin},   {"node_type", node_builtin},
    {"parent", node_builtin},    {"previous_sibling", node_builtin}, {"root", node_builtin},
};

}  // namespace

std::span<const BuiltinEntry> builtins_for_types() { return kTypeEntries; }
std::span<const BuiltinEntry> builtins_for_nodes() { return kNodeEntries; }

}  // namespace tovarn
