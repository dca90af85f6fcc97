// grammar_expression.h — the expression grammar: a recursive-descent parser
// over the Parser's tokens that builds Expr trees, plus the parse-time
// literal checks that the directive grammar shares.
//
// Callers use the free functions; each parses at the Parser's current token
// in its current lexical mode and leaves the first token after the
// expression unconsumed:
//
//   parser.set_mode(LexMode::Interpolation);
//   ASSIGN_OR_RETURN(ExprPtr e, parse_expression(parser));   // "a + b" -> AddConcat
//   ASSIGN_OR_RETURN(Token end, parser.expect_tok(Tok::InterpolationEnd, "\"}\""));
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/expression/expr.h"
#include "error/template_error.h"
#include "parser/grammar.h"
#include "parser/grammar_literals.h"

namespace tovarn {

// Expressions nested deeper than this (through parentheses, brackets,
// arguments, defaults, embedded "${...}") fail with a parse error instead of
// exhausting the native stack. Operator and postfix chains are loops and do
// not count.
inline constexpr uint32_t kMaxExprDepth = 200;

// Literal kinds that literal_only_check rejects (a bit set).
enum LiteralKinds : unsigned {
  kStringLiterals = 1,  // StringLiteral and InterpolatedString
  kNumberLiterals = 2,
  kBooleanLiterals = 4,
  kListLiterals = 8,
  kHashLiterals = 16,
};
// The operand check of arithmetic, relational and range operators, and of "#{...}".
inline constexpr unsigned kRejectedForNumber = kStringLiterals | kListLiterals | kHashLiterals | kBooleanLiterals;

// Parses one full expression (the lowest precedence level).
Result<ExprPtr> parse_expression(Parser& p);

// The comma-separated argument expressions up to the first token that cannot
// start an expression; empty when the next token cannot start one. Lambdas
// (`x -> x * 2`) are taken only when `allow_lambdas` (built-in arguments).
Result<ExprList> positional_args(Parser& p, bool allow_lambdas);

// Whether the next token can start an expression (Ident, Number, Str, RawStr,
// true, false, "+", "-", "!", ".", "(", "[", "{").
Result<bool> at_expr_start(Parser& p);
bool can_start_expression(Tok kind);

// Consumes a name written as an identifier or a string literal (escapes decoded).
//   <#import "/lib.tvl" as "my lib">  ->  "my lib"
Result<std::string> ident_or_string_literal(Parser& p);

// Fails when `e` itself is a literal of one of the `rejected` kinds; never
// looks inside other nodes. `expected` names the wanted type in the message:
//   TRY(literal_only_check(p, *e, "number", kRejectedForNumber));
Status literal_only_check(const Parser& p, const Expr& e, std::string_view expected, unsigned rejected);

// The callee of a user-directive call (`<@ns.m ...>`): an atomic expression
// followed by postfix operators taken only while each starts exactly where
// the previous token ended, so the first white space ends it.
Result<ExprPtr> call_target_expression(Parser& p);

// The legacy format identifier after ';' in "#{x; m2M4}", as a parse error at
// the token on failure.
Result<LegacyNumberFormat> legacy_number_format(const Parser& p, const Token& ident);

// The grammar's working object: the Parser plus the current nesting depth,
// which is carried into the parsers of embedded "${...}" string parts. The
// free functions above start one at depth 0.
class ExprGrammar {
 public:
  explicit ExprGrammar(Parser& p, uint32_t depth = 0) : p_(p), depth_(depth) {}

  Result<ExprPtr> expression();
  Result<ExprList> positional_args(bool allow_lambdas);
  Result<bool> at_expr_start();
  Result<ExprPtr> atomic_expression();
  // Applies postfix operators to `target` left to right; with `adjacent_only`
  // an operator is taken only when its token touches the previous one.
  Result<ExprPtr> postfix_ops(ExprPtr target, bool adjacent_only);

 private:
  // Precedence levels, lowest first.
  Result<ExprPtr> or_expr();
  Result<ExprPtr> and_expr();
  Result<ExprPtr> equality_expr();
  Result<ExprPtr> relational_expr();
  Result<ExprPtr> range_expr();
  Result<ExprPtr> additive_expr();
  Result<ExprPtr> multiplicative_expr();
  Result<ExprPtr> unary_expr();
  Result<ExprPtr> primary_expr();

  // Postfix operators (the operator token already consumed).
  Result<ExprPtr> dot_variable(ExprPtr target);
  Result<ExprPtr> dynamic_key(ExprPtr target);
  Result<ExprPtr> method_call(ExprPtr target);
  Result<ExprPtr> builtin(ExprPtr target, bool adjacent_only);
  Result<ExprPtr> default_to(ExprPtr target, const Token& bang, bool adjacent_only);

  // Atomic forms (the first token already consumed).
  Result<ExprPtr> number_literal_expr(const Token& t);
  Result<ExprPtr> string_literal_expr(const Token& t);
  Result<ExprPtr> embedded_expression(std::string_view text);
  Result<ExprPtr> special_variable(const Token& dot);
  Result<ExprPtr> parenthetical(const Token& open);
  Result<ExprPtr> list_literal(const Token& open);
  Result<ExprPtr> hash_literal(const Token& open);

  // Lambdas (built-in arguments only).
  Result<bool> at_lambda_start();
  Result<ExprPtr> lambda();

  // Builds a binary node at the left operand's position, after checking
  // both operands against `rejected` literal kinds.
  Result<ExprPtr> binary(ExprKind kind, ExprPtr left, ExprPtr right, std::string_view expected, unsigned rejected);

  Parser& p_;
  uint32_t depth_;
};

}  // namespace tovarn
