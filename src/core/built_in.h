// built_in.h — the `?name` built-in framework: the implementation record
// (BuiltinImpl) the parser attaches to each BuiltIn node, the name table and
// its lookup, the dispatch entry used by evaluation, and the helpers every
// built-in shares to count and read its arguments and to report errors.
//
// A built-in is a plain function that receives its target and argument
// expressions unevaluated and evaluates what it needs, so `?then` and
// `?switch` can be lazy and the existence built-ins lenient:
//
//   Result<TModel> builtin_upper_case(Environment& env, const BuiltinCall& c) {
//     TRY(check_arg_count(c, 0, 0));
//     return str_builtin(env, c.target, [](std::string_view s) { return to_upper(s); });
//   }
//
// Each family unit (built_ins_for_strings_basic.cpp, built_ins_for_sequences.cpp,
// ...) exports its entries through one function declared below; the table in
// built_in.cpp merges the units listed in its kFamilyUnits. A name whose
// family has not been plugged in runs a placeholder that fails with
// "The ?{name} built-in is not implemented yet.".
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/environment.h"
#include "core/expression/expr.h"
#include "error/template_error.h"
#include "template/t_model.h"
#include "template/t_number.h"

namespace tovarn {

// The unit (and language area) a built-in belongs to.
enum class BuiltinFamily : uint8_t {
  Types,          // type tests, ?then, ?switch       built_ins_for_types
  Strings,        // text built-ins                   built_ins_for_strings_basic
  Escaping,       // ?html, ?url, ?js_string ...      built_ins_for_string_escaping
  Regexps,        // ?matches, ?replace, ?split ...   built_ins_for_regexps
  Sequences,      // ?join, ?sort_by, ?map ...        built_ins_for_sequences
  Numbers,        // ?round, ?string, ?c ...          built_ins_for_numbers
  Dates,          // ?date, ?iso_utc ...              built_ins_for_dates
  Existence,      // ?default, ?has_content ...       built_ins_for_existence
  Hashes,         // ?keys, ?values, ?namespace ...   built_ins_for_hashes
  LoopVariables,  // ?index, ?has_next ...            built_ins_for_loop_variables
  Callables,      // ?with_args, ?new                 built_ins_for_callables (?new: utility_transforms)
  OutputFormats,  // ?esc, ?no_esc, ?markup_string    output_format (adapted in built_in.cpp)
  Nodes,          // XML node built-ins               built_ins_for_types
};

// "types", "strings", ... for messages and tests.
std::string_view builtin_family_name(BuiltinFamily family);

// One application of a built-in: the node (name, position) with its target
// and argument expressions. `args` is null when no argument list was written
// (`x?size`), and an empty list for `x?size()`.
struct BuiltinCall {
  const BuiltInExpr& node;
  const Expr& target;
  const ExprList* args;

  std::string_view name() const { return node.name; }
  // The number of arguments, 0 when the list is absent.
  size_t arg_count() const { return args ? args->size() : 0; }
  const Expr& arg(size_t i) const { return *(*args)[i]; }
};

using BuiltinFn = Result<TModel> (*)(Environment& env, const BuiltinCall& call);

// What a family unit exports for each of its built-ins.
struct BuiltinEntry {
  std::string_view name;  // snake_case
  BuiltinFn fn;
};

// The resolved implementation of one built-in name. The parser stores a
// pointer to it in BuiltInExpr::impl; the records live for the whole process.
struct BuiltinImpl {
  std::string_view name;
  BuiltinFamily family;
  BuiltinFn fn;
  // `?new(...)` and `?item_cycle(...)` with an argument list run directly:
  // their errors are not re-blamed on the target.
  bool direct_with_args = false;
  // False while the name still runs the "not implemented yet" placeholder.
  bool implemented = true;
};

// The implementation of a snake_case built-in name, or null when the name is
// not a built-in. Called by the parser for every `?name`:
//   find_builtin("upper_case")->family == BuiltinFamily::Strings
//   find_builtin("upperCase") == nullptr   // names are converted first
const BuiltinImpl* find_builtin(std::string_view snake_name);

// Every built-in, sorted by name (190 records).
std::span<const BuiltinImpl> all_builtins();

// Names exported by a family unit that are not built-in names (such entries
// are never reached); empty when the units and the table agree.
std::vector<std::string_view> builtin_entries_outside_table();

// Evaluates a BuiltIn node: runs its implementation and applies the blame
// rule (blame_builtin_operand) to the error it returns. A node whose impl is
// unset is resolved by name; a name with no implementation fails with
// "Unknown built-in: ?{name}".
Result<TModel> call_builtin(Environment& env, const BuiltInExpr& node);

// The same with an argument list other than the node's own; used when
// `x?string.short` passes the names after the dot as arguments.
Result<TModel> call_builtin(Environment& env, const BuiltInExpr& node, const ExprList* args);

// ---------------------------------------------------------------------------
// Helpers for the implementations

// Fails unless min <= count <= max (count is 0 for an absent list):
//   "?then(...) expects 2 arguments but has received 1."
//   "?size(...) expects no argument but has received 1."
//   "?url(...) expects 0 or 1 argument but has received 2."
//   "?substring(...) expects 1 to 3 arguments but has received none."
Status check_arg_count(std::string_view name, const ExprList* args, size_t min, size_t max);
inline Status check_arg_count(const BuiltinCall& c, size_t min, size_t max) {
  return check_arg_count(c.name(), c.args, min, max);
}

// The number argument at `index`: "Missing argument" when there is none; a
// value that is not a number is the type mismatch expecting "number".
Result<TNumber> arg_number(Environment& env, const ExprList* args, size_t index);

// The argument at `index` converted to text as `${...}` converts it:
// "Missing argument" when there is none, the invalid-reference error
// "The value is null or missing" for a Null value.
Result<std::string> arg_string(Environment& env, const ExprList* args, size_t index);

// The target converted to text as `${...}` converts it, with the same
// "The value is null or missing" error for a Null value.
Result<std::string> target_string(Environment& env, const Expr& target);

// The first argument expression, or `message` as the error when the list is
// absent or empty; further arguments are left to the caller:
//   ASSIGN_OR_RETURN(const Expr* needle, arg_expr(c.args, "?contains requires one argument"));
Result<const Expr*> arg_expr(const ExprList* args, std::string_view message);

// The blame rule: an unexpected-type error that names no expression yet is
// made to blame the built-in's target ("For \"?{name}\" left-hand operand:
// ... ==> target" at the node's position). Other errors pass unchanged.
Error blame_builtin_operand(Error e, Environment& env, const BuiltinCall& c);

// Fails when the current output format escapes by default and the
// auto-escaping policy is not "off": ?html, ?xml, ?web_safe and ?rtf call it
// before anything else.
//   "Using ?html (legacy escaping) is not allowed when auto-escaping is on
//    with a markup output format (HTML), to avoid double-escaping mistakes."
Status check_legacy_escaping_ban(Environment& env, std::string_view name);

// The value of `e`, where a Null result is the invalid-reference error that
// names `e` (what a missing ?then/?switch branch reports).
Result<TModel> eval_non_missing(Environment& env, const Expr& e);

// The target as text for the string skeleton below: a Null target is the
// invalid-reference error naming the target expression.
Result<std::string> str_builtin_text(Environment& env, const Expr& target);

// The shared skeleton of the text-to-text built-ins: the target as text,
// `transform` applied (std::string(std::string_view)), a string value back.
template <class F>
Result<TModel> str_builtin(Environment& env, const Expr& target, F&& transform) {
  ASSIGN_OR_RETURN(std::string text, str_builtin_text(env, target));
  return TModel::from_scalar(std::forward<F>(transform)(std::string_view(text)));
}

// ---------------------------------------------------------------------------
// Family units: each returns the entries it implements. A unit that lands is
// added to kFamilyUnits in built_in.cpp; until then its names run the
// placeholder. Functions of units not yet written are only declared here.

std::span<const BuiltinEntry> builtins_for_types();             // built_ins_for_types.cpp
std::span<const BuiltinEntry> builtins_for_nodes();             // built_ins_for_types.cpp
std::span<const BuiltinEntry> builtins_for_strings_basic();     // built_ins_for_strings_basic.cpp
std::span<const BuiltinEntry> builtins_for_string_escaping();   // built_ins_for_string_escaping.cpp
std::span<const BuiltinEntry> builtins_for_regexps();           // built_ins_for_regexps.cpp
std::span<const BuiltinEntry> builtins_for_sequences();         // built_ins_for_sequences.cpp
std::span<const BuiltinEntry> builtins_for_numbers();           // built_ins_for_numbers.cpp
std::span<const BuiltinEntry> builtins_for_dates();             // built_ins_for_dates.cpp
std::span<const BuiltinEntry> builtins_for_existence();         // built_ins_for_existence.cpp
std::span<const BuiltinEntry> builtins_for_hashes();            // built_ins_for_hashes.cpp
std::span<const BuiltinEntry> builtins_for_loop_variables();    // built_ins_for_loop_variables.cpp
std::span<const BuiltinEntry> builtins_for_callables();         // built_ins_for_callables.cpp

}  // namespace tovarn
