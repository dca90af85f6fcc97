// built_in.cpp — the built-in name table (every name with its family and
// implementation), dispatch with the blame rule, and the argument helpers
// shared by the family units.
#include "core/built_in.h"

#include <algorithm>
#include <vector>

#include "core/eval.h"
#include "core/output_format.h"
#include "core/settings_values.h"
#include "core/value_output.h"
#include "template/utility_transforms.h"

namespace tovarn {

namespace {

// ---------------------------------------------------------------------------
// The names of each family. Together they are every name the parser accepts
// (the printed list and the seven unlisted names); a test keeps the two in step.

constexpr std::string_view kTypeNames[] = {
    "has_api",     "is_boolean",   "is_collection",    "is_collection_ex", "is_date",      "is_date_like",
    "is_date_only", "is_datetime", "is_directive",     "is_enumerable",    "is_hash",      "is_hash_ex",
    "is_indexable", "is_lambda",   "is_macro",         "is_markup_output", "is_method",    "is_node",
    "is_nothing",  "is_number",    "is_sequence",      "is_string",        "is_time",      "is_transform",
    "is_unknown_date_like", "switch", "then"};

constexpr std::string_view kStringNames[] = {
    "boolean",      "c_lower_case",    "c_upper_case",  "cap_first",     "capitalize",         "chop_linebreak",
    "contains",     "ends_with",       "ensure_ends_with", "ensure_starts_with", "eval",          "eval_json",
    "index_of",     "interpret",       "keep_after",    "keep_after_last", "keep_before",        "keep_before_last",
    "last_index_of", "left_pad",       "length",        "lower_case",    "number",             "remove_beginning",
    "remove_ending", "right_pad",      "starts_with",   "substring",     "trim",               "truncate",
    "truncate_c",   "truncate_c_m",    "truncate_m",    "truncate_w",    "truncate_w_m",       "uncap_first",
    "upper_case",   "word_list"};

constexpr std::string_view kEscapingNames[] = {"html", "j_string", "js_string", "json_string", "rtf",
                                               "url",  "url_path", "web_safe",  "xhtml",       "xml"};

constexpr std::string_view kRegexpNames[] = {"groups", "matches", "replace", "replace_re", "split"};

constexpr std::string_view kSequenceNames[] = {
    "chunk", "drop_while", "filter", "first", "join", "last", "map", "max", "min", "reverse",
    "seq_contains", "seq_index_of", "seq_last_index_of", "sequence", "size", "sort", "sort_by", "take_while"};

constexpr std::string_view kNumberNames[] = {"abs",    "byte",        "c",     "ceiling", "cn",    "double",
                                             "float",  "floor",       "int",   "is_infinite", "is_nan", "long",
                                             "lower_abc", "round",    "short", "string",  "upper_abc"};

constexpr std::string_view kDateNames[] = {
    "date",           "date_if_unknown", "datetime",      "datetime_if_unknown", "iso",
    "iso_fz",         "iso_h",           "iso_h_nz",      "iso_local",           "iso_local_h",
    "iso_local_h_nz", "iso_local_m",     "iso_local_m_nz", "iso_local_ms",       "iso_local_ms_nz",
    "iso_local_nz",   "iso_m",           "iso_m_nz",      "iso_ms",              "iso_ms_nz",
    "iso_nz",         "iso_utc",         "iso_utc_fz",    "iso_utc_h",           "iso_utc_h_nz",
    "iso_utc_m",      "iso_utc_m_nz",    "iso_utc_ms",    "iso_utc_ms_nz",       "iso_utc_nz",
    "number_to_date", "number_to_datetime", "number_to_time", "time",            "time_if_unknown"};

constexpr std::string_view kExistenceNames[] = {"blank_to_null", "default",      "empty_to_null", "exists",
                                                "has_content",   "if_exists",    "trim_to_null"};

constexpr std::string_view kHashNames[] = {"absolute_template_name", "api", "keys", "namespace", "values"};

constexpr std::string_view kLoopVariableNames[] = {
    "counter", "has_next", "has_previous", "index", "is_even", "is_even_item", "is_first",
    "is_last", "is_odd",   "is_odd_item",  "item_cycle", "item_parity", "item_parity_cap"};

constexpr std::string_view kCallableNames[] = {"new", "with_args", "with_args_last"};

constexpr std::string_view kOutputFormatNames[] = {"esc", "markup_string", "no_esc"};

constexpr std::string_view kNodeNames[] = {"ancestors", "children", "next_sibling",     "node_name", "node_namespace",
                                           "node_type", "parent",   "previous_sibling", "root"};

struct FamilyNames {
  BuiltinFamily family;
  std::span<const std::string_view> names;
};

constexpr FamilyNames kFamilies[] = {
    {BuiltinFamily::Types, kTypeNames},
    {BuiltinFamily::Strings, kStringNames},
    {BuiltinFamily::Escaping, kEscapingNames},
    {BuiltinFamily::Regexps, kRegexpNames},
    {BuiltinFamily::Sequences, kSequenceNames},
    {BuiltinFamily::Numbers, kNumberNames},
    {BuiltinFamily::Dates, kDateNames},
    {BuiltinFamily::Existence, kExistenceNames},
    {BuiltinFamily::Hashes, kHashNames},
    {BuiltinFamily::LoopVariables, kLoopVariableNames},
    {BuiltinFamily::Callables, kCallableNames},
    {BuiltinFamily::OutputFormats, kOutputFormatNames},
    {BuiltinFamily::Nodes, kNodeNames},
};

// ---------------------------------------------------------------------------
// Built-ins whose work is done by a function of the evaluated target that
// lives with its subject (output formats, utility classes).

using TargetFn = Result<TModel> (*)(Environment& env, const TModel& target);

template <TargetFn Fn>
Result<TModel> on_target(Environment& env, const BuiltinCall& c) {
  ASSIGN_OR_RETURN(TModel target, eval(env, c.target));
  return Fn(env, target);
}

// `"class"?new(args)` builds at once; `"class"?new` is a constructor method.
Result<TModel> builtin_new_call(Environment& env, const BuiltinCall& c) {
  ASSIGN_OR_RETURN(TModel target, eval(env, c.target));
  if (!c.args) return builtin_new(env, target);
  ASSIGN_OR_RETURN(std::string class_name, model_to_string(env, target));
  std::vector<TModel> values;
  values.reserve(c.args->size());
  for (const ExprPtr& a : *c.args) {
    Result<TModel> v = eval(env, *a);
    if (v.ok()) {
      values.push_back(std::move(*v));
    } else if (v.error().kind() == ErrorKind::InvalidReference) {
      values.push_back(TModel::null());  // a missing argument is passed as Null
    } else {
      return v.take_error();
    }
  }
  return new_utility_class(class_name, values);
}

constexpr BuiltinEntry kTargetFnEntries[] = {
    {"esc", on_target<builtin_esc>},
    {"markup_string", on_target<builtin_markup_string>},
    {"new", builtin_new_call},
    {"no_esc", on_target<builtin_no_esc>},
};

std::span<const BuiltinEntry> builtins_on_target() { return kTargetFnEntries; }

// The family units whose entries replace the placeholder; where two units
// export the same name, the later one wins. A family unit that lands adds
// its export function here.
using FamilyUnit = std::span<const BuiltinEntry> (*)();
constexpr FamilyUnit kFamilyUnits[] = {
    builtins_on_target,
    builtins_for_types,
    builtins_for_nodes,
    builtins_for_loop_variables,
};

// The placeholder of every name whose family has not been plugged in.
Result<TModel> not_implemented(Environment&, const BuiltinCall& c) {
  return Error::misc("The ?" + std::string(c.name()) + " built-in is not implemented yet.");
}

std::vector<BuiltinImpl> make_registry() {
  std::vector<BuiltinImpl> table;
  for (const FamilyNames& f : kFamilies)
    for (std::string_view name : f.names) {
      BuiltinImpl impl{name, f.family, not_implemented};
      impl.direct_with_args = name == "new" || name == "item_cycle";
      impl.implemented = false;
      table.push_back(impl);
    }
  auto by_name = [](const BuiltinImpl& a, const BuiltinImpl& b) { return a.name < b.name; };
  std::sort(table.begin(), table.end(), by_name);
  for (FamilyUnit unit : kFamilyUnits)
    for (const BuiltinEntry& e : unit()) {
      auto it = std::lower_bound(table.begin(), table.end(), BuiltinImpl{e.name, {}, nullptr}, by_name);
      // The parser refuses names outside the table (see builtin_entries_outside_table).
      if (it == table.end() || it->name != e.name) continue;
      it->fn = e.fn;
      it->implemented = true;
    }
  return table;
}

const std::vector<BuiltinImpl>& registry() {
  static const std::vector<BuiltinImpl> table = make_registry();
  return table;
}

const char* plural(size_t max) { return max > 1 ? "s" : ""; }

Error null_or_missing() { return Error::invalid_reference("The value is null or missing"); }

Error missing_argument() { return Error::misc("Missing argument"); }

}  // namespace

std::string_view builtin_family_name(BuiltinFamily family) {
  switch (family) {
    case BuiltinFamily::Types: return "types";
    case BuiltinFamily::Strings: return "strings";
    case BuiltinFamily::Escaping: return "escaping";
    case BuiltinFamily::Regexps: return "regexps";
    case BuiltinFamily::Sequences: return "sequences";
    case BuiltinFamily::Numbers: return "numbers";
    case BuiltinFamily::Dates: return "dates";
    case BuiltinFamily::Existence: return "existence";
    case BuiltinFamily::Hashes: return "hashes";
    case BuiltinFamily::LoopVariables: return "loop_variables";
    case BuiltinFamily::Callables: return "callables";
    case BuiltinFamily::OutputFormats: return "output_formats";
    case BuiltinFamily::Nodes: return "nodes";
  }
  return "?";
}

const BuiltinImpl* find_builtin(std::string_view snake_name) {
  const std::vector<BuiltinImpl>& table = registry();
  auto it = std::lower_bound(table.begin(), table.end(), snake_name,
                             [](const BuiltinImpl& a, std::string_view n) { return a.name < n; });
  return it != table.end() && it->name == snake_name ? &*it : nullptr;
}

std::span<const BuiltinImpl> all_builtins() { return registry(); }

std::vector<std::string_view> builtin_entries_outside_table() {
  std::vector<std::string_view> stray;
  for (FamilyUnit unit : kFamilyUnits)
    for (const BuiltinEntry& e : unit())
      if (!find_builtin(e.name)) stray.push_back(e.name);
  return stray;
}

Result<TModel> call_builtin(Environment& env, const BuiltInExpr& node) {
  return call_builtin(env, node, node.args ? &*node.args : nullptr);
}

Result<TModel> call_builtin(Environment& env, const BuiltInExpr& node, const ExprList* args) {
  const BuiltinImpl* impl = node.impl ? node.impl : find_builtin(node.name);
  if (!impl) return Error::misc("Unknown built-in: ?" + node.name);
  BuiltinCall call{node, *node.target, args};
  Result<TModel> r = impl->fn(env, call);
  if (r.ok() || (impl->direct_with_args && args)) return r;
  return blame_builtin_operand(r.take_error(), env, call);
}

// ---------------------------------------------------------------------------
// Helpers

Status check_arg_count(std::string_view name, const ExprList* args, size_t min, size_t max) {
  size_t count = args ? args->size() : 0;
  if (count >= min && count <= max) return ok();
  std::string expected;
  if (min == max) expected = min == 0 ? "no" : std::to_string(min);
  else if (max == min + 1) expected = std::to_string(min) + " or " + std::to_string(max);
  else expected = std::to_string(min) + " to " + std::to_string(max);
  std::string received = count == 0 ? "none" : std::to_string(count);
  return Error::misc("?" + std::string(name) + "(...) expects " + expected + " argument" + plural(max) +
                     " but has received " + received + ".");
}

Result<TNumber> arg_number(Environment& env, const ExprList* args, size_t index) {
  if (!args || index >= args->size()) return missing_argument();
  ASSIGN_OR_RETURN(TModel v, eval(env, *(*args)[index]));
  return v.get_number();
}

Result<std::string> arg_string(Environment& env, const ExprList* args, size_t index) {
  if (!args || index >= args->size()) return missing_argument();
  ASSIGN_OR_RETURN(TModel v, eval(env, *(*args)[index]));
  if (v.is_null()) return null_or_missing();
  return model_to_string(env, v);
}

Result<std::string> target_string(Environment& env, const Expr& target) {
  ASSIGN_OR_RETURN(TModel v, eval(env, target));
  if (v.is_null()) return null_or_missing();
  return model_to_string(env, v);
}

Result<const Expr*> arg_expr(const ExprList* args, std::string_view message) {
  if (!args || args->empty()) return Error::misc(std::string(message));
  return (*args)[0].get();
}

Error blame_builtin_operand(Error e, Environment& env, const BuiltinCall& c) {
  if (e.kind() != ErrorKind::UnexpectedType || e->ctx.blamed_expression) return e;
  return std::move(e).with_blame_at("?" + std::string(c.name()), "left-hand operand", expr_desc(c.target),
                                    env.current_template_name(), c.node.line, c.node.column);
}

Status check_legacy_escaping_ban(Environment& env, std::string_view name) {
  const Settings& s = env.settings();
  if (!legacy_escaping_banned(s)) return ok();
  return Error::misc("Using ?" + std::string(name) +
                     " (legacy escaping) is not allowed when auto-escaping is on with a markup output format (" +
                     std::string(output_format_name(s.output_format)) + "), to avoid double-escaping mistakes.");
}

Result<TModel> eval_non_missing(Environment& env, const Expr& e) {
  ASSIGN_OR_RETURN(TModel v, eval(env, e));
  if (v.is_null()) return Error::invalid_reference(expr_desc(e));
  return v;
}

Result<std::string> str_builtin_text(Environment& env, const Expr& target) {
  ASSIGN_OR_RETURN(TModel v, eval_non_missing(env, target));
  return model_to_string(env, v);
}

}  // namespace tovarn
