// grammar_expression_args.cpp — argument lists, list and hash literals,
// local lambdas in built-in arguments, and the small token-level helpers of
// the expression grammar (expression starts, names, legacy number formats).
#include "parser/grammar_expression.h"

#include <utility>

namespace tovarn {

namespace {

template <class T>
ExprPtr upcast(std::unique_ptr<T, ExprDeleter> p) {
  return ExprPtr(p.release());
}

}  // namespace

bool can_start_expression(Tok kind) {
  switch (kind) {
    case Tok::Ident:
    case Tok::Number:
    case Tok::Str:
    case Tok::RawStr:
    case Tok::True:
    case Tok::False:
    case Tok::Plus:
    case Tok::Minus:
    case Tok::Bang:
    case Tok::Dot:
    case Tok::LParen:
    case Tok::LBracket:
    case Tok::LBrace:
      return true;
    default:
      return false;
  }
}

Result<bool> at_expr_start(Parser& p) { return ExprGrammar(p).at_expr_start(); }

Result<ExprList> positional_args(Parser& p, bool allow_lambdas) {
  return ExprGrammar(p).positional_args(allow_lambdas);
}

Result<std::string> ident_or_string_literal(Parser& p) {
  ASSIGN_OR_RETURN(Token t, p.next_tok());
  if (t.kind == Tok::Ident) return std::move(t.text);
  if (t.kind == Tok::Str) {
    Result<std::string> decoded = decode_string(t.text);
    if (!decoded.ok()) return p.error_at(t, decoded.error()->text);
    return std::move(decoded).value();
  }
  return p.error_at(t, "Expected a name (identifier or string literal), but found " + tok_desc(t) + ".");
}

Result<LegacyNumberFormat> legacy_number_format(const Parser& p, const Token& ident) {
  Result<LegacyNumberFormat> f = parse_legacy_number_format(ident.text);
  if (!f.ok()) return p.error_at(ident, f.error()->text);
  return f.value();
}

Result<bool> ExprGrammar::at_expr_start() {
  ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
  return can_start_expression(t->kind);
}

Result<ExprList> ExprGrammar::positional_args(bool allow_lambdas) {
  ExprList args;
  ASSIGN_OR_RETURN(bool any, at_expr_start());
  if (!any) return args;
  for (;;) {
    bool is_lambda = false;
    if (allow_lambdas) {
      ASSIGN_OR_RETURN(is_lambda, at_lambda_start());
    }
    if (is_lambda) {
      ASSIGN_OR_RETURN(ExprPtr arg, lambda());
      args.push_back(std::move(arg));
    } else {
      ASSIGN_OR_RETURN(ExprPtr arg, expression());
      args.push_back(std::move(arg));
    }
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    if (t->kind != Tok::Comma) return args;
    TRY(p_.next_tok());
  }
}

Result<ExprPtr> ExprGrammar::list_literal(const Token& open) {
  ASSIGN_OR_RETURN(ExprList items, positional_args(false));
  TRY(p_.expect_tok(Tok::RBracket, "\"]\" to close the list literal"));
  auto node = make_expr<ListLiteralExpr>(ExprKind::ListLiteral, open.start.line, open.start.column);
  node->items = std::move(items);
  return upcast(std::move(node));
}

// `{k: v, ...}`; "," is accepted in place of ":" too, so `{"a", 1}` is one entry.
Result<ExprPtr> ExprGrammar::hash_literal(const Token& open) {
  auto node = make_expr<HashLiteralExpr>(ExprKind::HashLiteral, open.start.line, open.start.column);
  ASSIGN_OR_RETURN(const Token* first, p_.peek_tok());
  if (first->kind == Tok::RBrace) {
    TRY(p_.next_tok());
    return upcast(std::move(node));
  }
  for (;;) {
    ASSIGN_OR_RETURN(ExprPtr key, expression());
    ASSIGN_OR_RETURN(Token sep, p_.next_tok());
    if (sep.kind != Tok::Comma && sep.kind != Tok::Colon)
      return p_.error_at(open, "Expected \",\" or \":\" between the hash key and value.");
    ASSIGN_OR_RETURN(ExprPtr value, expression());
    TRY(literal_only_check(p_, *key, "string", kListLiterals | kHashLiterals | kBooleanLiterals | kNumberLiterals));
    node->entries.push_back(HashEntry{std::move(key), std::move(value)});
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    if (t->kind != Tok::Comma && t->kind != Tok::Colon) break;
    TRY(p_.next_tok());
  }
  TRY(p_.expect_tok(Tok::RBrace, "\"}\" to close the hash literal"));
  return upcast(std::move(node));
}

// `x ->` or `( [x {, y}] ) ->`. The parenthesised form needs more than two
// tokens of lookahead, so it is scanned straight from the lexer and the
// lexer is put back afterwards.
Result<bool> ExprGrammar::at_lambda_start() {
  ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
  if (t->kind == Tok::Ident) {
    ASSIGN_OR_RETURN(const Token* t2, p_.peek_tok2());
    return t2->kind == Tok::Arrow;
  }
  if (t->kind != Tok::LParen) return false;
  p_.discard_lookahead();
  Lexer& lx = p_.lexer();
  LexState saved = lx.state();
  auto next_kind = [&]() {
    Result<Token> r = lx.next_expr_token(p_.mode());
    return r.ok() ? r.value().kind : Tok::Eof;  // a lexical error: not a lambda; the real parse reports it
  };
  bool is_lambda = false;
  next_kind();  // the "("
  Tok k = next_kind();
  if (k == Tok::Ident) {
    for (;;) {
      k = next_kind();
      if (k != Tok::Comma) break;
      if (next_kind() != Tok::Ident) {
        k = Tok::Eof;
        break;
      }
    }
  }
  if (k == Tok::RParen) is_lambda = next_kind() == Tok::Arrow;
  lx.restore(saved);
  return is_lambda;
}

Result<ExprPtr> ExprGrammar::lambda() {
  ASSIGN_OR_RETURN(Token first, p_.next_tok());
  auto node = make_expr<LambdaExpr>(ExprKind::LocalLambdaExpression, first.start.line, first.start.column);
  if (first.kind == Tok::Ident) {
    node->params.push_back(std::move(first.text));
  } else {
    ASSIGN_OR_RETURN(const Token* t, p_.peek_tok());
    if (t->kind != Tok::RParen) {
      for (;;) {
        ASSIGN_OR_RETURN(Token name, p_.next_tok());
        if (name.kind != Tok::Ident)
          return p_.error_at(name, "Expected a lambda parameter name, but found " + tok_desc(name) + ".");
        node->params.push_back(std::move(name.text));
        ASSIGN_OR_RETURN(const Token* sep, p_.peek_tok());
        if (sep->kind != Tok::Comma) break;
        TRY(p_.next_tok());
      }
    }
    TRY(p_.expect_tok(Tok::RParen, "\")\" to close the lambda parameter list"));
  }
  TRY(p_.expect_tok(Tok::Arrow, "\"->\" after the lambda parameter"));
  ASSIGN_OR_RETURN(ExprPtr body, expression());
  node->body = std::move(body);
  return upcast(std::move(node));
}

}  // namespace tovarn
