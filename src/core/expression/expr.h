// expr.h — the expression tree: ExprKind, the node types the parser builds
// (one struct per shape, tagged by ExprKind), ownership, and the canonical
// texts by which messages show an expression (expr_desc, literal_canonical).
//
// Nodes are resolved as far as parse time allows: literal values are ready
// TModels, names are already normalised, so evaluation only switches on
// `kind` and casts:
//
//   switch (e.kind) {
//     case ExprKind::NumberLiteral: return e.as<NumberLiteralExpr>().value;
//     case ExprKind::Dot: { const DotExpr& d = e.as<DotExpr>(); ... }
//   }
//
// Every child is owned by its parent through ExprPtr. Destruction never
// recurses, so arbitrarily long operator and postfix chains are safe to drop.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "template/t_model.h"
#include "template/t_number.h"

namespace tovarn {

// Node kinds, in the order of the language's expression table.
enum class ExprKind : uint8_t {
  StringLiteral,
  InterpolatedString,
  NumberLiteral,
  BooleanLiteral,
  Variable,
  Dot,
  DynamicKeyName,
  MethodCall,
  UnaryMinus,
  Not,
  AddConcat,
  Subtract,
  Multiply,
  Divide,
  Modulus,
  Equals,
  NotEquals,
  GreaterThan,
  GreaterThanEquals,
  LessThan,
  LessThanEquals,
  AndExpression,
  OrExpression,
  Range,
  DefaultToExpression,
  Exists,
  BuiltIn,
  ListLiteral,
  HashLiteral,
  LocalLambdaExpression,
  Parenthetical,
  BuiltinVariable,
};

// The kind's name as written above ("AddConcat", "BuiltIn", ...).
std::string_view expr_kind_name(ExprKind kind);

// True for the kinds held by BinaryExpr (AddConcat through OrExpression).
constexpr bool is_binary_kind(ExprKind k) {
  return k >= ExprKind::AddConcat && k <= ExprKind::OrExpression;
}

struct Expr;

// Deletes a node and its whole subtree without native recursion.
struct ExprDeleter {
  void operator()(Expr* e) const noexcept;
};

using ExprPtr = std::unique_ptr<Expr, ExprDeleter>;
using ExprList = std::vector<ExprPtr>;

// The common head of every node: its kind and source position (1-based).
struct Expr {
  ExprKind kind;
  uint32_t line;
  uint32_t column;

  template <class T>
  const T& as() const { return static_cast<const T&>(*this); }
  template <class T>
  T& as() { return static_cast<T&>(*this); }

 protected:
  // Nodes are made by make_expr and destroyed by ExprDeleter, which knows
  // the concrete type from `kind`; so no virtual destructor is needed.
  Expr(ExprKind k, uint32_t l, uint32_t c) : kind(k), line(l), column(c) {}
  ~Expr() = default;
};

// Allocates a node of type T: make_expr<BinaryExpr>(ExprKind::Subtract, line, column).
template <class T>
std::unique_ptr<T, ExprDeleter> make_expr(ExprKind kind, uint32_t line, uint32_t column) {
  return std::unique_ptr<T, ExprDeleter>(new T(kind, line, column));
}

#define TOVARN_EXPR_NODE(T) \
  T(ExprKind k, uint32_t l, uint32_t c) : Expr(k, l, c) {}

// StringLiteral: `"..."`, `'...'` without "${", or a raw string.
struct StringLiteralExpr : Expr {
  TOVARN_EXPR_NODE(StringLiteralExpr)
  std::string text;  // decoded
  TModel value;      // from_scalar(text), made once
};

// One piece of an interpolated string: literal text, or an expression when `expr` is set.
struct StrPart {
  std::string text;
  ExprPtr expr;
};

// InterpolatedString: `"a${x}b"`; empty text pieces are left out.
struct InterpolatedStringExpr : Expr {
  TOVARN_EXPR_NODE(InterpolatedStringExpr)
  std::vector<StrPart> parts;
};

// NumberLiteral: `12`, `1.5`, `0x1F`, `2L`.
struct NumberLiteralExpr : Expr {
  TOVARN_EXPR_NODE(NumberLiteralExpr)
  TNumber number;
  TModel value;  // from_number(number), made once
};

// BooleanLiteral: `true`, `false`.
struct BooleanLiteralExpr : Expr {
  TOVARN_EXPR_NODE(BooleanLiteralExpr)
  bool flag = false;
  TModel value;  // from_boolean(flag)
};

// Variable: `name`.
struct VariableExpr : Expr {
  TOVARN_EXPR_NODE(VariableExpr)
  std::string name;
};

// Dot: `target.name`.
struct DotExpr : Expr {
  TOVARN_EXPR_NODE(DotExpr)
  ExprPtr target;
  std::string name;
};

// DynamicKeyName: `target[key]`.
struct DynamicKeyNameExpr : Expr {
  TOVARN_EXPR_NODE(DynamicKeyNameExpr)
  ExprPtr target;
  ExprPtr key;
};

// MethodCall: `target(a, b)`.
struct MethodCallExpr : Expr {
  TOVARN_EXPR_NODE(MethodCallExpr)
  ExprPtr target;
  ExprList args;
};

// UnaryMinus (`-x`) and Not (`!x`).
struct UnaryExpr : Expr {
  TOVARN_EXPR_NODE(UnaryExpr)
  ExprPtr operand;
};

// The binary kinds AddConcat ... OrExpression (see is_binary_kind).
struct BinaryExpr : Expr {
  TOVARN_EXPR_NODE(BinaryExpr)
  ExprPtr left;
  ExprPtr right;
};

// `..` inclusive, `..<`/`..!` exclusive, `..*` length-limited.
enum class RangeKind : uint8_t { Inclusive, Exclusive, LengthLimited };

// Range: `a..b`, `a..<b`, `a..*n`, and the right-unbounded `a..` (no end).
struct RangeExpr : Expr {
  TOVARN_EXPR_NODE(RangeExpr)
  ExprPtr start;
  ExprPtr end;  // null for `a..`
  RangeKind range_kind = RangeKind::Inclusive;
  bool right_unbounded() const { return end == nullptr; }
};

// DefaultToExpression: `a!b`, `a!` (no default operand).
struct DefaultToExpr : Expr {
  TOVARN_EXPR_NODE(DefaultToExpr)
  ExprPtr target;
  ExprPtr default_value;  // may be null
};

// Exists: `a??`.
struct ExistsExpr : Expr {
  TOVARN_EXPR_NODE(ExistsExpr)
  ExprPtr target;
};

// The implementation record of a built-in, defined by the built-in framework.
struct BuiltinImpl;

// BuiltIn: `a?name` or `a?name(args)`. An absent argument list (no
// parentheses) differs from an empty one.
struct BuiltInExpr : Expr {
  TOVARN_EXPR_NODE(BuiltInExpr)
  std::string name;  // snake_case
  ExprPtr target;
  std::optional<ExprList> args;
  const BuiltinImpl* impl = nullptr;  // resolved from the built-in table; null until resolved
};

// ListLiteral: `[a, b]`.
struct ListLiteralExpr : Expr {
  TOVARN_EXPR_NODE(ListLiteralExpr)
  ExprList items;
};

struct HashEntry {
  ExprPtr key;
  ExprPtr value;
};

// HashLiteral: `{"k": v, ...}`, entries in written order.
struct HashLiteralExpr : Expr {
  TOVARN_EXPR_NODE(HashLiteralExpr)
  std::vector<HashEntry> entries;
};

// LocalLambdaExpression: `x -> body`, `(x, y) -> body` (built-in arguments only).
struct LambdaExpr : Expr {
  TOVARN_EXPR_NODE(LambdaExpr)
  std::vector<std::string> params;
  ExprPtr body;
};

// Parenthetical: `(inner)`.
struct ParentheticalExpr : Expr {
  TOVARN_EXPR_NODE(ParentheticalExpr)
  ExprPtr inner;
};

// The special variables `.name`; `node` and `current_node` are one variable.
enum class SpecialVariable : uint8_t {
  Namespace,
  Main,
  Globals,
  Locals,
  DataModel,
  Vars,
  Lang,
  Locale,
  LocaleObject,
  TimeZone,
  TemplateName,
  MainTemplateName,
  CurrentTemplateName,
  CallerTemplateName,
  CurrentNode,
  Error,
  OutputEncoding,
  OutputFormat,
  AutoEsc,
  UrlEscapingCharset,
  Version,
  IncompatibleImprovements,
  Args,
  Now,
  GetOptionalTemplate,
};

// The special variable named `snake_name` ("data_model", "node", ...), if any.
std::optional<SpecialVariable> special_variable_by_name(std::string_view snake_name);

// The 26 accepted special-variable names joined by ", ", in their fixed order.
std::string_view special_variable_names_text();

// BuiltinVariable: `.now`, `.vars`, ... (and the bare identifier `now`).
struct BuiltinVariableExpr : Expr {
  TOVARN_EXPR_NODE(BuiltinVariableExpr)
  SpecialVariable which = SpecialVariable::Now;
};

#undef TOVARN_EXPR_NODE

// The canonical text of an expression shown in messages and stack frames:
//   expr_desc(parse("(a + b) * 2")) == "(a + b) * 2"
//   expr_desc(parse("x gt 1"))      == "x > 1"
//   expr_desc(parse("user.name!"))  == "user.name!"
//   expr_desc(parse("1..3"))        == "..."
// Meant for error paths; works without native recursion on any depth.
std::string expr_desc(const Expr& e);

// The text by which literal type checks name a node: like expr_desc, but hash
// literals show `{k: v, ...}` and interpolated strings their parts in quotes
// (`"a${x}b"`); list items are shown the same way.
std::string literal_canonical(const Expr& e);

}  // namespace tovarn
