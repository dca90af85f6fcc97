// grammar_expression.cpp — the expression grammar's precedence levels,
// postfix operators, atomic expressions, string and number literals, and
// the literal type checks. Argument lists, collection literals and lambdas
// are in grammar_expression_args.cpp.
#include "parser/grammar_expression.h"

#include <algorithm>
#include <utility>

#include "core/built_in.h"
#include "template/configuration.h"

namespace tovarn {

namespace {

// What the atomic level can start with, for the "Encountered ..." message.
constexpr std::string_view kAtomicPatterns =
    "<STRING_LITERAL>\n    <RAW_STRING>\n    \"false\"\n    \"true\"\n    <INTEGER>\n    <DECIMAL>\n"
    "    \".\"\n    \"+\"\n    \"-\"\n    \"!\"\n    \"[\"\n    \"(\"\n    \"{\"\n    <ID>";

template <class T>
ExprPtr upcast(std::unique_ptr<T, ExprDeleter> p) {
  return ExprPtr(p.release());
}

// The position of end-of-file errors: the current line, one column back.
Pos eof_pos(const Token& t) { return {t.start.line, std::max<uint32_t>(t.start.column, 2) - 1}; }

// The name after "." in `a.name`: identifiers, a few keywords by their
// spelling, and "*" / "**". The comparison keywords must be spelt as words
// (a "<" token is not the name "lt").
std::optional<std::string> dot_name(const Token& t) {
  uint32_t width = t.start.line == t.end.line ? t.end.column - t.start.column : 0;
  switch (t.kind) {
    case Tok::Ident: return t.text;
    case Tok::True: return "true";
    case Tok::False: return "false";
    case Tok::In: return "in";
    case Tok::As: return "as";
    case Tok::Using: return "using";
    case Tok::Lt: return width == 2 ? std::optional<std::string>("lt") : std::nullopt;
    case Tok::Lte: return width == 3 ? std::optional<std::string>("lte") : std::nullopt;
    case Tok::Gt: return width == 2 ? std::optional<std::string>("gt") : std::nullopt;
    case Tok::Gte: return width == 3 ? std::optional<std::string>("gte") : std::nullopt;
    case Tok::Star: return "*";
    case Tok::StarStar: return "**";
    default: return std::nullopt;
  }
}

Error expected_name_after_dot(const Parser& p, const Token& t) {
  return p.error_at(t, "Expected a name after \".\", but found " + tok_desc(t) + ".");
}

}  // namespace

// ---------------------------------------------------------------------------
// Entries

Result<ExprPtr> parse_expression(Parser& p) { return ExprGrammar(p).expression(); }

Result<ExprPtr> call_target_expression(Parser& p) {
  ExprGrammar g(p);
  ASSIGN_OR_RETURN(ExprPtr target, g.atomic_expression());
  return g.postfix_ops(std::move(target), true);
}

Status literal_only_check(const Parser& p, const Expr& e, std::string_view expected, unsigned rejected) {
  std::string prefix;
  std::string middle = ". Expecting ";
  std::string suffix;
  switch (e.kind) {
    case ExprKind::StringLiteral:
    case ExprKind::InterpolatedString:
      if (!(rejected & kStringLiterals)) return ok();
      prefix = "Found string literal: ";
      middle = ". Expecting: ";
      break;
    case ExprKind::NumberLiteral:
      if (!(rejected & kNumberLiterals)) return ok();
      prefix = "Found number literal: ";
      break;
    case ExprKind::BooleanLiteral:
      if (!(rejected & kBooleanLiterals)) return ok();
      prefix = "Found: ";
      middle = " literal. Expecting ";
      break;
    case ExprKind::ListLiteral:
      if (!(rejected & kListLiterals)) return ok();
      prefix = "Found list literal: ";
      break;
    case ExprKind::HashLiteral:
      if (!(rejected & kHashLiterals)) return ok();
      prefix = "Found hash literal: ";
      break;
    default:
      return ok();
  }
  return p.error_at(Pos{e.line, e.column}, prefix + literal_canonical(e) + middle + std::string(expected));
}

// ---------------------------------------------------------------------------
// Precedence levels

Result<ExprPtr> ExprGrammar::expression() {
  // Every recursive path of the grammar passes through here, so this one
  // counter bounds the native stack depth.
  struct DepthGuard {
    uint32_t& d;
    ~DepthGuard() { --d; }
  } guard{++depth_};
  if (depth_ > kMaxExprDepth) {
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    return p_.error_at(*t, "Expression nesting is too deep (more than " + std::to_string(kMaxExprDepth) +
                               " levels).");
  }
  return or_expr();
}

Result<ExprPtr> ExprGrammar::binary(ExprKind kind, ExprPtr left, ExprPtr right, std::string_view expected,
                                    unsigned rejected) {
  if (rejected) {
    TRY(literal_only_check(p_, *left, expected, rejected));
    TRY(literal_only_check(p_, *right, expected, rejected));
  }
  auto node = make_expr<BinaryExpr>(kind, left->line, left->column);
  node->left = std::move(left);
  node->right = std::move(right);
  return upcast(std::move(node));
}

Result<ExprPtr> ExprGrammar::or_expr() {
  ASSIGN_OR_RETURN(ExprPtr left, and_expr());
  for (;;) {
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    if (t->kind != Tok::Or) return left;
    TRY(p_.next_tok());
    ASSIGN_OR_RETURN(ExprPtr right, and_expr());
    ASSIGN_OR_RETURN(left, binary(ExprKind::OrExpression, std::move(left), std::move(right), "boolean (true/false)",
                                  kStringLiterals | kListLiterals | kHashLiterals | kNumberLiterals));
  }
}

Result<ExprPtr> ExprGrammar::and_expr() {
  ASSIGN_OR_RETURN(ExprPtr left, equality_expr());
  for (;;) {
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    if (t->kind != Tok::And) return left;
    TRY(p_.next_tok());
    ASSIGN_OR_RETURN(ExprPtr right, equality_expr());
    ASSIGN_OR_RETURN(left, binary(ExprKind::AndExpression, std::move(left), std::move(right), "boolean (true/false)",
                                  kStringLiterals | kListLiterals | kHashLiterals | kNumberLiterals));
  }
}

// At most one operator: `a == b == c` stops after `a == b`.
Result<ExprPtr> ExprGrammar::equality_expr() {
  ASSIGN_OR_RETURN(ExprPtr left, relational_expr());
  ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
  if (t->kind != Tok::Eq && t->kind != Tok::NotEq) return left;
  ExprKind kind = t->kind == Tok::Eq ? ExprKind::Equals : ExprKind::NotEquals;
  TRY(p_.next_tok());
  ASSIGN_OR_RETURN(ExprPtr right, relational_expr());
  return binary(kind, std::move(left), std::move(right), "different type for equality check",
                kListLiterals | kHashLiterals);
}

Result<ExprPtr> ExprGrammar::relational_expr() {
  ASSIGN_OR_RETURN(ExprPtr left, range_expr());
  ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
  ExprKind kind;
  switch (t->kind) {
    case Tok::Lt: kind = ExprKind::LessThan; break;
    case Tok::Lte: kind = ExprKind::LessThanEquals; break;
    case Tok::Gt: kind = ExprKind::GreaterThan; break;
    case Tok::Gte: kind = ExprKind::GreaterThanEquals; break;
    default: return left;
  }
  TRY(p_.next_tok());
  ASSIGN_OR_RETURN(ExprPtr right, range_expr());
  return binary(kind, std::move(left), std::move(right), "number", kRejectedForNumber);
}

Result<ExprPtr> ExprGrammar::range_expr() {
  ASSIGN_OR_RETURN(ExprPtr start, additive_expr());
  ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
  RangeKind kind;
  switch (t->kind) {
    case Tok::DotDot: kind = RangeKind::Inclusive; break;
    case Tok::DotDotLess: kind = RangeKind::Exclusive; break;
    case Tok::DotDotStar: kind = RangeKind::LengthLimited; break;
    default: return start;
  }
  TRY(p_.next_tok());
  TRY(literal_only_check(p_, *start, "number", kRejectedForNumber));
  auto node = make_expr<RangeExpr>(ExprKind::Range, start->line, start->column);
  node->range_kind = kind;
  ASSIGN_OR_RETURN(bool has_end, at_expr_start());
  // Only `..` may stand without an end (`1..`); the other forms need one.
  if (kind != RangeKind::Inclusive || has_end) {
    ASSIGN_OR_RETURN(ExprPtr end, additive_expr());
    TRY(literal_only_check(p_, *end, "number", kRejectedForNumber));
    node->end = std::move(end);
  }
  node->start = std::move(start);
  return upcast(std::move(node));
}

Result<ExprPtr> ExprGrammar::additive_expr() {
  ASSIGN_OR_RETURN(ExprPtr left, multiplicative_expr());
  for (;;) {
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    if (t->kind != Tok::Plus && t->kind != Tok::Minus) return left;
    bool plus = t->kind == Tok::Plus;
    TRY(p_.next_tok());
    ASSIGN_OR_RETURN(ExprPtr right, multiplicative_expr());
    if (plus) {
      ASSIGN_OR_RETURN(left, binary(ExprKind::AddConcat, std::move(left), std::move(right), "", 0));
    } else {
      ASSIGN_OR_RETURN(left, binary(ExprKind::Subtract, std::move(left), std::move(right), "number",
                                    kRejectedForNumber));
    }
  }
}

Result<ExprPtr> ExprGrammar::multiplicative_expr() {
  ASSIGN_OR_RETURN(ExprPtr left, unary_expr());
  for (;;) {
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    ExprKind kind;
    switch (t->kind) {
      case Tok::Star: kind = ExprKind::Multiply; break;
      case Tok::Slash: kind = ExprKind::Divide; break;
      case Tok::Percent: kind = ExprKind::Modulus; break;
      default: return left;
    }
    TRY(p_.next_tok());
    ASSIGN_OR_RETURN(ExprPtr right, unary_expr());
    ASSIGN_OR_RETURN(left, binary(kind, std::move(left), std::move(right), "number", kRejectedForNumber));
  }
}

// The operand of a unary operator is a primary, so `- -x` and `-!x` fail.
Result<ExprPtr> ExprGrammar::unary_expr() {
  ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
  if (t->kind == Tok::Plus) {
    TRY(p_.next_tok());
    return primary_expr();
  }
  if (t->kind == Tok::Minus) {
    ASSIGN_OR_RETURN(Token minus, p_.next_tok());
    ASSIGN_OR_RETURN(ExprPtr operand, primary_expr());
    auto node = make_expr<UnaryExpr>(ExprKind::UnaryMinus, minus.start.line, minus.start.column);
    node->operand = std::move(operand);
    return upcast(std::move(node));
  }
  if (t->kind != Tok::Bang) return primary_expr();
  std::vector<Pos> bangs;
  for (;;) {
    ASSIGN_OR_RETURN(const Token* b, p_.peek_tok());
    if (b->kind != Tok::Bang) break;
    bangs.push_back(b->start);
    TRY(p_.next_tok());
  }
  ASSIGN_OR_RETURN(ExprPtr operand, primary_expr());
  // The last "!" is the innermost Not.
  for (auto it = bangs.rbegin(); it != bangs.rend(); ++it) {
    auto node = make_expr<UnaryExpr>(ExprKind::Not, it->line, it->column);
    node->operand = std::move(operand);
    operand = upcast(std::move(node));
  }
  return operand;
}

Result<ExprPtr> ExprGrammar::primary_expr() {
  ASSIGN_OR_RETURN(ExprPtr target, atomic_expression());
  return postfix_ops(std::move(target), false);
}

// ---------------------------------------------------------------------------
// Postfix operators

Result<ExprPtr> ExprGrammar::postfix_ops(ExprPtr target, bool adjacent_only) {
  for (;;) {
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    if (adjacent_only && !(t->start == p_.last_end)) return target;
    switch (t->kind) {
      case Tok::Dot: {
        TRY(p_.next_tok());
        ASSIGN_OR_RETURN(target, dot_variable(std::move(target)));
        break;
      }
      case Tok::LBracket: {
        TRY(p_.next_tok());
        ASSIGN_OR_RETURN(target, dynamic_key(std::move(target)));
        break;
      }
      case Tok::LParen: {
        TRY(p_.next_tok());
        ASSIGN_OR_RETURN(target, method_call(std::move(target)));
        break;
      }
      case Tok::Question: {
        TRY(p_.next_tok());
        ASSIGN_OR_RETURN(target, builtin(std::move(target), adjacent_only));
        break;
      }
      case Tok::DoubleQuestion: {
        TRY(p_.next_tok());
        auto node = make_expr<ExistsExpr>(ExprKind::Exists, target->line, target->column);
        node->target = std::move(target);
        target = upcast(std::move(node));
        break;
      }
      case Tok::Bang: {
        ASSIGN_OR_RETURN(Token bang, p_.next_tok());
        ASSIGN_OR_RETURN(target, default_to(std::move(target), bang, adjacent_only));
        // A default operand is a whole expression: nothing can follow it here.
        if (target->as<DefaultToExpr>().default_value) return target;
        break;
      }
      default:
        return target;
    }
  }
}

Result<ExprPtr> ExprGrammar::dot_variable(ExprPtr target) {
  ASSIGN_OR_RETURN(Token t, p_.next_tok());
  std::optional<std::string> name = dot_name(t);
  if (!name) return expected_name_after_dot(p_, t);
  auto node = make_expr<DotExpr>(ExprKind::Dot, target->line, target->column);
  node->target = std::move(target);
  node->name = std::move(*name);
  return upcast(std::move(node));
}

Result<ExprPtr> ExprGrammar::dynamic_key(ExprPtr target) {
  ASSIGN_OR_RETURN(ExprPtr key, expression());
  TRY(p_.expect_tok(Tok::RBracket, "\"]\" to close the key expression"));
  auto node = make_expr<DynamicKeyNameExpr>(ExprKind::DynamicKeyName, target->line, target->column);
  node->target = std::move(target);
  node->key = std::move(key);
  return upcast(std::move(node));
}

Result<ExprPtr> ExprGrammar::method_call(ExprPtr target) {
  ASSIGN_OR_RETURN(ExprList args, positional_args(false));
  TRY(p_.expect_tok(Tok::RParen, "\")\" to close the argument list"));
  auto node = make_expr<MethodCallExpr>(ExprKind::MethodCall, target->line, target->column);
  node->target = std::move(target);
  node->args = std::move(args);
  return upcast(std::move(node));
}

Result<ExprPtr> ExprGrammar::builtin(ExprPtr target, bool adjacent_only) {
  ASSIGN_OR_RETURN(Token t, p_.next_tok());
  if (t.kind != Tok::Ident)
    return p_.error_at(t, "Expected a built-in name after \"?\", but found " + tok_desc(t) + ".");
  std::string name = camel_to_snake(t.text);
  if (!is_known_builtin(name)) return p_.error_at(t, unknown_builtin_message(name));
  auto node = make_expr<BuiltInExpr>(ExprKind::BuiltIn, target->line, target->column);
  node->name = std::move(name);
  node->impl = find_builtin(node->name);
  node->target = std::move(target);
  ASSIGN_OR_RETURN(const Token* next, p_.peek_tok());
  if (next->kind == Tok::LParen && (!adjacent_only || next->start == p_.last_end)) {
    TRY(p_.next_tok());
    ASSIGN_OR_RETURN(ExprList args, positional_args(true));
    TRY(p_.expect_tok(Tok::RParen, "\")\" to close the built-in parameter list"));
    node->args = std::move(args);
  }
  return upcast(std::move(node));
}

// `a!b` takes a whole expression as the default (`a!b + c` is `a!(b + c)`).
// In a named argument of a user-directive call, and in a call's callee, the
// default must touch the "!": `<@m a=x! b=1/>` passes `a=x!` and `b=1`.
Result<ExprPtr> ExprGrammar::default_to(ExprPtr target, const Token& bang, bool adjacent_only) {
  auto node = make_expr<DefaultToExpr>(ExprKind::DefaultToExpression, target->line, target->column);
  node->target = std::move(target);
  ASSIGN_OR_RETURN(const Token* next, p_.peek_tok());
  bool take = can_start_expression(next->kind);
  if (take && (adjacent_only || p_.directive_arg_depth > 0)) take = next->start == bang.end;
  if (take) {
    ASSIGN_OR_RETURN(ExprPtr def, expression());
    node->default_value = std::move(def);
  }
  return upcast(std::move(node));
}

// ---------------------------------------------------------------------------
// Atomic expressions

Result<ExprPtr> ExprGrammar::atomic_expression() {
  ASSIGN_OR_RETURN(const Token* peeked, p_.peek_tok());
  if (peeked->kind == Tok::Eof) return p_.error_at(eof_pos(*peeked), "Unexpected end of file reached.");
  if (!can_start_expression(peeked->kind) || peeked->kind == Tok::Plus || peeked->kind == Tok::Minus ||
      peeked->kind == Tok::Bang) {
    // "+", "-" and "!" are listed as expected, but a primary cannot start with them.
    return p_.error_at(*peeked, "Encountered " + tok_desc(*peeked) + ", but was expecting one of these patterns:\n    " +
                                    std::string(kAtomicPatterns));
  }
  ASSIGN_OR_RETURN(Token t, p_.next_tok());
  switch (t.kind) {
    case Tok::Ident: {
      if (t.text == "now") {
        auto node = make_expr<BuiltinVariableExpr>(ExprKind::BuiltinVariable, t.start.line, t.start.column);
        node->which = SpecialVariable::Now;
        return upcast(std::move(node));
      }
      auto node = make_expr<VariableExpr>(ExprKind::Variable, t.start.line, t.start.column);
      node->name = std::move(t.text);
      return upcast(std::move(node));
    }
    case Tok::Number: return number_literal_expr(t);
    case Tok::Str: return string_literal_expr(t);
    case Tok::RawStr: {
      auto node = make_expr<StringLiteralExpr>(ExprKind::StringLiteral, t.start.line, t.start.column);
      node->value = TModel::from_scalar(t.text);
      node->text = std::move(t.text);
      return upcast(std::move(node));
    }
    case Tok::True:
    case Tok::False: {
      auto node = make_expr<BooleanLiteralExpr>(ExprKind::BooleanLiteral, t.start.line, t.start.column);
      node->flag = t.kind == Tok::True;
      node->value = TModel::from_boolean(node->flag);
      return upcast(std::move(node));
    }
    case Tok::Dot: return special_variable(t);
    case Tok::LParen: return parenthetical(t);
    case Tok::LBracket: return list_literal(t);
    default: return hash_literal(t);  // LBrace, the only start left
  }
}

constexpr int64_t kMaxLiteralScale = 10000;

Result<ExprPtr> ExprGrammar::number_literal_expr(const Token& t) {
  std::optional<TNumber> n = number_literal(t.text);
  if (!n) return p_.error_at(t, "Invalid number literal: \"" + t.text + "\".");
  // A decimal's scale decides how many digits its text has; an exponent in
  // the millions would make printing or adding it build gigabytes of digits.
  if (n->kind() == NumberKind::BigDecimal && std::abs(n->big_decimal().scale()) > kMaxLiteralScale)
    return p_.error_at(t, "The exponent of the number literal \"" + t.text + "\" is out of range (the decimal "
                          "point may move at most " + std::to_string(kMaxLiteralScale) + " places).");
  auto node = make_expr<NumberLiteralExpr>(ExprKind::NumberLiteral, t.start.line, t.start.column);
  node->value = TModel::from_number(*n);
  node->number = std::move(*n);
  return upcast(std::move(node));
}

// Escapes are decoded first; then each "${" starts an embedded expression
// that runs to its matching "}".
Result<ExprPtr> ExprGrammar::string_literal_expr(const Token& t) {
  std::vector<size_t> escaped_braces;
  Result<std::string> decoded = decode_string(t.text, &escaped_braces);
  if (!decoded.ok()) return p_.error_at(t, decoded.error()->text);
  std::string& text = decoded.value();
  // The next "${" whose brace was not written as "\{".
  auto next_start = [&](size_t from) {
    for (size_t at = text.find("${", from); at != std::string::npos; at = text.find("${", at + 1))
      if (std::find(escaped_braces.begin(), escaped_braces.end(), at + 1) == escaped_braces.end()) return at;
    return std::string::npos;
  };
  size_t at = next_start(0);
  if (at == std::string::npos) {
    auto node = make_expr<StringLiteralExpr>(ExprKind::StringLiteral, t.start.line, t.start.column);
    node->value = TModel::from_scalar(text);
    node->text = std::move(text);
    return upcast(std::move(node));
  }
  auto node = make_expr<InterpolatedStringExpr>(ExprKind::InterpolatedString, t.start.line, t.start.column);
  size_t from = 0;
  while (at != std::string::npos) {
    if (at > from) node->parts.push_back(StrPart{text.substr(from, at - from), nullptr});
    size_t close = find_matching_brace(text, at + 2);
    if (close == std::string::npos) return p_.error_at(t, "Unclosed \"${\" interpolation in a string literal.");
    ASSIGN_OR_RETURN(ExprPtr e, embedded_expression(std::string_view(text).substr(at + 2, close - at - 2)));
    node->parts.push_back(StrPart{std::string(), std::move(e)});
    from = close + 1;
    at = next_start(from);
  }
  if (from < text.size()) node->parts.push_back(StrPart{text.substr(from), nullptr});
  return upcast(std::move(node));
}

// An embedded "${...}" is parsed by a parser of its own over that text
// (positions count from its start), sharing the nesting depth.
Result<ExprPtr> ExprGrammar::embedded_expression(std::string_view text) {
  Parser sub(p_.configuration(), p_.template_name(), text);
  sub.set_mode(LexMode::Interpolation);
  ExprGrammar g(sub, depth_);
  ASSIGN_OR_RETURN(ExprPtr e, g.expression());
  ASSIGN_OR_RETURN(const Token* t, sub.peek_tok());
  if (t->kind != Tok::Eof && t->kind != Tok::InterpolationEnd)
    return sub.error_at(*t, "Unexpected " + tok_desc(*t) + " in a string interpolation.");
  return e;
}

Result<ExprPtr> ExprGrammar::special_variable(const Token& dot) {
  ASSIGN_OR_RETURN(Token t, p_.next_tok());
  if (t.kind != Tok::Ident) return expected_name_after_dot(p_, t);
  std::string name = camel_to_snake(t.text);
  std::optional<SpecialVariable> which = special_variable_by_name(name);
  if (!which)
    return p_.error_at(dot, "The built-in variable \"." + name + "\" doesn't exist. The allowed special variable names are: " +
                                std::string(special_variable_names_text()) + ".");
  auto node = make_expr<BuiltinVariableExpr>(ExprKind::BuiltinVariable, dot.start.line, dot.start.column);
  node->which = *which;
  return upcast(std::move(node));
}

Result<ExprPtr> ExprGrammar::parenthetical(const Token& open) {
  ASSIGN_OR_RETURN(ExprPtr inner, expression());
  ASSIGN_OR_RETURN(Token t, p_.next_tok());
  if (t.kind == Tok::Eof) return p_.error_at(eof_pos(t), unexpected_eof_message({"\"(\""}));
  if (t.kind != Tok::RParen)
    return p_.error_at(t, "Expected \")\" to close the parenthesized expression, but found " + tok_desc(t) + ".");
  auto node = make_expr<ParentheticalExpr>(ExprKind::Parenthetical, open.start.line, open.start.column);
  node->inner = std::move(inner);
  return upcast(std::move(node));
}

}  // namespace tovarn
