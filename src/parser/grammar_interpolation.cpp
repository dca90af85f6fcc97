// grammar_interpolation.cpp — "${expr}" and the numerical form "#{expr; m1M3}"
// in static text, and the lone-expression entry used by ?eval.
#include <algorithm>

#include "core/dollar_variable.h"
#include "parser/grammar.h"
#include "parser/grammar_expression.h"
#include "parser/grammar_helpers.h"

namespace tovarn {

Result<Element> Parser::parse_interpolation(Pos start, bool numerical) {
  lexer_.advance(2);  // "${" or "#{"
  const LexMode saved = mode_;
  mode_ = LexMode::Interpolation;
  auto restore = [&] { mode_ = saved; };

  auto payload = std::make_unique<DollarVariable>();
  payload->numerical = numerical;
  Result<ExprPtr> expr = parse_expression(*this);
  if (!expr.ok()) {
    restore();
    return expr.take_error();
  }
  payload->expr = std::move(expr).value();

  auto fail = [&](Error e) -> Result<Element> {
    restore();
    return e;
  };
  if (numerical) {
    if (Status st = literal_only_check(*this, *payload->expr, "number", kRejectedForNumber); !st.ok())
      return fail(st.take_error());
    Result<const Token*> next = peek_tok();
    if (!next.ok()) return fail(next.take_error());
    if ((*next)->kind == Tok::Semicolon) {
      (void)next_tok();
      Result<Token> fmt = next_tok();
      if (!fmt.ok()) return fail(fmt.take_error());
      if (fmt->kind != Tok::Ident) {
        std::string desc = fmt->kind == Tok::Number ? "\"" + fmt->text + "\"" : tok_desc(*fmt);
        return fail(error_at(*fmt, "Encountered " + desc + ", but was expecting pattern: <ID>"));
      }
      Result<LegacyNumberFormat> digits = legacy_number_format(*this, *fmt);
      if (!digits.ok()) return fail(digits.take_error());
      payload->min_fraction_digits = digits->min_fraction_digits;
      payload->max_fraction_digits = digits->max_fraction_digits;
    }
  }

  Result<Token> end = next_tok();
  if (!end.ok()) return fail(end.take_error());
  if (end->kind == Tok::Eof) {
    Pos here = lexer_.pos();
    Pos at{here.line, std::max<uint32_t>(1, here.column - 1)};
    return fail(error_at(at, unexpected_eof_message({"\"{\""})));
  }
  if (end->kind != Tok::InterpolationEnd)
    return fail(error_at(*end, "Expected \"}\" to close the interpolation, but found " + tok_desc(*end) + "."));
  restore();
  discard_lookahead();

  Element e(ElementKind::DollarVariable, start.line, start.column);
  e.data = std::move(payload);
  return e;
}

}  // namespace tovarn
